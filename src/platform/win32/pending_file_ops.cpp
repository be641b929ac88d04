// Placeholder for the synchronisation engine's file operations on Windows
// until the real ones are built: every operation fails cleanly with
// ERROR_CALL_NOT_IMPLEMENTED.
#include "platform/file_ops.h"

namespace tav::platform {

namespace {
constexpr int kNotImplemented = 120;

bool Fail(int& error) {
  error = kNotImplemented;
  return false;
}
}  // namespace

ListStatus ListDirectory(const std::string&, bool, std::vector<FindData>& entries, int& error) {
  entries.clear();
  error = kNotImplemented;
  return ListStatus::kOpenFailed;
}
bool ReadFindData(const std::string&, FindData&, int& error) { return Fail(error); }
bool ReadStatus(const std::string&, FileStatus&, int& error) { return Fail(error); }
bool ReadStatus(const File&, FileStatus&, int& error) { return Fail(error); }
File OpenForCopy(const std::string&) { return File(); }
File OpenForAppend(const std::string&) { return File(); }

long PieceCopier::CopyPiece(File&, File&, std::vector<char>&, size_t, bool& readFailed, int& error) {
  readFailed = true;
  error = kNotImplemented;
  return -1;
}
long PieceCopier::CopyThroughBuffer(File&, File&, std::vector<char>&, size_t, bool& readFailed, int& error) {
  readFailed = true;
  error = kNotImplemented;
  return -1;
}

bool StagedFile::CreateFile(const std::string&, size_t, int& error) { return Fail(error); }
bool StagedFile::CreateLink(const std::string&, const std::string&, size_t, int& error) { return Fail(error); }
bool StagedFile::Commit(bool, int& error) { return Fail(error); }
void StagedFile::Discard() { active_ = false; }
bool StagedFile::OpenDirectory(const std::string&, size_t, int& error) { return Fail(error); }
bool StagedFile::CreateEntry(const std::string&, size_t, const std::function<bool(intptr_t, const std::string&)>&,
                             int& error) {
  return Fail(error);
}

bool SetPermissions(const std::string&, uint32_t, int& error) { return Fail(error); }
bool MakeOwnerWritable(const std::string&, int& error) { return Fail(error); }
bool SetTimes(const std::string&, const FileStatus&, int& error) { return Fail(error); }
bool SetOwner(const std::string&, uint32_t, uint32_t, int& error) { return Fail(error); }
uint32_t EffectiveUser() { return 0; }
uint32_t EffectiveGroup() { return 0; }
uint32_t DefaultFileMode() { return 0666; }
uint32_t DefaultDirectoryMode() { return 0777; }

AclStatus ReadAcl(const std::string&, AclKind, std::string& data, int& error) {
  data.clear();
  error = kNotImplemented;
  return AclStatus::kFailed;
}
AclStatus WriteAcl(const std::string&, AclKind, const std::string&, int& error) {
  error = kNotImplemented;
  return AclStatus::kFailed;
}

bool ReadLinkTarget(const std::string&, std::string&, int& error) { return Fail(error); }
bool DeleteFile(const std::string&, int& error) { return Fail(error); }
bool RemoveDirectory(const std::string&, int& error) { return Fail(error); }
bool RenamePath(const std::string&, const std::string&, bool, int& error) { return Fail(error); }
bool MakeDirectory(const std::string&, int& error) { return Fail(error); }
bool MakeDirectories(const std::string&, size_t) { return false; }
bool IsRealDirectory(const std::string&, size_t) { return false; }
bool PathExists(const std::string&) { return false; }
bool FreeBlocks(const std::string&, uint64_t&) { return false; }
std::string RealPath(const std::string&) { return std::string(); }

}  // namespace tav::platform
