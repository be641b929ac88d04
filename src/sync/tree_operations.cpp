#include "sync/tree_operations.h"

#include "core/user_interface.h"
#include "platform/file_ops.h"
#include "sync/file_operations.h"
#include "sync/matchers.h"
#include "sync/paths.h"
#include "sync/reports.h"
#include "sync/scan.h"

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
  bool made = MakeDestinationDirectories(ctx);
  if (made) CopySecurityInfo(ctx, ctx.Left(), "", ctx.Right(), "", ctx.rightPath);
  created = true;
  platform::FindData data;
  int error = 0;
  if (!made || !ctx.Right().ReadFindData("", data, error)) ctx.Left().ReadFindData("", data, error);
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
  if (ctx.request.reportOnly || !ctx.Right().IsOpen()) return mode;
  platform::FileStatus status;
  int error = 0;
  if (ctx.request.copySecurity) {
    // The security copy has given the directory its bits already; they are
    // kept, and the owner may write into it until it is filled.
    if (!ctx.Right().ReadStatus("", status, error)) return mode;
    ctx.Right().MakeWritable("", error);
    mode.apply = true;
    mode.attributes = status.attributes;
    return mode;
  }
  if (!ctx.Left().ReadStatus("", status, error)) return mode;
  mode.apply = true;
  mode.attributes = platform::CopiedAttributes(status, ctx.request.preserve, ctx.newAttributes);
  return mode;
}

void ApplyDirectoryMode(const SyncContext& ctx, const DirectoryMode& mode) {
  int error = 0;
  if (mode.apply) ctx.Right().SetAttributes("", mode.attributes, error);
}

// The state of one directory of a copied tree while its entries are copied.
struct TreeDirectory {
  bool created = false;        // its ADD line is written
  bool made = false;           // it was made (with its security) for a file
  bool present = false;        // it is there as a real directory, made or not
  DirectoryMode mode;
};

void CopyTreeEntry(SyncContext& ctx, const platform::FindData& entry, TreeDirectory& tree) {
  if (entry.IsDirectory()) {
    EnterLeft(ctx, entry.name);
    EnterRight(ctx, entry.name);
    // A subdirectory that was made means that this directory was made too.
    if (CopyTree(ctx)) tree.present = true;
    LeaveLeft(ctx);
    LeaveRight(ctx);
    if (!ctx.StopRequested()) ShowDirectories(ctx);
    return;
  }
  if (!tree.created) {
    tree.made = CreateDestinationDirectory(ctx, tree.created);
    tree.present = tree.present || tree.made;
    // Security copied onto the new directory must not keep it from being filled.
    if (ctx.request.copySecurity) tree.mode = PlannedDirectoryMode(ctx);
  }
  CopyOneFile(ctx, entry.name, entry.name);
  WriteReportLine(ctx, ReportAction::kAdd, JoinPath(ctx.rightPath, entry.name), entry);
}

void RemoveTreeEntry(SyncContext& ctx, const platform::FindData& entry) {
  if (entry.IsDirectory()) {
    EnterRight(ctx, entry.name);
    RemoveTree(ctx);
    LeaveRight(ctx);
    if (!ctx.StopRequested()) ctx.st.ui->SetControlText(kRightDirectory, ctx.rightPath);
    return;
  }
  DeleteOneFile(ctx, entry.name);
  WriteReportLine(ctx, ReportAction::kDelete, JoinPath(ctx.rightPath, entry.name), entry);
}

// Removes the current destination directory by its name in its parent. Its
// own handle is closed first, as Windows removes no directory held open.
void RemoveCurrentDirectory(SyncContext& ctx) {
  ctx.rightDirs.back() = platform::DirectoryHandle::Absent(ctx.rightPath, 0);
  if (ctx.request.reportOnly || ctx.rightDirs.size() < 2) return;
  int error = 0;
  ctx.rightDirs[ctx.rightDirs.size() - 2].RemoveDirectory(platform::FileTitle(ctx.rightPath), error);
}

}  // namespace

bool CopyTree(SyncContext& ctx) {
  TreeDirectory tree;
  if (ctx.request.createEmptyDirs) tree.made = CreateDestinationDirectory(ctx, tree.created);
  tree.present = tree.made;
  if (ctx.StopRequested() || ctx.failed) return tree.present;
  tree.mode = PlannedDirectoryMode(ctx);
  if (ctx.StopRequested()) return tree.present;
  ShowDirectories(ctx);
  ctx.st.ui->SetControlText(kStatusLine, "Copying directory");
  std::vector<platform::FindData> entries;
  int error = 0;
  ctx.Left().List(entries, error);
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
  if (!ctx.Right().ReadFindData("", own, error)) {
    own = platform::FindData();
    own.attributes = platform::kAttrDirectory;
  }
  if (!ctx.StopRequested()) {
    ctx.st.ui->SetControlText(kStatusLine, "Deleting directory");
    ctx.st.ui->SetControlText(kLeftDirectory, "");
    ctx.st.ui->SetControlText(kRightDirectory, ctx.rightPath);
  }
  // Entries of a write-protected directory could not be removed.
  if (!ctx.request.reportOnly) ctx.Right().MakeWritable("", error);
  std::vector<platform::FindData> entries;
  ctx.Right().List(entries, error);
  RemoveStagingLeftovers(ctx, ctx.Right(), entries);
  for (const platform::FindData& entry : entries) {
    if (!AcceptedOnBothSides(ctx, entry)) continue;
    RemoveTreeEntry(ctx, entry);
    if (ctx.StopRequested()) break;
  }
  RemoveCurrentDirectory(ctx);
  WriteReportLine(ctx, ReportAction::kDelete, ctx.rightPath, own);
}

}  // namespace tav::sync
