// What a killed update leaves behind: a later update of the same file removes
// its leftover temporary files under the file's update lock, and touches
// nothing else (other files' temporaries, look-alike names, a live writer's).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "ini/profile.h"
#include "platform/fs.h"
#include "registry_support.h"

namespace tav::test {
namespace {

namespace fs = std::filesystem;
using namespace tav::platform;

std::vector<std::string> Names(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(LeftoverTemporaries, AnIniWriteRemovesOnlyItsOwnFilesLeftovers) {
  TempDir dir;
  WriteFile(dir.file("a.ini"), "[s]\nk=1\n");
  WriteFile(dir.file("b.ini"), "[s]\nk=1\n");
  // A killed write of a.ini and one of b.ini; names that only look alike (a
  // user's own files, never removed), and a directory under the backup name.
  for (const char* name : {".a.ini.tav32~new", ".b.ini.tav32~new", ".a.ini.tav32~abcdefgh", ".a.ini.tav32~New",
                           "a.ini.tav32~new"}) {
    WriteFile(dir.file(name), std::string(1000, 'x'));
  }
  fs::create_directory(dir.file(".a.ini.tav32~old"));
  ASSERT_TRUE(ini::WriteProfileString(dir.file("a.ini"), "s", "k", "2"));
  EXPECT_EQ(ReadFile(dir.file("a.ini")), "[s]\nk=2\n");
  EXPECT_EQ(Names(dir.path()),
            (std::vector<std::string>{".a.ini.tav32~New", ".a.ini.tav32~abcdefgh", ".a.ini.tav32~old",
                                      ".b.ini.tav32~new", "a.ini", "a.ini.tav32~new", "b.ini"}));
}

TEST(LeftoverTemporaries, AWriteThroughALinkCleansBesideTheFileItReplaces) {
  TempDir dir;
  fs::create_directory(dir.file("real"));
  WriteFile(dir.file("real/a.ini"), "[s]\n");
  WriteFile(dir.file("real/.a.ini.tav32~new"), "x");
  fs::create_symlink("real/a.ini", dir.file("link.ini"));
  ASSERT_TRUE(ini::WriteProfileString(dir.file("link.ini"), "s", "k", "v"));
  EXPECT_EQ(Names(dir.file("real")), std::vector<std::string>{"a.ini"});
  EXPECT_TRUE(fs::is_symlink(dir.file("link.ini")));
}

// A writer holding the lock is mid-update: its temporary file must survive
// another writer that waits for the lock, and both updates must land.
TEST(LeftoverTemporaries, ALiveWritersTemporaryIsNeverTouched) {
  TempDir dir;
  const std::string file = dir.file("a.ini");
  WriteFile(file, "[s]\n");
  const std::string live = dir.file(".a.ini.tav32~livewrit");
  std::future<bool> waiting;
  {
    UpdateLock lock(file);
    ASSERT_TRUE(lock.Held());
    WriteFile(live, "[s]\nfirst=1\n");
    waiting = std::async(std::launch::async, [&] { return ini::WriteProfileString(file, "s", "second", "2"); });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    EXPECT_TRUE(fs::exists(live)) << "removed while its writer held the lock";
    fs::rename(live, file);
  }
  EXPECT_TRUE(waiting.get());
  EXPECT_EQ(ReadFile(file), "[s]\nfirst=1\nsecond=2\n");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"a.ini"});
}

TEST_F(RegistryTest, AStoreWriteRemovesItsFilesLeftovers) {
  RegKey key = nullptr;
  ASSERT_EQ(RegCreate(RegLocalRoot(RegRoot::LocalMachine), "K", key), kRegOk);
  ASSERT_EQ(RegSetValue(key, "a", kRegBinary, {1}), kRegOk);
  WriteFile(StoreDir() + "/.HKEY_LOCAL_MACHINE.reg.tav32~new", std::string(5000, 'x'));
  WriteFile(StoreDir() + "/.HKEY_CURRENT_USER.reg.tav32~killed00", "x");
  ASSERT_EQ(RegSetValue(key, "b", kRegBinary, {2}), kRegOk);
  RegClose(key);
  ASSERT_EQ(RegFlush(), kRegOk);
  EXPECT_EQ(Names(StoreDir()),
            (std::vector<std::string>{".HKEY_CURRENT_USER.reg.tav32~killed00", "HKEY_LOCAL_MACHINE.reg"}));
}

}  // namespace
}  // namespace tav::test
