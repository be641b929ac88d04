// The output window's model: lines pieced together from several messages,
// following the end, marker colours and the columns of marked lines, the
// scroll ranges of small windows, repaint ranges, and a failed growth.
#include <gtest/gtest.h>

#include <string>

#include "ui/output_view.h"

namespace tav {
namespace {

constexpr int kCharWidth = 8;
constexpr int kLineHeight = 16;

OutputView ViewOf(int columns, int rows) {
  OutputView view;
  view.SetCharSize(kCharWidth, kLineHeight);
  view.Resize(columns * kCharWidth, rows * kLineHeight);
  return view;
}

void AppendLines(OutputView& view, int from, int to) {
  for (int i = from; i < to; ++i) view.Append("line " + std::to_string(i) + "\n");
}

TEST(OutputView, MessagesWithoutLineFeedContinueTheLine) {
  OutputView view = ViewOf(80, 25);
  EXPECT_FALSE(view.HasText());
  view.Append("abc");
  AppendResult second = view.Append("xyz\n");
  EXPECT_EQ(view.LineCount(), 1);
  EXPECT_EQ(view.Line(0).text, "abcxyz");
  EXPECT_EQ(view.Line(1).text, "");
  ASSERT_EQ(second.drawn.size(), 1u);
  EXPECT_EQ(second.drawn[0].column, 3);
  EXPECT_EQ(second.drawn[0].text, "xyz");
  EXPECT_EQ(view.CaretX(), 6 * kCharWidth);
}

TEST(OutputView, FollowsTheEndUntilScrolledUp) {
  OutputView view = ViewOf(80, 25);
  int scrolled = 0;
  for (int i = 0; i < 30; ++i) {
    AppendResult result = view.Append("line " + std::to_string(i) + "\n");
    ASSERT_EQ(result.drawn.size(), 1u);
    scrolled += result.drawn[0].linesScrolled;
    // Every line is drawn at once; from the 26th on at the last row.
    EXPECT_EQ(result.drawn[0].row, std::min(i, 24));
  }
  EXPECT_EQ(scrolled, 5);
  EXPECT_EQ(view.TopLine(), 5);
  EXPECT_EQ(view.Line(view.TopLine() + 24).text, "line 29");

  EXPECT_EQ(view.ScrollLines(ScrollRequest::Back), -1);
  EXPECT_EQ(view.CaretY(), 25 * kLineHeight);
  AppendResult hidden = view.Append("line 30\n");
  EXPECT_TRUE(hidden.stored);
  EXPECT_TRUE(hidden.drawn.empty());
  EXPECT_EQ(view.TopLine(), 4);
  EXPECT_EQ(view.MaxTopLine(), 6);

  // Back at the bottom the view follows again.
  EXPECT_EQ(view.ScrollLines(ScrollRequest::ToEnd), 2);
  AppendResult shown = view.Append("line 31\n");
  ASSERT_EQ(shown.drawn.size(), 1u);
  EXPECT_EQ(shown.drawn[0].linesScrolled, 1);
  EXPECT_EQ(shown.drawn[0].row, 24);
}

TEST(OutputView, AMessageOfManyLinesMovesTheViewOnce) {
  OutputView view = ViewOf(80, 3);
  view.Append("a\nb\n");
  AppendResult result = view.Append("c\nd\ne\nf\ng");
  // Each piece is drawn at the last row; all but c first move the view.
  EXPECT_EQ(CombineMoves(result.drawn), 4);
  ASSERT_EQ(result.drawn.size(), 3u);
  EXPECT_EQ(result.drawn[0].text, "e");
  EXPECT_EQ(result.drawn[0].row, 0);
  EXPECT_EQ(result.drawn[2].text, "g");
  EXPECT_EQ(result.drawn[2].row, 2);
  EXPECT_EQ(view.TopLine(), 4);
}

TEST(OutputView, ResizingAFollowingViewKeepsItFollowing) {
  OutputView view = ViewOf(80, 25);
  AppendLines(view, 0, 30);
  view.Resize(60 * kCharWidth, 25 * kLineHeight);
  AppendResult result = view.Append("more");
  ASSERT_EQ(result.drawn.size(), 1u);
  // The resize already moved the top line to the end: no second move.
  EXPECT_EQ(result.drawn[0].linesScrolled, 0);
  EXPECT_EQ(result.drawn[0].row, 24);
}

TEST(OutputView, MarkersColourTheirLinesAndAreNotDrawn) {
  OutputView view = ViewOf(80, 25);
  AppendResult result = view.Append("\xFF" "failed\n\xFE" "note\nplain\n");
  ASSERT_EQ(result.drawn.size(), 3u);
  EXPECT_EQ(result.drawn[0].text, "failed");
  EXPECT_EQ(result.drawn[0].colour, OutputColour::Red);
  EXPECT_EQ(result.drawn[1].text, "note");
  EXPECT_EQ(result.drawn[1].colour, OutputColour::Blue);
  EXPECT_EQ(result.drawn[2].colour, OutputColour::Black);
  EXPECT_EQ(view.Line(0).text, "failed");
  EXPECT_EQ(view.Line(0).colour, OutputColour::Red);
  EXPECT_EQ(view.Line(1).colour, OutputColour::Blue);
}

TEST(OutputView, AMarkedLineContinuesAtTheColumnARepaintDraws) {
  OutputView view = ViewOf(80, 25);
  view.Append("\xFF" "ab");
  EXPECT_EQ(view.LastLineLength(), 3);
  EXPECT_EQ(view.CaretX(), 2 * kCharWidth);
  AppendResult rest = view.Append("cd");
  ASSERT_EQ(rest.drawn.size(), 1u);
  EXPECT_EQ(rest.drawn[0].column, 2);
  EXPECT_EQ(rest.drawn[0].text, "cd");
  EXPECT_EQ(rest.drawn[0].colour, OutputColour::Red);
  EXPECT_EQ(view.Line(0).text, "abcd");
  EXPECT_EQ(view.CaretX(), 4 * kCharWidth);
}

TEST(OutputView, PagesMoveAtLeastOneLineOrColumn) {
  OutputView view;
  view.SetCharSize(kCharWidth, kLineHeight);
  view.Resize(kCharWidth, kLineHeight - 1);  // one column, no whole line
  AppendLines(view, 0, 10);
  view.ScrollLines(ScrollRequest::ToStart);
  EXPECT_EQ(view.ScrollLines(ScrollRequest::PageForward), 1);
  EXPECT_EQ(view.ScrollLines(ScrollRequest::PageBack), -1);
  EXPECT_EQ(view.ScrollColumns(ScrollRequest::PageForward), 1);
  EXPECT_EQ(view.ScrollColumns(ScrollRequest::PageBack), -1);
}

TEST(OutputView, ANarrowWindowScrollsToColumnEighty) {
  OutputView view = ViewOf(20, 25);
  EXPECT_EQ(view.MaxLeftColumn(), 60);
  EXPECT_EQ(view.ScrollColumns(ScrollRequest::PageForward), 19);
  EXPECT_EQ(view.ScrollColumns(ScrollRequest::ToPosition, 100), 41);
  EXPECT_EQ(view.LeftColumn() + view.VisibleColumns(), 80);
  EXPECT_EQ(view.ScrollColumns(ScrollRequest::Forward), 0);
  view.Append("abc");
  EXPECT_EQ(view.CaretX(), (3 - 60) * kCharWidth);

  view.Resize(90 * kCharWidth, 25 * kLineHeight);
  EXPECT_EQ(view.MaxLeftColumn(), 0);
  EXPECT_EQ(view.LeftColumn(), 0);
  EXPECT_EQ(view.CaretX(), 3 * kCharWidth);
}

TEST(OutputView, RepaintCoversTheRowsAskedForAndOneMoreEachSide) {
  OutputView view = ViewOf(80, 25);
  EXPECT_EQ(view.LinesToPaint(0, 25 * kLineHeight).end, 0);  // nothing yet
  AppendLines(view, 0, 30);
  LineRange all = view.LinesToPaint(0, 25 * kLineHeight);
  EXPECT_EQ(all.first, 4);
  EXPECT_EQ(all.end, 31);
  LineRange strip = view.LinesToPaint(24 * kLineHeight, 25 * kLineHeight);
  EXPECT_EQ(strip.first, 28);
  EXPECT_EQ(strip.end, 31);
}

TEST(OutputView, AFailedGrowthDropsTheMessageAndKeepsTheText) {
  OutputView view = ViewOf(80, 25);
  view.LimitTextSize(12);
  view.Append("first\nab");
  AppendResult dropped = view.Append("cdef\n");
  EXPECT_FALSE(dropped.stored);
  EXPECT_TRUE(dropped.drawn.empty());
  EXPECT_EQ(view.LineCount(), 1);
  EXPECT_EQ(view.LastLineLength(), 2);
  EXPECT_EQ(view.Line(1).text, "ab");
  EXPECT_EQ(view.CaretX(), 2 * kCharWidth);

  AppendResult fits = view.Append("c\n");
  EXPECT_TRUE(fits.stored);
  EXPECT_EQ(view.Line(1).text, "abc");
  EXPECT_EQ(view.LineCount(), 2);
}

}  // namespace
}  // namespace tav
