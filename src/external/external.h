// External commands and the Shell statement.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/state.h"

namespace tav {

// Runs a program line as a child process, showing its output as messages.
// True when it ran and ended with an exit code below 32.
bool RunExternalCommand(InterpreterState& st, const std::string& commandLine);
// The same for a command already split into its arguments.
bool RunExternalArgs(InterpreterState& st, const std::vector<std::string>& argv);

// Splits a command line by the rules Windows programs apply to their own:
// blanks separate, double quotes group, backslashes before a quote escape it.
std::vector<std::string> SplitCommandLine(std::string_view line);

bool Shell(InterpreterState& st, const ArgumentArray* args);

}  // namespace tav
