#include "platform/win32/file_util.h"

#include <cstring>

namespace tav::platform {

namespace {

// The start of the reparse data of a symbolic link or a junction, as the
// system hands it out: the tag, the lengths and offsets of the two names
// (bytes into the path buffer) and, for a symbolic link only, its flags.
struct ReparseHeader {
  DWORD tag;
  WORD dataLength;
  WORD reserved;
  WORD substituteOffset;
  WORD substituteLength;
  WORD printOffset;
  WORD printLength;
};
constexpr size_t kSymlinkFlagsSize = sizeof(ULONG);

std::string Narrow(const wchar_t* text, size_t length) {
  if (length == 0) return std::string();
  int size = ::WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) ::WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), out.data(), size, nullptr, nullptr);
  return out;
}

// The link text of a symbolic link or junction: its printed name, or the
// substitute name without its "\??\" when no printed name is kept. A
// relative link keeps its relative text.
}  // namespace

bool LinkTextOf(const char* data, size_t size, std::string& target) {
  if (size < sizeof(ReparseHeader)) return false;
  ReparseHeader header;
  std::memcpy(&header, data, sizeof header);
  size_t names = sizeof header;
  if (header.tag == IO_REPARSE_TAG_SYMLINK) {
    names += kSymlinkFlagsSize;
  } else if (header.tag != IO_REPARSE_TAG_MOUNT_POINT) {
    return false;
  }
  bool usePrint = header.printLength > 0;
  size_t offset = names + (usePrint ? header.printOffset : header.substituteOffset);
  size_t length = usePrint ? header.printLength : header.substituteLength;
  if (offset + length > size) return false;
  std::wstring name(length / sizeof(wchar_t), L'\0');
  std::memcpy(name.data(), data + offset, name.size() * sizeof(wchar_t));
  if (!usePrint && name.rfind(L"\\??\\", 0) == 0) name.erase(0, 4);
  target = Narrow(name.data(), name.size());
  return !target.empty();
}


uint64_t FromFileTime(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME ToFileTime(uint64_t time) {
  FILETIME out;
  out.dwLowDateTime = static_cast<DWORD>(time & 0xFFFFFFFFu);
  out.dwHighDateTime = static_cast<DWORD>(time >> 32);
  return out;
}

bool IsLinkEntry(DWORD attributes, DWORD reparseTag) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
  return reparseTag == IO_REPARSE_TAG_SYMLINK || reparseTag == IO_REPARSE_TAG_MOUNT_POINT;
}

DWORD ReparseTagOf(const std::string& path, DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return 0;
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
