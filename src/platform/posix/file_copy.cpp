// POSIX staged copies: data pieces, temporary files beside the destination
// and the rename that puts a finished copy in place.
#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>

#include "platform/directory_handle.h"
#include "platform/file_ops.h"
#include "platform/posix/posix_util.h"

namespace tav::platform {

namespace {

int Fd(const File& file) { return static_cast<int>(file.Handle()); }

constexpr char kStagingPrefix[] = "!SYN~";
constexpr char kNameLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kNameTail = 6;

// A well-mixed 64-bit value from a counter (the finaliser of SplitMix64).
uint64_t Mix(uint64_t value) {
  value = (value ^ (value >> 30)) * 0xbf58476d1ce4e5b9ull;
  value = (value ^ (value >> 27)) * 0x94d049bb133111ebull;
  return value ^ (value >> 31);
}

// Where a directory's run of names starts: the clock and this object's
// address. No system call is needed (the clock is read in user space); a
// name that clashes, by chance or by design, is only skipped, since every
// temporary entry is created exclusively.
uint64_t NameSeed(const void* self) {
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return Mix((static_cast<uint64_t>(now.tv_sec) << 30) ^ static_cast<uint64_t>(now.tv_nsec) ^
             reinterpret_cast<uintptr_t>(self));
}

bool IsStagingName(const std::string& name) {
  constexpr size_t kPrefix = sizeof kStagingPrefix - 1;
  return name.size() == kPrefix + kNameTail && name.compare(0, kPrefix, kStagingPrefix) == 0 &&
         name.find_first_not_of(kNameLetters, kPrefix) == std::string::npos;
}

// Opens a directory below its trusted part component by component, so that a
// link met on the way is refused, not passed through. The trusted part and
// the first component below it are opened in one step.
File OpenCheckedDirectory(const std::string& directory, size_t trustedLength) {
  constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  size_t end = directory.size();
  int flags = kFlags;
  if (directory.size() > trustedLength) {
    size_t cut = directory.rfind('/', trustedLength);
    end = directory.find('/', cut == std::string::npos ? 0 : cut + 1);
    if (end == std::string::npos) end = directory.size();
    flags |= O_NOFOLLOW;
  }
  File current(::open(directory.substr(0, end).c_str(), flags));
  for (size_t start = end + 1; current.IsOpen() && start < directory.size(); start = end + 1) {
    end = directory.find('/', start);
    if (end == std::string::npos) end = directory.size();
    std::string component = directory.substr(start, end - start);
    if (!component.empty()) current = File(::openat(Fd(current), component.c_str(), kFlags | O_NOFOLLOW));
  }
  return current;
}

constexpr int kNameAttempts = 100;

// Writes a file's data to the device and waits for it, so that the rename
// that follows (journaled after it) never names data that was only in
// memory. Where the operation is not offered, a full fsync does it.
bool WriteOut(int fd) {
  unsigned flags = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
  if (::sync_file_range(fd, 0, 0, flags) == 0) return true;
  if (errno != ENOSYS && errno != EINVAL && errno != ESPIPE) return false;
  return ::fsync(fd) == 0;
}

}  // namespace

bool ReadStatus(const std::string& path, FileStatus& out, int& error) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    error = errno;
    return false;
  }
  FillStatus(info, out);
  return true;
}

bool ReadStatus(const File& file, FileStatus& out, int& error) {
  struct stat info {};
  if (::fstat(Fd(file), &info) != 0) {
    error = errno;
    return false;
  }
  FillStatus(info, out);
  return true;
}

File OpenForCopy(const std::string& path) {
  return File(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY));
}

File OpenForAppend(const std::string& path) {
  return File(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0666));
}

long PieceCopier::CopyPiece(File& from, File& to, std::vector<char>& buffer, size_t limit, bool& readFailed,
                            int& error) {
  while (direct_) {
    ssize_t n = ::copy_file_range(Fd(from), nullptr, Fd(to), nullptr, limit, 0);
    if (n > 0) return static_cast<long>(n);
    // Some file systems report 0 before the real end: a read settles it.
    if (n == 0) break;
    if (errno == EINTR) continue;
    // Not offered here, or failed: reads and writes tell which side failed.
    direct_ = false;
  }
  return CopyThroughBuffer(from, to, buffer, limit, readFailed, error);
}

long PieceCopier::CopyThroughBuffer(File& from, File& to, std::vector<char>& buffer, size_t limit,
                                    bool& readFailed, int& error) {
  size_t want = limit < buffer.size() ? limit : buffer.size();
  long n = from.Read(buffer.data(), want);
  if (n < 0) {
    error = errno;
    readFailed = true;
    return -1;
  }
  if (n > 0 && !WriteAll(Fd(to), buffer.data(), static_cast<size_t>(n))) {
    error = errno;
    readFailed = false;
    return -1;
  }
  return n;
}

bool StagingDirectory::OpenFor(const std::string& destination, size_t trustedLength, int& error) {
  std::string directory = DirectoryOf(destination);
  if (handle_.IsOpen() && directory == path_ && trustedLength >= trustedLength_) return true;
  Close();
  File opened = OpenCheckedDirectory(directory, trustedLength);
  if (!opened.IsOpen()) {
    error = errno;
    return false;
  }
  return Hold(std::move(opened), directory, trustedLength, error);
}

bool StagingDirectory::OpenIn(const DirectoryHandle& directory, int& error) {
  if (handle_.IsOpen() && directory.Path() == path_ && trustedLength_ == 0) return true;
  Close();
  if (!directory.IsOpen()) {
    error = directory.OpenError();
    return false;
  }
  // A descriptor of its own, since the lock belongs to the open directory.
  File opened(::openat(static_cast<int>(directory.Handle()), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!opened.IsOpen()) {
    error = errno;
    return false;
  }
  // Reached through handles only: nothing of the way is trusted.
  return Hold(std::move(opened), directory.Path(), 0, error);
}

// A copy holds a shared lock on its directory, so that no other run's
// clean-up takes its staging file for a leftover. Anyone who may read the
// directory can hold the exclusive lock, so the wait for the shared one is
// bounded: a run's clean-up holds it for moments only, and one still held
// after that belongs to someone else. The copy then goes on without it:
// while that lock is held, no clean-up can run either, and a staging file
// removed later fails its copy, which is reported, and the old file stays.
bool StagingDirectory::Hold(File opened, const std::string& directory, size_t trustedLength, int& error) {
  constexpr int kPolls = 100;
  constexpr timespec kPollInterval{0, 50 * 1000 * 1000};
  for (int poll = 0; ::flock(Fd(opened), LOCK_SH | LOCK_NB) != 0;) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      error = errno;
      return false;
    }
    if (++poll > kPolls) break;
    ::nanosleep(&kPollInterval, nullptr);
  }
  handle_ = std::move(opened);
  path_ = directory;
  trustedLength_ = trustedLength;
  sequence_ = NameSeed(this);
  return true;
}

void StagingDirectory::Close() {
  handle_.Close();
  path_.clear();
}

std::string StagingDirectory::NextName() {
  uint64_t bits = Mix(++sequence_);
  std::string name = kStagingPrefix;
  for (size_t i = 0; i < kNameTail; ++i, bits /= sizeof kNameLetters - 1) {
    name += kNameLetters[bits % (sizeof kNameLetters - 1)];
  }
  return name;
}

bool StagedFile::CreateEntry(const std::string& destination, size_t trustedLength,
                             const std::function<bool(intptr_t, const std::string&)>& make, int& error) {
  Discard();
  destination_ = destination;
  if (!directory_->OpenFor(destination, trustedLength, error)) return false;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string name = directory_->NextName();
    if (make(directory_->Handle(), name)) {
      temporaryName_ = name;
      size_t slash = destination.find_last_of('/');
      temporary_ = (slash == std::string::npos ? std::string() : destination.substr(0, slash + 1)) + name;
      active_ = true;
      return true;
    }
    if (errno != EEXIST) break;
  }
  error = errno;
  own_.Close();
  return false;
}

bool StagedFile::CreateFile(const std::string& destination, size_t trustedLength, int& error,
                            const SecurityInfo* /*initial*/) {
  return CreateEntry(
      destination, trustedLength,
      [this](intptr_t directory, const std::string& name) {
        int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW;
        file_ = File(::openat(static_cast<int>(directory), name.c_str(), flags, 0600));
        return file_.IsOpen();
      },
      error);
}

bool StagedFile::CreateLink(const std::string& destination, const std::string& target, size_t trustedLength,
                            int& error) {
  return CreateEntry(
      destination, trustedLength,
      [&target](intptr_t directory, const std::string& name) {
        return ::symlinkat(target.c_str(), static_cast<int>(directory), name.c_str()) == 0;
      },
      error);
}

bool StagedFile::Commit(bool flush, int& error) {
  if (!active_) {
    error = EINVAL;
    return false;
  }
  if (flush && file_.IsOpen() && !WriteOut(Fd(file_))) {
    error = errno;
    return false;
  }
  file_.Close();
  size_t slash = destination_.find_last_of('/');
  std::string name = slash == std::string::npos ? destination_ : destination_.substr(slash + 1);
  int directory = static_cast<int>(directory_->Handle());
  if (::renameat(directory, temporaryName_.c_str(), directory, name.c_str()) != 0) {
    error = errno;
    return false;
  }
  active_ = false;
  own_.Close();
  return true;
}

void StagedFile::Discard() {
  file_.Close();
  if (active_) ::unlinkat(static_cast<int>(directory_->Handle()), temporaryName_.c_str(), 0);
  active_ = false;
  own_.Close();
}

size_t RemoveStagingLeftoversIn(int directory, const std::vector<FindData>& entries) {
  std::vector<const std::string*> leftovers;
  for (const FindData& entry : entries) {
    if (!entry.IsDirectory() && IsStagingName(entry.name)) leftovers.push_back(&entry.name);
  }
  if (leftovers.empty()) return 0;
  // Every copy in progress holds a shared lock on its directory: when the
  // exclusive one cannot be had at once, one of these may be live.
  if (::flock(directory, LOCK_EX | LOCK_NB) != 0) return 0;
  size_t removed = 0;
  for (const std::string* name : leftovers) {
    if (::unlinkat(directory, name->c_str(), 0) == 0) ++removed;
  }
  return removed;
}

size_t RemoveStagingLeftovers(const std::string& directory, const std::vector<FindData>& entries) {
  File opened(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
  if (!opened.IsOpen()) return 0;
  return RemoveStagingLeftoversIn(Fd(opened), entries);
}

}  // namespace tav::platform
