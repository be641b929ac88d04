#include "sync/file_operations.h"

#include <deque>
#include <new>
#include <vector>

#include "core/messages.h"
#include "core/text.h"
#include "core/user_interface.h"
#include "platform/directory_handle.h"
#include "platform/file_ops.h"
#include "sync/paths.h"
#include "sync/reports.h"

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

void ReportCopyFailure(SyncContext& ctx, const char* text, const std::string& path, int error) {
  SyncError(ctx.st, WithCause(Format(text, path.c_str()), error));
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

// The source's security information, read once per copy when the statement
// copies it: a temporary file is created with it where the system allows
// (so the copy is never more open than its source while it is filled), and
// the finished copy is given all of it.
struct SourceSecurity {
  platform::SecurityInfo info;
  std::vector<platform::SecurityIssue> issues;
  bool readable = false;

  const platform::SecurityInfo* Initial() const { return readable ? &info : nullptr; }
};

void ReadSourceSecurity(SyncContext& ctx, const platform::DirectoryHandle& from, const std::string& fromName,
                        SourceSecurity& out) {
  if (ctx.request.copySecurity) out.readable = from.ReadSecurity(fromName, ctx.request.copyAudit, out.info, out.issues);
}

void WriteSourceSecurity(SyncContext& ctx, SourceSecurity& security, const std::string& source,
                         const platform::DirectoryHandle& to, const std::string& toName, const std::string& shownAs) {
  if (!ctx.request.copySecurity) return;
  ReportSecurityIssues(ctx, security.issues, source, shownAs);
  if (!security.readable) return;
  if (ctx.request.reportOnly) {
    // Nothing may change: a target that does not exist fails as a real attempt would.
    if (!to.Exists(toName)) WarnNotSet(ctx, shownAs, platform::LastError());
    return;
  }
  security.issues.clear();
  to.WriteSecurity(toName, security.info, security.issues);
  ReportSecurityIssues(ctx, security.issues, source, shownAs);
}

void FinishAndCommit(SyncContext& ctx, platform::StagedFile& staged, const std::string& name,
                     const std::string& toName, const platform::FileStatus& status, SourceSecurity& security) {
  int error = 0;
  const platform::DirectoryHandle& to = ctx.Right();
  const std::string& temporary = staged.TemporaryName();
  if (!status.isLink) to.SetAttributes(temporary, platform::CopiedAttributes(status, ctx.request.preserve, ctx.newAttributes), error);
  WriteSourceSecurity(ctx, security, ctx.Left().PathOf(name), to, temporary, to.PathOf(toName));
  to.SetTimes(temporary, status, error);
  // The user's old file is replaced only by a copy that is safely on disk.
  bool replacing = to.Exists(toName);
  if (!staged.Commit(replacing, error)) {
    ReportCopyFailure(ctx, "File %s could not be copied to.", to.PathOf(toName), error);
  }
}

// Opens the destination directory for staging and makes the temporary entry
// with create(destination); false after a reported failure.
template <typename Create>
bool StageIn(SyncContext& ctx, const std::string& destination, Create create) {
  int error = 0;
  if (!ctx.staging.OpenIn(ctx.Right(), error) || !create(destination, error)) {
    ReportCopyFailure(ctx, "File %s could not be copied to.", destination, error);
    return false;
  }
  return true;
}

void CopyLink(SyncContext& ctx, const std::string& name, const std::string& toName,
              const platform::FileStatus& status) {
  int error = 0;
  std::string target;
  if (!ctx.Left().ReadLinkTarget(name, target, error)) {
    ReportCopyFailure(ctx, "File %s could not be copied.", ctx.Left().PathOf(name), error);
    return;
  }
  platform::StagedFile staged(ctx.staging);
  bool created = StageIn(ctx, ctx.Right().PathOf(toName), [&](const std::string& destination, int& failure) {
    return staged.CreateLink(destination, target, 0, failure);
  });
  if (!created) return;
  SourceSecurity security;
  ReadSourceSecurity(ctx, ctx.Left(), name, security);
  FinishAndCommit(ctx, staged, name, toName, status, security);
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

void CopyOneFile(SyncContext& ctx, const std::string& name, const std::string& toName) {
  if (ctx.request.reportOnly) return;
  const platform::DirectoryHandle& from = ctx.Left();
  std::string source = from.PathOf(name);
  int error = 0;
  platform::FileStatus status;
  if (!from.ReadStatus(name, status, error)) {
    ReportCopyFailure(ctx, "File %s could not be copied.", source, error);
    return;
  }
  if (status.isLink) {
    CopyLink(ctx, name, toName, status);
    return;
  }
  if (!ObtainCopyBuffer(ctx)) return;
  platform::File data = from.OpenForCopy(name, error);
  if (!data.IsOpen() || !platform::ReadStatus(data, status, error)) {
    ReportCopyFailure(ctx, "File %s could not be copied.", source, error);
    return;
  }
  std::string destination = ctx.Right().PathOf(toName);
  SourceSecurity security;
  ReadSourceSecurity(ctx, from, name, security);
  platform::StagedFile staged(ctx.staging);
  bool created = StageIn(ctx, destination, [&](const std::string& path, int& failure) {
    return staged.CreateFile(path, 0, failure, security.Initial());
  });
  if (!created || !CopyData(ctx, data, staged, source, destination)) return;
  FinishAndCommit(ctx, staged, name, toName, status, security);
}

void DeleteOneFile(SyncContext& ctx, const std::string& name) {
  if (ctx.request.reportOnly) return;
  int error = 0;
  if (!ctx.Right().DeleteFile(name, error)) {
    ReportCopyFailure(ctx, "File %s could not be deleted.", ctx.Right().PathOf(name), error);
  }
}

bool MakeDestinationDirectories(SyncContext& ctx) {
  if (ctx.request.reportOnly) return true;
  std::deque<platform::DirectoryHandle>& dirs = ctx.rightDirs;
  size_t open = dirs.size();
  while (open > 0 && !dirs[open - 1].IsOpen()) --open;
  if (open == 0) {
    // The statement's own To: the way to it is trusted.
    if (!platform::MakeDirectories(ctx.toRoot, ctx.toRoot.size())) return false;
    dirs[0] = platform::DirectoryHandle::Open(ctx.toRoot, true);
    if (!dirs[0].IsOpen()) return false;
    open = 1;
  }
  for (size_t i = open; i < dirs.size(); ++i) {
    std::string name = platform::FileTitle(dirs[i].Path());
    int error = 0;
    // One that is there already is opened as it is, if it is a real directory.
    dirs[i - 1].MakeDirectory(name, error);
    dirs[i] = dirs[i - 1].OpenChild(name);
    if (!dirs[i].IsOpen()) return false;
  }
  return true;
}

void CopySecurityInfo(SyncContext& ctx, const platform::DirectoryHandle& from, const std::string& fromName,
                      const platform::DirectoryHandle& to, const std::string& toName, const std::string& shownAs) {
  SourceSecurity security;
  ReadSourceSecurity(ctx, from, fromName, security);
  WriteSourceSecurity(ctx, security, from.PathOf(fromName), to, toName, shownAs);
}

}  // namespace tav::sync
