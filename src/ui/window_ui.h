// The user interface of a build with windows: the interpreter's calls go to
// the windows (platform/gui.h), and what the user does there comes back as
// events: the abort question holds the run at its next call here until it is
// answered, and typed characters end a key wait or go to the running
// command.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "core/state.h"
#include "core/user_interface.h"
#include "ui/abort_gate.h"
#include "ui/gui.h"
#include "ui/typed_keys.h"

namespace tav {

class WindowUi : public UserInterface, public GuiEvents {
 public:
  using GuiOpener = std::function<std::unique_ptr<Gui>(GuiEvents&)>;

  explicit WindowUi(InterpreterState& st);
  ~WindowUi() override;

  // Makes the windows; false when none can be made.
  bool Open(const GuiOpener& open);

  void SetControlText(int control, std::string_view text) override;
  void EnableControl(int control, bool enable) override;
  bool HasOutputWindow() const override;
  void SetOutputTitle(std::string_view title) override;
  void ShowOutput(std::string text) override;
  void WaitForKey() override;
  bool CanTypeKeys() const override;
  int PollKey(int timeoutMs) override;
  void ForwardKeysToCommand(bool on) override;
  void MessageBox(std::string_view caption, std::string_view text) override;
  bool AskRetry(std::string_view caption, std::string_view text) override;
  void ShowWindows() override;
  void CloseWindows() override;

  void AbortAsked() override;
  void AbortAnswered(bool yes) override;
  void KeyTyped(int character) override;

 private:
  using Lock = std::unique_lock<std::mutex>;

  // A key wait ends without a key when the run stops or the windows close.
  bool Released() const;

  InterpreterState& st_;
  std::unique_ptr<Gui> gui_;

  std::mutex mutex_;
  std::condition_variable changed_;
  AbortGate gate_{st_, changed_};
  bool closed_ = false;
  TypedKeys keys_;
};

}  // namespace tav
