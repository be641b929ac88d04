// The path rules of the engine: joining a directory and a name, and going up.
#pragma once

#include <string>
#include <string_view>

#include "platform/fs.h"

namespace tav::sync {

// The directory, a separator unless it already ends in one, the name.
using platform::JoinPath;
// The path cut at its last separator; a root keeps its separator ("/", "C:\").
std::string ParentPath(std::string_view path);
// The path without trailing separators (a root keeps its own).
std::string WithoutTrailingSeparator(std::string_view path);

}  // namespace tav::sync
