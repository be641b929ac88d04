#include "ui/console_ui.h"

#include "core/messages.h"
#include "platform/console.h"
#include "platform/process.h"

namespace tav {

namespace {

constexpr const char* kRed = "\x1b[31m";
constexpr const char* kBlue = "\x1b[34m";
constexpr const char* kReset = "\x1b[0m";

}  // namespace

ConsoleUi::ConsoleUi(const Options& options)
    : options_(options),
      colour_(platform::StdoutIsTerminal() && !platform::GetEnvironment("NO_COLOR").has_value()) {}

void ConsoleUi::SetControlText(int control, std::string_view text) { texts_[control] = std::string(text); }

void ConsoleUi::EnableControl(int, bool) {}

std::string ConsoleUi::ControlText(int control) const {
  auto it = texts_.find(control);
  return it == texts_.end() ? std::string() : it->second;
}

bool ConsoleUi::HasOutputWindow() const { return options_.output && !options_.quiet; }

void ConsoleUi::SetOutputTitle(std::string_view) {}

// Writes the text line by line: a marker at the start of a line is removed
// and, on a colour terminal, colours that line.
void ConsoleUi::ShowOutput(std::string text) {
  std::string out;
  out.reserve(text.size() + 16);
  if (colour_ && !atLineStart_ && lineMarker_ != 0) out += lineMarker_ == kErrorMarker ? kRed : kBlue;
  for (char c : text) {
    if (atLineStart_) {
      atLineStart_ = false;
      if (IsMarker(c)) {
        lineMarker_ = c;
        if (colour_) out += c == kErrorMarker ? kRed : kBlue;
        continue;
      }
      lineMarker_ = 0;
    }
    if (c == '\n') {
      if (colour_ && lineMarker_ != 0) out += kReset;
      atLineStart_ = true;
    }
    out += c;
  }
  if (colour_ && lineMarker_ != 0 && !atLineStart_) out += kReset;
  platform::WriteStdout(out);
}

void ConsoleUi::WaitForKey() {
  if (CanTypeKeys()) platform::ReadKey();
}

bool ConsoleUi::CanTypeKeys() const { return HasOutputWindow() && platform::StdinIsTerminal(); }

int ConsoleUi::PollKey(int timeoutMs) { return platform::PollKey(timeoutMs); }

void ConsoleUi::MessageBox(std::string_view caption, std::string_view text) {
  std::string line(caption);
  line += ": ";
  line += text;
  line += "\n";
  platform::WriteStderr(line);
}

}  // namespace tav
