// The window thread of the Windows build: it makes the hidden owner window,
// the private heap, the window classes, the status dialog and the intro
// picture, runs the message loop, and applies what the interpreter hands
// over. The interpreter never waits on this thread while a program runs:
// control texts, enabled states and the output window's title are kept in a
// hand-over record and applied by one posted refresh; output text is
// gathered in another, which the output window takes and draws at most
// every kOutputDrawMs. A run that prints a lot so never queues the status
// texts, or its own end, behind its output.
#include <condition_variable>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <thread>

#include "platform/console.h"
#include "ui/picture.h"
#include "ui/win32/gui_state.h"

namespace tav::windows {

namespace {

constexpr SIZE_T kPrivateHeapSize = 65535;
constexpr const char* kPreparing = "Preparing Operation";

GuiState theState;

// ---- Start-up on the window thread ----------------------------------------

void TakeFrameColours(GuiState& gui) {
  COLORREF menu = GetSysColor(COLOR_MENU);
  FrameColours colours = FrameColoursFor(GetRValue(menu), GetGValue(menu), GetBValue(menu));
  gui.lightFrame = RGB(colours.light.red, colours.light.green, colours.light.blue);
  gui.darkFrame = RGB(colours.dark.red, colours.dark.green, colours.dark.blue);
}

std::string ProgramDirectory() {
  char path[MAX_PATH + 1] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string directory(path, length < MAX_PATH ? length : MAX_PATH);
  size_t slash = directory.find_last_of('\\');
  directory.erase(slash == std::string::npos ? 0 : slash + 1);
  if (directory.empty() || directory.back() != '\\') directory += '\\';
  return directory;
}

// The 3-D controls library is optional: without it nothing of this happens.
void LoadCtl3d(GuiState& gui) {
  HMODULE module = LoadLibraryA("CTL3D32.DLL");
  if (module == nullptr) return;
  Ctl3d& ctl3d = gui.ctl3d;
  ctl3d.module = module;
  ctl3d.registerApp = reinterpret_cast<BOOL(WINAPI*)(HINSTANCE)>(
      reinterpret_cast<void*>(GetProcAddress(module, "Ctl3dRegister")));
  ctl3d.unregisterApp = reinterpret_cast<BOOL(WINAPI*)(HINSTANCE)>(
      reinterpret_cast<void*>(GetProcAddress(module, "Ctl3dUnregister")));
  ctl3d.autoSubclass = reinterpret_cast<BOOL(WINAPI*)(HINSTANCE)>(
      reinterpret_cast<void*>(GetProcAddress(module, "Ctl3dAutoSubclass")));
  ctl3d.colorChange =
      reinterpret_cast<BOOL(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(module, "Ctl3dColorChange")));
  if (ctl3d.registerApp != nullptr) ctl3d.registerApp(gui.instance);
  if (ctl3d.autoSubclass != nullptr) ctl3d.autoSubclass(gui.instance);
}

void UnloadCtl3d(GuiState& gui) {
  Ctl3d& ctl3d = gui.ctl3d;
  if (ctl3d.module == nullptr) return;
  if (ctl3d.unregisterApp != nullptr) ctl3d.unregisterApp(gui.instance);
  FreeLibrary(ctl3d.module);
  ctl3d = Ctl3d();
}

// A class registered by an earlier start in this process stays usable.
bool RegisterClass(const GuiState& gui, const char* name, WNDPROC procedure) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = procedure;
  wc.hInstance = gui.instance;
  wc.hIcon = LoadIconA(gui.instance, MAKEINTRESOURCEA(IDI_TAV32));
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = name;
  return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// A program started on its own console (from the desktop) would leave an
// empty console window beside its windows; it lets go of it. A console that
// others share (the command prompt that started it) stays.
void LeaveOwnConsole() {
  DWORD processes[2];
  if (GetConsoleProcessList(processes, 2) == 1) FreeConsole();
}

}  // namespace

GuiState& State() { return theState; }

void ForwardColourChange(const GuiState& gui) {
  if (gui.ctl3d.colorChange != nullptr) gui.ctl3d.colorChange();
}

namespace {

// ---- The windows, as the interpreter sees them -----------------------------

class WindowsGui : public Gui {
 public:
  explicit WindowsGui(GuiEvents& events);
  ~WindowsGui() override { Close(); }

  // Whether the window thread made its windows.
  bool Started();

  void Show(const GuiOptions& options) override;
  void SetControlText(int control, std::string_view text) override;
  void EnableControl(int control, bool enable) override;
  void SetOutputTitle(std::string_view title) override;
  void AppendOutput(std::string_view text) override;
  void MessageBox(std::string_view caption, std::string_view text) override;
  bool AskRetry(std::string_view caption, std::string_view text) override;
  void Close() override;

  // On the window thread.
  void ApplyHandover();
  void ShowWindows();
  void CloseWindows();

 private:
  using Lock = std::unique_lock<std::mutex>;
  enum class Phase { Starting, Failed, Running, Closed };

  void Run();
  bool MakeWindows();
  void RunMessageLoop();
  void TearDown();
  // Posts the refresh unless one is pending.
  void RequestRefresh(Lock& lock);
  // A message box of type; true when answered yes.
  bool Ask(std::string_view caption, std::string_view text, UINT type, int yes);
  void SetPhase(Phase phase);

  GuiEvents& events_;
  std::thread thread_;

  std::mutex mutex_;
  std::condition_variable changed_;
  Phase phase_ = Phase::Starting;
  bool shown_ = false;
  bool quiet_ = false;
  HWND owner_ = nullptr;
  HWND output_ = nullptr;
  OutputHandover pendingOutput_;
  // The hand-over: the latest text and enabled state of each control and
  // the latest output title since the last refresh.
  std::map<int, std::string> texts_;
  std::map<int, bool> enables_;
  std::optional<std::string> outputTitle_;
  bool refreshPosted_ = false;
};

WindowsGui* theGui = nullptr;

// The owner window's procedure: the requests of the interpreter's side.
WNDPROC staticProcedure = nullptr;
LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kRefreshStatus:
      theGui->ApplyHandover();
      return 0;
    case kShowWindows:
      theGui->ShowWindows();
      return 0;
    case kCloseWindows:
      theGui->CloseWindows();
      return 0;
    case WM_SYSCOLORCHANGE:
      ForwardColourChange(State());
      break;
    default:
      break;
  }
  return CallWindowProcA(staticProcedure, window, message, wParam, lParam);
}

WindowsGui::WindowsGui(GuiEvents& events) : events_(events) {
  theGui = this;
  thread_ = std::thread([this] { Run(); });
}

bool WindowsGui::Started() {
  Lock lock(mutex_);
  changed_.wait(lock, [this] { return phase_ != Phase::Starting; });
  return phase_ == Phase::Running;
}

void WindowsGui::SetPhase(Phase phase) {
  Lock lock(mutex_);
  phase_ = phase;
  changed_.notify_all();
}

void WindowsGui::Run() {
  if (!MakeWindows()) {
    TearDown();
    SetPhase(Phase::Failed);
    return;
  }
  {
    Lock lock(mutex_);
    owner_ = theState.owner;
    phase_ = Phase::Running;
    changed_.notify_all();
  }
  RunMessageLoop();
  TearDown();
}

bool WindowsGui::MakeWindows() {
  GuiState& gui = theState;
  gui.instance = GetModuleHandleA(nullptr);
  gui.events = &events_;
  gui.pendingOutput = &pendingOutput_;
  TakeFrameColours(gui);
  gui.owner = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, gui.instance, nullptr);
  // No window can be made here (no desktop, or a service): the console serves.
  if (gui.owner == nullptr) return false;
  staticProcedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(gui.owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OwnerProc)));
  gui.programDirectory = ProgramDirectory();
  LoadCtl3d(gui);
  gui.heap = HeapCreate(0, kPrivateHeapSize, 0);
  if (gui.heap == nullptr) return false;
  if (!RegisterClass(gui, kPictureClass, &PictureWindowProc) ||
      !RegisterClass(gui, kOutputClass, &OutputWindowProc)) {
    return false;
  }
  gui.status = CreateDialogParamA(gui.instance, MAKEINTRESOURCEA(IDD_STATUS), gui.owner, &StatusDialogProc, 0);
  if (gui.status == nullptr) return false;
  for (int label : {IDC_SYNC_LABEL, IDC_LEFT_LABEL, IDC_RIGHT_LABEL}) {
    EnableWindow(GetDlgItem(gui.status, label), FALSE);
  }
  SetDlgItemTextA(gui.status, IDC_STATUS_LINE, kPreparing);
  gui.intro = OpenPictureWindow(gui, "INTROPIC");
  return true;
}

// Every message goes to the status dialog's own handling first (keyboard
// navigation between its buttons), and only what it does not take is
// translated and dispatched.
void WindowsGui::RunMessageLoop() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    HWND status = theState.status;
    if (status != nullptr && IsDialogMessageA(status, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void WindowsGui::TearDown() {
  GuiState& gui = theState;
  for (HWND* window : {&gui.output, &gui.intro, &gui.status, &gui.owner}) {
    if (*window != nullptr && IsWindow(*window)) DestroyWindow(*window);
    *window = nullptr;
  }
  UnloadCtl3d(gui);
  if (gui.heap != nullptr) HeapDestroy(gui.heap);
  gui.heap = nullptr;
}

// ---- Calls from the interpreter --------------------------------------------

// Waits until the windows are shown, so that everything said afterwards
// finds the output window made.
void WindowsGui::Show(const GuiOptions& options) {
  Lock lock(mutex_);
  if (phase_ != Phase::Running || shown_) return;
  theState.options = options;
  quiet_ = options.quiet;
  if (!PostMessageA(owner_, kShowWindows, 0, 0)) return;
  changed_.wait(lock, [this] { return shown_ || phase_ != Phase::Running; });
}

void WindowsGui::RequestRefresh(Lock&) {
  if (refreshPosted_ || phase_ != Phase::Running) return;
  refreshPosted_ = PostMessageA(owner_, kRefreshStatus, 0, 0) != 0;
}

void WindowsGui::SetControlText(int control, std::string_view text) {
  Lock lock(mutex_);
  texts_[control] = std::string(text);
  RequestRefresh(lock);
}

void WindowsGui::EnableControl(int control, bool enable) {
  Lock lock(mutex_);
  enables_[control] = enable;
  RequestRefresh(lock);
}

void WindowsGui::SetOutputTitle(std::string_view title) {
  Lock lock(mutex_);
  if (output_ == nullptr) return;
  outputTitle_ = std::string(title);
  RequestRefresh(lock);
}

// The text joins what waits for the output window, which is told once
// until it takes it. Without memory for the text that one message is lost,
// not the run; a failed post is made again by the next text or the close.
void WindowsGui::AppendOutput(std::string_view text) {
  HWND output;
  {
    Lock lock(mutex_);
    if (phase_ != Phase::Running || output_ == nullptr) return;
    output = output_;
  }
  std::lock_guard<std::mutex> pending(pendingOutput_.mutex);
  try {
    pendingOutput_.text.append(text);
  } catch (const std::bad_alloc&) {
    return;
  }
  if (!pendingOutput_.posted) pendingOutput_.posted = PostMessageA(output, kAppendOutput, 0, 0) != 0;
}

// With nothing shown a box would wait for no one: the text goes to the
// standard error instead, and a question counts as answered Cancel.
bool WindowsGui::Ask(std::string_view caption, std::string_view text, UINT type, int yes) {
  bool quiet;
  {
    Lock lock(mutex_);
    quiet = quiet_;
  }
  if (quiet) {
    platform::WriteStderr(std::string(caption) + ": " + std::string(text) + "\n");
    return false;
  }
  return MessageBoxA(nullptr, std::string(text).c_str(), std::string(caption).c_str(), type | MB_SETFOREGROUND) ==
         yes;
}

void WindowsGui::MessageBox(std::string_view caption, std::string_view text) {
  Ask(caption, text, MB_OK | MB_ICONSTOP, IDOK);
}

bool WindowsGui::AskRetry(std::string_view caption, std::string_view text) {
  return Ask(caption, text, MB_RETRYCANCEL | MB_ICONEXCLAMATION, IDRETRY);
}

void WindowsGui::Close() {
  {
    Lock lock(mutex_);
    if (phase_ == Phase::Running) {
      phase_ = Phase::Closed;
      PostMessageA(owner_, kCloseWindows, 0, 0);
    }
    changed_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  theGui = nullptr;
}

// ---- On the window thread --------------------------------------------------

void WindowsGui::ApplyHandover() {
  std::map<int, std::string> texts;
  std::map<int, bool> enables;
  std::optional<std::string> title;
  {
    Lock lock(mutex_);
    texts.swap(texts_);
    enables.swap(enables_);
    title.swap(outputTitle_);
    refreshPosted_ = false;
  }
  GuiState& gui = theState;
  for (const auto& [control, text] : texts) ApplyStatusText(gui.status, control, text);
  for (const auto& [control, enable] : enables) EnableWindow(GetDlgItem(gui.status, control), enable ? TRUE : FALSE);
  if (title && gui.output != nullptr) SetWindowTextA(gui.output, title->c_str());
}

void WindowsGui::ShowWindows() {
  GuiState& gui = theState;
  LeaveOwnConsole();
  if (gui.options.quiet) {
    if (gui.intro != nullptr) DestroyWindow(gui.intro);
    gui.intro = nullptr;
  } else {
    ShowPicture(gui.intro, kIntroMs);
    ShowWindow(gui.status, SW_SHOWNOACTIVATE);
    if (gui.options.output) gui.output = CreateOutputWindow(gui);
    // The intro stays above the windows shown after it for its five seconds.
    if (gui.intro != nullptr) {
      SetWindowPos(gui.intro, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
  SetTimer(gui.status, kClockTimer, kClockMs, nullptr);
  if (!gui.options.quiet) SetFocus(gui.status);
  Lock lock(mutex_);
  output_ = gui.output;
  shown_ = true;
  changed_.notify_all();
}

// The output window draws what it has not drawn yet before the windows go.
void WindowsGui::CloseWindows() {
  GuiState& gui = theState;
  if (gui.status != nullptr) KillTimer(gui.status, kClockTimer);
  if (gui.output != nullptr) SendMessageA(gui.output, kFlushOutput, 0, 0);
  PostQuitMessage(0);
}

}  // namespace

std::unique_ptr<Gui> OpenGui(GuiEvents& events) {
  auto gui = std::make_unique<WindowsGui>(events);
  if (!gui->Started()) return nullptr;
  return gui;
}

}  // namespace tav::windows

namespace tav {

std::unique_ptr<Gui> OpenGui(GuiEvents& events) { return windows::OpenGui(events); }

}  // namespace tav
