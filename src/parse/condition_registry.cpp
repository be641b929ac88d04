// The RegValue( condition: a value of the current key compared with a written
// value that is read by the stored value's type. The written value is always
// the left operand.
#include <algorithm>

#include "core/expand.h"
#include "core/messages.h"
#include "core/text.h"
#include "parse/condition.h"
#include "platform/registry.h"
#include "registry/planned.h"
#include "registry/registry.h"
#include "registry/value_data.h"

namespace tav {

namespace {

// The most data a query takes; a larger value makes the condition false.
constexpr size_t kQueryLimit = 4096;

// A stored string: the data up to its first NUL.
std::string StoredString(const std::vector<uint8_t>& data) {
  auto nul = std::find(data.begin(), data.end(), uint8_t{0});
  return std::string(data.begin(), nul);
}

// Expands the %NAME% references of a stored string by the program text's
// rules. A "%" without a partner is kept as written, with the text after it:
// every "%" before it is paired, so the text up to it expands on its own.
std::string ExpandStoredString(const std::string& text) {
  std::string out;
  if (ExpandReferences(text, out)) return out;
  size_t lone = text.rfind('%');
  ExpandReferences(text.substr(0, lone), out);
  return out + text.substr(lone);
}

// The stored data's first four bytes as a little-endian number; bytes that
// the data does not have count as 0.
uint32_t StoredNumber(const std::vector<uint8_t>& data) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4 && i < data.size(); ++i) value |= static_cast<uint32_t>(data[i]) << (8 * i);
  return value;
}

ConditionResult WrongType(InterpreterState& st) {
  ReportError(st, kErrRegValueType);
  return ConditionResult::kFailed;
}

ConditionResult CompareNumber(InterpreterState& st, int op, const std::string& written,
                              const std::vector<uint8_t>& data) {
  uint32_t number = 0;
  if (!registry::ParseDwordText(written, number)) return WrongType(st);
  uint32_t stored = StoredNumber(data);
  int sign = number < stored ? -1 : (number > stored ? 1 : 0);
  return FromBool(SignSatisfies(op, sign));
}

// A written string: one quoted string, as RegSetValue takes REG_SZ data.
ConditionResult CompareString(InterpreterState& st, int op, const std::string& written, const std::string& stored) {
  std::vector<uint8_t> data;
  if (!registry::ParseValueData(platform::kRegSz, written, data)) return WrongType(st);
  std::string text(data.begin(), data.end() - 1);
  return FromBool(SignSatisfies(op, CompareNoCase(text, stored)));
}

// A written string list or byte list, read as RegSetValue reads data of that
// type, compared byte for byte with the whole stored data.
ConditionResult CompareImage(InterpreterState& st, int op, uint32_t writtenType, const std::string& written,
                             const std::vector<uint8_t>& stored) {
  std::vector<uint8_t> image;
  if (!registry::ParseValueData(writtenType, written, image)) return WrongType(st);
  return FromBool(CompareBytes(op, image, stored));
}

}  // namespace

bool WrittenValueFitsSomeType(const std::string& written) {
  uint32_t number = 0;
  if (registry::ParseDwordText(written, number)) return true;
  std::vector<uint8_t> image;
  for (uint32_t type : {platform::kRegSz, platform::kRegMultiSz, platform::kRegBinary}) {
    if (registry::ParseValueData(type, written, image)) return true;
  }
  return false;
}

ConditionResult EvaluateRegValue(InterpreterState& st, int op, const std::string& name, const std::string& written) {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  int status = registry::QueryCurrentValue(st, name, type, data);
  if (status == platform::kRegInvalidHandle) return ConditionResult::kFalse;
  if (status != platform::kRegOk) {
    registry::ReportStoreDiagnostic(st);
    // Stored text that has no form in the code page cannot be compared: the
    // failure is reported, and the condition is false as for any value that
    // cannot be read, so the lines of the true branch do not run.
    if (status == platform::kRegNoTranslation) ReportError(st, kErrRegValueType);
    return ConditionResult::kFalse;
  }
  if (data.size() > kQueryLimit) return ConditionResult::kFalse;
  switch (type) {
    case platform::kRegDword:
    case platform::kRegDwordBigEndian:
      return CompareNumber(st, op, written, data);
    case platform::kRegSz:
      return CompareString(st, op, written, StoredString(data));
    case platform::kRegExpandSz:
      return CompareString(st, op, written, ExpandStoredString(StoredString(data)));
    case platform::kRegMultiSz:
      return CompareImage(st, op, platform::kRegMultiSz, written, data);
    default:
      return CompareImage(st, op, platform::kRegBinary, written, data);
  }
}

}  // namespace tav
