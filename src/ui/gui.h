// The windows of a build that has them: the status dialog, the output window,
// the pictures and the About box. They live on a window thread of their own;
// the interpreter reaches them only through Gui, which never waits on that
// thread, and they report back through GuiEvents. A build or a session that
// cannot make windows (no display, a service) gets no Gui at all and falls
// back to the console.
#pragma once

#include <memory>
#include <string_view>

namespace tav {

// What the user does in the windows. Called on the window thread.
class GuiEvents {
 public:
  virtual ~GuiEvents() = default;
  // The abort question is about to open: the run must hold still until it
  // is answered.
  virtual void AbortAsked() = 0;
  // The answer: yes stops the run, no lets it go on where it stood.
  virtual void AbortAnswered(bool yes) = 0;
  // A character typed into the output window (Enter arrives as 13).
  virtual void KeyTyped(int character) = 0;
};

struct GuiOptions {
  bool quiet = false;    // nothing is shown
  bool output = false;   // the output window is made
  bool noAbort = false;  // Abort and the close request do nothing
};

class Gui {
 public:
  virtual ~Gui() = default;
  // Shows the windows the options call for (once; the options are read
  // after the windows were made, so they come here).
  virtual void Show(const GuiOptions& options) = 0;
  // The status dialog's controls, by their identifiers.
  virtual void SetControlText(int control, std::string_view text) = 0;
  virtual void EnableControl(int control, bool enable) = 0;
  virtual void SetOutputTitle(std::string_view title) = 0;
  // Appends a message text (LF line ends, lines possibly starting with a
  // marker byte) to the output window; ignored when there is none.
  virtual void AppendOutput(std::string_view text) = 0;
  // A message box with a stop icon; waits for it unless nothing is shown.
  virtual void MessageBox(std::string_view caption, std::string_view text) = 0;
  // A question with Retry and Cancel and an exclamation icon; true for
  // Retry. With nothing shown no one can answer: Cancel.
  virtual bool AskRetry(std::string_view caption, std::string_view text) = 0;
  // Closes every window and ends the window thread.
  virtual void Close() = 0;
};

// The windows, made but not shown yet; nullptr when no window can be made.
std::unique_ptr<Gui> OpenGui(GuiEvents& events);

}  // namespace tav
