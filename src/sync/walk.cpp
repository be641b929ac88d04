#include "sync/walk.h"

#include "core/text.h"
#include "core/user_interface.h"
#include "platform/file_ops.h"
#include "sync/file_operations.h"
#include "sync/paths.h"
#include "sync/reports.h"
#include "sync/scan.h"
#include "sync/time_rule.h"
#include "sync/tree_operations.h"

namespace tav::sync {

namespace {

using platform::FindData;

std::string Extension(const std::string& name) {
  size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

// Renames the destination file away to its conflict name; true when it went.
bool RenameToConflictName(SyncContext& ctx, const std::string& name, const std::string& candidate) {
  if (ctx.request.reportOnly) return true;
  int error = 0;
  if (ctx.Right().Rename(name, candidate, true, error)) return true;
  DeleteOneFile(ctx, candidate);
  if (ctx.Right().Rename(name, candidate, true, error)) return true;
  SyncError(ctx.st, WithCause(Format("File %s could not be renamed.", ctx.Right().PathOf(name).c_str()), error));
  return false;
}

// The source is the newer: the destination version is kept under its
// conflict name and the source takes its place. When the destination cannot
// be moved away it stays as it is and nothing is copied over it.
void SourceNewerConflict(SyncContext& ctx, const FindData& left, const FindData& right, const std::string& leftFull,
                         const std::string& rightFull) {
  std::string candidateName = ConflictName(ctx.Right(), right.name);
  std::string candidate = JoinPath(ctx.rightPath, candidateName);
  bool moved = RenameToConflictName(ctx, right.name, candidateName);
  if (moved) {
    CopyOneFile(ctx, left.name, right.name);
    WriteConflictLine(ctx, Format("%s; %s -> %s; %s -> %s\n", CurrentTimeText().c_str(), rightFull.c_str(),
                                  candidate.c_str(), leftFull.c_str(), rightFull.c_str()));
  }
  WriteReportLine(ctx, ReportAction::kRenameDelete, rightFull, right);
  WriteReportLine(ctx, ReportAction::kRenameAdd, candidate, right);
  if (moved) WriteReportLine(ctx, ReportAction::kAdd, rightFull, left);
}

// The destination is the newer (or the sizes differ at equal times): it stays
// and the source version is put beside it under a conflict name.
void DestinationNewerConflict(SyncContext& ctx, const FindData& left, const std::string& leftFull,
                              const std::string& rightFull) {
  std::string candidateName = ConflictName(ctx.Right(), left.name);
  std::string candidate = JoinPath(ctx.rightPath, candidateName);
  CopyOneFile(ctx, left.name, candidateName);
  WriteConflictLine(ctx, Format("%s; %s -> %s; %s -> %s\r\n", CurrentTimeText().c_str(), rightFull.c_str(),
                                rightFull.c_str(), leftFull.c_str(), candidate.c_str()));
  WriteReportLine(ctx, ReportAction::kAdd, candidate, left);
}

void Descend(SyncContext& ctx, const std::string& leftName, const std::string& rightName) {
  EnterLeft(ctx, leftName);
  EnterRight(ctx, rightName);
  SyncWalk(ctx);
  LeaveLeft(ctx);
  LeaveRight(ctx);
}

void SameName(SyncContext& ctx, const FindData& left, const FindData& right) {
  std::string leftFull = JoinPath(ctx.leftPath, left.name);
  std::string rightFull = JoinPath(ctx.rightPath, right.name);
  if (left.IsDirectory()) {
    Descend(ctx, left.name, right.name);
    return;
  }
  int times = CompareWriteTimes(left.writeTime, right.writeTime);
  bool sameSize = left.size == right.size;
  if (ctx.request.overwrite) {
    if (times == 0 && sameSize) return;
    CopyOneFile(ctx, left.name, right.name);
    WriteReportLine(ctx, ReportAction::kOverwriteDelete, rightFull, right);
    WriteReportLine(ctx, ReportAction::kOverwriteAdd, rightFull, left);
    return;
  }
  if (!ctx.request.conflict || (times == 0 && sameSize)) return;
  if (times == 1) {
    SourceNewerConflict(ctx, left, right, leftFull, rightFull);
  } else {
    DestinationNewerConflict(ctx, left, leftFull, rightFull);
  }
}

void SourceOnly(SyncContext& ctx, const FindData& left) {
  if (!ctx.request.add) return;
  if (left.IsDirectory()) {
    EnterLeft(ctx, left.name);
    EnterRight(ctx, left.name);
    CopyTree(ctx);
    LeaveLeft(ctx);
    LeaveRight(ctx);
    return;
  }
  CopyOneFile(ctx, left.name, left.name);
  WriteReportLine(ctx, ReportAction::kAdd, JoinPath(ctx.rightPath, left.name), left);
}

void DestinationOnly(SyncContext& ctx, const FindData& right) {
  if (!ctx.request.deleteEntries) return;
  if (right.IsDirectory()) {
    EnterRight(ctx, right.name);
    RemoveTree(ctx);
    LeaveRight(ctx);
    return;
  }
  DeleteOneFile(ctx, right.name);
  WriteReportLine(ctx, ReportAction::kDelete, JoinPath(ctx.rightPath, right.name), right);
}

void ShowWalk(SyncContext& ctx) {
  ctx.st.ui->SetControlText(kStatusLine, ctx.statusText);
  ctx.st.ui->SetControlText(kLeftDirectory, ctx.leftPath);
  ctx.st.ui->SetControlText(kRightDirectory, ctx.rightPath);
}

}  // namespace

std::string ConflictName(const platform::DirectoryHandle& directory, const std::string& fileName) {
  std::string extension = Extension(fileName);
  for (unsigned n = 0;; ++n) {
    std::string name = Format("!SYN%04u", n) + extension;
    if (!directory.Exists(name)) return name;
  }
}

namespace {

// A write-protected destination directory does not stop the walk from
// adding, replacing or deleting its entries, as a read-only directory does
// not on Windows: the owner may write into it while it is walked, and its
// attributes are put back afterwards.
class WritableWhileWalked {
 public:
  explicit WritableWhileWalked(const SyncContext& ctx) : directory_(ctx.Right()) {
    platform::FileStatus status;
    int error = 0;
    if (ctx.request.reportOnly || !directory_.ReadStatus("", status, error)) return;
    if (status.isLink || !status.isDirectory || !platform::IsWriteProtected(status)) return;
    if (directory_.MakeWritable("", error)) {
      restore_ = true;
      attributes_ = status.attributes;
    }
  }
  WritableWhileWalked(const WritableWhileWalked&) = delete;
  WritableWhileWalked& operator=(const WritableWhileWalked&) = delete;
  ~WritableWhileWalked() {
    int error = 0;
    if (restore_) directory_.SetAttributes("", attributes_, error);
  }

 private:
  const platform::DirectoryHandle& directory_;
  bool restore_ = false;
  uint32_t attributes_ = 0;
};

}  // namespace

void SyncWalk(SyncContext& ctx) {
  if (ctx.StopRequested() || ctx.failed) return;
  ShowWalk(ctx);
  EntryList left;
  EntryList right;
  bool leftListed = ScanDirectory(ctx, ctx.Left(), left, false);
  bool rightListed = ScanDirectory(ctx, ctx.Right(), right, true);
  if (!leftListed || !rightListed) {
    ctx.failed = true;
    return;
  }
  WritableWhileWalked writable(ctx);
  size_t i = 0;
  size_t j = 0;
  while (i < left.size()) {
    int order = j < right.size() ? CompareNames(left[i].name, right[j].name) : -1;
    if (order == 0) {
      SameName(ctx, left[i++], right[j++]);
    } else if (order < 0) {
      SourceOnly(ctx, left[i++]);
      if (ctx.StopRequested()) return;
    } else {
      DestinationOnly(ctx, right[j++]);
      if (ctx.StopRequested()) return;
    }
    // A directory that could not be listed ends the whole synchronisation.
    if (ctx.failed) return;
  }
  while (j < right.size()) {
    if (ctx.StopRequested() || ctx.failed) return;
    DestinationOnly(ctx, right[j++]);
  }
}

}  // namespace tav::sync
