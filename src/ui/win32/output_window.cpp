// The output window: a console-like window showing every message text it is
// sent, in a fixed-pitch font 80 columns wide, with red and blue lines for
// the two markers. It keeps all of it for scrolling back and follows the end
// while the view is at the bottom; new text is drawn at most every
// kOutputDrawMs, all that came meanwhile together, without repainting the
// rest. Characters typed into it go to the
// interpreter, which decides whether they end a key wait or go to a running
// command; nothing is echoed.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "ui/output_view.h"
#include "ui/win32/gui_state.h"

namespace tav::windows {

namespace {

constexpr int kFontHeight = 14;  // pixels at 96 dots per inch, scaled with the system's
constexpr UINT kCaretBlinkMs = 250;
constexpr int kCaretWidth = 2;
constexpr int kMargin = 5;  // pixels kept free right of and below the window

// The one output window's own state, kept in its user data from
// WM_NCCREATE to WM_NCDESTROY.
struct OutputWindow {
  OutputView view;
  HFONT font = nullptr;
  UINT savedBlinkTime = 0;
  bool hasCaret = false;
  ULONGLONG lastDrawn = 0;  // when new text was last drawn
  bool drawTimer = false;   // kOutputDrawTimer runs
};

OutputWindow* StateOf(HWND window) {
  return reinterpret_cast<OutputWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

COLORREF ColourRef(OutputColour colour) {
  switch (colour) {
    case OutputColour::Red: return RGB(255, 0, 0);
    case OutputColour::Blue: return RGB(0, 0, 255);
    case OutputColour::Black: break;
  }
  return RGB(0, 0, 0);
}

void DrawPiece(HDC dc, int x, int y, std::string_view text, OutputColour colour) {
  if (text.empty()) return;
  SetTextColor(dc, ColourRef(colour));
  TextOutA(dc, x, y, text.data(), static_cast<int>(text.size()));
}

// Selects the font, black text and left-top alignment; returns the font
// that was selected before.
HGDIOBJ PrepareDc(HDC dc, const OutputWindow& state) {
  HGDIOBJ previous = SelectObject(dc, state.font);
  SetTextColor(dc, RGB(0, 0, 0));
  SetTextAlign(dc, TA_LEFT | TA_TOP);
  return previous;
}

void PlaceCaret(const OutputWindow& state) {
  if (state.hasCaret) SetCaretPos(state.view.CaretX(), state.view.CaretY());
}

void HideCaretOf(HWND window, const OutputWindow& state) {
  if (state.hasCaret) HideCaret(window);
}

void ShowCaretOf(HWND window, const OutputWindow& state) {
  if (state.hasCaret) ShowCaret(window);
}

// Ranges run from 0 to the maximum. An empty range hides the bar, which
// changes the client size and so comes back here through WM_SIZE.
void UpdateScrollBar(HWND window, int bar, int maximum, int position) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_POS;
  info.nMin = 0;
  info.nMax = maximum;
  info.nPos = position;
  SetScrollInfo(window, bar, &info, TRUE);
}

void UpdateScrollBars(HWND window, const OutputView& view) {
  UpdateScrollBar(window, SB_VERT, view.MaxTopLine(), view.TopLine());
  UpdateScrollBar(window, SB_HORZ, view.MaxLeftColumn(), view.LeftColumn());
}

void MeasureFont(HWND window, OutputWindow& state) {
  HDC dc = GetDC(window);
  HGDIOBJ previous = SelectObject(dc, state.font);
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, previous);
  ReleaseDC(window, dc);
  state.view.SetCharSize(metrics.tmAveCharWidth, metrics.tmHeight + metrics.tmExternalLeading);
}

int TextAreaWidth(const OutputView& view) {
  return OutputView::kColumns * view.CharWidth() + GetSystemMetrics(SM_CXVSCROLL);
}

// 80 columns and 25 lines, within the screen; placed just behind the status
// dialog and shown without taking the focus from it.
void PlaceWindow(HWND window, const OutputView& view) {
  RECT frame{};
  GetWindowRect(window, &frame);
  int width = std::min<int>(TextAreaWidth(view) + kMargin, GetSystemMetrics(SM_CXSCREEN) - frame.left - kMargin);
  int height = std::min<int>(OutputView::kRows * view.LineHeight(), GetSystemMetrics(SM_CYSCREEN) - frame.top - kMargin);
  HWND status = State().status;
  UINT flags = SWP_NOMOVE | SWP_NOACTIVATE | SWP_SHOWWINDOW | (status == nullptr ? SWP_NOZORDER : 0);
  SetWindowPos(window, status, 0, 0, width, height, flags);
}

LRESULT OnNcCreate(HWND window, WPARAM wParam, LPARAM lParam) {
  auto* state = new (std::nothrow) OutputWindow;
  if (state == nullptr) return FALSE;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  return DefWindowProcA(window, WM_NCCREATE, wParam, lParam);
}

LRESULT OnCreate(HWND window, OutputWindow& state) {
  HDC dc = GetDC(window);
  int height = MulDiv(kFontHeight, GetDeviceCaps(dc, LOGPIXELSY), 96);
  ReleaseDC(window, dc);
  state.font = CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH, "Courier New");
  if (state.font == nullptr) return -1;
  MeasureFont(window, state);
  PlaceWindow(window, state.view);
  return 0;
}

// The font is released with the window, never before: a close request
// leaves both as they are, so later painting always has it.
void OnNcDestroy(HWND window, OutputWindow* state) {
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  if (state == nullptr) return;
  if (state->font != nullptr) DeleteObject(state->font);
  delete state;
}

void OnSize(HWND window, OutputWindow& state, LPARAM lParam) {
  state.view.Resize(LOWORD(lParam), HIWORD(lParam));
  UpdateScrollBars(window, state.view);
  PlaceCaret(state);
  InvalidateRect(window, nullptr, TRUE);
}

void OnMinMaxInfo(const OutputWindow& state, LPARAM lParam) {
  auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
  int width = TextAreaWidth(state.view) + GetSystemMetrics(SM_CXSIZEFRAME) + kMargin;
  info->ptMaxSize.x = width;
  info->ptMaxTrackSize.x = width;
}

void OnPaint(HWND window, OutputWindow& state) {
  const OutputView& view = state.view;
  if (!view.HasText()) {
    ValidateRect(window, nullptr);
    return;
  }
  HideCaretOf(window, state);
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(window, &paint);
  HGDIOBJ previous = PrepareDc(dc, state);
  LineRange lines = view.LinesToPaint(paint.rcPaint.top, paint.rcPaint.bottom);
  int x = -view.LeftColumn() * view.CharWidth();
  for (int line = lines.first; line < lines.end; ++line) {
    OutputLine text = view.Line(line);
    DrawPiece(dc, x, (line - view.TopLine()) * view.LineHeight(), text.text, text.colour);
  }
  SelectObject(dc, previous);
  EndPaint(window, &paint);
  PlaceCaret(state);
  ShowCaretOf(window, state);
}

void OnSetFocus(HWND window, OutputWindow& state) {
  state.savedBlinkTime = GetCaretBlinkTime();
  CreateCaret(window, nullptr, kCaretWidth, state.view.LineHeight());
  SetCaretBlinkTime(kCaretBlinkMs);
  state.hasCaret = true;
  PlaceCaret(state);
  ShowCaret(window);
}

void OnKillFocus(HWND window, OutputWindow& state) {
  if (!state.hasCaret) return;
  HideCaret(window);
  DestroyCaret();
  SetCaretBlinkTime(state.savedBlinkTime);
  state.hasCaret = false;
}

// Draws the pieces of new text that the view shows at once, after moving
// the existing lines up by as many lines as new ones pushed out at the top;
// what the move uncovers is repainted later from the stored text.
void DrawNewText(HWND window, OutputWindow& state, AppendResult& result) {
  const OutputView& view = state.view;
  int moved = CombineMoves(result.drawn);
  HideCaretOf(window, state);
  if (moved != 0) {
    ScrollWindowEx(window, 0, -moved * view.LineHeight(), nullptr, nullptr, nullptr, nullptr,
                   SW_INVALIDATE | SW_ERASE);
  }
  HDC dc = GetDC(window);
  HGDIOBJ previous = PrepareDc(dc, state);
  for (const OutputSegment& segment : result.drawn) {
    int x = (segment.column - view.LeftColumn()) * view.CharWidth();
    DrawPiece(dc, x, segment.row * view.LineHeight(), segment.text, segment.colour);
  }
  SelectObject(dc, previous);
  ReleaseDC(window, dc);
  PlaceCaret(state);
  ShowCaretOf(window, state);
}

// Takes all text waiting in the hand-over, stores it and draws what of it
// the view shows.
void DrawWaitingText(HWND window, OutputWindow& state) {
  std::string text;
  if (OutputHandover* pending = State().pendingOutput) {
    std::lock_guard<std::mutex> lock(pending->mutex);
    text.swap(pending->text);
    pending->posted = false;
  }
  state.lastDrawn = GetTickCount64();
  if (text.empty()) return;
  AppendResult result = state.view.Append(text);
  if (!result.stored) return;
  if (!result.drawn.empty()) DrawNewText(window, state, result);
  UpdateScrollBars(window, state.view);
}

// Text has come: drawn now when the last drawing is kOutputDrawMs ago, else
// when the draw timer fires. Until then the hand-over gathers what follows
// without telling the window again.
void OnAppendOutput(HWND window, OutputWindow& state) {
  ULONGLONG since = GetTickCount64() - state.lastDrawn;
  if (since >= kOutputDrawMs) {
    DrawWaitingText(window, state);
    return;
  }
  if (state.drawTimer) return;
  state.drawTimer = SetTimer(window, kOutputDrawTimer, kOutputDrawMs - static_cast<UINT>(since), nullptr) != 0;
  if (!state.drawTimer) DrawWaitingText(window, state);
}

void StopDrawTimer(HWND window, OutputWindow& state) {
  if (state.drawTimer) KillTimer(window, kOutputDrawTimer);
  state.drawTimer = false;
}

void OnDrawTimer(HWND window, OutputWindow& state) {
  StopDrawTimer(window, state);
  DrawWaitingText(window, state);
}

// Before the windows close: everything waiting is drawn and shown.
void FlushOutput(HWND window, OutputWindow& state) {
  StopDrawTimer(window, state);
  DrawWaitingText(window, state);
  UpdateWindow(window);
}

// The 16-bit position in the message's high word would wrap on long
// histories; the scroll bar's 32-bit tracking position does not.
int ThumbPosition(HWND window, int bar) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_TRACKPOS;
  GetScrollInfo(window, bar, &info);
  return info.nTrackPos;
}

ScrollRequest VerticalRequest(WORD code) {
  switch (code) {
    case SB_LINEUP: return ScrollRequest::Back;
    case SB_LINEDOWN: return ScrollRequest::Forward;
    case SB_PAGEUP: return ScrollRequest::PageBack;
    case SB_PAGEDOWN: return ScrollRequest::PageForward;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: return ScrollRequest::ToPosition;
    case SB_TOP: return ScrollRequest::ToStart;
    case SB_BOTTOM: return ScrollRequest::ToEnd;
    default: return ScrollRequest::None;
  }
}

ScrollRequest HorizontalRequest(WORD code) {
  switch (code) {
    case SB_LINELEFT: return ScrollRequest::Back;
    case SB_LINERIGHT: return ScrollRequest::Forward;
    case SB_PAGELEFT: return ScrollRequest::PageBack;
    case SB_PAGERIGHT: return ScrollRequest::PageForward;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: return ScrollRequest::ToPosition;
    default: return ScrollRequest::None;
  }
}

// Vertical moves are shown at once; horizontal ones when the system next
// asks for a repaint.
void OnVerticalScroll(HWND window, OutputWindow& state, WPARAM wParam) {
  ScrollRequest request = VerticalRequest(LOWORD(wParam));
  int position = request == ScrollRequest::ToPosition ? ThumbPosition(window, SB_VERT) : 0;
  int move = state.view.ScrollLines(request, position);
  if (move == 0) return;
  ScrollWindowEx(window, 0, -move * state.view.LineHeight(), nullptr, nullptr, nullptr, nullptr,
                 SW_INVALIDATE | SW_ERASE);
  PlaceCaret(state);
  SetScrollPos(window, SB_VERT, state.view.TopLine(), TRUE);
  UpdateWindow(window);
}

void OnHorizontalScroll(HWND window, OutputWindow& state, WPARAM wParam) {
  ScrollRequest request = HorizontalRequest(LOWORD(wParam));
  int position = request == ScrollRequest::ToPosition ? ThumbPosition(window, SB_HORZ) : 0;
  int move = state.view.ScrollColumns(request, position);
  if (move == 0) return;
  ScrollWindowEx(window, -move * state.view.CharWidth(), 0, nullptr, nullptr, nullptr, nullptr,
                 SW_INVALIDATE | SW_ERASE);
  PlaceCaret(state);
  SetScrollPos(window, SB_HORZ, state.view.LeftColumn(), TRUE);
}

// Navigation keys become the scroll requests the scroll bars would send.
void OnKeyDown(HWND window, WPARAM key) {
  UINT message = WM_VSCROLL;
  WORD code = 0;
  switch (key) {
    case VK_PRIOR: code = SB_PAGEUP; break;
    case VK_NEXT: code = SB_PAGEDOWN; break;
    case VK_END: code = SB_BOTTOM; break;
    case VK_HOME: code = SB_TOP; break;
    case VK_UP: code = SB_LINEUP; break;
    case VK_DOWN: code = SB_LINEDOWN; break;
    case VK_LEFT:
      message = WM_HSCROLL;
      code = SB_LINELEFT;
      break;
    case VK_RIGHT:
      message = WM_HSCROLL;
      code = SB_LINERIGHT;
      break;
    default: return;
  }
  SendMessageA(window, message, MAKEWPARAM(code, 0), 0);
}

void OnChar(WPARAM character) {
  GuiEvents* events = State().events;
  if (events != nullptr) events->KeyTyped(static_cast<int>(character));
}

LRESULT HandleMessage(HWND window, OutputWindow& state, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: return OnCreate(window, state);
    case WM_SIZE: OnSize(window, state, lParam); return 0;
    case WM_GETMINMAXINFO: OnMinMaxInfo(state, lParam); return 0;
    case WM_PAINT: OnPaint(window, state); return 0;
    case WM_SETFOCUS: OnSetFocus(window, state); return 0;
    case WM_KILLFOCUS: OnKillFocus(window, state); return 0;
    case WM_KEYDOWN: OnKeyDown(window, wParam); return 0;
    case WM_CHAR: OnChar(wParam); return 0;
    case WM_VSCROLL: OnVerticalScroll(window, state, wParam); return 0;
    case WM_HSCROLL: OnHorizontalScroll(window, state, wParam); return 0;
    case kAppendOutput: OnAppendOutput(window, state); return 0;
    case kFlushOutput: FlushOutput(window, state); return 0;
    case WM_TIMER:
      if (wParam == kOutputDrawTimer) OnDrawTimer(window, state);
      return 0;
    // The window stays for the whole run: a close request is ignored.
    case WM_CLOSE: return 0;
    case WM_SYSCOLORCHANGE: ForwardColourChange(State()); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

LRESULT CALLBACK OutputWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) return OnNcCreate(window, wParam, lParam);
  OutputWindow* state = StateOf(window);
  if (message == WM_NCDESTROY) {
    OnNcDestroy(window, state);
    return DefWindowProcA(window, message, wParam, lParam);
  }
  // Before WM_NCCREATE (WM_GETMINMAXINFO comes first) there is no state.
  if (state == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  return HandleMessage(window, *state, message, wParam, lParam);
}

HWND CreateOutputWindow(GuiState& gui) {
  RECT status{};
  GetWindowRect(gui.status, &status);
  return CreateWindowExA(0, kOutputClass, kOutputTitle, WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL,
                         status.right + 10, status.top, 0, 0, nullptr, nullptr, gui.instance, nullptr);
}

}  // namespace tav::windows
