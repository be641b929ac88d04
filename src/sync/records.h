// The records that a SynchronizeDir statement and the synchronisation engine
// share: the request as the statement states it, and the engine's working
// context for one statement.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "core/state.h"
#include "platform/directory_handle.h"
#include "platform/file_ops.h"
#include "platform/fs.h"

namespace tav::sync {

// The slots of the statement's argument array, in order.
enum SyncSlot : int {
  kSlotFrom = 0,
  kSlotTo = 1,
  kSlotDelete = 2,
  kSlotAdd = 3,
  kSlotOverwrite = 4,
  kSlotConflict = 5,
  kSlotReport = 6,
  kSlotPreserve = 7,
  kSlotSubdirectories = 8,
  kSlotReportOnly = 9,
  kSlotCopySecurity = 10,
  kSlotCopyAudit = 11,
  kSlotCreateEmptyDirs = 12,
  kSyncSlotCount = 13,
};

// The default FilesLike and DirsLike pattern.
constexpr const char* kDefaultPattern = "*.*";

struct SyncRequest {
  std::string from;
  std::string to;
  std::string report;
  bool hasFrom = false;
  bool hasTo = false;
  bool hasReport = false;
  bool deleteEntries = false;
  bool add = false;
  bool overwrite = false;
  bool conflict = false;
  bool preserve = false;
  bool subdirectories = false;
  bool reportOnly = false;
  bool copySecurity = false;
  bool copyAudit = false;
  bool createEmptyDirs = false;
  std::vector<std::string> excludeDir;
  std::vector<std::string> excludeFile;
  std::string filesLike = kDefaultPattern;
  std::string dirsLike = kDefaultPattern;
};

// Reads the 13 slots and takes over the patterns and exclusion lists.
SyncRequest RequestFromArguments(const ArgumentArray& args, SyncPatterns& patterns);

// Whether the statement may be carried out: Overwrite and Conflict not both,
// From and To given, and ReportOnly only with a report file.
bool RequestIsValid(const SyncRequest& request);

// The engine's state for one statement.
struct SyncContext {
  explicit SyncContext(InterpreterState& state) : st(state) {}

  InterpreterState& st;
  SyncRequest request;
  // The statement's source and destination roots, and the pair of
  // directories being worked on, extended and cut back as the engine walks.
  std::string fromRoot;
  std::string toRoot;
  std::string leftPath;
  std::string rightPath;
  // The directories from each root down to leftPath and rightPath, each
  // opened relative to the one above it without following a link; every
  // change is made relative to the last of them. A destination directory
  // that is not there (yet) has an unopened handle.
  std::deque<platform::DirectoryHandle> leftDirs;
  std::deque<platform::DirectoryHandle> rightDirs;
  bool recurse = false;
  bool failed = false;
  std::string statusText;
  platform::File reportFile;
  platform::File conflictLog;
  // Under ReportOnly the conflict log is created only with its first line.
  std::string pendingConflictLog;
  // The free-space monitor: bytes written in this statement and the last
  // 2 MiB step that was checked.
  uint64_t bytesCopied = 0;
  uint64_t spaceStep = 0;
  std::string destinationRoot;
  bool securityWarningPending = false;
  std::vector<char> copyBuffer;
  // The destination directory that copies are staged in, kept open from one
  // copy to the next into the same directory.
  platform::StagingDirectory staging;
  // The attributes that new files and directories get, read once per
  // statement.
  platform::NewAttributes newAttributes;

  bool StopRequested() const { return st.stopRequested.load(); }
  const platform::DirectoryHandle& Left() const { return leftDirs.back(); }
  const platform::DirectoryHandle& Right() const { return rightDirs.back(); }
};

// Makes the subdirectory name of the current source (destination) directory
// the current one, and goes back up again.
void EnterLeft(SyncContext& ctx, const std::string& name);
void EnterRight(SyncContext& ctx, const std::string& name);
void LeaveLeft(SyncContext& ctx);
void LeaveRight(SyncContext& ctx);

}  // namespace tav::sync
