// The terminal's status area and output pane: clock arithmetic, what the rows
// show, cutting to the width, and how message lines are coloured.
#include <gtest/gtest.h>

#include "core/messages.h"
#include "core/user_interface.h"
#include "platform/terminal.h"
#include "ui/terminal/output_pane.h"
#include "ui/terminal/status_area.h"

namespace tav {
namespace {

std::string Joined(const platform::TerminalRow& row) {
  std::string out;
  for (const platform::TerminalSpan& span : row) out += span.text;
  return out;
}

TEST(ElapsedClock, DropsFractionsOfASecondAtEveryTick) {
  ElapsedClock clock;
  clock.Tick(5000);
  EXPECT_EQ(clock.Text(), "00:00:00");
  clock.Tick(5000 + 59600);
  EXPECT_EQ(clock.Text(), "00:00:59");
  // Ticks of 1.4 s add one second each: the clock runs slow.
  for (int i = 1; i <= 5; ++i) clock.Tick(5000 + 59600 + i * 1400);
  EXPECT_EQ(clock.Text(), "00:01:04");
}

TEST(ElapsedClock, CarriesIntoMinutesAndHours) {
  ElapsedClock clock;
  clock.Tick(1);
  clock.Tick(1 + (2 * 3600 + 59 * 60 + 59) * 1000LL);
  EXPECT_EQ(clock.Text(), "02:59:59");
  clock.Tick(1 + (3 * 3600) * 1000LL);
  EXPECT_EQ(clock.Text(), "03:00:00");
}

TEST(StatusArea, ShowsEveryControlInItsPlace) {
  StatusArea area;
  area.texts[kStatusLine] = "Processing command Echo.\r\n";
  area.texts[kLineNumber] = "12";
  area.texts[kProgramFile] = "update.tav";
  area.texts[kLeftDirectory] = "/srv/a";
  area.texts[kRightDirectory] = "/opt/b";
  area.texts[kElapsedTime] = "00:01:02";
  std::vector<platform::TerminalRow> rows = area.Rows(200);
  ASSERT_EQ(rows.size(), static_cast<size_t>(StatusArea::kRows));
  // The line end of the status text is not shown.
  EXPECT_EQ(Joined(rows[0]), "Current Status: Processing command Echo.");
  EXPECT_EQ(Joined(rows[1]), "SynchronizeDir: Left directory:  /srv/a");
  EXPECT_EQ(Joined(rows[2]), "                Right directory: /opt/b");
  EXPECT_EQ(Joined(rows[3]), "Time elapsed: 00:01:02  Line: 12  Program File: update.tav  Abort: Ctrl+C");
}

TEST(StatusArea, LabelsAreDimUntilEnabled) {
  StatusArea area;
  EXPECT_EQ(area.Text(kStatusLine), "Preparing Operation");
  std::vector<platform::TerminalRow> rows = area.Rows(200);
  EXPECT_TRUE(rows[1][0].dim);  // SynchronizeDir:
  EXPECT_TRUE(rows[1][1].dim);  // Left directory:
  EXPECT_TRUE(rows[2][1].dim);  // Right directory:
  EXPECT_TRUE(rows[3].back().dim);  // Abort
  for (int control : {kSyncLabel, kLeftLabel, kRightLabel, kAbortButton}) area.enabled[control] = true;
  rows = area.Rows(200);
  EXPECT_FALSE(rows[1][0].dim);
  EXPECT_FALSE(rows[1][1].dim);
  EXPECT_FALSE(rows[2][1].dim);
  EXPECT_FALSE(rows[3].back().dim);
}

TEST(StatusArea, RowsAreCutToTheWidthNeverWrapped) {
  StatusArea area;
  area.texts[kLeftDirectory] = "/" + std::string(300, 'd');
  area.texts[kStatusLine] = "caf\xC3\xA9 au lait";
  for (const platform::TerminalRow& row : area.Rows(20)) {
    EXPECT_LE(TextWidth(Joined(row)), 20) << Joined(row);
  }
  // "Current Status: " is 16 columns; the e with accent is one column and
  // is kept whole.
  EXPECT_EQ(Joined(area.Rows(20)[0]), "Current Status: caf\xC3\xA9");
  EXPECT_EQ(Joined(area.Rows(19)[0]), "Current Status: caf");
  EXPECT_TRUE(area.Rows(0)[0].empty());
}

TEST(StatusArea, WideCharactersTakeTwoColumnsAndAreNeverSplit) {
  // Two ideographs of three bytes each, two columns each.
  const std::string kanji = "\xE6\x97\xA5\xE6\x9C\xAC";
  EXPECT_EQ(TextWidth(kanji), 4);
  EXPECT_EQ(CutToWidth(kanji, 3), "\xE6\x97\xA5");
  EXPECT_EQ(CutToWidth(kanji, 1), "");
  // A combining accent adds no column; a stray byte counts as one.
  EXPECT_EQ(TextWidth("e\xCC\x81x"), 2);
  EXPECT_EQ(TextWidth("\xE9t\xE9"), 3);
  EXPECT_EQ(CutToWidth("\xE9t\xE9", 2), "\xE9t");
  StatusArea area;
  area.texts[kLeftDirectory] = "/" + kanji + kanji + kanji;
  for (const platform::TerminalRow& row : area.Rows(40)) EXPECT_LE(TextWidth(Joined(row)), 40) << Joined(row);
}

TEST(StatusArea, EscapeSequencesInTextsNeverReachTheTerminal) {
  StatusArea area;
  area.texts[kLeftDirectory] = "/tmp/\x1b]2;owned\x07x\x1b[2J\ty";
  std::string row = Joined(area.Rows(200)[1]);
  EXPECT_EQ(row.find('\x1b'), std::string::npos);
  EXPECT_EQ(row.find('\x07'), std::string::npos);
  EXPECT_NE(row.find("/tmp/]2;ownedx[2J y"), std::string::npos);
  // C1 controls that start sequences are dropped too; the same byte inside
  // a UTF-8 character (U+00DB) is part of it, in a single-byte code page it
  // is CSI.
  EXPECT_EQ(CleanForTerminal("a\x9B" "2J\x9D" "2;t\x90x\xC3\x9B", TextEncoding::Utf8), "a2J2;tx\xC3\x9B");
  EXPECT_EQ(CleanForTerminal("a\x9B" "2J\xC3\x9B", TextEncoding::SingleByte), "a2J\xC3");
}

TEST(StatusArea, TheQuestionReplacesTheDirectories) {
  StatusArea area;
  area.texts[kLeftDirectory] = "/srv/a";
  area.question = "Are you sure?";
  std::vector<platform::TerminalRow> rows = area.Rows(80);
  ASSERT_EQ(rows.size(), static_cast<size_t>(StatusArea::kRows));
  EXPECT_EQ(Joined(rows[1]), "Are you sure?");
  EXPECT_EQ(Joined(rows[2]), "");
}

const std::string kRed(platform::ColourSequence(platform::TextColour::Red));
const std::string kBlue(platform::ColourSequence(platform::TextColour::Blue));
const std::string kPlain(platform::ColourSequence(platform::TextColour::Normal));

TEST(OutputPane, WithoutATerminalTheTextPassesUnchangedButForMarkers) {
  OutputPane pane(false, false);
  EXPECT_EQ(pane.Render(std::string(1, kErrorMarker) + "bad\nplain \x1b[2J\n"), "bad\nplain \x1b[2J\n");
}

TEST(OutputPane, MarkedLinesAreColouredAlsoWhenSplitOverPieces) {
  OutputPane pane(true, true);
  EXPECT_EQ(pane.Render(std::string(1, kErrorMarker) + "ab"), kRed + "ab" + kPlain);
  // The rest of the line keeps its colour; the next line has its own.
  EXPECT_EQ(pane.Render("c\n" + std::string(1, kInfoMarker) + "i\nx\n"),
            kRed + "c" + kPlain + "\n" + kBlue + "i" + kPlain + "\nx\n");
}

TEST(OutputPane, ControlCharactersAreShownNotObeyedOnATerminal) {
  OutputPane pane(false, true);
  EXPECT_EQ(pane.Render("a\x1b[2Jb\tc\x7f\x08\n"), "a^[[2Jb\tc^?^H\n");
}

// 0x9B is CSI where it is no part of a UTF-8 character (U+00DB ends in it,
// also split over pieces), and always in a single-byte code page.
TEST(OutputPane, C1ControlsAreShownEscapedButNotInsideUtf8Characters) {
  OutputPane utf8(false, true, TextEncoding::Utf8), single(false, true, TextEncoding::SingleByte);
  EXPECT_EQ(utf8.Render("a\x9B" "2Jb\x9D" "0;t\n"), "aM-^[2JbM-^]0;t\n");
  EXPECT_EQ(utf8.Render("\xC3\x9B\xE6\x97") + utf8.Render("\xA5\x9B"), "\xC3\x9B\xE6\x97\xA5M-^[");
  EXPECT_EQ(single.Render("\xC3\x9B\xE9"), "\xC3M-^[\xE9");
}

}  // namespace
}  // namespace tav
