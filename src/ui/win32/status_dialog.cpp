// The status dialog: what the interpreter is doing, the elapsed time, and
// the Info, Help and Abort buttons.
#include <string>

#include "ui/win32/gui_state.h"

#include <mmsystem.h>
#include <shellapi.h>

#include "ui/elapsed_clock.h"

namespace tav::windows {

namespace {

// After a confirmed abort the run ends within moments; a run stuck in a
// system call is ended this long after the answer, with the same code.
constexpr UINT kAbortGraceMs = 10000;
constexpr UINT kUserAbortCode = 17;
constexpr int kSavedStatusLimit = 100;
constexpr const char* kQuestionCaption = TAV32_PRODUCT " User Interruption";
constexpr const char* kQuestion = "Are you sure you want to abort?";

// The one status dialog's own state.
struct StatusDialog {
  HFONT font = nullptr;
  bool clockRunning = false;
  // The millisecond clock, widened so that its wrap after 49 days does not
  // stop the elapsed time.
  DWORD lastReading = 0;
  long long milliseconds = 0;
  ElapsedClock clock;
  bool asking = false;
  bool aborted = false;
  // The status text from before the question, restored when it is answered
  // No; texts the run sends while the question is open replace it.
  std::string savedStatus;
};

StatusDialog dialogState;

long long ReadClock(StatusDialog& d) {
  DWORD now = timeGetTime();
  if (d.lastReading != 0) d.milliseconds += static_cast<DWORD>(now - d.lastReading);
  d.lastReading = now;
  return d.milliseconds;
}

void ShowElapsedTime(HWND dialog, StatusDialog& d) {
  d.clock.Tick(ReadClock(d));
  SetDlgItemTextA(dialog, IDC_ELAPSED_TIME, d.clock.Text().c_str());
}

// A stopped clock shows no new time; the time it stood still is counted
// again at its first tick after it starts (the run went on meanwhile).
void StartClock(StatusDialog& d) { d.clockRunning = true; }
void StopClock(StatusDialog& d) { d.clockRunning = false; }

BOOL InitDialog(HWND dialog) {
  StatusDialog& d = dialogState;
  d = StatusDialog();
  // The clock's text takes part in fitting the font.
  SetDlgItemTextA(dialog, IDC_ELAPSED_TIME, "00:00:00");
  d.font = FitControlFont(dialog, IDC_STATUS_LINE, IDC_HELP_BUTTON);
  PaintFramesOf(dialog, IDC_STATUS_FRAME_FIRST, IDC_STATUS_FRAME_LAST);
  SetClassLongPtrA(dialog, GCLP_HICON,
                   reinterpret_cast<LONG_PTR>(LoadIconA(State().instance, MAKEINTRESOURCEA(IDI_TAV32))));
  StartClock(d);
  SetFocus(GetDlgItem(dialog, IDC_ABORT));
  // The focus was set here.
  return FALSE;
}

void OnClockTick(HWND dialog) {
  StatusDialog& d = dialogState;
  if (d.clockRunning) ShowElapsedTime(dialog, d);
}

void ShowAbout(HWND dialog) {
  StopClock(dialogState);
  RunAboutBox(State(), dialog);
  StartClock(dialogState);
}

// The help document beside the program, else the older one. It is shown in
// a normal window: a hidden help document would help no one.
void OpenHelp(HWND dialog) {
  const std::string& directory = State().programDirectory;
  for (const char* name : {"TAV32.HTM", "TAV32.WRI"}) {
    std::string document = directory + name;
    auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(dialog, nullptr, document.c_str(), nullptr, directory.c_str(), SW_SHOWNORMAL));
    if (result > 32) return;
  }
}

std::string StatusText(HWND dialog) {
  char text[kSavedStatusLimit + 1] = {};
  GetDlgItemTextA(dialog, IDC_STATUS_LINE, text, sizeof text);
  return text;
}

void ConfirmAbort(HWND dialog, StatusDialog& d) {
  d.aborted = true;
  State().events->AbortAnswered(true);
  SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
  SetDlgItemTextA(dialog, IDC_STATUS_LINE, "Abortion in progress");
  SetTimer(dialog, kAbortGraceTimer, kAbortGraceMs, nullptr);
}

// The run holds at its next step while the question is open; No lets it go
// on where it stood.
void AskAbort(HWND dialog) {
  StatusDialog& d = dialogState;
  if (State().options.noAbort || d.asking || d.aborted) return;
  State().events->AbortAsked();
  StopClock(d);
  d.savedStatus = StatusText(dialog);
  SetDlgItemTextA(dialog, IDC_STATUS_LINE, "User abort");
  d.asking = true;
  int answer = MessageBoxA(dialog, kQuestion, kQuestionCaption, MB_YESNO | MB_ICONSTOP);
  d.asking = false;
  // The run may have ended while the question was open.
  if (!IsWindow(dialog)) {
    State().events->AbortAnswered(false);
    return;
  }
  if (answer == IDYES) {
    ConfirmAbort(dialog, d);
    return;
  }
  SetDlgItemTextA(dialog, IDC_STATUS_LINE, d.savedStatus.c_str());
  StartClock(d);
  State().events->AbortAnswered(false);
}

void OnCommand(HWND dialog, int command) {
  switch (command) {
    case IDC_INFO:
      ShowAbout(dialog);
      break;
    case IDC_HELP_BUTTON:
      OpenHelp(dialog);
      break;
    case IDC_ABORT:
    case IDCANCEL:
      AskAbort(dialog);
      break;
    default:
      break;
  }
}

void OnTimer(HWND dialog, UINT_PTR timer) {
  if (timer == kClockTimer) {
    OnClockTick(dialog);
  } else if (timer == kAbortGraceTimer) {
    TerminateProcess(GetCurrentProcess(), kUserAbortCode);
  }
}

}  // namespace

void ApplyStatusText(HWND dialog, int control, const std::string& text) {
  StatusDialog& d = dialogState;
  if (control == IDC_STATUS_LINE && d.asking) {
    d.savedStatus = text;
    return;
  }
  if (control == IDC_STATUS_LINE && d.aborted) return;
  SetDlgItemTextA(dialog, control, text.c_str());
}

INT_PTR CALLBACK StatusDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return InitDialog(dialog);
    case WM_SYSCOLORCHANGE:
      ForwardColourChange(State());
      return FALSE;
    case WM_TIMER:
      OnTimer(dialog, wParam);
      return TRUE;
    case WM_COMMAND:
      OnCommand(dialog, LOWORD(wParam));
      return TRUE;
    case WM_CLOSE:
      AskAbort(dialog);
      return TRUE;
    case WM_DESTROY:
      KillTimer(dialog, kClockTimer);
      KillTimer(dialog, kAbortGraceTimer);
      return FALSE;
    case WM_NCDESTROY:
      if (dialogState.font != nullptr) DeleteObject(dialogState.font);
      dialogState.font = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace tav::windows
