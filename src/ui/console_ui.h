// The terminal user interface of the POSIX build: the output window is the
// standard output, message boxes go to standard error, keys come from the
// terminal. The status display has no place on a terminal; its texts are kept
// so that they can be asked for.
#pragma once

#include <map>
#include <string>

#include "core/state.h"
#include "ui/user_interface.h"

namespace tav {

class ConsoleUi : public UserInterface {
 public:
  explicit ConsoleUi(const Options& options);

  void SetControlText(int control, std::string_view text) override;
  void EnableControl(int control, bool enable) override;
  bool HasOutputWindow() const override;
  void SetOutputTitle(std::string_view title) override;
  void ShowOutput(std::string text) override;
  void WaitForKey() override;
  bool CanTypeKeys() const override;
  int PollKey(int timeoutMs) override;
  void MessageBox(std::string_view caption, std::string_view text) override;

  std::string ControlText(int control) const;

 private:
  const Options& options_;
  bool colour_;
  bool atLineStart_ = true;
  char lineMarker_ = 0;
  std::map<int, std::string> texts_;
};

}  // namespace tav
