// Windows directory handles. Each directory of a walk is held open without
// delete sharing, so that it cannot be renamed away or replaced by a link
// while it is open; since every directory from the root of the walk down is
// held, the path of each names the directory that was opened, and
// operations on entries go by that path. A directory that is a reparse
// point is refused when opened, and entries are removed through a handle
// opened on the entry itself (a link as the link), never through what a
// link names.
#include "platform/directory_handle.h"

#include <utility>

#include "platform/win32/file_util.h"

namespace tav::platform {

namespace {

constexpr DWORD kHeldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

bool Failed(int& error) {
  error = static_cast<int>(::GetLastError());
  return false;
}

// Opens a directory; without followLink a reparse point in its place is
// refused, as the listing refuses one.
HANDLE OpenDirectory(const std::string& path, bool followLink, int& error) {
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  HANDLE handle = ::CreateFileA(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, kHeldSharing, nullptr,
                                OPEN_EXISTING, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = static_cast<int>(::GetLastError());
    return INVALID_HANDLE_VALUE;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handle, &info)) {
    error = static_cast<int>(::GetLastError());
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    error = ERROR_DIRECTORY;
  } else if (!followLink && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    error = ERROR_CANT_RESOLVE_FILENAME;
  } else {
    return handle;
  }
  ::CloseHandle(handle);
  return INVALID_HANDLE_VALUE;
}

// Marks an open entry for deletion; a read-only one loses the attribute
// first, and gets it back should the deletion fail all the same.
bool DeleteOpenEntry(HANDLE handle, int& error) {
  FILE_DISPOSITION_INFO disposition{TRUE};
  if (::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition)) return true;
  DWORD first = ::GetLastError();
  FILE_BASIC_INFO basic{};
  if (first != ERROR_ACCESS_DENIED || !::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) ||
      (basic.FileAttributes & FILE_ATTRIBUTE_READONLY) == 0) {
    error = static_cast<int>(first);
    return false;
  }
  FILE_BASIC_INFO changed{};  // times of 0 are left as they are
  DWORD old = basic.FileAttributes;
  changed.FileAttributes = (old & ~FILE_ATTRIBUTE_READONLY) != 0 ? (old & ~FILE_ATTRIBUTE_READONLY) : FILE_ATTRIBUTE_NORMAL;
  if (!::SetFileInformationByHandle(handle, FileBasicInfo, &changed, sizeof changed)) return Failed(error);
  if (::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition)) return true;
  error = static_cast<int>(::GetLastError());
  changed.FileAttributes = old;
  ::SetFileInformationByHandle(handle, FileBasicInfo, &changed, sizeof changed);
  return false;
}

// Removes an entry through a handle on the entry itself. wantDirectory tells
// what a real entry must be: a directory, or anything but one (a link to a
// directory counts as no directory).
bool DeleteEntry(const std::string& path, bool wantDirectory, int& error) {
  HANDLE handle = ::CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Failed(error);
  BY_HANDLE_FILE_INFORMATION info;
  bool deleted = false;
  if (!::GetFileInformationByHandle(handle, &info)) {
    Failed(error);
  } else if (((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
              (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) != wantDirectory) {
    error = wantDirectory ? ERROR_DIRECTORY : ERROR_ACCESS_DENIED;
  } else {
    deleted = DeleteOpenEntry(handle, error);
  }
  ::CloseHandle(handle);
  return deleted;
}

}  // namespace

DirectoryHandle::DirectoryHandle(DirectoryHandle&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), path_(std::move(other.path_)), openError_(other.openError_) {}

DirectoryHandle& DirectoryHandle::operator=(DirectoryHandle&& other) noexcept {
  if (this != &other) {
    if (handle_ >= 0) ::CloseHandle(AsHandle(handle_));
    handle_ = std::exchange(other.handle_, -1);
    path_ = std::move(other.path_);
    openError_ = other.openError_;
  }
  return *this;
}

DirectoryHandle::~DirectoryHandle() {
  if (handle_ >= 0) ::CloseHandle(AsHandle(handle_));
}

DirectoryHandle DirectoryHandle::Open(const std::string& path, bool followLink) {
  DirectoryHandle opened;
  opened.path_ = path;
  opened.handle_ = FromHandle(OpenDirectory(path, followLink, opened.openError_));
  return opened;
}

DirectoryHandle DirectoryHandle::OpenChild(const std::string& name) const {
  if (!IsOpen()) return Absent(PathOf(name), openError_ != 0 ? openError_ : ERROR_INVALID_HANDLE);
  return Open(PathOf(name), false);
}

bool DirectoryHandle::Unopened(int& error) const {
  error = openError_ != 0 ? openError_ : ERROR_INVALID_HANDLE;
  ::SetLastError(static_cast<DWORD>(error));
  return false;
}

ListStatus DirectoryHandle::List(std::vector<FindData>& entries, int& error) const {
  entries.clear();
  if (!IsOpen()) {
    Unopened(error);
    return ListStatus::kOpenFailed;
  }
  return ListDirectory(path_, true, entries, error);
}

bool DirectoryHandle::ReadFindData(const std::string& name, FindData& out, int& error) const {
  if (!IsOpen()) return Unopened(error);
  return platform::ReadFindData(PathOf(name), out, error);
}

bool DirectoryHandle::ReadStatus(const std::string& name, FileStatus& out, int& error) const {
  if (!IsOpen()) return Unopened(error);
  return platform::ReadStatus(PathOf(name), out, error);
}

bool DirectoryHandle::Exists(const std::string& name) const {
  int error = 0;
  if (!IsOpen()) return Unopened(error);
  return PathExists(PathOf(name));
}

bool DirectoryHandle::ReadLinkTarget(const std::string& name, std::string& target, int& error) const {
  if (!IsOpen()) return Unopened(error);
  return platform::ReadLinkTarget(PathOf(name), target, error);
}

File DirectoryHandle::OpenForCopy(const std::string& name, int& error) const {
  if (!IsOpen()) {
    Unopened(error);
    return File();
  }
  File file = platform::OpenForCopy(PathOf(name));
  if (!file.IsOpen()) {
    error = static_cast<int>(::GetLastError());
    return File();
  }
  // Only a file on a disk has data to copy: a pipe or a device does not.
  if (::GetFileType(HandleOf(file)) != FILE_TYPE_DISK) {
    error = ERROR_INVALID_FUNCTION;
    return File();
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(HandleOf(file), &info)) {
    error = static_cast<int>(::GetLastError());
    return File();
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    error = ERROR_DIRECTORY;
    return File();
  }
  return file;
}

bool DirectoryHandle::DeleteFile(const std::string& name, int& error) const {
  if (!IsOpen()) return Unopened(error);
  return DeleteEntry(PathOf(name), false, error);
}

bool DirectoryHandle::RemoveDirectory(const std::string& name, int& error) const {
  if (!IsOpen()) return Unopened(error);
  return DeleteEntry(PathOf(name), true, error);
}

bool DirectoryHandle::Rename(const std::string& from, const std::string& to, bool noReplace, int& error) const {
  if (!IsOpen()) return Unopened(error);
  return RenamePath(PathOf(from), PathOf(to), noReplace, error);
}

bool DirectoryHandle::MakeDirectory(const std::string& name, int& error) const {
  if (!IsOpen()) return Unopened(error);
  return platform::MakeDirectory(PathOf(name), error);
}

bool DirectoryHandle::SetAttributes(const std::string& name, uint32_t attributes, int& error) const {
  if (!IsOpen()) return Unopened(error);
  return platform::SetAttributes(PathOf(name), attributes, error);
}

bool DirectoryHandle::MakeWritable(const std::string& name, int& error) const {
  if (!IsOpen()) return Unopened(error);
  return platform::MakeWritable(PathOf(name), error);
}

bool DirectoryHandle::SetTimes(const std::string& name, const FileStatus& times, int& error) const {
  if (!IsOpen()) return Unopened(error);
  return platform::SetTimes(PathOf(name), times, error);
}

bool DirectoryHandle::ReadSecurity(const std::string& name, bool audit, SecurityInfo& out,
                                   std::vector<SecurityIssue>& issues) const {
  int error = 0;
  if (!IsOpen()) {
    Unopened(error);
    issues.push_back({SecurityIssueKind::kNotObtained, error});
    return false;
  }
  return platform::ReadSecurity(PathOf(name), audit, out, issues);
}

void DirectoryHandle::WriteSecurity(const std::string& name, const SecurityInfo& info,
                                    std::vector<SecurityIssue>& issues) const {
  int error = 0;
  if (!IsOpen()) {
    Unopened(error);
    issues.push_back({SecurityIssueKind::kNotSet, error});
    return;
  }
  platform::WriteSecurity(PathOf(name), info, issues);
}

size_t RemoveStagingLeftovers(const DirectoryHandle& directory, const std::vector<FindData>& entries) {
  if (!directory.IsOpen()) return 0;
  return RemoveStagingLeftovers(directory.Path(), entries);
}

}  // namespace tav::platform
