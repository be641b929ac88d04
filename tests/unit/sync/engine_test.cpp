// The engine on real temporary trees, for what a program file cannot
// arrange: a write that fails in the middle of a copy, leftovers of killed
// runs, a live copy in the same directory.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "core/user_interface.h"
#include "platform/file_ops.h"
#include "sync/records.h"
#include "sync/sync.h"
#include "test_support.h"

namespace tav::sync {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) { return test::ReadFile(path.string()); }
void Write(const fs::path& path, const std::string& text) { test::WriteFile(path.string(), text); }

class SyncEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = temp_.path();
    fs::create_directories(root_ / "src");
    fs::create_directories(root_ / "dst");
    st_.options.log = true;
    st_.options.logPath = (root_ / "run.log").string();
    st_.ui = &ui_;
  }

  ArgumentArray Statement() {
    ArgumentArray args(kSyncSlotCount);
    args[kSlotFrom] = Argument::Text((root_ / "src").string());
    args[kSlotTo] = Argument::Text((root_ / "dst").string());
    return args;
  }

  test::TempDir temp_;
  fs::path root_;
  InterpreterState st_;
  test::RecordingUi ui_;
};

#ifndef _WIN32  // file size limits are a POSIX resource limit
// Runs f with files limited to limit bytes; writes beyond fail with EFBIG.
template <typename F>
void WithFileSizeLimit(rlim_t limit, F f) {
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit lowered = saved;
  lowered.rlim_cur = limit;
  ::setrlimit(RLIMIT_FSIZE, &lowered);
  f();
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
}

TEST_F(SyncEngine, FailedWriteKeepsTheOldDestination) {
  std::string big(3 << 20, 'n');
  Write(root_ / "src" / "big.bin", big);
  Write(root_ / "dst" / "big.bin", "old contents");
  fs::last_write_time(root_ / "dst" / "big.bin", fs::last_write_time(root_ / "src" / "big.bin") - std::chrono::hours(50));
  ArgumentArray args = Statement();
  args[kSlotOverwrite] = Argument::Number(1);
  bool ok = false;
  WithFileSizeLimit(1 << 20, [&] { ok = SynchronizeDir(st_, &args); });
  EXPECT_TRUE(ok);
  EXPECT_EQ(ReadAll(root_ / "dst" / "big.bin"), "old contents");
  for (const auto& entry : fs::directory_iterator(root_ / "dst")) {
    EXPECT_EQ(entry.path().filename(), "big.bin") << "left behind: " << entry.path();
  }
  std::string log = ReadAll(root_ / "run.log");
  std::string expected = "SynchronizeDir: Failure on writing to file " + (root_ / "dst" / "big.bin").string() +
                         ".\r\nPOSSIBLE DATA LOSS!\r\nCause (error code 0x1b): File too large\r\n";
  EXPECT_NE(log.find(expected), std::string::npos) << log;
}
#endif

#ifndef _WIN32  // a racing second process, RENAME_EXCHANGE and FIFOs
// A user who may write below To: a second process that keeps exchanging two
// entries (RENAME_EXCHANGE) and puts a link to target back in place of one
// that the walk removed. Killed when it goes out of scope.
class Exchanger {
 public:
  Exchanger(const fs::path& a, const fs::path& b, const fs::path& target) {
    pid_ = ::fork();
    if (pid_ != 0) return;
    ::alarm(60);  // never outlives a test that lost track of it
    for (;;) {
      if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0) continue;
      ::symlink(target.c_str(), a.c_str());
      ::symlink(target.c_str(), b.c_str());
    }
  }
  ~Exchanger() {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }

 private:
  pid_t pid_ = -1;
};

// Every entry of a directory with its content, mode and write time, and the
// directory's own mode.
std::map<std::string, std::string> Snapshot(const fs::path& directory) {
  std::map<std::string, std::string> seen;
  struct stat own {};
  ::lstat(directory.c_str(), &own);
  seen["."] = std::to_string(own.st_mode);
  for (const auto& entry : fs::directory_iterator(directory)) {
    struct stat info {};
    ::lstat(entry.path().c_str(), &info);
    seen[entry.path().filename().string()] = std::to_string(info.st_mode) + " " + std::to_string(info.st_mtim.tv_nsec) +
                                             " " + ReadAll(entry.path());
  }
  return seen;
}

// Delete, Add, Overwrite and Preserve run while a racing process keeps
// swapping a destination-only directory and a directory with files to
// overwrite for links to a directory outside To: nothing there changes.
TEST_F(SyncEngine, SwappedLinksNeverTakeTheWalkOutsideTo) {
  constexpr int kFiles = 200;
  fs::path outside = root_ / "outside";
  fs::path attacker = root_ / "attacker";
  fs::create_directories(outside);
  // Names built by appending: GCC 12 at -O3 warns falsely of overlap on "f" + string.
  auto name = [](int i) { return std::string("f").append(std::to_string(i)); };
  for (int i = 0; i < kFiles; ++i) Write(outside / name(i), "keep");
  std::map<std::string, std::string> before = Snapshot(outside);
  fs::create_directories(root_ / "src" / "sub" / "zcommon");
  Write(root_ / "src" / "sub" / "added.txt", "added");
  for (int i = 0; i < kFiles; i += 10) Write(root_ / "src" / "sub" / "zcommon" / name(i), "new!");
  ArgumentArray args = Statement();
  for (int slot : {kSlotAdd, kSlotDelete, kSlotOverwrite, kSlotPreserve, kSlotSubdirectories}) {
    args[slot] = Argument::Number(1);
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(8);
  for (int round = 0; round < 10 && std::chrono::steady_clock::now() < deadline; ++round) {
    fs::remove_all(root_ / "dst" / "sub");
    fs::remove_all(attacker);
    fs::create_directories(attacker);
    for (const char* dir : {"victim", "zcommon"}) {
      fs::create_directories(root_ / "dst" / "sub" / dir);
      for (int i = 0; i < kFiles; ++i) Write(root_ / "dst" / "sub" / dir / name(i), "old");
      fs::permissions(root_ / "dst" / "sub" / dir, fs::perms::owner_read | fs::perms::owner_exec);
      fs::create_directory_symlink(outside, attacker / dir);
    }
    {
      Exchanger victim(root_ / "dst" / "sub" / "victim", attacker / "victim", outside);
      Exchanger common(root_ / "dst" / "sub" / "zcommon", attacker / "zcommon", outside);
      SynchronizeDir(st_, &args);
    }
    for (const char* dir : {"victim", "zcommon"}) {
      if (fs::is_directory(fs::symlink_status(attacker / dir))) fs::permissions(attacker / dir, fs::perms::owner_all);
      if (fs::is_directory(fs::symlink_status(root_ / "dst" / "sub" / dir))) {
        fs::permissions(root_ / "dst" / "sub" / dir, fs::perms::owner_all);
      }
    }
    ASSERT_EQ(Snapshot(outside), before) << "round " << round;
  }
}

// A UI that runs a step once, when the walk first shows a given source
// directory: a hook between the listing of a directory and its copies.
class HookUi : public test::RecordingUi {
 public:
  void SetControlText(int control, std::string_view text) override {
    RecordingUi::SetControlText(control, text);
    if (control == kLeftDirectory && text == trigger && hook) std::exchange(hook, nullptr)();
  }
  std::string trigger;
  std::function<void()> hook;
};

// A source file that became a FIFO after the listing is reported as not
// copied, without waiting for a writer; the run goes on with the next file. A
// copy that waits after all is released by a writer after a few seconds, and
// the test fails.
TEST_F(SyncEngine, FifoSwappedInIsNotCopiedAndNothingWaits) {
  fs::create_directories(root_ / "src" / "a");
  Write(root_ / "src" / "a" / "inner.txt", "inner");
  Write(root_ / "src" / "b.txt", "b");
  Write(root_ / "src" / "c.txt", "c");
  fs::path fifo = root_ / "src" / "b.txt";
  HookUi ui;
  ui.trigger = (root_ / "src" / "a").string();
  ui.hook = [&] {
    fs::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  };
  st_.ui = &ui;
  std::atomic<bool> done{false};
  std::atomic<bool> released{false};
  std::thread watchdog([&] {
    auto start = std::chrono::steady_clock::now();
    while (!done) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) continue;
      int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd >= 0) {
        released = true;
        ::close(fd);
      }
    }
  });
  ArgumentArray args = Statement();
  args[kSlotAdd] = Argument::Number(1);
  args[kSlotSubdirectories] = Argument::Number(1);
  EXPECT_TRUE(SynchronizeDir(st_, &args));
  done = true;
  watchdog.join();
  EXPECT_FALSE(released) << "the copy waited on the FIFO";
  EXPECT_FALSE(fs::exists(fs::symlink_status(root_ / "dst" / "b.txt")));
  EXPECT_EQ(ReadAll(root_ / "dst" / "c.txt"), "c");
  EXPECT_EQ(ReadAll(root_ / "dst" / "a" / "inner.txt"), "inner");
  std::string expected = "SynchronizeDir: File " + fifo.string() +
                         " could not be copied.\r\nCause (error code 0x6): No such device or address\r\n";
  EXPECT_NE(ReadAll(root_ / "run.log").find(expected), std::string::npos) << ReadAll(root_ / "run.log");
}
#endif

TEST_F(SyncEngine, SuccessfulOverwriteReplacesReadOnlyDestination) {
  Write(root_ / "src" / "f.txt", "new");
  Write(root_ / "dst" / "f.txt", "old!");
  fs::permissions(root_ / "dst" / "f.txt", fs::perms::owner_read);
  ArgumentArray args = Statement();
  args[kSlotOverwrite] = Argument::Number(1);
  args[kSlotPreserve] = Argument::Number(1);
  fs::permissions(root_ / "src" / "f.txt", fs::perms::owner_read | fs::perms::group_read);
  EXPECT_TRUE(SynchronizeDir(st_, &args));
  EXPECT_EQ(ReadAll(root_ / "dst" / "f.txt"), "new");
#ifdef _WIN32
  // Windows keeps no group bits: the copy is read-only, as its source.
  EXPECT_EQ(fs::status(root_ / "dst" / "f.txt").permissions() & fs::perms::owner_write, fs::perms::none);
#else
  EXPECT_EQ(fs::status(root_ / "dst" / "f.txt").permissions(), fs::perms::owner_read | fs::perms::group_read);
#endif
  EXPECT_EQ(fs::last_write_time(root_ / "dst" / "f.txt"), fs::last_write_time(root_ / "src" / "f.txt"));
}

TEST_F(SyncEngine, NullArrayAndRejectedRequestsTouchNothing) {
  EXPECT_FALSE(SynchronizeDir(st_, nullptr));
  EXPECT_EQ(st_.errorCode, 0);
  Write(root_ / "src" / "f.txt", "x");
  ArgumentArray args = Statement();
  args[kSlotAdd] = Argument::Number(1);
  args[kSlotReportOnly] = Argument::Number(1);
  EXPECT_FALSE(SynchronizeDir(st_, &args));
  EXPECT_EQ(st_.errorCode, 2);
  EXPECT_FALSE(fs::exists(root_ / "dst" / "f.txt"));
}

// The names in a directory, sorted.
std::vector<std::string> Names(const fs::path& directory) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(SyncEngine, StagedCopiesOfKilledRunsAreRemovedAndLookAlikesKept) {
  Write(root_ / "src" / "f.txt", "new");
  fs::create_directories(root_ / "src" / "sub");
  Write(root_ / "src" / "sub" / "g.txt", "g");
  fs::create_directories(root_ / "dst" / "sub");
  fs::create_directories(root_ / "dst" / "gone");
  for (const char* name : {"!SYN~Ab12Cd", "!SYN~zzzzzz", "!SYN~short", "!SYN~toolong1", "!SYN0000.txt", "!syn~abcdef"}) {
    Write(root_ / "dst" / name, std::string(4000, 'x'));
  }
  Write(root_ / "dst" / "sub" / "!SYN~000000", "x");
  Write(root_ / "dst" / "gone" / "!SYN~q1w2e3", "x");
  ArgumentArray args = Statement();
  args[kSlotAdd] = Argument::Number(1);
  args[kSlotDelete] = Argument::Number(1);
  args[kSlotSubdirectories] = Argument::Number(1);
  EXPECT_TRUE(SynchronizeDir(st_, &args));
  EXPECT_EQ(Names(root_ / "dst"),
            (std::vector<std::string>{"!SYN0000.txt", "!SYN~short", "!SYN~toolong1", "!syn~abcdef", "f.txt", "sub"}));
  EXPECT_EQ(Names(root_ / "dst" / "sub"), std::vector<std::string>{"g.txt"});
}

TEST_F(SyncEngine, LeftoversStayUnderReportOnlyAndWhileACopyIsStagedThere) {
  Write(root_ / "src" / "f.txt", "new");
  Write(root_ / "dst" / "!SYN~Ab12Cd", "x");
  ArgumentArray args = Statement();
  args[kSlotAdd] = Argument::Number(1);
  args[kSlotReportOnly] = Argument::Number(1);
  args[kSlotReport] = Argument::Text((root_ / "report.txt").string());
  EXPECT_TRUE(SynchronizeDir(st_, &args));
  EXPECT_TRUE(fs::exists(root_ / "dst" / "!SYN~Ab12Cd"));
  {
    // Another copy is being staged in the directory: its temporary is live.
    platform::StagingDirectory live;
    int error = 0;
    ASSERT_TRUE(live.OpenFor((root_ / "dst" / "f.txt").string(), 0, error));
    ArgumentArray real = Statement();
    real[kSlotAdd] = Argument::Number(1);
    EXPECT_TRUE(SynchronizeDir(st_, &real));
    EXPECT_TRUE(fs::exists(root_ / "dst" / "!SYN~Ab12Cd"));
    EXPECT_EQ(ReadAll(root_ / "dst" / "f.txt"), "new");
  }
  ArgumentArray again = Statement();
  again[kSlotAdd] = Argument::Number(1);
  EXPECT_TRUE(SynchronizeDir(st_, &again));
  EXPECT_EQ(Names(root_ / "dst"), std::vector<std::string>{"f.txt"});
}

// A tree copy makes each directory once, below directories that hold only
// directories, and never makes one through a link put in the way.
TEST_F(SyncEngine, TreeCopyMakesNestedDirectoriesAndRefusesALinkInTheWay) {
  for (const char* dir : {"a/b/c", "a/b/d", "a/e"}) {
    fs::create_directories(root_ / "src" / "tree" / dir);
    Write(root_ / "src" / "tree" / dir / "f", dir);
  }
  fs::create_directories(root_ / "elsewhere");
  ArgumentArray args = Statement();
  args[kSlotAdd] = Argument::Number(1);
  args[kSlotSubdirectories] = Argument::Number(1);
  EXPECT_TRUE(SynchronizeDir(st_, &args));
  for (const char* dir : {"a/b/c", "a/b/d", "a/e"}) EXPECT_EQ(ReadAll(root_ / "dst" / "tree" / dir / "f"), dir);
  fs::create_directory_symlink(root_ / "elsewhere", root_ / "dst" / "link");
  EXPECT_FALSE(platform::MakeDirectories((root_ / "dst" / "link" / "x").string(), (root_ / "dst").string().size()));
  EXPECT_FALSE(platform::MakeDirectories((root_ / "dst" / "link").string(), (root_ / "dst").string().size()));
  EXPECT_TRUE(fs::is_empty(root_ / "elsewhere"));
}

}  // namespace
}  // namespace tav::sync
