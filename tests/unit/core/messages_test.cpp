// The message routine, its wrapping for the output window and the error report.
#include <gtest/gtest.h>

#include "core/messages.h"
#include "test_support.h"

namespace tav {
namespace {

const std::string kRed(1, kErrorMarker);
const std::string kBlue(1, kInfoMarker);

TEST(WrapForOutput, ShortLinesStayAsTheyAre) {
  EXPECT_EQ(WrapForOutput("abc\ndef"), "abc\ndef");
  EXPECT_EQ(WrapForOutput(std::string(79, 'x') + "\n"), std::string(79, 'x') + "\n");
}

TEST(WrapForOutput, MarkedTextWithoutBlanksIsCutAt80AndKeepsItsMarker) {
  std::string text = kRed + std::string(100, 'x');
  EXPECT_EQ(WrapForOutput(text), kRed + std::string(80, 'x') + "\n" + kRed + std::string(20, 'x'));
}

TEST(WrapForOutput, BreaksAtTheLastBlankOrAtOffset80) {
  std::string line(100, 'x');
  line[40] = ' ';
  line[85] = ' ';
  EXPECT_EQ(WrapForOutput(line), line.substr(0, 40) + "\n" + line.substr(41));
  std::string at80(100, 'y');
  at80[80] = ' ';
  at80[10] = ' ';
  EXPECT_EQ(WrapForOutput(at80), at80.substr(0, 80) + "\n" + at80.substr(81));
  // A blank at offset 0 is no break point.
  std::string lead = " " + std::string(99, 'z');
  EXPECT_EQ(WrapForOutput(lead), lead.substr(0, 80) + "\n" + lead.substr(80));
}

TEST(WrapForOutput, UnmarkedTextKeepsTheMarkersOfItsLines) {
  std::string text = "\n" + kRed + std::string(90, 'e');
  EXPECT_EQ(WrapForOutput(text), "\n" + kRed + std::string(79, 'e') + "\n" + std::string(11, 'e'));
}

TEST(PrintMessage, LogFileGetsCrLfWithoutMarkersAndWindowGetsTheText) {
  test::TempDir dir;
  test::Machine m;
  m.st.options.log = true;
  m.st.options.logPath = dir.file("run.log");
  PrintMessage(m.st, "Hello\r\n");
  PrintMessage(m.st, kBlue + "one\n" + kRed + "two\a\n");
  EXPECT_EQ(test::ReadFile(dir.file("run.log")), "Hello\r\none\r\ntwo\r\n");
  EXPECT_EQ(m.ui.output, "Hello\n" + kBlue + "one\n" + kRed + "two\n");
}

TEST(PrintMessage, NothingWithoutLogOrOutput) {
  test::Machine m;
  m.st.options.output = false;
  PrintMessage(m.st, "x\n");
  EXPECT_EQ(m.ui.output, "");
}

TEST(PrintMessage, UnopenableLogFallsBackToTheDebugLog) {
  test::TempDir dir;
  test::Machine m;
  m.st.options.log = true;
  m.st.options.logPath = "";
  m.st.options.debug = true;
  m.st.debugLog = platform::OpenFile(dir.file("debug"), platform::OpenMode::CreateTruncate);
  PrintMessage(m.st, kRed + "lost\r\n");
  m.st.debugLog.Close();
  EXPECT_EQ(test::ReadFile(dir.file("debug")), kRed + "lost\n");
}

TEST(ReportError, SetsTheCodeAndReportsTheLine) {
  test::TempDir dir;
  test::Machine m;
  m.st.lineNumber = 12;
  m.st.options.debug = true;
  m.st.debugLog = platform::OpenFile(dir.file("debug"), platform::OpenMode::CreateTruncate);
  ReportError(m.st, kErrSyntax);
  m.st.debugLog.Close();
  EXPECT_EQ(m.st.errorCode, 4);
  EXPECT_EQ(m.ui.output, "\n" + kRed + "TAV32 Error in Line 12: Syntax error.\n");
  EXPECT_EQ(test::ReadFile(dir.file("debug")), "TAV32 Error in Line 12: Syntax error.\r\n");
}

TEST(ErrorText, CoversTheTable) {
  EXPECT_STREQ(ErrorText(0), "Unknown or no error");
  EXPECT_STREQ(ErrorText(8), "Too much nestled \"IF\"'s error (max 4096)");
  EXPECT_STREQ(ErrorText(17), "User abort");
}

}  // namespace
}  // namespace tav
