// The synchronisation walk: merges the sorted listings of a source and a
// destination directory and decides for every name what happens.
#pragma once

#include <string>

#include "platform/directory_handle.h"
#include "sync/records.h"

namespace tav::sync {

// Synchronises the pair leftPath / rightPath and, below it, every pair of
// directories that both sides have.
void SyncWalk(SyncContext& ctx);

// The first free conflict name in a directory for a file name: "!SYN", a
// number of at least four digits and the name's extension ("!SYN0003.TXT",
// "!SYN0003" for a name without one).
std::string ConflictName(const platform::DirectoryHandle& directory, const std::string& fileName);

}  // namespace tav::sync
