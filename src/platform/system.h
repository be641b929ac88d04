// The system around the interpreter: its directories, clocks and signals.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace tav::platform {

// The name of the system this build is for ("POSIX", "Windows").
const char* SystemName();

// The directory that holds the user's profile files and the debug log (the
// Windows directory). Created when needed. Empty when none can be had.
std::string WindowsDirectory();
// The directory of the running executable, ending with a separator.
std::string ExecutableDirectory();

// The command line as the system hands it to a program in one piece (the
// text after the program's own name and the blanks that follow it); nothing
// where a program receives its arguments as separate words instead.
std::optional<std::string> WholeCommandLine();
// The default command line that the system keeps in the user's profile
// (section "TAV32", key "default command line", at most 511 characters;
// empty when unset); nothing where the system keeps no user profile.
std::optional<std::string> ProfileCommandLine();

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
LocalTime CurrentLocalTime();
// A file time (100-ns units since 1601) converted to local time.
LocalTime FileTimeToLocal(uint64_t fileTime);

// Fixes the directories that the environment names for the interpreter's own
// files (the Windows directory, the registry store) to full paths, so that a
// CD during the run does not move them.
void PinEnvironmentDirectories();

// Writing to a closed pipe (standard output piped into a program that has
// quit) fails with an error instead of ending the process.
void IgnoreBrokenPipes();

// An interrupt from the terminal (Ctrl+C) sets *stop and *abort instead of ending the
// process; with ignore set it is ignored altogether.
void CatchInterrupt(std::atomic<bool>* stop, std::atomic<bool>* abort, bool ignore);

}  // namespace tav::platform
