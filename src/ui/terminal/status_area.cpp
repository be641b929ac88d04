#include "ui/terminal/status_area.h"

#include <cstdio>

#include "core/user_interface.h"

namespace tav {

std::string CleanForTerminal(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '\t') {
      out += ' ';
    } else if (byte >= 0x20 && byte != 0x7f) {
      out += c;
    }
  }
  return out;
}

namespace {

// The length of the UTF-8 sequence at i and its code point; a byte that
// starts no valid sequence stands for itself (the terminal shows one
// replacement character for it).
size_t NextCodePoint(std::string_view text, size_t i, char32_t& codePoint) {
  auto byte = static_cast<unsigned char>(text[i]);
  size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
  codePoint = byte;
  if (length == 1 || i + length > text.size()) return 1;
  codePoint = byte & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) {
      codePoint = byte;
      return 1;
    }
    codePoint = (codePoint << 6) | (next & 0x3F);
  }
  return length;
}

// Columns a character takes: none for combining marks and zero-width
// characters, two for East Asian wide and full-width characters and emoji.
int ColumnsOf(char32_t c) {
  if ((c >= 0x0300 && c <= 0x036F) || (c >= 0x200B && c <= 0x200F) || (c >= 0xFE00 && c <= 0xFE0F)) return 0;
  bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
              (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
              (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
              (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
  return wide ? 2 : 1;
}

}  // namespace

int TextWidth(std::string_view text) {
  int width = 0;
  for (size_t i = 0; i < text.size();) {
    char32_t c = 0;
    i += NextCodePoint(text, i, c);
    width += ColumnsOf(c);
  }
  return width;
}

std::string CutToWidth(std::string_view text, int columns) {
  int used = 0;
  size_t i = 0;
  while (i < text.size()) {
    char32_t c = 0;
    size_t length = NextCodePoint(text, i, c);
    if (used + ColumnsOf(c) > columns) break;
    used += ColumnsOf(c);
    i += length;
  }
  return std::string(text.substr(0, i));
}

StatusArea::StatusArea() {
  texts[kStatusLine] = "Preparing Operation";
  texts[kElapsedTime] = "00:00:00";
  for (int control : {kSyncLabel, kLeftLabel, kRightLabel, kAbortButton}) enabled[control] = false;
}

std::string StatusArea::Text(int control) const {
  auto it = texts.find(control);
  return it == texts.end() ? std::string() : CleanForTerminal(it->second);
}

bool StatusArea::Enabled(int control) const {
  auto it = enabled.find(control);
  return it == enabled.end() || it->second;
}

namespace {

// Cuts the spans of a row so that together they fit the width.
platform::TerminalRow FitRow(platform::TerminalRow row, int columns) {
  int left = columns < 0 ? 0 : columns;
  platform::TerminalRow fitted;
  for (platform::TerminalSpan& span : row) {
    span.text = CutToWidth(span.text, left);
    left -= TextWidth(span.text);
    if (!span.text.empty()) fitted.push_back(std::move(span));
  }
  return fitted;
}

}  // namespace

std::vector<platform::TerminalRow> StatusArea::Rows(int columns) const {
  std::vector<platform::TerminalRow> rows;
  rows.push_back({{"Current Status: ", false}, {Text(kStatusLine), false}});
  if (!question.empty()) {
    rows.push_back({{CleanForTerminal(question), false}});
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
  for (platform::TerminalRow& row : rows) row = FitRow(std::move(row), columns);
  return rows;
}

}  // namespace tav
