// The profile module: reading and writing INI (profile) files.
#pragma once

#include <string>

namespace tav::ini {

// The value of key in section of the profile file at path, without its
// surrounding blanks; section and key match without regard to case, the first
// section of a name counts. False when the file, section or key is missing.
bool ReadProfileString(const std::string& path, const std::string& section, const std::string& key,
                       std::string& value);

}  // namespace tav::ini
