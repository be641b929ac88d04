// The condition grammar of If lines: which lines are accepted, the argument
// arrays they give, and the error codes of the rejected ones.
#include <gtest/gtest.h>

#include "core/messages.h"
#include "parse/condition.h"
#include "parse/if_statement.h"

namespace tav {
namespace {

struct Parsed {
  std::optional<ArgumentArray> args;
  int error = 0;
  uint32_t lineNumber = 0;
  // The rest of the program text after the position the parser left.
  std::string rest;
};

// Parses the text after "If " as the run loop hands it over: the position at
// the condition, the program text going on after the line.
Parsed ParseIf(const std::string& program) {
  InterpreterState st;
  st.programText = "If " + program + "\n";
  st.position = 3;
  st.lineNumber = 1;
  LineReader reader(st);
  Parsed parsed;
  parsed.args = ParseIfArguments(reader);
  parsed.error = st.errorCode;
  parsed.lineNumber = st.lineNumber;
  parsed.rest = st.programText.substr(st.position);
  if (parsed.args) {
    EXPECT_EQ(st.argCount, parsed.args->size());
  }
  return parsed;
}

std::vector<std::string> Texts(const ArgumentArray& args, size_t from) {
  std::vector<std::string> out;
  for (size_t i = from; i < args.size(); ++i) out.push_back(args[i].text);
  return out;
}

void ExpectCondition(const std::string& line, int negate, int code, const std::vector<std::string>& texts) {
  SCOPED_TRACE(line);
  Parsed p = ParseIf(line);
  ASSERT_TRUE(p.args.has_value());
  EXPECT_EQ(p.error, 0);
  EXPECT_EQ((*p.args)[kEntryNegate].number, negate);
  EXPECT_EQ((*p.args)[kEntryCode].number, code);
  EXPECT_EQ(Texts(*p.args, kEntryFirst), texts);
}

void ExpectRejected(const std::string& line, int error = kErrConstruction) {
  SCOPED_TRACE(line);
  Parsed p = ParseIf(line);
  EXPECT_FALSE(p.args.has_value());
  EXPECT_EQ(p.error, error);
}

TEST(IfGrammar, ComparisonOperatorsAsWholeWords) {
  ExpectCondition("a <= b Then", 0, kCondLessEqual, {"a", "b"});
  ExpectCondition("a >= b Then", 0, kCondGreaterEqual, {"a", "b"});
  ExpectCondition("a <> b Then", 0, kCondNotEqual, {"a", "b"});
  ExpectCondition("a < b Then", 0, kCondLess, {"a", "b"});
  ExpectCondition("a > b Then", 0, kCondGreater, {"a", "b"});
  ExpectCondition("a = b then", 0, kCondEqual, {"a", "b"});
  ExpectCondition("Not \"two words\" = \"\" THEN", 1, kCondEqual, {"two words", ""});
  // "=5" is an operand, not an operator, so two operands follow each other.
  ExpectRejected("a =5 Then");
  ExpectRejected("a == b Then");
}

TEST(IfGrammar, NotOnlyAsTheFirstWord) {
  ExpectCondition("Not Not = x Then", 1, kCondEqual, {"Not", "x"});
  ExpectCondition("a = Not Then", 0, kCondEqual, {"a", "Not"});
  ExpectRejected("Not");
  ExpectRejected("Not Then");
}

TEST(IfGrammar, ExistAndEqual) {
  ExpectCondition("Exist C:\\AUTOEXEC.BAT Then", 0, kCondExist, {"C:\\AUTOEXEC.BAT"});
  ExpectCondition("not exist \"My Files\\a b.txt\" Then", 1, kCondExist, {"My Files\\a b.txt"});
  ExpectCondition("a.txt EQUAL b.txt Then", 0, kCondFilesEqual, {"a.txt", "b.txt"});
  // Glued to its path, Exist is an ordinary operand.
  ExpectCondition("ExistX = y Then", 0, kCondEqual, {"ExistX", "y"});
  ExpectRejected("Exist");
  ExpectRejected("Exist X");
  ExpectRejected("a Exist b Then");
  ExpectRejected("Equal b Then");
  ExpectRejected("a Equal");
}

TEST(IfGrammar, ThenMustEndTheLine) {
  ExpectRejected("a = b");
  ExpectRejected("a = b Than");
  ExpectRejected("a = b Then Echo x");
  ExpectRejected("A Then");
  ExpectRejected("a b Then");
  ExpectRejected("");
  ExpectCondition("a = b Then   ", 0, kCondEqual, {"a", "b"});
}

TEST(IfGrammar, BiosIsUnsupported) {
  ExpectRejected("Bios(F000:0000) = x Then", kErrIfBios);
  ExpectRejected("Not BIOS(", kErrIfBios);
  ExpectRejected("a Bios(x) Then", kErrIfBios);
}

TEST(IfGrammar, RegValueExistTakesOneField) {
  ExpectCondition("RegValueExist Then", 0, kCondRegValueExist, {""});
  ExpectCondition("Not RegValueExist My Value Then", 1, kCondRegValueExist, {"My Value"});
  ExpectCondition("RegValueExist \"a: b\" Then", 0, kCondRegValueExist, {"a: b"});
  ExpectCondition("regvalueexist Version THEN", 0, kCondRegValueExist, {"Version"});
  // The field ends at the line's first colon; what follows must be Then.
  ExpectRejected("RegValueExist a:b Then");
  ExpectRejected("RegValueExist Version");
  ExpectRejected("x RegValueExist Version Then");
}

TEST(IfGrammar, RegKeyExistReadsComputerAndContinuedPath) {
  ExpectCondition("RegKeyExist(LOCAL) \\\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor Then", 0, kCondRegKeyExist,
                  {"LOCAL", "\\\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor"});
  ExpectCondition("Not REGKEYEXIST(\\\\SERVER) \\\\HKEY_USERS\\.DEFAULT Then", 1, kCondRegKeyExist,
                  {"\\\\SERVER", "\\\\HKEY_USERS\\.DEFAULT"});
  // A first operand read before it is dropped.
  ExpectCondition("dropped RegKeyExist(LOCAL) Sub Then", 0, kCondRegKeyExist, {"LOCAL", "Sub"});
  ExpectRejected("RegKeyExist(LOCAL \\\\HKEY_USERS\\X Then");
  ExpectRejected("RegKeyExist(LOCAL) \\\\HKEY_USERS\\X");
}

TEST(IfGrammar, RegKeyExistPathOnContinuationLines) {
  Parsed p = ParseIf("RegKeyExist(LOCAL) \\\\HKEY_LOCAL_MACHINE\\SOFTWARE\n    \\Vendor Then\nEcho next");
  ASSERT_TRUE(p.args.has_value());
  EXPECT_EQ(Texts(*p.args, kEntryFirst),
            (std::vector<std::string>{"LOCAL", "\\\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor"}));
  EXPECT_EQ(p.lineNumber, 2u);
  EXPECT_EQ(p.rest, "\nEcho next\n");
}

TEST(IfGrammar, RegValueTakesNameOperatorAndValue) {
  Parsed p = ParseIf("RegValue(Count) > 5 Then");
  ASSERT_TRUE(p.args.has_value());
  ASSERT_EQ(p.args->size(), 5u);
  EXPECT_EQ((*p.args)[kEntryCode].number, kCondRegValue);
  EXPECT_EQ((*p.args)[kEntryFirst].number, kCondGreater);
  EXPECT_EQ(Texts(*p.args, kEntrySecond), (std::vector<std::string>{"Count", "5"}));

  p = ParseIf("Not RegValue() <> \"C:\\My Dir\" , \"x\"   Then  ");
  ASSERT_TRUE(p.args.has_value());
  EXPECT_EQ((*p.args)[kEntryNegate].number, 1);
  EXPECT_EQ((*p.args)[kEntryFirst].number, kCondNotEqual);
  EXPECT_EQ(Texts(*p.args, kEntrySecond), (std::vector<std::string>{"", "\"C:\\My Dir\" , \"x\""}));

  // The name runs to the first ")" that an operator follows.
  p = ParseIf("RegValue(a)b) <= 1,2 Then");
  ASSERT_TRUE(p.args.has_value());
  EXPECT_EQ(Texts(*p.args, kEntrySecond), (std::vector<std::string>{"a)b", "1,2"}));

  p = ParseIf("RegValue(x) = Then");
  ASSERT_TRUE(p.args.has_value());
  EXPECT_EQ(Texts(*p.args, kEntrySecond), (std::vector<std::string>{"x", ""}));
}

TEST(IfGrammar, RegValueRejections) {
  ExpectRejected("RegValue(x) 5 Then");
  ExpectRejected("RegValue(x) =5 Then");
  ExpectRejected("RegValue(x) = 5");
  ExpectRejected("RegValue(x) = 5 Then x");
  // The position lands before Then only when one blank follows the operator.
  ExpectRejected("RegValue(x) =  5 Then");
}

TEST(IfGrammar, ParsingTheSameLineTwiceGivesTheSame) {
  InterpreterState st;
  st.programText = "If Not RegValue(N) = \"a\"\"b\" Then\n";
  LineReader reader(st);
  st.position = 3;
  auto first = ParseIfArguments(reader);
  st.position = 3;
  auto second = ParseIfArguments(reader);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(Texts(*first, kEntrySecond), Texts(*second, kEntrySecond));
  EXPECT_EQ(Texts(*first, kEntrySecond), (std::vector<std::string>{"N", "\"a\"\"b\""}));
}

}  // namespace
}  // namespace tav
