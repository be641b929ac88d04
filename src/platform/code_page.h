// The system's code page: the character set in which program files, INI
// files and the text handed to the registry interface are written. On POSIX
// it is the charset of the locale's LC_CTYPE category; the C (POSIX) locale
// names no charset beyond ASCII and counts as UTF-8.
//
// In a double-byte code page (Shift_JIS, Big5, GBK, ...) the second byte of a
// character may equal an ASCII byte such as "\\" (0x5C); paths and key paths
// are therefore searched for separators by characters, never by bytes.
//
// Conversions never lose anything silently: text that has no exact form on
// the other side fails with a description of the first byte or character at
// fault, and what converts reads back byte for byte.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tav::platform {

class CodePage {
 public:
  // A code page by its charset name ("UTF-8", "CP1252", "ISO-8859-15", ...);
  // any spelling of UTF-8 is recognised as such.
  explicit CodePage(std::string name);
  // The locale's charset (LC_ALL, LC_CTYPE, LANG), read without changing the
  // process's own locale.
  static CodePage OfLocale();

  const std::string& Name() const { return name_; }
  bool IsUtf8() const { return utf8_; }

  // The code page of this process, looked up once: the locale's on POSIX,
  // the ANSI code page on Windows.
  static const CodePage& OfProcess();

  // Whether a byte begins a character of more than one byte.
  bool IsLeadByte(unsigned char byte) const;
  // The bytes of the character that begins at offset at: 1 for ASCII, for a
  // single-byte character and for a byte that begins no character (so that a
  // damaged name never swallows the separator after it); never more than
  // what is left of the text.
  size_t CharacterLength(std::string_view text, size_t at) const;
  // The offset of the first character from offset from on that is the ASCII
  // byte c, or one of chars; npos when there is none. A trail byte that
  // equals c is no match.
  size_t Find(std::string_view text, char c, size_t from = 0) const;
  size_t FindFirstOf(std::string_view text, std::string_view chars, size_t from = 0) const;
  // The offset of the last character that is one of the ASCII bytes chars.
  size_t FindLastOf(std::string_view text, std::string_view chars) const;
  // Whether the last character of text is the ASCII byte c.
  bool EndsWith(std::string_view text, char c) const;

  // Text of this code page as UTF-8. On failure problem tells which byte
  // (or sequence) has no character, and where.
  bool ToUtf8(std::string_view text, std::string& out, std::string& problem) const;
  // UTF-8 text in this code page. On failure problem tells which character
  // has no form in it.
  bool FromUtf8(std::string_view utf8, std::string& out, std::string& problem) const;

 private:
  // The conversions of a code page other than UTF-8, for text that is not
  // all ASCII; each platform makes them with its own converter.
  bool ConvertToUtf8(std::string_view text, std::string& out, std::string& problem) const;
  bool ConvertFromUtf8(std::string_view utf8, std::string& out, std::string& problem) const;

  // The characters of a multi-byte code page: which bytes begin a longer
  // character, and the length of a character by its first two bytes (entry
  // first << 8 | second). Null for UTF-8 (whose later bytes are never ASCII)
  // and for single-byte code pages.
  struct LengthTable {
    std::array<bool, 256> lead{};
    std::vector<uint8_t> byPair = std::vector<uint8_t>(256 * 256, uint8_t{1});
  };
  static std::shared_ptr<const LengthTable> LengthsOf(const std::string& name, bool utf8);

  std::string name_;
  bool utf8_ = false;
  std::shared_ptr<const LengthTable> lengths_;
};

// A number as upper-case hexadecimal digits, at least digits of them.
std::string HexDigits(uint32_t value, int digits);
// Text for a message: printable ASCII as is, other bytes as \xHH.
// A charset name in a form where spellings compare equal: upper case, no
// '-' or '_' ("utf8", "UTF-8" and "Utf_8" are all "UTF8").
std::string CanonicalCharsetName(std::string_view name);
std::string ShowBytes(std::string_view text);
// "byte N (HH)" for the byte at offset, or "the end of the text".
std::string ShowByteAt(std::string_view text, size_t offset);
// UTF-8 text for a message: printable ASCII as is, other characters as
// \uHHHH (\UHHHHHHHH beyond the Basic Multilingual Plane).
std::string ShowCharacters(std::string_view utf8);

}  // namespace tav::platform
