// Small text helpers shared by every subsystem: ASCII case folding (the only
// folding keywords get), printf-style formatting without a length limit, and
// the character class that tells label lines.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

namespace tav {

inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
inline char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Equal over the whole length of both, folding only A-Z.
bool EqualsNoCase(std::string_view a, std::string_view b);
// text begins with prefix over prefix's length, folding only A-Z.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// Byte-order comparison folding only A-Z: negative, zero or positive.
int CompareNoCase(std::string_view a, std::string_view b);
std::string ToUpperAscii(std::string_view text);
// Removes the blanks (spaces) at the end of text.
void DropTrailingBlanks(std::string& text);

// A letter or digit of the Windows-1252 character set, so that label lines are
// told apart byte for byte as on Windows.
bool IsCharAlphaNumeric(unsigned char c);

// printf-style formatting into a string of any length.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args);

}  // namespace tav
