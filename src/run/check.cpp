// The findings of a program check, how they are printed, and the CHECK
// option's way from the command line to the exit code.
#include "run/check.h"

#include <algorithm>

#include "core/messages.h"
#include "core/text.h"
#include "core/user_interface.h"
#include "platform/console.h"

namespace tav {

namespace {

std::string Counted(size_t count, const char* what) {
  return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

// "update.tav: no problems found", or what was found.
std::string Summary(std::string_view file, const CheckReport& report) {
  std::string name(file);
  size_t errors = report.ErrorCount();
  size_t warnings = report.WarningCount();
  if (errors == 0 && warnings == 0) return name + ": no problems found";
  if (errors == 0) return name + ": " + Counted(warnings, "warning") + ", no errors";
  return name + ": " + Counted(errors, "error") + (warnings == 0 ? "" : ", " + Counted(warnings, "warning"));
}

// The findings go to standard output as plain lines; with OUTPUT they go
// through the output window instead, which colours errors red and warnings
// blue on a terminal. A LOG file that the command line names holds exactly
// the same lines, and nothing else. A person at a terminal is also told how
// it ended, in one more line; a pipe or a file gets the problem lines alone.
void ShowFindings(InterpreterState& st, std::string_view file, const CheckReport& report) {
  std::string plain;
  std::string marked;
  for (const CheckFinding& finding : report.Findings()) {
    std::string line = FormatFinding(file, finding) + "\n";
    plain += line;
    marked += finding.error ? kErrorMarker : kInfoMarker;
    marked += line;
  }
  if (st.options.log) AppendToLogFile(st, plain);
  if (st.options.quiet) return;
  if (platform::StdoutIsTerminal()) {
    std::string summary = Summary(file, report) + "\n";
    plain += summary;
    marked += summary;
  }
  if (plain.empty()) return;
  if (st.options.output && st.ui->HasOutputWindow()) {
    st.ui->ShowOutput(marked);
  } else {
    platform::WriteStdout(plain);
  }
}

}  // namespace

int CheckProgramFile(InterpreterState& st, const CommandLine& commandLine) {
  CheckReport report;
  st.check = &report;
  std::string file = commandLine.programFile.value_or("");
  DropTrailingBlanks(file);
  std::string problem;
  if (!LoadProgramFile(st, commandLine, problem)) {
    report = CheckReport();
    report.Error(0, kErrMemory, LoadFailureText(problem));
  } else {
    st.lineNumber = 0;
    ReadOptions(st, commandLine.optionWords);
    CheckProgram(st, report);
  }
  st.check = nullptr;
  ShowFindings(st, file, report);
  if (st.options.checkStrict && report.ExitCode() == 0 && report.WarningCount() > 0) return kErrSyntax;
  return report.ExitCode();
}

}  // namespace tav
