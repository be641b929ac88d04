#include "sync/tree_operations.h"

#include "platform/file_ops.h"
#include "sync/file_operations.h"
#include "sync/matchers.h"
#include "sync/paths.h"
#include "sync/reports.h"
#include "sync/scan.h"
#include "core/user_interface.h"

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
bool CreateDestinationDirectory(SyncContext& ctx, bool& created, bool parentChecked) {
  bool made = MakeDirectoryPath(ctx, ctx.rightPath, parentChecked);
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
  mode.attributes = platform::CopiedAttributes(status, ctx.request.preserve, ctx.newAttributes);
  return mode;
}

void ApplyDirectoryMode(const SyncContext& ctx, const DirectoryMode& mode) {
  int error = 0;
  if (mode.apply) platform::SetAttributes(ctx.rightPath, mode.attributes, error);
}

// The state of one directory of a copied tree while its entries are copied.
struct TreeDirectory {
  bool parentChecked = false;  // its parent is there as a real directory
  bool created = false;        // its ADD line is written
  bool made = false;           // it was made (with its security) for a file
  bool present = false;        // it is there as a real directory, made or not
  DirectoryMode mode;
};

void CopyTreeEntry(SyncContext& ctx, const platform::FindData& entry, TreeDirectory& tree) {
  if (entry.IsDirectory()) {
    ctx.leftPath = JoinPath(ctx.leftPath, entry.name);
    ctx.rightPath = JoinPath(ctx.rightPath, entry.name);
    // A subdirectory that was made means that this directory was made too.
    if (CopyTree(ctx, tree.present)) tree.present = true;
    ctx.leftPath = ParentPath(ctx.leftPath);
    ctx.rightPath = ParentPath(ctx.rightPath);
    if (!ctx.StopRequested()) ShowDirectories(ctx);
    return;
  }
  if (!tree.created) {
    tree.made = CreateDestinationDirectory(ctx, tree.created, tree.parentChecked);
    tree.present = tree.present || tree.made;
    // Security copied onto the new directory must not keep it from being filled.
    if (ctx.request.copySecurity) tree.mode = PlannedDirectoryMode(ctx);
  }
  std::string destination = JoinPath(ctx.rightPath, entry.name);
  CopyOneFile(ctx, JoinPath(ctx.leftPath, entry.name), destination, tree.made);
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

bool CopyTree(SyncContext& ctx, bool parentChecked) {
  TreeDirectory tree;
  tree.parentChecked = parentChecked;
  if (ctx.request.createEmptyDirs) tree.made = CreateDestinationDirectory(ctx, tree.created, parentChecked);
  tree.present = tree.made;
  if (ctx.StopRequested() || ctx.failed) return tree.present;
  tree.mode = PlannedDirectoryMode(ctx);
  if (ctx.StopRequested()) return tree.present;
  ShowDirectories(ctx);
  ctx.st.ui->SetControlText(kStatusLine, "Copying directory");
  std::vector<platform::FindData> entries;
  int error = 0;
  platform::ListDirectory(ctx.leftPath, ctx.leftPath == ctx.fromRoot, entries, error);
  for (const platform::FindData& entry : entries) {
    if (!AcceptedOnBothSides(ctx, entry)) continue;
    CopyTreeEntry(ctx, entry, tree);
    if (ctx.StopRequested()) break;
  }
  ApplyDirectoryMode(ctx, tree.mode);
  return tree.present;
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
  RemoveStagingLeftovers(ctx, ctx.rightPath, entries);
  for (const platform::FindData& entry : entries) {
    if (!AcceptedOnBothSides(ctx, entry)) continue;
    RemoveTreeEntry(ctx, entry);
    if (ctx.StopRequested()) break;
  }
  if (!ctx.request.reportOnly) platform::RemoveDirectory(ctx.rightPath, error);
  WriteReportLine(ctx, ReportAction::kDelete, ctx.rightPath, own);
}

}  // namespace tav::sync
