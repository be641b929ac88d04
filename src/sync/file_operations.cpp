#include "sync/file_operations.h"

#include <new>

#include "core/messages.h"
#include "core/text.h"
#include "platform/file_ops.h"
#include "sync/paths.h"
#include "sync/reports.h"
#include "core/user_interface.h"

namespace tav::sync {

namespace {

constexpr size_t kCopyPiece = 1 << 20;         // at most one free-space step per piece
constexpr uint64_t kSpaceStep = 2u << 20;      // 2 MiB between free-space checks
constexpr uint64_t kLowSpaceBlocks = 10;

// The fallback buffer for reads and writes; Retry or Cancel when memory is short.
bool ObtainCopyBuffer(SyncContext& ctx) {
  while (ctx.copyBuffer.empty()) {
    try {
      ctx.copyBuffer.resize(kCopyPiece);
      return true;
    } catch (const std::bad_alloc&) {
      if (ctx.StopRequested()) return false;
      bool retry = ctx.st.ui->AskRetry("Memory Shortage",
                                        "There is not enough memory available.\n"
                                        "Please close some applications and click \"Retry\".");
      if (!retry) {
        ctx.st.stopRequested = true;
        return false;
      }
    }
  }
  return true;
}

// How much of the way to a destination's directory may pass through links:
// the statement's own To (which the user may have named through one), and,
// for a directory known to be real, everything above it.
size_t TrustedLength(const SyncContext& ctx, const std::string& destination, bool directoryChecked) {
  size_t trusted = directoryChecked ? ParentPath(ParentPath(destination)).size() : 0;
  return trusted > ctx.toRoot.size() ? trusted : ctx.toRoot.size();
}

void ReportCopyFailure(SyncContext& ctx, const char* text, const std::string& path, int error) {
  SyncError(ctx.st, WithCause(Format(text, path.c_str()), error));
}

void FinishAndCommit(SyncContext& ctx, platform::StagedFile& staged, const std::string& source,
                     const std::string& destination, const platform::FileStatus& status) {
  int error = 0;
  const std::string& temporary = staged.TemporaryPath();
  if (!status.isLink) platform::SetAttributes(temporary, platform::CopiedAttributes(status, ctx.request.preserve, ctx.newAttributes), error);
  CopySecurityInfo(ctx, source, temporary, destination);
  platform::SetTimes(temporary, status, error);
  // The user's old file is replaced only by a copy that is safely on disk.
  bool replacing = platform::PathExists(destination);
  if (!staged.Commit(replacing, error)) {
    ReportCopyFailure(ctx, "File %s could not be copied to.", destination, error);
  }
}

void CopyLink(SyncContext& ctx, const std::string& source, const std::string& destination,
              const platform::FileStatus& status, size_t trustedLength) {
  int error = 0;
  std::string target;
  if (!platform::ReadLinkTarget(source, target, error)) {
    ReportCopyFailure(ctx, "File %s could not be copied.", source, error);
    return;
  }
  platform::StagedFile staged(ctx.staging);
  if (!staged.CreateLink(destination, target, trustedLength, error)) {
    ReportCopyFailure(ctx, "File %s could not be copied to.", destination, error);
    return;
  }
  FinishAndCommit(ctx, staged, source, destination, status);
}

// Copies the data piece by piece; false after a reported failure.
bool CopyData(SyncContext& ctx, platform::File& from, platform::StagedFile& staged, const std::string& source,
              const std::string& destination) {
  platform::PieceCopier copier;
  for (;;) {
    bool readFailed = false;
    int error = 0;
    long n = copier.CopyPiece(from, staged.Data(), ctx.copyBuffer, kCopyPiece, readFailed, error);
    if (n == 0) return true;
    if (n < 0) {
      if (readFailed) {
        ReportCopyFailure(ctx, "Failure on reading from file %s.", source, error);
      } else {
        ReportCopyFailure(ctx, "Failure on writing to file %s.\nPOSSIBLE DATA LOSS!", destination, error);
      }
      return false;
    }
    CheckFreeSpace(ctx, static_cast<uint64_t>(n));
  }
}

void WarnSecurityUnavailable(SyncContext& ctx) {
  if (!ctx.securityWarningPending) return;
  SyncWarning(ctx.st, "Warning: File security information not available on this system.");
  ctx.securityWarningPending = false;
}

void WarnNotSet(SyncContext& ctx, const std::string& shownAs, int error) {
  SyncWarning(ctx.st, WithCause(Format("Warning: Could not set file security information on %s.", shownAs.c_str()),
                                error));
}

void WarnNotObtained(SyncContext& ctx, const std::string& source, const std::string& shownAs, int error) {
  SyncWarning(ctx.st, Format("Warning: Could not obtain file security information about %s.\n"
                             "Cause (error code %#x): %sSecurity information on %s not set.",
                             source.c_str(), static_cast<unsigned>(error), platform::ErrorText(error).c_str(),
                             shownAs.c_str()));
}

void WarnPrivilegeMissing(SyncContext& ctx, const std::string& shownAs, int error) {
  SyncWarning(ctx.st, Format("Warning: Could not claim privilege while setting file security information. \n"
                             "Cause (error code %#x): %sSecurity information on %s not set.",
                             static_cast<unsigned>(error), platform::ErrorText(error).c_str(), shownAs.c_str()));
}

// Each problem of a security copy as its warning, in the order met.
void ReportSecurityIssues(SyncContext& ctx, const std::vector<platform::SecurityIssue>& issues,
                          const std::string& source, const std::string& shownAs) {
  for (const platform::SecurityIssue& issue : issues) {
    switch (issue.kind) {
      case platform::SecurityIssueKind::kNotObtained:
        WarnNotObtained(ctx, source, shownAs, issue.error);
        break;
      case platform::SecurityIssueKind::kNotSet:
        WarnNotSet(ctx, shownAs, issue.error);
        break;
      case platform::SecurityIssueKind::kUnavailable:
        WarnSecurityUnavailable(ctx);
        break;
      case platform::SecurityIssueKind::kPrivilegeMissing:
        WarnPrivilegeMissing(ctx, shownAs, issue.error);
        break;
    }
  }
}

}  // namespace

void CheckFreeSpace(SyncContext& ctx, uint64_t bytes) {
  ctx.bytesCopied += bytes;
  uint64_t step = ctx.bytesCopied / kSpaceStep;
  if (step <= ctx.spaceStep) return;
  ctx.spaceStep = step;
  uint64_t blocks = 0;
  if (platform::FreeBlocks(ctx.destinationRoot, blocks) && blocks < kLowSpaceBlocks) {
    ctx.st.ui->MessageBox(Format("%s warning", kProductVersion),
                          "Available disk space is very low. Please free some space to assure proper operation.");
  }
}

void CopyOneFile(SyncContext& ctx, const std::string& source, const std::string& destination,
                 bool directoryChecked) {
  if (ctx.request.reportOnly) return;
  int error = 0;
  platform::FileStatus status;
  if (!platform::ReadStatus(source, status, error)) {
    ReportCopyFailure(ctx, "File %s could not be copied.", source, error);
    return;
  }
  if (status.isLink) {
    CopyLink(ctx, source, destination, status, TrustedLength(ctx, destination, directoryChecked));
    return;
  }
  if (!ObtainCopyBuffer(ctx)) return;
  platform::File from = platform::OpenForCopy(source);
  if (!from.IsOpen() || !platform::ReadStatus(from, status, error)) {
    ReportCopyFailure(ctx, "File %s could not be copied.", source, platform::LastError());
    return;
  }
  platform::StagedFile staged(ctx.staging);
  if (!staged.CreateFile(destination, TrustedLength(ctx, destination, directoryChecked), error)) {
    ReportCopyFailure(ctx, "File %s could not be copied to.", destination, error);
    return;
  }
  if (!CopyData(ctx, from, staged, source, destination)) return;
  FinishAndCommit(ctx, staged, source, destination, status);
}

void DeleteOneFile(SyncContext& ctx, const std::string& path) {
  if (ctx.request.reportOnly) return;
  int error = 0;
  if (!platform::DeleteFile(path, error)) ReportCopyFailure(ctx, "File %s could not be deleted.", path, error);
}

bool MakeDirectoryPath(SyncContext& ctx, const std::string& path, bool parentChecked) {
  if (ctx.request.reportOnly) return true;
  size_t trusted = parentChecked ? ParentPath(path).size() : 0;
  return platform::MakeDirectories(path, trusted > ctx.toRoot.size() ? trusted : ctx.toRoot.size());
}

void CopySecurityInfo(SyncContext& ctx, const std::string& source, const std::string& target,
                      const std::string& shownAs) {
  if (!ctx.request.copySecurity) return;
  platform::SecurityInfo info;
  std::vector<platform::SecurityIssue> issues;
  bool readable = platform::ReadSecurity(source, ctx.request.copyAudit, info, issues);
  ReportSecurityIssues(ctx, issues, source, shownAs);
  if (!readable) return;
  if (ctx.request.reportOnly) {
    // Nothing may change: a target that does not exist fails as a real attempt would.
    if (!platform::PathExists(target)) WarnNotSet(ctx, shownAs, platform::LastError());
    return;
  }
  issues.clear();
  platform::WriteSecurity(target, info, issues);
  ReportSecurityIssues(ctx, issues, source, shownAs);
}

}  // namespace tav::sync
