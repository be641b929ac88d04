// Listing a directory into the sorted entry list that the walk merges.
#pragma once

#include <string>
#include <vector>

#include "platform/directory_handle.h"
#include "platform/fs.h"
#include "sync/records.h"

namespace tav::sync {

using EntryList = std::vector<platform::FindData>;

// The order of names in an entry list: the platform's order of file names
// (case-insensitive where the file system is). Negative, zero or positive.
int CompareNames(const std::string& a, const std::string& b);
// Sorts ascending; equal names keep their listing order.
void SortEntries(EntryList& list);
// Lists the accepted entries of a directory in name order. On failure the
// error is reported, the list is empty and false is returned. In a
// destination directory, the staged copies that killed runs left are
// removed first.
bool ScanDirectory(SyncContext& ctx, const platform::DirectoryHandle& directory, EntryList& list, bool destination);
// Removes the staged copies that killed runs left among a destination
// directory's entries (not under ReportOnly, nor while a copy is live there).
void RemoveStagingLeftovers(SyncContext& ctx, const platform::DirectoryHandle& directory, const EntryList& list);

}  // namespace tav::sync
