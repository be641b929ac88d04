// IF, ELSE and END IF: the condition grammar, its evaluation and the handlers
// that move through the program text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
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

// Where the forward scan from the line that begins at position (an If whose
// condition is false, or an Else that ends its branch) stops: the Else (only
// when stopAtElse) or End If at the block's own level, positioned at its
// first non-blank character, after lines lines. Not found when the scan runs
// into the end of the text (lines then counts one beyond the last line).
struct BlockEnd {
  bool found = false;
  ScanWord word = ScanWord::kNone;
  size_t position = 0;
  uint32_t lines = 0;
};
BlockEnd FindBlockEnd(const std::string& text, size_t position, bool stopAtElse);

bool If(InterpreterState& st, const ArgumentArray* args);
bool Else(InterpreterState& st, const ArgumentArray* args);
bool EndIf(InterpreterState& st, const ArgumentArray* args);

}  // namespace tav
