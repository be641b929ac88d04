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

// In UTF-8 a character takes its display columns, whatever its bytes, and
// is never split; in a single-byte code page every byte is one character.
TEST(WrapForOutput, CountsColumnsOfCharactersAndNeverSplitsOne) {
  auto times = [](const std::string& s, int n) {
    std::string out;
    while (n-- > 0) out += s;
    return out;
  };
  const std::string e = "\xC3\xA9", kanji = "\xE6\x97\xA5", accent = "e\xCC\x81";
  const TextEncoding utf8 = TextEncoding::Utf8;
  EXPECT_EQ(WrapForOutput(kRed + times(e, 90), utf8), kRed + times(e, 80) + "\n" + kRed + times(e, 10));
  EXPECT_EQ(WrapForOutput("x" + times(kanji, 40), utf8), "x" + times(kanji, 39) + "\n" + kanji);
  EXPECT_EQ(WrapForOutput(times(accent, 81), utf8), times(accent, 80) + "\n" + accent);
  EXPECT_EQ(WrapForOutput(times(e, 30) + " " + times(e, 60), utf8), times(e, 30) + "\n" + times(e, 60));
  // A character cut short by the end of the piece is kept whole.
  EXPECT_EQ(WrapForOutput(std::string(79, 'x') + "\xE6\x97", utf8), std::string(79, 'x') + "\xE6\x97\n");
  EXPECT_EQ(WrapForOutput(times(e, 50), TextEncoding::SingleByte), times(e, 40) + "\n" + times(e, 10));
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
