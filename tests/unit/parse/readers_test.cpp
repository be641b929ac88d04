// The text readers: words, fields and continued key paths.
#include <gtest/gtest.h>

#include "parse/readers.h"
#include "test_support.h"

namespace tav {
namespace {

std::vector<std::string> Words(const std::string& line) {
  test::Machine m(line);
  LineReader reader(m.st);
  std::vector<std::string> words;
  std::string word;
  while (reader.NextToken(word)) words.push_back(word);
  return words;
}

using Strings = std::vector<std::string>;

TEST(NextToken, PlainQuotedAndBracketedWords) {
  EXPECT_EQ(Words("a b   c  "), (Strings{"a", "b", "c"}));
  EXPECT_EQ(Words("\"C:\\My Files\\A.INI\" [My Section] Key = some value  "),
            (Strings{"C:\\My Files\\A.INI", "My Section", "Key = some value  "}));
  // A pair of quotes inside a quoted word is one quote; no blank is needed
  // after the closing quote.
  EXPECT_EQ(Words("\"a\"\"b\"next"), (Strings{"a\"b", "next"}));
  // Quotes inside a plain word are ordinary characters.
  EXPECT_EQ(Words("ab\"c d"), (Strings{"ab\"c", "d"}));
}

TEST(NextToken, BracketsMakeTheNextPlainWordTheRestOfTheLine) {
  EXPECT_EQ(Words("f \"x[y]z\" k = v \"q\""), (Strings{"f", "xyz", "k = v \"q\""}));
  // A quoted word after the brackets is still read as a quoted word.
  EXPECT_EQ(Words("[s] \"q w\" rest of it"), (Strings{"s", "q w", "rest of it"}));
}

TEST(NextToken, UnclosedQuotesAndBracketsEndTheWords) {
  EXPECT_EQ(Words("a \"open"), (Strings{"a"}));
  EXPECT_EQ(Words("a [open"), (Strings{"a"}));
  EXPECT_EQ(Words("\"x[y\""), (Strings{}));
  // The closing quote must stand on the same line.
  EXPECT_EQ(Words("\"a\nb\""), (Strings{}));
}

Strings Fields(const std::string& line) {
  test::Machine m(line);
  LineReader reader(m.st);
  Strings fields;
  std::string field;
  for (int i = 0; i < 3 && reader.NextField(field); ++i) fields.push_back(field);
  return fields;
}

TEST(NextField, ColonsSeparateAndTheThirdTakesTheRest) {
  EXPECT_EQ(Fields("Name : REG_SZ : a:b:c  "), (Strings{"Name", "REG_SZ", "a:b:c  "}));
  EXPECT_EQ(Fields("\"a:b\" : REG_SZ : \"x\""), (Strings{"a:b", "REG_SZ", "\"x\""}));
  EXPECT_EQ(Fields(": : "), (Strings{"", "", ""}));
  // A field that ends at the line end keeps its trailing blanks.
  EXPECT_EQ(Fields("abc  "), (Strings{"abc  ", "", ""}));
  // Text after the closing quote belongs to the field up to the colon.
  EXPECT_EQ(Fields("\"a\"\"b\"c :x:y"), (Strings{"a\"bc", "x", "y"}));
}

TEST(NextField, QuotedFieldNeedsItsClosingQuote) {
  EXPECT_EQ(Fields("\"open : REG_SZ : x"), (Strings{}));
}

struct Continued {
  bool ok;
  std::string text;
  uint32_t lineNumber;
  std::string rest;  // what follows the position
};

Continued ReadContinued(const std::string& text, size_t start) {
  test::Machine m(text);
  m.st.position = start;
  LineReader reader(m.st);
  Continued c{};
  c.ok = reader.ContinuedRest(c.text);
  c.lineNumber = m.st.lineNumber;
  c.rest = m.st.programText.substr(m.st.position);
  return c;
}

TEST(ContinuedRest, JoinsLinesThatBeginWithBlanksAndABackslash) {
  Continued c = ReadContinued("X \\\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\n    \\Product\\Setting\nEcho", 2);
  EXPECT_TRUE(c.ok);
  EXPECT_EQ(c.text, "\\\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Product\\Setting");
  EXPECT_EQ(c.lineNumber, 2u);
  EXPECT_EQ(c.rest, "\nEcho\n");
}

TEST(ContinuedRest, EmptyRestIsAcceptedOnlyBeforeAnIndentedLine) {
  EXPECT_FALSE(ReadContinued("X\nEcho", 1).ok);
  Continued c = ReadContinued("X\n  Echo", 1);
  EXPECT_TRUE(c.ok);
  EXPECT_EQ(c.text, "");
  // Blanks before the line end count as something read.
  EXPECT_TRUE(ReadContinued("X  \nEcho", 1).ok);
  // An indented line without a backslash is not taken in.
  c = ReadContinued("X a\n  b", 1);
  EXPECT_EQ(c.text, "a");
  EXPECT_EQ(c.lineNumber, 1u);
}

}  // namespace
}  // namespace tav
