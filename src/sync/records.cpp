#include "sync/records.h"

#include "sync/paths.h"

namespace tav::sync {

namespace {

bool IsSet(const ArgumentArray& args, int slot) {
  return slot < static_cast<int>(args.size()) && args[static_cast<size_t>(slot)].present;
}

std::string TextOf(const ArgumentArray& args, int slot) {
  return IsSet(args, slot) ? args[static_cast<size_t>(slot)].text : std::string();
}

}  // namespace

bool RequestIsValid(const SyncRequest& request) {
  if (request.overwrite && request.conflict) return false;
  if (!request.hasFrom || !request.hasTo) return false;
  return !request.reportOnly || request.hasReport;
}

SyncRequest RequestFromArguments(const ArgumentArray& args, SyncPatterns& patterns) {
  SyncRequest request;
  request.hasFrom = IsSet(args, kSlotFrom);
  request.from = TextOf(args, kSlotFrom);
  request.hasTo = IsSet(args, kSlotTo);
  request.to = TextOf(args, kSlotTo);
  request.hasReport = IsSet(args, kSlotReport);
  request.report = TextOf(args, kSlotReport);
  request.deleteEntries = IsSet(args, kSlotDelete);
  request.add = IsSet(args, kSlotAdd);
  request.overwrite = IsSet(args, kSlotOverwrite);
  request.conflict = IsSet(args, kSlotConflict);
  request.preserve = IsSet(args, kSlotPreserve);
  request.subdirectories = IsSet(args, kSlotSubdirectories);
  request.reportOnly = IsSet(args, kSlotReportOnly);
  request.copySecurity = IsSet(args, kSlotCopySecurity);
  request.copyAudit = IsSet(args, kSlotCopyAudit);
  request.createEmptyDirs = IsSet(args, kSlotCreateEmptyDirs);
  request.excludeDir = patterns.excludeDir;
  request.excludeFile = patterns.excludeFile;
  request.filesLike = patterns.filesLike;
  request.dirsLike = patterns.dirsLike;
  return request;
}

void EnterLeft(SyncContext& ctx, const std::string& name) {
  ctx.leftDirs.push_back(ctx.Left().OpenChild(name));
  ctx.leftPath = JoinPath(ctx.leftPath, name);
}

void EnterRight(SyncContext& ctx, const std::string& name) {
  ctx.rightDirs.push_back(ctx.Right().OpenChild(name));
  ctx.rightPath = JoinPath(ctx.rightPath, name);
}

void LeaveLeft(SyncContext& ctx) {
  ctx.leftDirs.pop_back();
  ctx.leftPath = ParentPath(ctx.leftPath);
}

void LeaveRight(SyncContext& ctx) {
  ctx.rightDirs.pop_back();
  ctx.rightPath = ParentPath(ctx.rightPath);
}

}  // namespace tav::sync
