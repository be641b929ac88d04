// File operations of the synchronisation engine: listing a directory with the
// find data of each entry, the order of names, staged copies that replace a
// destination in one rename, times, attributes, security information, links,
// free space and directories. Unless an operation says otherwise, a symbolic link
// in the last component of a path is never followed: it is read, renamed or
// removed as itself, and nothing is written through it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/fs.h"

namespace tav::platform {

class DirectoryHandle;

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

// The order of two file names by this system's rule: negative, 0 or positive.
// Names that differ only in letter case are the same name where the file
// system does not tell them apart (Windows: the user's locale, without regard
// to case), and different names where it does (POSIX: byte order).
int CompareFileNames(const std::string& a, const std::string& b);

// What a copy needs to know of a file: its kind, its attributes and exact
// times. The attributes are the system's own word for what a copy carries
// over with Preserve: the permission bits 07777 on POSIX, the attribute bits
// (read-only, hidden, system, archive, ...) on Windows.
struct FileStatus {
  bool isDirectory = false;
  bool isLink = false;
  uint32_t attributes = 0;
  uint64_t size = 0;
  int64_t accessSeconds = 0;
  int64_t writeSeconds = 0;
  uint32_t accessNanoseconds = 0;
  uint32_t writeNanoseconds = 0;
  // The creation time as a file time (100-ns units since 1601-01-01); 0 where
  // the system keeps none that can be set.
  uint64_t creationTime = 0;
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
  // Opens the directory that a walk holds open (or keeps it when it is open
  // already); destinations staged afterwards must lie in it.
  bool OpenIn(const DirectoryHandle& directory, int& error);
  void Close();
  bool IsOpen() const { return handle_.IsOpen(); }
  intptr_t Handle() const { return handle_.Handle(); }
  // A fresh name: "!SYN~" and six letters.
  std::string NextName();

 private:
  // Keeps an opened directory, with the shared lock taken.
  bool Hold(File opened, const std::string& directory, size_t trustedLength, int& error);

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
class SecurityInfo;

class StagedFile {
 public:
  StagedFile() = default;
  explicit StagedFile(StagingDirectory& shared) : directory_(&shared) {}
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;
  ~StagedFile() { Discard(); }

  // A regular temporary file, open for writing (File()), that nobody but its
  // creator can open while it is filled: POSIX makes it 0600, Windows gives
  // it the access list of initial when there is one (the list the finished
  // copy will carry), else the one it inherits like any new file.
  bool CreateFile(const std::string& destination, size_t trustedLength, int& error,
                  const SecurityInfo* initial = nullptr);
  // A symbolic link with the given target as the temporary entry.
  bool CreateLink(const std::string& destination, const std::string& target, size_t trustedLength, int& error);
  File& Data() { return file_; }
  const std::string& TemporaryPath() const { return temporary_; }
  // The temporary's name in the destination's directory.
  const std::string& TemporaryName() const { return temporaryName_; }
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

// Sets the attributes of a path (a word from FileStatus or CopiedAttributes);
// a symbolic link is left alone (links carry none of their own) and counts as
// success.
bool SetAttributes(const std::string& path, uint32_t attributes, int& error);
// The attributes that new files and directories get by default (POSIX: 0666
// and 0777 less the umask; Windows: normal). Read once per statement, so that
// a copy costs no system call for them.
struct NewAttributes {
  uint32_t file = 0;
  uint32_t directory = 0;
};
NewAttributes DefaultAttributes();
// The attributes a copy of source gets: the source's own with preserve, else
// the default for a new file or directory.
uint32_t CopiedAttributes(const FileStatus& source, bool preserve, const NewAttributes& defaults);
// Whether the attributes keep the owner from changing the entry: a file that
// may not be written, a directory whose entries may not be added or removed.
// On Windows a read-only directory does not keep its entries from change.
bool IsWriteProtected(const FileStatus& status);
// Lifts the protection IsWriteProtected tells of (POSIX: gives the owner
// write permission back; Windows: clears the read-only attribute). A link is
// left alone.
bool MakeWritable(const std::string& path, int& error);
// Sets the creation (where kept), access and write times of a path (of a
// link itself).
bool SetTimes(const std::string& path, const FileStatus& times, int& error);

// The security information of a file or directory as the system keeps it,
// copied whole from a source onto a target. POSIX: owner, group, permission
// bits and access-control lists. Windows: the security descriptor with
// owner, group, access list and, when asked for and the privilege is held,
// the audit list. Opaque outside the platform layer.
class SecurityInfo {
 public:
  SecurityInfo();
  ~SecurityInfo();
  SecurityInfo(const SecurityInfo&) = delete;
  SecurityInfo& operator=(const SecurityInfo&) = delete;

  struct Data;  // defined by each platform
  Data& Get() { return *data_; }
  const Data& Get() const { return *data_; }

 private:
  std::unique_ptr<Data> data_;
};

enum class SecurityIssueKind {
  kNotObtained,       // the source's information could not be read
  kNotSet,            // the target's information could not be (fully) set
  kUnavailable,       // the file system or system keeps no such information
  kPrivilegeMissing,  // the audit list needs a privilege the process lacks
};
struct SecurityIssue {
  SecurityIssueKind kind;
  int error = 0;
};
// Reads the security information of a path (with the audit list when audit
// is set). Problems are appended to issues; false when nothing can be copied.
bool ReadSecurity(const std::string& path, bool audit, SecurityInfo& out, std::vector<SecurityIssue>& issues);
// Gives a path the information ReadSecurity read, as far as it can. Problems
// are appended to issues in the order met; a problem that leaves the rest
// unsafe to set ends the write.
void WriteSecurity(const std::string& path, const SecurityInfo& info, std::vector<SecurityIssue>& issues);

// The target of a symbolic link.
bool ReadLinkTarget(const std::string& path, std::string& target, int& error);

// Removes a file or a link (never what a link points to). A read-only file is
// removed like any other.
bool DeleteFile(const std::string& path, int& error);
// Removes an empty directory (a read-only one too).
bool RemoveDirectory(const std::string& path, int& error);
// Renames within one file system; with noReplace an existing target makes it
// fail instead of being replaced, and both stay as they were.
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
