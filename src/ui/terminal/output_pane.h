// The output pane: message text as the terminal shows it. A marker at the
// start of a line is removed and, on a colour terminal, colours the line red
// (error) or blue (information). On a terminal, control characters that
// would be taken as commands by it are shown in caret form (^[) instead.
#pragma once

#include <string>
#include <string_view>

namespace tav {

class OutputPane {
 public:
  OutputPane(bool colour, bool terminal) : colour_(colour), terminal_(terminal) {}
  // The bytes to write for the next piece of text; a line may arrive in
  // several pieces.
  std::string Render(std::string_view text);

 private:
  void StartColour(std::string& out) const;
  void AppendChar(std::string& out, char c) const;

  bool colour_;
  bool terminal_;
  bool atLineStart_ = true;
  char lineMarker_ = 0;
};

}  // namespace tav
