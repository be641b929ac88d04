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

#include "platform/posix/posix_util.h"

namespace tav::platform {

int LastError() { return errno; }

std::string ErrorText(int error) {
  std::string text = std::strerror(error);
  text += '\n';
  return text;
}

char PathSeparator() { return '/'; }

std::string NativePath(std::string_view written) {
  std::string path(written);
  for (char& c : path) {
    if (c == '\\') c = '/';
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
  if (path.empty() || path.back() != '/') path += '/';
  path += name;
  return path;
}

std::string FileTitle(std::string_view path) {
  size_t slash = path.find_last_of('/');
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
  char buffer[65536];
  for (;;) {
    long n = file.Read(buffer, sizeof buffer);
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buffer, static_cast<size_t>(n));
  }
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
  bytes.clear();
  identity = FileIdentity();
  File file = OpenFile(path, OpenMode::ReadExisting);
  if (!file.IsOpen()) {
    error = errno;
    return error == ENOENT;
  }
  struct stat info {};
  if (::fstat(static_cast<int>(file.Handle()), &info) != 0) {
    error = errno;
    return false;
  }
  identity = IdentityOfStatus(info);
  char buffer[65536];
  for (;;) {
    long n = file.Read(buffer, sizeof buffer);
    if (n < 0) {
      error = errno;
      return false;
    }
    if (n == 0) return true;
    bytes.append(buffer, static_cast<size_t>(n));
  }
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
