#include "registry/key_path.h"

#include <array>

#include "core/messages.h"
#include "core/text.h"
#include "platform/code_page.h"
#include "platform/console.h"
#include "registry/planned.h"
#include "registry/registry.h"

namespace tav::registry {

namespace {

struct RootName {
  const char* name;
  platform::RegRoot root;
};

constexpr std::array<RootName, 4> kRootNames = {{
    {"\\\\HKEY_CLASSES_ROOT", platform::RegRoot::ClassesRoot},
    {"\\\\HKEY_CURRENT_USER", platform::RegRoot::CurrentUser},
    {"\\\\HKEY_LOCAL_MACHINE", platform::RegRoot::LocalMachine},
    {"\\\\HKEY_USERS", platform::RegRoot::Users},
}};

// Where the root component ends: the first backslash from the third
// character on, or npos. Characters, not bytes: in a double-byte code page
// the second byte of a character may be a backslash.
size_t RootComponentEnd(std::string_view path) {
  const platform::CodePage& codePage = platform::CodePage::OfProcess();
  size_t third = codePage.CharacterLength(path, 0);
  third += codePage.CharacterLength(path, third);
  return third < path.size() ? codePage.Find(path, '\\', third) : std::string_view::npos;
}

bool NamesComputer(std::string_view computer) { return !computer.empty() && computer[0] == '\\'; }

}  // namespace

bool IsLocalComputer(std::string_view computer) { return EqualsNoCase(computer, "LOCAL"); }

bool BeginsWithRootName(std::string_view path) {
  for (const RootName& root : kRootNames) {
    if (StartsWithNoCase(path, root.name)) return true;
  }
  return false;
}

std::optional<platform::RegRoot> ValidRoot(std::string_view path) {
  size_t end = RootComponentEnd(path);
  if (end == std::string_view::npos) return std::nullopt;
  for (const RootName& root : kRootNames) {
    if (EqualsNoCase(path.substr(0, end), root.name)) return root.root;
  }
  return std::nullopt;
}

std::string SubkeyOf(std::string_view path) {
  size_t end = RootComponentEnd(path);
  return std::string(end == std::string_view::npos ? path : path.substr(end + 1));
}

bool LacksValidRoot(std::string_view computer, std::string_view path) {
  bool underCurrentKey = IsLocalComputer(computer) && !BeginsWithRootName(path);
  return !underCurrentKey && !ValidRoot(path);
}

bool ReachesRegistry(std::string_view computer) { return IsLocalComputer(computer) || NamesComputer(computer); }

void ReportStoreDiagnostic(InterpreterState& st) {
  std::string text = platform::RegTakeDiagnostic();
  if (text.empty()) return;
  WriteDebugLog(st, text + "\r\n");
  platform::WriteStderr(text + "\n");
}

bool Succeeded(InterpreterState& st, int status) {
  // A success may bring news too: a torn journal record that was passed over.
  ReportStoreDiagnostic(st);
  return status == platform::kRegOk;
}

void CloseCurrentKey(InterpreterState& st) {
  if (st.currentKey == nullptr) return;
  platform::RegClose(st.currentKey);
  st.currentKey = nullptr;
}

platform::RegKey OpenKeyByPath(InterpreterState& st, const std::string& computer, const std::string& path,
                               KeyOpen mode) {
  platform::RegKey base = nullptr;
  bool connected = false;
  if (LacksValidRoot(computer, path)) {
    ReportError(st, kErrRegCreateOpen);
    return nullptr;
  }
  if (IsLocalComputer(computer) && !BeginsWithRootName(path)) {
    base = st.currentKey;
    if (base == nullptr) return nullptr;
  } else {
    platform::RegRoot root = *ValidRoot(path);
    if (IsLocalComputer(computer)) {
      base = platform::RegLocalRoot(root);
    } else {
      // A computer argument that is neither LOCAL nor a computer name reaches nothing.
      if (!NamesComputer(computer) || !Succeeded(st, platform::RegConnect(computer, root, base))) return nullptr;
      connected = true;
    }
  }
  platform::RegKey key = nullptr;
  std::string subkey = SubkeyOf(path);
  int status = mode == KeyOpen::OrCreate ? platform::RegCreate(base, subkey, key) : platform::RegOpen(base, subkey, key);
  if (connected) platform::RegClose(base);
  return Succeeded(st, status) ? key : nullptr;
}

bool OpenKeyPath(InterpreterState& st, const std::string& computer, const std::string& keyPath) {
  st.currentKey = OpenKeyByPath(st, computer, keyPath, KeyOpen::Existing);
  return st.currentKey != nullptr;
}

bool RegOpenKey(InterpreterState& st, const ArgumentArray* args) {
  if (args == nullptr || args->size() < 2) return false;
  const std::string& computer = (*args)[0].text;
  const std::string& path = (*args)[1].text;
  if (st.options.whatIf) return PlanOpenKey(st, computer, path);
  st.errorCode = kErrNone;
  std::string full = FullKeyPath(st, computer, path);
  st.currentKeyPath.clear();
  bool existed = st.report.Collecting() && !full.empty() && PlannedKeyExists(st, full);
  bool underCurrentKey = IsLocalComputer(computer) && !BeginsWithRootName(path);
  if (!underCurrentKey) CloseCurrentKey(st);
  platform::RegKey key = OpenKeyByPath(st, computer, path, KeyOpen::OrCreate);
  // The former current key of a relative open is closed once the new key is open.
  CloseCurrentKey(st);
  if (key == nullptr) {
    st.errorCode = kErrRegOpen;
    return false;
  }
  st.currentKey = key;
  st.currentKeyPath = full;
  if (st.report.Collecting() && !existed && !full.empty()) RecordKeyChange(st, full, true);
  return true;
}

}  // namespace tav::registry
