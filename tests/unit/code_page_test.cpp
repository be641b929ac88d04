// The code page conversions of the registry store and the UTF-8 validation
// they rest on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "platform/posix/code_page.h"
#include "platform/posix/registry_text.h"

namespace tav::platform {
namespace {

using namespace std::string_literals;

// The well-formed byte sequences of UTF-8 as the standard tabulates them, by
// their first two bytes: the length of the character, or 0 when no
// character begins so.
size_t WellFormedLength(uint8_t first, uint8_t second) {
  auto in = [](uint8_t b, uint8_t lo, uint8_t hi) { return b >= lo && b <= hi; };
  bool trail = in(second, 0x80, 0xBF);
  if (first < 0x80) return 1;
  if (in(first, 0xC2, 0xDF)) return trail ? 2 : 0;
  if (first == 0xE0) return in(second, 0xA0, 0xBF) ? 3 : 0;
  if (in(first, 0xE1, 0xEC) || in(first, 0xEE, 0xEF)) return trail ? 3 : 0;
  if (first == 0xED) return in(second, 0x80, 0x9F) ? 3 : 0;
  if (first == 0xF0) return in(second, 0x90, 0xBF) ? 4 : 0;
  if (in(first, 0xF1, 0xF3)) return trail ? 4 : 0;
  if (first == 0xF4) return in(second, 0x80, 0x8F) ? 4 : 0;
  return 0;
}

TEST(Utf8Validation, AcceptsExactlyTheWellFormedSequences) {
  for (int first = 0x80; first <= 0xFF; ++first) {
    for (int second = 0; second <= 0xFF; ++second) {
      std::string bytes{static_cast<char>(first), static_cast<char>(second), '\x80', '\x80'};
      size_t length = WellFormedLength(static_cast<uint8_t>(first), static_cast<uint8_t>(second));
      SCOPED_TRACE(testing::Message() << std::hex << first << " " << second);
      if (length == 0) {
        for (size_t n = 1; n <= 4; ++n) EXPECT_FALSE(regtext::IsValidUtf8(bytes.substr(0, n))) << n;
      } else {
        EXPECT_TRUE(regtext::IsValidUtf8(bytes.substr(0, length)));
        EXPECT_FALSE(regtext::IsValidUtf8(bytes.substr(0, length - 1))) << "cut short";
        EXPECT_FALSE(regtext::IsValidUtf8(bytes.substr(0, length) + "\x80")) << "a stray trail byte";
      }
    }
  }
}

TEST(Utf8Validation, DecodesTheLimitsOfEachLength) {
  for (uint32_t cp : {0x0u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xD7FFu, 0xE000u, 0xFFFFu, 0x10000u, 0x10FFFFu}) {
    std::string utf8;
    regtext::AppendUtf8(utf8, cp);
    size_t i = 0;
    EXPECT_EQ(regtext::NextCodePoint(utf8, i), cp);
    EXPECT_EQ(i, utf8.size());
  }
}

// The store's UTF-16: every character goes there and back unchanged, and
// every surrogate that is not half of a pair is refused where it stands.
TEST(Utf16Conversion, EveryCharacterRoundTripsAndLoneSurrogatesAreRefused) {
  std::string all;
  for (uint32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp < 0xD800 || cp > 0xDFFF) regtext::AppendUtf8(all, cp);
  }
  std::vector<uint8_t> utf16 = regtext::Utf8ToUtf16(all);
  EXPECT_EQ(utf16.size(), 2 * (0x10000 - 0x800) + 4 * 0x100000);
  std::string back;
  ASSERT_TRUE(regtext::Utf16ToUtf8(utf16.data(), utf16.size(), back));
  EXPECT_TRUE(back == all);
  for (uint32_t unit = 0xD800; unit <= 0xDFFF; ++unit) {
    std::vector<uint8_t> data{'a', 0, static_cast<uint8_t>(unit), static_cast<uint8_t>(unit >> 8), 'b', 0};
    size_t failedAt = 0;
    EXPECT_FALSE(regtext::Utf16ToUtf8(data.data(), data.size(), back, &failedAt)) << std::hex << unit;
    EXPECT_EQ(failedAt, 2u);
  }
  std::vector<uint8_t> odd{'a', 0, 'b'};
  size_t failedAt = 0;
  EXPECT_FALSE(regtext::Utf16ToUtf8(odd.data(), odd.size(), back, &failedAt));
  EXPECT_EQ(failedAt, 2u);
}

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
