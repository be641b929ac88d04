// The RegValue( condition: a value of the current key compared with a written
// value that is read by the stored value's type. The written value is always
// the left operand.
#include <algorithm>

#include "core/messages.h"
#include "core/startup.h"
#include "core/text.h"
#include "parse/condition.h"
#include "platform/registry.h"
#include "registry/registry.h"

namespace tav {

namespace {

// The most data a query takes; a larger value makes the condition false.
constexpr size_t kQueryLimit = 4096;

// Reads the quoted string that begins at text[i] (a double quote); pairs of
// double quotes stand for one. Returns the index after the closing quote, or
// npos when the string is not closed.
size_t ReadQuoted(std::string_view text, size_t i, std::string& out) {
  out.clear();
  for (++i; i < text.size(); ++i) {
    if (text[i] != '"') {
      out += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '"') {
      out += '"';
      ++i;
    } else {
      return i + 1;
    }
  }
  return std::string_view::npos;
}

size_t SkipBlanks(std::string_view text, size_t i) {
  while (i < text.size() && text[i] == ' ') ++i;
  return i;
}

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

ConditionResult FromBool(bool value) { return value ? ConditionResult::kTrue : ConditionResult::kFalse; }

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

ConditionResult CompareString(InterpreterState& st, int op, const std::string& written, const std::string& stored) {
  std::string text;
  if (!ParseWrittenString(written, text)) return WrongType(st);
  return FromBool(SignSatisfies(op, CompareNoCase(text, stored)));
}

ConditionResult CompareStringList(InterpreterState& st, int op, const std::string& written,
                                  const std::vector<uint8_t>& data) {
  std::vector<uint8_t> image;
  if (!ParseWrittenStringList(written, image)) return WrongType(st);
  return FromBool(CompareBytes(op, image, data));
}

ConditionResult CompareByteList(InterpreterState& st, int op, const std::string& written,
                                const std::vector<uint8_t>& data) {
  std::vector<uint8_t> bytes;
  if (!ParseWrittenBytes(written, bytes)) return WrongType(st);
  return FromBool(CompareBytes(op, bytes, data));
}

}  // namespace

bool ParseWrittenString(std::string_view text, std::string& out) {
  if (text.empty() || text[0] != '"') return false;
  size_t after = ReadQuoted(text, 0, out);
  return after != std::string_view::npos && SkipBlanks(text, after) == text.size();
}

bool ParseWrittenStringList(std::string_view text, std::vector<uint8_t>& image) {
  image.clear();
  std::string item;
  size_t i = SkipBlanks(text, 0);
  while (i < text.size()) {
    if (text[i] != '"') return false;
    i = ReadQuoted(text, i, item);
    if (i == std::string_view::npos) return false;
    image.insert(image.end(), item.begin(), item.end());
    image.push_back(0);
    i = SkipBlanks(text, i);
    if (i < text.size() && text[i] == ',') i = SkipBlanks(text, i + 1);
  }
  image.push_back(0);
  return true;
}

bool ParseWrittenBytes(std::string_view text, std::vector<uint8_t>& bytes) {
  bytes.clear();
  size_t i = 0;
  while (i < text.size()) {
    size_t comma = std::min(text.find(',', i), text.size());
    uint8_t value = 0;
    if (!registry::ParseByteText(text.substr(i, comma - i), value)) return false;
    bytes.push_back(value);
    if (comma == text.size()) break;
    i = SkipBlanks(text, comma + 1);
  }
  return true;
}

ConditionResult EvaluateRegValue(InterpreterState& st, int op, const std::string& name, const std::string& written) {
  if (st.currentKey == nullptr) return ConditionResult::kFalse;
  uint32_t type = 0;
  std::vector<uint8_t> data;
  if (platform::RegQueryValue(st.currentKey, name, type, data) != 0) return ConditionResult::kFalse;
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
      return CompareStringList(st, op, written, data);
    default:
      return CompareByteList(st, op, written, data);
  }
}

}  // namespace tav
