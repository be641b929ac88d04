// The registry: keys with typed values, on this computer or a remote one.
// On Windows this is the system registry; on POSIX there is none, so the
// implementation behind this interface is a store of text files of the
// interpreter's own.
//
// Names and string data cross this interface in the system's code page, as
// the ANSI functions of a registry take them (on POSIX: the locale's charset,
// UTF-8 when the locale names none); the registry itself keeps Unicode text.
// Text that has no exact form on the other side is never replaced by another
// character: the call fails (kRegInvalidName for a name, kRegNoTranslation
// for string data or an enumerated name) and leaves a diagnostic. Key and
// value names are matched without regard to case and keep the case they were
// created with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/fs.h"

namespace tav::platform {

// An open key, like a Windows HKEY. Null means no key. A handle stays valid
// until closed; operations through a handle whose key has been deleted fail
// (kRegKeyDeleted), even when a key of the same name is created again.
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

// Status numbers, with the values the Windows registry functions return.
enum : int {
  kRegOk = 0,
  kRegNotFound = 2,          // no such key or value
  kRegAccessDenied = 5,      // a root key cannot be deleted
  kRegInvalidHandle = 6,     // null or closed handle
  kRegBadNetPath = 53,       // the remote computer cannot be reached
  kRegInvalidName = 87,      // an empty step, a name too long, a line break, no text of the code page
  kRegNoMoreItems = 259,     // the enumeration index is past the last subkey
  kRegStoreDamaged = 1009,   // the store file cannot be read as a registry file
  kRegIoFailed = 1016,       // the store could not be read or written
  kRegKeyDeleted = 1018,     // the handle's key has been deleted
  kRegNoTranslation = 1113,  // text has no exact form in the code page or in Unicode
  kRegHasSubkeys = 1020,     // a key with subkeys cannot be deleted
};

// The longest key name (one step of a path), in characters.
constexpr size_t kRegMaxKeyName = 255;

// Every function returns kRegOk (0) on success or a nonzero status.
// The predefined root key of this computer (never needs closing).
RegKey RegLocalRoot(RegRoot root);
// The root key of a remote computer named by computer ("\\NAME").
int RegConnect(const std::string& computer, RegRoot root, RegKey& out);
// Opens an existing key below base; subkey may name several levels separated
// by backslashes; an empty subkey opens base's key once more.
int RegOpen(RegKey base, const std::string& subkey, RegKey& out);
// Opens a key below base, creating every missing key on the way.
int RegCreate(RegKey base, const std::string& subkey, RegKey& out);
void RegClose(RegKey key);
// Stores a value (an empty name is the key's default value), replacing an
// existing one of that name.
int RegSetValue(RegKey key, const std::string& name, uint32_t type, const std::vector<uint8_t>& data);
// A string value whose data cannot be given in the code page fails with
// kRegNoTranslation; type is still set (the value exists) and data is empty.
int RegQueryValue(RegKey key, const std::string& name, uint32_t& type, std::vector<uint8_t>& data);
int RegDeleteValue(RegKey key, const std::string& name);
// The name of the subkey at index (case-insensitive name order).
int RegEnumKey(RegKey key, uint32_t index, std::string& name);
// Deletes the key subkey below parent; it must have no subkeys.
int RegDeleteKey(RegKey parent, const std::string& subkey);

// Writes every change this process has made into the store's files and
// waits for the disk, so that a run leaves nothing pending (on POSIX the
// journals are taken into the store files; on Windows the system registry
// keeps its own). Changes are durable before this: it only tidies.
int RegFlush();

// How a wait for a store file's update lock ends early and what it tells
// while it waits (the POSIX store; the system registry does not wait so).
void RegSetLockWait(LockWait wait);

// The description of the last failure that a user has to be told about
// because the store itself is at fault (a damaged store file, naming the
// file and line; a store file that could not be read or written; text that
// could not be converted, naming it and the byte or character at fault), taken
// away so that it is told once. Empty when there is none, and always on
// Windows, whose registry tells its failures through the status alone.
std::string RegTakeDiagnostic();

}  // namespace tav::platform
