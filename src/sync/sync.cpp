#include "sync/sync.h"

#include "core/check_report.h"
#include "core/messages.h"
#include "core/text.h"
#include "core/user_interface.h"
#include "platform/file_ops.h"
#include "sync/matchers.h"
#include "sync/paths.h"
#include "sync/records.h"
#include "sync/reports.h"
#include "sync/tree_operations.h"
#include "sync/walk.h"

namespace tav::sync {

namespace {

constexpr const char* kConflictLogName = "!SYN0000.TXT";

void OpenReportFiles(SyncContext& ctx) {
  const SyncRequest& request = ctx.request;
  // A dry run writes neither: its report lines go to the output.
  if (ctx.st.options.whatIf) return;
  if (request.hasReport) {
    ctx.reportFile = platform::OpenFile(platform::NativePath(request.report), platform::OpenMode::AppendAlways);
  }
  if (!request.conflict) return;
  std::string log = JoinPath(platform::NativePath(request.to), kConflictLogName);
  // ReportOnly creates nothing until there is a conflict to log. A link in
  // the log's place is not written through.
  if (request.reportOnly) {
    ctx.pendingConflictLog = log;
  } else {
    ctx.conflictLog = platform::OpenForAppend(log);
  }
}

void EnableLabels(InterpreterState& st, bool enable) {
  st.ui->EnableControl(kSyncLabel, enable);
  st.ui->EnableControl(kLeftLabel, enable);
  st.ui->EnableControl(kRightLabel, enable);
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A path with its links resolved; a part that does not exist yet is kept as
// written below the nearest existing parent.
std::string ResolvedPath(const std::string& path) {
  std::string real = platform::RealPath(path);
  if (!real.empty()) return real;
  std::string parent = ParentPath(path);
  if (parent == path) return std::string();
  std::string resolvedParent = ResolvedPath(parent);
  if (resolvedParent.empty()) return std::string();
  return JoinPath(resolvedParent, platform::FileTitle(path));
}

// The rest of inner below outer, or nothing when inner does not lie below it.
bool RestBelow(const std::string& inner, const std::string& outer, std::string& rest) {
  char separator = platform::PathSeparator();
  std::string prefix = platform::EndsWithSeparator(outer) ? outer : outer + separator;
  if (inner.compare(0, prefix.size(), prefix) != 0) return false;
  rest = inner.substr(prefix.size());
  return true;
}

// Keeps the engine from copying a tree into itself and from deleting the
// source below the destination: a destination inside the source is excluded
// from the source's listings, a source inside the destination from the
// destination's. Tested on the paths as written and, because a link can hide
// nesting, on the resolved paths.
void GuardNesting(SyncContext& ctx) {
  std::vector<std::string>& excludeDir = ctx.request.excludeDir;
  std::string upperLeft = ToUpperAscii(ctx.leftPath);
  std::string upperRight = ToUpperAscii(ctx.rightPath);
  if (Contains(upperRight, upperLeft)) excludeDir.push_back(upperRight);
  if (Contains(upperLeft, upperRight)) excludeDir.push_back(upperLeft);
  std::string realLeft = ResolvedPath(ctx.leftPath);
  std::string realRight = ResolvedPath(ctx.rightPath);
  if (realLeft.empty() || realRight.empty()) return;
  std::string rest;
  if (RestBelow(realRight, realLeft, rest)) excludeDir.push_back(ToUpperAscii(JoinPath(ctx.leftPath, rest)));
  if (RestBelow(realLeft, realRight, rest)) excludeDir.push_back(ToUpperAscii(JoinPath(ctx.rightPath, rest)));
}

// The report file and the run's LOG file are never copied or deleted while
// they are being written.
void GuardReportFile(SyncContext& ctx) {
  std::vector<std::string>& excludeFile = ctx.request.excludeFile;
  if (ctx.request.hasReport && !ctx.request.report.empty()) {
    excludeFile.push_back(ToUpperAscii(platform::FullPath(platform::NativePath(ctx.request.report))));
  }
  const Options& options = ctx.st.options;
  if (options.log && !options.logPath.empty()) excludeFile.push_back(ToUpperAscii(options.logPath));
}

bool RunSynchronization(SyncContext& ctx) {
  InterpreterState& st = ctx.st;
  ctx.failed = false;
  ctx.securityWarningPending = true;
  ctx.leftPath = WithoutTrailingSeparator(platform::FullPath(platform::NativePath(ctx.request.from)));
  ctx.rightPath = WithoutTrailingSeparator(platform::FullPath(platform::NativePath(ctx.request.to)));
  ctx.fromRoot = ctx.leftPath;
  ctx.toRoot = ctx.rightPath;
  GuardNesting(ctx);
  GuardReportFile(ctx);
  ctx.destinationRoot = ctx.rightPath;
  ctx.newAttributes = platform::DefaultAttributes();
  if (!ctx.StopRequested()) {
    st.ui->SetControlText(kLeftDirectory, ctx.leftPath);
    st.ui->SetControlText(kRightDirectory, ctx.rightPath);
  }
  ctx.recurse = ctx.request.subdirectories;
  ctx.statusText = "Synchronzing directories";
  if (!ctx.StopRequested()) st.ui->SetControlText(kStatusLine, "Synchronization in progress");
  // The existence tests leave the current directory alone, so that relative
  // names (a LOG file's, for one) keep meaning what they meant.
  if (!platform::DirectoryExists(ctx.leftPath)) {
    SyncError(st, Format("Source directory %s not present.", ctx.leftPath.c_str()));
    return false;
  }
  NormaliseExcludeLists(ctx.request);
  // The roots as named: the statement may name them through links.
  ctx.leftDirs.push_back(platform::DirectoryHandle::Open(ctx.leftPath, true));
  ctx.rightDirs.push_back(platform::DirectoryHandle::Open(ctx.rightPath, true));
  if (platform::DirectoryExists(ctx.rightPath)) {
    SyncWalk(ctx);
  } else {
    CopyTree(ctx);
  }
  return !ctx.StopRequested();
}

}  // namespace

bool SynchronizeDir(InterpreterState& st, const ArgumentArray* args) {
  if (args == nullptr) {
    st.syncPatterns.Reset();
    return false;
  }
  SyncContext ctx(st);
  ctx.request = RequestFromArguments(*args, st.syncPatterns);
  std::string savedDirectory = platform::CurrentDirectory();
  bool result = false;
  if (!RequestIsValid(ctx.request)) {
    ReportError(st, kErrConstruction);
  } else {
    // A dry run plans the statement as ReportOnly does.
    if (st.options.whatIf) ctx.request.reportOnly = true;
    OpenReportFiles(ctx);
    if (!st.stopRequested) {
      EnableLabels(st, true);
      result = RunSynchronization(ctx);
    }
    if (!st.stopRequested) {
      EnableLabels(st, false);
      st.ui->SetControlText(kLeftDirectory, "");
      st.ui->SetControlText(kRightDirectory, "");
    }
    ctx.conflictLog.Close();
    ctx.reportFile.Close();
  }
  st.syncPatterns.Reset();
  platform::SetCurrentDirectory(savedDirectory);
  return result;
}

void CheckSynchronizeDir(InterpreterState& st, const ArgumentArray* args) {
  if (args != nullptr) {
    SyncPatterns patterns = st.syncPatterns;
    SyncRequest request = RequestFromArguments(*args, patterns);
    if (!RequestIsValid(request)) {
      CheckError(st, kErrConstruction, !request.hasFrom || !request.hasTo ? "From and To are both needed"
                                                                           : "ReportOnly needs a Report file");
    }
  }
  st.syncPatterns.Reset();
}

}  // namespace tav::sync
