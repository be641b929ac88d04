// spawn.exe: starts the command line that follows its own name with the
// standard handles it was given, waits for it and ends with its exit code, so
// that a code below 32 means success. A command that cannot be started ends
// it with kCannotStart. (The interpreter keeps this program and everything it
// starts in one job, which an abort ends as a whole.)
#include <string>

#include "platform/system.h"
#include "platform/win32/win32_api.h"

namespace {

constexpr DWORD kCannotStart = 255;

// Tells why the command could not be started in the words the interpreter
// uses for a child it cannot start itself.
void ReportStartFailure(DWORD error) {
  char reason[4096];
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                             MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reason, sizeof reason, nullptr);
  std::string text = "CreateProcess failed!\r\nReason: " + std::string(reason, n);
  if (n == 0) text += "Error " + std::to_string(error) + "\r\n";
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

int main() {
  std::string command = tav::platform::WholeCommandLine().value_or("");
  if (command.empty()) return static_cast<int>(kCannotStart);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION started{};
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &started)) {
    ReportStartFailure(::GetLastError());
    return static_cast<int>(kCannotStart);
  }
  ::CloseHandle(started.hThread);
  DWORD code = kCannotStart;
  if (::WaitForSingleObject(started.hProcess, INFINITE) != WAIT_OBJECT_0 ||
      !::GetExitCodeProcess(started.hProcess, &code)) {
    code = kCannotStart;
  }
  ::CloseHandle(started.hProcess);
  return static_cast<int>(code);
}
