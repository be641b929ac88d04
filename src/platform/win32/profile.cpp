// Profile (INI) files on Windows: the system's own private-profile
// operations, so that a file the system maps into the registry (WIN.INI,
// SYSTEM.INI) is read and written where every other program finds it.
//
// Before a write the file itself is looked at: one marked read-only, or one
// that begins with a UTF-16 byte-order mark, is left as it is and the write
// fails, as the file-based profile module does on other systems.
#include "platform/profile.h"

#include "platform/win32/win32_api.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tav::platform {

namespace {

DWORD ClampedSize(size_t size) {
  return static_cast<DWORD>(std::min<size_t>(size, static_cast<size_t>(UINT32_MAX)));
}

// The text without the blanks (spaces and tabs) around it, as section names
// are matched.
std::string TrimmedName(std::string_view name) {
  size_t begin = name.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return std::string();
  size_t end = name.find_last_not_of(" \t");
  return std::string(name.substr(begin, end + 1 - begin));
}

// An existing file that holds wide characters: the byte-wise profile text of
// a write would be mixed into it.
bool BeginsWithWideMark(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  unsigned char mark[2] = {0, 0};
  DWORD read = 0;
  bool wide = ReadFile(file, mark, sizeof mark, &read, nullptr) && read == 2 &&
              ((mark[0] == 0xFF && mark[1] == 0xFE) || (mark[0] == 0xFE && mark[1] == 0xFF));
  CloseHandle(file);
  return wide;
}

// Whether a write may go to the file: a missing file may be created; an
// existing one must be neither read-only nor UTF-16 text.
bool MayWrite(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) return false;
  return !BeginsWithWideMark(path);
}

// Whether the file has a section of that name. The names come from the
// system, which knows where a mapped file keeps its sections.
bool HasSection(const std::string& path, const std::string& section) {
  std::vector<char> names(4096);
  for (;;) {
    DWORD count = GetPrivateProfileSectionNamesA(names.data(), ClampedSize(names.size()), path.c_str());
    if (count + 2 < names.size()) {
      names.resize(count + 2, '\0');
      break;
    }
    names.assign(names.size() * 2, '\0');
  }
  std::string wanted = TrimmedName(section);
  for (const char* name = names.data(); *name != '\0'; name += std::strlen(name) + 1) {
    if (lstrcmpiA(TrimmedName(name).c_str(), wanted.c_str()) == 0) return true;
  }
  return false;
}

// A write refused because the file is read-only or UTF-16 text.
bool RefusedWrite() {
  SetLastError(ERROR_ACCESS_DENIED);
  return false;
}

}  // namespace

size_t ProfileReadSection(const std::string& path, std::string_view section, std::span<char> buffer) {
  if (buffer.size() < 2) return 0;
  return GetPrivateProfileSectionA(std::string(section).c_str(), buffer.data(), ClampedSize(buffer.size()),
                                   path.c_str());
}

bool ProfileWriteSection(const std::string& path, std::string_view section, const char* text, const UpdateLock*) {
  if (!MayWrite(path)) return RefusedWrite();
  return WritePrivateProfileSectionA(std::string(section).c_str(), text, path.c_str()) != 0;
}

size_t ProfileReadString(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view fallback, std::span<char> buffer) {
  if (buffer.empty()) return 0;
  return GetPrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                  std::string(fallback).c_str(), buffer.data(), ClampedSize(buffer.size()),
                                  path.c_str());
}

bool ProfileWriteString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value, const UpdateLock*) {
  if (!MayWrite(path)) return RefusedWrite();
  return WritePrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                    std::string(value).c_str(), path.c_str()) != 0;
}

bool ProfileDeleteSection(const std::string& path, std::string_view section, const UpdateLock*) {
  // The system reports success for a section that is not there; the
  // statements tell that case apart.
  std::string name(section);
  if (!MayWrite(path)) return RefusedWrite();
  if (!HasSection(path, name)) {
    SetLastError(0);
    return false;
  }
  return WritePrivateProfileStringA(name.c_str(), nullptr, nullptr, path.c_str()) != 0;
}

}  // namespace tav::platform
