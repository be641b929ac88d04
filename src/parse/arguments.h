// Building a statement's argument array from its line.
#pragma once

#include <optional>

#include "core/state.h"

namespace tav {

// Reads the arguments of the statement at row index of the command table,
// starting at the state's position. Returns the array, or nothing for a
// statement without arguments and after a syntax error (which it has
// reported). Sets argCount and moves the position over what it read.
std::optional<ArgumentArray> ParseArguments(InterpreterState& st, int index);

}  // namespace tav
