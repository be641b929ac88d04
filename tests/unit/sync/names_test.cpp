// Names that differ only in letter case: the same entry where the file
// system does not tell them apart (Windows), two entries where it does.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "sync/records.h"
#include "sync/sync.h"
#include "test_support.h"

namespace tav::sync {
namespace {

namespace fs = std::filesystem;

class SyncNames : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::path(temp_.path());
    fs::create_directories(root_ / "src");
    fs::create_directories(root_ / "dst");
    st_.ui = &ui_;
  }

  ArgumentArray Statement() {
    ArgumentArray args(kSyncSlotCount);
    args[kSlotFrom] = Argument::Text((root_ / "src").string());
    args[kSlotTo] = Argument::Text((root_ / "dst").string());
    args[kSlotAdd] = Argument::Number(1);
    args[kSlotDelete] = Argument::Number(1);
    return args;
  }

  std::vector<std::string> DestinationNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(root_ / "dst")) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  test::TempDir temp_;
  fs::path root_;
  InterpreterState st_;
  test::RecordingUi ui_;
};

TEST_F(SyncNames, NamesDifferingOnlyInCaseFollowTheFileSystem) {
  test::WriteFile((root_ / "src" / "Readme.TXT").string(), "source");
  test::WriteFile((root_ / "dst" / "README.txt").string(), "destin");
  fs::last_write_time(root_ / "dst" / "README.txt", fs::last_write_time(root_ / "src" / "Readme.TXT"));
  ArgumentArray args = Statement();
  EXPECT_TRUE(SynchronizeDir(st_, &args));
#ifdef _WIN32
  // One file by two spellings: equal in time and size, so it stays untouched.
  EXPECT_EQ(DestinationNames(), std::vector<std::string>{"README.txt"});
  EXPECT_EQ(test::ReadFile((root_ / "dst" / "README.txt").string()), "destin");
#else
  // Two files: the source's is added, the destination's own is deleted.
  EXPECT_EQ(DestinationNames(), std::vector<std::string>{"Readme.TXT"});
  EXPECT_EQ(test::ReadFile((root_ / "dst" / "Readme.TXT").string()), "source");
#endif
}

TEST_F(SyncNames, CaseVariantsInOneListingKeepTheWalkInStep) {
  // Sorted by a rule that disagrees with the merge's own comparison, the walk
  // would take names present on both sides for one-sided ones.
  for (const char* name : {"b.txt", "A.txt", "c.txt", "B2.txt", "a2.txt"}) {
    test::WriteFile((root_ / "src" / name).string(), name);
    test::WriteFile((root_ / "dst" / name).string(), name);
    fs::last_write_time(root_ / "dst" / name, fs::last_write_time(root_ / "src" / name));
  }
  test::WriteFile((root_ / "dst" / "extra.txt").string(), "x");
  ArgumentArray args = Statement();
  EXPECT_TRUE(SynchronizeDir(st_, &args));
  EXPECT_EQ(DestinationNames(), (std::vector<std::string>{"A.txt", "B2.txt", "a2.txt", "b.txt", "c.txt"}));
}

}  // namespace
}  // namespace tav::sync
