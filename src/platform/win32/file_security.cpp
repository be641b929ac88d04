// Windows attributes, times and security information. The security
// descriptor is copied with its owner, group and access list, and with the
// audit list when it is asked for and SeSecurityPrivilege can be claimed.
#include <vector>

#include "platform/file_ops.h"
#include "platform/win32/file_util.h"

namespace tav::platform {

namespace {

constexpr const char* kSecurityPrivilege = "SeSecurityPrivilege";
constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ull;

uint64_t JoinFileTime(int64_t seconds, uint32_t nanoseconds) {
  return static_cast<uint64_t>(seconds * 10'000'000 + nanoseconds / 100) + kUnixEpochAsFileTime;
}

// Switches a privilege of the process token on or off. The previous state
// of the privilege is read first and only its enabled bit changed.
bool SetProcessPrivilege(const char* name, bool enable, DWORD& error) {
  LUID id;
  HANDLE token = nullptr;
  if (!::LookupPrivilegeValueA(nullptr, name, &id) ||
      !::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    error = ::GetLastError();
    return false;
  }
  TOKEN_PRIVILEGES request{};
  request.PrivilegeCount = 1;
  request.Privileges[0].Luid = id;
  request.Privileges[0].Attributes = 0;
  TOKEN_PRIVILEGES previous{};
  DWORD previousSize = sizeof previous;
  ::SetLastError(ERROR_SUCCESS);
  ::AdjustTokenPrivileges(token, FALSE, &request, sizeof request, &previous, &previousSize);
  error = ::GetLastError();
  if (error == ERROR_SUCCESS) {
    previous.PrivilegeCount = 1;
    previous.Privileges[0].Luid = id;
    if (enable) {
      previous.Privileges[0].Attributes |= SE_PRIVILEGE_ENABLED;
    } else {
      previous.Privileges[0].Attributes &= ~static_cast<DWORD>(SE_PRIVILEGE_ENABLED);
    }
    ::SetLastError(ERROR_SUCCESS);
    ::AdjustTokenPrivileges(token, FALSE, &previous, previousSize, nullptr, nullptr);
    error = ::GetLastError();
  }
  ::CloseHandle(token);
  return error == ERROR_SUCCESS;
}

bool IsUnavailable(DWORD error) { return error == ERROR_CALL_NOT_IMPLEMENTED || error == ERROR_NOT_SUPPORTED; }

// Refused owners: the process may not give the target the source's owner.
bool IsOwnerRefused(DWORD error) {
  return error == ERROR_INVALID_OWNER || error == ERROR_ACCESS_DENIED || error == ERROR_PRIVILEGE_NOT_HELD;
}

}  // namespace

struct SecurityInfo::Data {
  std::vector<char> descriptor;
  SECURITY_INFORMATION parts = 0;
  bool privilegeClaimed = false;
  ~Data() {
    DWORD error = 0;
    if (privilegeClaimed) SetProcessPrivilege(kSecurityPrivilege, false, error);
  }
};

SecurityInfo::SecurityInfo() : data_(std::make_unique<Data>()) {}
SecurityInfo::~SecurityInfo() = default;

bool AccessListOnly(const SecurityInfo& info, SECURITY_DESCRIPTOR& out) {
  const std::vector<char>& descriptor = info.Get().descriptor;
  if (descriptor.empty()) return false;
  auto* source = const_cast<char*>(descriptor.data());
  BOOL present = FALSE, defaulted = FALSE;
  PACL list = nullptr;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (!::GetSecurityDescriptorDacl(source, &present, &list, &defaulted) || !present ||
      !::GetSecurityDescriptorControl(source, &control, &revision) ||
      !::InitializeSecurityDescriptor(&out, SECURITY_DESCRIPTOR_REVISION) ||
      !::SetSecurityDescriptorDacl(&out, TRUE, list, FALSE)) {
    return false;
  }
  return ::SetSecurityDescriptorControl(&out, SE_DACL_PROTECTED, control & SE_DACL_PROTECTED) != 0;
}

bool SetAttributes(const std::string& path, uint32_t attributes, int& error) {
  DWORD current = ::GetFileAttributesA(path.c_str());
  if (current == INVALID_FILE_ATTRIBUTES) {
    error = static_cast<int>(::GetLastError());
    return false;
  }
  if (IsLinkPath(path, current)) return true;
  DWORD settable = attributes & kSettableAttributes;
  if (!::SetFileAttributesA(path.c_str(), settable == 0 ? FILE_ATTRIBUTE_NORMAL : settable)) {
    error = static_cast<int>(::GetLastError());
    return false;
  }
  return true;
}

NewAttributes DefaultAttributes() { return NewAttributes{FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_NORMAL}; }

uint32_t CopiedAttributes(const FileStatus& source, bool preserve, const NewAttributes& defaults) {
  DWORD settable = source.attributes & kSettableAttributes;
  return preserve && settable != 0 ? settable : (source.isDirectory ? defaults.directory : defaults.file);
}

bool IsWriteProtected(const FileStatus& status) {
  // A read-only directory still takes new entries and gives up old ones.
  return !status.isLink && !status.isDirectory && (status.attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool MakeWritable(const std::string& path, int& error) {
  DWORD old = ::GetFileAttributesA(path.c_str());
  if (old == INVALID_FILE_ATTRIBUTES) {
    error = static_cast<int>(::GetLastError());
    return false;
  }
  if ((old & FILE_ATTRIBUTE_READONLY) == 0 || IsLinkPath(path, old)) return true;
  if (!ClearReadOnly(path, old)) {
    error = static_cast<int>(::GetLastError());
    return false;
  }
  return true;
}

bool SetTimes(const std::string& path, const FileStatus& times, int& error) {
  HANDLE handle = ::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = static_cast<int>(::GetLastError());
    return false;
  }
  FILETIME creation = ToFileTime(times.creationTime);
  FILETIME access = ToFileTime(JoinFileTime(times.accessSeconds, times.accessNanoseconds));
  FILETIME write = ToFileTime(JoinFileTime(times.writeSeconds, times.writeNanoseconds));
  bool ok = ::SetFileTime(handle, times.creationTime != 0 ? &creation : nullptr, &access, &write) != 0;
  if (!ok) error = static_cast<int>(::GetLastError());
  ::CloseHandle(handle);
  return ok;
}

bool ReadSecurity(const std::string& path, bool audit, SecurityInfo& out, std::vector<SecurityIssue>& issues) {
  SecurityInfo::Data& data = out.Get();
  DWORD error = 0;
  data.privilegeClaimed = SetProcessPrivilege(kSecurityPrivilege, true, error);
  if (!data.privilegeClaimed) {
    if (error == ERROR_CALL_NOT_IMPLEMENTED) {
      issues.push_back({SecurityIssueKind::kUnavailable, 0});
      return false;
    }
    // Only the audit list needs the privilege; the rest is copied without it.
    if (audit) issues.push_back({SecurityIssueKind::kPrivilegeMissing, static_cast<int>(error)});
  }
  data.parts = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  if (audit && data.privilegeClaimed) data.parts |= SACL_SECURITY_INFORMATION;
  DWORD needed = 0;
  ::GetFileSecurityA(path.c_str(), data.parts, nullptr, 0, &needed);
  error = ::GetLastError();
  if (needed > 0 && error == ERROR_INSUFFICIENT_BUFFER) {
    data.descriptor.assign(needed, 0);
    if (::GetFileSecurityA(path.c_str(), data.parts, data.descriptor.data(), needed, &needed)) return true;
    error = ::GetLastError();
  }
  issues.push_back({IsUnavailable(error) ? SecurityIssueKind::kUnavailable : SecurityIssueKind::kNotObtained,
                    static_cast<int>(error)});
  return false;
}

void WriteSecurity(const std::string& path, const SecurityInfo& info, std::vector<SecurityIssue>& issues) {
  const SecurityInfo::Data& data = info.Get();
  auto descriptor = const_cast<char*>(data.descriptor.data());
  if (::SetFileSecurityA(path.c_str(), data.parts, descriptor)) return;
  DWORD error = ::GetLastError();
  if (IsUnavailable(error)) {
    issues.push_back({SecurityIssueKind::kUnavailable, 0});
    return;
  }
  // Another user as owner needs a privilege the process may lack: the access
  // and audit lists are set without owner and group, and the owner's loss is
  // reported.
  SECURITY_INFORMATION lists = data.parts & ~static_cast<SECURITY_INFORMATION>(OWNER_SECURITY_INFORMATION |
                                                                            GROUP_SECURITY_INFORMATION);
  if (IsOwnerRefused(error) && ::SetFileSecurityA(path.c_str(), lists, descriptor)) {
    issues.push_back({SecurityIssueKind::kNotSet, static_cast<int>(error)});
    return;
  }
  issues.push_back({SecurityIssueKind::kNotSet, static_cast<int>(::GetLastError())});
}

}  // namespace tav::platform
