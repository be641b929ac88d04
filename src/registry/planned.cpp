#include "registry/planned.h"

#include <algorithm>

#include "core/messages.h"
#include "core/text.h"
#include "platform/registry.h"
#include "registry/key_path.h"
#include "registry/registry.h"
#include "registry/value_data.h"

namespace tav::registry {

namespace {

using Key = PlannedChanges::Key;

// What the run sees of a key: none, one with only planned contents, or the
// registry's key with planned changes over it.
enum class Seen { kGone, kFresh, kReal };

std::string Parent(const std::string& path) {
  size_t cut = path.rfind('\\');
  return cut == std::string::npos || cut < 2 ? std::string() : path.substr(0, cut);
}

bool HasPrefix(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

// Opens the registry's key at a full path, reading only.
platform::RegKey OpenReal(const std::string& fullPath) {
  std::string path = fullPath;
  std::string computer;
  if (HasPrefix(path, "\\\\")) {
    size_t end = path.find('\\', 2);
    if (end == std::string::npos) return nullptr;
    computer = path.substr(0, end);
    path = path.substr(end + 1);
  }
  std::optional<platform::RegRoot> root = ValidRoot("\\\\" + path + "\\");
  if (!root) return nullptr;
  size_t cut = path.find('\\');
  std::string subkey = cut == std::string::npos ? std::string() : path.substr(cut + 1);
  platform::RegKey base = platform::RegLocalRoot(*root);
  if (!computer.empty() && platform::RegConnect(computer, *root, base) != platform::kRegOk) return nullptr;
  platform::RegKey key = nullptr;
  int status = platform::RegOpen(base, subkey, key);
  if (!computer.empty()) platform::RegClose(base);
  platform::RegTakeDiagnostic();
  return status == platform::kRegOk ? key : nullptr;
}

Seen KeyState(const InterpreterState& st, const std::string& fullPath) {
  const auto& keys = st.plan.keys;
  std::string folded = ToUpperAscii(fullPath);
  auto self = keys.find(folded);
  if (self != keys.end() && self->second == Key::kDeleted) return Seen::kGone;
  for (std::string up = Parent(folded); !up.empty(); up = Parent(up)) {
    auto it = keys.find(up);
    if (it != keys.end() && it->second != Key::kCreated) return self != keys.end() ? Seen::kFresh : Seen::kGone;
  }
  if (self != keys.end() && self->second == Key::kRecreated) return Seen::kFresh;
  platform::RegKey real = OpenReal(fullPath);
  if (real != nullptr) {
    platform::RegClose(real);
    return Seen::kReal;
  }
  return self != keys.end() ? Seen::kFresh : Seen::kGone;
}

void PlanCreate(InterpreterState& st, const std::string& fullPath) {
  for (std::string k = ToUpperAscii(fullPath); !k.empty(); k = Parent(k)) {
    auto [it, added] = st.plan.keys.emplace(k, Key::kCreated);
    if (!added && it->second == Key::kDeleted) it->second = Key::kRecreated;
  }
}

void PlanDelete(InterpreterState& st, const std::string& fullPath) {
  std::string folded = ToUpperAscii(fullPath);
  std::string below = folded + "\\";
  std::erase_if(st.plan.keys, [&](const auto& entry) { return HasPrefix(entry.first, below); });
  std::erase_if(st.plan.values,
                [&](const auto& entry) { return entry.first == folded || HasPrefix(entry.first, below); });
  st.plan.keys[folded] = Key::kDeleted;
}

int QueryPlanned(const InterpreterState& st, const std::string& fullPath, const std::string& name, uint32_t& type,
                 std::vector<uint8_t>& data) {
  Seen seen = KeyState(st, fullPath);
  if (seen == Seen::kGone) return platform::kRegNotFound;
  auto values = st.plan.values.find(ToUpperAscii(fullPath));
  if (values != st.plan.values.end()) {
    auto value = values->second.find(ToUpperAscii(name));
    if (value != values->second.end()) {
      if (!value->second.exists) return platform::kRegNotFound;
      type = value->second.type;
      data = value->second.data;
      return platform::kRegOk;
    }
  }
  if (seen == Seen::kFresh) return platform::kRegNotFound;
  platform::RegKey key = OpenReal(fullPath);
  if (key == nullptr) return platform::kRegNotFound;
  int status = platform::RegQueryValue(key, name, type, data);
  platform::RegClose(key);
  return status;
}

std::string ShownValue(const std::string& name, bool exists, uint32_t type, const std::vector<uint8_t>& data) {
  if (!exists) return Format("%s (none)", name.c_str());
  return Format("%s %s %s", name.c_str(), TypeName(type).c_str(), DataText(type, data).c_str());
}

}  // namespace

std::string FullKeyPath(const InterpreterState& st, const std::string& computer, const std::string& path) {
  if (LacksValidRoot(computer, path)) return std::string();
  std::string subkey = SubkeyOf(path);
  std::string base;
  if (IsLocalComputer(computer) && !BeginsWithRootName(path)) {
    base = st.currentKeyPath;
    if (base.empty()) return std::string();
  } else {
    if (!ReachesRegistry(computer)) return std::string();
    size_t end = path.find('\\', 2);
    base = ToUpperAscii(path.substr(2, end == std::string::npos ? end : end - 2));
    if (!IsLocalComputer(computer)) base = computer + "\\" + base;
  }
  while (!subkey.empty() && subkey.back() == '\\') subkey.pop_back();
  return subkey.empty() ? base : base + "\\" + subkey;
}

int QueryCurrentValue(InterpreterState& st, const std::string& name, uint32_t& type, std::vector<uint8_t>& data) {
  if (!st.options.whatIf) {
    if (st.currentKey == nullptr) return platform::kRegInvalidHandle;
    return platform::RegQueryValue(st.currentKey, name, type, data);
  }
  if (st.currentKeyPath.empty()) return platform::kRegInvalidHandle;
  return QueryPlanned(st, st.currentKeyPath, name, type, data);
}

bool PlannedKeyExists(InterpreterState& st, const std::string& fullPath) {
  return !fullPath.empty() && KeyState(st, fullPath) != Seen::kGone;
}

bool PlanOpenKey(InterpreterState& st, const std::string& computer, const std::string& path) {
  st.errorCode = kErrNone;
  if (LacksValidRoot(computer, path)) ReportError(st, kErrRegCreateOpen);
  std::string full = FullKeyPath(st, computer, path);
  st.currentKeyPath.clear();
  if (full.empty()) {
    st.errorCode = kErrRegOpen;
    return false;
  }
  if (KeyState(st, full) == Seen::kGone) {
    PlanCreate(st, full);
    RecordKeyChange(st, full, true);
  }
  st.currentKeyPath = full;
  return true;
}

bool PlanSetValue(InterpreterState& st, const std::string& name, uint32_t type, const std::vector<uint8_t>& data) {
  if (st.currentKeyPath.empty()) return false;
  uint32_t oldType = 0;
  std::vector<uint8_t> oldData;
  int status = QueryCurrentValue(st, name, oldType, oldData);
  st.plan.values[ToUpperAscii(st.currentKeyPath)][ToUpperAscii(name)] = PlannedValue{true, type, data};
  RecordValueChange(st, name, status, oldType, oldData, true, type, data);
  return true;
}

bool PlanDeleteValue(InterpreterState& st, const std::string& name) {
  uint32_t oldType = 0;
  std::vector<uint8_t> oldData;
  int status = QueryCurrentValue(st, name, oldType, oldData);
  if (status != platform::kRegOk) return false;
  st.plan.values[ToUpperAscii(st.currentKeyPath)][ToUpperAscii(name)] = PlannedValue{};
  RecordValueChange(st, name, status, oldType, oldData, false, 0, {});
  return true;
}

bool PlanDeleteKey(InterpreterState& st, const std::string& computer, const std::string& path) {
  if (LacksValidRoot(computer, path)) ReportError(st, kErrRegCreateOpen);
  std::string full = FullKeyPath(st, computer, path);
  // A root or the current key itself cannot be deleted.
  if (full.empty() || SubkeyOf(path).empty() || KeyState(st, full) == Seen::kGone) {
    ReportError(st, kErrRegDelete);
    return false;
  }
  PlanDelete(st, full);
  RecordKeyChange(st, full, false);
  return true;
}

std::string DataText(uint32_t type, const std::vector<uint8_t>& data) {
  if (type == platform::kRegSz || type == platform::kRegExpandSz) {
    auto nul = std::find(data.begin(), data.end(), uint8_t{0});
    return std::string(data.begin(), nul);
  }
  if ((type == platform::kRegDword || type == platform::kRegDwordBigEndian) && data.size() == 4) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
      size_t at = type == platform::kRegDword ? i : 3 - i;
      value |= static_cast<uint32_t>(data[at]) << (8 * i);
    }
    return Format("0x%08x", value);
  }
  if (type == platform::kRegMultiSz) {
    std::string text;
    for (size_t i = 0; i < data.size(); ++i) text += data[i] == 0 ? '\n' : static_cast<char>(data[i]);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }
  std::string text;
  for (uint8_t byte : data) text += Format(text.empty() ? "%02x" : " %02x", byte);
  return text;
}

void RecordValueChange(InterpreterState& st, const std::string& name, int beforeStatus, uint32_t beforeType,
                       const std::vector<uint8_t>& before, bool after, uint32_t afterType,
                       const std::vector<uint8_t>& afterData) {
  bool existed = beforeStatus == platform::kRegOk;
  if (existed == after && (!after || (beforeType == afterType && before == afterData))) return;
  Change change;
  change.kind = "registry";
  change.target = st.currentKeyPath;
  change.name = name;
  if (existed) {
    change.beforeType = TypeName(beforeType);
    change.before = DataText(beforeType, before);
  }
  if (after) {
    change.afterType = TypeName(afterType);
    change.after = DataText(afterType, afterData);
  }
  if (st.options.whatIf) {
    PrintMessage(st, Format("%cWHATIF: %s: %s -> %s\n", kInfoMarker, st.currentKeyPath.c_str(),
                            ShownValue(name, existed, beforeType, before).c_str(),
                            ShownValue(name, after, afterType, afterData).c_str()));
  }
  st.report.AddChange(std::move(change));
}

void RecordKeyChange(InterpreterState& st, const std::string& fullPath, bool created) {
  Change change;
  change.kind = "registry";
  change.target = fullPath;
  (created ? change.after : change.before) = std::string();
  if (st.options.whatIf) {
    PrintMessage(st, Format("%cWHATIF: would %s key %s\n", kInfoMarker, created ? "create" : "delete", fullPath.c_str()));
  }
  st.report.AddChange(std::move(change));
}

}  // namespace tav::registry
