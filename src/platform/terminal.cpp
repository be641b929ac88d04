// What both builds share of the terminal: the colour sequences, which a POSIX
// terminal and a Windows console with virtual terminal processing both take.
#include "platform/terminal.h"

namespace tav::platform {

std::string_view ColourSequence(TextColour colour) {
  switch (colour) {
    case TextColour::Red:
      return "\x1b[31m";
    case TextColour::Blue:
      return "\x1b[34m";
    case TextColour::Normal:
      break;
  }
  return "\x1b[0m";
}

}  // namespace tav::platform
