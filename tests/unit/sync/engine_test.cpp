// The engine on real temporary trees, for what a program file cannot
// arrange: a write that fails in the middle of a copy, leftovers of killed
// runs, a live copy in the same directory.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <algorithm>
#include <csignal>
#include <filesystem>

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
