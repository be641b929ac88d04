// POSIX implementation of the file-system interface.
#include "platform/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/code_page.h"
#include "platform/posix/posix_util.h"

namespace tav::platform {

int LastError() { return errno; }

std::string ErrorText(int error) {
  std::string text = std::strerror(error);
  text += '\n';
  return text;
}

char PathSeparator() { return '/'; }

// No code page this system runs in has a character whose later byte is '/'
// (0x2F): those bytes are 0x40 and above, or digits in GB18030.
size_t LastSeparator(std::string_view path) { return path.find_last_of('/'); }

bool EndsWithSeparator(std::string_view path) { return !path.empty() && path.back() == '/'; }

std::string NativePath(std::string_view written) {
  std::string path(written);
  // Only a backslash that is a character of its own: in a double-byte code
  // page the second byte of a character may be 0x5C as well.
  const CodePage& codePage = CodePage::OfProcess();
  for (size_t at = codePage.Find(path, '\\'); at != std::string::npos; at = codePage.Find(path, '\\', at + 1)) {
    path[at] = '/';
  }
  // Trailing blanks are not part of a file name, as on Windows.
  while (!path.empty() && path.back() == ' ') path.pop_back();
  return path;
}

std::string CurrentDirectory() {
  std::vector<char> buffer(4096);
  for (;;) {
    if (getcwd(buffer.data(), buffer.size()) != nullptr) return std::string(buffer.data());
    if (errno != ERANGE) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

std::string FullPath(std::string_view path) {
  std::string input(path);
  if (input.empty()) return CurrentDirectory();
  if (input[0] != '/') {
    std::string current = CurrentDirectory();
    // Without a current directory (it was removed) a relative path has no
    // full form. It stays relative, so that using it fails as the directory
    // does, instead of naming a file in the root directory.
    if (current.empty()) return input;
    input = current + "/" + input;
  }
  bool trailing = input.back() == '/';
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= input.size()) {
    size_t slash = input.find('/', start);
    if (slash == std::string::npos) slash = input.size();
    std::string part = input.substr(start, slash - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = slash + 1;
  }
  std::string out;
  for (const std::string& part : parts) out += "/" + part;
  if (out.empty()) return "/";
  if (trailing) out += '/';
  return out;
}

bool SetCurrentDirectory(std::string_view path) {
  std::string p(path);
  return !p.empty() && chdir(p.c_str()) == 0;
}

std::string JoinPath(std::string_view directory, std::string_view name) {
  std::string path(directory);
  if (!EndsWithSeparator(path)) path += '/';
  path += name;
  return path;
}

std::string FileTitle(std::string_view path) {
  size_t slash = LastSeparator(path);
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool File::Write(std::string_view data) {
  return IsOpen() && WriteAll(static_cast<int>(handle_), data.data(), data.size());
}

long File::Read(void* buffer, size_t size) {
  if (!IsOpen()) return -1;
  for (;;) {
    ssize_t n = ::read(static_cast<int>(handle_), buffer, size);
    if (n >= 0) return static_cast<long>(n);
    if (errno != EINTR) return -1;
  }
}

bool File::Sync() { return IsOpen() && ::fsync(static_cast<int>(handle_)) == 0; }

void File::Close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
}

File OpenFile(const std::string& path, OpenMode mode) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case OpenMode::ReadExisting:
      flags |= O_RDONLY;
      break;
    case OpenMode::CreateTruncate:
      flags |= O_WRONLY | O_CREAT | O_TRUNC;
      break;
    case OpenMode::AppendAlways:
      flags |= O_WRONLY | O_CREAT | O_APPEND;
      break;
  }
  if (path.empty()) {
    errno = ENOENT;
    return File();
  }
  int fd = ::open(path.c_str(), flags, 0666);
  return File(fd);
}

namespace {

// Appends what remains of an open file to out; false on a read error.
bool AppendRest(File& file, std::string& out) {
  char buffer[65536];
  for (;;) {
    long n = file.Read(buffer, sizeof buffer);
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buffer, static_cast<size_t>(n));
  }
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& out) {
  File file = OpenFile(path, OpenMode::ReadExisting);
  if (!file.IsOpen()) return false;
  struct stat info {};
  if (::fstat(static_cast<int>(file.Handle()), &info) != 0) return false;
  if (S_ISDIR(info.st_mode)) {
    errno = EISDIR;
    return false;
  }
  out.clear();
  if (info.st_size > 0) out.reserve(static_cast<size_t>(info.st_size));
  return AppendRest(file, out);
}

namespace {

std::string KindOfFile(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISSOCK(mode)) return "a socket";
  return "a device";
}

}  // namespace

bool ReadRegularFile(const std::string& path, std::string& out, std::string& notAFile) {
  notAFile.clear();
  File file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!file.IsOpen()) return false;
  int fd = static_cast<int>(file.Handle());
  struct stat info {};
  if (::fstat(fd, &info) != 0) return false;
  if (!S_ISREG(info.st_mode)) {
    notAFile = KindOfFile(info.st_mode);
    return false;
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return false;
  out.clear();
  out.reserve(static_cast<size_t>(info.st_size));
  return AppendRest(file, out);
}

namespace {

FileIdentity IdentityOfStatus(const struct stat& info) {
  auto ns = [](const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; };
  return FileIdentity{true,
                      static_cast<uint64_t>(info.st_dev),
                      static_cast<uint64_t>(info.st_ino),
                      static_cast<uint64_t>(info.st_size),
                      ns(info.st_mtim),
                      ns(info.st_ctim)};
}

}  // namespace

FileIdentity IdentityOf(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? IdentityOfStatus(info) : FileIdentity();
}

bool ReadFileAndIdentity(const std::string& path, std::string& bytes, FileIdentity& identity, int& error) {
  return ReadFileFrom(path, 0, bytes, identity, error);
}

bool RemoveFile(const std::string& path) { return !path.empty() && ::unlink(path.c_str()) == 0; }

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

bool DirectoryExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsReadOnlyFile(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  return (info.st_mode & S_IWUSR) == 0 || ::access(path.c_str(), W_OK) != 0;
}

bool FindFirst(const std::string& pattern, FindData& out) {
  std::string path = NativePath(pattern);
  size_t slash = path.find_last_of('/');
  std::string directory = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
  if (last.find_first_of("*?") == std::string::npos) {
    return !last.empty() && StatEntry(path, last, out);
  }
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) return false;
  // Below the root a directory lists "." and ".." first, as Windows does, so
  // that "DIR\*.*" finds an empty directory too.
  bool root = FullPath(directory) == "/";
  for (const char* self : {".", ".."}) {
    if (!root && WildcardMatch(last, self) && StatEntry(directory + "/" + self, self, out)) {
      ::closedir(dir);
      return true;
    }
  }
  bool found = false;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (!WildcardMatch(last, name)) continue;
    if (StatEntry(directory + "/" + name, name, out)) {
      found = true;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

}  // namespace tav::platform

namespace tav::platform {

bool ReadFileFrom(const std::string& path, uint64_t offset, std::string& bytes, FileIdentity& identity, int& error) {
  bytes.clear();
  identity = FileIdentity();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return error == ENOENT;
  }
  File file(fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    error = errno;
    return false;
  }
  identity = IdentityOfStatus(info);
  if (ReadAllFrom(fd, offset, bytes)) return true;
  error = errno;
  return false;
}

bool AppendDurably(const std::string& path, std::string_view data, bool create, const std::string& likeFile,
                   int& error) {
  struct stat like {};
  bool copyMode = create && ::stat(likeFile.c_str(), &like) == 0;
  // Without a file to copy from it is made as any new file: 0666 less the umask.
  int flags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT | O_EXCL : 0);
  int fd = ::open(path.c_str(), flags, copyMode ? 0600 : 0666);
  if (fd < 0) {
    error = errno;
    return false;
  }
  File file(fd);
  bool ok = true;
  if (copyMode) {
    [[maybe_unused]] int ignored = ::fchown(fd, like.st_uid, like.st_gid);
    ok = ::fchmod(fd, like.st_mode & 0777) == 0;
  }
  ok = ok && WriteAll(fd, data.data(), data.size()) && ::fdatasync(fd) == 0;
  if (!ok) {
    error = errno;
    return false;
  }
  if (create) {
    int dirfd = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    bool synced = dirfd >= 0 && ::fsync(dirfd) == 0;
    if (!synced) error = errno;
    if (dirfd >= 0) ::close(dirfd);
    if (!synced) return false;
  }
  return true;
}

}  // namespace tav::platform
