#include "ui/terminal/output_pane.h"

#include "core/messages.h"
#include "platform/terminal.h"
#include "ui/terminal/status_area.h"

namespace tav {

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The continuation bytes a UTF-8 lead byte announces.
int ContinuationsOf(unsigned char lead) { return lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1; }

}  // namespace

void OutputPane::StartColour(std::string& out) const {
  if (!colour_ || lineMarker_ == 0) return;
  out += platform::ColourSequence(lineMarker_ == kErrorMarker ? platform::TextColour::Red : platform::TextColour::Blue);
}

void OutputPane::AppendCharacter(std::string& out, std::string_view text, size_t i, const TextCharacter& character) {
  auto byte = static_cast<unsigned char>(text[i]);
  bool control = byte < 0x20 || byte == 0x7f;
  if (terminal_ && control && byte != '\n' && byte != '\t') {
    out += '^';
    out += static_cast<char>(byte ^ 0x40);
  } else if (terminal_ && IsC1Introducer(byte, character, encoding_)) {
    out += "M-^";
    out += static_cast<char>((byte & 0x7f) ^ 0x40);
  } else {
    out.append(text.substr(i, character.bytes));
  }
}

std::string OutputPane::Render(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 16);
  if (!atLineStart_) StartColour(out);
  for (size_t i = 0; i < text.size();) {
    char c = text[i];
    if (atLineStart_) {
      atLineStart_ = false;
      lineMarker_ = IsMarker(c) ? c : 0;
      StartColour(out);
      if (lineMarker_ != 0) {
        ++i;
        continue;
      }
    }
    if (continuationsDue_ > 0 && IsContinuation(static_cast<unsigned char>(c))) {
      --continuationsDue_;
      out += c;
      ++i;
      continue;
    }
    continuationsDue_ = 0;
    TextCharacter character = CharacterAt(text, i, encoding_);
    // A character cut short by the end of the piece: its rest comes first in
    // the next one.
    auto byte = static_cast<unsigned char>(c);
    if (!character.valid && i + character.bytes == text.size() && byte >= 0xC2 && byte <= 0xF4) {
      continuationsDue_ = ContinuationsOf(static_cast<unsigned char>(c)) - static_cast<int>(character.bytes - 1);
    }
    if (c == '\n') {
      if (colour_ && lineMarker_ != 0) out += platform::ColourSequence(platform::TextColour::Normal);
      atLineStart_ = true;
    }
    AppendCharacter(out, text, i, character);
    i += character.bytes;
  }
  if (colour_ && lineMarker_ != 0 && !atLineStart_) out += platform::ColourSequence(platform::TextColour::Normal);
  return out;
}

}  // namespace tav
