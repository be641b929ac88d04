// The run loop: walks the program text line by line and dispatches.
#pragma once

#include <string_view>

#include "core/state.h"

namespace tav {

// Runs the loaded program; returns the exit code.
int RunProgram(InterpreterState& st);

// Looks the statement at the position up in the command table; -1 when the
// line names no statement. When found, the position moves to the arguments.
int LookupCommand(InterpreterState& st);

// The TRACE wait: the prompt, then a key.
void TraceWait(InterpreterState& st);

}  // namespace tav
