// The registry statements and conditions under WHATIF: keys and values that
// earlier statements would have created, set or deleted are kept in the
// state's plan; everything else is read from the registry, which is never
// written. The current key is then known by its path alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/state.h"

namespace tav::registry {

// The full path of the key that a computer argument and a key path name,
// against the current key's path for a relative one; empty when they name
// none.
std::string FullKeyPath(const InterpreterState& st, const std::string& computer, const std::string& path);

// The value of the current key (or of the key at keyPath) as the run sees
// it: platform status codes (kRegOk, kRegNotFound, kRegInvalidHandle when
// there is no current key).
int QueryCurrentValue(InterpreterState& st, const std::string& name, uint32_t& type, std::vector<uint8_t>& data);
bool PlannedKeyExists(InterpreterState& st, const std::string& fullPath);

bool PlanOpenKey(InterpreterState& st, const std::string& computer, const std::string& path);
bool PlanSetValue(InterpreterState& st, const std::string& name, uint32_t type, const std::vector<uint8_t>& data);
bool PlanDeleteValue(InterpreterState& st, const std::string& name);
bool PlanDeleteKey(InterpreterState& st, const std::string& computer, const std::string& path);

// A value's data as a report shows it (its type by TypeName): the text of
// "REG_SZ", 0x0000002a for "REG_DWORD", the strings of "REG_MULTI_SZ" one a
// line, others as hexadecimal bytes.
std::string DataText(uint32_t type, const std::vector<uint8_t>& data);
// Records a change of the current key's value (before or after absent when
// the value was not or is no longer there) and, under WHATIF, shows it.
void RecordValueChange(InterpreterState& st, const std::string& name, int beforeStatus, uint32_t beforeType,
                       const std::vector<uint8_t>& before, bool after, uint32_t afterType,
                       const std::vector<uint8_t>& afterData);
// Records that a key was (or would be) created or deleted.
void RecordKeyChange(InterpreterState& st, const std::string& fullPath, bool created);

}  // namespace tav::registry
