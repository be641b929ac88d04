#include "run/run.h"

#include "core/lines.h"
#include "core/messages.h"
#include "core/text.h"
#include "core/user_interface.h"
#include "external/external.h"
#include "parse/arguments.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "registry/registry.h"
#include "run/commands.h"
#include "run/report.h"

namespace tav {

namespace {

size_t LineEndAt(const InterpreterState& st, size_t from) {
  size_t end = st.programText.find('\n', from);
  return end == std::string::npos ? st.programText.size() : end;
}

void StartRun(InterpreterState& st) {
  // A wait for a registry store's lock says what it waits for, and a stop
  // ends it.
  platform::RegSetLockWait({&st.stopRequested, [&st](const std::string& path) {
                              st.ui->SetControlText(kStatusLine,
                                                    Format("Waiting for another update of %s to end.", path.c_str()));
                            }});
  st.currentKey = nullptr;
  st.currentKeyPath.clear();
  st.deleteDepth = 0;
  st.ifDepth = 0;
  if (!st.options.noAbort) st.ui->EnableControl(kAbortButton, true);
  st.branchActive = false;
  st.lineNumber = 1;
  st.position = 0;
  PrintMessage(st, Format("%c**** %s ****\n%cUnattended update interpreter, %s build\n", kInfoMarker,
                          kProductVersion, kInfoMarker, platform::SystemName()));
  if (st.options.whatIf) {
    PrintMessage(st, Format("%cWHATIF: a dry run: nothing is written, created, deleted or run.\n", kInfoMarker));
  }
}

void EndRun(InterpreterState& st) {
  platform::RegSetLockWait({});
  if (st.currentKey != nullptr) {
    platform::RegClose(st.currentKey);
    st.currentKey = nullptr;
  }
  // The registry's journals go into its files; what they hold is on disk
  // already, so a failure here is told but fails no statement.
  platform::RegFlush();
  registry::ReportStoreDiagnostic(st);
  if (st.options.debug) st.debugLog.Close();
}

// The debug entry of a statement or external command, and its blue echo.
void RecordLine(InterpreterState& st, const char* what, const std::string& line) {
  if (!st.options.debug) return;
  WriteDebugLog(st, Format("%s - Line %u\r\n%s \"%s\".\r\n", st.programTitle.c_str(), st.lineNumber, what,
                           line.c_str()));
  PrintMessage(st, Format("%c%s - Line %u\r\n%c%s \"%s\".\r\n", kInfoMarker, st.programTitle.c_str(),
                          st.lineNumber, kInfoMarker, what, line.c_str()));
}

void RecordFailure(InterpreterState& st, const std::string& what) {
  // A user abort ends the run where it stands: the statement it cut short has
  // not failed on its own.
  if (!st.options.debug || st.userAbort) return;
  WriteDebugLog(st, Format("\"%s\" was unsuccessful.\r\nCause: %s\r\n", what.c_str(), ErrorText(st.errorCode)));
}

void RunStatement(InterpreterState& st, ReportFile& report, int index, const std::string& line) {
  const CommandEntry& entry = Command(index);
  // A statement of several lines is reported at its first.
  uint32_t first = st.lineNumber;
  RecordLine(st, "Processing command", line);
  std::optional<ArgumentArray> args = ParseArguments(st, index);
  if (st.options.trace) TraceWait(st);
  if (st.stopRequested) return;
  bool ok = entry.handler(st, args ? &*args : nullptr);
  if (!ok) RecordFailure(st, entry.name);
  report.Statement(first, entry.name, line, ok);
}

void RunExternalLine(InterpreterState& st, ReportFile& report, const std::string& line) {
  CommandKeys keys(st);
  st.ui->SetControlText(kStatusLine, "Spawning external command.");
  if (st.ui->HasOutputWindow()) st.ui->SetOutputTitle(Format("%s - \"%s\"", kOutputTitle, line.c_str()));
  RecordLine(st, "Executing external command", line);
  if (st.options.trace) TraceWait(st);
  if (st.stopRequested) return;
  bool ok = RunExternalCommand(st, line);
  if (!st.stopRequested) st.ui->SetOutputTitle(kOutputTitle);
  if (!ok) RecordFailure(st, line);
  report.Statement(st.lineNumber, "external", line, ok);
}

// Handles the line that begins at the position.
void RunLine(InterpreterState& st, ReportFile& report) {
  size_t end = LineEndAt(st, st.position);
  std::string_view line(st.programText.data() + st.position, end - st.position);
  if (IsLabelLine(line) || IsCommentLine(line)) return;
  while (st.position < end && st.programText[st.position] == ' ') ++st.position;
  if (st.position == end) return;
  std::string buffer = st.programText.substr(st.position, end - st.position);
  int index = LookupCommand(st);
  if (index >= 0) {
    RunStatement(st, report, index, buffer);
  } else {
    RunExternalLine(st, report, buffer);
  }
}

}  // namespace

int LookupCommand(InterpreterState& st) {
  size_t end = LineEndAt(st, st.position);
  std::string_view line(st.programText.data() + st.position, end - st.position);
  int index = FindCommand(line);
  if (index < 0) return -1;
  const CommandEntry& entry = Command(index);
  st.ui->SetControlText(kStatusLine, Format("Processing command %s.\r\n", entry.name));
  size_t blank = line.find(' ', std::string_view(entry.name).size());
  st.position += blank == std::string_view::npos ? line.size() : blank + 1;
  return index;
}

void TraceWait(InterpreterState& st) {
  PrintMessage(st, Format("%cTRACE: Press any key to continue...\n", kInfoMarker));
  st.ui->WaitForKey();
}

int RunProgram(InterpreterState& st) {
  StartRun(st);
  ReportFile report(st);
  while (!st.AtEnd() && !st.stopRequested) {
    st.ui->SetControlText(kLineNumber, Format("%u", st.lineNumber));
    RunLine(st, report);
    ++st.lineNumber;
    size_t lf = st.programText.find('\n', st.position);
    st.position = lf == std::string::npos ? st.programText.size() : lf + 1;
  }
  EndRun(st);
  int code = st.userAbort ? static_cast<int>(kErrUserAbort) : st.errorCode;
  report.Finish(code);
  return code;
}

}  // namespace tav
