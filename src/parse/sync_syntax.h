// The SynchronizeDir statement's syntax: the one-line form and the block form.
#pragma once

#include <optional>

#include "core/state.h"
#include "parse/readers.h"

namespace tav {

// Reads a SynchronizeDir statement into its 13-entry argument array and the
// state's sync patterns; nothing after an error, which it has reported.
std::optional<ArgumentArray> ParseSyncArguments(LineReader& reader);

}  // namespace tav
