// The SynchronizeDir syntax, both forms: the input is what follows the
// statement word (" FROM TO /D ..." or a line end and the block's lines).
#include "run/commands.h"
#include "run/run.h"
#include "statement_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tav::fuzz;
  tav::InterpreterState st;
  SilentUi ui;
  LoadText(st, ui, "SynchronizeDir" + std::string(AsText(data, size)));
  FUZZ_CHECK(tav::LookupCommand(st) == tav::kCmdSynchronizeDir);
  ParseAndCheck(st, tav::kCmdSynchronizeDir);
  return 0;
}
