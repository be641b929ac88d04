// Start-up of the interpreter: the command line in, the exit code out.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/state.h"
#include "core/version.h"
#include "platform/console.h"
#include "run/startup.h"
#include "ui/gui.h"
#include "ui/terminal/console_ui.h"
#include "ui/window_ui.h"

namespace {

constexpr const char* kUsage =
    "Usage: tav32 PROGRAM-FILE [-DEBUG] [-TRACE] [-OUTPUT] [-NOABORT] [-QUIET] [-LOG FILE] [-CHECK [STRICT]]\n"
    "             [-WHATIF] [-REPORT FILE]\n"
    "       tav32 --help | --version\n"
    "Runs the statements of PROGRAM-FILE one line after the other.\n"
    "  -DEBUG    record every statement in DEBUGLOG.TAV in the Windows directory\n"
    "  -TRACE    wait for a key before every statement\n"
    "  -OUTPUT   show messages and command output on standard output\n"
    "  -NOABORT  the run cannot be interrupted\n"
    "  -QUIET    show nothing\n"
    "  -LOG FILE append every message to FILE (emptied first)\n"
    "  -CHECK    check the program file without running anything;\n"
    "            -CHECK STRICT counts warnings as errors\n"
    "  -WHATIF   a dry run: show what would change, change nothing\n"
    "  -REPORT FILE write what every statement did to FILE (JSON Lines)\n"
    "Without arguments the default command line of section [TAV32] in WIN.INI is used.\n"
    "The exit code is the code of the last error of the run (0 for none).\n"
    "Environment: COMSPEC is the shell of Shell, PATH where commands are found;\n"
    "NO_COLOR turns colours off; TERM unset, empty or dumb shows no status area.\n"
    "On POSIX also: WINDIR, else XDG_STATE_HOME or HOME,\n"
    "gives the Windows directory; TAV32_REGISTRY the registry store; LC_ALL,\n"
    "LC_CTYPE, LANG the locale, whose charset is the code page.\n"
    "More in the manual page: man tav32.\n";

// The About box's text.
constexpr const char* kAbout = TAV32_PRODUCT "\n" TAV32_BUILD_DATE "\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    tav::platform::WriteStdout(kUsage);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    tav::platform::WriteStdout(kAbout);
    return 0;
  }
  std::vector<std::string> args(argv + 1, argv + argc);
  tav::InterpreterState st;
  // The windows when this build and session can show them, else the console.
  std::unique_ptr<tav::UserInterface> ui;
  auto windows = std::make_unique<tav::WindowUi>(st);
  if (windows->Open(tav::OpenGui)) {
    ui = std::move(windows);
  } else {
    ui = std::make_unique<tav::ConsoleUi>(st);
  }
  st.ui = ui.get();
  return tav::StartAndRun(st, args);
}
