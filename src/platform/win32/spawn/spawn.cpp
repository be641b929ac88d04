// spawn.exe: starts the command line that follows its own name with the
// standard handles it was given, waits for it and ends with its exit code, so
// that a code below 32 means success. A command that cannot be started ends
// it with kCannotStart. The command runs in a job that ends with it when this
// program is ended from outside (the interpreter's abort), so that nothing the
// command started outlives an abort.
#include <string>

#include "platform/system.h"
#include "platform/win32/win32_api.h"

namespace {

constexpr DWORD kCannotStart = 255;

HANDLE CreateKillOnCloseJob() {
  HANDLE job = ::CreateJobObjectA(nullptr, nullptr);
  if (job == nullptr) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  return job;
}

// After a normal end the job lets the command's own background processes
// live on.
void ReleaseJob(HANDLE job) {
  if (job == nullptr) return;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  ::CloseHandle(job);
}

void ReportStartFailure(const std::string& command, DWORD error) {
  char reason[4096];
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                             MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reason, sizeof reason, nullptr);
  std::string text = "Cannot start " + command + ": " + std::string(reason, n);
  if (n == 0) text += "error " + std::to_string(error) + "\r\n";
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
  HANDLE job = CreateKillOnCloseJob();
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr,
                        &startup, &started)) {
    ReportStartFailure(command, ::GetLastError());
    ReleaseJob(job);
    return static_cast<int>(kCannotStart);
  }
  if (job != nullptr) ::AssignProcessToJobObject(job, started.hProcess);
  ::ResumeThread(started.hThread);
  ::CloseHandle(started.hThread);
  DWORD code = kCannotStart;
  if (::WaitForSingleObject(started.hProcess, INFINITE) != WAIT_OBJECT_0 ||
      !::GetExitCodeProcess(started.hProcess, &code)) {
    code = kCannotStart;
  }
  ::CloseHandle(started.hProcess);
  ReleaseJob(job);
  return static_cast<int>(code);
}
