#include "core/check_report.h"

#include <algorithm>

#include "core/messages.h"
#include "core/state.h"
#include "core/text.h"

namespace tav {

void CheckReport::Reported(uint32_t line, int code) { Error(line, code, ErrorMessage(subject_, code)); }

void CheckReport::Error(uint32_t line, int code, std::string text, int exitCode) {
  // A statement that reports the same failure twice (a key path tested
  // twice) shows it once.
  if (!findings_.empty()) {
    const CheckFinding& last = findings_.back();
    if (last.error && last.line == line && last.code == code && last.text == text) return;
  }
  findings_.push_back(CheckFinding{line, true, code, exitCode < 0 ? code : exitCode, std::move(text), {}});
}

void CheckReport::Warning(uint32_t line, std::string text, std::string name) {
  findings_.push_back(CheckFinding{line, false, 0, 0, std::move(text), std::move(name)});
}

bool CheckReport::HasError(uint32_t line, int code) const {
  return std::any_of(findings_.begin(), findings_.end(),
                     [&](const CheckFinding& f) { return f.error && f.line == line && f.code == code; });
}

size_t CheckReport::ErrorCount() const {
  return static_cast<size_t>(std::count_if(findings_.begin(), findings_.end(), [](const CheckFinding& f) { return f.error; }));
}

size_t CheckReport::WarningCount() const { return findings_.size() - ErrorCount(); }

std::vector<CheckFinding> CheckReport::Findings() const {
  std::vector<CheckFinding> sorted = findings_;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const CheckFinding& a, const CheckFinding& b) { return a.line < b.line; });
  return sorted;
}

int CheckReport::ExitCode() const {
  int code = 0;
  for (const CheckFinding& finding : Findings()) {
    if (finding.error) code = finding.exitCode;
  }
  return code;
}

std::string ErrorMessage(std::string_view subject, int code, std::string_view detail) {
  std::string text;
  if (!subject.empty()) {
    text += subject;
    text += ": ";
  }
  text += ErrorText(code);
  if (!detail.empty()) {
    text += " (";
    text += detail;
    text += ")";
  }
  return text;
}

std::string FormatFinding(std::string_view file, const CheckFinding& finding) {
  std::string name(file);
  if (finding.error) {
    return Format("%s:%u: error %d: %s", name.c_str(), finding.line, finding.code, finding.text.c_str());
  }
  std::string line = Format("%s:%u: warning: %s", name.c_str(), finding.line, finding.text.c_str());
  if (!finding.name.empty()) line += " [" + finding.name + "]";
  return line;
}

void CheckError(InterpreterState& st, int code, std::string_view detail, int exitCode) {
  st.check->Error(st.lineNumber, code, ErrorMessage(st.check->Subject(), code, detail), exitCode);
}

void CheckWarning(InterpreterState& st, std::string text, std::string name) {
  st.check->Warning(st.lineNumber, std::move(text), std::move(name));
}

}  // namespace tav
