// Helpers shared by the POSIX implementation files.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_ops.h"
#include "platform/fs.h"

namespace tav::platform {

// The directory part of a path: "." for a bare name, "/" for the root.
std::string DirectoryOf(const std::string& path);
// Writes all bytes, retrying after interruptions and short writes.
bool WriteAll(int fd, const void* data, size_t size);
// Reads an open file from offset to its end, whatever its position, retrying
// after interruptions; false with errno set on a failure.
bool ReadAllFrom(int fd, uint64_t offset, std::string& out);
// A stat time as a file time (100-ns units since 1601-01-01).
uint64_t ToFileTime(const struct timespec& time);
// The find data of an entry from lstat (a link is described as itself).
void FillFindData(const struct stat& info, const std::string& name, FindData& out);
bool StatEntry(const std::string& path, const std::string& name, FindData& out);
// A copy's view of an entry from lstat or fstat.
void FillStatus(const struct stat& info, FileStatus& out);
// Lists the directory open as fd (which is closed); see ListDirectory.
ListStatus ListOpenDirectory(int fd, std::vector<FindData>& entries, int& error);
// Removes the staged copies that killed runs left, in the directory open as
// directory; see RemoveStagingLeftovers.
size_t RemoveStagingLeftoversIn(int directory, const std::vector<FindData>& entries);
// Windows wildcard matching: * and ?, case-insensitive; "*.*" and "*." also
// match names without a dot.
bool WildcardMatch(const std::string& pattern, const std::string& name);

}  // namespace tav::platform
