// The system's code page: the character set in which program files, INI
// files and the text handed to the registry interface are written. On POSIX
// it is the charset of the locale's LC_CTYPE category; the C (POSIX) locale
// names no charset beyond ASCII and counts as UTF-8.
//
// Conversions never lose anything silently: text that has no exact form on
// the other side fails with a description of the first byte or character at
// fault, and what converts reads back byte for byte.
#pragma once

#include <string>
#include <string_view>

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

  // Text of this code page as UTF-8. On failure problem tells which byte
  // (or sequence) has no character, and where.
  bool ToUtf8(std::string_view text, std::string& out, std::string& problem) const;
  // UTF-8 text in this code page. On failure problem tells which character
  // has no form in it.
  bool FromUtf8(std::string_view utf8, std::string& out, std::string& problem) const;

 private:
  std::string name_;
  bool utf8_ = false;
};

// Text for a message: printable ASCII as is, other bytes as \xHH.
std::string ShowBytes(std::string_view text);
// UTF-8 text for a message: printable ASCII as is, other characters as
// \uHHHH (\UHHHHHHHH beyond the Basic Multilingual Plane).
std::string ShowCharacters(std::string_view utf8);

}  // namespace tav::platform
