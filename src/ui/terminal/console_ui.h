// The terminal user interface of the POSIX build. The output window is the
// standard output; message boxes go to standard error. When standard error is
// a terminal that takes control sequences (TERM set and not "dumb") and QUIET
// is not set, the status display is a status area pinned to the terminal's
// bottom rows, a front-end thread ticks its clock, redraws it on a resize,
// takes typed keys (raw mode while there is an output window) and asks the
// abort question on Ctrl+C; when it goes, one line tells how long the run
// took and its exit code. Without such a terminal none of that exists and
// nothing but the messages is written.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "core/state.h"
#include "core/user_interface.h"
#include "platform/terminal.h"
#include "ui/abort_gate.h"
#include "ui/terminal/output_pane.h"
#include "ui/terminal/status_area.h"
#include "ui/typed_keys.h"

namespace tav {

class ConsoleUi : public UserInterface {
 public:
  explicit ConsoleUi(InterpreterState& st);
  ~ConsoleUi() override;

  void SetControlText(int control, std::string_view text) override;
  void EnableControl(int control, bool enable) override;
  bool HasOutputWindow() const override;
  void SetOutputTitle(std::string_view title) override;
  void ShowOutput(std::string text) override;
  TextEncoding OutputEncoding() const override;
  void WaitForKey() override;
  bool CanTypeKeys() const override;
  int PollKey(int timeoutMs) override;
  void ForwardKeysToCommand(bool on) override;
  void MessageBox(std::string_view caption, std::string_view text) override;
  void ShowWindows() override;
  void CloseWindows() override;
  void RunEnded(int exitCode) override;

  std::string ControlText(int control) const;

 private:
  using Lock = std::unique_lock<std::mutex>;

  int TakeKey(Lock& lock, int timeoutMs);
  void TakeTerminal(bool rawKeys);
  void Suspend();
  void Redraw();
  void RedrawSoon();
  // The front-end thread and what it handles.
  void Serve();
  void Handle(const platform::TerminalEvent& event);
  void Tick();
  void HandleKey(int key);
  void Interrupt();
  void Ask();
  void Answer(int key);
  void ConfirmAbort();
  void EndQuestion();
  std::string EndSummary() const;

  InterpreterState& st_;
  TextEncoding encoding_;
  OutputPane pane_;
  StatusArea status_;
  ElapsedClock clock_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  AbortGate gate_{st_, changed_};
  bool session_ = false;   // the status area is shown
  bool rawKeys_ = false;   // keys are read by the front end
  bool answerKeys_ = false;  // raw mode only for the question
  TypedKeys keys_;
  std::string savedStatus_;
  std::string title_;
  long long nextTick_ = 0;
  long long lastDraw_ = 0;
  long long startMs_ = 0;
  int exitCode_ = 0;
  bool dirty_ = false;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace tav
