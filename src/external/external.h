// External commands and the Shell statement.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/state.h"
#include "platform/process.h"

namespace tav {

// Runs a program line as a child process, showing its output as messages.
// True when it ran and ended with an exit code below 32.
bool RunExternalCommand(InterpreterState& st, const std::string& commandLine);
// The same for a command already split into its arguments.
bool RunExternalArgs(InterpreterState& st, const std::vector<std::string>& argv);
// The same for a command in both its forms.
bool RunExternalChild(InterpreterState& st, const platform::ChildCommand& command);

// While one exists, keys typed into the output window are kept for the
// command: from the start of its statement (before its title shows it) until
// the command has ended, so that no key typed meanwhile is lost. One made
// inside another keeps the keys the outer one has kept.
class CommandKeys {
 public:
  explicit CommandKeys(InterpreterState& st);
  ~CommandKeys();
  CommandKeys(const CommandKeys&) = delete;
  CommandKeys& operator=(const CommandKeys&) = delete;

 private:
  UserInterface* ui_ = nullptr;
};

// Splits a command line by the rules Windows programs apply to their own:
// blanks separate, double quotes group, backslashes before a quote escape it.
std::vector<std::string> SplitCommandLine(std::string_view line);
// Joins arguments into a command line that SplitCommandLine splits back into
// the same arguments (quoting those with blanks or quotes).
std::string JoinCommandLine(const std::vector<std::string>& argv);

bool Shell(InterpreterState& st, const ArgumentArray* args);

}  // namespace tav
