// The SynchronizeDir statement.
#pragma once

#include "core/state.h"

namespace tav::sync {

bool SynchronizeDir(InterpreterState& st, const ArgumentArray* args);

}  // namespace tav::sync
