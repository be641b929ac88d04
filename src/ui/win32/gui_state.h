// What the windows of the Windows build share on their thread: the handles,
// the private heap, the frame colours, the optional 3-D controls library and
// the interpreter's options, in one record; and the entry points of each
// window's own file.
#pragma once

// The interface first: the system's headers name MessageBox as a macro.
#include "ui/gui.h"

#include <windows.h>

#include <mutex>
#include <string>

#include "core/version.h"
#include "ui/win32/resources.h"

#undef MessageBox

namespace tav::windows {

// Messages of the window thread. kAppendOutput tells the output window that
// text waits in the output hand-over; kFlushOutput (sent) makes it draw all
// of it at once.
constexpr UINT kAppendOutput = WM_USER + 3;
constexpr UINT kFlushOutput = WM_USER + 4;
constexpr UINT kRefreshStatus = WM_APP + 1;  // apply the handed-over texts
constexpr UINT kShowWindows = WM_APP + 2;
constexpr UINT kCloseWindows = WM_APP + 3;

// Timers.
constexpr UINT_PTR kClockTimer = 1;
constexpr UINT_PTR kPictureTimer = 2;
constexpr UINT_PTR kAbortGraceTimer = 3;
constexpr UINT_PTR kOutputDrawTimer = 4;

constexpr UINT kClockMs = 1000;
constexpr UINT kIntroMs = 5000;
constexpr UINT kHiddenPictureMs = 10000;
// The output window draws new text at most this often, however fast it comes.
constexpr UINT kOutputDrawMs = 50;

constexpr const char* kPictureClass = "TAV32SimpleWin";
constexpr const char* kOutputClass = "TAV32OutputWindow";
constexpr const char* kOutputTitle = TAV32_OUTPUT_TITLE;

// The optional 3-D controls library and its four entries; all null when it
// is missing.
struct Ctl3d {
  HMODULE module = nullptr;
  BOOL(WINAPI* registerApp)(HINSTANCE) = nullptr;
  BOOL(WINAPI* unregisterApp)(HINSTANCE) = nullptr;
  BOOL(WINAPI* autoSubclass)(HINSTANCE) = nullptr;
  BOOL(WINAPI* colorChange)() = nullptr;
};

// Output text the interpreter has handed over and the output window has not
// yet taken. The interpreter only appends to it and never waits for the
// window thread; at most one kAppendOutput is on its way at a time.
struct OutputHandover {
  std::mutex mutex;
  std::string text;
  bool posted = false;
};

struct GuiState {
  HINSTANCE instance = nullptr;
  HANDLE heap = nullptr;  // the private heap: palettes
  HWND owner = nullptr;   // hidden; owns the dialog and the pictures
  HWND status = nullptr;
  HWND output = nullptr;
  HWND intro = nullptr;
  COLORREF lightFrame = RGB(255, 255, 255);
  COLORREF darkFrame = RGB(0, 0, 0);
  std::string programDirectory;  // ends in a backslash
  Ctl3d ctl3d;
  GuiEvents* events = nullptr;
  OutputHandover* pendingOutput = nullptr;
  GuiOptions options;
};

// The window thread's state. Window procedures cannot be handed it, so they
// reach it here; nothing outside the window thread touches it.
GuiState& State();

// Forwards a system-colour change to the 3-D controls library, if loaded.
void ForwardColourChange(const GuiState& gui);

// The status dialog (status_dialog.cpp).
INT_PTR CALLBACK StatusDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Sets a status control's text from the window thread; while the abort
// question is open the status line's text is kept for afterwards instead.
void ApplyStatusText(HWND dialog, int control, const std::string& text);

// The output window (output_window.cpp). Made right of the status dialog,
// shown without being activated.
LRESULT CALLBACK OutputWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
HWND CreateOutputWindow(GuiState& gui);

// The control font of a dialog (control_font.cpp): of the dialog's own
// face, as high as the lowest of the text controls allows at the dialog's
// scale, and lowered until every text of the controls fits its control
// (buttons keep room for their edges). Given to the controls; the caller
// deletes it after the dialog.
HFONT FitControlFont(HWND dialog, int first, int last);

// Picture windows (picture_window.cpp): a pop-up of class kPictureClass
// showing the "DIB" resource name, owned by the hidden owner window. Open
// makes it unshown; ShowPicture shows and paints it and starts its timer.
LRESULT CALLBACK PictureWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
HWND OpenPictureWindow(GuiState& gui, const char* resourceName);
void ShowPicture(HWND picture, UINT milliseconds);

// The About box (about_box.cpp), modal over parent.
void RunAboutBox(GuiState& gui, HWND parent);

// The frame painter (about_box.cpp): replaces the procedure of the frame
// controls first..last of dialog so that they are drawn etched in the two
// frame colours.
void PaintFramesOf(HWND dialog, int first, int last);

}  // namespace tav::windows
