// The built binary's command line: what happens before a program can run.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "test_support.h"

namespace tav {
namespace {

struct Result {
  int exitCode;
  std::string out;
  std::string err;
};

// Runs the binary in dir with the given arguments (a shell fragment) and
// environment assignments.
Result RunBinary(const test::TempDir& dir, const std::string& env, const std::string& args) {
  std::string command = "cd '" + dir.path() + "' && env " + env + " '" + TAV32_BINARY + "' " + args +
                        " >out.txt 2>err.txt </dev/null";
  int status = std::system(command.c_str());
  return Result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::ReadFile(dir.file("out.txt")),
                test::ReadFile(dir.file("err.txt"))};
}

TEST(CommandLine, MissingProgramFileEndsWithExitCodeOne) {
  test::TempDir dir;
  Result r = RunBinary(dir, "WINDIR=" + dir.path(), "missing.tav -LOG run.log");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "TAV32 1.21 error: Program file could not be loaded.\n");
}

TEST(CommandLine, NoArgumentsAndNoDefaultCommandLine) {
  test::TempDir dir;
  Result r = RunBinary(dir, "WINDIR=" + dir.path(), "");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "TAV32 1.21 error: Program file could not be loaded.\n");
}

TEST(CommandLine, DefaultCommandLineComesFromWinIni) {
  test::TempDir dir;
  test::WriteFile(dir.file("my prog.tav"), "Echo from default\n");
  test::WriteFile(dir.file("WIN.INI"),
                  "[Other]\nx=1\n[tav32]\r\ndefault command line = \"" + dir.file("my prog.tav") + "\" -OUTPUT\r\n");
  Result r = RunBinary(dir, "WINDIR=" + dir.path(), "");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("from default\n"), std::string::npos);
}

TEST(CommandLine, HelpAndVersion) {
  test::TempDir dir;
  Result r = RunBinary(dir, "", "--version");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "TAV32 1.21\n26-APR-98\n");
  r = RunBinary(dir, "", "--help");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("Usage: tav32"), std::string::npos);
}

// A check of a file that cannot be loaded says so on standard output, in
// the check's own form, and ends as a run would.
TEST(CommandLine, CheckOfAMissingProgramFile) {
  test::TempDir dir;
  Result r = RunBinary(dir, "WINDIR=" + dir.path(), "missing.tav -CHECK");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "missing.tav:0: error 1: Program file could not be loaded.\n");
  EXPECT_EQ(r.err, "");
}

TEST(CommandLine, DebugLogGoesToTheWindowsDirectory) {
  test::TempDir dir;
  test::WriteFile(dir.file("p.tav"), "Echo x\n");
  Result r = RunBinary(dir, "WINDIR= XDG_STATE_HOME=" + dir.file("state"), "p.tav -DEBUG");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(test::ReadFile(dir.file("state/tav32/DEBUGLOG.TAV")), "p.tav - Line 1\r\nProcessing command \"Echo x\".\r\n");
}

// A program "file" that is no text of the code page, or no file at all, is
// refused with the reason, in a run and in a check alike; a FIFO without a
// writer and an endless device end the run at once (timeout's 124 would
// show a wait).
TEST(CommandLine, ProgramFilesThatCannotBeReadAsTextAreRefusedWithTheReason) {
  test::TempDir dir;
  const char bigEndian[] = "\xFE\xFF\0E\0c\0h\0o\0 \0x\0\r\0\n\0E\0c\0h\0o\0 \0y";
  test::WriteFile(dir.file("be.tav"), std::string(bigEndian, sizeof bigEndian - 1));
  ASSERT_EQ(::mkfifo(dir.file("fifo.tav").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("/dev/zero", dir.file("device.tav").c_str()), 0);
  struct Case {
    const char* file;
    const char* reason;
  };
  for (Case c : {Case{"be.tav", "It is UTF-16 text; save it in the system's code page."},
                 Case{"fifo.tav", "It is a FIFO, not a file."}, Case{"device.tav", "It is a device, not a file."}}) {
    std::string env = "WINDIR=" + dir.path() + " timeout 20";
    Result run = RunBinary(dir, env, std::string(c.file) + " -LOG run.log");
    EXPECT_EQ(run.exitCode, 1) << c.file;
    EXPECT_EQ(run.err, std::string("TAV32 1.21 error: Program file could not be loaded. ") + c.reason + "\n");
    Result check = RunBinary(dir, env, std::string(c.file) + " -CHECK");
    EXPECT_EQ(check.exitCode, 1) << c.file;
    EXPECT_EQ(check.out, std::string(c.file) + ":0: error 1: Program file could not be loaded. " + c.reason + "\n");
  }
}

TEST(CommandLine, DebugLogThatCannotBeCreatedEndsWithExitCodeThree) {
  test::TempDir dir;
  test::WriteFile(dir.file("p.tav"), "Echo x\n");
  test::WriteFile(dir.file("plainfile"), "");
  Result r = RunBinary(dir, "WINDIR=" + dir.file("plainfile"), "p.tav -LOG run.log -DEBUG");
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.err, "TAV32 1.21 Error: File access error\n");
  EXPECT_EQ(test::ReadFile(dir.file("run.log")), "\r\nTAV32 Error in Line 0: File access error.\r\n");
}

TEST(CommandLine, RelativeWindowsDirectoryStaysWhereItWasAfterCd) {
  test::TempDir dir;
  std::filesystem::create_directories(dir.file("win"));
  std::filesystem::create_directories(dir.file("sub"));
  test::WriteFile(dir.file("p.tav"), "CD sub\nRegOpenKey LOCAL \\\\HKEY_USERS\\A\nEcho x\n");
  Result r = RunBinary(dir, "WINDIR=win TAV32_REGISTRY=", "p.tav -DEBUG");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(test::ReadFile(dir.file("win/DEBUGLOG.TAV")).find("Echo x"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir.file("win/registry/HKEY_USERS.reg")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("sub/win")));
}

TEST(CommandLine, OutputIntoAClosedPipeDoesNotEndTheRun) {
  test::TempDir dir;
  std::string program;
  for (int i = 0; i < 2000; ++i) program += "Echo line " + std::to_string(i) + "\n";
  test::WriteFile(dir.file("p.tav"), program + "Pause x\n");
  std::string command = "cd '" + dir.path() + "' && { '" + TAV32_BINARY +
                        "' p.tav -OUTPUT -LOG run.log; echo $? > code.txt; } | head -c 10 >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(test::ReadFile(dir.file("code.txt")), "2\n");
  EXPECT_NE(test::ReadFile(dir.file("run.log")).find("Line 2001: Command construction error."), std::string::npos);
}

// A read-only destination directory is kept read-only, and its entries are
// still added, replaced and deleted. Run as an ordinary user (root ignores
// permission bits), dropping privileges when the tests run as root.
TEST(SynchronizeDir, ReadOnlyDestinationDirectoryIsStillSynchronised) {
  test::TempDir dir;
  std::filesystem::create_directories(dir.file("src"));
  std::filesystem::create_directories(dir.file("dst"));
  test::WriteFile(dir.file("src/a.txt"), "new a");
  test::WriteFile(dir.file("src/new.txt"), "new");
  test::WriteFile(dir.file("dst/a.txt"), "old a, longer");
  test::WriteFile(dir.file("dst/old.txt"), "old");
  test::WriteFile(dir.file("p.tav"), "SynchronizeDir src dst /A /D /O\n");
  std::string runAs;
  if (::geteuid() == 0) {
    std::string chown = "chown -R 65534:65534 '" + dir.path() + "'";
    ASSERT_EQ(std::system(chown.c_str()), 0);
    runAs = "setpriv --reuid=65534 --regid=65534 --clear-groups";
    std::string probe = runAs + " test -x '" + TAV32_BINARY + "' 2>/dev/null";
    if (std::system(probe.c_str()) != 0) GTEST_SKIP() << "the binary cannot be run as an ordinary user here";
  }
  ASSERT_EQ(::chmod(dir.file("dst").c_str(), 0555), 0);
  std::string command = "cd '" + dir.path() + "' && " + runAs + " '" + TAV32_BINARY + "' p.tav -LOG run.log";
  int status = std::system(command.c_str());
  Result r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, "", ""};
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(test::ReadFile(dir.file("dst/a.txt")), "new a");
  EXPECT_EQ(test::ReadFile(dir.file("dst/new.txt")), "new");
  EXPECT_FALSE(std::filesystem::exists(dir.file("dst/old.txt")));
  struct stat info {};
  ASSERT_EQ(::stat(dir.file("dst").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0555u);
  EXPECT_EQ(test::ReadFile(dir.file("run.log")).find("could not"), std::string::npos) << test::ReadFile(dir.file("run.log"));
}

TEST(CommandLine, InterruptAbortsWithExitCodeSeventeen) {
  test::TempDir dir;
  test::WriteFile(dir.file("p.tav"), "sh -c \"kill -INT $PPID; sleep 0.2\"\nEcho not reached\n");
  Result r = RunBinary(dir, "WINDIR=" + dir.path(), "p.tav -LOG run.log");
  EXPECT_EQ(r.exitCode, 17);
  EXPECT_EQ(test::ReadFile(dir.file("run.log")).find("not reached"), std::string::npos);
  test::WriteFile(dir.file("p.tav"), "sh -c \"kill -INT $PPID; sleep 0.2\"\nEcho reached\n");
  r = RunBinary(dir, "WINDIR=" + dir.path(), "p.tav -LOG run.log -NOABORT");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(test::ReadFile(dir.file("run.log")).find("reached"), std::string::npos);
}

// A check run at a terminal ends with a line that says how it ended; the
// same check into a file gives the problem lines alone.
TEST(CommandLine, CheckAtATerminalSaysHowItEnded) {
  test::TempDir dir;
  struct Case {
    const char* program;
    const char* last;
  } cases[] = {
      {"Echo fine\n", "p.tav: no problems found"},
      {"Goto nowhere\n", "p.tav: 1 warning, no errors"},
      {"Goto nowhere\nElse\nEnd If\n", "p.tav: 2 errors, 1 warning"},
  };
  for (const Case& c : cases) {
    test::WriteFile(dir.file("p.tav"), c.program);
    std::string command = "cd '" + dir.path() + "' && script -qec \"'" + TAV32_BINARY +
                          "' p.tav -CHECK\" /dev/null >tty.txt 2>&1 </dev/null";
    ASSERT_NE(std::system(command.c_str()), -1);
    std::string screen = test::ReadFile(dir.file("tty.txt"));
    EXPECT_NE(screen.find(std::string(c.last) + "\r\n"), std::string::npos) << screen;
    Result piped = RunBinary(dir, "", "p.tav -CHECK");
    EXPECT_EQ(piped.out.find("p.tav: "), std::string::npos) << piped.out;
  }
}

}  // namespace
}  // namespace tav
