// POSIX implementation of the system interface.
#include "platform/system.h"

#include "platform/fs.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

namespace tav::platform {

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// Creates a directory and its missing parents with mode 0700.
bool MakeDirectories(const std::string& path) {
  for (size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
    std::string part = path.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::atomic<bool>* gStop = nullptr;
std::atomic<bool>* gAbort = nullptr;

void OnInterrupt(int) {
  if (gAbort != nullptr) gAbort->store(true);
  if (gStop != nullptr) gStop->store(true);
}

}  // namespace

const char* SystemName() { return "POSIX"; }

std::string WindowsDirectory() {
  std::string windir = Env("WINDIR");
  if (!windir.empty()) return windir;
  std::string state = Env("XDG_STATE_HOME");
  std::string directory;
  if (!state.empty()) {
    directory = state + "/tav32";
  } else {
    std::string home = Env("HOME");
    if (home.empty()) return std::string();
    directory = home + "/.local/state/tav32";
  }
  return MakeDirectories(directory) ? directory : std::string();
}

std::string ExecutableDirectory() {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "./";
  std::string path(buffer, static_cast<size_t>(n));
  return path.substr(0, path.find_last_of('/') + 1);
}

// Programs here receive separate arguments, and there is no user profile of
// the system's own: the core keeps its own rules for both.
std::optional<std::string> WholeCommandLine() { return std::nullopt; }
std::optional<std::string> ProfileCommandLine() { return std::nullopt; }

namespace {

LocalTime FromTimeT(time_t seconds) {
  tm parts {};
  ::localtime_r(&seconds, &parts);
  return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

}  // namespace

LocalTime CurrentLocalTime() { return FromTimeT(::time(nullptr)); }

LocalTime FileTimeToLocal(uint64_t fileTime) {
  constexpr int64_t kEpochDifference = 11644473600LL;
  return FromTimeT(static_cast<time_t>(static_cast<int64_t>(fileTime / 10'000'000ull) - kEpochDifference));
}

void PinEnvironmentDirectories() {
  for (const char* name : {"WINDIR", "XDG_STATE_HOME", "HOME", "TAV32_REGISTRY"}) {
    std::string value = Env(name);
    if (!value.empty() && value[0] != '/') ::setenv(name, FullPath(value).c_str(), 1);
  }
}

void IgnoreBrokenPipes() { ::signal(SIGPIPE, SIG_IGN); }

void CatchInterrupt(std::atomic<bool>* stop, std::atomic<bool>* abort, bool ignore) {
  gStop = stop;
  gAbort = abort;
  struct sigaction action {};
  action.sa_handler = ignore ? SIG_IGN : OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no restart: a blocked read returns so the stop is seen
  ::sigaction(SIGINT, &action, nullptr);
  // Termination, hang-up and the terminal's quit key (Ctrl+\) end the run:
  // they abort it the same way, also when interrupts are ignored, so that the
  // running command and what it started are ended and the logs are closed
  // instead of the process vanishing and leaving them running.
  action.sa_handler = OnInterrupt;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGHUP, &action, nullptr);
  ::sigaction(SIGQUIT, &action, nullptr);
}

}  // namespace tav::platform
