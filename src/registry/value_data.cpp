#include "registry/value_data.h"

#include <array>
#include <string>

#include "core/text.h"
#include "platform/registry.h"
#include "registry/registry.h"

namespace tav::registry {

namespace {

struct NamedType {
  const char* name;
  uint32_t type;
};

constexpr std::array<NamedType, 7> kTypeNames = {{
    {"REG_SZ", platform::kRegSz},
    {"REG_EXPAND_SZ", platform::kRegExpandSz},
    {"REG_MULTI_SZ", platform::kRegMultiSz},
    {"REG_DWORD", platform::kRegDword},
    {"REG_DWORD_LITTLE_ENDIAN", platform::kRegDword},
    {"REG_DWORD_BIG_ENDIAN", platform::kRegDwordBigEndian},
    {"REG_BINARY", platform::kRegBinary},
}};

void SkipBlanks(std::string_view text, size_t& pos) {
  while (pos < text.size() && text[pos] == ' ') ++pos;
}

// A quoted string from pos (which must be on its opening quote) to the next
// quote that is not doubled; a doubled quote stands for one. Appends the
// string and its NUL; pos moves past the closing quote.
bool ParseQuotedString(std::string_view text, size_t& pos, std::vector<uint8_t>& data) {
  if (pos >= text.size() || text[pos] != '"') return false;
  for (++pos; pos < text.size(); ++pos) {
    if (text[pos] == '"') {
      if (pos + 1 >= text.size() || text[pos + 1] != '"') {
        ++pos;
        data.push_back(0);
        return true;
      }
      ++pos;
    }
    data.push_back(static_cast<uint8_t>(text[pos]));
  }
  return false;
}

bool ParseString(std::string_view text, std::vector<uint8_t>& data) {
  size_t pos = 0;
  if (!ParseQuotedString(text, pos, data)) return false;
  SkipBlanks(text, pos);
  return pos == text.size();
}

// Quoted strings separated by blanks, a comma, or a comma with blanks around
// it; the list ends with one more NUL. Empty text is the empty list.
bool ParseStringList(std::string_view text, std::vector<uint8_t>& data) {
  size_t pos = 0;
  SkipBlanks(text, pos);
  while (pos < text.size()) {
    if (!ParseQuotedString(text, pos, data)) return false;
    SkipBlanks(text, pos);
    if (pos < text.size() && text[pos] == ',') {
      ++pos;
      SkipBlanks(text, pos);
    }
  }
  data.push_back(0);
  return true;
}

bool ParseDword(std::string_view text, std::vector<uint8_t>& data) {
  uint32_t value = 0;
  if (!ParseDwordText(text, value)) return false;
  // Least significant byte first, whatever the type says.
  for (int shift = 0; shift < 32; shift += 8) data.push_back(static_cast<uint8_t>(value >> shift));
  return true;
}

// Byte numbers separated by commas; blanks after a comma are skipped, an
// empty item is the byte 0 and a comma at the very end adds nothing.
bool ParseByteList(std::string_view text, std::vector<uint8_t>& data) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t comma = text.find(',', pos);
    std::string_view item = text.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos);
    uint8_t byte = 0;
    if (!ParseByteText(item, byte)) return false;
    data.push_back(byte);
    if (comma == std::string_view::npos) break;
    pos = comma + 1;
    SkipBlanks(text, pos);
  }
  return true;
}

}  // namespace

std::string TypeName(uint32_t type) {
  for (const auto& entry : kTypeNames) {
    if (entry.type == type) return entry.name;
  }
  return "REG_TYPE_" + std::to_string(type);
}

std::optional<uint32_t> LookUpValueType(std::string_view typeName) {
  for (const NamedType& entry : kTypeNames) {
    if (EqualsNoCase(typeName, entry.name)) return entry.type;
  }
  return std::nullopt;
}

bool ParseValueData(uint32_t type, std::string_view text, std::vector<uint8_t>& data) {
  data.clear();
  switch (type) {
    case platform::kRegSz:
    case platform::kRegExpandSz:
      return ParseString(text, data);
    case platform::kRegMultiSz:
      return ParseStringList(text, data);
    case platform::kRegDword:
    case platform::kRegDwordBigEndian:
      return ParseDword(text, data);
    case platform::kRegBinary:
      return ParseByteList(text, data);
    default:
      return false;
  }
}

}  // namespace tav::registry
