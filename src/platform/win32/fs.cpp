// Win32 implementation of the file-system interface.
#include "platform/fs.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "platform/code_page.h"
#include "platform/win32/win32_api.h"

namespace tav::platform {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kPathBuffer = 32768;

uint64_t JoinTime(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

void FillFindData(const WIN32_FIND_DATAA& found, FindData& out) {
  out.name = found.cFileName;
  out.attributes = found.dwFileAttributes;
  out.size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  out.creationTime = JoinTime(found.ftCreationTime);
  out.accessTime = JoinTime(found.ftLastAccessTime);
  out.writeTime = JoinTime(found.ftLastWriteTime);
  out.isLink = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
               found.dwReserved0 == IO_REPARSE_TAG_SYMLINK;
}

DWORD Attributes(const std::string& path) {
  return path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesA(path.c_str());
}

}  // namespace

std::string DirectoryPart(const std::string& path) {
  size_t separator = LastSeparator(path);
  if (separator == std::string::npos) {
    // "C:NAME" lies in drive C's current directory.
    return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : std::string(".");
  }
  bool root = separator == 0 || (separator == 2 && path[1] == ':');
  return path.substr(0, root ? separator + 1 : separator);
}

int LastError() { return static_cast<int>(::GetLastError()); }

std::string ErrorText(int error) {
  char buffer[4096];
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(error), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer,
                             sizeof buffer, nullptr);
  std::string text;
  for (DWORD i = 0; i < n; ++i) {
    if (buffer[i] != '\r') text += buffer[i];
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  if (text.empty()) text = "Error " + std::to_string(error);
  text += '\n';
  return text;
}

char PathSeparator() { return '\\'; }

size_t LastSeparator(std::string_view path) { return CodePage::OfProcess().FindLastOf(path, "\\/"); }

bool EndsWithSeparator(std::string_view path) {
  return !path.empty() && (path.back() == '/' || CodePage::OfProcess().EndsWith(path, '\\'));
}

std::string NativePath(std::string_view written) {
  std::string path(written);
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  // The system ignores trailing blanks of a name; they are dropped here so
  // that every operation sees the same name.
  while (!path.empty() && path.back() == ' ') path.pop_back();
  return path;
}

std::string CurrentDirectory() {
  std::vector<char> buffer(kPathBuffer);
  DWORD n = ::GetCurrentDirectoryA(kPathBuffer, buffer.data());
  if (n == 0 || n >= kPathBuffer) return std::string();
  return std::string(buffer.data(), n);
}

std::string FullPath(std::string_view path) {
  std::string input(path);
  if (input.empty()) return CurrentDirectory();
  std::vector<char> buffer(kPathBuffer);
  DWORD n = ::GetFullPathNameA(input.c_str(), kPathBuffer, buffer.data(), nullptr);
  if (n == 0 || n >= kPathBuffer) return input;
  std::string full(buffer.data(), n);
  // Doubled separators are folded (the system keeps them), except the two
  // that begin a network path; a character's second byte 0x5C is no
  // separator.
  const CodePage& codePage = CodePage::OfProcess();
  std::string out;
  bool afterSeparator = false;
  for (size_t i = 0; i < full.size();) {
    size_t length = codePage.CharacterLength(full, i);
    bool separator = length == 1 && full[i] == '\\';
    if (!(i > 1 && separator && afterSeparator)) out.append(full, i, length);
    afterSeparator = separator;
    i += length;
  }
  return out;
}

bool SetCurrentDirectory(std::string_view path) {
  std::string p(path);
  return !p.empty() && ::SetCurrentDirectoryA(p.c_str()) != 0;
}

std::string JoinPath(std::string_view directory, std::string_view name) {
  std::string path(directory);
  if (!EndsWithSeparator(path)) path += '\\';
  path += name;
  return path;
}

std::string FileTitle(std::string_view path) {
  size_t separator = CodePage::OfProcess().FindLastOf(path, "\\/:");
  return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

bool File::Write(std::string_view data) {
  if (!IsOpen()) return false;
  while (!data.empty()) {
    DWORD chunk = data.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(data.size());
    DWORD written = 0;
    if (!::WriteFile(AsHandle(handle_), data.data(), chunk, &written, nullptr) || written == 0) return false;
    data.remove_prefix(written);
  }
  return true;
}

long File::Read(void* buffer, size_t size) {
  if (!IsOpen()) return -1;
  DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  DWORD n = 0;
  if (::ReadFile(AsHandle(handle_), buffer, chunk, &n, nullptr)) return static_cast<long>(n);
  // The writer of a pipe has closed it: the end of the data.
  return ::GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
}

bool File::Sync() { return IsOpen() && ::FlushFileBuffers(AsHandle(handle_)) != 0; }

void File::Close() {
  if (handle_ >= 0) ::CloseHandle(AsHandle(handle_));
  handle_ = -1;
}

File OpenFile(const std::string& path, OpenMode mode) {
  if (path.empty()) {
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    return File();
  }
  DWORD access = GENERIC_WRITE, share = FILE_SHARE_READ, disposition = CREATE_ALWAYS;
  switch (mode) {
    case OpenMode::ReadExisting:
      access = GENERIC_READ;
      share = kShareAll;
      disposition = OPEN_EXISTING;
      break;
    case OpenMode::CreateTruncate:
      break;
    case OpenMode::AppendAlways:
      access = FILE_APPEND_DATA | SYNCHRONIZE;
      share = FILE_SHARE_READ | FILE_SHARE_WRITE;
      disposition = OPEN_ALWAYS;
      break;
  }
  HANDLE h = ::CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  return File(FromHandle(h));
}

namespace {

bool ReadToEnd(File& file, std::string& out) {
  LARGE_INTEGER size{};
  if (::GetFileSizeEx(AsHandle(file.Handle()), &size) && size.QuadPart > 0) {
    out.reserve(static_cast<size_t>(size.QuadPart));
  }
  out.clear();
  std::vector<char> buffer(65536);
  for (;;) {
    long n = file.Read(buffer.data(), buffer.size());
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buffer.data(), static_cast<size_t>(n));
  }
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& out) {
  File file = OpenFile(path, OpenMode::ReadExisting);
  return file.IsOpen() && ReadToEnd(file, out);
}

bool ReadRegularFile(const std::string& path, std::string& out, std::string& notAFile) {
  notAFile.clear();
  File file = OpenFile(path, OpenMode::ReadExisting);
  if (!file.IsOpen()) return false;
  // A pipe, the console or another device would be read for ever.
  DWORD type = ::GetFileType(AsHandle(file.Handle()));
  if (type != FILE_TYPE_DISK) {
    notAFile = type == FILE_TYPE_PIPE ? "a pipe" : "a device";
    return false;
  }
  return ReadToEnd(file, out);
}

bool RemoveFile(const std::string& path) { return !path.empty() && ::DeleteFileA(path.c_str()) != 0; }

bool FileExists(const std::string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

bool DirectoryExists(const std::string& path) {
  DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsReadOnlyFile(const std::string& path) {
  DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  if (attributes & FILE_ATTRIBUTE_READONLY) return true;
  // Write access the security of the file denies counts as read-only; a file
  // that another program holds open is merely busy.
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    ::CloseHandle(h);
    return false;
  }
  return ::GetLastError() == ERROR_ACCESS_DENIED;
}

namespace {

// The access-control list of the file at path, as a self-relative security
// descriptor; empty when there is no file or its list cannot be read.
std::vector<char> AccessListOf(const std::string& path) {
  DWORD needed = 0;
  ::GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
  std::vector<char> descriptor(needed);
  if (needed == 0 || !::GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), needed, &needed)) {
    descriptor.clear();
  }
  return descriptor;
}

// Creates a new, empty temporary file in directory; its handle (or
// INVALID_HANDLE_VALUE) and name. With a descriptor the file has that access
// list from the moment it exists, so nobody the replaced file kept out can
// open it while the new content is written; without one it takes the
// directory's inherited list, as any new file would.
HANDLE CreateTemporaryFile(const std::string& directory, std::vector<char>& descriptor, std::string& name) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device seed;
  std::mt19937 random(seed());
  std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
  SECURITY_ATTRIBUTES security{sizeof security, descriptor.empty() ? nullptr : descriptor.data(), FALSE};
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = JoinPath(directory, ".tav32-");
    for (int i = 0; i < 8; ++i) name += kLetters[pick(random)];
    HANDLE h = ::CreateFileA(name.c_str(), GENERIC_WRITE, 0, &security, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) return h;
  }
  return INVALID_HANDLE_VALUE;
}

bool WriteAndClose(HANDLE h, std::string_view data, int& error) {
  File file(FromHandle(h));
  bool ok = file.Write(data) && file.Sync();
  if (!ok) error = LastError();
  file.Close();
  return ok;
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, std::string_view data, int& error) {
  // The system refuses to replace a read-only file; the refusal is made here
  // before anything is written, also where a file system would let it pass.
  DWORD attributes = Attributes(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    error = ERROR_ACCESS_DENIED;
    return false;
  }
  std::string directory = DirectoryPart(path);
  std::string name;
  std::vector<char> accessList = AccessListOf(path);
  HANDLE h = CreateTemporaryFile(directory, accessList, name);
  if (h == INVALID_HANDLE_VALUE) {
    error = LastError();
    return false;
  }
  bool ok = WriteAndClose(h, data, error);
  if (ok && attributes != INVALID_FILE_ATTRIBUTES) {
    // The original's hidden, system and archive marks stay with the file.
    DWORD keep = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    if (keep != 0) ::SetFileAttributesA(name.c_str(), keep);
  }
  if (ok && !::MoveFileExA(name.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = false;
    error = LastError();
  }
  if (!ok) {
    ::SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(name.c_str());
  }
  return ok;
}

UpdateLock::UpdateLock(const std::string& path, const LockWait& wait) {
  // One named mutex per directory, named after a hash of its full path with
  // the case folded (names are case-insensitive). A mutex whose holder died
  // is handed over, so a crashed interpreter never blocks the others.
  std::string directory = FullPath(DirectoryPart(FullPath(path)));
  uint64_t hash = 14695981039346656037ull;
  for (char c : directory) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 'a' && u <= 'z') u = static_cast<unsigned char>(u - 'a' + 'A');
    if (u == '/') u = '\\';
    hash = (hash ^ u) * 1099511628211ull;
  }
  char name[64];
  std::snprintf(name, sizeof name, "Local\\TAV32-update-%016llx", static_cast<unsigned long long>(hash));
  HANDLE mutex = ::CreateMutexA(nullptr, FALSE, name);
  if (mutex == nullptr) {
    error_ = static_cast<int>(::GetLastError());
    return;
  }
  // The wait polls, so that a stop ends it and a long one can be reported.
  const auto start = std::chrono::steady_clock::now();
  bool told = false;
  for (;;) {
    DWORD result = ::WaitForSingleObject(mutex, 50);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) break;
    if (result != WAIT_TIMEOUT || (wait.stop != nullptr && wait.stop->load())) {
      error_ = result == WAIT_TIMEOUT ? ERROR_CANCELLED : static_cast<int>(::GetLastError());
      ::CloseHandle(mutex);
      return;
    }
    if (!told && wait.waiting && std::chrono::steady_clock::now() - start >= wait.quiet) {
      wait.waiting(path);
      told = true;
    }
  }
  handle_ = FromHandle(mutex);
}

UpdateLock::~UpdateLock() {
  if (handle_ < 0) return;
  ::ReleaseMutex(AsHandle(handle_));
  ::CloseHandle(AsHandle(handle_));
}

bool FindFirst(const std::string& pattern, FindData& out) {
  std::string path = NativePath(pattern);
  if (path.empty()) return false;
  WIN32_FIND_DATAA found{};
  HANDLE h = ::FindFirstFileA(path.c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return false;
  ::FindClose(h);
  FillFindData(found, out);
  return true;
}

}  // namespace tav::platform
