#include "ui/terminal/status_area.h"

#include "core/user_interface.h"

namespace tav {

bool IsC1Introducer(unsigned char byte, const TextCharacter& character, TextEncoding encoding) {
  if (byte != 0x90 && byte != 0x9B && byte != 0x9D) return false;
  return encoding == TextEncoding::SingleByte || !character.valid;
}

std::string CleanForTerminal(std::string_view text, TextEncoding encoding) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    TextCharacter character = CharacterAt(text, i, encoding);
    auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '\t') {
      out += ' ';
    } else if (byte >= 0x20 && byte != 0x7f && !IsC1Introducer(byte, character, encoding)) {
      out.append(text.substr(i, character.bytes));
    }
    i += character.bytes;
  }
  return out;
}

StatusArea::StatusArea() {
  texts[kStatusLine] = "Preparing Operation";
  texts[kElapsedTime] = "00:00:00";
  for (int control : {kSyncLabel, kLeftLabel, kRightLabel, kAbortButton}) enabled[control] = false;
}

std::string StatusArea::Text(int control) const {
  auto it = texts.find(control);
  return it == texts.end() ? std::string() : CleanForTerminal(it->second, encoding);
}

bool StatusArea::Enabled(int control) const {
  auto it = enabled.find(control);
  return it == enabled.end() || it->second;
}

namespace {

// Cuts the spans of a row so that together they fit the width.
platform::TerminalRow FitRow(platform::TerminalRow row, int columns, TextEncoding encoding) {
  int left = columns < 0 ? 0 : columns;
  platform::TerminalRow fitted;
  for (platform::TerminalSpan& span : row) {
    span.text = CutToWidth(span.text, left, encoding);
    left -= TextWidth(span.text, encoding);
    if (!span.text.empty()) fitted.push_back(std::move(span));
  }
  return fitted;
}

}  // namespace

std::vector<platform::TerminalRow> StatusArea::Rows(int columns) const {
  std::vector<platform::TerminalRow> rows;
  rows.push_back({{"Current Status: ", false}, {Text(kStatusLine), false}});
  if (!question.empty()) {
    rows.push_back({{CleanForTerminal(question, encoding), false}});
    rows.push_back({});
  } else {
    rows.push_back({{"SynchronizeDir: ", !Enabled(kSyncLabel)},
                    {"Left directory:  ", !Enabled(kLeftLabel)},
                    {Text(kLeftDirectory), false}});
    rows.push_back({{"                ", false},
                    {"Right directory: ", !Enabled(kRightLabel)},
                    {Text(kRightDirectory), false}});
  }
  rows.push_back({{"Time elapsed: " + Text(kElapsedTime) + "  Line: " + Text(kLineNumber) +
                       "  Program File: " + Text(kProgramFile) + "  ",
                   false},
                  {"Abort: Ctrl+C", !Enabled(kAbortButton)}});
  for (platform::TerminalRow& row : rows) row = FitRow(std::move(row), columns, encoding);
  return rows;
}

}  // namespace tav
