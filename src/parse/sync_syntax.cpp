#include "parse/sync_syntax.h"

#include "core/messages.h"

namespace tav {

// Not built yet: the statement is rejected as a construction error.
std::optional<ArgumentArray> ParseSyncArguments(LineReader& reader) {
  ReportError(reader.State(), kErrConstruction);
  return std::nullopt;
}

}  // namespace tav
