// The About box, with the hidden picture behind its Dismiss button, and the
// painter of the etched frames that the About box and the status dialog
// share.
#include "ui/picture.h"
#include "ui/win32/gui_state.h"

namespace tav::windows {
namespace {

// Window property holding a subclassed control's own procedure. Kept on the
// control itself, so that the control can still reach it while it is being
// destroyed after its dialog.
constexpr const char* kPreviousProc = "TAV32PreviousProc";

WNDPROC Subclass(HWND control, WNDPROC replacement) {
  auto previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(replacement)));
  SetPropA(control, kPreviousProc, reinterpret_cast<HANDLE>(previous));
  return previous;
}

// Passes a message on to the control's own procedure; the last message a
// control gets also puts that procedure back.
LRESULT CallPrevious(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  auto previous = reinterpret_cast<WNDPROC>(GetPropA(control, kPreviousProc));
  if (message == WM_NCDESTROY) {
    RemovePropA(control, kPreviousProc);
    if (previous != nullptr) SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
  }
  if (previous == nullptr) return DefWindowProcA(control, message, wParam, lParam);
  return CallWindowProcA(previous, control, message, wParam, lParam);
}

// ---- Frame painter ----

// Light on the left and top, dark on the right and bottom. The client
// rectangle's right and bottom lie one past the control's last pixel; lines
// drawn there would fall outside the control and the dark edges would never
// show, so the last column and row are right - 1 and bottom - 1.
void DrawEtchedFrame(HDC dc, const RECT& client, COLORREF light, COLORREF dark) {
  const int right = client.right - 1;
  const int bottom = client.bottom - 1;
  HPEN lightPen = CreatePen(PS_SOLID, 1, light);
  HPEN darkPen = CreatePen(PS_SOLID, 1, dark);
  SelectObject(dc, lightPen);
  MoveToEx(dc, client.left, bottom, nullptr);
  LineTo(dc, client.left, client.top);
  LineTo(dc, right, client.top);
  SelectObject(dc, darkPen);
  LineTo(dc, right, bottom);
  LineTo(dc, client.left, bottom);
  SelectObject(dc, GetStockObject(WHITE_PEN));
  DeleteObject(lightPen);
  DeleteObject(darkPen);
}

void PaintFrame(HWND frame) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(frame, &paint);
  RECT client{};
  GetClientRect(frame, &client);
  const GuiState& gui = State();
  DrawEtchedFrame(dc, client, gui.lightFrame, gui.darkFrame);
  EndPaint(frame, &paint);
}

LRESULT CALLBACK FramePainterProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PaintFrame(frame);
    return 0;
  }
  return CallPrevious(frame, message, wParam, lParam);
}

// ---- About box ----

// What one opening of the About box holds. It lives on RunAboutBox's stack,
// which outlasts the dialog and its controls.
struct AboutBox {
  GuiState* gui = nullptr;
  KeySequence keys;
  HFONT font = nullptr;
  HBRUSH background = nullptr;
  COLORREF backgroundColour = 0;

  ~AboutBox() {
    if (font != nullptr) DeleteObject(font);
    if (background != nullptr) DeleteObject(background);
  }
};

AboutBox* AboutBoxOf(HWND dialog) { return reinterpret_cast<AboutBox*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

void ShowHiddenPicture(GuiState& gui) {
  HWND picture = OpenPictureWindow(gui, "DEDPIC");
  ShowPicture(picture, kHiddenPictureMs);
}

// The Dismiss button watches the keys typed on it for the hidden word and
// otherwise behaves as itself.
LRESULT CALLBACK DismissButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KEYDOWN) {
    AboutBox* about = AboutBoxOf(GetParent(button));
    if (about != nullptr && about->keys.Feed(static_cast<unsigned>(wParam))) ShowHiddenPicture(*about->gui);
  }
  return CallPrevious(button, message, wParam, lParam);
}

void MakeBackground(AboutBox& about) {
  if (about.background != nullptr) DeleteObject(about.background);
  about.backgroundColour = GetSysColor(COLOR_MENU);
  about.background = CreateSolidBrush(about.backgroundColour);
}

void OnInitDialog(HWND dialog, AboutBox& about) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&about));
  about.keys.Reset();
  if (HWND dismiss = GetDlgItem(dialog, IDC_DISMISS)) Subclass(dismiss, DismissButtonProc);
  about.font = FitControlFont(dialog, IDC_DISMISS, IDC_ABOUT_TEXT);
  MakeBackground(about);
  PaintFramesOf(dialog, IDC_ABOUT_FRAME_FIRST, IDC_ABOUT_FRAME_LAST);
}

// The dialog and its static texts take the menu colour, the colour the
// frames are made from. The font and brush outlive EndDialog: they are
// deleted when RunAboutBox returns, after the controls that use them.
INT_PTR OnBackground(HWND dialog, UINT message, HDC dc) {
  AboutBox* about = AboutBoxOf(dialog);
  if (about == nullptr || about->background == nullptr) return FALSE;
  if (message == WM_CTLCOLORSTATIC) SetBkColor(dc, about->backgroundColour);
  return reinterpret_cast<INT_PTR>(about->background);
}

INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(dialog, *reinterpret_cast<AboutBox*>(lParam));
      return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
      return OnBackground(dialog, message, reinterpret_cast<HDC>(wParam));
    case WM_COMMAND:
      if (LOWORD(wParam) != IDC_DISMISS && LOWORD(wParam) != IDCANCEL) return FALSE;
      EndDialog(dialog, 1);
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog, 1);
      return TRUE;
    case WM_SYSCOLORCHANGE:
      ForwardColourChange(State());
      if (AboutBox* about = AboutBoxOf(dialog)) MakeBackground(*about);
      InvalidateRect(dialog, nullptr, TRUE);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void RunAboutBox(GuiState& gui, HWND parent) {
  AboutBox about;
  about.gui = &gui;
  DialogBoxParamA(gui.instance, MAKEINTRESOURCEA(IDD_ABOUT), parent, AboutBoxProc, reinterpret_cast<LPARAM>(&about));
}

void PaintFramesOf(HWND dialog, int first, int last) {
  for (int id = first; id <= last; ++id) {
    if (HWND frame = GetDlgItem(dialog, id)) Subclass(frame, FramePainterProc);
  }
}

}  // namespace tav::windows
