// The SynchronizeDir statement.
#pragma once

#include "core/state.h"
#include "core/statement.h"

namespace tav::sync {

bool SynchronizeDir(InterpreterState& st, const ArgumentArray* args);
// What the handler rejects before it touches a directory; empties the
// patterns that the statement's parser filled, as the handler does.
void CheckSynchronizeDir(InterpreterState& st, const ArgumentArray* args);

}  // namespace tav::sync
