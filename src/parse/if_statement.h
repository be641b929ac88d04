// IF, ELSE and END IF: the condition grammar, its evaluation and the handlers
// that move through the program text.
#pragma once

#include <optional>

#include "core/state.h"
#include "parse/readers.h"

namespace tav {

// Reads an If line's condition into its argument array (nothing after an
// error, which it has reported).
std::optional<ArgumentArray> ParseIfArguments(LineReader& reader);

bool If(InterpreterState& st, const ArgumentArray* args);
bool Else(InterpreterState& st, const ArgumentArray* args);
bool EndIf(InterpreterState& st, const ArgumentArray* args);

}  // namespace tav
