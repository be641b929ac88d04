// The output pane: message text as the terminal shows it. A marker at the
// start of a line is removed and, on a colour terminal, colours the line red
// (error) or blue (information). On a terminal, control characters that
// would be taken as commands by it are shown in caret form (^[, and M-^[ for
// the C1 control CSI) instead.
#pragma once

#include <string>
#include <string_view>

#include "core/text_width.h"

namespace tav {

class OutputPane {
 public:
  OutputPane(bool colour, bool terminal, TextEncoding encoding = TextEncoding::Utf8)
      : colour_(colour), terminal_(terminal), encoding_(encoding) {}
  // The bytes to write for the next piece of text; a line may arrive in
  // several pieces, and so may a character.
  std::string Render(std::string_view text);
  bool AtLineStart() const { return atLineStart_; }

 private:
  void StartColour(std::string& out) const;
  void AppendCharacter(std::string& out, std::string_view text, size_t i, const TextCharacter& character);

  bool colour_;
  bool terminal_;
  TextEncoding encoding_;
  bool atLineStart_ = true;
  char lineMarker_ = 0;
  // Continuation bytes still due to a UTF-8 character that the end of the
  // previous piece cut short.
  int continuationsDue_ = 0;
};

}  // namespace tav
