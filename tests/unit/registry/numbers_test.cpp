// The number syntaxes of registry data.
#include <gtest/gtest.h>

#include "registry/registry.h"

namespace tav::registry {
namespace {

std::optional<uint32_t> Dword(std::string_view text) {
  uint32_t value = 12345;
  if (!ParseDwordText(text, value)) return std::nullopt;
  return value;
}

std::optional<int> Byte(std::string_view text) {
  uint8_t value = 77;
  if (!ParseByteText(text, value)) return std::nullopt;
  return value;
}

TEST(ParseDwordText, DecimalAndHexadecimalInAnyCase) {
  EXPECT_EQ(Dword("31"), 31u);
  EXPECT_EQ(Dword("0x1F"), 31u);
  EXPECT_EQ(Dword("0x1f"), 31u);
  EXPECT_EQ(Dword("0X1f"), 31u);
  EXPECT_EQ(Dword("007"), 7u);
  EXPECT_EQ(Dword("4294967295"), 4294967295u);
  EXPECT_EQ(Dword("0xFFFFFFFF"), 4294967295u);
  EXPECT_EQ(Dword("0x00000000FFFFFFFF"), 4294967295u);
}

TEST(ParseDwordText, EmptyTextAndBarePrefixGiveZero) {
  EXPECT_EQ(Dword(""), 0u);
  EXPECT_EQ(Dword("0x"), 0u);
}

TEST(ParseDwordText, RejectsOverflowSignsBlanksAndForeignDigits) {
  EXPECT_EQ(Dword("4294967296"), std::nullopt);
  EXPECT_EQ(Dword("0x100000000"), std::nullopt);
  EXPECT_EQ(Dword("99999999999999999999999"), std::nullopt);
  EXPECT_EQ(Dword("-1"), std::nullopt);
  EXPECT_EQ(Dword("+1"), std::nullopt);
  EXPECT_EQ(Dword(" 1"), std::nullopt);
  EXPECT_EQ(Dword("1 "), std::nullopt);
  EXPECT_EQ(Dword("1F"), std::nullopt);
  EXPECT_EQ(Dword("0x1G"), std::nullopt);
  EXPECT_EQ(Dword("x1"), std::nullopt);
}

TEST(ParseByteText, EightBitsWithTrailingBlanks) {
  EXPECT_EQ(Byte("255"), 255);
  EXPECT_EQ(Byte("0xff"), 255);
  EXPECT_EQ(Byte("0x02"), 2);
  EXPECT_EQ(Byte(""), 0);
  EXPECT_EQ(Byte("0x"), 0);
  EXPECT_EQ(Byte("12   "), 12);
  EXPECT_EQ(Byte("256"), std::nullopt);
  EXPECT_EQ(Byte("0x100"), std::nullopt);
  EXPECT_EQ(Byte("1 2"), std::nullopt);
  EXPECT_EQ(Byte(" 1"), std::nullopt);
  EXPECT_EQ(Byte("1;"), std::nullopt);
  EXPECT_EQ(Byte("-0"), std::nullopt);
}

}  // namespace
}  // namespace tav::registry
