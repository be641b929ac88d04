// POSIX directory handles: every operation on an entry is relative to the
// descriptor of its directory and never follows a link in the entry's place.
#include "platform/directory_handle.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/posix/posix_util.h"

namespace tav::platform {

namespace {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// The name that stands for the directory itself in the *at calls, with the
// flag that makes an empty name mean the descriptor.
const char* EntryName(const std::string& name) { return name.empty() ? "" : name.c_str(); }
int SelfFlag(const std::string& name) { return name.empty() ? AT_EMPTY_PATH : 0; }

bool Failed(int& error) {
  error = errno;
  return false;
}

bool StatEntryAt(int directory, const std::string& name, struct stat& info, int& error) {
  if (::fstatat(directory, EntryName(name), &info, AT_SYMLINK_NOFOLLOW | SelfFlag(name)) == 0) return true;
  return Failed(error);
}

// What a copy makes of an entry that is not a regular file: a link or a
// directory by its own error, anything else (a FIFO, a socket, a device) as
// no device to copy from.
int NotRegularError(mode_t mode) {
  if (S_ISLNK(mode)) return ELOOP;
  if (S_ISDIR(mode)) return EISDIR;
  return ENXIO;
}

}  // namespace

DirectoryHandle::DirectoryHandle(DirectoryHandle&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), path_(std::move(other.path_)), openError_(other.openError_) {}

DirectoryHandle& DirectoryHandle::operator=(DirectoryHandle&& other) noexcept {
  if (this != &other) {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    handle_ = std::exchange(other.handle_, -1);
    path_ = std::move(other.path_);
    openError_ = other.openError_;
  }
  return *this;
}

DirectoryHandle::~DirectoryHandle() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

DirectoryHandle DirectoryHandle::Open(const std::string& path, bool followLink) {
  DirectoryHandle opened;
  opened.path_ = path;
  int fd = ::open(path.c_str(), kDirectoryFlags | (followLink ? 0 : O_NOFOLLOW));
  if (fd < 0) opened.openError_ = errno;
  opened.handle_ = fd;
  return opened;
}

DirectoryHandle DirectoryHandle::OpenChild(const std::string& name) const {
  if (!IsOpen()) return Absent(PathOf(name), openError_ != 0 ? openError_ : EBADF);
  DirectoryHandle opened;
  opened.path_ = PathOf(name);
  int fd = ::openat(static_cast<int>(handle_), name.c_str(), kDirectoryFlags | O_NOFOLLOW);
  if (fd < 0) opened.openError_ = errno;
  opened.handle_ = fd;
  return opened;
}

ListStatus DirectoryHandle::List(std::vector<FindData>& entries, int& error) const {
  entries.clear();
  if (!IsOpen()) {
    error = openError_;
    return ListStatus::kOpenFailed;
  }
  // A descriptor of its own, so that the listing starts at the beginning.
  int fd = ::openat(static_cast<int>(handle_), ".", kDirectoryFlags);
  if (fd < 0) {
    error = errno;
    return ListStatus::kOpenFailed;
  }
  return ListOpenDirectory(fd, entries, error);
}

// An unopened directory has no entries: its own error tells why.
bool DirectoryHandle::Unopened(int& error) const {
  error = openError_ != 0 ? openError_ : EBADF;
  errno = error;
  return false;
}

bool DirectoryHandle::ReadFindData(const std::string& name, FindData& out, int& error) const {
  if (!IsOpen()) return Unopened(error);
  struct stat info {};
  if (!StatEntryAt(static_cast<int>(handle_), name, info, error)) return false;
  FillFindData(info, name.empty() ? FileTitle(path_) : name, out);
  return true;
}

bool DirectoryHandle::ReadStatus(const std::string& name, FileStatus& out, int& error) const {
  if (!IsOpen()) return Unopened(error);
  struct stat info {};
  if (!StatEntryAt(static_cast<int>(handle_), name, info, error)) return false;
  FillStatus(info, out);
  return true;
}

bool DirectoryHandle::Exists(const std::string& name) const {
  struct stat info {};
  int error = 0;
  if (!IsOpen()) return Unopened(error);
  return StatEntryAt(static_cast<int>(handle_), name, info, error);
}

bool DirectoryHandle::ReadLinkTarget(const std::string& name, std::string& target, int& error) const {
  std::vector<char> buffer(256);
  for (;;) {
    ssize_t n = ::readlinkat(static_cast<int>(handle_), name.c_str(), buffer.data(), buffer.size());
    if (n < 0) return Failed(error);
    if (static_cast<size_t>(n) < buffer.size()) {
      target.assign(buffer.data(), static_cast<size_t>(n));
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
}

File DirectoryHandle::OpenForCopy(const std::string& name, int& error) const {
  // Without O_NONBLOCK, opening a FIFO put in the file's place since it was
  // listed would wait for a writer for ever.
  constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK;
  File file(::openat(static_cast<int>(handle_), name.c_str(), kFlags));
  if (!file.IsOpen()) {
    error = errno;
    return File();
  }
  int fd = static_cast<int>(file.Handle());
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    error = errno;
    return File();
  }
  if (!S_ISREG(info.st_mode)) {
    error = NotRegularError(info.st_mode);
    return File();
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    error = errno;
    return File();
  }
  return file;
}

bool DirectoryHandle::DeleteFile(const std::string& name, int& error) const {
  if (::unlinkat(static_cast<int>(handle_), name.c_str(), 0) == 0) return true;
  return Failed(error);
}

bool DirectoryHandle::RemoveDirectory(const std::string& name, int& error) const {
  if (::unlinkat(static_cast<int>(handle_), name.c_str(), AT_REMOVEDIR) == 0) return true;
  return Failed(error);
}

bool DirectoryHandle::Rename(const std::string& from, const std::string& to, bool noReplace, int& error) const {
  int fd = static_cast<int>(handle_);
  if (noReplace) {
    if (::renameat2(fd, from.c_str(), fd, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return Failed(error);
    // The file system cannot refuse by itself: test first.
    if (Exists(to)) {
      error = EEXIST;
      return false;
    }
  }
  if (::renameat(fd, from.c_str(), fd, to.c_str()) == 0) return true;
  return Failed(error);
}

bool DirectoryHandle::MakeDirectory(const std::string& name, int& error) const {
  if (::mkdirat(static_cast<int>(handle_), name.c_str(), 0777) == 0) return true;
  return Failed(error);
}

bool DirectoryHandle::MakeWritable(const std::string& name, int& error) const {
  struct stat info {};
  if (!StatEntryAt(static_cast<int>(handle_), name, info, error)) return false;
  if (S_ISLNK(info.st_mode) || (info.st_mode & S_IWUSR) != 0) return true;
  return SetAttributes(name, (info.st_mode & 07777) | S_IWUSR, error);
}

bool DirectoryHandle::SetTimes(const std::string& name, const FileStatus& times, int& error) const {
  struct timespec value[2] = {};
  value[0].tv_sec = static_cast<time_t>(times.accessSeconds);
  value[0].tv_nsec = static_cast<long>(times.accessNanoseconds);
  value[1].tv_sec = static_cast<time_t>(times.writeSeconds);
  value[1].tv_nsec = static_cast<long>(times.writeNanoseconds);
  int fd = static_cast<int>(handle_);
  int result = name.empty() ? ::futimens(fd, value) : ::utimensat(fd, name.c_str(), value, AT_SYMLINK_NOFOLLOW);
  if (result == 0) return true;
  return Failed(error);
}

size_t RemoveStagingLeftovers(const DirectoryHandle& directory, const std::vector<FindData>& entries) {
  if (!directory.IsOpen()) return 0;
  // A descriptor of its own: the lock belongs to the open directory, and the
  // walk's own descriptor must not count as a live copy, nor hold this lock.
  File opened(::openat(static_cast<int>(directory.Handle()), ".", kDirectoryFlags));
  if (!opened.IsOpen()) return 0;
  return RemoveStagingLeftoversIn(static_cast<int>(opened.Handle()), entries);
}

}  // namespace tav::platform
