// Character conversions of the registry store. The store keeps names as UTF-8
// and string data as UTF-16LE (as a Windows registry does), and its files are
// UTF-16LE text; hand-written files may also be UTF-8 or Windows-1252. How
// the interface's text is converted to and from the store is code_page.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tav::platform::unicode {

// Decodes the UTF-8 character at i and moves i past it. -1 (with i moved one
// byte on) for anything that is not a character as UTF-8 defines it: a
// continuation byte without a lead, C0, C1 and F5..FF, a sequence cut short,
// an overlong form, a surrogate, a value beyond U+10FFFF.
int64_t NextCodePoint(std::string_view s, size_t& i);
void AppendUtf8(std::string& out, uint32_t cp);
bool IsValidUtf8(std::string_view text);

// Windows-1252 bytes as UTF-8. Every byte has a character (the five bytes
// that 1252 leaves unassigned stand for the C1 controls of the same value),
// so the conversion is exact and reversible.
std::string AnsiToUtf8(std::string_view ansi);

// UTF-8 as UTF-16LE bytes (the text must be valid UTF-8; anything else
// becomes U+FFFD).
std::vector<uint8_t> Utf8ToUtf16(std::string_view utf8);
// UTF-16LE bytes as UTF-8; false for an odd length or a lone surrogate, with
// failedAt (when given) set to the byte offset of the unit at fault.
bool Utf16ToUtf8(const uint8_t* data, size_t size, std::string& out, size_t* failedAt = nullptr);

// The form in which names are compared and ordered: letters folded to upper
// case (ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic), the rest as is.
std::string FoldName(std::string_view utf8);

}  // namespace tav::platform::unicode
