// The If grammar: the input is what follows "If " on a line, between a line
// before and a line after, so that a parser that moves outside its own
// statement shows.
#include "run/commands.h"
#include "statement_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tav::fuzz;
  static constexpr std::string_view kBefore = "Echo before\nIf ";
  tav::InterpreterState st;
  SilentUi ui;
  LoadText(st, ui, std::string(kBefore) + std::string(AsText(data, size)) + "\nEcho after\n");
  st.position = kBefore.size();
  st.lineNumber = 2;
  ParseAndCheck(st, tav::kCmdIf);
  return 0;
}
