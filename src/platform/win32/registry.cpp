// The registry on Windows: the system registry of this computer, and of a
// remote one through a registry connection. A RegKey is the system's key
// handle itself; the predefined root keys are the system's own and are never
// closed. Names are matched by the system, without regard to case.
//
// Paths are checked before they reach the system, by the same rules as on
// every build: one trailing backslash is allowed, an empty step elsewhere, a
// step longer than a key name may be, or a NUL inside a name is refused, and
// a deletion never reaches the parent key itself.
#include "platform/registry.h"

#include "platform/code_page.h"
#include "platform/win32/win32_api.h"

// The system headers name the ANSI and wide registry functions through macros
// with the same names as this interface's functions.
#undef RegSetValue
#undef RegQueryValue
#undef RegDeleteKey
#undef RegDeleteValue
#undef RegEnumKey

#include <string_view>

namespace tav::platform {

namespace {

HKEY ToHkey(RegKey key) { return reinterpret_cast<HKEY>(key); }
RegKey ToRegKey(HKEY key) { return reinterpret_cast<RegKey>(key); }

HKEY PredefinedKey(RegRoot root) {
  switch (root) {
    case RegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RegRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegRoot::Users: return HKEY_USERS;
  }
  return HKEY_LOCAL_MACHINE;
}

bool IsPredefined(HKEY key) {
  return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE || key == HKEY_USERS;
}

// The interface's status for a system status; most are the same numbers.
int StatusOf(LONG error) {
  switch (error) {
    case ERROR_SUCCESS: return kRegOk;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return kRegNotFound;
    case ERROR_ACCESS_DENIED: return kRegAccessDenied;
    case ERROR_INVALID_HANDLE: return kRegInvalidHandle;
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_COMPUTERNAME:
    case RPC_S_SERVER_UNAVAILABLE:
    case RPC_S_INVALID_NET_ADDR: return kRegBadNetPath;
    case ERROR_INVALID_PARAMETER:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_INVALID_NAME: return kRegInvalidName;
    case ERROR_NO_MORE_ITEMS: return kRegNoMoreItems;
    case ERROR_BADDB: return kRegStoreDamaged;
    case ERROR_REGISTRY_IO_FAILED: return kRegIoFailed;
    case ERROR_KEY_DELETED: return kRegKeyDeleted;
    case ERROR_KEY_HAS_CHILDREN: return kRegHasSubkeys;
    default: return static_cast<int>(error);
  }
}

bool HasNul(std::string_view name) { return name.find('\0') != std::string_view::npos; }

// The subkey path as the system takes it, without the one trailing backslash
// that is allowed; kRegInvalidName for a path the interface refuses. The
// backslashes are characters of the ANSI code page, never the second byte of
// a double-byte character.
int CheckedSubkey(const std::string& subkey, std::string& out) {
  const CodePage& codePage = CodePage::OfProcess();
  std::string_view rest = subkey;
  if (codePage.EndsWith(rest, '\\')) rest.remove_suffix(1);
  if (rest.empty() && !subkey.empty()) return kRegInvalidName;
  if (HasNul(rest)) return kRegInvalidName;
  for (std::string_view steps = rest; !steps.empty();) {
    size_t slash = codePage.Find(steps, '\\');
    std::string_view step = steps.substr(0, slash);
    if (step.empty() || step.size() > kRegMaxKeyName) return kRegInvalidName;
    if (slash == std::string_view::npos) break;
    steps.remove_prefix(slash + 1);
    if (steps.empty()) return kRegInvalidName;
  }
  out.assign(rest);
  return kRegOk;
}

int OpenExisting(HKEY base, const std::string& path, RegKey& out) {
  HKEY opened = nullptr;
  LONG error = RegOpenKeyExA(base, path.c_str(), 0, KEY_ALL_ACCESS, &opened);
  // A key this user may only read is still opened, so that conditions can
  // test it; a change through the handle is then refused by the system.
  if (error == ERROR_ACCESS_DENIED) error = RegOpenKeyExA(base, path.c_str(), 0, KEY_READ, &opened);
  if (error != ERROR_SUCCESS) return StatusOf(error);
  out = ToRegKey(opened);
  return kRegOk;
}

// Whether the key below parent has subkeys: the reason its deletion was
// refused.
bool HasSubkeys(HKEY parent, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD subkeys = 0;
  LONG error = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                                nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return error == ERROR_SUCCESS && subkeys > 0;
}

}  // namespace

RegKey RegLocalRoot(RegRoot root) { return ToRegKey(PredefinedKey(root)); }

int RegConnect(const std::string& computer, RegRoot root, RegKey& out) {
  out = nullptr;
  if (computer.empty() || HasNul(computer)) return kRegBadNetPath;
  HKEY connected = nullptr;
  LONG error = RegConnectRegistryA(computer.c_str(), PredefinedKey(root), &connected);
  if (error != ERROR_SUCCESS) return StatusOf(error);
  out = ToRegKey(connected);
  return kRegOk;
}

int RegOpen(RegKey base, const std::string& subkey, RegKey& out) {
  out = nullptr;
  if (base == nullptr) return kRegInvalidHandle;
  std::string path;
  if (int status = CheckedSubkey(subkey, path)) return status;
  return OpenExisting(ToHkey(base), path, out);
}

int RegCreate(RegKey base, const std::string& subkey, RegKey& out) {
  out = nullptr;
  if (base == nullptr) return kRegInvalidHandle;
  std::string path;
  if (int status = CheckedSubkey(subkey, path)) return status;
  if (path.empty()) return OpenExisting(ToHkey(base), path, out);
  HKEY created = nullptr;
  LONG error = RegCreateKeyExA(ToHkey(base), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                               nullptr, &created, nullptr);
  if (error != ERROR_SUCCESS) return StatusOf(error);
  out = ToRegKey(created);
  return kRegOk;
}

void RegClose(RegKey key) {
  HKEY hkey = ToHkey(key);
  if (hkey != nullptr && !IsPredefined(hkey)) RegCloseKey(hkey);
}

int RegSetValue(RegKey key, const std::string& name, uint32_t type, const std::vector<uint8_t>& data) {
  if (key == nullptr) return kRegInvalidHandle;
  if (HasNul(name)) return kRegInvalidName;
  if (data.size() > UINT32_MAX) return kRegInvalidName;
  return StatusOf(RegSetValueExA(ToHkey(key), name.c_str(), 0, type, data.empty() ? nullptr : data.data(),
                                 static_cast<DWORD>(data.size())));
}

int RegQueryValue(RegKey key, const std::string& name, uint32_t& type, std::vector<uint8_t>& data) {
  if (key == nullptr) return kRegInvalidHandle;
  if (HasNul(name)) return kRegNotFound;
  DWORD size = 0;
  DWORD found = 0;
  LONG error = RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &found, nullptr, &size);
  // The value may grow between the two calls; ask again with the new size.
  while (error == ERROR_SUCCESS || error == ERROR_MORE_DATA) {
    std::vector<uint8_t> bytes(size + 1);
    DWORD room = size + 1;
    error = RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &found, bytes.data(), &room);
    if (error == ERROR_SUCCESS) {
      bytes.resize(room);
      data = std::move(bytes);
      type = found;
      return kRegOk;
    }
    size = room;
  }
  return StatusOf(error);
}

int RegDeleteValue(RegKey key, const std::string& name) {
  if (key == nullptr) return kRegInvalidHandle;
  if (HasNul(name)) return kRegNotFound;
  return StatusOf(RegDeleteValueA(ToHkey(key), name.c_str()));
}

int RegEnumKey(RegKey key, uint32_t index, std::string& name) {
  if (key == nullptr) return kRegInvalidHandle;
  char buffer[kRegMaxKeyName + 1];
  DWORD length = sizeof buffer;
  LONG error = RegEnumKeyExA(ToHkey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
  if (error != ERROR_SUCCESS) return StatusOf(error);
  name.assign(buffer, length);
  return kRegOk;
}

int RegDeleteKey(RegKey parent, const std::string& subkey) {
  if (parent == nullptr) return kRegInvalidHandle;
  std::string path;
  if (int status = CheckedSubkey(subkey, path)) return status;
  // The system deletes the parent key itself for an empty path.
  if (path.empty()) return kRegAccessDenied;
  LONG error = RegDeleteKeyA(ToHkey(parent), path.c_str());
  if (error == ERROR_ACCESS_DENIED && HasSubkeys(ToHkey(parent), path)) return kRegHasSubkeys;
  return StatusOf(error);
}

int RegFlush() { return kRegOk; }

void RegSetLockWait(LockWait) {}
std::string RegTakeDiagnostic() { return std::string(); }

}  // namespace tav::platform
