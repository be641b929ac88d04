// Argument arrays of the statements read by the generic readers.
#include <gtest/gtest.h>

#include "parse/arguments.h"
#include "run/commands.h"
#include "run/run.h"
#include "test_support.h"

namespace tav {
namespace {

struct Parsed {
  std::optional<ArgumentArray> args;
  int errorCode;
  std::string output;
  uint32_t lineNumber;
};

// Looks the first line's statement up and parses its arguments.
Parsed Parse(const std::string& text) {
  test::Machine m(text);
  int index = LookupCommand(m.st);
  EXPECT_GE(index, 0) << text;
  Parsed p;
  p.args = ParseArguments(m.st, index);
  p.errorCode = m.st.errorCode;
  p.output = m.ui.output;
  p.lineNumber = m.st.lineNumber;
  return p;
}

std::vector<std::string> Texts(const Parsed& p) {
  std::vector<std::string> out;
  if (p.args) {
    for (const Argument& a : *p.args) out.push_back(a.text);
  }
  return out;
}

using Strings = std::vector<std::string>;

TEST(ParseArguments, RestOfLineStatementsKeepTheirBlanks) {
  EXPECT_EQ(Texts(Parse("Echo   hi  ")), (Strings{"  hi  "}));
  EXPECT_EQ(Texts(Parse("Echo")), (Strings{""}));
  EXPECT_EQ(Texts(Parse("Shell ls \"a b\"")), (Strings{"ls \"a b\""}));
  EXPECT_EQ(Texts(Parse("CDROM.EXE")), (Strings{""}));
}

TEST(ParseArguments, WordCountMustMatchTheCommandTable) {
  EXPECT_EQ(Texts(Parse("IniAddLine f.ini [S] a = b")), (Strings{"f.ini", "S", "a = b"}));
  Parsed p = Parse("Goto Start Here");
  EXPECT_FALSE(p.args);
  EXPECT_EQ(p.errorCode, 2);
  EXPECT_NE(p.output.find("TAV32 Error in Line 1: Command construction error."), std::string::npos);
  EXPECT_EQ(Texts(Parse("Goto \"Start Here\"")), (Strings{"Start Here"}));
  EXPECT_EQ(Parse("IniDeleteSection a b c").errorCode, 2);
  EXPECT_EQ(Parse("IniDeleteSection a").errorCode, 2);
  // An unclosed quote counts as no word.
  EXPECT_EQ(Parse("IniDeleteSection f \"open").errorCode, 2);
}

TEST(ParseArguments, PauseTakesNoArguments) {
  Parsed p = Parse("Pause");
  EXPECT_FALSE(p.args);
  EXPECT_EQ(p.errorCode, 0);
  EXPECT_EQ(Parse("Pause Insert the disk").errorCode, 2);
}

TEST(ParseArguments, ElseAndEndIfAllowOnlyBlanks) {
  EXPECT_EQ(Parse("Else   ").errorCode, 0);
  EXPECT_EQ(Parse("End If").errorCode, 0);
  Parsed p = Parse("Else ; comment");
  EXPECT_FALSE(p.args);
  EXPECT_EQ(p.errorCode, 2);
}

TEST(ParseArguments, RegistryStatements) {
  EXPECT_EQ(Texts(Parse("RegOpenKey LOCAL \\\\HKEY_USERS\\A B")), (Strings{"LOCAL", "\\\\HKEY_USERS\\A B"}));
  Parsed p = Parse("RegOpenKey LOCAL\nEcho");
  EXPECT_EQ(p.errorCode, 2);
  EXPECT_EQ(Parse("RegOpenKey").errorCode, 2);
  EXPECT_EQ(Texts(Parse("RegSetValue Name : REG_SZ : a:b:c")), (Strings{"Name", "REG_SZ", "a:b:c"}));
  EXPECT_EQ(Parse("RegSetValue \"Name : REG_SZ : x").errorCode, 2);
  p = Parse("RegDeleteValue \\\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\n    \\Product\\Setting\nEcho");
  EXPECT_EQ(Texts(p), (Strings{"\\\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Product\\Setting"}));
  EXPECT_EQ(p.lineNumber, 2u);
}

TEST(ParseArguments, ALineReadTwiceGivesTheSameArguments) {
  test::Machine m("IniAddLine \"a\"\"b\" [S] k=v");
  int index = LookupCommand(m.st);
  size_t start = m.st.position;
  auto first = ParseArguments(m.st, index);
  m.st.position = start;
  auto second = ParseArguments(m.st, index);
  ASSERT_TRUE(first && second);
  for (size_t i = 0; i < first->size(); ++i) EXPECT_EQ((*first)[i].text, (*second)[i].text);
}

TEST(LookupCommand, FirstRowThatPrefixesTheLineWins) {
  auto lookup = [](const std::string& line) {
    test::Machine m(line);
    return LookupCommand(m.st);
  };
  EXPECT_EQ(lookup("ENDIF"), kCmdEndif);
  EXPECT_EQ(lookup("End If"), kCmdEndIf);
  EXPECT_EQ(lookup("CDROM.EXE"), kCmdCD);
  EXPECT_EQ(lookup("chdir /tmp"), kCmdChDir);
  EXPECT_EQ(lookup("End SynchronizeDir"), -1);
  EXPECT_EQ(lookup("ls -l"), -1);
  EXPECT_EQ(lookup("iffy"), kCmdIf);
}

}  // namespace
}  // namespace tav
