// A unified diff of two texts, line by line, as the dry run shows the bytes an
// INI statement would write against the file as it is.
#pragma once

#include <string>
#include <string_view>

namespace tav::ini {

// The diff of before and after ("--- name", "+++ name", "@@" hunks with three
// lines of context), lines ended by LF; empty when the texts are the same. A
// CR before a line's LF is part of the line but not shown; a last line
// without a line end is marked as such.
std::string UnifiedDiff(std::string_view name, std::string_view before, std::string_view after);

}  // namespace tav::ini
