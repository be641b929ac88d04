#include "sync/tree_operations.h"

#include "platform/file_ops.h"
#include "sync/file_operations.h"
#include "sync/matchers.h"
#include "sync/paths.h"
#include "sync/reports.h"
#include "ui/user_interface.h"

namespace tav::sync {

namespace {

bool AcceptedOnBothSides(const SyncContext& ctx, const platform::FindData& entry) {
  return AcceptEntry(ctx, entry, ctx.leftPath) && AcceptEntry(ctx, entry, ctx.rightPath);
}

void ShowDirectories(SyncContext& ctx) {
  ctx.st.ui->SetControlText(kLeftDirectory, ctx.leftPath);
  ctx.st.ui->SetControlText(kRightDirectory, ctx.rightPath);
}

// Creates the destination directory of a copied tree with its security and
// writes its ADD line. A directory that is not there afterwards (under
// ReportOnly, or when it could not be made) is reported with the source
// directory's data, which is what it would have had. Security goes only onto
// a directory that was made, never through a link in the way of one. True
// when the directory is there (or would be, under ReportOnly).
bool CreateDestinationDirectory(SyncContext& ctx, bool& created) {
  bool made = MakeDirectoryPath(ctx, ctx.rightPath);
  if (made) CopySecurityInfo(ctx, ctx.leftPath, ctx.rightPath, ctx.rightPath);
  created = true;
  platform::FindData data;
  int error = 0;
  if (!made || !platform::ReadFindData(ctx.rightPath, data, error)) platform::ReadFindData(ctx.leftPath, data, error);
  WriteReportLine(ctx, ReportAction::kAdd, ctx.rightPath, data);
  return made;
}

// The attributes a copied directory ends with: the source's with Preserve,
// else the default. They are set once its contents are in place,
// so that a read-only source directory does not keep its copy from being
// filled.
struct DirectoryMode {
  bool apply = false;
  uint32_t attributes = 0;
};

DirectoryMode PlannedDirectoryMode(const SyncContext& ctx) {
  DirectoryMode mode;
  if (ctx.request.reportOnly || !platform::IsRealDirectory(ctx.rightPath, ctx.toRoot.size())) return mode;
  platform::FileStatus status;
  int error = 0;
  if (ctx.request.copySecurity) {
    // The security copy has given the directory its bits already; they are
    // kept, and the owner may write into it until it is filled.
    if (!platform::ReadStatus(ctx.rightPath, status, error)) return mode;
    platform::MakeWritable(ctx.rightPath, error);
    mode.apply = true;
    mode.attributes = status.attributes;
    return mode;
  }
  if (!platform::ReadStatus(ctx.leftPath, status, error)) return mode;
  mode.apply = true;
  mode.attributes = platform::CopiedAttributes(status, ctx.request.preserve);
  return mode;
}

void ApplyDirectoryMode(const SyncContext& ctx, const DirectoryMode& mode) {
  int error = 0;
  if (mode.apply) platform::SetAttributes(ctx.rightPath, mode.attributes, error);
}

void CopyTreeEntry(SyncContext& ctx, const platform::FindData& entry, bool& created, bool& made,
                   DirectoryMode& mode) {
  if (entry.IsDirectory()) {
    ctx.leftPath = JoinPath(ctx.leftPath, entry.name);
    ctx.rightPath = JoinPath(ctx.rightPath, entry.name);
    CopyTree(ctx);
    ctx.leftPath = ParentPath(ctx.leftPath);
    ctx.rightPath = ParentPath(ctx.rightPath);
    if (!ctx.StopRequested()) ShowDirectories(ctx);
    return;
  }
  if (!created) {
    made = CreateDestinationDirectory(ctx, created);
    // Security copied onto the new directory must not keep it from being filled.
    if (ctx.request.copySecurity) mode = PlannedDirectoryMode(ctx);
  }
  std::string destination = JoinPath(ctx.rightPath, entry.name);
  CopyOneFile(ctx, JoinPath(ctx.leftPath, entry.name), destination, made);
  WriteReportLine(ctx, ReportAction::kAdd, destination, entry);
}

void RemoveTreeEntry(SyncContext& ctx, const platform::FindData& entry) {
  if (entry.IsDirectory()) {
    ctx.rightPath = JoinPath(ctx.rightPath, entry.name);
    RemoveTree(ctx);
    ctx.rightPath = ParentPath(ctx.rightPath);
    if (!ctx.StopRequested()) ctx.st.ui->SetControlText(kRightDirectory, ctx.rightPath);
    return;
  }
  std::string path = JoinPath(ctx.rightPath, entry.name);
  DeleteOneFile(ctx, path);
  WriteReportLine(ctx, ReportAction::kDelete, path, entry);
}

}  // namespace

void CopyTree(SyncContext& ctx) {
  bool created = false;
  bool made = false;
  if (ctx.request.createEmptyDirs) made = CreateDestinationDirectory(ctx, created);
  if (ctx.StopRequested() || ctx.failed) return;
  DirectoryMode mode = PlannedDirectoryMode(ctx);
  if (ctx.StopRequested()) return;
  ShowDirectories(ctx);
  ctx.st.ui->SetControlText(kStatusLine, "Copying directory");
  std::vector<platform::FindData> entries;
  int error = 0;
  platform::ListDirectory(ctx.leftPath, ctx.leftPath == ctx.fromRoot, entries, error);
  for (const platform::FindData& entry : entries) {
    if (!AcceptedOnBothSides(ctx, entry)) continue;
    CopyTreeEntry(ctx, entry, created, made, mode);
    if (ctx.StopRequested()) break;
  }
  ApplyDirectoryMode(ctx, mode);
}

void RemoveTree(SyncContext& ctx) {
  if (ctx.StopRequested() || ctx.failed) return;
  platform::FindData own;
  int error = 0;
  if (!platform::ReadFindData(ctx.rightPath, own, error)) {
    own = platform::FindData();
    own.attributes = platform::kAttrDirectory;
  }
  if (!ctx.StopRequested()) {
    ctx.st.ui->SetControlText(kStatusLine, "Deleting directory");
    ctx.st.ui->SetControlText(kLeftDirectory, "");
    ctx.st.ui->SetControlText(kRightDirectory, ctx.rightPath);
  }
  // Entries of a write-protected directory could not be removed.
  if (!ctx.request.reportOnly) platform::MakeWritable(ctx.rightPath, error);
  std::vector<platform::FindData> entries;
  platform::ListDirectory(ctx.rightPath, false, entries, error);
  for (const platform::FindData& entry : entries) {
    if (!AcceptedOnBothSides(ctx, entry)) continue;
    RemoveTreeEntry(ctx, entry);
    if (ctx.StopRequested()) break;
  }
  if (!ctx.request.reportOnly) platform::RemoveDirectory(ctx.rightPath, error);
  WriteReportLine(ctx, ReportAction::kDelete, ctx.rightPath, own);
}

}  // namespace tav::sync
