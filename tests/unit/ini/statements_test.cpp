// The six INI statements, called as the run loop calls them, against real
// files: results, error codes, which codes are reported at once, and files
// left untouched after failures.
#include "ini/ini.h"

#include "core/messages.h"
#include "ini_test_support.h"

namespace tav::ini::testing {
namespace {

using Handler = bool (*)(InterpreterState&, const ArgumentArray*);

class StatementTest : public IniTest {
 protected:
  void SetUp() override {
    st_.options.log = true;
    st_.options.logPath = Path("run.log");
  }
  // Runs a statement; file arguments are written as names in the test directory.
  bool Run(Handler handler, std::vector<std::string> words, size_t files = 1) {
    ArgumentArray args;
    for (size_t i = 0; i < words.size(); ++i) args.push_back(Argument::Text(i < files ? Path(words[i]) : words[i]));
    return handler(st_, &args);
  }
  // Whether an error was reported (written to the LOG file) since the last call.
  bool Reported() {
    bool reported = std::filesystem::exists(Path("run.log"));
    std::filesystem::remove(Path("run.log"));
    return reported;
  }
  InterpreterState st_;
};

// These compare the files byte for byte, as the profile module writes them.
// On Windows the system's profile writer lays files out its own way; the
// statements are tested there by what the profile reads give back.
#ifndef _WIN32
TEST_F(StatementTest, AddLinePlacesLineBeforeLastLineWithItsKey) {
  Put("a.ini", "[386Enh]\ndevice=a.386\nx=1\ndevice=c.386\n[b]\nq=1\n");
  ASSERT_TRUE(Run(IniAddLine, {"a.ini", "386enh", "device=b.386"}));
  ASSERT_TRUE(Run(IniAddLine, {"a.ini", "386enh", "x"}));
  ASSERT_TRUE(Run(IniAddLine, {"a.ini", "386enh", "y = 2  "}));
  EXPECT_EQ(Get("a.ini"), "[386Enh]\ndevice=a.386\nx\nx=1\ndevice=b.386\ndevice=c.386\ny = 2  \n[b]\nq=1\n");

  // The very line (letter case and surrounding blanks aside) is not added again.
  const std::string before = Get("a.ini");
  st_.errorCode = kErrIfBios;
  EXPECT_FALSE(Run(IniAddLine, {"a.ini", "386ENH", "DEVICE=A.386"}));
  EXPECT_FALSE(Run(IniAddLine, {"a.ini", "386ENH", "y = 2"}));
  EXPECT_EQ(st_.errorCode, kErrIfBios);
  EXPECT_EQ(Get("a.ini"), before);

  // A line without a key is refused before anything is created.
  EXPECT_FALSE(Run(IniAddLine, {"new.ini", "s", "=="}));
  EXPECT_EQ(st_.errorCode, kErrSyntax);
  EXPECT_FALSE(std::filesystem::exists(Path("new.ini")));
  EXPECT_FALSE(Reported());

  ASSERT_TRUE(Run(IniAddLine, {"new.ini", "s", "k=v"}));
  ASSERT_TRUE(Run(IniAddLine, {"new.ini", "t", "k=v"}));
  EXPECT_EQ(Get("new.ini"), "[s]\nk=v\n[t]\nk=v\n");
}

TEST_F(StatementTest, SectionsOverTheBufferSizeAreReadAndWrittenWhole) {
  std::string big = "[big]\n";
  for (int i = 0; i < 1000; ++i) big += "key" + std::to_string(i) + "=value of line " + std::to_string(i) + "\n";
  Put("a.ini", big + "[end]\n");
  ASSERT_TRUE(Run(IniAddLine, {"a.ini", "big", "zz=1"}));
  EXPECT_EQ(Get("a.ini"), big + "zz=1\n[end]\n");
  ASSERT_TRUE(Run(IniDeleteLine, {"a.ini", "big", "zz="}));
  EXPECT_EQ(Get("a.ini"), big + "[end]\n");
  ASSERT_TRUE(Run(IniCopySection, {"a.ini", "b.ini", "big"}, 2));
  EXPECT_EQ(Get("b.ini"), big);
}

TEST_F(StatementTest, DeleteLineRemovesEveryLineWithTheBeginning) {
  const std::string bytes = "[s]\ndevice=a\nx=device\nDEVICE=b\ndevicehigh=c\n[t]\nonly=1\n";
  Put("a.ini", bytes);
  EXPECT_FALSE(Run(IniDeleteLine, {"a.ini", "none", "device"}));
  EXPECT_EQ(st_.errorCode, kErrNoSection);
  EXPECT_FALSE(Run(IniDeleteLine, {"a.ini", "s", "nomatch"}));
  EXPECT_EQ(st_.errorCode, kErrNoLine);
  EXPECT_FALSE(Reported());
  EXPECT_EQ(Get("a.ini"), bytes);
  ASSERT_TRUE(Run(IniDeleteLine, {"a.ini", "s", "device"}));
  ASSERT_TRUE(Run(IniDeleteLine, {"a.ini", "t", "only=1"}));
  EXPECT_EQ(Get("a.ini"), "[s]\nx=device\n[t]\n");
}

TEST_F(StatementTest, CopyLineCopiesValuesCutToTheValueBuffer) {
  Put("src.ini", "[s]\nPath=C:\\DOS\nempty=\nlong=" + std::string(9000, 'v') + "\n");
  ASSERT_TRUE(Run(IniCopyLine, {"src.ini", "dst.ini", "S", "path="}, 2));
  EXPECT_EQ(Get("dst.ini"), "[S]\npath=C:\\DOS\n");

  EXPECT_FALSE(Run(IniCopyLine, {"src.ini", "dst.ini", "s", "a=b"}, 2));
  EXPECT_EQ(st_.errorCode, kErrConstruction);
  EXPECT_TRUE(Reported());
  EXPECT_FALSE(Run(IniCopyLine, {"src.ini", "dst.ini", "s", "empty"}, 2));
  EXPECT_EQ(st_.errorCode, kErrNoSectionOrLine);
  EXPECT_FALSE(Reported());
  EXPECT_EQ(Get("dst.ini"), "[S]\npath=C:\\DOS\n");

  ASSERT_TRUE(Run(IniCopyLine, {"src.ini", "dst.ini", "s", "long"}, 2));
  EXPECT_EQ(Get("dst.ini"), "[S]\npath=C:\\DOS\nlong=" + std::string(8191, 'v') + "\n");
}

TEST_F(StatementTest, ChangeLineSetsTheValueAfterTheKey) {
  st_.errorCode = kErrNoLine;
  ASSERT_TRUE(Run(IniChangeLine, {"a.ini", "s", "key=a=b"}));
  EXPECT_EQ(st_.errorCode, kErrNone);
  ASSERT_TRUE(Run(IniChangeLine, {"a.ini", "s", "==other"}));
  ASSERT_TRUE(Run(IniChangeLine, {"a.ini", "s", "KEY"}));
  EXPECT_EQ(Get("a.ini"), "[s]\nKEY=\nother=\n");
  EXPECT_FALSE(Run(IniChangeLine, {"a.ini", "s", "="}));
  EXPECT_EQ(st_.errorCode, kErrSyntax);
  EXPECT_FALSE(Reported());
}

TEST_F(StatementTest, CopySectionAndDeleteSection) {
  Put("src.ini", "[s]\n; why\nnew=1\n");
  const std::string dst = "[x]\nx=1\n[S]\nold=1\nold=2\n\n[y]\n";
  Put("dst.ini", dst);
  EXPECT_FALSE(Run(IniCopySection, {"src.ini", "dst.ini", "missing"}, 2));
  EXPECT_EQ(st_.errorCode, kErrNoSection);
  EXPECT_EQ(Get("dst.ini"), dst);
  ASSERT_TRUE(Run(IniCopySection, {"src.ini", "dst.ini", "s"}, 2));
  EXPECT_EQ(Get("dst.ini"), "[x]\nx=1\n[S]\n; why\nnew=1\n\n[y]\n");

  ASSERT_TRUE(Run(IniDeleteSection, {"dst.ini", "s"}));
  EXPECT_EQ(Get("dst.ini"), "[x]\nx=1\n[y]\n");
  EXPECT_FALSE(Run(IniDeleteSection, {"dst.ini", "s"}));
  EXPECT_EQ(st_.errorCode, kErrNoSection);
  EXPECT_FALSE(Reported());
}

#endif  // _WIN32

// The argument rules that a check applies without a file.
TEST(IniArguments, KeysOfLinesAndOfCopiedKeys) {
  EXPECT_TRUE(ini::HasLineKey("device=a.386"));
  EXPECT_TRUE(ini::HasLineKey("==key"));
  EXPECT_TRUE(ini::HasLineKey("plain"));
  EXPECT_FALSE(ini::HasLineKey("="));
  EXPECT_FALSE(ini::HasLineKey(" = value"));
  EXPECT_FALSE(ini::HasLineKey(""));
  std::string key = "Path=";
  EXPECT_TRUE(ini::TakeCopyKey(key));
  EXPECT_EQ(key, "Path");
  key = "a=b";
  EXPECT_FALSE(ini::TakeCopyKey(key));
  key = "plain";
  EXPECT_TRUE(ini::TakeCopyKey(key));
  EXPECT_EQ(key, "plain");
}

TEST_F(StatementTest, NullArgumentsFailWithNothingDone) {
  st_.errorCode = kErrNoLine;
  for (Handler handler : {IniAddLine, IniCopyLine, IniChangeLine, IniCopySection, IniDeleteLine, IniDeleteSection}) {
    EXPECT_FALSE(handler(st_, nullptr));
  }
  EXPECT_EQ(st_.errorCode, kErrNoLine);
  EXPECT_EQ(Names(), std::vector<std::string>{});
}

}  // namespace
}  // namespace tav::ini::testing
