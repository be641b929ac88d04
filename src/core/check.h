// Checking a program file without running it (the CHECK option): every line
// is read by the statements' own parsers, and the block, label and jump rules
// are applied on every path. Nothing is carried out, written, created or
// deleted; the findings are printed one per line, in the form that editors
// and build tools read ("FILE:LINE: error CODE: MESSAGE").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/startup.h"
#include "core/state.h"

namespace tav {

struct CheckFinding {
  uint32_t line = 0;
  bool error = false;
  int code = 0;      // errors: the code that the run reports
  int exitCode = 0;  // errors: the code that the run ends with after it
  std::string text;  // what follows "error CODE: " or "warning: "
};

class CheckReport {
 public:
  // What the error reports from now on are about ("IniAddLine", an option).
  void SetSubject(std::string subject) { subject_ = std::move(subject); }
  const std::string& Subject() const { return subject_; }
  // The error report of a checked program: code's text, about the subject.
  void Reported(uint32_t line, int code);
  // An error that the check finds itself. exitCode, when not -1, is the code
  // that a run ends with when it differs from the one reported.
  void Error(uint32_t line, int code, std::string text, int exitCode = -1);
  void Warning(uint32_t line, std::string text);

  // The findings in line order (in the order found within a line).
  std::vector<CheckFinding> Findings() const;
  // 0 without errors; otherwise the code that a run ends with after the last
  // error in line order.
  int ExitCode() const;

 private:
  std::string subject_;
  std::vector<CheckFinding> findings_;
};

// "SUBJECT: TEXT (DETAIL)" with the error table's text for code; the subject
// and the detail are left out when empty.
std::string ErrorMessage(std::string_view subject, int code, std::string_view detail = {});
// The printed line: "FILE:LINE: error CODE: TEXT" or "FILE:LINE: warning: TEXT".
std::string FormatFinding(std::string_view file, const CheckFinding& finding);

// Checks the loaded program text, which is not yet expanded: the check makes
// the environment expansion itself, as a run would, and notes what it leaves
// as written. The error reports of the parsers go into report.
void CheckProgram(InterpreterState& st, CheckReport& report);

// The CHECK option: loads the program file, reads the option words, checks
// the program and shows the findings (standard output, and the LOG file when
// LOG names one). Returns the exit code.
int CheckProgramFile(InterpreterState& st, const CommandLine& commandLine);

}  // namespace tav
