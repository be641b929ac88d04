// The report file (-REPORT FILE): JSON Lines, one object for each statement
// carried out and a last one for the run. The JSON is written here only; the
// handlers hand their changes to the state's RunReport.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "core/state.h"

namespace tav {

class ReportFile {
 public:
  // Opens the file at the options' report path (emptied first); does
  // nothing when no report is asked for. Reports error 3 when it cannot be
  // created.
  explicit ReportFile(InterpreterState& st);
  ~ReportFile();
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;

  // The record of one statement (name "external" for an external command)
  // with the changes the handlers recorded for it.
  void Statement(uint32_t line, const std::string& name, const std::string& text, bool ok);
  // The last record: the exit code and its meaning, the counts and the time.
  void Finish(int exitCode);

 private:
  InterpreterState& st_;
  platform::File file_;
  std::chrono::steady_clock::time_point start_;
  unsigned statements_ = 0;
  unsigned changed_ = 0;
  unsigned failed_ = 0;
  unsigned changes_ = 0;
};

}  // namespace tav
