// The status area that a terminal shows pinned below the output: what each
// status control holds, which labels are enabled, the elapsed-time clock and
// the abort question, laid out as rows cut to the terminal's width.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/text_width.h"
#include "platform/terminal.h"
#include "ui/elapsed_clock.h"

namespace tav {

// Whether a character that begins with byte is a C1 control that starts a
// terminal sequence (DCS, CSI, OSC) as an 8-bit terminal takes it: any such
// byte in a single-byte code page; in UTF-8 one that is not part of a
// character.
bool IsC1Introducer(unsigned char byte, const TextCharacter& character, TextEncoding encoding);
// A text made safe for one terminal row: control characters (escape
// sequences among them, also C1 ones) are dropped, tabs become blanks.
std::string CleanForTerminal(std::string_view text, TextEncoding encoding);

struct StatusArea {
  static constexpr int kRows = 4;

  std::map<int, std::string> texts;
  std::map<int, bool> enabled;
  // While not empty, the question replaces the directory rows.
  std::string question;
  TextEncoding encoding = TextEncoding::Utf8;

  StatusArea();
  std::string Text(int control) const;
  bool Enabled(int control) const;
  // The kRows rows to show, each cut to columns.
  std::vector<platform::TerminalRow> Rows(int columns) const;
};

}  // namespace tav
