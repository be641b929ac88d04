// The findings of a program check, how they are printed, and the CHECK
// option's way from the command line to the exit code.
#include "run/check.h"

#include <algorithm>

#include "core/messages.h"
#include "core/text.h"
#include "platform/console.h"
#include "core/user_interface.h"

namespace tav {

namespace {

// The findings go to standard output as plain lines; with OUTPUT they go
// through the output window instead, which colours errors red and warnings
// blue on a terminal. A LOG file that the command line names holds exactly
// the same lines, and nothing else.
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
  if (st.options.quiet || plain.empty()) return;
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
  return report.ExitCode();
}

}  // namespace tav
