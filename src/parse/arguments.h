// The argument syntaxes that statements share: each reads a statement's
// arguments from the reader's position into its argument array. A parser
// returns the array, or nothing for a statement without arguments and after
// a syntax error (which it has reported); it sets argCount and moves the
// position over what it read.
#pragma once

#include <optional>

#include "core/state.h"
#include "parse/readers.h"

namespace tav {

using ArgumentParser = std::optional<ArgumentArray> (*)(LineReader& reader);

// The rest of the line as one argument, blanks kept (Echo, Shell, CD).
std::optional<ArgumentArray> ParseRestOfLine(LineReader& reader);
// Nothing but blanks (Pause, Else, End If).
std::optional<ArgumentArray> ParseNothing(LineReader& reader);
// Exactly count words (the INI statements, Goto).
std::optional<ArgumentArray> ParseWordCount(LineReader& reader, unsigned count);
template <unsigned count>
std::optional<ArgumentArray> ParseWords(LineReader& reader) {
  return ParseWordCount(reader, count);
}
// A computer word and a key path that may continue on following lines
// (RegOpenKey, RegDeleteKey).
std::optional<ArgumentArray> ParseKeyPath(LineReader& reader);
// Three fields "name : type : data" (RegSetValue).
std::optional<ArgumentArray> ParseFields(LineReader& reader);
// A value name that may continue on following lines (RegDeleteValue).
std::optional<ArgumentArray> ParseValueName(LineReader& reader);

}  // namespace tav
