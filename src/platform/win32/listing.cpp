// Windows directory listings for the synchronisation engine.
#include "platform/file_ops.h"
#include "platform/win32/file_util.h"

namespace tav::platform {

namespace {

bool IsDotName(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// The find data from either of the system's records, which share these fields.
template <typename Record>
void FillFindData(const Record& data, const std::string& name, bool isLink, FindData& out) {
  out.name = name;
  out.isLink = isLink;
  out.attributes = ListedAttributes(data.dwFileAttributes, isLink);
  out.size = out.IsDirectory() ? 0 : (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  out.creationTime = FromFileTime(data.ftCreationTime);
  out.accessTime = FromFileTime(data.ftLastAccessTime);
  out.writeTime = FromFileTime(data.ftLastWriteTime);
}

// A directory named through a link in its last component is refused when
// links are not to be followed.
bool RefusedAsLink(const std::string& directory, bool followLink) {
  if (followLink) return false;
  DWORD attributes = ::GetFileAttributesA(directory.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  return IsLinkPath(directory, attributes);
}

}  // namespace

// Names are compared as Windows users see them: by the user's locale,
// without regard to letter case.
int CompareFileNames(const std::string& a, const std::string& b) { return ::lstrcmpiA(a.c_str(), b.c_str()); }

ListStatus ListDirectory(const std::string& directory, bool followLink, std::vector<FindData>& entries,
                         int& error) {
  entries.clear();
  if (RefusedAsLink(directory, followLink)) {
    error = ERROR_CANT_RESOLVE_FILENAME;
    return ListStatus::kOpenFailed;
  }
  std::string pattern = directory;
  if (!pattern.empty() && !EndsWithSeparator(pattern)) pattern += '\\';
  pattern += "*.*";
  WIN32_FIND_DATAA data;
  HANDLE find = ::FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    error = static_cast<int>(::GetLastError());
    // An empty drive root has not even "." and "..": nothing to list.
    if (error == ERROR_FILE_NOT_FOUND) return ListStatus::kOk;
    return ListStatus::kOpenFailed;
  }
  ListStatus status = ListStatus::kOk;
  do {
    if (IsDotName(data.cFileName) || (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0) continue;
    entries.emplace_back();
    FillFindData(data, data.cFileName, IsLinkEntry(data.dwFileAttributes, data.dwReserved0), entries.back());
  } while (::FindNextFileA(find, &data));
  DWORD last = ::GetLastError();
  if (last != ERROR_NO_MORE_FILES) {
    error = static_cast<int>(last);
    status = ListStatus::kReadFailed;
  }
  ::FindClose(find);
  return status;
}

bool ReadFindData(const std::string& path, FindData& out, int& error) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
    error = static_cast<int>(::GetLastError());
    return false;
  }
  size_t cut = LastSeparator(path);
  std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  FillFindData(data, name, IsLinkPath(path, data.dwFileAttributes), out);
  return true;
}

}  // namespace tav::platform
