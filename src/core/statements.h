// The simple statements: Echo, Pause, Goto and CD/ChDir.
#pragma once

#include "core/state.h"

namespace tav {

bool Echo(InterpreterState& st, const ArgumentArray* args);
bool Pause(InterpreterState& st, const ArgumentArray* args);
bool Goto(InterpreterState& st, const ArgumentArray* args);
bool ChDir(InterpreterState& st, const ArgumentArray* args);

}  // namespace tav
