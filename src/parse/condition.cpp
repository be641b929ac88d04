// Evaluation of an If line's condition: text comparisons, file tests and the
// registry key and value tests.
#include "parse/condition.h"

#include "core/text.h"
#include "platform/fs.h"
#include "platform/registry.h"
#include "registry/planned.h"
#include "registry/registry.h"
#include "sync/time_rule.h"

namespace tav {

namespace {

const std::string& EntryText(const ArgumentArray& args, size_t index) {
  static const std::string kEmpty;
  return index < args.size() ? args[index].text : kEmpty;
}

int EntryNumber(const ArgumentArray& args, size_t index) { return index < args.size() ? args[index].number : 0; }

// Does any file or directory match the path (wildcards in its last part)?
// Under WHATIF a file that an earlier statement would create or delete counts
// as it would be.
bool PathExists(const InterpreterState& st, const std::string& path) {
  if (st.options.whatIf) {
    auto planned = st.plan.files.find(platform::FullPath(platform::NativePath(path)));
    if (planned != st.plan.files.end()) return planned->second.exists;
  }
  platform::FindData found;
  return platform::FindFirst(path, found);
}

// The first match of a file name made absolute. An empty name matches
// nothing (its absolute form would be the current directory).
bool FindAbsolute(const std::string& name, platform::FindData& found) {
  std::string path = platform::NativePath(name);
  return !path.empty() && platform::FindFirst(platform::FullPath(path), found);
}

// Two files are equal when both exist, their sizes are the same and their
// last-write times count as the same. With wildcards the first matches count.
bool FilesEqual(const std::string& first, const std::string& second) {
  platform::FindData a;
  platform::FindData b;
  if (!FindAbsolute(first, a) || !FindAbsolute(second, b)) return false;
  return a.size == b.size && CompareWriteTimes(a.writeTime, b.writeTime) == 0;
}

// Opens the key only to see that it exists; the current key is the same
// before and after.
bool KeyExists(InterpreterState& st, const std::string& computer, const std::string& keyPath) {
  if (st.options.whatIf) return registry::PlannedKeyExists(st, registry::FullKeyPath(st, computer, keyPath));
  platform::RegKey saved = st.currentKey;
  bool opened = registry::OpenKeyPath(st, computer, keyPath);
  if (opened && st.currentKey != nullptr && st.currentKey != saved) platform::RegClose(st.currentKey);
  st.currentKey = saved;
  return opened;
}

bool ValueExists(InterpreterState& st, const std::string& name) {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  int status = registry::QueryCurrentValue(st, name, type, data);
  if (status == platform::kRegInvalidHandle) return false;
  if (status == platform::kRegOk) return true;
  if (status == platform::kRegNoTranslation) {
    // The value exists; only its text has no form in the code page, which
    // does not matter here.
    platform::RegTakeDiagnostic();
    return true;
  }
  registry::ReportStoreDiagnostic(st);
  return false;
}

ConditionResult Evaluate(InterpreterState& st, const ArgumentArray& args) {
  int code = EntryNumber(args, kEntryCode);
  const std::string& first = EntryText(args, kEntryFirst);
  const std::string& second = EntryText(args, kEntrySecond);
  switch (code) {
    case kCondExist:
      return FromBool(PathExists(st, first));
    case kCondFilesEqual:
      return FromBool(FilesEqual(first, second));
    case kCondRegKeyExist:
      return FromBool(KeyExists(st, first, second));
    case kCondRegValueExist:
      return FromBool(ValueExists(st, first));
    case kCondRegValue:
      return EvaluateRegValue(st, EntryNumber(args, kEntryFirst), second, EntryText(args, kEntryThird));
    default:
      return FromBool(SignSatisfies(code, CompareNoCase(first, second)));
  }
}

// The first n bytes of a and b compared; within them, an operand that ends
// first sorts before the other.
int CompareOver(std::span<const uint8_t> a, std::span<const uint8_t> b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (i >= a.size() || i >= b.size()) return i >= a.size() ? (i >= b.size() ? 0 : -1) : 1;
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

}  // namespace

bool SignSatisfies(int op, int sign) {
  switch (op) {
    case kCondLessEqual:
      return sign <= 0;
    case kCondGreaterEqual:
      return sign >= 0;
    case kCondNotEqual:
      return sign != 0;
    case kCondLess:
      return sign < 0;
    case kCondGreater:
      return sign > 0;
    case kCondEqual:
      return sign == 0;
    default:
      return false;
  }
}

bool CompareBytes(int op, std::span<const uint8_t> written, std::span<const uint8_t> stored) {
  bool same = written.size() == stored.size() && CompareOver(written, stored, written.size()) == 0;
  switch (op) {
    case kCondEqual:
      return same;
    case kCondNotEqual:
      return !same;
    case kCondLessEqual:
    case kCondLess:
      return SignSatisfies(op, CompareOver(written, stored, written.size()));
    case kCondGreaterEqual:
    case kCondGreater:
      return SignSatisfies(op, CompareOver(written, stored, stored.size()));
    default:
      return false;
  }
}

ConditionResult EvaluateCondition(InterpreterState& st, const ArgumentArray& args) {
  ConditionResult result = Evaluate(st, args);
  if (result == ConditionResult::kFailed || EntryNumber(args, kEntryNegate) == 0) return result;
  return result == ConditionResult::kTrue ? ConditionResult::kFalse : ConditionResult::kTrue;
}

}  // namespace tav
