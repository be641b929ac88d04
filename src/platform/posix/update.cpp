// POSIX replacement of files and their update locks. Every step acts through
// a handle of the file's directory on the file's own name, so that nothing a
// user who can write the directory swaps in (a link, another file) is
// followed; the names of temporary files and backups are fixed per file, so
// that clearing what a killed update left is one look at each name.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/fs.h"
#include "platform/posix/posix_util.h"

namespace tav::platform {

namespace {

constexpr size_t kLongestTitle = 200;
constexpr char kTemporaryTail[] = ".tav32~new";
constexpr char kBackupTail[] = ".tav32~old";
// The first line of a backup: names the file (device and number) it copies.
constexpr char kBackupMarker[] = "TAV32 backup of file ";
constexpr int kMostLinks = 8;
constexpr auto kPollInterval = std::chrono::milliseconds(50);

int Fd(const File& file) { return static_cast<int>(file.Handle()); }

// A reserved name beside a file: a dot, the file's name (cut so that the
// whole fits in a directory entry), then the tail.
std::string ReservedName(const std::string& title, const char* tail) {
  std::string name = ".";
  name.append(title, 0, kLongestTitle);
  name += tail;
  return name;
}

// Where an update writes: a handle that locates the file's directory (it
// needs no read permission on it) and the file's name in it.
struct Place {
  File directory;
  std::string name;
};

// Whether a symbolic link may be followed: it belongs to this process's user
// or to the owner of the directory that holds it, as the kernel's protection
// of links in shared directories decides.
bool MayFollow(const struct stat& link, int directory) {
  struct stat owner {};
  return link.st_uid == ::geteuid() || (::fstat(directory, &owner) == 0 && owner.st_uid == link.st_uid);
}

std::string ReadLinkAt(int directory, const std::string& name) {
  std::vector<char> buffer(4096);
  ssize_t n = ::readlinkat(directory, name.c_str(), buffer.data(), buffer.size());
  return n > 0 ? std::string(buffer.data(), static_cast<size_t>(n)) : std::string();
}

// The place of the file that an update of path writes: a symbolic link is
// followed to its target when it may be (ELOOP otherwise).
bool FindPlace(const std::string& path, Place& place, int& error) {
  std::string current = path;
  for (int step = 0; step <= kMostLinks; ++step) {
    place.directory = File(::open(DirectoryOf(current).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    place.name = FileTitle(current);
    if (!place.directory.IsOpen() || place.name.empty()) {
      error = place.directory.IsOpen() ? EISDIR : errno;
      return false;
    }
    struct stat info {};
    if (::fstatat(Fd(place.directory), place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISLNK(info.st_mode)) {
      return true;
    }
    std::string target = ReadLinkAt(Fd(place.directory), place.name);
    if (!MayFollow(info, Fd(place.directory)) || target.empty()) break;
    current = target[0] == '/' ? target : JoinPath(DirectoryOf(current), target);
  }
  error = ELOOP;
  return false;
}

// Whether a file is one that this process's user made and nobody else names:
// only such a file under a reserved name is ever removed or trusted.
bool IsOwnSingleFile(const struct stat& info) {
  return S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && info.st_nlink == 1;
}

void RemoveOwnLeftover(int directory, const std::string& name) {
  struct stat info {};
  if (::fstatat(directory, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && IsOwnSingleFile(info)) {
    ::unlinkat(directory, name.c_str(), 0);
  }
}

// Makes an entry made or removed in the directory durable. A directory the
// process may not read cannot be opened for this; the entry is then as
// durable as the file system makes it on its own.
void SyncDirectory(const Place& place) {
  File opened(::openat(Fd(place.directory), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (opened.IsOpen()) ::fsync(Fd(opened));
}

// Puts data into an open file in place of its content and flushes it.
bool OverwriteWith(int fd, std::string_view data) {
  for (size_t done = 0; done < data.size();) {
    ssize_t n = ::pwrite(fd, data.data() + done, data.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    done += static_cast<size_t>(n);
  }
  return ::ftruncate(fd, static_cast<off_t>(data.size())) == 0 && ::fsync(fd) == 0;
}

std::string BackupMarker(const struct stat& file) {
  return kBackupMarker + std::to_string(file.st_dev) + ":" + std::to_string(file.st_ino) + "\n";
}

// Copies back the backup that an update in place killed before it finished
// left, and removes it. A backup that is not this user's own, or that does
// not begin with the marker, is left alone; one of a file that is no longer
// there goes.
void RestoreLeftBackup(const Place& place, int target) {
  const std::string backup = ReservedName(place.name, kBackupTail);
  File copy(::openat(Fd(place.directory), backup.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  struct stat file {};
  std::string bytes;
  if (!copy.IsOpen() || ::fstat(Fd(copy), &info) != 0 || !IsOwnSingleFile(info) || ::fstat(target, &file) != 0 ||
      !ReadAllFrom(Fd(copy), 0, bytes) || bytes.rfind(kBackupMarker, 0) != 0) {
    return;
  }
  const std::string marker = BackupMarker(file);
  if (bytes.rfind(marker, 0) == 0 && !OverwriteWith(target, std::string_view(bytes).substr(marker.size()))) return;
  ::unlinkat(Fd(place.directory), backup.c_str(), 0);
  SyncDirectory(place);
}

bool IsMemberOf(gid_t group) {
  if (group == ::getegid()) return true;
  int count = ::getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  count = ::getgroups(count, groups.data());
  return count > 0 && std::find(groups.begin(), groups.begin() + count, group) != groups.begin() + count;
}

// Whether a new file can be given the old one's owner and group.
bool MayKeepOwner(const struct stat& old) {
  return ::geteuid() == 0 || (old.st_uid == ::geteuid() && IsMemberOf(old.st_gid));
}

// Copies every extended attribute (access-control lists among them) from one
// open file to another.
bool CopyExtendedAttributes(int from, int to) {
  ssize_t size = ::flistxattr(from, nullptr, 0);
  if (size < 0) return errno == ENOTSUP;
  std::vector<char> names(static_cast<size_t>(size) + 1, '\0');
  size = ::flistxattr(from, names.data(), names.size() - 1);
  if (size < 0) return false;
  for (const char* name = names.data(); name < names.data() + size; name += std::char_traits<char>::length(name) + 1) {
    ssize_t length = ::fgetxattr(from, name, nullptr, 0);
    std::vector<char> value(static_cast<size_t>(std::max<ssize_t>(length, 0)) + 1);
    if (length < 0 || (length = ::fgetxattr(from, name, value.data(), value.size())) < 0 ||
        ::fsetxattr(to, name, value.data(), static_cast<size_t>(length), 0) != 0) {
      return false;
    }
  }
  return true;
}

// Gives a new file the owner, group, permission bits and extended attributes
// of the file it replaces. The owner goes first, as changing it clears
// set-id bits.
bool TakeOverAttributes(const Place& place, const struct stat& old, int fd) {
  if (::fchown(fd, old.st_uid, old.st_gid) != 0 || ::fchmod(fd, old.st_mode & 07777) != 0) return false;
  File original(::openat(Fd(place.directory), place.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  return original.IsOpen() && CopyExtendedAttributes(Fd(original), fd);
}

mode_t NewFileMode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// The replacement by rename. attributesKept false: the new file could not
// take over the old one's attributes, and nothing was changed.
bool ReplaceByRename(const Place& place, const struct stat* old, std::string_view data, int& error,
                     bool& attributesKept) {
  const int directory = Fd(place.directory);
  const std::string temporary = ReservedName(place.name, kTemporaryTail);
  RemoveOwnLeftover(directory, temporary);
  File file(::openat(directory, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!file.IsOpen()) {
    // Another user's file under the reserved name: the update goes in place.
    error = errno;
    attributesKept = error != EEXIST;
    return false;
  }
  bool ok = WriteAll(Fd(file), data.data(), data.size());
  if (ok) {
    attributesKept = old != nullptr ? TakeOverAttributes(place, *old, Fd(file)) : ::fchmod(Fd(file), NewFileMode()) == 0;
    ok = attributesKept;
  }
  ok = ok && ::fsync(Fd(file)) == 0;
  if (!ok) error = errno;
  file.Close();
  if (ok && ::renameat(directory, temporary.c_str(), directory, place.name.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlinkat(directory, temporary.c_str(), 0);
    return false;
  }
  SyncDirectory(place);
  return true;
}

// The update in place: a private backup of the old content first, flushed,
// then the file rewritten, then the backup removed. A kill at any moment
// leaves either the old or the new content, or the backup to restore it.
bool UpdateInPlace(const Place& place, std::string_view data, int& error) {
  const int directory = Fd(place.directory);
  File target(::openat(directory, place.name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  std::string old;
  if (!target.IsOpen() || ::fstat(Fd(target), &info) != 0 || !ReadAllFrom(Fd(target), 0, old)) {
    error = errno;
    return false;
  }
  const std::string backup = ReservedName(place.name, kBackupTail);
  File copy(::openat(directory, backup.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  const std::string marker = BackupMarker(info);
  bool ok = copy.IsOpen() && WriteAll(Fd(copy), marker.data(), marker.size()) &&
            WriteAll(Fd(copy), old.data(), old.size()) && ::fsync(Fd(copy)) == 0;
  if (!ok) {
    error = errno;
    if (copy.IsOpen()) ::unlinkat(directory, backup.c_str(), 0);
    return false;
  }
  copy.Close();
  SyncDirectory(place);
  if (!OverwriteWith(Fd(target), data)) {
    error = errno;
    if (!OverwriteWith(Fd(target), old)) return false;  // the backup stays for the next lock
  }
  ::unlinkat(directory, backup.c_str(), 0);
  SyncDirectory(place);
  return error == 0;
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, std::string_view data, int& error) {
  error = 0;
  Place place;
  if (!FindPlace(path, place, error)) return false;
  struct stat old {};
  if (::fstatat(Fd(place.directory), place.name.c_str(), &old, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno != ENOENT) {
      error = errno;
      return false;
    }
    bool kept = true;
    return ReplaceByRename(place, nullptr, data, error, kept);
  }
  if (!S_ISREG(old.st_mode)) {
    error = S_ISDIR(old.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  if (old.st_nlink == 1 && MayKeepOwner(old)) {
    bool kept = true;
    if (ReplaceByRename(place, &old, data, error, kept) || kept) return error == 0;
    error = 0;
  }
  return UpdateInPlace(place, data, error);
}

namespace {

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Whether the name still names the open file: a writer that held the lock
// before may have replaced or removed it.
bool StillNamed(const Place& place, int fd) {
  struct stat opened {};
  struct stat named {};
  return ::fstat(fd, &opened) == 0 &&
         ::fstatat(Fd(place.directory), place.name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         SameFile(opened, named);
}

// Opens the file for writing, creating it empty when it is missing (created
// tells). Only a regular file can be locked.
File OpenForLock(const Place& place, bool& created, int& error) {
  constexpr int kFlags = O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  for (;;) {
    created = false;
    File file(::openat(Fd(place.directory), place.name.c_str(), kFlags));
    if (!file.IsOpen() && errno == ENOENT) {
      file = File(::openat(Fd(place.directory), place.name.c_str(), kFlags | O_CREAT | O_EXCL, NewFileMode()));
      created = file.IsOpen();
      if (!file.IsOpen() && errno == EEXIST) continue;
    }
    struct stat info {};
    if (file.IsOpen() && ::fstat(Fd(file), &info) == 0 && !S_ISREG(info.st_mode)) errno = EINVAL;
    else if (file.IsOpen()) return file;
    error = errno;
    return File();
  }
}

// Removes the file the lock created while it is still empty and named so.
void RemoveIfCreatedEmpty(const Place& place, int fd) {
  struct stat info {};
  if (StillNamed(place, fd) && ::fstat(fd, &info) == 0 && info.st_size == 0) {
    ::unlinkat(Fd(place.directory), place.name.c_str(), 0);
  }
}

}  // namespace

UpdateLock::UpdateLock(const std::string& path, const LockWait& wait) {
  Place place;
  if (!FindPlace(path, place, error_)) return;
  const auto start = std::chrono::steady_clock::now();
  bool told = false;
  for (;;) {
    bool created = false;
    File file = OpenForLock(place, created, error_);
    if (!file.IsOpen()) return;
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    while (::fcntl(Fd(file), F_OFD_SETLK, &range) != 0) {
      bool busy = errno == EAGAIN || errno == EACCES || errno == EINTR;
      bool stopped = wait.stop != nullptr && wait.stop->load();
      if (!busy || stopped) {
        error_ = busy ? EINTR : errno;
        if (created) RemoveIfCreatedEmpty(place, Fd(file));
        return;
      }
      if (!told && wait.waiting && std::chrono::steady_clock::now() - start >= wait.quiet) {
        wait.waiting(path);
        told = true;
      }
      std::this_thread::sleep_for(kPollInterval);
    }
    if (!StillNamed(place, Fd(file))) continue;
    RestoreLeftBackup(place, Fd(file));
    RemoveOwnLeftover(Fd(place.directory), ReservedName(place.name, kTemporaryTail));
    created_ = created;
    name_ = place.name;
    handle_ = file.Release();
    directory_ = place.directory.Release();
    error_ = 0;
    return;
  }
}

UpdateLock::~UpdateLock() {
  if (handle_ >= 0 && created_) {
    Place place{File(directory_), name_};
    directory_ = -1;
    RemoveIfCreatedEmpty(place, static_cast<int>(handle_));
  }
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  if (directory_ >= 0) ::close(static_cast<int>(directory_));
}

}  // namespace tav::platform
