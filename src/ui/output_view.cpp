#include "ui/output_view.h"

#include <algorithm>
#include <exception>

#include "core/messages.h"

namespace tav {

namespace {

int RequestedMove(ScrollRequest request, int position, int current, int maximum, int page) {
  switch (request) {
    case ScrollRequest::Back: return -1;
    case ScrollRequest::Forward: return 1;
    case ScrollRequest::PageBack: return -page;
    case ScrollRequest::PageForward: return page;
    case ScrollRequest::ToStart: return -current;
    case ScrollRequest::ToEnd: return maximum - current;
    case ScrollRequest::ToPosition: return position - current;
    case ScrollRequest::None: break;
  }
  return 0;
}

// Applies request to current within 0..maximum; returns the move made.
int MoveWithin(int& current, int maximum, ScrollRequest request, int position, int page) {
  int wanted = current + RequestedMove(request, position, current, maximum, page);
  int move = std::clamp(wanted, 0, maximum) - current;
  current += move;
  return move;
}

}  // namespace

int CombineMoves(std::vector<OutputSegment>& drawn) {
  int total = 0;
  for (const OutputSegment& segment : drawn) total += segment.linesScrolled;
  int later = total;
  for (OutputSegment& segment : drawn) {
    later -= segment.linesScrolled;
    segment.row -= later;
    segment.linesScrolled = 0;
  }
  std::erase_if(drawn, [](const OutputSegment& segment) { return segment.row < 0; });
  return total;
}

void OutputView::SetCharSize(int charWidth, int lineHeight) {
  charWidth_ = std::max(1, charWidth);
  lineHeight_ = std::max(1, lineHeight);
}

int OutputView::ComputeMaxTopLine() const { return std::max(0, lineCount_ - VisibleRows() + 1); }

int OutputView::ComputeMaxLeftColumn() const {
  int columns = VisibleColumns();
  return columns < kColumns ? kColumns - columns : 0;
}

// A view that follows the end keeps following: the top line goes to the new
// maximum instead of staying where it was. Otherwise a mere change of width
// would leave the top line one below a maximum recomputed from the line count
// and stop the view from following new text.
void OutputView::Resize(int clientWidth, int clientHeight) {
  bool follows = Follows();
  clientWidth_ = std::max(0, clientWidth);
  clientHeight_ = std::max(0, clientHeight);
  maxTopLine_ = ComputeMaxTopLine();
  topLine_ = follows ? maxTopLine_ : std::min(topLine_, maxTopLine_);
  maxLeftColumn_ = ComputeMaxLeftColumn();
  leftColumn_ = std::min(leftColumn_, maxLeftColumn_);
}

int OutputView::ScrollLines(ScrollRequest request, int position) {
  return MoveWithin(topLine_, maxTopLine_, request, position, std::max(1, VisibleRows()));
}

int OutputView::ScrollColumns(ScrollRequest request, int position) {
  return MoveWithin(leftColumn_, maxLeftColumn_, request, position, std::max(1, VisibleColumns() - 1));
}

bool OutputView::StartsWithMarker(int line) const {
  std::size_t start = lineStarts_[static_cast<std::size_t>(line)];
  return start < text_.size() && IsMarker(text_[start]);
}

OutputColour OutputView::ColourOf(int line) const {
  if (!StartsWithMarker(line)) return OutputColour::Black;
  return text_[lineStarts_[static_cast<std::size_t>(line)]] == kErrorMarker ? OutputColour::Red : OutputColour::Blue;
}

// The columns the last line takes on screen. Its marker is not drawn and so
// takes no column: counting it would put text that continues a marked line,
// and the caret after it, one column right of where a repaint draws it.
int OutputView::DrawnLength() const {
  if (lastLineLength_ == 0) return 0;
  return lastLineLength_ - (StartsWithMarker(lineCount_) ? 1 : 0);
}

// Everything the text needs is reserved before anything changes, so that a
// lack of memory drops the message whole and leaves the old text, the
// counters and the screen as they were.
void OutputView::Reserve(std::size_t textSize, std::size_t newLines, AppendResult& result) {
  std::size_t lines = lineStarts_.size() + newLines;
  if (textSize > textLimit_) throw std::bad_alloc();
  if (textSize > text_.capacity()) text_.reserve(std::max(textSize, text_.capacity() * 2));
  if (lines > lineStarts_.capacity()) lineStarts_.reserve(std::max(lines, lineStarts_.capacity() * 2));
  result.drawn.reserve(newLines + 1);
}

AppendResult OutputView::Append(std::string_view text) noexcept {
  AppendResult result;
  auto newLines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  try {
    Reserve(text_.size() + text.size(), newLines, result);
  } catch (const std::exception&) {
    result.drawn = {};
    return result;
  }
  std::size_t start = text_.size();
  text_.append(text);
  hasText_ = true;
  result.stored = true;
  while (start < text_.size()) {
    std::size_t lineFeed = text_.find('\n', start);
    std::size_t stop = lineFeed == std::string::npos ? text_.size() : lineFeed;
    WalkSegment(start, stop, result);
    start = stop + 1;
  }
  return result;
}

// One piece of new text, up to an LF (stop points at it) or to the end of the
// text. While the view follows the end, the top line keeps the last line in
// view and the piece is drawn at once.
void OutputView::WalkSegment(std::size_t start, std::size_t stop, AppendResult& result) {
  bool follows = Follows();
  int oldTop = topLine_;
  maxTopLine_ = ComputeMaxTopLine();
  if (follows) {
    topLine_ = maxTopLine_;
    OutputSegment segment;
    segment.line = lineCount_;
    segment.row = lineCount_ - topLine_;
    segment.column = DrawnLength();
    segment.colour = ColourOf(lineCount_);
    segment.linesScrolled = topLine_ - oldTop;
    std::size_t first = start + (lastLineLength_ == 0 && StartsWithMarker(lineCount_) ? 1 : 0);
    segment.text = std::string_view(text_).substr(first, stop - first);
    caretLine_ = lineCount_;
    caretColumn_ = segment.column + static_cast<int>(segment.text.size());
    result.drawn.push_back(segment);
  }
  if (stop < text_.size()) {
    ++lineCount_;
    lastLineLength_ = 0;
    lineStarts_.push_back(stop + 1);
  } else {
    lastLineLength_ += static_cast<int>(stop - start);
  }
}

LineRange OutputView::LinesToPaint(int top, int bottom) const {
  if (!hasText_) return {};
  int first = std::max(0, topLine_ + top / lineHeight_ - 1);
  int end = std::min(lineCount_ + 1, topLine_ + bottom / lineHeight_ + 1);
  return {first, std::max(first, end)};
}

OutputLine OutputView::Line(int index) const {
  if (index < 0 || index > lineCount_) return {};
  std::size_t start = lineStarts_[static_cast<std::size_t>(index)];
  std::size_t stop = index < lineCount_ ? lineStarts_[static_cast<std::size_t>(index) + 1] - 1 : text_.size();
  if (StartsWithMarker(index)) ++start;
  return {std::string_view(text_).substr(start, stop - start), ColourOf(index)};
}

}  // namespace tav
