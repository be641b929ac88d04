#include "platform/win32/file_util.h"

namespace tav::platform {

uint64_t FromFileTime(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME ToFileTime(uint64_t time) {
  FILETIME out;
  out.dwLowDateTime = static_cast<DWORD>(time & 0xFFFFFFFFu);
  out.dwHighDateTime = static_cast<DWORD>(time >> 32);
  return out;
}

std::string DirectoryOf(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  if (cut == std::string::npos) return ".";
  std::string directory = path.substr(0, cut);
  if (directory.empty() || directory.back() == ':') directory += path[cut];
  return directory;
}

bool IsLinkEntry(DWORD attributes, DWORD reparseTag) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
  return reparseTag == IO_REPARSE_TAG_SYMLINK || reparseTag == IO_REPARSE_TAG_MOUNT_POINT;
}

DWORD ReparseTagOf(const std::string& path) {
  WIN32_FIND_DATAA data;
  HANDLE find = ::FindFirstFileA(path.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  ::FindClose(find);
  return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? data.dwReserved0 : 0;
}

DWORD ListedAttributes(DWORD attributes, bool isLink) {
  return isLink ? (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY)) : attributes;
}

bool ClearReadOnly(const std::string& path, DWORD& old) {
  old = ::GetFileAttributesA(path.c_str());
  if (old == INVALID_FILE_ATTRIBUTES || (old & FILE_ATTRIBUTE_READONLY) == 0) return false;
  DWORD cleared = old & kSettableAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  return ::SetFileAttributesA(path.c_str(), cleared == 0 ? FILE_ATTRIBUTE_NORMAL : cleared) != 0;
}

}  // namespace tav::platform
