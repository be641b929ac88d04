// The engine on real temporary trees, for what a program file cannot
// arrange: a write that fails in the middle of a copy.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>
#include <filesystem>

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

}  // namespace
}  // namespace tav::sync
