// The command line, the program text's normalisation and the expansion of
// environment references.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "run/startup.h"
#include "test_support.h"

namespace tav {
namespace {

using Strings = std::vector<std::string>;

TEST(ReadCommandLine, DashesStartOptionWordsAndOtherArgumentsContinueThem) {
  CommandLine c = ReadCommandLine({"/srv/my-update.tav", "-LOG", "/var/log/run.log", "-QUIET"});
  EXPECT_EQ(*c.programFile, "/srv/my-update.tav");
  EXPECT_EQ(c.optionWords, (Strings{"LOG /var/log/run.log", "QUIET"}));
  c = ReadCommandLine({"p", "-LOG my run.log  ", "--debug", "-", "x"});
  EXPECT_EQ(c.optionWords, (Strings{"LOG my run.log", "debug", "x"}));
  c = ReadCommandLine({"p", "stray", "-"});
  EXPECT_EQ(c.optionWords, (Strings{"stray"}));
  EXPECT_FALSE(ReadCommandLine({}).programFile);
}

TEST(CutCommandLine, CutsAtEveryDashAndSlashKeepingBlanks) {
  CommandLine c = CutCommandLine("PROG.TXT /LOG C:\\RUN.LOG /QUIET");
  EXPECT_EQ(*c.programFile, "PROG.TXT ");
  EXPECT_EQ(c.optionWords, (Strings{"LOG C:\\RUN.LOG ", "QUIET"}));
  // Runs of cuts are one cut, cuts at the beginning are ignored, and a name
  // with a dash is cut apart.
  c = CutCommandLine("--/MY-PROG.TXT -/-debug- /");
  EXPECT_EQ(*c.programFile, "MY");
  EXPECT_EQ(c.optionWords, (Strings{"PROG.TXT ", "debug", " "}));
  EXPECT_FALSE(CutCommandLine("").programFile);
  EXPECT_FALSE(CutCommandLine("-/-//").programFile);
  c = CutCommandLine("  P.TAV");
  EXPECT_EQ(*c.programFile, "  P.TAV");
  EXPECT_TRUE(c.optionWords.empty());
}

TEST(SplitShellWords, BlanksSeparateAndQuotesGroup) {
  EXPECT_EQ(SplitShellWords("  a \"b c\"  d\"e f\" \"\""), (Strings{"a", "b c", "de f", ""}));
}

TEST(NormaliseProgramText, RemovesCrAndBelTurnsTabsAndEndsWithLf) {
  EXPECT_EQ(NormaliseProgramText(""), "\n");
  EXPECT_EQ(NormaliseProgramText("A\r\r\nB"), "A\nB\n");
  EXPECT_EQ(NormaliseProgramText("RE\aM\tx"), "REM x\n");
  EXPECT_EQ(NormaliseProgramText(std::string("Echo a\0Echo b", 13)), "Echo a\n");
}

TEST(ExpandReferences, ReplacesSetVariablesAndKeepsTheRest) {
  ::setenv("TAV32_T_A", "alpha", 1);
  ::setenv("TAV32_T_PCT", "50%", 1);
  ::unsetenv("TAV32_T_UNSET");
  std::string out;
  ASSERT_TRUE(ExpandReferences("x %TAV32_T_A% %TAV32_T_UNSET% y", out));
  EXPECT_EQ(out, "x alpha %TAV32_T_UNSET% y");
  ASSERT_TRUE(ExpandReferences("; 50%% done", out));
  EXPECT_EQ(out, "; 50% done");
  // A value is never searched again.
  ASSERT_TRUE(ExpandReferences("%TAV32_T_PCT%%TAV32_T_A%", out));
  EXPECT_EQ(out, "50%alpha");
  EXPECT_FALSE(ExpandReferences("; 50% done", out));
  EXPECT_FALSE(ExpandReferences("%TAV32_T_UNSET%B%", out));
  // A "%" at the end of a line pairs with one on a later line.
  ASSERT_TRUE(ExpandReferences("a %\nb % c", out));
  EXPECT_EQ(out, "a %\nb % c");
}

// A check learns what the expansion left as written: the references to
// unset variables and the "%" without a partner, with the text after it kept.
TEST(ExpandReferences, NotesWhatItLeavesAsWritten) {
  ::setenv("TAV32_T_A", "alpha", 1);
  ::unsetenv("TAV32_T_UNSET");
  std::string out;
  ExpansionNotes notes;
  ASSERT_TRUE(ExpandReferences("%TAV32_T_A% %TAV32_T_UNSET% %% %TAV32_T_UNSET%", out, &notes));
  EXPECT_EQ(out, "alpha %TAV32_T_UNSET% % %TAV32_T_UNSET%");
  EXPECT_EQ(notes.unsetReferences, (std::vector<size_t>{6, 24}));
  EXPECT_EQ(notes.unpaired, std::string::npos);
  notes = ExpansionNotes();
  EXPECT_FALSE(ExpandReferences("%TAV32_T_A%\n50% done", out, &notes));
  EXPECT_EQ(out, "alpha\n50% done");
  EXPECT_EQ(notes.unpaired, 8u);
  // Paired with the next "%", the lone one hides the reference after it and
  // the last "%" is the one without a partner.
  notes = ExpansionNotes();
  EXPECT_FALSE(ExpandReferences("50% done %TAV32_T_A%", out, &notes));
  EXPECT_EQ(out, "50% done %TAV32_T_A%");
  EXPECT_EQ(notes.unsetReferences, (std::vector<size_t>{2}));
  EXPECT_EQ(notes.unpaired, 19u);
}

// With CHECK anywhere on the line, DEBUG creates no debug log (not even one
// given before it) and an unknown word shows no message box.
TEST(ReadOptions, CheckMakesDebugLeaveTheDebugLogAlone) {
  test::TempDir dir;
  ::setenv("WINDIR", dir.path().c_str(), 1);
  test::Machine m;
  ASSERT_TRUE(ReadOptions(m.st, {"DEBUG", "BOGUS", "checking"}));
  EXPECT_TRUE(m.st.options.check && m.st.options.debug);
  EXPECT_FALSE(std::filesystem::exists(dir.file("DEBUGLOG.TAV")));
  EXPECT_EQ(m.st.errorCode, 12);
  EXPECT_TRUE(m.ui.boxes.empty());
  EXPECT_FALSE(AsksForCheck({"DEBUG", "LOG CHECK.LOG"}));
  ::unsetenv("WINDIR");
}

TEST(ReadOptions, PrefixesInTableOrderAndLogDeletesItsFile) {
  test::TempDir dir;
  test::WriteFile(dir.file("old.log"), "old");
  test::Machine m;
  m.st.lineNumber = 0;
  ASSERT_TRUE(ReadOptions(m.st, {"NOABORTX", "trace", "LOG " + dir.file("old.log"), "Outputs", "LOG", "quiet"}));
  EXPECT_TRUE(m.st.options.noAbort && m.st.options.trace && m.st.options.output && m.st.options.quiet);
  EXPECT_TRUE(m.st.options.log);
  EXPECT_EQ(m.st.options.logPath, dir.file("old.log"));
  // The old file is gone; the new one holds only the report of "LOG".
  EXPECT_EQ(test::ReadFile(dir.file("old.log")), "\r\nTAV32 Error in Line 0: Unknown option error.\r\n");
  EXPECT_EQ(m.st.errorCode, 12);
  EXPECT_EQ(m.ui.boxes, (Strings{"TAV32 1.21 Error: Unknown option error"}));
}

// On Windows the Windows directory is the system's and cannot be pointed
// elsewhere.
#ifndef _WIN32
TEST(ReadOptions, DebugLogThatCannotBeCreatedStopsTheStartUp) {
  test::TempDir dir;
  test::WriteFile(dir.file("file"), "");
  ::setenv("WINDIR", dir.file("file/sub").c_str(), 1);
  test::Machine m;
  EXPECT_FALSE(ReadOptions(m.st, {"DEBUG"}));
  EXPECT_EQ(m.st.errorCode, 3);
  EXPECT_EQ(m.ui.boxes, (Strings{"TAV32 1.21 Error: File access error"}));
  ::unsetenv("WINDIR");
}
#endif

}  // namespace
}  // namespace tav
