// Kinds of program line.
#pragma once

#include <string_view>

#include "core/text.h"

namespace tav {

// A label line: first character a letter, digit or "_", last character ":".
inline bool IsLabelLine(std::string_view line) {
  if (line.empty() || line.back() != ':') return false;
  auto first = static_cast<unsigned char>(line[0]);
  return first == '_' || IsCharAlphaNumeric(first);
}

// A comment line: ";" or "REM " in column 1.
inline bool IsCommentLine(std::string_view line) {
  return (!line.empty() && line[0] == ';') || StartsWithNoCase(line, "REM ");
}

}  // namespace tav
