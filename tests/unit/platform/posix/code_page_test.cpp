// The locale's code page and its conversions to and from UTF-8.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "platform/code_page.h"
#include "platform/unicode.h"

namespace tav::platform {
namespace {

using namespace std::string_literals;

TEST(CodePageOfLocale, IsTheCharsetOfLcCtypeAndUtf8WhenNoneIsSet) {
  const char* old = std::getenv("LC_ALL");
  std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  ::setenv("LC_ALL", "C.UTF-8", 1);
  EXPECT_TRUE(CodePage::OfLocale().IsUtf8());
  ::setenv("LC_ALL", "C", 1);
  EXPECT_EQ(CodePage::OfLocale().Name(), "UTF-8") << "the C locale's ASCII counts as UTF-8";
  ::setenv("LC_ALL", "xx_NOWHERE.NOCHARSET", 1);
  EXPECT_EQ(CodePage::OfLocale().Name(), "UTF-8") << "a locale that does not exist";
  if (saved) {
    ::setenv("LC_ALL", saved->c_str(), 1);
  } else {
    ::unsetenv("LC_ALL");
  }
}

TEST(CodePage, RecognisesUtf8ByAnySpelling) {
  for (const char* name : {"UTF-8", "utf8", "Utf_8"}) EXPECT_TRUE(CodePage(name).IsUtf8()) << name;
  EXPECT_FALSE(CodePage("CP1252").IsUtf8());
}

TEST(CodePage, Utf8TextRoundTripsAndEveryOtherByteIsRefusedByPosition) {
  CodePage utf8("UTF-8");
  std::string text = "h\u00E9llo \u20AC \U0001F600\0end"s;
  std::string out;
  std::string back;
  std::string problem;
  ASSERT_TRUE(utf8.ToUtf8(text, out, problem)) << problem;
  ASSERT_TRUE(utf8.FromUtf8(out, back, problem)) << problem;
  EXPECT_EQ(back, text);
  EXPECT_FALSE(utf8.ToUtf8("ok\xE9!", out, problem));
  EXPECT_EQ(problem, "byte 3 (E9) is not valid UTF-8");
  EXPECT_FALSE(utf8.ToUtf8("\xE2\x82", out, problem));
  EXPECT_EQ(problem, "byte 1 (E2) is not valid UTF-8") << "a character cut short";
  EXPECT_FALSE(utf8.FromUtf8("\xED\xA0\x80", out, problem)) << "a surrogate";
}

// Windows-1252 through the system's converter: the 251 assigned bytes
// round-trip one by one, the five unassigned ones are refused, and
// characters that 1252 lacks are named.
TEST(CodePage, Windows1252RoundTripsItsBytesAndNamesWhatItLacks) {
  CodePage cp1252("CP1252");
  std::string out;
  std::string back;
  std::string problem;
  for (int byte = 1; byte <= 0xFF; ++byte) {
    std::string text{'a', static_cast<char>(byte)};
    bool unassigned = byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
    ASSERT_EQ(cp1252.ToUtf8(text, out, problem), !unassigned) << std::hex << byte;
    if (unassigned) {
      char expected[64];
      std::snprintf(expected, sizeof expected, "byte 2 (%02X) has no character in CP1252", byte);
      EXPECT_EQ(problem, expected);
      continue;
    }
    ASSERT_TRUE(cp1252.FromUtf8(out, back, problem)) << std::hex << byte << ": " << problem;
    EXPECT_EQ(back, text) << std::hex << byte;
  }
  ASSERT_TRUE(cp1252.ToUtf8("h\xE9llo \x80", out, problem));
  EXPECT_EQ(out, "h\u00E9llo \u20AC");
  EXPECT_FALSE(cp1252.FromUtf8("x\u4E2D\u6587", out, problem));
  EXPECT_EQ(problem, "the character \\u4E2D has no form in CP1252");
  EXPECT_FALSE(cp1252.FromUtf8("\U0001F600", out, problem));
  EXPECT_EQ(problem, "the character \\U0001F600 has no form in CP1252");
}

TEST(CodePage, AMultiByteCodePageRefusesASequenceCutShort) {
  CodePage eucJp("EUC-JP");
  std::string out;
  std::string back;
  std::string problem;
  ASSERT_TRUE(eucJp.FromUtf8("\u65E5\u672C", out, problem)) << problem;
  ASSERT_TRUE(eucJp.ToUtf8(out, back, problem)) << problem;
  EXPECT_EQ(back, "\u65E5\u672C");
  EXPECT_FALSE(eucJp.ToUtf8(out.substr(0, 3), back, problem));
  EXPECT_EQ(problem, "byte 3 (CB) has no character in EUC-JP");
}

// Characters longer than two bytes: GB18030's four bytes (whose second and
// fourth are digits) and EUC-JP's three after 8F.
TEST(CodePage, CharactersOfThreeAndFourBytesAreSteppedOverWhole) {
  CodePage gb18030("GB18030");
  EXPECT_EQ(gb18030.CharacterLength("\x81\x30\x81\x30", 0), 4u);
  EXPECT_EQ(gb18030.Find("\x81\x30\x81\x30\x81\x5C\\", '\\'), 6u);
  EXPECT_EQ(CodePage("EUC-JP").CharacterLength("\x8F\xB0\xA1\\", 0), 3u);
}

TEST(CodePage, AnUnknownCodePageConvertsOnlyAscii) {
  CodePage unknown("NO-SUCH-CHARSET");
  std::string out;
  std::string problem;
  EXPECT_TRUE(unknown.ToUtf8("plain", out, problem));
  EXPECT_FALSE(unknown.ToUtf8("\xE9", out, problem));
  EXPECT_EQ(problem, "this system cannot convert the code page NO-SUCH-CHARSET");
}

TEST(CodePage, MessagesShowTextUnambiguously) {
  EXPECT_EQ(ShowBytes("a\"\xE9\n"), "a\"\\xE9\\x0A");
  EXPECT_EQ(ShowCharacters("a\u00E9\U0001F600\xFF"), "a\\u00E9\\U0001F600\\xFF");
}

}  // namespace
}  // namespace tav::platform
