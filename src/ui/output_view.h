// The output window's text and view, without any drawing: every message text
// ever received (never trimmed, so the user can scroll back through all of
// it), where its lines start, which lines and columns the window shows, where
// the caret stands, and which pieces of newly arrived text are drawn at once.
// Sizes are in pixels of a fixed-pitch font; rows and columns count from 0.
// Integer divisions truncate.
#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace tav {

enum class OutputColour { Black, Red, Blue };

// A piece of new text to draw directly while the view follows the end.
struct OutputSegment {
  int line = 0;    // the line it belongs to
  int row = 0;     // its row in the view at the time: line - top line then
  int column = 0;  // the drawn column of its first character
  // Without marker and LF; points into the stored text and stays valid until
  // the next Append.
  std::string_view text;
  OutputColour colour = OutputColour::Black;
  // Lines the view moved up just before this piece (a new line at the end
  // pushed the top line out): the window's pixels move by as many rows.
  int linesScrolled = 0;
};

struct AppendResult {
  bool stored = false;  // false: no memory for the text, which was dropped
  std::vector<OutputSegment> drawn;
};

// Turns the pieces of one message into one move of the window's pixels:
// returns the lines the view moved in all, and gives each piece the row it
// ends up in after the moves that follow it, dropping pieces moved out of
// view. Drawing them there after the one move gives the same picture as
// moving and drawing piece by piece, with one move per message instead of
// one per line.
int CombineMoves(std::vector<OutputSegment>& drawn);

struct OutputLine {
  std::string_view text;  // without marker and LF
  OutputColour colour = OutputColour::Black;
};

// Lines first..end-1.
struct LineRange {
  int first = 0;
  int end = 0;
};

enum class ScrollRequest { None, Back, Forward, PageBack, PageForward, ToStart, ToEnd, ToPosition };

class OutputView {
 public:
  static constexpr int kColumns = 80;  // the text's width; longer lines are cut
  static constexpr int kRows = 25;     // the window's first height

  void SetCharSize(int charWidth, int lineHeight);
  void Resize(int clientWidth, int clientHeight);
  // Stores text (LF line ends, a line possibly starting with a marker byte)
  // and returns the pieces to draw at once. Never throws: without memory for
  // the text nothing changes and nothing is drawn.
  AppendResult Append(std::string_view text) noexcept;
  // Moves the view as asked, kept within its range; returns the move made.
  int ScrollLines(ScrollRequest request, int position = 0);
  int ScrollColumns(ScrollRequest request, int position = 0);
  // The lines to draw for a repaint of the pixel rows top..bottom.
  LineRange LinesToPaint(int top, int bottom) const;
  OutputLine Line(int index) const;

  bool HasText() const { return hasText_; }
  int LineCount() const { return lineCount_; }
  int LastLineLength() const { return lastLineLength_; }
  int TopLine() const { return topLine_; }
  int MaxTopLine() const { return maxTopLine_; }
  int LeftColumn() const { return leftColumn_; }
  int MaxLeftColumn() const { return maxLeftColumn_; }
  int CharWidth() const { return charWidth_; }
  int LineHeight() const { return lineHeight_; }
  int VisibleRows() const { return clientHeight_ / lineHeight_; }
  int VisibleColumns() const { return clientWidth_ / charWidth_; }
  // The caret in client pixels: just after the last character drawn.
  int CaretX() const { return (caretColumn_ - leftColumn_) * charWidth_; }
  int CaretY() const { return (caretLine_ - topLine_) * lineHeight_; }

  // The most bytes of text held; text beyond it is treated as memory running
  // out. Lets tests reach that case.
  void LimitTextSize(std::size_t bytes) { textLimit_ = bytes; }

 private:
  bool Follows() const { return topLine_ == maxTopLine_; }
  int ComputeMaxTopLine() const;
  int ComputeMaxLeftColumn() const;
  void Reserve(std::size_t textSize, std::size_t newLines, AppendResult& result);
  bool StartsWithMarker(int line) const;
  OutputColour ColourOf(int line) const;
  int DrawnLength() const;
  void WalkSegment(std::size_t start, std::size_t stop, AppendResult& result);

  std::string text_;
  std::vector<std::size_t> lineStarts_{0};  // where each line begins in text_
  std::size_t textLimit_ = std::numeric_limits<std::size_t>::max();
  bool hasText_ = false;
  int lineCount_ = 0;       // LFs received: the index of the last line
  int lastLineLength_ = 0;  // bytes on the last line, a marker included
  int charWidth_ = 1;
  int lineHeight_ = 1;
  int clientWidth_ = 0;
  int clientHeight_ = 0;
  int topLine_ = 0;
  int maxTopLine_ = 0;
  int leftColumn_ = 0;
  int maxLeftColumn_ = 0;
  int caretLine_ = 0;
  int caretColumn_ = 0;
};

}  // namespace tav
