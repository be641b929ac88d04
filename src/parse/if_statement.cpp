#include "parse/if_statement.h"

#include "core/messages.h"

namespace tav {

// Conditionals are not built yet: an If line is rejected as a construction
// error, and the handlers fail without moving through the text.
std::optional<ArgumentArray> ParseIfArguments(LineReader& reader) {
  ReportError(reader.State(), kErrConstruction);
  return std::nullopt;
}

bool If(InterpreterState&, const ArgumentArray*) { return false; }
bool Else(InterpreterState&, const ArgumentArray*) { return false; }
bool EndIf(InterpreterState&, const ArgumentArray*) { return false; }

}  // namespace tav
