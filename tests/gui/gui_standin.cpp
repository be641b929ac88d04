// gui_standin: a stand-in for the windows of tav32.exe, so that the GUI test
// harness (wintool and tests/gui/run.sh) can be checked on its own:
//
//   TAV32_GUI_EXE=build-win/gui_standin.exe bash tests/gui/run.sh build-win OUT
//
// It takes the same command line (PROGRAM [-OUTPUT] [-NOABORT] [-QUIET] [-LOG FILE]) and
// shows the status dialog and the output window with the class names, titles
// and control identifiers that the tests look for, and asks the same abort
// question. Of a program file it knows only Echo, Pause, comments and
// external commands (run with their standard input fed from the output
// window), which is all the GUI test programs use. It is no model of the
// interpreter: only the outside of its windows matters here.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kStatus = 100, kLine = 109, kProgram = 111, kTime = 106, kAbort = 113, kInfo = 114, kHelp = 115;

bool output = false, noAbort = false, quiet = false;
std::string programFile;
FILE* logFile = nullptr;
HWND dialog = nullptr, outputWindow = nullptr;
HANDLE worker = nullptr;
HANDLE keyEvent = nullptr;
char lastKey = 0;
HANDLE childProcess = nullptr, childInput = nullptr;
CRITICAL_SECTION childLock;
std::string outputText;
int seconds = 0;

void SetText(int id, const std::string& text) {
  if (dialog != nullptr) ::SetDlgItemTextA(dialog, id, text.c_str());
}

void Print(const std::string& text) {
  if (logFile != nullptr) {
    std::fputs(text.c_str(), logFile);
    std::fflush(logFile);
  }
  if (outputWindow != nullptr) {
    // Marshalled onto the window's thread, as every change of a window is.
    ::SendMessageA(outputWindow, WM_USER + 3, 0, reinterpret_cast<LPARAM>(text.c_str()));
  } else if (quiet || dialog == nullptr) {
    std::fputs(text.c_str(), stdout);
  }
}

DWORD RunCommand(std::string line) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE inRead, inWrite, outRead, outWrite;
  ::CreatePipe(&inRead, &inWrite, &inherit, 0);
  ::CreatePipe(&outRead, &outWrite, &inherit, 0);
  ::SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inRead;
  startup.hStdOutput = outWrite;
  startup.hStdError = outWrite;
  PROCESS_INFORMATION process{};
  if (outputWindow != nullptr) ::SetWindowTextA(outputWindow, ("TAV32 Output Window - " + line).c_str());
  BOOL started = ::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                  nullptr, &startup, &process);
  ::CloseHandle(inRead);
  ::CloseHandle(outWrite);
  DWORD code = 1;
  if (started) {
    ::EnterCriticalSection(&childLock);
    childProcess = process.hProcess;
    childInput = inWrite;
    ::LeaveCriticalSection(&childLock);
    char buffer[512];
    DWORD got;
    while (::ReadFile(outRead, buffer, sizeof buffer, &got, nullptr) && got > 0) Print(std::string(buffer, got));
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::GetExitCodeProcess(process.hProcess, &code);
    ::EnterCriticalSection(&childLock);
    childProcess = nullptr;
    childInput = nullptr;
    ::LeaveCriticalSection(&childLock);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  } else {
    Print("CreateProcess failed!\n");
  }
  ::CloseHandle(inWrite);
  ::CloseHandle(outRead);
  if (outputWindow != nullptr) ::SetWindowTextA(outputWindow, "TAV32 Output Window");
  return code;
}

DWORD WINAPI Run(void*) {
  std::ifstream in(programFile);
  if (dialog != nullptr && !noAbort) ::EnableWindow(::GetDlgItem(dialog, kAbort), TRUE);
  std::string line;
  int number = 0;
  DWORD exitCode = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    SetText(kLine, std::to_string(number));
    if (line.empty() || line[0] == ';' || _strnicmp(line.c_str(), "REM", 3) == 0) continue;
    if (_strnicmp(line.c_str(), "Echo ", 5) == 0) {
      SetText(kStatus, "Processing command Echo.");
      Print(line.substr(5) + "\n");
    } else if (_stricmp(line.c_str(), "Pause") == 0) {
      SetText(kStatus, "Processing command Pause.");
      Print("Press any key to continue.\n");
      ::ResetEvent(keyEvent);
      if (!quiet && output) ::WaitForSingleObject(keyEvent, INFINITE);
    } else {
      SetText(kStatus, "Spawning external command.");
      if (RunCommand(line) != 0) exitCode = 1;
    }
  }
  if (dialog != nullptr) ::PostMessageA(dialog, WM_APP, exitCode, 0);
  return exitCode;
}

void AskAbort() {
  if (noAbort) return;
  ::SuspendThread(worker);
  char saved[101] = {};
  ::GetDlgItemTextA(dialog, kStatus, saved, sizeof saved);
  ::KillTimer(dialog, 1);
  SetText(kStatus, "User abort");
  int answer = ::MessageBoxA(dialog, "Are you sure you want to abort?", "TAV32 1.21 User Interruption",
                             MB_YESNO | MB_ICONSTOP);
  if (answer == IDYES) {
    SetText(kStatus, "Abortion in progress");
    ::EnterCriticalSection(&childLock);
    if (childProcess != nullptr) ::TerminateProcess(childProcess, 255);
    ::LeaveCriticalSection(&childLock);
    ::TerminateThread(worker, 17);
    ::PostQuitMessage(17);
    return;
  }
  ::SetTimer(dialog, 1, 1000, nullptr);
  SetText(kStatus, saved);
  ::ResumeThread(worker);
}

void Control(HWND parent, const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id) {
  ::CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
}

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      Control(window, "STATIC", "Current Status:", 0, 15, 25, 90, 16, 101);
      Control(window, "STATIC", "Preparing Operation", 0, 110, 25, 220, 16, kStatus);
      Control(window, "STATIC", "Time elapsed:", 0, 15, 220, 90, 16, 107);
      Control(window, "STATIC", "00:00:00", 0, 110, 220, 60, 16, kTime);
      Control(window, "STATIC", "Line:", 0, 200, 220, 40, 16, 110);
      Control(window, "STATIC", "", 0, 250, 220, 50, 16, kLine);
      Control(window, "STATIC", "Program File:", 0, 15, 240, 90, 16, 112);
      Control(window, "STATIC", "", 0, 110, 240, 200, 16, kProgram);
      Control(window, "BUTTON", "&Info...", BS_PUSHBUTTON, 15, 280, 70, 26, kInfo);
      Control(window, "BUTTON", "&Help", BS_PUSHBUTTON, 135, 280, 70, 26, kHelp);
      Control(window, "BUTTON", "&Abort", BS_DEFPUSHBUTTON | WS_DISABLED, 255, 280, 70, 26, kAbort);
      ::SetTimer(window, 1, 1000, nullptr);
      return TRUE;
    case WM_TIMER: {
      ++seconds;
      char text[16];
      std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600 % 100, seconds / 60 % 60, seconds % 60);
      ::SetDlgItemTextA(window, kTime, text);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == kAbort) AskAbort();
      return TRUE;
    case WM_CLOSE:
      AskAbort();
      return TRUE;
    case WM_APP:
      ::PostQuitMessage(static_cast<int>(wParam));
      return TRUE;
  }
  return FALSE;
}

LRESULT CALLBACK IntroProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    ::KillTimer(window, 2);
    ::DestroyWindow(window);
    return 0;
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK OutputProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_USER + 3:
      outputText += reinterpret_cast<const char*>(lParam);
      ::InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(window, &paint);
      RECT r;
      ::GetClientRect(window, &r);
      std::string shown;
      for (char c : outputText) {
        if (c != '\r') shown += c;
      }
      ::DrawTextA(dc, shown.c_str(), -1, &r, DT_LEFT | DT_TOP);
      ::EndPaint(window, &paint);
      return 0;
    }
    case WM_CHAR: {
      char c = static_cast<char>(wParam);
      ::EnterCriticalSection(&childLock);
      if (childInput != nullptr) {
        DWORD written;
        ::WriteFile(childInput, &c, 1, &written, nullptr);
      }
      ::LeaveCriticalSection(&childLock);
      lastKey = c;
      ::SetEvent(keyEvent);
      return 0;
    }
    case WM_CLOSE:
      return 0;
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateStatusDialog() {
  // An empty dialog template; the controls are made in WM_INITDIALOG.
  alignas(4) WORD buffer[64] = {};
  auto* t = reinterpret_cast<DLGTEMPLATE*>(buffer);
  t->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  t->cx = 230;
  t->cy = 200;
  WORD* p = reinterpret_cast<WORD*>(t + 1);
  *p++ = 0;  // no menu
  *p++ = 0;  // the dialog class
  for (const char* c = "TAV32"; *c; ++c) *p++ = static_cast<WORD>(*c);
  *p++ = 0;
  return ::CreateDialogIndirectParamA(::GetModuleHandleA(nullptr), t, nullptr, DialogProc, 0);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] != '-' && argv[i][0] != '/') {
      if (programFile.empty()) programFile = argv[i];
      continue;
    }
    const char* word = argv[i] + 1;
    if (_strnicmp(word, "OUTPUT", 6) == 0) output = true;
    if (_strnicmp(word, "NOABORT", 7) == 0) noAbort = true;
    if (_strnicmp(word, "QUIET", 5) == 0) quiet = true;
    if (_strnicmp(word, "LOG", 3) == 0 && i + 1 < argc) logFile = std::fopen(argv[++i], "w");
  }
  ::InitializeCriticalSection(&childLock);
  keyEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!quiet) {
    WNDCLASSA intro{};
    intro.lpfnWndProc = IntroProc;
    intro.hInstance = ::GetModuleHandleA(nullptr);
    intro.hbrBackground = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
    intro.lpszClassName = "TAV32SimpleWin";
    ::RegisterClassA(&intro);
    HWND picture = ::CreateWindowExA(0, "TAV32SimpleWin", "", WS_POPUP, 412, 334, 200, 100, nullptr, nullptr,
                                     intro.hInstance, nullptr);
    if (picture != nullptr) {
      ::ShowWindow(picture, SW_SHOWNOACTIVATE);
      ::SetTimer(picture, 2, 5000, nullptr);
    }
    dialog = CreateStatusDialog();
    SetText(kProgram, programFile);
    ::ShowWindow(dialog, SW_SHOWNOACTIVATE);
    if (output) {
      WNDCLASSA cls{};
      cls.lpfnWndProc = OutputProc;
      cls.hInstance = ::GetModuleHandleA(nullptr);
      cls.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
      cls.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
      cls.lpszClassName = "TAV32OutputWindow";
      ::RegisterClassA(&cls);
      RECT r;
      ::GetWindowRect(dialog, &r);
      outputWindow = ::CreateWindowExA(0, "TAV32OutputWindow", "TAV32 Output Window", WS_OVERLAPPEDWINDOW,
                                       r.right + 10, r.top, 500, 400, nullptr, nullptr, cls.hInstance, nullptr);
      ::ShowWindow(outputWindow, SW_SHOWNOACTIVATE);
    }
  }
  worker = ::CreateThread(nullptr, 0, Run, nullptr, 0, nullptr);
  int code = 0;
  if (dialog == nullptr) {
    ::WaitForSingleObject(worker, INFINITE);
    DWORD exitCode = 0;
    ::GetExitCodeThread(worker, &exitCode);
    code = static_cast<int>(exitCode);
  } else {
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
      if (::IsDialogMessageA(dialog, &message)) continue;
      ::TranslateMessage(&message);
      ::DispatchMessageA(&message);
    }
    code = static_cast<int>(message.wParam);
  }
  return code;
}
