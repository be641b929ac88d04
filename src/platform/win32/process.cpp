// Win32 implementation of child processes and the environment. Every command
// is started through the spawn program, spawn.exe, in the interpreter's own
// directory, which runs the command line after its name and ends with an exit
// code below 32 on success.
#include "platform/process.h"

#include "platform/fs.h"
#include "platform/system.h"
#include "platform/win32/win32_api.h"

namespace tav::platform {

namespace {

constexpr DWORD kReadWaitMs = 200;
constexpr DWORD kPollStepMs = 10;
constexpr size_t kCommandLineLimit = 4095;
constexpr UINT kAbortExitCode = 255;

void CloseEnd(intptr_t& handle) {
  if (handle >= 0) ::CloseHandle(AsHandle(handle));
  handle = -1;
}

struct Pipe {
  HANDLE read = nullptr;
  HANDLE write = nullptr;
};

// An anonymous pipe whose child end a child inherits; the interpreter's end
// (the read end when the interpreter reads) is not inherited.
bool CreateChildPipe(Pipe& pipe, bool interpreterReads) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  if (!::CreatePipe(&pipe.read, &pipe.write, &inherit, 0)) return false;
  HANDLE own = interpreterReads ? pipe.read : pipe.write;
  return ::SetHandleInformation(own, HANDLE_FLAG_INHERIT, 0) != 0;
}

void ClosePipe(Pipe& pipe) {
  if (pipe.read != nullptr) ::CloseHandle(pipe.read);
  if (pipe.write != nullptr) ::CloseHandle(pipe.write);
  pipe = Pipe{};
}

// A job for a child and whatever it starts; null when the child cannot be
// put into one (it is then ended alone).
HANDLE JoinNewJob(HANDLE process) {
  HANDLE job = ::CreateJobObjectA(nullptr, nullptr);
  if (job != nullptr && !::AssignProcessToJobObject(job, process)) {
    ::CloseHandle(job);
    job = nullptr;
  }
  return job;
}

}  // namespace

bool StartChild(const ChildCommand& command, ChildProcess& child, int& error) {
  std::string line = ExecutableDirectory() + "spawn.exe " + command.line;
  if (line.size() > kCommandLineLimit) {
    error = ERROR_FILENAME_EXCED_RANGE;
    return false;
  }
  Pipe output, input;
  if (!CreateChildPipe(output, true) || !CreateChildPipe(input, false)) {
    error = LastError();
    ClosePipe(output);
    ClosePipe(input);
    return false;
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  startup.hStdInput = input.read;
  startup.hStdOutput = output.write;
  startup.hStdError = output.write;
  PROCESS_INFORMATION started{};
  // Started suspended, so that it is in its job before it can start
  // anything of its own.
  BOOL ok = ::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP | CREATE_SUSPENDED,
                             nullptr, nullptr, &startup, &started);
  if (!ok) error = LastError();
  // The child's ends belong to the child now; the output pipe breaks once it
  // and whatever it started have ended.
  ::CloseHandle(input.read);
  ::CloseHandle(output.write);
  if (!ok) {
    ::CloseHandle(input.write);
    ::CloseHandle(output.read);
    return false;
  }
  child.group = FromHandle(JoinNewJob(started.hProcess));
  ::ResumeThread(started.hThread);
  ::CloseHandle(started.hThread);
  child.id = FromHandle(started.hProcess);
  child.outputRead = FromHandle(output.read);
  child.inputWrite = FromHandle(input.write);
  return true;
}

long ReadChildOutput(ChildProcess& child, char* buffer, size_t size) {
  if (child.outputRead < 0) return 0;
  HANDLE pipe = AsHandle(child.outputRead);
  // Anonymous pipes cannot be waited on, so they are looked at in short
  // steps; a stop request that arrives meanwhile is seen within the wait.
  for (DWORD waited = 0; waited < kReadWaitMs; waited += kPollStepMs) {
    DWORD available = 0;
    if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
      return ::GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    }
    if (available > 0) {
      DWORD want = available < size ? available : static_cast<DWORD>(size);
      DWORD n = 0;
      if (::ReadFile(pipe, buffer, want, &n, nullptr)) return static_cast<long>(n);
      return ::GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    }
    ::Sleep(kPollStepMs);
  }
  return -1;
}

bool WriteChildInput(ChildProcess& child, char c) {
  if (child.inputWrite < 0) return false;
  DWORD written = 0;
  return ::WriteFile(AsHandle(child.inputWrite), &c, 1, &written, nullptr) && written == 1;
}

void CloseChildInput(ChildProcess& child) { CloseEnd(child.inputWrite); }

void CloseChildOutput(ChildProcess& child) { CloseEnd(child.outputRead); }

int WaitChild(ChildProcess& child) {
  if (child.id < 0) return -1;
  HANDLE process = AsHandle(child.id);
  DWORD code = 0;
  bool ok = ::WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 && ::GetExitCodeProcess(process, &code);
  ::CloseHandle(process);
  child.id = -1;
  CloseEnd(child.group);
  // Exit codes beyond int's range (status codes of a crash) stay failures.
  if (!ok || code > 0x7fffffff) return -1;
  return static_cast<int>(code);
}

bool WaitChildFor(ChildProcess& child, int timeoutMs, int& exitCode) {
  if (child.id < 0) {
    exitCode = -1;
    return true;
  }
  DWORD wait = timeoutMs < 0 ? 0 : static_cast<DWORD>(timeoutMs);
  if (::WaitForSingleObject(AsHandle(child.id), wait) == WAIT_TIMEOUT) return false;
  exitCode = WaitChild(child);
  return true;
}

// Ends the spawn program and everything it started: the whole job.
void TerminateChild(ChildProcess& child) {
  if (child.id < 0) return;
  if (child.group >= 0) ::TerminateJobObject(AsHandle(child.group), kAbortExitCode);
  ::TerminateProcess(AsHandle(child.id), kAbortExitCode);
  WaitChild(child);
}

ChildCommand ShellCommand(const std::string& text) {
  std::string interpreter = GetEnvironment("COMSPEC").value_or("");
  if (interpreter.empty()) interpreter = "cmd.exe";
  return ChildCommand{interpreter + " /C " + text, {interpreter, "/C", text}};
}

std::optional<std::string> GetEnvironment(const std::string& name) {
  if (name.empty() || name.find('=') != std::string::npos || name.find('\0') != std::string::npos) {
    return std::nullopt;
  }
  std::string value(512, '\0');
  for (;;) {
    ::SetLastError(ERROR_SUCCESS);
    DWORD n = ::GetEnvironmentVariableA(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (n == 0) {
      if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (n < value.size()) {
      value.resize(n);
      return value;
    }
    value.resize(n);
  }
}

}  // namespace tav::platform
