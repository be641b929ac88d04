// POSIX implementation of child processes and the environment.
#include "platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace tav::platform {

namespace {

constexpr int kReadWaitMs = 200;

void ClosePipeEnd(intptr_t& fd) {
  if (fd >= 0) ::close(static_cast<int>(fd));
  fd = -1;
}

}  // namespace

bool StartChild(const ChildCommand& command, ChildProcess& child, int& error) {
  const std::vector<std::string>& argv = command.argv;
  if (argv.empty()) {
    error = ENOENT;
    return false;
  }
  // A child that ends early must not kill the interpreter with SIGPIPE when a
  // typed key is passed on.
  ::signal(SIGPIPE, SIG_IGN);
  // A caller may have left child signals ignored, which has the system reap
  // children unasked and hides their exit codes from the wait.
  ::signal(SIGCHLD, SIG_DFL);
  int output[2], input[2];
  if (::pipe2(output, O_CLOEXEC) != 0) {
    error = errno;
    return false;
  }
  if (::pipe2(input, O_CLOEXEC) != 0) {
    error = errno;
    ::close(output[0]);
    ::close(output[1]);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input[0], 0);
  posix_spawn_file_actions_adddup2(&actions, output[1], 1);
  posix_spawn_file_actions_adddup2(&actions, output[1], 2);
  // Whatever else the interpreter holds, also descriptors it inherited
  // without close-on-exec, stays out of the child.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  int rc = ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(input[0]);
  ::close(output[1]);
  if (rc != 0) {
    error = rc;
    ::close(input[1]);
    ::close(output[0]);
    return false;
  }
  child.id = pid;
  child.outputRead = output[0];
  child.inputWrite = input[1];
  return true;
}

long ReadChildOutput(ChildProcess& child, char* buffer, size_t size) {
  if (child.outputRead < 0) return 0;
  // Wait a bounded time, so that a stop request that arrives just before the
  // wait is still seen while a silent child runs on.
  pollfd ready{static_cast<int>(child.outputRead), POLLIN, 0};
  if (::poll(&ready, 1, kReadWaitMs) <= 0) return -1;
  ssize_t n = ::read(static_cast<int>(child.outputRead), buffer, size);
  if (n >= 0) return static_cast<long>(n);
  if (errno == EINTR || errno == EAGAIN) return -1;
  return 0;
}

bool WriteChildInput(ChildProcess& child, char c) {
  if (child.inputWrite < 0) return false;
  return ::write(static_cast<int>(child.inputWrite), &c, 1) == 1;
}

void CloseChildInput(ChildProcess& child) { ClosePipeEnd(child.inputWrite); }

void CloseChildOutput(ChildProcess& child) { ClosePipeEnd(child.outputRead); }

void TerminateChild(ChildProcess& child) {
  if (child.id < 0) return;
  ::kill(static_cast<pid_t>(child.id), SIGKILL);
  WaitChild(child);
}

int WaitChild(ChildProcess& child) {
  if (child.id < 0) return -1;
  int status = 0;
  while (::waitpid(static_cast<pid_t>(child.id), &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  child.id = -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

ChildCommand ShellCommand(const std::string& text) {
  std::string interpreter = GetEnvironment("COMSPEC").value_or("");
  if (interpreter.empty()) interpreter = "/bin/sh";
  return ChildCommand{interpreter + " -c " + text, {interpreter, "-c", text}};
}

std::optional<std::string> GetEnvironment(const std::string& name) {
  if (name.empty() || name.find('=') != std::string::npos || name.find('\0') != std::string::npos) {
    return std::nullopt;
  }
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

}  // namespace tav::platform
