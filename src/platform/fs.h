// Files, directories and paths: the narrow file-system interface that the
// interpreter, the INI and registry stores and the synchronisation engine use.
// Implemented once per platform (posix/ and win32/); no OS type leaks out.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
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
  // Gives up the handle without closing it.
  intptr_t Release() {
    intptr_t handle = handle_;
    handle_ = -1;
    return handle;
  }

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

// Replaces the file at path with data, keeping the file's owner, group,
// permission bits, access-control lists and extended attributes. Where the
// replacement can keep them all and the file has a single name, the data goes
// to a private temporary file (".NAME.tav32~new", mode 0600 from its
// creation) beside it, is flushed to disk, takes the original's attributes
// and is renamed over it. Otherwise (another user's file, or a file with more
// than one hard link) the file is rewritten in place, after a private backup
// copy (".NAME.tav32~old") was flushed to disk; the backup is removed once the
// file holds the new data, and the next update lock restores a backup that a
// killed update left. When path is a symbolic link, the file it points to is
// written and the link stays; a link is followed only when it belongs to this
// process's user or to the owner of its directory. Runs under the file's
// update lock. On failure false with error holding the system error number,
// and the file holds its old data.
bool ReplaceFileAtomically(const std::string& path, std::string_view data, int& error);

// What a wait for an update lock may do meanwhile: stop, when stop becomes
// true (the wait then fails with EINTR); and, once it has lasted a few
// seconds (quiet), say what it waits for through waiting (called once, with
// the path).
struct LockWait {
  const std::atomic<bool>* stop = nullptr;
  std::function<void(const std::string& path)> waiting;
  std::chrono::milliseconds quiet{3000};
};

// An exclusive advisory lock that serialises read-modify-write updates of one
// file between processes. It is a write lock on the file itself, taken through
// a handle open for writing, so only a user who may write the file can hold it
// (and so stall its other writers); a missing file is created empty for it,
// and removed again when the lock ends and nothing was written into it. The
// wait for it polls, so that LockWait can end it. Once held, it repairs what a
// killed update of the file left: the backup of an update in place is copied
// back, a temporary file of this process's user is removed (one look at each
// reserved name, no listing of the directory). A symbolic link is followed as
// the replacement follows it.
class UpdateLock {
 public:
  explicit UpdateLock(const std::string& path, const LockWait& wait = {});
  UpdateLock(const UpdateLock&) = delete;
  UpdateLock& operator=(const UpdateLock&) = delete;
  ~UpdateLock();
  bool Held() const { return handle_ >= 0; }
  // Why the lock is not held: a system error number (EINTR: the wait was
  // stopped).
  int Error() const { return error_; }

 private:
  intptr_t handle_ = -1;
  intptr_t directory_ = -1;
  std::string name_;
  bool created_ = false;
  int error_ = 0;
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
