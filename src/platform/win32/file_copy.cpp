// Windows staged copies: data pieces, temporary files beside the destination
// and the rename that puts a finished copy in place.
#include <functional>

#include "platform/directory_handle.h"
#include "platform/file_ops.h"
#include "platform/win32/file_util.h"

namespace tav::platform {

namespace {

constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ull;
constexpr uint64_t kUnitsPerSecond = 10'000'000ull;

// A file time as seconds and nanoseconds from 1970, the way FileStatus holds it.
void SplitFileTime(uint64_t time, int64_t& seconds, uint32_t& nanoseconds) {
  int64_t units = static_cast<int64_t>(time - kUnixEpochAsFileTime);
  int64_t whole = units / static_cast<int64_t>(kUnitsPerSecond);
  int64_t rest = units % static_cast<int64_t>(kUnitsPerSecond);
  if (rest < 0) {
    rest += static_cast<int64_t>(kUnitsPerSecond);
    --whole;
  }
  seconds = whole;
  nanoseconds = static_cast<uint32_t>(rest * 100);
}

void FillStatus(DWORD attributes, DWORD reparseTag, uint64_t size, const FILETIME& creation,
                const FILETIME& access, const FILETIME& write, FileStatus& out) {
  out.isLink = IsLinkEntry(attributes, reparseTag);
  out.isDirectory = !out.isLink && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  out.attributes = attributes;
  out.size = size;
  out.creationTime = FromFileTime(creation);
  SplitFileTime(FromFileTime(access), out.accessSeconds, out.accessNanoseconds);
  SplitFileTime(FromFileTime(write), out.writeSeconds, out.writeNanoseconds);
}

// "!SYN~" and six letters: the engine's listings never show it. A clash with
// an existing name only costs another attempt, as the file is created new.
std::string TemporaryName(uint64_t& seed) {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string name = "!SYN~";
  for (int i = 0; i < 6; ++i) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    name += kLetters[(seed >> 33) % (sizeof kLetters - 1)];
  }
  return name;
}

// Names are compared without regard to case here, so a leftover's letters
// may be of either case.
bool IsStagingName(const std::string& name) {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  return name.size() == 11 && name.compare(0, 5, "!SYN~") == 0 &&
         name.find_first_not_of(kLetters, 5) == std::string::npos;
}

uint64_t NameSeed() {
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  return static_cast<uint64_t>(counter.QuadPart) ^ (static_cast<uint64_t>(::GetCurrentProcessId()) << 32) ^
         ::GetTickCount64();
}

constexpr int kNameAttempts = 100;

// The reparse tag of an open file (0 when it is no reparse point).
DWORD OpenReparseTag(HANDLE handle) {
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof info)) return 0;
  return (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? info.ReparseTag : 0;
}

// Opens a path as itself, never through a link in its last component; an
// unopened File when it is a link. Other reparse points (files kept by a
// storage service, deduplicated files) are opened normally, so that their
// data is read as any program reads it.
File OpenAsItself(const std::string& path, DWORD access, DWORD disposition, DWORD flags) {
  constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE handle = ::CreateFileA(path.c_str(), access, kShare, nullptr, disposition,
                                flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return File();
  DWORD tag = OpenReparseTag(handle);
  if (tag == 0) return FileOf(handle);
  ::CloseHandle(handle);
  if (IsLinkEntry(FILE_ATTRIBUTE_REPARSE_POINT, tag)) {
    ::SetLastError(ERROR_CANT_RESOLVE_FILENAME);
    return File();
  }
  return FileOf(::CreateFileA(path.c_str(), access, kShare, nullptr, disposition, flags, nullptr));
}

}  // namespace

bool ReadStatus(const std::string& path, FileStatus& out, int& error) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
    error = static_cast<int>(::GetLastError());
    return false;
  }
  DWORD tag = ReparseTagOf(path, data.dwFileAttributes);
  uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  FillStatus(data.dwFileAttributes, tag, size, data.ftCreationTime, data.ftLastAccessTime, data.ftLastWriteTime,
             out);
  return true;
}

bool ReadStatus(const File& file, FileStatus& out, int& error) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(HandleOf(file), &info)) {
    error = static_cast<int>(::GetLastError());
    return false;
  }
  uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  // An open file is never a link: OpenForCopy refuses them.
  FillStatus(info.dwFileAttributes, 0, size, info.ftCreationTime, info.ftLastAccessTime, info.ftLastWriteTime, out);
  return true;
}

File OpenForCopy(const std::string& path) {
  return OpenAsItself(path, GENERIC_READ, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
}

File OpenForAppend(const std::string& path) {
  return OpenAsItself(path, FILE_APPEND_DATA | SYNCHRONIZE, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
}

long PieceCopier::CopyPiece(File& from, File& to, std::vector<char>& buffer, size_t limit, bool& readFailed,
                            int& error) {
  // Windows offers no copy between two open handles: reads and writes it is.
  direct_ = false;
  return CopyThroughBuffer(from, to, buffer, limit, readFailed, error);
}

long PieceCopier::CopyThroughBuffer(File& from, File& to, std::vector<char>& buffer, size_t limit,
                                    bool& readFailed, int& error) {
  size_t want = limit < buffer.size() ? limit : buffer.size();
  DWORD got = 0;
  if (!::ReadFile(HandleOf(from), buffer.data(), static_cast<DWORD>(want), &got, nullptr)) {
    error = static_cast<int>(::GetLastError());
    readFailed = true;
    return -1;
  }
  DWORD done = 0;
  while (done < got) {
    DWORD written = 0;
    if (!::WriteFile(HandleOf(to), buffer.data() + done, got - done, &written, nullptr) || written == 0) {
      error = static_cast<int>(::GetLastError());
      readFailed = false;
      return -1;
    }
    done += written;
  }
  return static_cast<long>(got);
}

bool StagingDirectory::OpenFor(const std::string& destination, size_t trustedLength, int& error) {
  std::string directory = DirectoryPart(destination);
  if (handle_.IsOpen() && directory == path_ && trustedLength >= trustedLength_) return true;
  Close();
  if (!IsRealDirectory(directory, trustedLength)) {
    DWORD attributes = ::GetFileAttributesA(directory.c_str());
    error = attributes == INVALID_FILE_ATTRIBUTES ? static_cast<int>(::GetLastError()) : ERROR_CANT_RESOLVE_FILENAME;
    return false;
  }
  return Hold(File(), directory, trustedLength, error);
}

bool StagingDirectory::OpenIn(const DirectoryHandle& directory, int& error) {
  if (handle_.IsOpen() && directory.Path() == path_ && trustedLength_ == 0) return true;
  Close();
  if (!directory.IsOpen()) {
    error = directory.OpenError();
    return false;
  }
  // The walk holds the directory and every one above it: nothing of the way
  // is trusted, and nothing needs checking again.
  return Hold(File(), directory.Path(), 0, error);
}

bool StagingDirectory::Hold(File /*opened*/, const std::string& directory, size_t trustedLength, int& error) {
  // Held open without delete sharing, the checked directory (and every one
  // above it) cannot be renamed away or replaced while copies are made.
  HANDLE handle = ::CreateFileA(directory.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = static_cast<int>(::GetLastError());
    return false;
  }
  handle_ = FileOf(handle);
  path_ = directory;
  trustedLength_ = trustedLength;
  sequence_ = NameSeed();
  return true;
}

void StagingDirectory::Close() {
  handle_.Close();
  path_.clear();
}

std::string StagingDirectory::NextName() { return TemporaryName(sequence_); }

bool StagedFile::CreateEntry(const std::string& destination, size_t trustedLength,
                             const std::function<bool(intptr_t, const std::string&)>& make, int& error) {
  Discard();
  destination_ = destination;
  if (!directory_->OpenFor(destination, trustedLength, error)) return false;
  size_t cut = LastSeparator(destination);
  std::string prefix = cut == std::string::npos ? std::string() : destination.substr(0, cut + 1);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string name = directory_->NextName();
    if (make(directory_->Handle(), prefix + name)) {
      temporaryName_ = name;
      temporary_ = prefix + name;
      active_ = true;
      return true;
    }
    DWORD last = ::GetLastError();
    if (last != ERROR_FILE_EXISTS && last != ERROR_ALREADY_EXISTS) break;
  }
  error = static_cast<int>(::GetLastError());
  own_.Close();
  return false;
}

bool StagedFile::CreateFile(const std::string& destination, size_t trustedLength, int& error,
                            const SecurityInfo* initial) {
  SECURITY_DESCRIPTOR accessList;
  SECURITY_ATTRIBUTES security{sizeof security, nullptr, FALSE};
  if (initial != nullptr && AccessListOnly(*initial, accessList)) security.lpSecurityDescriptor = &accessList;
  return CreateEntry(
      destination, trustedLength,
      [this, &security](intptr_t, const std::string& path) {
        HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &security,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        file_ = FileOf(handle);
        return file_.IsOpen();
      },
      error);
}

bool StagedFile::CreateLink(const std::string& destination, const std::string& target, size_t trustedLength,
                            int& error) {
  // A link to a directory must be made as one; the target decides, as seen
  // from the destination's directory.
  std::string seenFrom = target.size() > 1 && (target[1] == ':' || target[0] == '\\' || target[0] == '/')
                             ? target
                             : DirectoryPart(destination) + "\\" + target;
  DWORD targetAttributes = ::GetFileAttributesA(seenFrom.c_str());
  DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
  if (targetAttributes != INVALID_FILE_ATTRIBUTES && (targetAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    flags |= SYMBOLIC_LINK_FLAG_DIRECTORY;
  }
  return CreateEntry(
      destination, trustedLength,
      [&target, flags](intptr_t, const std::string& path) {
        return ::CreateSymbolicLinkA(path.c_str(), target.c_str(), flags) != 0;
      },
      error);
}

bool StagedFile::Commit(bool flush, int& error) {
  if (!active_) {
    error = ERROR_INVALID_FUNCTION;
    return false;
  }
  if (flush && file_.IsOpen() && !::FlushFileBuffers(HandleOf(file_))) {
    error = static_cast<int>(::GetLastError());
    return false;
  }
  file_.Close();
  // A read-only destination is replaced like any other; should the rename
  // fail, it keeps its attribute.
  DWORD old = 0;
  bool cleared = ClearReadOnly(destination_, old);
  if (!::MoveFileExA(temporary_.c_str(), destination_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = static_cast<int>(::GetLastError());
    if (cleared) ::SetFileAttributesA(destination_.c_str(), old);
    return false;
  }
  active_ = false;
  own_.Close();
  return true;
}

void StagedFile::Discard() {
  file_.Close();
  if (active_) {
    // The copy's own attributes (read-only among them) may already be set.
    DWORD attributes = ::GetFileAttributesA(temporary_.c_str());
    bool isDirectoryLink = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    ::SetFileAttributesA(temporary_.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (isDirectoryLink) {
      ::RemoveDirectoryA(temporary_.c_str());
    } else {
      ::DeleteFileA(temporary_.c_str());
    }
  }
  active_ = false;
  own_.Close();
}

// A staged copy stays open, without delete sharing, from its creation until it
// is renamed, so a leftover that can be opened for deletion with no sharing at
// all belongs to no live copy. One that a live copy is just renaming fails
// that copy's rename, which reports the copy as failed and leaves the
// destination as it was.
size_t RemoveStagingLeftovers(const std::string& directory, const std::vector<FindData>& entries) {
  size_t removed = 0;
  for (const FindData& entry : entries) {
    if (entry.IsDirectory() || !IsStagingName(entry.name)) continue;
    std::string path = directory + "\\" + entry.name;
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE handle = ::CreateFileA(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) continue;
    ::CloseHandle(handle);
    ++removed;
  }
  return removed;
}

}  // namespace tav::platform
