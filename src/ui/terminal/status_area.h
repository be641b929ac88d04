// The status area that a terminal shows pinned below the output: what each
// status control holds, which labels are enabled, the elapsed-time clock and
// the abort question, laid out as rows cut to the terminal's width.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/terminal.h"
#include "ui/elapsed_clock.h"

namespace tav {

// A text made safe for one terminal row: control characters (escape
// sequences among them) are dropped, tabs become blanks.
std::string CleanForTerminal(std::string_view text);
// The columns a UTF-8 text takes on a terminal (wide characters take two).
int TextWidth(std::string_view text);
// The text cut to at most columns columns; a UTF-8 sequence is never split.
std::string CutToWidth(std::string_view text, int columns);

struct StatusArea {
  static constexpr int kRows = 4;

  std::map<int, std::string> texts;
  std::map<int, bool> enabled;
  // While not empty, the question replaces the directory rows.
  std::string question;

  StatusArea();
  std::string Text(int control) const;
  bool Enabled(int control) const;
  // The kRows rows to show, each cut to columns.
  std::vector<platform::TerminalRow> Rows(int columns) const;
};

}  // namespace tav
