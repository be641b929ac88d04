// The UTF-8 validation and the UTF-16 conversions that the code page and the
// registry store rest on.
#include <gtest/gtest.h>

#include "platform/unicode.h"

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
        for (size_t n = 1; n <= 4; ++n) EXPECT_FALSE(unicode::IsValidUtf8(bytes.substr(0, n))) << n;
      } else {
        EXPECT_TRUE(unicode::IsValidUtf8(bytes.substr(0, length)));
        EXPECT_FALSE(unicode::IsValidUtf8(bytes.substr(0, length - 1))) << "cut short";
        EXPECT_FALSE(unicode::IsValidUtf8(bytes.substr(0, length) + "\x80")) << "a stray trail byte";
      }
    }
  }
}

TEST(Utf8Validation, DecodesTheLimitsOfEachLength) {
  for (uint32_t cp : {0x0u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xD7FFu, 0xE000u, 0xFFFFu, 0x10000u, 0x10FFFFu}) {
    std::string utf8;
    unicode::AppendUtf8(utf8, cp);
    size_t i = 0;
    EXPECT_EQ(unicode::NextCodePoint(utf8, i), cp);
    EXPECT_EQ(i, utf8.size());
  }
}

// The store's UTF-16: every character goes there and back unchanged, and
// every surrogate that is not half of a pair is refused where it stands.
TEST(Utf16Conversion, EveryCharacterRoundTripsAndLoneSurrogatesAreRefused) {
  std::string all;
  for (uint32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp < 0xD800 || cp > 0xDFFF) unicode::AppendUtf8(all, cp);
  }
  std::vector<uint8_t> utf16 = unicode::Utf8ToUtf16(all);
  EXPECT_EQ(utf16.size(), 2 * (0x10000 - 0x800) + 4 * 0x100000);
  std::string back;
  ASSERT_TRUE(unicode::Utf16ToUtf8(utf16.data(), utf16.size(), back));
  EXPECT_TRUE(back == all);
  for (uint32_t unit = 0xD800; unit <= 0xDFFF; ++unit) {
    std::vector<uint8_t> data{'a', 0, static_cast<uint8_t>(unit), static_cast<uint8_t>(unit >> 8), 'b', 0};
    size_t failedAt = 0;
    EXPECT_FALSE(unicode::Utf16ToUtf8(data.data(), data.size(), back, &failedAt)) << std::hex << unit;
    EXPECT_EQ(failedAt, 2u);
  }
  std::vector<uint8_t> odd{'a', 0, 'b'};
  size_t failedAt = 0;
  EXPECT_FALSE(unicode::Utf16ToUtf8(odd.data(), odd.size(), back, &failedAt));
  EXPECT_EQ(failedAt, 2u);
}

}  // namespace
}  // namespace tav::platform
