// The registry: keys with typed values, on this computer or a remote one.
// On POSIX there is no system registry, so the implementation behind this
// interface is a store of text files of the interpreter's own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tav::platform {

// An open key, like a Windows HKEY. Null means no key. A handle stays valid
// until closed; operations through a handle whose key has been deleted fail.
struct RegKeyObject;
using RegKey = RegKeyObject*;

enum class RegRoot { ClassesRoot, CurrentUser, LocalMachine, Users };

// Value types, with the registry's numbers.
enum : uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegDwordBigEndian = 5,
  kRegMultiSz = 7,
};

// Every function returns 0 on success or a nonzero status.
// The predefined root key of this computer (never needs closing).
RegKey RegLocalRoot(RegRoot root);
// The root key of a remote computer named by computer ("\\NAME").
int RegConnect(const std::string& computer, RegRoot root, RegKey& out);
// Opens an existing key below base; subkey may name several levels.
int RegOpen(RegKey base, const std::string& subkey, RegKey& out);
// Opens a key below base, creating every missing key on the way.
int RegCreate(RegKey base, const std::string& subkey, RegKey& out);
void RegClose(RegKey key);
int RegSetValue(RegKey key, const std::string& name, uint32_t type, const std::vector<uint8_t>& data);
int RegQueryValue(RegKey key, const std::string& name, uint32_t& type, std::vector<uint8_t>& data);
int RegDeleteValue(RegKey key, const std::string& name);
// The name of the subkey at index (case-insensitive name order).
int RegEnumKey(RegKey key, uint32_t index, std::string& name);
// Deletes the key subkey below parent; it must have no subkeys.
int RegDeleteKey(RegKey parent, const std::string& subkey);

}  // namespace tav::platform
