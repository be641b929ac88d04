// The run loop and the simple statements, on programs held in memory.
#include <gtest/gtest.h>

#include <unistd.h>

#include "core/messages.h"
#include "run/run.h"
#include "test_support.h"

namespace tav {
namespace {

// Runs text and returns what the output window showed after the banner.
struct Ran {
  explicit Ran(const std::string& text) : m(text) {
    exitCode = RunProgram(m.st);
    size_t banner = m.ui.output.find("build\n");
    shown = banner == std::string::npos ? m.ui.output : m.ui.output.substr(banner + 6);
  }
  test::Machine m;
  int exitCode;
  std::string shown;
};

TEST(RunProgram, PassesOverLabelsCommentsAndEmptyLines) {
  Ran r("C:\nEcho Done:\n; x\nREM y\nrem z\nREM\n   \nEcho Done: now");
  EXPECT_NE(r.shown.find("Done: now\n"), std::string::npos);
  // "REM" alone is no comment: it runs as an external command and fails.
  EXPECT_NE(r.shown.find("Line 6: File access error"), std::string::npos);
}

TEST(RunProgram, AFailureDoesNotStopTheRunAndSetsTheExitCode) {
  Ran r("Echo a\nPause x\nEcho b");
  EXPECT_EQ(r.shown, "a\n\n" + std::string(1, kErrorMarker) + "TAV32 Error in Line 2: Command construction error.\nb\n");
  EXPECT_EQ(r.exitCode, 2);
}

// "Goto done:" would itself be a label line; a blank after it makes it a
// statement whose target carries the colon.
TEST(RunProgram, GotoLoopsAndFindsTheFirstLabelOfAName) {
  Ran r("Goto END\nEcho skipped\nend:\nEcho first\nGoto done: \nEND:\nEcho second\nDONE:\nEcho last");
  EXPECT_EQ(r.shown, "first\nlast\n");
}

TEST(RunProgram, GotoToAMissingLabelGoesOnWithTheNextLine) {
  Ran r("Goto nowhere\nEcho next");
  EXPECT_EQ(r.shown, "next\n");
  EXPECT_EQ(r.exitCode, 0);
}

TEST(RunProgram, GotoLabelMatchNeedsTheWholeName) {
  Ran r("Goto Sta\nEcho a\nStart:\nEcho b\nGoto Start:x\nEcho c");
  EXPECT_EQ(r.shown, "a\nb\nc\n");
}

TEST(RunProgram, DebugEchoesStatementsInBlueAndTracePrompts) {
  test::Machine m("Echo hi");
  m.st.programTitle = "t.tav";
  m.st.options.debug = true;
  m.st.options.trace = true;
  RunProgram(m.st);
  std::string blue(1, kInfoMarker);
  EXPECT_NE(m.ui.output.find(blue + "t.tav - Line 1\n" + blue + "Processing command \"Echo hi\".\n" + blue +
                             "TRACE: Press any key to continue...\nhi\n"),
            std::string::npos);
  EXPECT_EQ(m.ui.keyWaits, 1);
}

TEST(RunProgram, StopRequestEndsTheRunBeforeTheNextLine) {
  test::Machine m("Echo a\nEcho b");
  m.st.stopRequested = true;
  RunProgram(m.st);
  EXPECT_EQ(m.ui.output.find("a\n"), std::string::npos);
}

TEST(RunProgram, AbortButtonIsEnabledUnlessNoAbort) {
  test::Machine m("");
  RunProgram(m.st);
  EXPECT_TRUE(m.ui.enabled[113]);
  test::Machine n("");
  n.st.options.noAbort = true;
  RunProgram(n.st);
  EXPECT_EQ(n.ui.enabled.count(113), 0u);
}

TEST(ChDir, ChangesTheDirectoryAndFailsQuietly) {
  test::TempDir dir;
  char saved[4096];
  ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
  Ran r("CD " + dir.path() + "  \nCD..\nCD /no/such/dir\nEcho x");
  EXPECT_EQ(std::filesystem::current_path().string(), dir.path());
  EXPECT_EQ(r.exitCode, 0);
  ASSERT_EQ(::chdir(saved), 0);
}

}  // namespace
}  // namespace tav

namespace tav {
namespace {

TEST(Goto, TargetWithColonMatchesTheEarlierOfNameAndNameWithColon) {
  // "Goto x: " names both the label "x:" (with its colon) and the label
  // "x::" (name "x:"); the one higher up wins.
  Ran first("Goto x: \nx::\nEcho one\nGoto end \nx:\nEcho two\nend:");
  EXPECT_EQ(first.shown, "one\n");
  Ran second("Goto x: \nx:\nEcho one\nGoto end \nx::\nEcho two\nend:");
  EXPECT_EQ(second.shown, "one\n");
  Ran third("Goto X:: \nx:\nEcho one\nx::\nEcho two");
  EXPECT_EQ(third.shown, "two\n");
}

}  // namespace
}  // namespace tav
