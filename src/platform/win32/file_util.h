// Helpers shared by the Windows implementation of the synchronisation
// engine's file operations.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_ops.h"
#include "platform/win32/win32_api.h"

namespace tav::platform {

// The attribute bits SetFileAttributesA accepts; the others (directory,
// reparse point, compressed, ...) are the system's own.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                      FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

inline HANDLE HandleOf(const File& file) { return AsHandle(file.Handle()); }
inline File FileOf(HANDLE handle) { return File(FromHandle(handle)); }

// A FILETIME as a 64-bit count, and back.
uint64_t FromFileTime(const FILETIME& time);
FILETIME ToFileTime(uint64_t time);
// Whether an entry with these attributes and reparse tag is a link (a
// symbolic link or a junction), which the engine never follows.
bool IsLinkEntry(DWORD attributes, DWORD reparseTag);
// The reparse tag of a path with these attributes (0 when it is no reparse
// point or none is found).
DWORD ReparseTagOf(const std::string& path, DWORD attributes);
// Whether the path, which has these attributes, is a link.
inline bool IsLinkPath(const std::string& path, DWORD attributes) {
  return IsLinkEntry(attributes, ReparseTagOf(path, attributes));
}
// Attributes with a link's directory bit dropped: the engine treats a link as
// an entry of its own, never as the directory it may point to.
DWORD ListedAttributes(DWORD attributes, bool isLink);
// Makes out an absolute descriptor holding only the access list of info (and
// whether it is protected from inheritance), pointing into info; no owner, so
// that a file can be created with it without any privilege. False when info
// carries no access list.
bool AccessListOnly(const SecurityInfo& info, SECURITY_DESCRIPTOR& out);
// Clears the read-only attribute of a path; true when it was set and is now
// cleared (old tells the attributes to restore).
bool ClearReadOnly(const std::string& path, DWORD& old);

// The link text in the reparse data of a symbolic link or junction (size
// bytes at data); false for other reparse data or when it is cut short.
bool LinkTextOf(const char* data, size_t size, std::string& target);

}  // namespace tav::platform
