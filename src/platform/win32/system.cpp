// Win32 implementation of the system interface.
#include "platform/system.h"

#include "platform/fs.h"
#include "platform/win32/win32_api.h"

namespace tav::platform {

namespace {

constexpr DWORD kDirectoryBuffer = 512;
constexpr DWORD kProfileBuffer = 512;

std::atomic<bool>* gStop = nullptr;
std::atomic<bool>* gAbort = nullptr;

// Ctrl+C and Ctrl+Break at the console ask for an abort; the run loop and the
// external-command runner see it and end the run.
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  if (gAbort != nullptr) gAbort->store(true);
  if (gStop != nullptr) gStop->store(true);
  return TRUE;
}

LocalTime FromSystemTime(const SYSTEMTIME& t) {
  return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace

const char* SystemName() { return "Windows"; }

std::string WindowsDirectory() {
  char buffer[kDirectoryBuffer];
  UINT n = ::GetWindowsDirectoryA(buffer, kDirectoryBuffer);
  if (n == 0 || n >= kDirectoryBuffer) return std::string();
  return std::string(buffer, n);
}

std::string ExecutableDirectory() {
  char buffer[MAX_PATH + 1];
  DWORD n = ::GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return ".\\";
  std::string path(buffer, n);
  size_t separator = LastSeparator(path);
  return separator == std::string::npos ? ".\\" : path.substr(0, separator + 1);
}

std::optional<std::string> WholeCommandLine() {
  const char* line = ::GetCommandLineA();
  std::string_view text = line == nullptr ? std::string_view() : std::string_view(line);
  // The program's own name: quoted up to the closing quote, else up to the
  // first blank or tab.
  size_t i = 0;
  if (!text.empty() && text[0] == '"') {
    size_t close = text.find('"', 1);
    i = close == std::string_view::npos ? text.size() : close + 1;
  }
  while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  return std::string(text.substr(i));
}

std::optional<std::string> ProfileCommandLine() {
  char buffer[kProfileBuffer] = {};
  DWORD n = ::GetProfileStringA("TAV32", "default command line", "", buffer, kProfileBuffer);
  return std::string(buffer, n < kProfileBuffer ? n : kProfileBuffer - 1);
}

LocalTime CurrentLocalTime() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return FromSystemTime(now);
}

LocalTime FileTimeToLocal(uint64_t fileTime) {
  FILETIME utc{static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
  FILETIME local{};
  SYSTEMTIME parts{};
  if (!::FileTimeToLocalFileTime(&utc, &local) || !::FileTimeToSystemTime(&local, &parts)) return LocalTime{};
  return FromSystemTime(parts);
}

// The Windows directory comes from the system, never from the environment,
// so nothing needs fixing.
void PinEnvironmentDirectories() {}

// A write into a closed pipe fails with an error here anyway.
void IgnoreBrokenPipes() {}

void CatchInterrupt(std::atomic<bool>* stop, std::atomic<bool>* abort, bool ignore) {
  gStop = stop;
  gAbort = abort;
  if (ignore) {
    ::SetConsoleCtrlHandler(nullptr, TRUE);
  } else {
    ::SetConsoleCtrlHandler(nullptr, FALSE);
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  }
}

}  // namespace tav::platform
