// The engine's changes to the disk, one file or directory at a time. Each
// honours ReportOnly (nothing is changed), reports its own failures and
// returns nothing, so that the caller goes on with the next entry.
#pragma once

#include <cstdint>
#include <string>

#include "sync/records.h"

namespace tav::sync {

// Copies a file (or a symbolic link as a link) with its times, attributes and
// security. The copy is written to a temporary file beside the destination
// and renamed over it only when complete, so that a failed copy leaves the
// old destination as it was. directoryChecked tells that the destination's
// directory is known to be a real directory below To (the walk listed it, or
// the tree copy made it); otherwise no link is passed on the whole way from
// To to it.
void CopyOneFile(SyncContext& ctx, const std::string& source, const std::string& destination,
                 bool directoryChecked);
void DeleteOneFile(SyncContext& ctx, const std::string& path);
// Creates a directory and every missing one above it; failures are silent.
// The statement's To may be reached through a symbolic link, nothing below
// it: false when the directory is not there as a real directory afterwards
// (true under ReportOnly, where nothing is made). parentChecked tells that
// the parent is known to be a real directory below To, so that the path up
// to it is trusted and only the last directory is made.
bool MakeDirectoryPath(SyncContext& ctx, const std::string& path, bool parentChecked);
// Copies the security information of source (with the audit list when the
// statement asks for it) to target when the statement asks for security;
// messages name shownAs.
void CopySecurityInfo(SyncContext& ctx, const std::string& source, const std::string& target,
                      const std::string& shownAs);
// Counts copied bytes and checks the destination's free space at every
// 2 MiB step.
void CheckFreeSpace(SyncContext& ctx, uint64_t bytes);

}  // namespace tav::sync
