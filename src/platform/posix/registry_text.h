// Character conversions of the registry store. The store keeps names as UTF-8
// and string data as UTF-16LE (as a Windows registry does); the interface
// speaks Windows-1252, and the store files are UTF-16LE text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tav::platform::regtext {

// Windows-1252 bytes as UTF-8. Every byte has a character (the five bytes
// that 1252 leaves unassigned stand for the C1 controls of the same value),
// so the conversion is exact and reversible.
std::string AnsiToUtf8(std::string_view ansi);
// UTF-8 as Windows-1252; characters without a 1252 byte become "?".
std::string Utf8ToAnsi(std::string_view utf8);
// Windows-1252 bytes as UTF-16LE code units, two bytes each.
std::vector<uint8_t> AnsiToUtf16(const std::vector<uint8_t>& ansi);
// UTF-16LE as Windows-1252; units without a 1252 byte become "?", a pair of
// surrogates one "?"; an odd last byte is dropped.
std::vector<uint8_t> Utf16ToAnsi(const std::vector<uint8_t>& utf16);

// UTF-8 as UTF-16LE bytes (the text must be valid UTF-8).
std::vector<uint8_t> Utf8ToUtf16(std::string_view utf8);
// UTF-16LE bytes as UTF-8; false for an odd length or a lone surrogate.
bool Utf16ToUtf8(const uint8_t* data, size_t size, std::string& out);
bool IsValidUtf8(std::string_view text);

// The form in which names are compared and ordered: letters folded to upper
// case (ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic), the rest as is.
std::string FoldName(std::string_view utf8);

}  // namespace tav::platform::regtext
