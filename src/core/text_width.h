// The columns that text takes where it is shown, on a terminal and in the
// output window: one for a character, two for an East Asian wide character,
// none for a combining mark. A byte that begins no character of the encoding
// takes one column (it is shown as one replacement sign).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tav {

// How the shown text is encoded: one byte for each character (a single-byte
// code page), or UTF-8.
enum class TextEncoding { SingleByte, Utf8 };

struct TextCharacter {
  size_t bytes = 1;
  int columns = 1;
  // False for a byte that begins no character. A UTF-8 sequence cut short at
  // the end of the text is one such piece, kept whole so that it is never
  // split; its rest may follow in the next text.
  bool valid = true;
};

// The character that begins at offset i (i < text.size()).
TextCharacter CharacterAt(std::string_view text, size_t i, TextEncoding encoding);
// The columns text takes.
int TextWidth(std::string_view text, TextEncoding encoding = TextEncoding::Utf8);
// Text cut to at most columns columns; a character is never split.
std::string CutToWidth(std::string_view text, int columns, TextEncoding encoding = TextEncoding::Utf8);

}  // namespace tav
