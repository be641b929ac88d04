// The SynchronizeDir statement's two forms as the parser reads them.
#include <gtest/gtest.h>

#include "core/messages.h"
#include "parse/sync_syntax.h"
#include "platform/fs.h"
#include "sync/records.h"

namespace tav {
namespace {

// A path written in the program as the statement takes it: absolute, in the
// platform's own form.
std::string Absolute(const char* written) { return platform::FullPath(platform::NativePath(written)); }

using namespace sync;

// Parses the statement that begins the text, as the run loop hands it over:
// the position just after the statement word and its blank.
struct Parsed {
  InterpreterState st;
  std::optional<ArgumentArray> args;
};

std::unique_ptr<Parsed> Parse(const std::string& text) {
  auto parsed = std::make_unique<Parsed>();
  parsed->st.programText = text;
  parsed->st.lineNumber = 1;
  size_t blank = text.find(' ');
  size_t lf = text.find('\n');
  parsed->st.position = blank < lf ? blank + 1 : lf;
  LineReader reader(parsed->st);
  parsed->args = ParseSyncArguments(reader);
  return parsed;
}

bool IsSet(const ArgumentArray& args, int slot) { return args[static_cast<size_t>(slot)].present; }

TEST(SyncSyntaxBlock, KeywordsFillSlotsAndLists) {
  auto p = Parse(
      "SynchronizeDir\n From /a\n  To /b\n Add\n Delete new ones\n Subdirectories\n"
      " ExcludeFile *.BAK\n ExcludeFile \"x y\"\nEnd SynchronizeDir\nEcho next\n");
  ASSERT_TRUE(p->args);
  const ArgumentArray& args = *p->args;
  ASSERT_EQ(args.size(), 13u);
  EXPECT_EQ(p->st.argCount, 13u);
  EXPECT_EQ(args[kSlotFrom].text, Absolute("/a"));
  EXPECT_EQ(args[kSlotTo].text, Absolute("/b"));
  for (int slot = 0; slot < kSyncSlotCount; ++slot) {
    bool expected = slot == kSlotFrom || slot == kSlotTo || slot == kSlotAdd || slot == kSlotDelete ||
                    slot == kSlotSubdirectories;
    EXPECT_EQ(IsSet(args, slot), expected) << slot;
  }
  EXPECT_EQ(p->st.syncPatterns.excludeFile, (std::vector<std::string>{"*.BAK", "x y"}));
  EXPECT_EQ(p->st.syncPatterns.filesLike, "*.*");
  EXPECT_EQ(p->st.syncPatterns.dirsLike, "*.*");
  // The run goes on after the End line.
  EXPECT_EQ(p->st.lineNumber, 9u);
  EXPECT_EQ(p->st.programText.compare(p->st.position, 18, "End SynchronizeDir"), 0);
}

TEST(SyncSyntaxBlock, PathsAreMadeAbsoluteWithoutQuotes) {
  auto p = Parse("SynchronizeDir\n From \"my dir\\sub\"\n Report rep.txt\n ReportOnly\n");
  ASSERT_TRUE(p->args);
  std::string cwd = platform::CurrentDirectory();
  EXPECT_EQ((*p->args)[kSlotFrom].text, platform::JoinPath(platform::JoinPath(cwd, "my dir"), "sub"));
  EXPECT_EQ((*p->args)[kSlotReport].text, platform::JoinPath(cwd, "rep.txt"));
  EXPECT_TRUE(IsSet(*p->args, kSlotReportOnly));
  EXPECT_FALSE(IsSet(*p->args, kSlotTo));
}

TEST(SyncSyntaxBlock, PatternsGivenOnceAndRepeatedFlagsAreErrors) {
  auto p = Parse("SynchronizeDir\n FilesLike *.txt\n DirsLike S*\n");
  ASSERT_TRUE(p->args);
  EXPECT_EQ(p->st.syncPatterns.filesLike, "*.txt");
  EXPECT_EQ(p->st.syncPatterns.dirsLike, "S*");
  for (const char* text : {"SynchronizeDir\n FilesLike *.*\n FilesLike *.*\n", "SynchronizeDir\n Add\n Add\n",
                           "SynchronizeDir\n To a\n To b\n", "SynchronizeDir\n", "SynchronizeDir\n Overwrite\n Conflict\n"}) {
    auto q = Parse(text);
    EXPECT_FALSE(q->args) << text;
    EXPECT_EQ(q->st.errorCode, kErrConstruction) << text;
  }
}

TEST(SyncSyntaxBlock, UnknownLineIsSyntaxErrorAndTheBlockIsPassedOver) {
  auto p = Parse("SynchronizeDir\n ExcludeDir TEMP\n Report\n To x\n  End SynchronizeDir\nEnd Sync\nEcho after\n");
  EXPECT_FALSE(p->args);
  EXPECT_EQ(p->st.errorCode, kErrSyntax);
  EXPECT_TRUE(p->st.syncPatterns.excludeDir.empty());
  // The indented End line does not end the recovery; the unindented prefix does.
  EXPECT_EQ(p->st.lineNumber, 6u);
  EXPECT_EQ(p->st.programText.compare(p->st.position, 8, "End Sync"), 0);
}

TEST(SyncSyntaxBlock, LongerEndLineIsNoEndAndCommentsAreSkipped) {
  auto p = Parse("SynchronizeDir\n REM x\n ; y\n Add\nEnd SynchronizeDir now\n");
  EXPECT_FALSE(p->args);
  EXPECT_EQ(p->st.errorCode, kErrSyntax);
  auto q = Parse("SynchronizeDir\n REM x\n   ; y\n Add\n   end   \n");
  ASSERT_TRUE(q->args);
  EXPECT_TRUE(IsSet(*q->args, kSlotAdd));
}

TEST(SyncSyntaxOneLine, PathsAndSwitches) {
  auto p = Parse("SynchronizeDir /s /d -d /a /O /S /P \"/Rmy report.txt \"\n");
  ASSERT_TRUE(p->args);
  const ArgumentArray& args = *p->args;
  EXPECT_EQ(args[kSlotFrom].text, Absolute("/s"));
  EXPECT_EQ(args[kSlotTo].text, Absolute("/d"));
  EXPECT_TRUE(IsSet(args, kSlotDelete));
  EXPECT_TRUE(IsSet(args, kSlotAdd));
  EXPECT_TRUE(IsSet(args, kSlotOverwrite));
  EXPECT_TRUE(IsSet(args, kSlotPreserve));
  EXPECT_TRUE(IsSet(args, kSlotSubdirectories));
  EXPECT_FALSE(IsSet(args, kSlotConflict));
  EXPECT_EQ(args[kSlotReport].text, "my report.txt");
  // The dashes read as slashes only while the line is read.
  EXPECT_EQ(p->st.programText, "SynchronizeDir /s /d -d /a /O /S /P \"/Rmy report.txt \"\n");
}

TEST(SyncSyntaxOneLine, DashesInPathsAndLastReportWins) {
  auto p = Parse("SynchronizeDir /my-dir /x /Rfirst /rsecond\n");
  ASSERT_TRUE(p->args);
  EXPECT_EQ((*p->args)[kSlotFrom].text, Absolute("/my/dir"));
  EXPECT_EQ((*p->args)[kSlotReport].text, "second");
}

TEST(SyncSyntaxOneLine, Errors) {
  struct Case {
    const char* text;
    int code;
  } cases[] = {
      {"SynchronizeDir /a\n", kErrConstruction},        {"SynchronizeDir /a /b /X\n", kErrSyntax},
      {"SynchronizeDir /a /b extra\n", kErrSyntax},     {"SynchronizeDir /a /b /A -a\n", kErrConstruction},
      {"SynchronizeDir /a /b /O /C\n", kErrConstruction},
  };
  for (const Case& c : cases) {
    auto p = Parse(c.text);
    EXPECT_FALSE(p->args) << c.text;
    EXPECT_EQ(p->st.errorCode, c.code) << c.text;
    EXPECT_EQ(p->st.lineNumber, 1u);
  }
}

}  // namespace
}  // namespace tav
