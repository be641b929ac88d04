#include "registry/store/format.h"

#include <cctype>
#include <cstdio>

#include "platform/unicode.h"

namespace tav::regstore {

namespace unicode = platform::unicode;

using unicode::FoldName;

// ---- The tree ----

const StoredValue* StoredKey::FindValue(std::string_view name) const {
  auto it = valueIndex_.find(FoldName(name));
  return it == valueIndex_.end() ? nullptr : &values_[it->second];
}

void StoredKey::SetValue(StoredValue value) {
  auto [it, added] = valueIndex_.try_emplace(FoldName(value.name), values_.size());
  if (added) {
    values_.push_back(std::move(value));
  } else {
    // The value keeps its place and the case of its name.
    values_[it->second].type = value.type;
    values_[it->second].data = std::move(value.data);
  }
}

bool StoredKey::DeleteValue(std::string_view name) {
  auto it = valueIndex_.find(FoldName(name));
  if (it == valueIndex_.end()) return false;
  size_t index = it->second;
  valueIndex_.erase(it);
  values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(index));
  for (auto& entry : valueIndex_) {
    if (entry.second > index) --entry.second;
  }
  return true;
}

StoredKey* StoredKey::FindSubkey(std::string_view name) const {
  auto it = subkeys_.find(FoldName(name));
  return it == subkeys_.end() ? nullptr : it->second.get();
}

StoredKey& StoredKey::AddSubkey(std::string_view name) {
  auto& slot = subkeys_[FoldName(name)];
  if (!slot) slot = std::make_unique<StoredKey>(std::string(name));
  return *slot;
}

bool StoredKey::DeleteSubkey(std::string_view name) { return subkeys_.erase(FoldName(name)) != 0; }

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";

// ---- Reading ----

bool Fail(FormatError& error, unsigned line, std::string reason) {
  error.line = line;
  error.reason = std::move(reason);
  return false;
}

// The file's text as UTF-8: UTF-16LE after its byte-order mark, UTF-8 (with
// or without its mark), or else Windows-1252 as a hand-written file may be.
bool DecodeText(std::string_view bytes, std::string& text, FormatError& error) {
  auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  if (starts("\xFF\xFE")) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data()) + 2;
    if (!unicode::Utf16ToUtf8(data, bytes.size() - 2, text)) return Fail(error, 0, "the text is not valid UTF-16LE");
    return true;
  }
  if (starts("\xFE\xFF")) return Fail(error, 0, "UTF-16 big-endian text is not supported");
  if (starts("\xEF\xBB\xBF")) {
    text = std::string(bytes.substr(3));
    return unicode::IsValidUtf8(text) || Fail(error, 0, "the text is not valid UTF-8");
  }
  text = unicode::IsValidUtf8(bytes) ? std::string(bytes) : unicode::AnsiToUtf8(bytes);
  return true;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    size_t stop = end > start && text[end - 1] == '\r' ? end - 1 : end;
    lines.push_back(text.substr(start, stop - start));
    start = end + 1;
  }
  return lines;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

void SkipBlanks(std::string_view s, size_t& pos) {
  while (pos < s.size() && IsBlank(s[pos])) ++pos;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A hexadecimal number of 1 to maxDigits digits, the whole of text.
bool ParseHex(std::string_view text, size_t maxDigits, uint32_t& value) {
  if (text.empty() || text.size() > maxDigits) return false;
  value = 0;
  for (char c : text) {
    int d = HexDigit(c);
    if (d < 0) return false;
    value = value * 16 + static_cast<uint32_t>(d);
  }
  return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

// Reads what one line of the file says, with the line's number for errors.
class LineParser {
 public:
  LineParser(const std::vector<std::string>& lines, StoredKey& root, FormatError& error)
      : lines_(lines), root_(root), error_(error) {}

  bool Run() {
    bool headerSeen = false;
    for (index_ = 0; index_ < lines_.size(); ++index_) {
      std::string_view line = Trim(lines_[index_]);
      if (line.empty()) continue;
      if (!headerSeen) {
        if (line != kHeader) return Fail(error_, LineNumber(), "the first line is not \"" + std::string(kHeader) + "\"");
        headerSeen = true;
        continue;
      }
      if (!ParseLine(line)) return false;
    }
    return true;
  }

 private:
  unsigned LineNumber() const { return static_cast<unsigned>(index_ + 1); }
  bool Error(std::string reason) { return Fail(error_, LineNumber(), std::move(reason)); }

  bool ParseLine(std::string_view line) {
    if (line.front() == ';') return true;
    if (line.front() == '[') return ParseKeyHeader(line);
    if (line.front() == '"' || line.front() == '@') return ParseValueLine(line);
    return Error("the line is neither a key, a value nor a comment");
  }

  bool ParseKeyHeader(std::string_view line) {
    if (line.back() != ']') return Error("the key name does not end with \"]\"");
    std::string_view path = line.substr(1, line.size() - 2);
    if (!path.empty() && path.front() == '-') return Error("key deletions are not supported");
    size_t slash = path.find('\\');
    std::string_view rootName = path.substr(0, slash);
    if (FoldName(rootName) != FoldName(root_.Name())) return Error("the key does not belong to " + root_.Name());
    StoredKey* key = &root_;
    while (slash != std::string_view::npos) {
      path.remove_prefix(slash + 1);
      slash = path.find('\\');
      std::string_view step = path.substr(0, slash);
      if (step.empty()) return Error("the key path has an empty name");
      key = &key->AddSubkey(step);
    }
    key_ = key;
    return true;
  }

  // A quoted text from pos (on its opening quote) with \\ and \" escaped;
  // pos moves past the closing quote.
  bool ParseQuoted(std::string_view line, size_t& pos, std::string& out) {
    out.clear();
    for (++pos; pos < line.size(); ++pos) {
      char c = line[pos];
      if (c == '"') {
        ++pos;
        return true;
      }
      if (c == '\\') {
        if (++pos >= line.size() || (line[pos] != '\\' && line[pos] != '"')) {
          return Error("a backslash in a quoted text must be followed by \\ or \"");
        }
        c = line[pos];
      }
      out += c;
    }
    return Error("a quoted text has no closing quote");
  }

  bool ParseValueLine(std::string_view line) {
    if (key_ == nullptr) return Error("a value comes before the first key");
    StoredValue value;
    size_t pos = 0;
    if (line[0] == '@') {
      pos = 1;
    } else if (!ParseQuoted(line, pos, value.name)) {
      return false;
    }
    SkipBlanks(line, pos);
    if (pos >= line.size() || line[pos] != '=') return Error("the value name is not followed by \"=\"");
    ++pos;
    SkipBlanks(line, pos);
    if (!ParseData(line.substr(pos), value)) return false;
    key_->SetValue(std::move(value));
    return true;
  }

  bool ParseData(std::string_view data, StoredValue& value) {
    if (!data.empty() && data[0] == '"') {
      std::string text;
      size_t pos = 0;
      if (!ParseQuoted(data, pos, text)) return false;
      if (pos != data.size()) return Error("something follows the closing quote of the string");
      value.type = 1;
      value.data = unicode::Utf8ToUtf16(text);
      value.data.insert(value.data.end(), {0, 0});
      return true;
    }
    if (StartsWithNoCase(data, "dword:")) {
      uint32_t number = 0;
      if (!ParseHex(data.substr(6), 8, number)) return Error("a dword needs 1 to 8 hexadecimal digits");
      value.type = 4;
      value.data = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                    static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
      return true;
    }
    if (StartsWithNoCase(data, "hex:")) {
      value.type = 3;
      return ParseBytes(data.substr(4), value.data);
    }
    if (StartsWithNoCase(data, "hex(")) {
      size_t close = data.find("):");
      if (close == std::string_view::npos || !ParseHex(data.substr(4, close - 4), 8, value.type)) {
        return Error("the type of hex(...) must be 1 to 8 hexadecimal digits");
      }
      return ParseBytes(data.substr(close + 2), value.data);
    }
    if (data == "-") return Error("value deletions are not supported");
    return Error("the value's data is not a string, dword: or hex: data");
  }

  // Two-digit bytes separated by commas; a line that ends with a backslash
  // goes on in the next one.
  bool ParseBytes(std::string_view first, std::vector<uint8_t>& out) {
    std::string text(Trim(first));
    while (!text.empty() && text.back() == '\\') {
      text.pop_back();
      if (index_ + 1 >= lines_.size()) return Error("the data goes on past the end of the file");
      text += Trim(lines_[++index_]);
    }
    std::string_view rest = text;
    while (!rest.empty()) {
      size_t comma = rest.find(',');
      std::string_view item = Trim(rest.substr(0, comma));
      uint32_t byte = 0;
      if (!ParseHex(item, 2, byte)) return Error("the data has an item that is not a hexadecimal byte");
      out.push_back(static_cast<uint8_t>(byte));
      if (comma == std::string_view::npos) break;
      rest = Trim(rest.substr(comma + 1));
    }
    return true;
  }

  const std::vector<std::string>& lines_;
  StoredKey& root_;
  FormatError& error_;
  StoredKey* key_ = nullptr;
  size_t index_ = 0;
};

// ---- Writing ----

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + '"';
}

// The string that REG_SZ data holds when it can be written as a quoted text:
// one terminating NUL at its end and no other, no control characters, whole
// surrogate pairs.
bool AsPlainString(const std::vector<uint8_t>& data, std::string& text) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  if (data[data.size() - 2] != 0 || data[data.size() - 1] != 0) return false;
  for (size_t i = 0; i + 2 < data.size(); i += 2) {
    if (data[i + 1] == 0 && data[i] < 0x20) return false;
  }
  return unicode::Utf16ToUtf8(data.data(), data.size() - 2, text);
}

void AppendBytes(std::string& out, size_t column, const std::vector<uint8_t>& data) {
  constexpr size_t kWidth = 76;
  char hex[4];
  for (size_t i = 0; i < data.size(); ++i) {
    std::snprintf(hex, sizeof hex, "%02x", data[i]);
    out += hex;
    column += 2;
    if (i + 1 == data.size()) break;
    out += ',';
    ++column;
    if (column >= kWidth) {
      out += "\\\r\n  ";
      column = 2;
    }
  }
}

void AppendValue(std::string& out, const StoredValue& value) {
  size_t lineStart = out.size();
  out += value.name.empty() ? std::string("@") : Quote(value.name);
  out += '=';
  std::string text;
  char prefix[24];
  if (value.type == 1 && AsPlainString(value.data, text)) {
    out += Quote(text);
  } else if (value.type == 4 && value.data.size() == 4) {
    uint32_t number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                      (static_cast<uint32_t>(value.data[3]) << 24);
    std::snprintf(prefix, sizeof prefix, "dword:%08x", number);
    out += prefix;
  } else {
    if (value.type == 3) {
      out += "hex:";
    } else {
      std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
      out += prefix;
    }
    AppendBytes(out, out.size() - lineStart, value.data);
  }
  out += "\r\n";
}

void AppendKey(std::string& out, const StoredKey& key, const std::string& path, bool isRoot) {
  if (!isRoot || !key.Values().empty()) {
    out += "[" + path + "]\r\n";
    for (const StoredValue& value : key.Values()) AppendValue(out, value);
    out += "\r\n";
  }
  for (const auto& entry : key.Subkeys()) AppendKey(out, *entry.second, path + "\\" + entry.second->Name(), false);
}

}  // namespace

bool ReadStoreFile(std::string_view bytes, StoredKey& root, FormatError& error) {
  std::string text;
  if (!DecodeText(bytes, text, error)) return false;
  std::vector<std::string> lines = SplitLines(text);
  return LineParser(lines, root, error).Run();
}

std::string WriteStoreFile(const StoredKey& root) {
  std::string text = std::string(kHeader) + "\r\n\r\n";
  AppendKey(text, root, root.Name(), true);
  std::vector<uint8_t> utf16 = unicode::Utf8ToUtf16(text);
  std::string bytes = "\xFF\xFE";
  bytes.append(reinterpret_cast<const char*>(utf16.data()), utf16.size());
  return bytes;
}

}  // namespace tav::regstore
