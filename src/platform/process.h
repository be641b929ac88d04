// Child processes with piped standard streams, and the environment.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tav::platform {

// A running child: its standard output and standard error both go into one
// pipe that the interpreter reads; its standard input is a pipe that the
// interpreter writes (or closes at once, so the child reads end of file).
struct ChildProcess {
  intptr_t id = -1;
  intptr_t outputRead = -1;
  intptr_t inputWrite = -1;
};

// A command to run: the command line as written, and the same split into its
// arguments. Each platform starts the form its programs take: Windows hands
// the line as written to the spawn program in the interpreter's directory;
// POSIX starts argv[0] (looked up in PATH when it has no separator) with argv.
struct ChildCommand {
  std::string line;
  std::vector<std::string> argv;
};

// Starts a command. False when it could not be started; error holds the
// system error number.
bool StartChild(const ChildCommand& command, ChildProcess& child, int& error);
// The command that runs text through the command interpreter that COMSPEC
// names, else the system's own ("cmd.exe" taking "/C"; "/bin/sh" taking
// "-c").
ChildCommand ShellCommand(const std::string& text);
// Reads what the child wrote: the count, 0 once every writer has closed the
// pipe (the child and whatever it started have ended), -1 when nothing came
// within a short wait or on a failure worth retrying.
long ReadChildOutput(ChildProcess& child, char* buffer, size_t size);
// Passes one typed character to the child's standard input.
bool WriteChildInput(ChildProcess& child, char c);
void CloseChildInput(ChildProcess& child);
void CloseChildOutput(ChildProcess& child);
// Waits for the child to end; its exit code, or 128 + the signal number for a
// child ended by a signal; -1 when the wait failed.
int WaitChild(ChildProcess& child);
// Ends a child that is still running (as an abort does) and reaps it.
void TerminateChild(ChildProcess& child);

// The value of an environment variable; nothing when it is not set.
std::optional<std::string> GetEnvironment(const std::string& name);

}  // namespace tav::platform
