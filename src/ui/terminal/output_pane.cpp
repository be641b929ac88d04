#include "ui/terminal/output_pane.h"

#include "core/messages.h"
#include "platform/terminal.h"

namespace tav {

void OutputPane::StartColour(std::string& out) const {
  if (!colour_ || lineMarker_ == 0) return;
  out += platform::ColourSequence(lineMarker_ == kErrorMarker ? platform::TextColour::Red : platform::TextColour::Blue);
}

void OutputPane::AppendChar(std::string& out, char c) const {
  auto byte = static_cast<unsigned char>(c);
  bool control = byte < 0x20 || byte == 0x7f;
  if (!terminal_ || !control || c == '\n' || c == '\t') {
    out += c;
    return;
  }
  out += '^';
  out += static_cast<char>(byte ^ 0x40);
}

std::string OutputPane::Render(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 16);
  if (!atLineStart_) StartColour(out);
  for (char c : text) {
    if (atLineStart_) {
      atLineStart_ = false;
      lineMarker_ = IsMarker(c) ? c : 0;
      StartColour(out);
      if (lineMarker_ != 0) continue;
    }
    if (c == '\n') {
      if (colour_ && lineMarker_ != 0) out += platform::ColourSequence(platform::TextColour::Normal);
      atLineStart_ = true;
    }
    AppendChar(out, c);
  }
  if (colour_ && lineMarker_ != 0 && !atLineStart_) out += platform::ColourSequence(platform::TextColour::Normal);
  return out;
}

}  // namespace tav
