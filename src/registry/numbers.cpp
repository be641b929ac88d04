#include "registry/registry.h"

#include "core/text.h"

namespace tav::registry {

namespace {

int DigitValue(char c, unsigned base) {
  int v = -1;
  if (c >= '0' && c <= '9') v = c - '0';
  char lower = AsciiLower(c);
  if (lower >= 'a' && lower <= 'f') v = lower - 'a' + 10;
  return v >= 0 && static_cast<unsigned>(v) < base ? v : -1;
}

// Accumulates digits up to limit; stops at the first blank when blanks may
// end the number (only blanks may follow then).
bool ParseNumber(std::string_view text, uint64_t limit, bool blanksMayFollow, uint64_t& value) {
  unsigned base = 10;
  if (StartsWithNoCase(text, "0x")) {
    base = 16;
    text.remove_prefix(2);
  }
  value = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (blanksMayFollow && text[i] == ' ') {
      return text.find_first_not_of(' ', i) == std::string_view::npos;
    }
    int digit = DigitValue(text[i], base);
    if (digit < 0) return false;
    value = value * base + static_cast<uint64_t>(digit);
    if (value > limit) return false;
  }
  return true;
}

}  // namespace

bool ParseDwordText(std::string_view text, uint32_t& value) {
  uint64_t v = 0;
  if (!ParseNumber(text, 0xFFFFFFFFull, false, v)) return false;
  value = static_cast<uint32_t>(v);
  return true;
}

bool ParseByteText(std::string_view text, uint8_t& value) {
  uint64_t v = 0;
  if (!ParseNumber(text, 0xFF, true, v)) return false;
  value = static_cast<uint8_t>(v);
  return true;
}

}  // namespace tav::registry
