// File operations of the synchronisation engine: listing a directory with the
// find data of each entry, staged copies that replace a destination in one
// rename, times, permission bits, owners, access-control lists, links, free
// space and directories. Unless an operation says otherwise, a symbolic link
// in the last component of a path is never followed: it is read, renamed or
// removed as itself, and nothing is written through it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/fs.h"

namespace tav::platform {

enum class ListStatus {
  kOk,
  kOpenFailed,  // the listing could not be started
  kReadFailed,  // the listing broke off after it had started
};

// Lists a directory's entries without "." and "..", each with its find data.
// A symbolic link is an entry of its own, described as itself; FIFOs, sockets
// and device files are left out. When followLink is false, a directory path
// whose last component is a symbolic link is refused (kOpenFailed).
ListStatus ListDirectory(const std::string& directory, bool followLink, std::vector<FindData>& entries,
                         int& error);

// The find data of one path, described as itself.
bool ReadFindData(const std::string& path, FindData& out, int& error);

// What a copy needs to know of a file: its kind, permission bits, owner and
// exact times.
struct FileStatus {
  bool isDirectory = false;
  bool isLink = false;
  uint32_t permissions = 0;  // the bits 07777
  uint32_t owner = 0;
  uint32_t group = 0;
  uint64_t size = 0;
  int64_t accessSeconds = 0;
  int64_t writeSeconds = 0;
  uint32_t accessNanoseconds = 0;
  uint32_t writeNanoseconds = 0;
};
bool ReadStatus(const std::string& path, FileStatus& out, int& error);
bool ReadStatus(const File& file, FileStatus& out, int& error);

// Opens a file for reading a copy's data; refuses a symbolic link.
File OpenForCopy(const std::string& path);
// Opens a file for appending, created when missing; refuses a symbolic link,
// so that nothing is written through one.
File OpenForAppend(const std::string& path);

// Copies the next piece of at most limit bytes from one open file to the
// other, by the fastest means the system offers, falling back to reads and
// writes through buffer. Returns the bytes copied (0 at the end of the
// source), or -1 with readFailed telling whether reading or writing failed.
class PieceCopier {
 public:
  long CopyPiece(File& from, File& to, std::vector<char>& buffer, size_t limit, bool& readFailed, int& error);

 private:
  long CopyThroughBuffer(File& from, File& to, std::vector<char>& buffer, size_t limit, bool& readFailed,
                         int& error);
  bool direct_ = true;
};

// The directory that receives staged copies, opened once for all the copies
// into it. The first trustedLength characters of its path may pass through
// symbolic links; below them every component must be a real directory.
// While open it holds a shared lock on the directory, so that the removal of
// staging leftovers (RemoveStagingLeftovers) never takes a live copy's
// temporary file.
class StagingDirectory {
 public:
  StagingDirectory() = default;
  StagingDirectory(const StagingDirectory&) = delete;
  StagingDirectory& operator=(const StagingDirectory&) = delete;

  // Opens the directory of destination, or keeps it when it is open already
  // with at least this much checked.
  bool OpenFor(const std::string& destination, size_t trustedLength, int& error);
  void Close();
  bool IsOpen() const { return handle_.IsOpen(); }
  intptr_t Handle() const { return handle_.Handle(); }
  // A fresh name: "!SYN~" and six letters.
  std::string NextName();

 private:
  File handle_;
  std::string path_;
  size_t trustedLength_ = 0;
  uint64_t sequence_ = 0;
};

// A temporary file, named "!SYN~" and a random tail, in the directory of a
// destination; renamed over the destination only by Commit. Discarded (the
// temporary removed) when it goes out of scope uncommitted. The first
// trustedLength characters of the destination's directory may pass through
// symbolic links; below them every component must be a real directory.
// Given a StagingDirectory, it uses that one (which must outlive it) instead
// of opening the directory itself.
class StagedFile {
 public:
  StagedFile() = default;
  explicit StagedFile(StagingDirectory& shared) : directory_(&shared) {}
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;
  ~StagedFile() { Discard(); }

  // A regular temporary file, open for writing (File()).
  bool CreateFile(const std::string& destination, size_t trustedLength, int& error);
  // A symbolic link with the given target as the temporary entry.
  bool CreateLink(const std::string& destination, const std::string& target, size_t trustedLength, int& error);
  File& Data() { return file_; }
  const std::string& TemporaryPath() const { return temporary_; }
  // Writes the data out to the device first when asked (and waits for it),
  // closes the temporary and renames it over the destination.
  bool Commit(bool flush, int& error);
  void Discard();

 private:
  // Makes the temporary entry under a fresh name with make(directory, name).
  bool CreateEntry(const std::string& destination, size_t trustedLength,
                   const std::function<bool(intptr_t, const std::string&)>& make, int& error);

  std::string destination_;
  std::string temporary_;
  std::string temporaryName_;
  File file_;
  StagingDirectory own_;
  StagingDirectory* directory_ = &own_;
  bool active_ = false;
};

// Removes the staged copies that killed runs left among a directory's
// listed entries (names "!SYN~" and six letters), unless a live copy is
// being staged there (by this process or another): then nothing is touched.
// Returns how many were removed.
size_t RemoveStagingLeftovers(const std::string& directory, const std::vector<FindData>& entries);

// Sets the permission bits (07777) of a path; a symbolic link is left alone
// (links carry no permissions of their own) and counts as success.
bool SetPermissions(const std::string& path, uint32_t permissions, int& error);
// Gives the owner write permission back when it is missing (a link is left
// alone). The counterpart of clearing a read-only attribute.
bool MakeOwnerWritable(const std::string& path, int& error);
// Sets the access and write times of a path (of a link itself).
bool SetTimes(const std::string& path, const FileStatus& times, int& error);
// Sets owner and group of a path (of a link itself).
bool SetOwner(const std::string& path, uint32_t owner, uint32_t group, int& error);
uint32_t EffectiveUser();
uint32_t EffectiveGroup();
// The modes new files and directories get: 0666 and 0777 less the umask.
uint32_t DefaultFileMode();
uint32_t DefaultDirectoryMode();

enum class AclKind { kAccess, kDefault };
enum class AclStatus {
  kPresent,      // the path has such a list; data holds it
  kAbsent,       // the path has none
  kUnsupported,  // the file system keeps no access-control lists
  kFailed,       // error tells why
};
// Reads an access-control list of a path in the system's stored form.
AclStatus ReadAcl(const std::string& path, AclKind kind, std::string& data, int& error);
// Writes a list read by ReadAcl; an empty data removes the list. A missing
// list on removal is success.
AclStatus WriteAcl(const std::string& path, AclKind kind, const std::string& data, int& error);

// The target of a symbolic link.
bool ReadLinkTarget(const std::string& path, std::string& target, int& error);

// Removes a file or a link (never what a link points to).
bool DeleteFile(const std::string& path, int& error);
// Removes an empty directory.
bool RemoveDirectory(const std::string& path, int& error);
// Renames within one file system; with noReplace an existing target makes it
// fail instead of being replaced.
bool RenamePath(const std::string& from, const std::string& to, bool noReplace, int& error);
// Creates one directory with the default mode.
bool MakeDirectory(const std::string& path, int& error);
// Creates a directory and every missing one above it. The first
// trustedLength characters of the path may pass through symbolic links; below
// them every existing component must be a real directory, so that nothing is
// created through a link.
bool MakeDirectories(const std::string& path, size_t trustedLength);
// Whether the path is a directory reached from its first trustedLength
// characters through real directories only (and is no link itself).
bool IsRealDirectory(const std::string& path, size_t trustedLength);
// Whether anything (a dangling link too) exists at the path.
bool PathExists(const std::string& path);

// The blocks available to unprivileged users on the file system that holds
// the path, or its nearest existing parent. False when none can be asked.
bool FreeBlocks(const std::string& path, uint64_t& blocks);

// The canonical path with every symbolic link resolved; empty when the path
// cannot be resolved.
std::string RealPath(const std::string& path);

}  // namespace tav::platform
