// Windows files, links and directories for the synchronisation engine.
#include <vector>

#include "platform/file_ops.h"
#include "platform/win32/file_util.h"

#include <winioctl.h>

namespace tav::platform {

namespace {

// An existing component: below the trusted part it must be a real directory,
// no link or junction.
bool IsUsableDirectory(const std::string& path, bool trusted) {
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
  return trusted || !IsLinkPath(path, attributes);
}

bool Failed(int& error) {
  error = static_cast<int>(::GetLastError());
  return false;
}

// Runs remove; when it is refused because the entry is read-only, clears
// the attribute and runs it once more, putting the attribute back should
// that fail too.
template <typename Remove>
bool RemoveEvenIfReadOnly(const std::string& path, Remove remove, int& error) {
  if (remove(path.c_str())) return true;
  DWORD first = ::GetLastError();
  DWORD old = 0;
  if (first != ERROR_ACCESS_DENIED || !ClearReadOnly(path, old)) {
    error = static_cast<int>(first);
    return false;
  }
  if (remove(path.c_str())) return true;
  error = static_cast<int>(::GetLastError());
  ::SetFileAttributesA(path.c_str(), old);
  return false;
}

// The path without the "\\?\" (or "\\?\UNC\") that the system puts before
// final paths.
std::string WithoutLongPrefix(const std::string& path) {
  if (path.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + path.substr(8);
  if (path.rfind("\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

}  // namespace

bool ReadLinkTarget(const std::string& path, std::string& target, int& error) {
  HANDLE handle = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Failed(error);
  std::vector<char> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
  DWORD got = 0;
  bool read = ::DeviceIoControl(handle, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                                static_cast<DWORD>(buffer.size()), &got, nullptr) != 0;
  if (!read) error = static_cast<int>(::GetLastError());
  ::CloseHandle(handle);
  if (!read) return false;
  if (!LinkTextOf(buffer.data(), got, target)) {
    error = ERROR_NOT_A_REPARSE_POINT;
    return false;
  }
  return true;
}

bool DeleteFile(const std::string& path, int& error) {
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  // A link to a directory is removed as a directory entry, never what it names.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return RemoveEvenIfReadOnly(path, [](const char* p) { return ::RemoveDirectoryA(p) != 0; }, error);
  }
  return RemoveEvenIfReadOnly(path, [](const char* p) { return ::DeleteFileA(p) != 0; }, error);
}

bool RemoveDirectory(const std::string& path, int& error) {
  return RemoveEvenIfReadOnly(path, [](const char* p) { return ::RemoveDirectoryA(p) != 0; }, error);
}

bool RenamePath(const std::string& from, const std::string& to, bool noReplace, int& error) {
  // Without MOVEFILE_REPLACE_EXISTING the system itself refuses an existing
  // target, in the same step as the rename.
  DWORD flags = noReplace ? 0 : MOVEFILE_REPLACE_EXISTING;
  if (!::MoveFileExA(from.c_str(), to.c_str(), flags)) return Failed(error);
  return true;
}

bool MakeDirectory(const std::string& path, int& error) {
  if (!::CreateDirectoryA(path.c_str(), nullptr)) return Failed(error);
  return true;
}

bool MakeDirectories(const std::string& path, size_t trustedLength) {
  if (path.empty()) return false;
  std::string parent = DirectoryPart(path);
  if (path.size() > trustedLength) {
    // Below the trusted part the parents are made or checked first, from the
    // top down, so that nothing is created through a link met on the way.
    if (parent == path || !MakeDirectories(parent, trustedLength)) return false;
    if (::CreateDirectoryA(path.c_str(), nullptr)) return true;
    return ::GetLastError() == ERROR_ALREADY_EXISTS && IsUsableDirectory(path, false);
  }
  if (::CreateDirectoryA(path.c_str(), nullptr)) return true;
  DWORD error = ::GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED) {
    // A drive root answers "access denied" rather than "exists".
    if (IsUsableDirectory(path, true)) return true;
  }
  if (error != ERROR_PATH_NOT_FOUND) return false;
  if (parent == path || !MakeDirectories(parent, trustedLength)) return false;
  if (::CreateDirectoryA(path.c_str(), nullptr)) return true;
  return ::GetLastError() == ERROR_ALREADY_EXISTS && IsUsableDirectory(path, true);
}

bool IsRealDirectory(const std::string& path, size_t trustedLength) {
  if (!IsUsableDirectory(path, false)) return false;
  for (std::string part = DirectoryPart(path); part.size() > trustedLength; part = DirectoryPart(part)) {
    if (!IsUsableDirectory(part, false)) return false;
    if (DirectoryPart(part) == part) break;
  }
  return true;
}

bool PathExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool FreeBlocks(const std::string& path, uint64_t& blocks) {
  std::vector<char> root(MAX_PATH + 1);
  if (!::GetVolumePathNameA(path.empty() ? "." : path.c_str(), root.data(), static_cast<DWORD>(root.size()))) {
    return false;
  }
  DWORD sectorsPerCluster = 0;
  DWORD bytesPerSector = 0;
  DWORD freeClusters = 0;
  DWORD totalClusters = 0;
  if (!::GetDiskFreeSpaceA(root.data(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) {
    return false;
  }
  blocks = freeClusters;
  return true;
}

std::string RealPath(const std::string& path) {
  HANDLE handle = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::string();
  std::vector<char> buffer(MAX_PATH + 1);
  DWORD length = ::GetFinalPathNameByHandleA(handle, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
  if (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = ::GetFinalPathNameByHandleA(handle, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
  }
  ::CloseHandle(handle);
  if (length == 0 || length >= buffer.size()) return std::string();
  return WithoutLongPrefix(std::string(buffer.data(), length));
}

}  // namespace tav::platform
