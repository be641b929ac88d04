// What the interpreter needs from its user interface: the status display's
// controls, the output window, the key wait and message boxes. The POSIX
// console build implements it on the terminal; tests can supply their own.
#pragma once

#include <string>
#include <string_view>

#include "core/text_width.h"

namespace tav {

// Status-display controls, by the identifiers the statements address.
enum StatusControl : int {
  kStatusLine = 100,
  kLeftDirectory = 102,
  kLeftLabel = 103,
  kRightDirectory = 104,
  kRightLabel = 105,
  kElapsedTime = 106,
  kSyncLabel = 108,
  kLineNumber = 109,
  kProgramFile = 111,
  kAbortButton = 113,
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  virtual void SetControlText(int control, std::string_view text) = 0;
  virtual void EnableControl(int control, bool enable) = 0;
  // Whether an output window exists to show messages and take keys.
  virtual bool HasOutputWindow() const = 0;
  virtual void SetOutputTitle(std::string_view title) = 0;
  // Shows a message text (already wrapped, lines may begin with a marker).
  virtual void ShowOutput(std::string text) = 0;
  // How the output window encodes its text, which decides the columns its
  // characters take: the Windows output window draws the bytes of a
  // single-byte code page, one column each.
  virtual TextEncoding OutputEncoding() const { return TextEncoding::SingleByte; }
  // Waits for one key typed into the output window; returns at once when no
  // key can be typed (no output window, or no terminal).
  virtual void WaitForKey() = 0;
  // Whether keys can be typed into the output window for a running command,
  // and the next typed key within timeoutMs milliseconds (-1 when none).
  virtual bool CanTypeKeys() const = 0;
  virtual int PollKey(int timeoutMs) = 0;
  // While on, keys typed into the output window are kept for PollKey (a
  // command is running); while off they are dropped unless a key wait takes
  // them.
  virtual void ForwardKeysToCommand(bool) {}
  // The status display and the output window appear once the options are
  // read, and go again when the run is over.
  virtual void ShowWindows() {}
  virtual void CloseWindows() {}
  // The run is over with this exit code; the windows are still shown.
  virtual void RunEnded(int) {}
  // A message box with a stop icon; an unattended run does not wait on it.
  virtual void MessageBox(std::string_view caption, std::string_view text) = 0;
  // A question answered Retry (true) or Cancel. Here: the text as a message
  // box, answered by the key R typed into the output window; without one to
  // type into, it counts as Cancel.
  virtual bool AskRetry(std::string_view caption, std::string_view text) {
    MessageBox(caption, text);
    int key = CanTypeKeys() ? PollKey(-1) : -1;
    return key == 'r' || key == 'R';
  }
};

}  // namespace tav
