// POSIX attributes (the permission bits), times and security information:
// owner, group, permission bits and the access-control lists, read and
// written as the system.posix_acl_access and system.posix_acl_default
// extended attributes in the system's own form.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/directory_handle.h"
#include "platform/file_ops.h"
#include "platform/posix/posix_util.h"

namespace tav::platform {

namespace {

enum class AclKind { kAccess, kDefault };
enum class AclStatus {
  kPresent,      // the path has such a list; data holds it
  kAbsent,       // the path has none
  kUnsupported,  // the file system keeps no access-control lists
  kFailed,       // error tells why
};

const char* AclAttribute(AclKind kind) {
  return kind == AclKind::kAccess ? "system.posix_acl_access" : "system.posix_acl_default";
}

bool IsUnsupported(int error) { return error == ENOTSUP || error == EOPNOTSUPP; }

mode_t CurrentUmask() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

// An entry opened as itself (a link as the link), so that its owner, mode and
// lists are read and changed on the very object that was checked, wherever
// its name points meanwhile. A file or directory is opened for reading, which
// offers calls on the descriptor for all of these (O_NONBLOCK: a FIFO put in
// its place does not wait). Where that is not permitted, or for a link, an
// O_PATH descriptor is taken instead: it has no calls of its own for modes
// and extended attributes, which then go through its name under
// /proc/self/fd, naming the open object and nothing else.
class Entry {
 public:
  Entry(int directory, const std::string& name) {
    const char* entry = name.empty() ? "." : name.c_str();
    file_ = File(::openat(directory, entry, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    readable_ = file_.IsOpen();
    if (!readable_) file_ = File(::openat(directory, entry, O_PATH | O_NOFOLLOW | O_CLOEXEC));
  }
  bool IsOpen() const { return file_.IsOpen(); }
  int Fd() const { return static_cast<int>(file_.Handle()); }

  int Chmod(mode_t mode) const { return readable_ ? ::fchmod(Fd(), mode) : ::chmod(Path().c_str(), mode); }
  ssize_t GetAttribute(const char* name, void* value, size_t size) const {
    return readable_ ? ::fgetxattr(Fd(), name, value, size) : ::getxattr(Path().c_str(), name, value, size);
  }
  int SetAttribute(const char* name, const std::string& value) const {
    return readable_ ? ::fsetxattr(Fd(), name, value.data(), value.size(), 0)
                     : ::setxattr(Path().c_str(), name, value.data(), value.size(), 0);
  }
  int RemoveAttribute(const char* name) const {
    return readable_ ? ::fremovexattr(Fd(), name) : ::removexattr(Path().c_str(), name);
  }

 private:
  std::string Path() const { return "/proc/self/fd/" + std::to_string(Fd()); }

  File file_;
  bool readable_ = false;
};

// Gives an entry new permission bits; a link is left alone.
bool SetEntryMode(const Entry& entry, uint32_t attributes, int& error) {
  struct stat info {};
  if (::fstat(entry.Fd(), &info) != 0) {
    error = errno;
    return false;
  }
  if (S_ISLNK(info.st_mode)) return true;
  if (entry.Chmod(static_cast<mode_t>(attributes & 07777)) != 0) {
    error = errno;
    return false;
  }
  return true;
}

// Reads an access-control list of an entry in the system's stored form.
AclStatus ReadAcl(const Entry& entry, AclKind kind, std::string& data, int& error) {
  data.clear();
  const char* name = AclAttribute(kind);
  for (;;) {
    ssize_t size = entry.GetAttribute(name, nullptr, 0);
    if (size < 0) break;
    std::vector<char> buffer(static_cast<size_t>(size) + 1);
    ssize_t got = entry.GetAttribute(name, buffer.data(), buffer.size());
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

// Writes a list read by ReadAcl; an empty data removes the list. A missing
// list on removal is success.
AclStatus WriteAcl(const Entry& entry, AclKind kind, const std::string& data, int& error) {
  const char* name = AclAttribute(kind);
  int result = data.empty() ? entry.RemoveAttribute(name) : entry.SetAttribute(name, data);
  if (result == 0) return data.empty() ? AclStatus::kAbsent : AclStatus::kPresent;
  if (data.empty() && errno == ENODATA) return AclStatus::kAbsent;
  if (IsUnsupported(errno)) return AclStatus::kUnsupported;
  error = errno;
  return AclStatus::kFailed;
}

}  // namespace

// One list as read from the source; a failed read is told when the lists are
// written, after the owner and bits, in the order the copy meets it.
struct AclCopy {
  AclStatus status = AclStatus::kAbsent;
  std::string data;
  int error = 0;
};

struct SecurityInfo::Data {
  struct stat info {};
  AclCopy access;
  AclCopy defaults;
};

SecurityInfo::SecurityInfo() : data_(std::make_unique<Data>()) {}
SecurityInfo::~SecurityInfo() = default;

bool SetAttributes(const std::string& path, uint32_t attributes, int& error) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    error = errno;
    return false;
  }
  if (S_ISLNK(info.st_mode)) return true;
  if (::chmod(path.c_str(), static_cast<mode_t>(attributes & 07777)) != 0) {
    error = errno;
    return false;
  }
  return true;
}

NewAttributes DefaultAttributes() {
  mode_t mask = CurrentUmask();
  return NewAttributes{0666u & ~mask, 0777u & ~mask};
}

uint32_t CopiedAttributes(const FileStatus& source, bool preserve, const NewAttributes& defaults) {
  if (preserve) return source.attributes & 0777;
  return source.isDirectory ? defaults.directory : defaults.file;
}

bool IsWriteProtected(const FileStatus& status) { return !status.isLink && (status.attributes & S_IWUSR) == 0; }

bool MakeWritable(const std::string& path, int& error) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    error = errno;
    return false;
  }
  if (S_ISLNK(info.st_mode) || (info.st_mode & S_IWUSR) != 0) return true;
  return SetAttributes(path, (info.st_mode & 07777) | S_IWUSR, error);
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

bool ReadSecurity(const std::string& path, bool audit, SecurityInfo& out, std::vector<SecurityIssue>& issues) {
  DirectoryHandle directory = DirectoryHandle::Open(DirectoryOf(path), true);
  return directory.ReadSecurity(FileTitle(path), audit, out, issues);
}

bool DirectoryHandle::ReadSecurity(const std::string& name, bool /*audit*/, SecurityInfo& out,
                                   std::vector<SecurityIssue>& issues) const {
  // POSIX keeps no audit list of its own: the request for it changes nothing.
  SecurityInfo::Data& data = out.Get();
  Entry source(static_cast<int>(handle_), name);
  if (!source.IsOpen() || ::fstat(source.Fd(), &data.info) != 0) {
    issues.push_back({SecurityIssueKind::kNotObtained, errno});
    return false;
  }
  if (S_ISLNK(data.info.st_mode)) return true;
  data.access.status = ReadAcl(source, AclKind::kAccess, data.access.data, data.access.error);
  if (S_ISDIR(data.info.st_mode)) {
    data.defaults.status = ReadAcl(source, AclKind::kDefault, data.defaults.data, data.defaults.error);
  }
  return true;
}

bool DirectoryHandle::SetAttributes(const std::string& name, uint32_t attributes, int& error) const {
  Entry entry(static_cast<int>(handle_), name);
  if (!entry.IsOpen()) {
    error = errno;
    return false;
  }
  return SetEntryMode(entry, attributes, error);
}

namespace {

// Owner and group where they differ; true when the target has the source's.
bool CopyOwner(const struct stat& source, const Entry& target, const struct stat& current,
               std::vector<SecurityIssue>& issues) {
  if (current.st_uid == source.st_uid && current.st_gid == source.st_gid) return true;
  if (::fchownat(target.Fd(), "", source.st_uid, source.st_gid, AT_EMPTY_PATH) != 0) {
    issues.push_back({SecurityIssueKind::kNotSet, errno});
    return false;
  }
  return true;
}

// One access-control list onto target; false after a problem that ends the copy.
bool CopyAcl(const AclCopy& acl, const Entry& target, AclKind kind, std::vector<SecurityIssue>& issues) {
  if (acl.status == AclStatus::kFailed) {
    issues.push_back({SecurityIssueKind::kNotObtained, acl.error});
    return false;
  }
  if (acl.status == AclStatus::kUnsupported) {
    issues.push_back({SecurityIssueKind::kUnavailable, 0});
    return true;
  }
  int error = 0;
  AclStatus written = WriteAcl(target, kind, acl.data, error);
  if (written == AclStatus::kUnsupported) {
    // Only a list that exists is lost; having none to remove is no loss.
    if (acl.status == AclStatus::kPresent) issues.push_back({SecurityIssueKind::kUnavailable, 0});
    return true;
  }
  if (written == AclStatus::kFailed) {
    issues.push_back({SecurityIssueKind::kNotSet, error});
    return false;
  }
  return true;
}

}  // namespace

void WriteSecurity(const std::string& path, const SecurityInfo& info, std::vector<SecurityIssue>& issues) {
  DirectoryHandle directory = DirectoryHandle::Open(DirectoryOf(path), true);
  directory.WriteSecurity(FileTitle(path), info, issues);
}

void DirectoryHandle::WriteSecurity(const std::string& name, const SecurityInfo& info,
                                    std::vector<SecurityIssue>& issues) const {
  // Reading and changing owners and lists needs no privilege to be claimed
  // here; what is not permitted fails with its issue.
  const SecurityInfo::Data& data = info.Get();
  Entry target(static_cast<int>(handle_), name);
  struct stat current {};
  if (!target.IsOpen() || ::fstat(target.Fd(), &current) != 0) {
    issues.push_back({SecurityIssueKind::kNotSet, errno});
    return;
  }
  bool ownerCopied = CopyOwner(data.info, target, current, issues);
  // A link carries no bits or lists of its own.
  if (S_ISLNK(data.info.st_mode) || S_ISLNK(current.st_mode)) return;
  // Set-user and set-group bits only go with the source's own owner.
  uint32_t bits = data.info.st_mode & (ownerCopied ? 07777 : 0777);
  int error = 0;
  if (!SetEntryMode(target, bits, error)) {
    issues.push_back({SecurityIssueKind::kNotSet, error});
    return;
  }
  if (!CopyAcl(data.access, target, AclKind::kAccess, issues)) return;
  if (S_ISDIR(data.info.st_mode)) CopyAcl(data.defaults, target, AclKind::kDefault, issues);
}

}  // namespace tav::platform
