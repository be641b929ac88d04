// wintool: looks at and drives the windows of other programs, for the GUI
// tests that run under Wine (tests/gui/run.sh). A console program; every
// subcommand prints what it found on standard output and exits 0 on success,
// 1 when what it waited for did not come or the window is not there, 2 on a
// wrong command line.
//
//   wintool wait CLASS|- TITLE|- SECONDS     until such a visible top-level window exists
//   wintool gone CLASS|- TITLE|- SECONDS     until no such window is visible
//   wintool list                             every visible top-level window and its controls
//   wintool text TITLE ID                    text of one control of the window TITLE
//   wintool enabled TITLE ID                 "enabled" or "disabled"
//   wintool click TITLE ID                   press a button (refused when it is disabled)
//   wintool command TITLE ID [SECONDS]       send the button's command to its window
//                                            even when the button is disabled; with
//                                            SECONDS, wait as close does
//   wintool fit TITLE                        for every text, button and clock of the
//                                            window: its text's extent in the control's
//                                            font against the control's client
//                                            rectangle; 1 when one does not fit, or a
//                                            one-line static text is under two thirds
//                                            of its control's height
//   wintool close CLASS|- TITLE|- [SECONDS]  ask the window to close (WM_CLOSE); with
//                                            SECONDS, wait until it has handled the
//                                            request (1 when it is still busy then,
//                                            as with a modal box left open)
//   wintool answer CAPTION yes|no|ok SECONDS wait for a message box, print its text, press a button
//   wintool type CLASS TEXT                  post WM_CHAR for each character of TEXT
//                                            (\r is Enter, \n, \t and \\ as usual)
//   wintool nowindow EXE SECONDS             watch for SECONDS that no process whose
//                                            image is EXE shows a window
//   wintool sleep SECONDS                    wait, as a child that takes its time
//   wintool waitfile FILE SECONDS            wait until FILE exists (1 when it does not)
//   wintool lines COUNT                      print COUNT numbered lines at once
//   wintool readline FILE                    read one line from standard input (ended by
//                                            CR, LF or the end) and write it to FILE
//
// A TITLE that ends with '*' matches every title that begins with the rest.
// Texts of controls are read with WM_GETTEXT (sent with a time-out), since
// GetWindowTextA does not read a control of another process; titles of
// top-level windows with GetWindowTextA, which does not wait for the owner.
#include <windows.h>

#include <tlhelp32.h>

#include "wintool_hook.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr UINT kSendTimeoutMs = 2000;
constexpr DWORD kPollMs = 100;

struct Pattern {
  std::string className;  // empty: any
  std::string title;      // empty: any
  bool anyTitle = true;
  bool titlePrefix = false;
};

Pattern MakePattern(const char* className, const char* title) {
  Pattern p;
  if (std::strcmp(className, "-") != 0) p.className = className;
  if (std::strcmp(title, "-") != 0) {
    p.anyTitle = false;
    p.title = title;
    if (!p.title.empty() && p.title.back() == '*') {
      p.title.pop_back();
      p.titlePrefix = true;
    }
  }
  return p;
}

std::string ClassOf(HWND window) {
  char name[256] = {};
  ::GetClassNameA(window, name, sizeof name);
  return name;
}

// A top-level window's title, read without asking its owner, which may be
// busy or still starting.
std::string TitleOf(HWND window) {
  char title[512] = {};
  ::GetWindowTextA(window, title, sizeof title);
  return title;
}

// The text of a control, also of one in another process.
std::string TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!::SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length)) {
    return "<no answer>";
  }
  std::vector<char> buffer(length + 2, '\0');
  DWORD_PTR copied = 0;
  if (!::SendMessageTimeoutA(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied)) {
    return "<no answer>";
  }
  return std::string(buffer.data());
}

bool Matches(HWND window, const Pattern& p) {
  if (!::IsWindowVisible(window)) return false;
  if (!p.className.empty() && _stricmp(ClassOf(window).c_str(), p.className.c_str()) != 0) return false;
  if (p.anyTitle) return true;
  std::string title = TitleOf(window);
  if (p.titlePrefix) return title.compare(0, p.title.size(), p.title) == 0;
  return title == p.title;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> windows;
  ::EnumWindows(
      [](HWND window, LPARAM found) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

HWND FindTopLevel(const Pattern& p) {
  for (HWND window : TopLevelWindows()) {
    if (Matches(window, p)) return window;
  }
  return nullptr;
}

// Direct children only: the controls of a dialog.
std::vector<HWND> Controls(HWND parent) {
  std::vector<HWND> controls;
  for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    controls.push_back(child);
  }
  return controls;
}

std::string ImageOfProcess(DWORD pid) {
  std::string image;
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return image;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snapshot, &entry); more; more = ::Process32Next(snapshot, &entry)) {
    if (entry.th32ProcessID == pid) {
      image = entry.szExeFile;
      break;
    }
  }
  ::CloseHandle(snapshot);
  // Only the file's name counts.
  size_t slash = image.find_last_of("\\/");
  return slash == std::string::npos ? image : image.substr(slash + 1);
}

bool ProcessRunning(const char* exe) {
  bool running = false;
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snapshot, &entry); more && !running; more = ::Process32Next(snapshot, &entry)) {
    std::string image = entry.szExeFile;
    size_t slash = image.find_last_of("\\/");
    if (slash != std::string::npos) image = image.substr(slash + 1);
    running = _stricmp(image.c_str(), exe) == 0;
  }
  ::CloseHandle(snapshot);
  return running;
}

void PrintWindow(HWND window) {
  RECT r{};
  ::GetWindowRect(window, &r);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  std::printf("window %p class=\"%s\" title=\"%s\" rect=%ld,%ld,%ld,%ld process=%s\n", static_cast<void*>(window),
              ClassOf(window).c_str(), TitleOf(window).c_str(), r.left, r.top, r.right, r.bottom,
              ImageOfProcess(pid).c_str());
}

void PrintControl(HWND control) {
  std::printf("  control id=%d class=\"%s\" text=\"%s\" %s %s\n", ::GetDlgCtrlID(control), ClassOf(control).c_str(),
              TextOf(control).c_str(), ::IsWindowEnabled(control) ? "enabled" : "disabled",
              ::IsWindowVisible(control) ? "visible" : "hidden");
}

double Seconds(const char* text) {
  char* end = nullptr;
  double value = std::strtod(text, &end);
  if (end == text || *end != '\0' || value < 0) {
    std::fprintf(stderr, "wintool: not a number of seconds: %s\n", text);
    std::exit(2);
  }
  return value;
}

// Polls until done() holds or the time is up.
template <typename Done>
bool PollFor(double seconds, Done done) {
  ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
  for (;;) {
    if (done()) return true;
    if (::GetTickCount64() >= deadline) return false;
    ::Sleep(kPollMs);
  }
}

HWND RequireTopLevel(const char* title) {
  HWND window = FindTopLevel(MakePattern("-", title));
  if (window == nullptr) std::printf("no visible window titled \"%s\"\n", title);
  return window;
}

HWND RequireControl(HWND window, const char* idText) {
  int id = std::atoi(idText);
  HWND control = ::GetDlgItem(window, id);
  if (control == nullptr) std::printf("the window has no control %d\n", id);
  return control;
}

int Wait(const char* className, const char* title, const char* seconds) {
  Pattern p = MakePattern(className, title);
  HWND found = nullptr;
  if (!PollFor(Seconds(seconds), [&] { return (found = FindTopLevel(p)) != nullptr; })) {
    std::printf("timed out waiting for a window class=%s title=%s\n", className, title);
    return 1;
  }
  PrintWindow(found);
  return 0;
}

int Gone(const char* className, const char* title, const char* seconds) {
  Pattern p = MakePattern(className, title);
  if (!PollFor(Seconds(seconds), [&] { return FindTopLevel(p) == nullptr; })) {
    std::printf("still there after %s s:\n", seconds);
    PrintWindow(FindTopLevel(p));
    return 1;
  }
  return 0;
}

int List() {
  for (HWND window : TopLevelWindows()) {
    if (!::IsWindowVisible(window)) continue;
    PrintWindow(window);
    for (HWND control : Controls(window)) PrintControl(control);
  }
  return 0;
}

int Text(const char* title, const char* id) {
  HWND window = RequireTopLevel(title);
  if (window == nullptr) return 1;
  HWND control = RequireControl(window, id);
  if (control == nullptr) return 1;
  std::printf("%s\n", TextOf(control).c_str());
  return 0;
}

int Enabled(const char* title, const char* id) {
  HWND window = RequireTopLevel(title);
  if (window == nullptr) return 1;
  HWND control = RequireControl(window, id);
  if (control == nullptr) return 1;
  std::printf("%s\n", ::IsWindowEnabled(control) ? "enabled" : "disabled");
  return 0;
}

// What a button does when pressed: its parent gets WM_COMMAND with
// BN_CLICKED. Posted, so that a window that answers with a modal box does
// not hold this program up.
void PostClick(HWND window, HWND control) {
  ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(control), BN_CLICKED),
                 reinterpret_cast<LPARAM>(control));
}

int Click(const char* title, const char* id, bool evenDisabled) {
  HWND window = RequireTopLevel(title);
  if (window == nullptr) return 1;
  HWND control = RequireControl(window, id);
  if (control == nullptr) return 1;
  if (!evenDisabled && !::IsWindowEnabled(control)) {
    std::printf("control %s is disabled\n", id);
    return 1;
  }
  PostClick(window, control);
  return 0;
}

// Sends MESSAGE and waits at most SECONDS for the window to handle it.
bool SendAndWait(HWND window, UINT message, WPARAM wParam, LPARAM lParam, double seconds) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, static_cast<UINT>(seconds * 1000),
                               &result) != 0;
}

int Close(const char* className, const char* title, const char* seconds) {
  HWND window = FindTopLevel(MakePattern(className, title));
  if (window == nullptr) {
    std::printf("no visible window class=%s title=%s\n", className, title);
    return 1;
  }
  if (seconds == nullptr) {
    ::PostMessageA(window, WM_CLOSE, 0, 0);
    return 0;
  }
  if (SendAndWait(window, WM_CLOSE, 0, 0, Seconds(seconds))) return 0;
  std::printf("the window did not finish handling WM_CLOSE within %s s\n", seconds);
  return 1;
}

int CommandAndWait(const char* title, const char* id, const char* seconds) {
  HWND window = RequireTopLevel(title);
  if (window == nullptr) return 1;
  HWND control = RequireControl(window, id);
  if (control == nullptr) return 1;
  if (SendAndWait(window, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(control), BN_CLICKED),
                  reinterpret_cast<LPARAM>(control), Seconds(seconds))) {
    return 0;
  }
  std::printf("the window did not finish handling the command within %s s\n", seconds);
  return 1;
}

// ---- fit: does each text fit its control? ----

bool IsTextControl(HWND control) {
  std::string cls = ClassOf(control);
  auto style = static_cast<DWORD>(::GetWindowLongPtrA(control, GWL_STYLE));
  if (_stricmp(cls.c_str(), "Button") == 0) return true;
  if (_stricmp(cls.c_str(), "Static") != 0) return false;
  DWORD type = style & SS_TYPEMASK;
  return type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_LEFTNOWORDWRAP ||
         type == SS_SIMPLE;
}

// The hook library, loaded by the owner of the measured window: it measures
// the text with the control's own font, which is valid only in that process.
struct Measurer {
  HMODULE library = nullptr;
  HHOOK hook = nullptr;
  HANDLE mapping = nullptr;
  FitResult* result = nullptr;
  UINT message = 0;
};

bool StartMeasuring(HWND window, Measurer& m) {
  m.library = ::LoadLibraryA("wintool_hook.dll");
  auto proc = m.library == nullptr ? nullptr : reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(
                                                   ::GetProcAddress(m.library, "MeasureHook")));
  if (proc == nullptr) return false;
  char name[64];
  std::snprintf(name, sizeof name, "%s%lu", kFitMappingPrefix, ::GetCurrentProcessId());
  m.mapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(FitResult), name);
  if (m.mapping == nullptr) return false;
  m.result = static_cast<FitResult*>(::MapViewOfFile(m.mapping, FILE_MAP_WRITE, 0, 0, sizeof(FitResult)));
  m.message = ::RegisterWindowMessageA(kMeasureMessage);
  m.hook = ::SetWindowsHookExA(WH_CALLWNDPROC, proc, m.library, ::GetWindowThreadProcessId(window, nullptr));
  return m.result != nullptr && m.hook != nullptr;
}

void StopMeasuring(Measurer& m) {
  if (m.hook != nullptr) ::UnhookWindowsHookEx(m.hook);
  if (m.result != nullptr) ::UnmapViewOfFile(m.result);
  if (m.mapping != nullptr) ::CloseHandle(m.mapping);
  if (m.library != nullptr) ::FreeLibrary(m.library);
}

bool MeasureText(HWND control, Measurer& m, FitResult& result) {
  std::memset(m.result, 0, sizeof(FitResult));
  DWORD_PTR ignored = 0;
  if (!::SendMessageTimeoutA(control, m.message, ::GetCurrentProcessId(), 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &ignored)) {
    return false;
  }
  result = *m.result;
  return result.measured != 0;
}

// A button's text needs room for its raised edge and focus rectangle on
// every side.
RECT TextArea(HWND control, RECT area) {
  if (_stricmp(ClassOf(control).c_str(), "Button") == 0) {
    ::InflateRect(&area, -2 * ::GetSystemMetrics(SM_CXEDGE), -2 * ::GetSystemMetrics(SM_CYEDGE));
  }
  return area;
}

int Fit(const char* title) {
  HWND window = RequireTopLevel(title);
  if (window == nullptr) return 1;
  Measurer measurer;
  if (!StartMeasuring(window, measurer)) {
    std::printf("cannot hook the window's thread with wintool_hook.dll\n");
    StopMeasuring(measurer);
    return 1;
  }
  int failures = 0;
  for (HWND control : Controls(window)) {
    if (!IsTextControl(control) || TextOf(control).empty()) continue;
    FitResult measured{};
    if (!MeasureText(control, measurer, measured)) {
      std::printf("control %d: not measured\n", ::GetDlgCtrlID(control));
      ++failures;
      continue;
    }
    RECT area = TextArea(control, measured.client);
    long width = area.right - area.left;
    long height = area.bottom - area.top;
    bool fits = measured.extent.cx <= width && measured.extent.cy <= height;
    // A one-line text shorter than two thirds of its static control looks
    // lost in it.
    bool oneLine = std::strchr(measured.text, '\n') == nullptr;
    bool small = oneLine && _stricmp(ClassOf(control).c_str(), "Static") == 0 && measured.extent.cy * 3 < height * 2;
    if (!fits || small) ++failures;
    for (char& c : measured.text) c = c == '\n' ? '|' : c;
    std::printf("control %d \"%s\": text %ldx%ld in %ldx%ld %s\n", ::GetDlgCtrlID(control), measured.text,
                measured.extent.cx, measured.extent.cy, width, height, !fits ? "CUT" : small ? "SMALL" : "fits");
  }
  StopMeasuring(measurer);
  return failures == 0 ? 0 : 1;
}

int Answer(const char* caption, const char* choice, const char* seconds) {
  int button;
  if (_stricmp(choice, "yes") == 0) {
    button = IDYES;
  } else if (_stricmp(choice, "no") == 0) {
    button = IDNO;
  } else if (_stricmp(choice, "ok") == 0) {
    button = IDOK;
  } else {
    std::fprintf(stderr, "wintool: answer takes yes, no or ok, not %s\n", choice);
    return 2;
  }
  Pattern p = MakePattern("#32770", caption);
  HWND box = nullptr;
  if (!PollFor(Seconds(seconds), [&] { return (box = FindTopLevel(p)) != nullptr; })) {
    std::printf("timed out waiting for a message box \"%s\"\n", caption);
    return 1;
  }
  // The message is the one static control with text (the icon has none).
  for (HWND control : Controls(box)) {
    if (_stricmp(ClassOf(control).c_str(), "Static") == 0) {
      std::string text = TextOf(control);
      if (!text.empty()) std::printf("%s\n", text.c_str());
    }
  }
  HWND target = ::GetDlgItem(box, button);
  if (target == nullptr) {
    std::printf("the message box has no %s button\n", choice);
    return 1;
  }
  PostClick(box, target);
  return 0;
}

// Turns \r, \n, \t and \\ into their characters; any other backslash stays.
std::string Unescape(const char* text) {
  std::string out;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '\\' && c[1] != '\0') {
      switch (c[1]) {
        case 'r': out += '\r'; ++c; continue;
        case 'n': out += '\n'; ++c; continue;
        case 't': out += '\t'; ++c; continue;
        case '\\': out += '\\'; ++c; continue;
        default: break;
      }
    }
    out += *c;
  }
  return out;
}

int Type(const char* className, const char* text) {
  HWND window = FindTopLevel(MakePattern(className, "-"));
  if (window == nullptr) {
    std::printf("no visible window of class %s\n", className);
    return 1;
  }
  for (char c : Unescape(text)) {
    ::PostMessageA(window, WM_CHAR, static_cast<unsigned char>(c), 1);
    ::Sleep(20);
  }
  return 0;
}

// Key-downs of the letters of TEXT (their virtual keys are the upper-case
// letters) sent to control ID of the window TITLE, as typing them with the
// control focused gives.
int Keys(const char* title, const char* id, const char* text) {
  HWND window = RequireTopLevel(title);
  if (window == nullptr) return 1;
  HWND control = RequireControl(window, id);
  if (control == nullptr) return 1;
  for (const char* c = text; *c != '\0'; ++c) {
    auto key = static_cast<WPARAM>(std::toupper(static_cast<unsigned char>(*c)));
    ::PostMessageA(control, WM_KEYDOWN, key, 1);
    ::PostMessageA(control, WM_KEYUP, key, 0xC0000001);
    ::Sleep(20);
  }
  return 0;
}

int NoWindow(const char* exe, const char* seconds) {
  bool sawProcess = false;
  HWND shown = nullptr;
  PollFor(Seconds(seconds), [&] {
    if (ProcessRunning(exe)) sawProcess = true;
    for (HWND window : TopLevelWindows()) {
      if (!::IsWindowVisible(window)) continue;
      DWORD pid = 0;
      ::GetWindowThreadProcessId(window, &pid);
      if (_stricmp(ImageOfProcess(pid).c_str(), exe) == 0) {
        shown = window;
        return true;
      }
    }
    return false;
  });
  if (shown != nullptr) {
    std::printf("%s showed a window:\n", exe);
    PrintWindow(shown);
    return 1;
  }
  if (!sawProcess) {
    std::printf("%s never ran while watched\n", exe);
    return 1;
  }
  return 0;
}

int ReadLine(const char* file) {
  std::string line;
  HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  char c;
  DWORD got = 0;
  while (::ReadFile(input, &c, 1, &got, nullptr) && got == 1 && c != '\r' && c != '\n') line += c;
  FILE* out = std::fopen(file, "wb");
  if (out == nullptr) {
    std::printf("cannot write %s\n", file);
    return 1;
  }
  std::fputs(line.c_str(), out);
  std::fclose(out);
  std::printf("read \"%s\"\n", line.c_str());
  return 0;
}

int WaitFile(const char* file, const char* seconds) {
  if (PollFor(Seconds(seconds), [&] { return ::GetFileAttributesA(file) != INVALID_FILE_ATTRIBUTES; })) return 0;
  std::printf("no %s after %s s\n", file, seconds);
  return 1;
}

// Many lines at once, as a command that prints a lot gives them.
int Lines(const char* countText) {
  long count = std::atol(countText);
  std::string block;
  for (long line = 1; line <= count; ++line) {
    block += "Output line " + std::to_string(line) + " of " + countText + "\r\n";
    if (block.size() > 60000 || line == count) {
      std::fwrite(block.data(), 1, block.size(), stdout);
      block.clear();
    }
  }
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: wintool wait|gone CLASS|- TITLE|- SECONDS\n"
               "       wintool list\n"
               "       wintool text|enabled|click|command TITLE ID\n"
               "       wintool close CLASS|- TITLE|- [SECONDS]\n"
               "       wintool command TITLE ID [SECONDS]\n"
               "       wintool fit TITLE\n"
               "       wintool answer CAPTION yes|no|ok SECONDS\n"
               "       wintool type CLASS TEXT\n"
               "       wintool keys TITLE ID LETTERS\n"
               "       wintool nowindow EXE SECONDS\n"
               "       wintool sleep SECONDS\n"
               "       wintool readline FILE\n"
               "       wintool waitfile FILE SECONDS\n"
               "       wintool lines COUNT\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc < 2) return Usage();
  std::string command = argv[1];
  int n = argc - 2;
  char** a = argv + 2;
  if (command == "wait" && n == 3) return Wait(a[0], a[1], a[2]);
  if (command == "gone" && n == 3) return Gone(a[0], a[1], a[2]);
  if (command == "list" && n == 0) return List();
  if (command == "text" && n == 2) return Text(a[0], a[1]);
  if (command == "enabled" && n == 2) return Enabled(a[0], a[1]);
  if (command == "click" && n == 2) return Click(a[0], a[1], false);
  if (command == "command" && n == 2) return Click(a[0], a[1], true);
  if (command == "command" && n == 3) return CommandAndWait(a[0], a[1], a[2]);
  if (command == "close" && n == 2) return Close(a[0], a[1], nullptr);
  if (command == "close" && n == 3) return Close(a[0], a[1], a[2]);
  if (command == "fit" && n == 1) return Fit(a[0]);
  if (command == "answer" && n == 3) return Answer(a[0], a[1], a[2]);
  if (command == "type" && n == 2) return Type(a[0], a[1]);
  if (command == "keys" && n == 3) return Keys(a[0], a[1], a[2]);
  if (command == "nowindow" && n == 2) return NoWindow(a[0], a[1]);
  if (command == "sleep" && n == 1) {
    ::Sleep(static_cast<DWORD>(Seconds(a[0]) * 1000));
    return 0;
  }
  if (command == "readline" && n == 1) return ReadLine(a[0]);
  if (command == "waitfile" && n == 2) return WaitFile(a[0], a[1]);
  if (command == "lines" && n == 1) return Lines(a[0]);
  return Usage();
}
