// POSIX directory listings for the synchronisation engine.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_ops.h"
#include "platform/posix/posix_util.h"

namespace tav::platform {

namespace {

// FIFOs, sockets and devices take no part in a synchronisation.
bool IsListedType(unsigned char type) {
  return type != DT_FIFO && type != DT_SOCK && type != DT_CHR && type != DT_BLK;
}

bool IsListedMode(mode_t mode) { return S_ISREG(mode) || S_ISDIR(mode) || S_ISLNK(mode); }

}  // namespace

ListStatus ListDirectory(const std::string& directory, bool followLink, std::vector<FindData>& entries,
                         int& error) {
  entries.clear();
  int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
  int fd = ::open(directory.c_str(), flags);
  if (fd < 0) {
    error = errno;
    return ListStatus::kOpenFailed;
  }
  return ListOpenDirectory(fd, entries, error);
}

ListStatus ListOpenDirectory(int fd, std::vector<FindData>& entries, int& error) {
  entries.clear();
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    error = errno;
    ::close(fd);
    return ListStatus::kOpenFailed;
  }
  ListStatus status = ListStatus::kOk;
  for (;;) {
    errno = 0;
    dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      if (errno != 0) {
        error = errno;
        status = ListStatus::kReadFailed;
      }
      break;
    }
    const char* name = entry->d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
    if (!IsListedType(entry->d_type)) continue;
    struct stat info {};
    // An entry that vanished since it was read is no longer part of the directory.
    if (::fstatat(::dirfd(dir), name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!IsListedMode(info.st_mode)) continue;
    entries.emplace_back();
    FillFindData(info, name, entries.back());
  }
  ::closedir(dir);
  return status;
}

// POSIX file systems tell names apart by letter case: plain byte order.
int CompareFileNames(const std::string& a, const std::string& b) { return a.compare(b); }

bool ReadFindData(const std::string& path, FindData& out, int& error) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    error = errno;
    return false;
  }
  size_t slash = path.find_last_of('/');
  FillFindData(info, slash == std::string::npos ? path : path.substr(slash + 1), out);
  return true;
}

}  // namespace tav::platform
