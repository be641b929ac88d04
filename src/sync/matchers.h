// The filters of the engine: name patterns (FilesLike, DirsLike), exclusions
// matched against the end of a full path (ExcludeDir, ExcludeFile), and the
// test that decides whether a listed entry takes part.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/fs.h"
#include "sync/records.h"

namespace tav::sync {

// Whether a name fits a pattern with * and ?, without regard to case. A name
// without a dot is taken with one appended, so "*." fits it. A star takes the
// name up to the first occurrence of the pattern's next character, which is
// taken literally; there is no backtracking.
bool MatchName(std::string_view name, std::string_view pattern);

// Whether a normalised exclusion fits the end of a full path, without regard
// to case. An exclusion that begins with ":" and a separator is anchored at a
// root (a drive, a share, or the POSIX root "/").
bool MatchPathTail(std::string_view path, std::string_view exclusion);

// Prepares one exclusion as written: "\" is taken as the platform separator;
// an entry with a separator in front is anchored at a root, any other gets a
// separator in front, so that it fits whole last components; an entry with a
// drive or a share stays as it is.
std::string NormaliseExclusion(std::string_view written);
void NormaliseExcludeLists(SyncRequest& request);

// Whether an entry found in a directory takes part in the synchronisation.
bool AcceptEntry(const SyncContext& ctx, const platform::FindData& entry, const std::string& directory);

// The engine's own files: the conflict log, the conflict copies and the
// temporary files of copies in progress.
bool IsReservedName(std::string_view name);

}  // namespace tav::sync
