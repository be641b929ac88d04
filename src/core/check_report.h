// The findings of a program check: what the error reports of a checked
// program and the check's own rules found, and how each is printed ("FILE:LINE:
// error CODE: MESSAGE", the form that editors and build tools read).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tav {

struct InterpreterState;

struct CheckFinding {
  uint32_t line = 0;
  bool error = false;
  int code = 0;      // errors: the code that the run reports
  int exitCode = 0;  // errors: the code that the run ends with after it
  std::string text;  // what follows "error CODE: " or "warning: "
  std::string name;  // warnings: the short name of the rule, printed in brackets after the text
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
  void Warning(uint32_t line, std::string text, std::string name = {});
  // Whether an error of code is reported for the line already.
  bool HasError(uint32_t line, int code) const;
  size_t ErrorCount() const;
  size_t WarningCount() const;

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
// The printed line: "FILE:LINE: error CODE: TEXT" or "FILE:LINE: warning: TEXT [NAME]".
std::string FormatFinding(std::string_view file, const CheckFinding& finding);

// The error that a statement's check finds in the line being checked:
// "SUBJECT: TEXT (DETAIL)" about the statement the report is on. exitCode,
// when not -1, is the code that a run ends with when it differs.
void CheckError(InterpreterState& st, int code, std::string_view detail = {}, int exitCode = -1);
// A warning about the line being checked.
void CheckWarning(InterpreterState& st, std::string text, std::string name);

}  // namespace tav
