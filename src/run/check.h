// Checking a program file without running it (the CHECK option): every line
// is read by the statements' own parsers, and the block, label and jump rules
// are applied on every path. Nothing is carried out, written, created or
// deleted; the findings are printed one per line, in the form that editors
// and build tools read ("FILE:LINE: error CODE: MESSAGE").
#pragma once

#include "core/check_report.h"
#include "core/state.h"
#include "run/startup.h"

namespace tav {

// Checks the loaded program text, which is not yet expanded: the check makes
// the environment expansion itself, as a run would, and notes what it leaves
// as written. The error reports of the parsers go into report.
void CheckProgram(InterpreterState& st, CheckReport& report);

// The CHECK option: loads the program file, reads the option words, checks
// the program and shows the findings (standard output, and the LOG file when
// LOG names one). Returns the exit code.
int CheckProgramFile(InterpreterState& st, const CommandLine& commandLine);

}  // namespace tav
