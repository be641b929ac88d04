// POSIX files, links and directories for the synchronisation engine.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/file_ops.h"
#include "platform/posix/posix_util.h"

namespace tav::platform {

namespace {

// An existing component: below the trusted part it must be a real directory.
bool IsUsableDirectory(const std::string& path, bool trusted) {
  struct stat info {};
  int result = trusted ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info);
  return result == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool ReadLinkTarget(const std::string& path, std::string& target, int& error) {
  std::vector<char> buffer(256);
  for (;;) {
    ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (n < 0) {
      error = errno;
      return false;
    }
    if (static_cast<size_t>(n) < buffer.size()) {
      target.assign(buffer.data(), static_cast<size_t>(n));
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
}

bool DeleteFile(const std::string& path, int& error) {
  if (::unlink(path.c_str()) != 0) {
    error = errno;
    return false;
  }
  return true;
}

bool RemoveDirectory(const std::string& path, int& error) {
  if (::rmdir(path.c_str()) != 0) {
    error = errno;
    return false;
  }
  return true;
}

bool RenamePath(const std::string& from, const std::string& to, bool noReplace, int& error) {
  if (noReplace) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) {
      error = errno;
      return false;
    }
    // The file system cannot refuse by itself: test first.
    if (PathExists(to)) {
      error = EEXIST;
      return false;
    }
  }
  if (::rename(from.c_str(), to.c_str()) != 0) {
    error = errno;
    return false;
  }
  return true;
}

bool MakeDirectory(const std::string& path, int& error) {
  if (::mkdir(path.c_str(), 0777) != 0) {
    error = errno;
    return false;
  }
  return true;
}

bool MakeDirectories(const std::string& path, size_t trustedLength) {
  if (path.empty()) return false;
  std::string parent = DirectoryOf(path);
  bool trusted = path.size() <= trustedLength;
  if (parent.size() > trustedLength) {
    // Below the trusted part the parents are made or checked first, from the
    // top down, so that nothing is created through a link met on the way.
    if (parent == path || !MakeDirectories(parent, trustedLength)) return false;
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    return errno == EEXIST && IsUsableDirectory(path, false);
  }
  // The parent is trusted: mkdir never follows a link in the last component.
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  if (errno == EEXIST) return IsUsableDirectory(path, trusted);
  if (errno != ENOENT) return false;
  if (parent == path || !MakeDirectories(parent, trustedLength)) return false;
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  return errno == EEXIST && IsUsableDirectory(path, trusted);
}

bool IsRealDirectory(const std::string& path, size_t trustedLength) {
  if (!IsUsableDirectory(path, false)) return false;
  // Each component below the trusted part must itself be no link.
  for (std::string part = DirectoryOf(path); part.size() > trustedLength; part = DirectoryOf(part)) {
    if (!IsUsableDirectory(part, false)) return false;
    if (DirectoryOf(part) == part) break;
  }
  return true;
}

bool PathExists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

bool FreeBlocks(const std::string& path, uint64_t& blocks) {
  std::string probe = path.empty() ? "." : path;
  for (;;) {
    struct statvfs info {};
    if (::statvfs(probe.c_str(), &info) == 0) {
      blocks = static_cast<uint64_t>(info.f_bavail);
      return true;
    }
    if (errno != ENOENT && errno != ENOTDIR) return false;
    std::string parent = DirectoryOf(probe);
    if (parent == probe) return false;
    probe = parent;
  }
}

std::string RealPath(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return std::string();
  std::string out(resolved);
  std::free(resolved);
  return out;
}

}  // namespace tav::platform
