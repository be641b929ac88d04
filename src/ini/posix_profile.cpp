// POSIX has no private-profile operations: the profile module of ini/, which
// reads and rewrites the files itself, provides them.
#include "platform/profile.h"

#include "ini/profile.h"

namespace tav::platform {

size_t ProfileReadSection(const std::string& path, std::string_view section, std::span<char> buffer) {
  return ini::GetProfileSection(path, section, buffer);
}

bool ProfileWriteSection(const std::string& path, std::string_view section, const char* text,
                         const UpdateLock* held) {
  return ini::WriteProfileSection(path, section, text, held);
}

size_t ProfileReadString(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view fallback, std::span<char> buffer) {
  return ini::GetProfileString(path, section, key, fallback, buffer);
}

bool ProfileWriteString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value, const UpdateLock* held) {
  return ini::WriteProfileString(path, section, key, value, held);
}

bool ProfileDeleteSection(const std::string& path, std::string_view section, const UpdateLock* held) {
  return ini::DeleteProfileSection(path, section, held);
}

}  // namespace tav::platform
