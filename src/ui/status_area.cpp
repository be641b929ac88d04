#include "ui/status_area.h"

#include <cstdio>

#include "ui/user_interface.h"

namespace tav {

void ElapsedClock::Tick(long long nowMs) {
  if (!started_) {
    started_ = true;
    last_ = nowMs;
  }
  long long whole = (nowMs - last_) / 1000;
  last_ = nowMs;
  long long total = seconds_ + whole;
  seconds_ = static_cast<int>(total % 60);
  total = minutes_ + total / 60;
  minutes_ = static_cast<int>(total % 60);
  hours_ += static_cast<int>(total / 60);
}

std::string ElapsedClock::Text() const {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", hours_, minutes_, seconds_);
  return buffer;
}

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

std::string CutToWidth(std::string_view text, int columns) {
  int used = 0;
  size_t i = 0;
  for (; i < text.size(); ++i) {
    bool continuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
    if (continuation) continue;
    if (used == columns) break;
    ++used;
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
    size_t width = 0;
    for (char c : span.text) width += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    left -= static_cast<int>(width);
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
