// Files, directories and paths: the narrow file-system interface that the
// interpreter, the INI and registry stores and the synchronisation engine use.
// Implemented once per platform (posix/ and win32/); no OS type leaks out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tav::platform {

// The last system error number of the calling thread (errno on POSIX).
int LastError();
// The system's text for an error number, ending with a line break, as the
// messages that quote it expect ("No such file or directory\n").
std::string ErrorText(int error);

// The separator of this platform's paths.
char PathSeparator();
// Where the path's last separator is (either kind on Windows), npos when it
// has none; and whether the path ends in one. Both go by characters of the
// code page, so the second byte of a double-byte character, which may be
// 0x5C, is never taken for a backslash.
size_t LastSeparator(std::string_view path);
bool EndsWithSeparator(std::string_view path);
// A path as written in a program file, with the other platform's separator
// taken as this one's ("\" becomes "/" on POSIX).
std::string NativePath(std::string_view written);
// The absolute form of a path against the current directory, made lexically:
// "." and ".." folded, doubled separators folded, a trailing separator kept,
// symbolic links not resolved.
std::string FullPath(std::string_view path);
std::string CurrentDirectory();
bool SetCurrentDirectory(std::string_view path);
// The directory, a separator unless it already ends in one, then the name.
std::string JoinPath(std::string_view directory, std::string_view name);
// The file-name part of a path (everything after the last separator).
std::string FileTitle(std::string_view path);

// An open file. Move-only; closes itself.
class File {
 public:
  File() = default;
  explicit File(intptr_t handle) : handle_(handle) {}
  File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() { Close(); }

  bool IsOpen() const { return handle_ >= 0; }
  // Writes all of data; false on any failure.
  bool Write(std::string_view data);
  // Reads up to size bytes; the count read, 0 at the end, -1 on failure.
  long Read(void* buffer, size_t size);
  // Forces written data to stable storage.
  bool Sync();
  void Close();
  intptr_t Handle() const { return handle_; }

 private:
  intptr_t handle_ = -1;
};

enum class OpenMode {
  ReadExisting,    // read; the file must exist
  CreateTruncate,  // write; created, or emptied when it exists
  AppendAlways,    // write at the end; created when missing
};
// Opens a file; an unopened File on failure (LastError tells why).
File OpenFile(const std::string& path, OpenMode mode);

// Reads a whole file into out; false on failure (LastError tells why).
bool ReadWholeFile(const std::string& path, std::string& out);
// Reads a whole file that must be a regular file. It is opened without
// waiting and its type is checked on the open handle, so a FIFO without a
// writer or a device is refused at once instead of being read for ever. False
// when it cannot be opened or read (LastError tells why), or when it is no
// regular file: notAFile then names what it is ("a FIFO", "a device", ...).
bool ReadRegularFile(const std::string& path, std::string& out, std::string& notAFile);
// What tells a file's content apart from the one read before: a replacement
// by rename always brings a new file number, and the times and size catch an
// edit in place.
struct FileIdentity {
  bool exists = false;
  uint64_t device = 0;
  uint64_t number = 0;
  uint64_t size = 0;
  int64_t modifiedNs = 0;
  int64_t changedNs = 0;
  bool operator==(const FileIdentity&) const = default;
};
// The identity of the file at path (exists false when there is none).
FileIdentity IdentityOf(const std::string& path);
// Reads a whole file and the identity of what was read, from one open
// handle. A missing file is no failure: its identity says so and bytes are
// empty. False with error set when the file is there but cannot be read.
bool ReadFileAndIdentity(const std::string& path, std::string& bytes, FileIdentity& identity, int& error);
// Reads a file from offset to its end, and the identity of what was read,
// from one open handle: what a reader of a file that only grows needs. A
// missing file is no failure, as for ReadFileAndIdentity.
bool ReadFileFrom(const std::string& path, uint64_t offset, std::string& bytes, FileIdentity& identity, int& error);
// Appends data to the file at path and returns once it is on disk. With
// create, the file must not exist yet: it is made, without following a
// symbolic link, with the permission bits (and owner where permitted) of
// likeFile when that exists, and its directory entry is flushed too, so that
// the file itself survives a power cut. False with error set on any failure.
bool AppendDurably(const std::string& path, std::string_view data, bool create, const std::string& likeFile,
                   int& error);
// Deletes a file; false when it could not be deleted (also when missing).
bool RemoveFile(const std::string& path);
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Whether an existing file may not be written: it is marked read-only (on
// POSIX, its owner has no write permission) or this process may not write
// it. A symbolic link is followed. False for a missing file.
bool IsReadOnlyFile(const std::string& path);

// Replaces the file at path with data in one step: the data goes to a
// temporary file in the same directory, is flushed to disk, takes over the
// original's permission bits (and owner where permitted), and is renamed over
// the original. When path is a symbolic link, the file it points to is
// replaced and the link stays. On any failure the original is untouched, the
// temporary file is removed, false is returned and error holds the system
// error number.
bool ReplaceFileAtomically(const std::string& path, std::string_view data, int& error);

// An exclusive advisory lock that serialises read-modify-write updates of one
// file between processes. It locks the file's directory, so it works whether
// or not the file exists yet and survives the file being replaced by rename.
// A symbolic link is followed, as the replacement follows it. One process
// must not take a second lock on the same directory while it holds one.
// Once held, it removes the temporary files that replacements of this file
// killed before they finished have left: every replacement runs under the
// lock, so no live writer's temporary file can be among them.
class UpdateLock {
 public:
  explicit UpdateLock(const std::string& path);
  UpdateLock(const UpdateLock&) = delete;
  UpdateLock& operator=(const UpdateLock&) = delete;
  ~UpdateLock();
  bool Held() const { return handle_ >= 0; }

 private:
  intptr_t handle_ = -1;
};

// Attribute bits of the find data, with the values the engine's reports use.
enum : uint32_t {
  kAttrReadOnly = 0x1,
  kAttrHidden = 0x2,
  kAttrSystem = 0x4,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
  kAttrNormal = 0x80,
};

// What a directory listing tells about one entry. Times are 64-bit counts of
// 100-nanosecond units since 1601-01-01 (file times).
struct FindData {
  std::string name;
  uint32_t attributes = 0;
  uint64_t size = 0;
  uint64_t creationTime = 0;
  uint64_t accessTime = 0;
  uint64_t writeTime = 0;
  bool isLink = false;  // a symbolic link, listed as itself, never followed
  bool IsDirectory() const { return (attributes & kAttrDirectory) != 0; }
};

// The first entry that matches pattern: a path whose last component may hold
// the wildcards * and ? (case-insensitive, as the program file writes them).
// Relative patterns are taken against the current directory. False when
// nothing matches or the directory cannot be read.
bool FindFirst(const std::string& pattern, FindData& out);

}  // namespace tav::platform
