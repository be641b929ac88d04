// Start-up: the command line, loading the program file, the option words and
// the environment expansion, in the order that ends in the run.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/expand.h"
#include "core/state.h"

namespace tav {

struct CommandLine {
  std::optional<std::string> programFile;
  std::vector<std::string> optionWords;
};

// Reads the arguments after the program's own name: the first is the program
// file, each later one beginning with "-" starts an option word (the dashes
// are the cut), and one that does not continues the current word after a
// blank.
CommandLine ReadCommandLine(const std::vector<std::string>& args);
// Cuts a command line given in one piece at every "-" and "/": runs of them
// are one cut, cuts at the beginning are ignored, there are no empty pieces,
// and blanks stay inside the pieces. The first piece is the program file,
// the others are option words.
CommandLine CutCommandLine(std::string_view text);
// Splits a stored command line into arguments as a shell would: blanks
// separate, double quotes group.
std::vector<std::string> SplitShellWords(std::string_view text);
// The default command line from the user's profile; empty when none.
std::string DefaultCommandLine();

// Normalises a program file's bytes into the program text; a UTF-8
// byte-order mark (as Notepad writes) is dropped.
std::string NormaliseProgramText(std::string_view bytes);
// Loads the program file. When it cannot be, problem says why where there is
// more to say than that it could not be read (it is UTF-16 text, it is a FIFO).
bool LoadProgramFile(InterpreterState& st, const CommandLine& commandLine, std::string& problem);
// "Program file could not be loaded." and the problem, when there is one.
std::string LoadFailureText(const std::string& problem);
// Whether an option word asks for the program to be checked, not run.
bool IsCheckWord(std::string_view word);
// CHECK STRICT: warnings count as errors for the exit code.
bool IsStrictCheckWord(std::string_view word);
bool AsksForCheck(const std::vector<std::string>& words);
// Reads the option words. With CHECK among them, DEBUG creates no debug log
// and unknown words show no message box: a check only reports.
bool ReadOptions(InterpreterState& st, const std::vector<std::string>& words);

bool ExpandEnvironment(InterpreterState& st);

// The whole start-up followed by the run; returns the process exit code.
int StartAndRun(InterpreterState& st, const std::vector<std::string>& args);

}  // namespace tav
