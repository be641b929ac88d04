// POSIX staged copies: data pieces, temporary files beside the destination
// and the rename that puts a finished copy in place.
#include <fcntl.h>
#include <sys/random.h>
#include <time.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>

#include "platform/file_ops.h"
#include "platform/posix/posix_util.h"

namespace tav::platform {

namespace {

int Fd(const File& file) { return static_cast<int>(file.Handle()); }

void FillStatus(const struct stat& info, FileStatus& out) {
  out.isDirectory = S_ISDIR(info.st_mode);
  out.isLink = S_ISLNK(info.st_mode);
  out.attributes = info.st_mode & 07777;
  out.size = static_cast<uint64_t>(info.st_size);
  out.accessSeconds = info.st_atim.tv_sec;
  out.accessNanoseconds = static_cast<uint32_t>(info.st_atim.tv_nsec);
  out.writeSeconds = info.st_mtim.tv_sec;
  out.writeNanoseconds = static_cast<uint32_t>(info.st_mtim.tv_nsec);
}

// "!SYN~" and six random letters: the engine's listings never show it.
std::string TemporaryName() {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[6] = {};
  if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    // Without random bytes the clock and the process still make the name unlikely to clash.
    struct timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t seed = static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(::getpid()) << 20);
    for (unsigned char& b : bytes) {
      b = static_cast<unsigned char>(seed);
      seed = seed * 6364136223846793005ull + 1442695040888963407ull;
      seed ^= seed >> 29;
    }
  }
  std::string name = "!SYN~";
  for (unsigned char b : bytes) name += kLetters[b % (sizeof kLetters - 1)];
  return name;
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

bool StagedFile::OpenDirectory(const std::string& destination, size_t trustedLength, int& error) {
  Discard();
  destination_ = destination;
  std::string directory = DirectoryOf(destination);
  constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  // The trusted part may pass through links; every component below it is
  // opened as itself, so that a link met on the way is refused, not passed
  // through. The first such component is opened together with the trusted
  // part, in one step.
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
  if (!current.IsOpen()) {
    error = errno;
    return false;
  }
  directory_ = std::move(current);
  return true;
}

bool StagedFile::CreateEntry(const std::string& destination, size_t trustedLength,
                             const std::function<bool(intptr_t, const std::string&)>& make, int& error) {
  if (!OpenDirectory(destination, trustedLength, error)) return false;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string name = TemporaryName();
    if (make(directory_.Handle(), name)) {
      temporaryName_ = name;
      size_t slash = destination.find_last_of('/');
      temporary_ = (slash == std::string::npos ? std::string() : destination.substr(0, slash + 1)) + name;
      active_ = true;
      return true;
    }
    if (errno != EEXIST) break;
  }
  error = errno;
  directory_.Close();
  return false;
}

bool StagedFile::CreateFile(const std::string& destination, size_t trustedLength, int& error) {
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
  if (::renameat(Fd(directory_), temporaryName_.c_str(), Fd(directory_), name.c_str()) != 0) {
    error = errno;
    return false;
  }
  active_ = false;
  directory_.Close();
  return true;
}

void StagedFile::Discard() {
  file_.Close();
  if (active_) ::unlinkat(Fd(directory_), temporaryName_.c_str(), 0);
  active_ = false;
  directory_.Close();
}

}  // namespace tav::platform
