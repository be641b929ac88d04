// What both builds share of the code page: stepping through text by
// characters, so that a search for an ASCII byte never stops inside a
// double-byte character.
#include "platform/code_page.h"

#include <cstdio>

#include "platform/unicode.h"

namespace tav::platform {

std::string HexDigits(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

const CodePage& CodePage::OfProcess() {
  static const CodePage process = OfLocale();
  return process;
}

bool CodePage::IsLeadByte(unsigned char byte) const {
  if (utf8_) return byte >= 0xC2 && byte <= 0xF4;
  return lengths_ != nullptr && lengths_->lead[byte];
}

size_t CodePage::CharacterLength(std::string_view text, size_t at) const {
  if (at >= text.size()) return 0;
  auto first = static_cast<uint8_t>(text[at]);
  if (first < 0x80) return 1;
  if (utf8_) {
    size_t next = at;
    return unicode::NextCodePoint(text, next) < 0 ? 1 : next - at;
  }
  if (lengths_ == nullptr || at + 1 >= text.size()) return 1;
  auto second = static_cast<uint8_t>(text[at + 1]);
  size_t length = lengths_->byPair[static_cast<size_t>(first) << 8 | second];
  return length < text.size() - at ? length : text.size() - at;
}

size_t CodePage::Find(std::string_view text, char c, size_t from) const {
  return FindFirstOf(text, std::string_view(&c, 1), from);
}

size_t CodePage::FindFirstOf(std::string_view text, std::string_view chars, size_t from) const {
  // Where no later byte of a character can be ASCII, every ASCII byte is a
  // character of its own.
  if (lengths_ == nullptr) return text.find_first_of(chars, from);
  for (size_t i = from; i < text.size(); i += CharacterLength(text, i)) {
    if (chars.find(text[i]) != std::string_view::npos) return i;
  }
  return std::string_view::npos;
}

size_t CodePage::FindLastOf(std::string_view text, std::string_view chars) const {
  if (lengths_ == nullptr) return text.find_last_of(chars);
  size_t last = std::string_view::npos;
  for (size_t i = 0; i < text.size(); i += CharacterLength(text, i)) {
    if (chars.find(text[i]) != std::string_view::npos) last = i;
  }
  return last;
}

bool CodePage::EndsWith(std::string_view text, char c) const {
  if (text.empty() || text.back() != c) return false;
  if (lengths_ == nullptr) return true;
  size_t last = 0;
  for (size_t i = 0; i < text.size(); i += CharacterLength(text, i)) last = i;
  return last == text.size() - 1;
}

std::string ShowBytes(std::string_view text) {
  std::string out;
  for (char c : text) {
    auto byte = static_cast<uint8_t>(c);
    out += byte >= 0x20 && byte < 0x7F ? std::string(1, c) : "\\x" + HexDigits(byte, 2);
  }
  return out;
}

std::string ShowCharacters(std::string_view utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    size_t at = i;
    int64_t cp = unicode::NextCodePoint(utf8, i);
    if (cp < 0) {
      out += "\\x" + HexDigits(static_cast<uint8_t>(utf8[at]), 2);
    } else if (cp >= 0x20 && cp < 0x7F) {
      out += static_cast<char>(cp);
    } else {
      out += cp > 0xFFFF ? "\\U" + HexDigits(static_cast<uint32_t>(cp), 8) : "\\u" + HexDigits(static_cast<uint32_t>(cp), 4);
    }
  }
  return out;
}

std::string CanonicalCharsetName(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == '-' || c == '_') continue;
    out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 0x20) : c;
  }
  return out;
}

std::string ShowByteAt(std::string_view text, size_t offset) {
  if (offset >= text.size()) return "the end of the text";
  return "byte " + std::to_string(offset + 1) + " (" + HexDigits(static_cast<uint8_t>(text[offset]), 2) + ")";
}

namespace {

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<uint8_t>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

// ASCII reads the same in every code page this program meets, and UTF-8 is
// the store's own form: both are taken as they are, once found valid.
bool CodePage::ToUtf8(std::string_view text, std::string& out, std::string& problem) const {
  if (IsAscii(text)) {
    out.assign(text);
    return true;
  }
  if (!utf8_) return ConvertToUtf8(text, out, problem);
  for (size_t i = 0; i < text.size();) {
    size_t at = i;
    if (unicode::NextCodePoint(text, i) < 0) {
      problem = ShowByteAt(text, at) + " is not valid UTF-8";
      return false;
    }
  }
  out.assign(text);
  return true;
}

bool CodePage::FromUtf8(std::string_view utf8, std::string& out, std::string& problem) const {
  if (IsAscii(utf8)) {
    out.assign(utf8);
    return true;
  }
  if (!utf8_) return ConvertFromUtf8(utf8, out, problem);
  if (!unicode::IsValidUtf8(utf8)) {
    problem = "it is not valid UTF-8";
    return false;
  }
  out.assign(utf8);
  return true;
}

}  // namespace tav::platform
