// Searching text by characters of its code page, on both builds: in Shift_JIS
// and Big5 the second byte of a character may be the byte of "\" or "[".
#include <gtest/gtest.h>

#include "platform/code_page.h"

namespace tav::platform {
namespace {

constexpr size_t npos = std::string_view::npos;

struct SearchCase {
  const char* codePage;
  std::string_view text;
  size_t firstBackslash;
  size_t lastSeparator;  // of "\" and "/"
  bool endsWithBackslash;
};

// ソ 83 5C, フ 83 74, 表 95 5C, ー 81 5B (Shift_JIS); 功 A5 5C, 能 AF E0 (Big5).
const SearchCase kSearches[] = {
    {"SHIFT_JIS", "\x83\x5C\x83\x74\\x.ini", 4, 4, false},
    {"SHIFT_JIS", "a\\\x95\x5C", 1, 1, false},
    {"SHIFT_JIS", "\x95\x5C\\", 2, 2, true},
    {"SHIFT_JIS", "\x81\x5B/\x83\x5C", npos, 2, false},
    {"BIG5", "\xA5\x5C\xAF\xE0\\\xA5\x5C", 4, 4, false},
    {"BIG5", "\xA5\x5C", npos, npos, false},
    {"CP1252", "caf\xE9\\x\\", 4, 6, true},
    {"UTF-8", "\xE8\xA1\xA8\\x", 3, 3, false},
};

TEST(CodePageSearch, BackslashBytesInsideCharactersAreNoMatch) {
  for (const SearchCase& c : kSearches) {
    CodePage codePage(c.codePage);
    SCOPED_TRACE(std::string(c.codePage) + " " + ShowBytes(c.text));
    EXPECT_EQ(codePage.Find(c.text, '\\'), c.firstBackslash);
    EXPECT_EQ(codePage.FindLastOf(c.text, "\\/"), c.lastSeparator);
    EXPECT_EQ(codePage.EndsWith(c.text, '\\'), c.endsWithBackslash);
  }
}

TEST(CodePageSearch, CharacterLengthsFollowTheLeadBytes) {
  CodePage shiftJis("SHIFT_JIS");
  EXPECT_TRUE(shiftJis.IsLeadByte(0x83));
  EXPECT_FALSE(shiftJis.IsLeadByte(0xB1)) << "a half-width katakana is one byte";
  EXPECT_FALSE(shiftJis.IsLeadByte('\\'));
  std::string_view text = "\x83\x5C\xB1\x83";
  EXPECT_EQ(shiftJis.CharacterLength(text, 0), 2u);
  EXPECT_EQ(shiftJis.CharacterLength(text, 2), 1u);
  EXPECT_EQ(shiftJis.CharacterLength(text, 3), 1u) << "a lead byte cut short at the end";
  EXPECT_EQ(shiftJis.CharacterLength("\x83\n\\", 0), 1u) << "no character: the next byte is read for itself";
  EXPECT_EQ(shiftJis.Find("\x83\n\\", '\\'), 2u);
  EXPECT_EQ(shiftJis.Find("\\a\\b", '\\', 1), 2u) << "the search begins at its offset";
  CodePage utf8("UTF-8");
  EXPECT_TRUE(utf8.IsLeadByte(0xE8));
  EXPECT_EQ(utf8.CharacterLength("\xE8\xA1\xA8", 0), 3u);
  EXPECT_FALSE(CodePage("CP1252").IsLeadByte(0xE9));
}

}  // namespace
}  // namespace tav::platform
