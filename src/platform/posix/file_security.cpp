// POSIX permission bits, times, owners and access-control lists. The lists
// are read and written as the system.posix_acl_access and
// system.posix_acl_default extended attributes, in the system's own form.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/file_ops.h"

namespace tav::platform {

namespace {

const char* AclAttribute(AclKind kind) {
  return kind == AclKind::kAccess ? "system.posix_acl_access" : "system.posix_acl_default";
}

bool IsUnsupported(int error) { return error == ENOTSUP || error == EOPNOTSUPP; }

mode_t CurrentUmask() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

}  // namespace

bool SetPermissions(const std::string& path, uint32_t permissions, int& error) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    error = errno;
    return false;
  }
  if (S_ISLNK(info.st_mode)) return true;
  if (::chmod(path.c_str(), static_cast<mode_t>(permissions & 07777)) != 0) {
    error = errno;
    return false;
  }
  return true;
}

bool MakeOwnerWritable(const std::string& path, int& error) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    error = errno;
    return false;
  }
  if (S_ISLNK(info.st_mode) || (info.st_mode & S_IWUSR) != 0) return true;
  return SetPermissions(path, (info.st_mode & 07777) | S_IWUSR, error);
}

bool SetTimes(const std::string& path, const FileStatus& times, int& error) {
  struct timespec value[2] = {};
  value[0].tv_sec = static_cast<time_t>(times.accessSeconds);
  value[0].tv_nsec = static_cast<long>(times.accessNanoseconds);
  value[1].tv_sec = static_cast<time_t>(times.writeSeconds);
  value[1].tv_nsec = static_cast<long>(times.writeNanoseconds);
  if (::utimensat(AT_FDCWD, path.c_str(), value, AT_SYMLINK_NOFOLLOW) != 0) {
    error = errno;
    return false;
  }
  return true;
}

bool SetOwner(const std::string& path, uint32_t owner, uint32_t group, int& error) {
  if (::lchown(path.c_str(), static_cast<uid_t>(owner), static_cast<gid_t>(group)) != 0) {
    error = errno;
    return false;
  }
  return true;
}

uint32_t EffectiveUser() { return static_cast<uint32_t>(::geteuid()); }
uint32_t EffectiveGroup() { return static_cast<uint32_t>(::getegid()); }

uint32_t DefaultFileMode() { return 0666 & ~CurrentUmask(); }
uint32_t DefaultDirectoryMode() { return 0777 & ~CurrentUmask(); }

AclStatus ReadAcl(const std::string& path, AclKind kind, std::string& data, int& error) {
  data.clear();
  const char* name = AclAttribute(kind);
  for (;;) {
    ssize_t size = ::lgetxattr(path.c_str(), name, nullptr, 0);
    if (size < 0) break;
    std::vector<char> buffer(static_cast<size_t>(size) + 1);
    ssize_t got = ::lgetxattr(path.c_str(), name, buffer.data(), buffer.size());
    if (got >= 0) {
      data.assign(buffer.data(), static_cast<size_t>(got));
      return AclStatus::kPresent;
    }
    if (errno != ERANGE) break;
  }
  if (errno == ENODATA) return AclStatus::kAbsent;
  if (IsUnsupported(errno)) return AclStatus::kUnsupported;
  error = errno;
  return AclStatus::kFailed;
}

AclStatus WriteAcl(const std::string& path, AclKind kind, const std::string& data, int& error) {
  const char* name = AclAttribute(kind);
  int result = data.empty() ? ::lremovexattr(path.c_str(), name)
                            : ::lsetxattr(path.c_str(), name, data.data(), data.size(), 0);
  if (result == 0) return data.empty() ? AclStatus::kAbsent : AclStatus::kPresent;
  if (data.empty() && errno == ENODATA) return AclStatus::kAbsent;
  if (IsUnsupported(errno)) return AclStatus::kUnsupported;
  error = errno;
  return AclStatus::kFailed;
}

}  // namespace tav::platform
