#include "platform/posix/posix_util.h"

#include <unistd.h>

#include <cerrno>

namespace tav::platform {

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool ReadAllFrom(int fd, uint64_t offset, std::string& out) {
  out.clear();
  char buffer[65536];
  for (auto at = static_cast<off_t>(offset);;) {
    ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buffer, static_cast<size_t>(n));
    at += n;
  }
}

uint64_t ToFileTime(const struct timespec& time) {
  constexpr int64_t kEpochDifference = 11644473600LL;
  int64_t seconds = static_cast<int64_t>(time.tv_sec) + kEpochDifference;
  if (seconds < 0) return 0;
  return static_cast<uint64_t>(seconds) * 10'000'000ull + static_cast<uint64_t>(time.tv_nsec) / 100;
}

void FillFindData(const struct stat& info, const std::string& name, FindData& out) {
  out.name = name;
  out.isLink = S_ISLNK(info.st_mode);
  out.attributes = 0;
  if (S_ISDIR(info.st_mode)) out.attributes |= kAttrDirectory;
  if ((info.st_mode & S_IWUSR) == 0 && !out.isLink) out.attributes |= kAttrReadOnly;
  if (!name.empty() && name[0] == '.') out.attributes |= kAttrHidden;
  out.size = S_ISDIR(info.st_mode) ? 0 : static_cast<uint64_t>(info.st_size);
  out.writeTime = ToFileTime(info.st_mtim);
  out.accessTime = ToFileTime(info.st_atim);
  out.creationTime = out.writeTime;
}

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

bool StatEntry(const std::string& path, const std::string& name, FindData& out) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return false;
  FillFindData(info, name, out);
  return true;
}

namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameLetter(char a, char b) { return FoldAscii(a) == FoldAscii(b); }

// Matches with one backtracking point: the last "*" seen. When a later part
// fails, that "*" takes one more character and the rest is tried again. This
// is enough for "*" and "?" and keeps the work to pattern size times name
// size, however many stars the pattern holds.
bool MatchFrom(const std::string& p, const std::string& n) {
  size_t i = 0;
  size_t j = 0;
  size_t star = std::string::npos;
  size_t resume = 0;
  while (j < n.size()) {
    if (i < p.size() && p[i] == '*') {
      star = i++;
      resume = j;
    } else if (i < p.size() && (p[i] == '?' || SameLetter(p[i], n[j]))) {
      ++i;
      ++j;
    } else if (star != std::string::npos) {
      i = star + 1;
      j = ++resume;
    } else {
      return false;
    }
  }
  while (i < p.size() && p[i] == '*') ++i;
  return i == p.size();
}

}  // namespace

bool WildcardMatch(const std::string& pattern, const std::string& name) {
  if (MatchFrom(pattern, name)) return true;
  return name.find('.') == std::string::npos && MatchFrom(pattern, name + ".");
}

}  // namespace tav::platform
