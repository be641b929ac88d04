#include "ui/window_ui.h"

namespace tav {

namespace {

// How long a command's key poll waits when asked to wait without end: the
// forwarder checks for the command's end this often.
constexpr int kPollSliceMs = 1000;

}  // namespace

WindowUi::WindowUi(InterpreterState& st) : st_(st) {}

WindowUi::~WindowUi() { CloseWindows(); }

bool WindowUi::Open(const GuiOpener& open) {
  gui_ = open(*this);
  return gui_ != nullptr;
}

// ---- Calls from the interpreter --------------------------------------------

bool WindowUi::Released() const { return st_.stopRequested || closed_; }

void WindowUi::SetControlText(int control, std::string_view text) {
  Lock lock(mutex_);
  gate_.Hold(lock);
  // Once an abort is confirmed the status line keeps saying so.
  if (!gate_.Passes(control)) return;
  gui_->SetControlText(control, text);
}

void WindowUi::EnableControl(int control, bool enable) {
  Lock lock(mutex_);
  gate_.Hold(lock);
  gui_->EnableControl(control, enable);
}

bool WindowUi::HasOutputWindow() const { return st_.options.output && !st_.options.quiet; }

void WindowUi::SetOutputTitle(std::string_view title) {
  Lock lock(mutex_);
  gate_.Hold(lock);
  gui_->SetOutputTitle(title);
}

void WindowUi::ShowOutput(std::string text) {
  Lock lock(mutex_);
  gate_.Hold(lock);
  // The window thread may be reporting a typed key here meanwhile.
  lock.unlock();
  gui_->AppendOutput(text);
}

void WindowUi::WaitForKey() {
  if (!CanTypeKeys()) return;
  Lock lock(mutex_);
  gate_.Hold(lock);
  keys_.WaitForKey(lock, changed_, -1, [this] { return Released(); });
}

bool WindowUi::CanTypeKeys() const { return HasOutputWindow(); }

int WindowUi::PollKey(int timeoutMs) {
  Lock lock(mutex_);
  gate_.Hold(lock);
  return keys_.PollKey(lock, changed_, timeoutMs, kPollSliceMs, [this] { return Released(); });
}

void WindowUi::ForwardKeysToCommand(bool on) {
  Lock lock(mutex_);
  keys_.ForwardToCommand(on);
}

void WindowUi::MessageBox(std::string_view caption, std::string_view text) {
  gui_->MessageBox(caption, text);
}

bool WindowUi::AskRetry(std::string_view caption, std::string_view text) { return gui_->AskRetry(caption, text); }

void WindowUi::ShowWindows() {
  GuiOptions options;
  options.quiet = st_.options.quiet;
  options.output = st_.options.output;
  options.noAbort = st_.options.noAbort;
  gui_->Show(options);
}

void WindowUi::CloseWindows() {
  Lock lock(mutex_);
  if (closed_ || gui_ == nullptr) return;
  closed_ = true;
  changed_.notify_all();
  lock.unlock();
  // The window thread may be calling in here; it is not waited for under
  // the lock.
  gui_->Close();
}

// ---- Events from the windows -----------------------------------------------

void WindowUi::AbortAsked() {
  Lock lock(mutex_);
  gate_.Open();
}

// A confirmed abort stops the run where it stands: the run loop, a running
// command (ended with its process tree) and the synchronisation engine see
// the stop, the debug log is closed as the run ends, and the run ends with
// "User abort".
void WindowUi::AbortAnswered(bool yes) {
  Lock lock(mutex_);
  if (yes) {
    gate_.Confirm();
  } else {
    gate_.Release();
  }
}

// A typed character ends a key wait, else goes to the running command, else
// is dropped.
void WindowUi::KeyTyped(int character) {
  Lock lock(mutex_);
  if (keys_.Offer(character)) changed_.notify_all();
}

}  // namespace tav
