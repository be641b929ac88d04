#include "ui/terminal/console_ui.h"

#include <utility>

#include "core/messages.h"
#include "core/text.h"
#include "platform/console.h"
#include "platform/process.h"

namespace tav {

namespace {

constexpr int kTickMs = 1000;
// The status area is drawn at most this often for the interpreter's changes,
// so that a fast run does not flood the terminal.
constexpr int kRedrawMs = 50;
constexpr size_t kSavedStatusLimit = 100;
constexpr int kCtrlC = 3;
// The terminal's quit key, which raw mode delivers as a byte.
constexpr int kCtrlBackslash = 0x1c;
constexpr const char* kQuestion = TAV32_PRODUCT " User Interruption: Are you sure you want to abort? (y/n)";

bool ColourTerminal() {
  return platform::StdoutIsTerminal() && platform::TerminalTakesSequences() &&
         !platform::GetEnvironment("NO_COLOR").has_value();
}

TextEncoding TerminalEncoding() {
  return platform::TerminalTextIsUtf8() ? TextEncoding::Utf8 : TextEncoding::SingleByte;
}

// "hh:mm:ss" of a duration.
std::string Duration(long long ms) {
  long long seconds = ms / 1000;
  return Format("%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

// What an exit code says: the error table's text, "no error" for 0.
std::string ExitMeaning(int code) { return code == kErrNone ? "no error" : ErrorText(code); }

}  // namespace

ConsoleUi::ConsoleUi(InterpreterState& st)
    : st_(st), encoding_(TerminalEncoding()), pane_(ColourTerminal(), platform::StdoutIsTerminal(), encoding_) {
  status_.encoding = encoding_;
}

ConsoleUi::~ConsoleUi() { CloseWindows(); }

// ---- Calls from the interpreter --------------------------------------------

void ConsoleUi::SetControlText(int control, std::string_view text) {
  Lock lock(mutex_);
  gate_.Hold(lock);
  // Once an abort is confirmed the status line keeps saying so.
  if (!gate_.Passes(control)) return;
  status_.texts[control] = std::string(text);
  RedrawSoon();
}

void ConsoleUi::EnableControl(int control, bool enable) {
  Lock lock(mutex_);
  gate_.Hold(lock);
  status_.enabled[control] = enable;
  RedrawSoon();
}

std::string ConsoleUi::ControlText(int control) const {
  Lock lock(mutex_);
  auto it = status_.texts.find(control);
  return it == status_.texts.end() ? std::string() : it->second;
}

bool ConsoleUi::HasOutputWindow() const { return st_.options.output && !st_.options.quiet; }

void ConsoleUi::SetOutputTitle(std::string_view title) {
  Lock lock(mutex_);
  gate_.Hold(lock);
  title_ = CleanForTerminal(title, encoding_);
  if (session_ && HasOutputWindow()) platform::SetTerminalTitle(title_);
}

void ConsoleUi::ShowOutput(std::string text) {
  Lock lock(mutex_);
  gate_.Hold(lock);
  platform::WriteStdout(pane_.Render(text));
}

TextEncoding ConsoleUi::OutputEncoding() const { return encoding_; }

bool ConsoleUi::CanTypeKeys() const { return HasOutputWindow() && platform::StdinIsTerminal(); }

// The next key for a wait: from the front end when it reads the keys (a key
// typed before the wait began went elsewhere or nowhere), else read here.
int ConsoleUi::TakeKey(Lock& lock, int timeoutMs) {
  return keys_.WaitForKey(lock, changed_, timeoutMs, [this] { return st_.stopRequested || done_; });
}

void ConsoleUi::WaitForKey() {
  if (!CanTypeKeys()) return;
  Lock lock(mutex_);
  if (!rawKeys_) {
    lock.unlock();
    platform::ReadKey();
    return;
  }
  gate_.Hold(lock);
  TakeKey(lock, -1);
}

int ConsoleUi::PollKey(int timeoutMs) {
  Lock lock(mutex_);
  if (!rawKeys_) {
    lock.unlock();
    return platform::PollKey(timeoutMs);
  }
  return keys_.PollKey(lock, changed_, timeoutMs, kTickMs, [this] { return st_.stopRequested || done_; });
}

void ConsoleUi::ForwardKeysToCommand(bool on) {
  Lock lock(mutex_);
  keys_.ForwardToCommand(on);
}

void ConsoleUi::MessageBox(std::string_view caption, std::string_view text) {
  std::string line(caption);
  line += ": ";
  line += text;
  line += "\n";
  Lock lock(mutex_);
  platform::WriteStderr(line);
}

// ---- The status area -------------------------------------------------------

void ConsoleUi::ShowWindows() {
  Lock lock(mutex_);
  if (session_ || st_.options.quiet || !platform::StderrIsTerminal() || !platform::TerminalTakesSequences()) return;
  session_ = true;
  startMs_ = platform::MonotonicMilliseconds();
  title_ = kOutputTitle;
  TakeTerminal(CanTypeKeys());
  platform::StartTerminalEvents();
  nextTick_ = platform::MonotonicMilliseconds();
  Tick();
  thread_ = std::thread([this] { Serve(); });
}

void ConsoleUi::CloseWindows() {
  Lock lock(mutex_);
  if (!session_) return;
  done_ = true;
  changed_.notify_all();
  platform::WakeTerminalEvents();
  lock.unlock();
  if (thread_.joinable()) thread_.join();
  lock.lock();
  session_ = false;
  platform::StopTerminalEvents();
  platform::RestoreTerminal();
  rawKeys_ = false;
  platform::WriteStderr(EndSummary());
}

void ConsoleUi::RunEnded(int exitCode) {
  Lock lock(mutex_);
  exitCode_ = exitCode;
}

// The line that closes a run on the terminal, where the status area was; on
// a line of its own also when the output's last line has no line end yet.
std::string ConsoleUi::EndSummary() const {
  bool midLine = HasOutputWindow() && platform::StdoutIsTerminal() && !pane_.AtLineStart();
  std::string elapsed = Duration(platform::MonotonicMilliseconds() - startMs_);
  return Format("%sTAV32 run ended after %s, exit code %d: %s.\n", midLine ? "\n" : "", elapsed.c_str(), exitCode_,
                ExitMeaning(exitCode_).c_str());
}

void ConsoleUi::TakeTerminal(bool rawKeys) {
  if (rawKeys) rawKeys_ = platform::EnterRawKeys();
  if (HasOutputWindow()) {
    platform::SaveTerminalTitle();
    platform::SetTerminalTitle(title_);
  }
  platform::PinBottomRows(StatusArea::kRows);
}

// The terminal's stop key (in cooked mode) or a stop request from outside:
// the shell gets its terminal back as it was while the run is stopped, and
// the status area returns when the run is continued.
void ConsoleUi::Suspend() {
  bool rawKeys = rawKeys_, answerKeys = answerKeys_;
  platform::RestoreTerminal();
  rawKeys_ = answerKeys_ = false;
  platform::StopUntilContinued();
  TakeTerminal(rawKeys || answerKeys);
  if (answerKeys) answerKeys_ = std::exchange(rawKeys_, false);
  Redraw();
}

void ConsoleUi::Redraw() {
  lastDraw_ = platform::MonotonicMilliseconds();
  dirty_ = false;
  platform::DrawBottomRows(status_.Rows(platform::StatusTerminalSize().columns));
}

// Draws now, or has the front end draw once the interval has passed.
void ConsoleUi::RedrawSoon() {
  if (!session_) return;
  if (platform::MonotonicMilliseconds() - lastDraw_ >= kRedrawMs) {
    Redraw();
  } else if (!dirty_) {
    dirty_ = true;
    platform::WakeTerminalEvents();
  }
}

// ---- The front-end thread --------------------------------------------------

void ConsoleUi::Serve() {
  for (;;) {
    Lock lock(mutex_);
    if (done_) return;
    bool readKeys = rawKeys_ || answerKeys_;
    long long until = dirty_ && lastDraw_ + kRedrawMs < nextTick_ ? lastDraw_ + kRedrawMs : nextTick_;
    long long wait = until - platform::MonotonicMilliseconds();
    lock.unlock();
    platform::TerminalEvent event = platform::WaitTerminalEvent(wait < 0 ? 0 : static_cast<int>(wait), readKeys);
    lock.lock();
    if (done_) return;
    Handle(event);
    if (dirty_ && platform::MonotonicMilliseconds() - lastDraw_ >= kRedrawMs) Redraw();
  }
}

void ConsoleUi::Handle(const platform::TerminalEvent& event) {
  switch (event.kind) {
    case platform::TerminalEventKind::Timeout:
      Tick();
      break;
    case platform::TerminalEventKind::Resize:
      platform::RepinBottomRows(StatusArea::kRows);
      Redraw();
      break;
    case platform::TerminalEventKind::Interrupt:
      Interrupt();
      break;
    case platform::TerminalEventKind::Terminate:
      // The system or the quit key ends the run: no question, also with
      // NOABORT.
      ConfirmAbort();
      break;
    case platform::TerminalEventKind::Key:
      HandleKey(event.key);
      break;
    case platform::TerminalEventKind::Suspend:
      Suspend();
      break;
    case platform::TerminalEventKind::Wake:
      break;
  }
}

void ConsoleUi::Tick() {
  long long now = platform::MonotonicMilliseconds();
  if (now < nextTick_) return;
  nextTick_ = now + kTickMs;
  // The clock stands still while the question is open.
  if (gate_.Asking()) return;
  clock_.Tick(now);
  status_.texts[kElapsedTime] = clock_.Text();
  Redraw();
}

// A typed key: the quit key, the answer to the question, the Abort button
// (Ctrl+C), the end of a key wait, or input for the running command, in that
// order.
void ConsoleUi::HandleKey(int key) {
  if (key == kCtrlBackslash) {
    ConfirmAbort();
    return;
  }
  if (gate_.Asking()) {
    Answer(key);
    return;
  }
  if (key == kCtrlC) {
    Interrupt();
    return;
  }
  // Enter arrives as CR; a program reading a line expects LF.
  if (key == '\r') key = '\n';
  if (keys_.Offer(key)) changed_.notify_all();
}

void ConsoleUi::Interrupt() {
  if (st_.options.noAbort || gate_.Asking() || gate_.Aborted()) return;
  Ask();
}

void ConsoleUi::Ask() {
  if (!rawKeys_) {
    answerKeys_ = platform::EnterRawKeys();
    // Without a terminal to answer on, an interrupt aborts at once.
    if (!answerKeys_) {
      ConfirmAbort();
      return;
    }
  }
  gate_.Open();
  savedStatus_ = status_.texts[kStatusLine].substr(0, kSavedStatusLimit);
  status_.texts[kStatusLine] = "User abort";
  status_.question = kQuestion;
  Redraw();
}

void ConsoleUi::Answer(int key) {
  if (key == 'y' || key == 'Y') {
    ConfirmAbort();
  } else if (key == 'n' || key == 'N') {
    status_.texts[kStatusLine] = savedStatus_;
    EndQuestion();
    Redraw();
  }
}

void ConsoleUi::EndQuestion() {
  if (answerKeys_) platform::LeaveRawKeys();
  answerKeys_ = false;
  status_.question.clear();
  gate_.Release();
}

// The run stops where it stands: the run loop, a running command (ended with
// its process group) and the synchronisation engine see the stop, the debug
// log is closed as the run ends, and the process ends with "User abort".
void ConsoleUi::ConfirmAbort() {
  if (gate_.Aborted()) return;
  EndQuestion();
  gate_.Confirm();
  status_.texts[kStatusLine] = "Abortion in progress";
  Redraw();
}

}  // namespace tav
