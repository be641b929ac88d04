// Writes that fail half-way and writers in two processes at once, with real
// child processes: the file is never left half-written and no update is lost.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

#include "core/messages.h"
#include "ini/ini.h"
#include "ini_test_support.h"

namespace tav::ini::testing {
namespace {

using CrashSafetyTest = IniTest;

pid_t StartChild(const std::function<int()>& body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  return pid;
}

int WaitChild(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Makes every write of this process beyond limit bytes fail (EFBIG).
void LimitFileSize(rlim_t limit) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit rl{limit, limit};
  setrlimit(RLIMIT_FSIZE, &rl);
}

TEST_F(CrashSafetyTest, FailedWriteLeavesTheOriginalAndNoOtherFile) {
  const std::string bytes = "[s]\nkeep=1\n" + std::string(3000, ';') + "\n";
  Put("a.ini", bytes);
  int result = WaitChild(StartChild([&] {
    LimitFileSize(4096);
    bool written = WriteProfileString(Path("a.ini"), "s", "big", std::string(5000, 'x'));
    InterpreterState st;
    ArgumentArray args{Argument::Text(Path("a.ini")), Argument::Text("s"), Argument::Text(std::string(2000, 'y'))};
    bool added = IniAddLine(st, &args);
    return written || added || st.errorCode != kErrFileAccess ? 1 : 0;
  }));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Get("a.ini"), bytes);
  EXPECT_EQ(Names(), std::vector<std::string>{"a.ini"});
}

TEST_F(CrashSafetyTest, TwoProcessesAddingToOneSectionKeepEveryLine) {
  constexpr int kLines = 60;
  auto adder = [&](const std::string& prefix) {
    return [this, prefix] {
      InterpreterState st;
      for (int i = 0; i < kLines; ++i) {
        ArgumentArray args{Argument::Text(Path("a.ini")), Argument::Text("s"),
                           Argument::Text(prefix + std::to_string(i) + "=1")};
        if (!IniAddLine(st, &args)) return 1;
      }
      return 0;
    };
  };
  pid_t first = StartChild(adder("first"));
  pid_t second = StartChild(adder("second"));
  EXPECT_EQ(WaitChild(first), 0);
  EXPECT_EQ(WaitChild(second), 0);
  std::vector<std::string> lines = Section("a.ini", "s");
  std::sort(lines.begin(), lines.end());
  std::vector<std::string> expected;
  for (int i = 0; i < kLines; ++i) {
    expected.push_back("first" + std::to_string(i) + "=1");
    expected.push_back("second" + std::to_string(i) + "=1");
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(Names(), std::vector<std::string>{"a.ini"});
}

}  // namespace
}  // namespace tav::ini::testing
