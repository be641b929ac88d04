// The statements that change the registry: RegSetValue, RegDeleteValue and
// RegDeleteKey. RegOpenKey and the key paths are in key_path.cpp.
#include <string>
#include <vector>

#include "core/check_report.h"
#include "core/messages.h"
#include "core/text.h"
#include "registry/key_path.h"
#include "registry/planned.h"
#include "registry/registry.h"
#include "registry/value_data.h"

namespace tav::registry {

namespace {

bool FailSetValue(InterpreterState& st) {
  ReportError(st, kErrRegValueType);
  return false;
}

// Deletes the key itself once its subkeys are gone. In a nested deletion the
// key is a subkey of the current key; at the top level it is the key that
// OpenKeyPath opened for the same arguments.
bool DeleteKeyItself(InterpreterState& st, const std::string& computer, const std::string& path) {
  int status = platform::kRegNotFound;
  if (st.deleteDepth > 0) {
    if (st.currentKey != nullptr) status = platform::RegDeleteKey(st.currentKey, path);
  } else if (IsLocalComputer(computer) && !BeginsWithRootName(path)) {
    if (st.currentKey != nullptr) status = platform::RegDeleteKey(st.currentKey, SubkeyOf(path));
  } else if (BeginsWithRootName(path)) {
    std::optional<platform::RegRoot> root = ValidRoot(path);
    if (!root) {
      ReportError(st, kErrRegCreateOpen);
    } else if (IsLocalComputer(computer)) {
      status = platform::RegDeleteKey(platform::RegLocalRoot(*root), SubkeyOf(path));
    } else if (!computer.empty() && computer[0] == '\\') {
      platform::RegKey base = nullptr;
      status = platform::RegConnect(computer, *root, base);
      if (status == platform::kRegOk) {
        status = platform::RegDeleteKey(base, SubkeyOf(path));
        platform::RegClose(base);
      }
    }
  }
  // A remote computer with a relative path names no key that may be deleted.
  if (Succeeded(st, status)) return true;
  ReportError(st, kErrRegDelete);
  return false;
}

// Deletes the key and everything below it, depth first. The current key and
// deleteDepth are as before on every return.
bool DeleteKeyTree(InterpreterState& st, const std::string& computer, const std::string& path) {
  platform::RegKey saved = st.currentKey;
  platform::RegKey key = nullptr;
  if (st.deleteDepth > 0) {
    // A nested deletion opens the subkey directly under the key being deleted.
    if (!Succeeded(st, platform::RegOpen(saved, path, key))) key = nullptr;
    st.currentKey = key;
  } else if (OpenKeyPath(st, computer, path)) {
    key = st.currentKey;
  }
  // A path whose subkey is empty names its base key itself (a root, or the
  // current key), which cannot be deleted; the keys below it stay as well.
  bool deletable = st.deleteDepth > 0 || !SubkeyOf(path).empty();
  std::string subkey;
  while (deletable && key != nullptr && platform::RegEnumKey(key, 0, subkey) == platform::kRegOk) {
    ++st.deleteDepth;
    bool deleted = DeleteKeyTree(st, computer, subkey);
    --st.deleteDepth;
    if (!deleted) {
      platform::RegClose(key);
      st.currentKey = saved;
      return false;
    }
  }
  ReportStoreDiagnostic(st);
  platform::RegClose(key);
  st.currentKey = saved;
  return DeleteKeyItself(st, computer, path);
}

}  // namespace

bool RegSetValue(InterpreterState& st, const ArgumentArray* args) {
  if (args == nullptr || args->size() < 3) return false;
  const std::string& name = (*args)[0].text;
  std::optional<uint32_t> type = LookUpValueType((*args)[1].text);
  if (!type) return FailSetValue(st);
  std::vector<uint8_t> data;
  if (!ParseValueData(*type, (*args)[2].text, data)) return FailSetValue(st);
  if (st.options.whatIf) return PlanSetValue(st, name, *type, data) || FailSetValue(st);
  // The value before, for the report.
  uint32_t oldType = 0;
  std::vector<uint8_t> oldData;
  int oldStatus = st.report.Collecting() ? QueryCurrentValue(st, name, oldType, oldData) : platform::kRegNotFound;
  // Data longer than 255 bytes is stored whole.
  if (st.currentKey == nullptr || !Succeeded(st, platform::RegSetValue(st.currentKey, name, *type, data))) {
    return FailSetValue(st);
  }
  if (st.report.Collecting()) RecordValueChange(st, name, oldStatus, oldType, oldData, true, *type, data);
  return true;
}

bool RegDeleteValue(InterpreterState& st, const ArgumentArray* args) {
  if (args == nullptr || args->empty()) return false;
  const std::string& name = (*args)[0].text;
  if (st.options.whatIf) return PlanDeleteValue(st, name);
  if (st.currentKey == nullptr) return false;
  uint32_t oldType = 0;
  std::vector<uint8_t> oldData;
  int oldStatus = st.report.Collecting() ? QueryCurrentValue(st, name, oldType, oldData) : platform::kRegNotFound;
  if (!Succeeded(st, platform::RegDeleteValue(st.currentKey, name))) return false;
  if (st.report.Collecting()) RecordValueChange(st, name, oldStatus, oldType, oldData, false, 0, {});
  return true;
}

bool RegDeleteKey(InterpreterState& st, const ArgumentArray* args) {
  if (args == nullptr || args->size() < 2) return false;
  if (st.options.whatIf) return PlanDeleteKey(st, (*args)[0].text, (*args)[1].text);
  std::string full = st.report.Collecting() ? FullKeyPath(st, (*args)[0].text, (*args)[1].text) : std::string();
  int depth = st.deleteDepth;
  bool deleted = DeleteKeyTree(st, (*args)[0].text, (*args)[1].text);
  st.deleteDepth = depth;
  if (deleted && !full.empty()) RecordKeyChange(st, full, false);
  return deleted;
}

// RegOpenKey reports a path without a valid root as error 13 and then fails
// with code 15; a computer argument that reaches no registry fails with 15
// unreported.
void CheckRegOpenKey(InterpreterState& st, const ArgumentArray* args) {
  if (args == nullptr) return;
  const std::string& computer = (*args)[0].text;
  if (LacksValidRoot(computer, (*args)[1].text)) {
    CheckError(st, kErrRegCreateOpen, {}, kErrRegOpen);
  } else if (!ReachesRegistry(computer)) {
    CheckError(st, kErrRegOpen, "the computer argument is neither LOCAL nor \\\\NAME");
  }
}

void CheckRegSetValue(InterpreterState& st, const ArgumentArray* args) {
  if (args == nullptr) return;
  const std::string& typeName = (*args)[1].text;
  std::optional<uint32_t> type = LookUpValueType(typeName);
  if (!type) {
    CheckError(st, kErrRegValueType, Format("\"%s\" is no value type", typeName.c_str()));
    return;
  }
  std::vector<uint8_t> bytes;
  if (!ParseValueData(*type, (*args)[2].text, bytes)) CheckError(st, kErrRegValueType, "the data does not fit the type");
}

// RegDeleteKey reports a path without a valid root as error 13 and then
// fails to delete with error 16.
void CheckRegDeleteKey(InterpreterState& st, const ArgumentArray* args) {
  if (args == nullptr) return;
  const std::string& computer = (*args)[0].text;
  if (LacksValidRoot(computer, (*args)[1].text)) {
    CheckError(st, kErrRegCreateOpen);
    CheckError(st, kErrRegDelete);
  } else if (!ReachesRegistry(computer)) {
    CheckError(st, kErrRegDelete, "the computer argument is neither LOCAL nor \\\\NAME");
  }
}

}  // namespace tav::registry
