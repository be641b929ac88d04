// A directory held open, and the operations on its entries relative to it.
// The synchronisation walk opens each directory once, relative to its
// parent's handle and without following a link, and acts on every entry
// through that handle. A user who may write below a destination can then
// swap a directory for a link at any moment without the walk following it:
// the handle keeps naming the directory that was opened. An entry is always
// taken as itself: a link in its place is read, renamed or removed as a
// link, never followed. An empty name stands for the directory itself.
//
// On Windows the handle is held without delete sharing, so that neither the
// directory nor a directory above it up to the root of the walk can be
// renamed or replaced while it is open; a directory that turns out to be a
// reparse point is refused, and entries are removed by a handle opened on
// the reparse point itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_ops.h"
#include "platform/fs.h"

namespace tav::platform {

class DirectoryHandle {
 public:
  DirectoryHandle() = default;
  DirectoryHandle(DirectoryHandle&& other) noexcept;
  DirectoryHandle& operator=(DirectoryHandle&& other) noexcept;
  DirectoryHandle(const DirectoryHandle&) = delete;
  DirectoryHandle& operator=(const DirectoryHandle&) = delete;
  ~DirectoryHandle();

  // Opens a directory by its full path. With followLink the path may pass
  // through links all the way (the root of a walk); without, its last
  // component must be a real directory.
  static DirectoryHandle Open(const std::string& path, bool followLink);
  // Opens an entry of this directory, which must be a real directory and no
  // link. An unopened handle when it cannot be (OpenError tells why); it
  // still knows its path.
  DirectoryHandle OpenChild(const std::string& name) const;
  // An unopened handle for a directory that is not there (yet).
  static DirectoryHandle Absent(const std::string& path, int error);

  bool IsOpen() const;
  // Why the directory could not be opened.
  int OpenError() const { return openError_; }
  // The full path it was opened by, for messages.
  const std::string& Path() const { return path_; }
  // The full path of an entry, for messages.
  std::string PathOf(const std::string& name) const;

  // The entries without "." and "..", each with its find data; FIFOs,
  // sockets and device files are left out.
  ListStatus List(std::vector<FindData>& entries, int& error) const;
  bool ReadFindData(const std::string& name, FindData& out, int& error) const;
  bool ReadStatus(const std::string& name, FileStatus& out, int& error) const;
  bool Exists(const std::string& name) const;
  bool ReadLinkTarget(const std::string& name, std::string& target, int& error) const;
  // Opens a regular file for reading a copy's data. A link, a directory, a
  // FIFO or a device in the entry's place is refused without waiting for it
  // (error tells why).
  File OpenForCopy(const std::string& name, int& error) const;

  // Removes a file or a link (a read-only one too).
  bool DeleteFile(const std::string& name, int& error) const;
  // Removes an empty directory (a read-only one too); a link in its place is
  // not followed.
  bool RemoveDirectory(const std::string& name, int& error) const;
  // Renames an entry within this directory; with noReplace an existing
  // target makes it fail and both stay as they were.
  bool Rename(const std::string& from, const std::string& to, bool noReplace, int& error) const;
  // Creates a directory with the default mode; an existing one fails (EEXIST
  // or the system's equivalent).
  bool MakeDirectory(const std::string& name, int& error) const;

  // As the path functions of the same names, on an entry (a link is left
  // alone where they leave it alone).
  bool SetAttributes(const std::string& name, uint32_t attributes, int& error) const;
  bool MakeWritable(const std::string& name, int& error) const;
  bool SetTimes(const std::string& name, const FileStatus& times, int& error) const;
  bool ReadSecurity(const std::string& name, bool audit, SecurityInfo& out, std::vector<SecurityIssue>& issues) const;
  void WriteSecurity(const std::string& name, const SecurityInfo& info, std::vector<SecurityIssue>& issues) const;

  // The system's handle, for staging copies in this directory.
  intptr_t Handle() const { return handle_; }

 private:
  bool Unopened(int& error) const;

  intptr_t handle_ = -1;
  std::string path_;
  int openError_ = 0;
};

// Removes the staged copies that killed runs left among a directory's listed
// entries, as the path function of the same name does.
size_t RemoveStagingLeftovers(const DirectoryHandle& directory, const std::vector<FindData>& entries);

}  // namespace tav::platform
