// The engine's changes to the disk, one file or directory at a time. Each
// honours ReportOnly (nothing is changed), reports its own failures and
// returns nothing, so that the caller goes on with the next entry.
#pragma once

#include <cstdint>
#include <string>

#include "sync/records.h"

namespace tav::sync {

// Copies the entry name of the current source directory (a symbolic link as
// a link) with its times, attributes and security to toName in the current
// destination directory. The copy is written to a temporary file beside the
// destination and renamed over it only when complete, so that a failed copy
// leaves the old destination as it was. Only a regular file's data is
// copied: anything else put in its place since the listing is reported as
// not copied.
void CopyOneFile(SyncContext& ctx, const std::string& name, const std::string& toName);
// Removes the entry name of the current destination directory.
void DeleteOneFile(SyncContext& ctx, const std::string& name);
// Makes the current destination directory and every missing one above it,
// each relative to the handle of the one above, and opens them; failures are
// silent. The statement's To may be reached through a symbolic link, nothing
// below it. False when the directory is not there as a real directory
// afterwards (true under ReportOnly, where nothing is made).
bool MakeDestinationDirectories(SyncContext& ctx);
// Copies the security information of an entry (the directory itself for an
// empty name), with the audit list when the statement asks for it, to a
// target entry when the statement asks for security; messages name shownAs.
void CopySecurityInfo(SyncContext& ctx, const platform::DirectoryHandle& from, const std::string& fromName,
                      const platform::DirectoryHandle& to, const std::string& toName, const std::string& shownAs);
// Counts copied bytes and checks the destination's free space at every
// 2 MiB step.
void CheckFreeSpace(SyncContext& ctx, uint64_t bytes);

}  // namespace tav::sync
