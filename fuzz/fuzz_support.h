// What the harnesses share: a property check that stops the run (libFuzzer
// then keeps the input as a crash), a user interface that shows nothing, and
// the cutting of an input into NUL-separated parts.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/user_interface.h"

namespace tav::fuzz {

[[noreturn]] inline void PropertyFailed(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, what);
  std::abort();
}

#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::tav::fuzz::PropertyFailed(#condition, __FILE__, __LINE__))

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

// The first count - 1 NUL-separated parts of input, and the rest of it
// (NULs included) as the last part; parts that are missing are empty.
inline std::vector<std::string_view> SplitParts(std::string_view input, size_t count) {
  std::vector<std::string_view> parts;
  while (parts.size() + 1 < count) {
    size_t nul = input.find('\0');
    if (nul == std::string_view::npos) break;
    parts.push_back(input.substr(0, nul));
    input.remove_prefix(nul + 1);
  }
  parts.push_back(input);
  parts.resize(count);
  return parts;
}

// A user interface with no output window that forgets what it is told.
class SilentUi : public UserInterface {
 public:
  void SetControlText(int, std::string_view) override {}
  void EnableControl(int, bool) override {}
  bool HasOutputWindow() const override { return false; }
  void SetOutputTitle(std::string_view) override {}
  void ShowOutput(std::string) override {}
  void WaitForKey() override {}
  bool CanTypeKeys() const override { return false; }
  int PollKey(int) override { return -1; }
  void MessageBox(std::string_view, std::string_view) override {}
};

}  // namespace tav::fuzz
