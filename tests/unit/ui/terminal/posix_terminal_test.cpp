// The built binary on a pseudo-terminal: the status area pinned to the
// bottom rows, keys for Pause and for a running command, the abort question,
// the signals, and the terminal left as it was found.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <thread>

#include "test_support.h"

namespace tav {
namespace {

constexpr int kWaitMs = 15000;

// The binary running on the slave side of a pseudo-terminal of 80 columns,
// with TERM=xterm and the changes in env ("NAME=" removes NAME); the test
// reads the master side and types into it.
class PtyRun {
 public:
  PtyRun(const test::TempDir& dir, const std::vector<std::string>& args, const std::string& stdoutFile = "",
         unsigned short rows = 24, const std::vector<std::string>& env = {}) {
    winsize ws{rows, 80, 0, 0};
    EXPECT_EQ(::openpty(&master_, &slave_, nullptr, nullptr, &ws), 0);
    EXPECT_EQ(::tcgetattr(slave_, &before_), 0);
    pid_ = ::fork();
    if (pid_ == 0) RunChild(dir, args, stdoutFile, env);
    ::fcntl(master_, F_SETFL, O_NONBLOCK);
  }
  ~PtyRun() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(master_);
    ::close(slave_);
  }

  void Type(const std::string& keys) { ASSERT_EQ(::write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size())); }
  size_t Mark() {
    Drain(0);
    return seen_.size();
  }
  // Whether needle shows up in what the terminal received from offset from.
  bool Expect(const std::string& needle, size_t from = 0, int timeoutMs = kWaitMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      if (seen_.find(needle, from) != std::string::npos) return true;
      if (std::chrono::steady_clock::now() > deadline) return false;
      Drain(50);
    }
  }
  // The exit code, reading on so that the binary never blocks on output.
  int Finish(int timeoutMs = kWaitMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) return -1;
      Drain(50);
    }
    pid_ = -1;
    Drain(100);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  void Signal(int signo) { ::kill(pid_, signo); }
  // Waits until the run has stopped itself (state T), so that a SIGCONT sent
  // afterwards cannot come before the stop and be lost.
  bool WaitStopped(int timeoutMs = kWaitMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
      std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
      std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
      size_t close = text.rfind(')');
      if (close != std::string::npos && close + 2 < text.size() && (text[close + 2] == 'T' || text[close + 2] == 't')) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  void Resize(unsigned short rows) {
    winsize ws{rows, 80, 0, 0};
    ::ioctl(master_, TIOCSWINSZ, &ws);
  }
  // Whether the terminal's modes are those it had before the run.
  bool ModesRestored() const {
    termios after{};
    ::tcgetattr(slave_, &after);
    return after.c_iflag == before_.c_iflag && after.c_oflag == before_.c_oflag &&
           after.c_lflag == before_.c_lflag && after.c_cflag == before_.c_cflag &&
           std::memcmp(after.c_cc, before_.c_cc, sizeof after.c_cc) == 0;
  }
  const std::string& seen() const { return seen_; }

 private:
  [[noreturn]] void RunChild(const test::TempDir& dir, const std::vector<std::string>& args,
                             const std::string& stdoutFile, const std::vector<std::string>& env) {
    ::setsid();
    ::ioctl(slave_, TIOCSCTTY, 0);
    ::dup2(slave_, 0);
    ::dup2(slave_, 1);
    ::dup2(slave_, 2);
    if (!stdoutFile.empty()) {
      int fd = ::open(stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(fd, 1);
    }
    ::close(master_);
    ::close(slave_);
    if (::chdir(dir.path().c_str()) != 0) ::_exit(126);
    ::setenv("WINDIR", dir.path().c_str(), 1);
    ::unsetenv("NO_COLOR");
    ::setenv("TERM", "xterm", 1);
    for (const std::string& change : env) {
      std::string name = change.substr(0, change.find('=')), value = change.substr(name.size() + 1);
      value.empty() ? ::unsetenv(name.c_str()) : ::setenv(name.c_str(), value.c_str(), 1);
    }
    std::vector<char*> argv{const_cast<char*>(TAV32_BINARY)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(TAV32_BINARY, argv.data());
    ::_exit(127);
  }
  void Drain(int waitMs) {
    pollfd fd{master_, POLLIN, 0};
    if (::poll(&fd, 1, waitMs) <= 0) return;
    char buffer[4096];
    for (ssize_t n; (n = ::read(master_, buffer, sizeof buffer)) > 0;) seen_.append(buffer, static_cast<size_t>(n));
  }

  int master_ = -1, slave_ = -1;
  pid_t pid_ = -1;
  termios before_{};
  std::string seen_;
};

// The row of a 24-row terminal at which the status area's last row is drawn.
const std::string kLastRow = "\x1b[24;1H\x1b[2KTime elapsed: ";

TEST(Terminal, StatusAreaAtTheBottomShowsTheRunAndTicks) {
  test::TempDir dir;
  test::WriteFile(dir.file("p.tav"), "Echo hello\nPause\nEcho done\n");
  PtyRun run(dir, {"p.tav", "-OUTPUT"});
  ASSERT_TRUE(run.Expect("Current Status: Processing command Pause.")) << run.seen();
  // The Abort key is offered (not faint) once the run has started.
  ASSERT_TRUE(run.Expect(kLastRow + "00:00:00  Line: 2  Program File: p.tav  Abort: Ctrl+C")) << run.seen();
  // The clock ticks while the Pause waits; the title is the output window's.
  ASSERT_TRUE(run.Expect(kLastRow + "00:00:01  Line: 2")) << run.seen();
  EXPECT_NE(run.seen().find("\x1b]2;TAV32 Output Window\x07"), std::string::npos);
  // Only the rows above the status area scroll.
  EXPECT_NE(run.seen().find("\x1b[1;20r"), std::string::npos);
  size_t mark = run.Mark();
  run.Type("x");
  EXPECT_EQ(run.Finish(), 0);
  EXPECT_TRUE(run.Expect("done", mark, 0));
  // The key ended the wait and was not shown.
  EXPECT_EQ(run.seen().substr(0, run.seen().find("TAV32 run ended")).find('x', mark), std::string::npos);
  EXPECT_TRUE(run.ModesRestored());
  // The scroll region and the title are given back.
  size_t end = run.seen().rfind("\x1b[r");
  EXPECT_NE(end, std::string::npos);
  EXPECT_GT(end, run.seen().rfind("\x1b[1;20r"));
  EXPECT_NE(run.seen().rfind("\x1b[23;0t"), std::string::npos);
}

TEST(Terminal, TraceWaitsForOneKeyBeforeEachStatement) {
  test::TempDir dir;
  test::WriteFile(dir.file("p.tav"), "Echo one\nEcho two\n");
  PtyRun run(dir, {"p.tav", "-OUTPUT", "-TRACE"});
  ASSERT_TRUE(run.Expect("TRACE: Press any key to continue...")) << run.seen();
  size_t mark = run.Mark();
  EXPECT_EQ(run.seen().find("one\r\n"), std::string::npos);
  // The prompt is shown just before the wait begins, and a key that comes
  // while no wait is open is dropped: the test gives the run time to wait.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  run.Type("\r");
  ASSERT_TRUE(run.Expect("one\r\n", mark)) << run.seen();
  ASSERT_TRUE(run.Expect("TRACE: Press any key to continue...", mark)) << run.seen();
  EXPECT_EQ(run.seen().find("two\r\n"), std::string::npos);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  run.Type("q");
  EXPECT_EQ(run.Finish(), 0);
  EXPECT_NE(run.seen().find("two\r\n", mark), std::string::npos);
}

TEST(Terminal, TypedKeysReachTheRunningCommandWithoutEcho) {
  test::TempDir dir;
  // Keys typed before a command runs go nowhere, so the test types only once
  // each command has said it is ready (in capitals: the title shows the
  // command line itself).
  test::WriteFile(dir.file("p.tav"),
                  "Shell echo ready | tr a-z A-Z; read line; echo \"got:$line.\"\n"
                  "Shell echo set | tr a-z A-Z; head -n 1\n");
  PtyRun run(dir, {"p.tav", "-OUTPUT"});
  ASSERT_TRUE(run.Expect("READY")) << run.seen();
  size_t mark = run.Mark();
  run.Type("abc\r");
  ASSERT_TRUE(run.Expect("got:abc.", mark)) << run.seen();
  // Nothing is echoed: the letters arrive only in the command's own output.
  EXPECT_EQ(run.seen().find("abc", mark), run.seen().find("got:abc.", mark) + 4);
  ASSERT_TRUE(run.Expect("SET\r\n")) << run.seen();
  run.Type("second line\r");
  ASSERT_TRUE(run.Expect("second line\r\n")) << run.seen();
  EXPECT_EQ(run.Finish(), 0);
  EXPECT_TRUE(run.ModesRestored());
}

TEST(Terminal, CtrlCAnsweredNoResumesAndYesAbortsWith17) {
  test::TempDir dir;
  test::WriteFile(dir.file("p.tav"), "Shell echo started | tr a-z A-Z; sleep 30; echo late > late.txt\nEcho after\n");
  PtyRun run(dir, {"p.tav", "-OUTPUT", "-LOG", "run.log", "-DEBUG"});
  ASSERT_TRUE(run.Expect("STARTED")) << run.seen();
  size_t mark = run.Mark();
  run.Type("\x03");
  ASSERT_TRUE(run.Expect("Current Status: User abort", mark)) << run.seen();
  ASSERT_TRUE(run.Expect("Are you sure you want to abort?", mark)) << run.seen();
  mark = run.Mark();
  run.Type("n");
  ASSERT_TRUE(run.Expect("Current Status: Processing SHELL command.", mark)) << run.seen();
  mark = run.Mark();
  run.Type("\x03");
  ASSERT_TRUE(run.Expect("Are you sure you want to abort?", mark)) << run.seen();
  run.Type("y");
  EXPECT_EQ(run.Finish(5000), 17);
  EXPECT_NE(run.seen().find("Abortion in progress", mark), std::string::npos);
  EXPECT_EQ(run.seen().find("after\r\n", mark), std::string::npos);
  EXPECT_TRUE(run.ModesRestored());
  // The command went with the run; the debug log was closed complete, with
  // no failure of the statement the abort cut short.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(std::ifstream(dir.file("late.txt")).good());
  EXPECT_EQ(test::ReadFile(dir.file("DEBUGLOG.TAV")),
            "p.tav - Line 1\r\nProcessing command \"Shell echo started | tr a-z A-Z; sleep 30; echo late > "
            "late.txt\".\r\n");
}

TEST(Terminal, ASignalThatEndsTheProcessStillRestoresTheTerminal) {
  test::TempDir dir;
  test::WriteFile(dir.file("p.tav"), "Pause\n");
  PtyRun run(dir, {"p.tav", "-OUTPUT"});
  ASSERT_TRUE(run.Expect(kLastRow)) << run.seen();
  size_t mark = run.Mark();
  run.Signal(SIGABRT);
  EXPECT_EQ(run.Finish(), 128 + SIGABRT);
  EXPECT_TRUE(run.ModesRestored());
  EXPECT_TRUE(run.Expect("\x1b[r", mark, 0)) << run.seen();
}

TEST(Terminal, InterruptWithoutOutputWindowAsksToo) {
  test::TempDir dir;
  test::WriteFile(dir.file("p.tav"), "Shell touch started; sleep 30\n");
  PtyRun run(dir, {"p.tav", "-LOG", "run.log"});
  ASSERT_TRUE(run.Expect("Current Status: Processing SHELL command.")) << run.seen();
  for (int i = 0; i < 100 && !std::ifstream(dir.file("started")).good(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  // The terminal turns Ctrl+C into an interrupt signal here.
  run.Type("\x03");
  ASSERT_TRUE(run.Expect("Are you sure you want to abort?")) << run.seen();
  size_t mark = run.Mark();
  run.Type("n");
  ASSERT_TRUE(run.Expect("Current Status: Processing SHELL command.", mark)) << run.seen();
  // Back in the modes it had, the terminal's interrupt key works again.
  run.Type("\x03");
  ASSERT_TRUE(run.Expect("Are you sure you want to abort?", mark)) << run.seen();
  run.Type("Y");
  EXPECT_EQ(run.Finish(5000), 17);
  EXPECT_TRUE(run.ModesRestored());
}

TEST(Terminal, NoAbortIgnoresCtrlCButTerminationStillEndsTheRun) {
  test::TempDir dir;
  test::WriteFile(dir.file("p.tav"), "Pause\nShell sleep 30\n");
  PtyRun run(dir, {"p.tav", "-OUTPUT", "-NOABORT"});
  ASSERT_TRUE(run.Expect("Current Status: Processing command Pause.")) << run.seen();
  EXPECT_TRUE(run.Expect("Line: 1  Program File: p.tav  \x1b[2mAbort: Ctrl+C\x1b[22m")) << run.seen();
  run.Type("\x03");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  run.Type("k");
  ASSERT_TRUE(run.Expect("Processing SHELL command.")) << run.seen();
  EXPECT_EQ(run.seen().find("Are you sure"), std::string::npos);
  run.Signal(SIGTERM);
  EXPECT_EQ(run.Finish(5000), 17);
  EXPECT_EQ(run.seen().find("Are you sure"), std::string::npos);
  EXPECT_TRUE(run.ModesRestored());
}

TEST(Terminal, AStoppedRunGivesTheTerminalBackUntilItIsContinued) {
  test::TempDir dir;
  test::WriteFile(dir.file("p.tav"), "Pause\nEcho done\n");
  PtyRun run(dir, {"p.tav", "-OUTPUT"});
  ASSERT_TRUE(run.Expect("Current Status: Processing command Pause.")) << run.seen();
  EXPECT_FALSE(run.ModesRestored());
  size_t mark = run.Mark();
  run.Signal(SIGTSTP);
  ASSERT_TRUE(run.Expect("\x1b[r", mark)) << run.seen();
  for (int i = 0; i < 100 && !run.ModesRestored(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(run.ModesRestored());
  ASSERT_TRUE(run.WaitStopped());
  mark = run.Mark();
  run.Signal(SIGCONT);
  ASSERT_TRUE(run.Expect("\x1b[1;20r", mark)) << run.seen();
  ASSERT_TRUE(run.Expect("Current Status: Processing command Pause.", mark)) << run.seen();
  // Keys are raw again: one key ends the wait.
  run.Type("k");
  EXPECT_EQ(run.Finish(), 0);
  EXPECT_TRUE(run.ModesRestored());
}

TEST(Terminal, ResizeRedrawsTheStatusAreaAtTheNewBottom) {
  test::TempDir dir;
  test::WriteFile(dir.file("p.tav"), "Pause\n");
  PtyRun run(dir, {"p.tav", "-OUTPUT"});
  ASSERT_TRUE(run.Expect(kLastRow)) << run.seen();
  size_t mark = run.Mark();
  run.Resize(30);
  ASSERT_TRUE(run.Expect("\x1b[1;26r", mark)) << run.seen();
  ASSERT_TRUE(run.Expect("\x1b[30;1H\x1b[2KTime elapsed: ", mark)) << run.seen();
  // Too small to keep rows for scrolling: the terminal scrolls whole and
  // the status area is no longer drawn.
  mark = run.Mark();
  run.Resize(5);
  ASSERT_TRUE(run.Expect("\x1b" "7\x1b[r\x1b" "8", mark)) << run.seen();
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  run.Type(" ");
  EXPECT_EQ(run.Finish(), 0);
  EXPECT_EQ(run.seen().find("Time elapsed: ", mark), std::string::npos);
}

TEST(Terminal, PipedOutputAndQuietRunsGetNoEscapeSequences) {
  test::TempDir dir;
  test::WriteFile(dir.file("p.tav"), "Echo hello\nno-such-command-here\n");
  {
    PtyRun run(dir, {"p.tav", "-OUTPUT"}, dir.file("out.txt"));
    EXPECT_EQ(run.Finish(), 3);
    // The status area is on the terminal, the messages in the file.
    EXPECT_NE(run.seen().find("Current Status: "), std::string::npos);
    std::string out = test::ReadFile(dir.file("out.txt"));
    EXPECT_NE(out.find("hello\n"), std::string::npos);
    EXPECT_NE(out.find("CreateProcess failed!"), std::string::npos);
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
  }
  {
    PtyRun run(dir, {"p.tav", "-OUTPUT", "-QUIET"});
    EXPECT_EQ(run.Finish(), 3);
    EXPECT_EQ(run.seen().find('\x1b'), std::string::npos);
    EXPECT_TRUE(run.ModesRestored());
  }
}

bool Eventually(const std::function<bool()>& condition, int timeoutMs = kWaitMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (; !condition(); std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
    if (std::chrono::steady_clock::now() > deadline) return false;
  }
  return true;
}

// The quit key, typed (a signal from the terminal without output window, a
// key with one) or sent as a signal, ends the run as an abort does: the
// command and what it started go too.
TEST(Terminal, QuitEndsTheCommandAndItsChildrenAsAnAbortDoes) {
  using Args = std::vector<std::string>;
  for (const Args& args : {Args{"p.tav", "-LOG", "run.log"}, Args{"p.tav", "-OUTPUT"}, Args{"p.tav", "-NOABORT"}}) {
    test::TempDir dir;
    test::WriteFile(dir.file("p.tav"), "Shell sleep 60 & echo $! > c.tmp; mv c.tmp child; wait\nEcho after\n");
    PtyRun run(dir, args);
    ASSERT_TRUE(Eventually([&] { return std::ifstream(dir.file("child")).good(); })) << run.seen();
    pid_t child = std::stoi(test::ReadFile(dir.file("child")));
    args[1] == "-NOABORT" ? run.Signal(SIGQUIT) : run.Type("\x1c");
    EXPECT_EQ(run.Finish(), 17) << args[1];
    // Gone, or a zombie left to be reaped.
    std::string stat = "/proc/" + std::to_string(child) + "/stat";
    EXPECT_TRUE(Eventually([&] { return ::kill(child, 0) != 0 || test::ReadFile(stat).find(") Z") != std::string::npos; }));
    ::kill(child, SIGKILL);
    EXPECT_EQ(run.seen().find("after\r\n"), std::string::npos);
  }
}

// A run ends with a line that says how long it took and how it ended, not
// on a dumb or unknown terminal and not in the LOG. A terminal too small for
// the status area has nothing cleared at the end; NO_COLOR keeps the status
// area but drops the colours.
TEST(Terminal, EndLineSmallTerminalsAndTerminalsWithoutSequences) {
  struct Case {
    unsigned short rows;
    std::string env, end;
  } cases[] = {{5, "TERM=xterm", "run ended after 00:00:00, exit code 3: File access error.\r\n"},
               {24, "NO_COLOR=1", "run ended after 00:00:00, exit code 3: File access error.\r\n"},
               {24, "TERM=dumb", ""},
               {24, "TERM=", ""}};
  for (const Case& c : cases) {
    test::TempDir dir;
    test::WriteFile(dir.file("p.tav"), "Echo three\nno-such-command-here\n");
    PtyRun run(dir, {"p.tav", "-OUTPUT", "-LOG", "run.log"}, "", c.rows, {c.env});
    EXPECT_EQ(run.Finish(), 3);
    std::string after = run.seen().substr(run.seen().find("three"));
    EXPECT_EQ(after.find(c.end.empty() ? "run ended" : c.end) != std::string::npos, !c.end.empty()) << after;
    EXPECT_EQ(run.seen().find('\x1b') == std::string::npos, c.end.empty()) << c.env;
    EXPECT_EQ(after.find("\x1b[J") != std::string::npos, c.rows > 5 && !c.end.empty()) << c.env;
    EXPECT_EQ(run.seen().find("\x1b[31m") != std::string::npos, c.env == "TERM=xterm") << c.env;
    EXPECT_EQ(test::ReadFile(dir.file("run.log")).find("run ended"), std::string::npos);
  }
}

// A terminal made smaller while a command prints (tmux as the terminal):
// every line printed after the change reaches the scroll-back, in order.
TEST(Terminal, LinesPrintedAfterAShrinkAllReachTheScrollBack) {
  if (std::system("tmux -V > /dev/null 2>&1") != 0) GTEST_SKIP() << "no tmux";
  for (std::string size : {"-x 50 -y 12", "-x 80 -y 10"}) {
    test::TempDir dir;
    test::WriteFile(dir.file("p.tav"), "Shell seq 1 30; for i in $(seq 600); do [ -e go ] && break; sleep 0.05; done; "
                                       "seq 1 100 | sed s/^/L/; sleep 60\n");
    // A server of its own per case, on a socket in the case's directory: a
    // server still going away after kill-server can never answer the next case.
    auto tmux = [&](const std::string& args) {
      return std::system(("tmux -S " + dir.file("tmux.socket") + " " + args).c_str());
    };
    auto capture = [&](const char* more) {
      EXPECT_EQ(tmux(std::string("capture-pane -p -J ") + more + " > " + dir.file("screen")), 0);
      std::string text = test::ReadFile(dir.file("screen"));
      return text.substr(0, text.find_last_not_of('\n') + 1);
    };
    // The server goes at the end, also when the test stops early.
    std::shared_ptr<void> server(nullptr, [&](void*) { EXPECT_EQ(tmux("kill-server"), 0); });
    ASSERT_EQ(tmux("-f /dev/null new-session -d -x 80 -y 24 'cd " + dir.path() + " && " + TAV32_BINARY +
                   " p.tav -OUTPUT' \\; set status off"), 0);
    std::string clock;
    ASSERT_TRUE(Eventually([&] {
      clock = capture("");
      return clock.find("\n30\n") != std::string::npos && clock.find("Time elapsed: ") != std::string::npos;
    }));
    clock = clock.substr(clock.rfind('\n') + 1);
    EXPECT_EQ(tmux("resize-window " + size), 0);
    // Once the clock has ticked at the new bottom, the resize has been handled.
    ASSERT_TRUE(Eventually([&] {
      std::string last = capture("");
      last = last.substr(last.rfind('\n') + 1);
      return last.rfind("Time elapsed: ", 0) == 0 && last.substr(0, 22) != clock.substr(0, 22);
    }));
    test::WriteFile(dir.file("go"), "");
    std::string all;
    ASSERT_TRUE(Eventually([&] { return (all = capture("-S -")).find("\nL100\n") != std::string::npos; })) << all;
    size_t at = 0;
    for (int i = 1; i <= 100 && at != std::string::npos; ++i) at = all.find("\nL" + std::to_string(i) + "\n", at);
    EXPECT_NE(at, std::string::npos) << size << all;
  }
}

}  // namespace
}  // namespace tav
