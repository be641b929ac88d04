#include "core/text_width.h"

#include "platform/unicode.h"

namespace tav {

namespace {

// Columns a character takes: none for combining marks and zero-width
// characters, two for East Asian wide and full-width characters and emoji.
int ColumnsOf(int64_t c) {
  if ((c >= 0x0300 && c <= 0x036F) || (c >= 0x200B && c <= 0x200F) || (c >= 0xFE00 && c <= 0xFE0F)) return 0;
  bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
              (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
              (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
              (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
  return wide ? 2 : 1;
}

// The length of the UTF-8 sequence a lead byte announces (0: no lead byte).
size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// Whether the text from i to its end is the start of a UTF-8 sequence that
// the end cut short.
bool CutShortAtEnd(std::string_view text, size_t i) {
  size_t length = SequenceLength(static_cast<unsigned char>(text[i]));
  if (length == 0 || i + length <= text.size()) return false;
  for (size_t k = i + 1; k < text.size(); ++k) {
    if ((static_cast<unsigned char>(text[k]) & 0xC0) != 0x80) return false;
  }
  return true;
}

}  // namespace

TextCharacter CharacterAt(std::string_view text, size_t i, TextEncoding encoding) {
  if (encoding == TextEncoding::SingleByte || static_cast<unsigned char>(text[i]) < 0x80) return {};
  if (CutShortAtEnd(text, i)) return {text.size() - i, 1, false};
  size_t next = i;
  int64_t c = platform::unicode::NextCodePoint(text, next);
  if (c < 0) return {1, 1, false};
  return {next - i, ColumnsOf(c), true};
}

int TextWidth(std::string_view text, TextEncoding encoding) {
  int width = 0;
  for (size_t i = 0; i < text.size();) {
    TextCharacter c = CharacterAt(text, i, encoding);
    width += c.columns;
    i += c.bytes;
  }
  return width;
}

std::string CutToWidth(std::string_view text, int columns, TextEncoding encoding) {
  int used = 0;
  size_t i = 0;
  while (i < text.size()) {
    TextCharacter c = CharacterAt(text, i, encoding);
    if (used + c.columns > columns) break;
    used += c.columns;
    i += c.bytes;
  }
  return std::string(text.substr(0, i));
}

}  // namespace tav
