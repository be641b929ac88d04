// IF, ELSE and END IF: the condition grammar, its evaluation and the handlers
// that move through the program text.
#pragma once

#include <optional>
#include <string_view>

#include "core/state.h"
#include "parse/readers.h"

namespace tav {

// Reads an If line's condition into its argument array (nothing after an
// error, which it has reported).
std::optional<ArgumentArray> ParseIfArguments(LineReader& reader);

// The rules of an If's condition that a run meets only when it evaluates
// it: a key path without a valid root, a computer that reaches no registry,
// a written value that no type reads.
void CheckIf(InterpreterState& st, const ArgumentArray* args);

// How the forward scans of If and Else read a line, from its first
// non-blank character: only its beginning counts, whatever the line is (a
// label or a comment too), as a nested If, an Else, an End If or nothing.
enum class ScanWord { kNone, kIf, kElse, kEndIf };
ScanWord ScanWordOf(std::string_view line);

bool If(InterpreterState& st, const ArgumentArray* args);
bool Else(InterpreterState& st, const ArgumentArray* args);
bool EndIf(InterpreterState& st, const ArgumentArray* args);

}  // namespace tav
