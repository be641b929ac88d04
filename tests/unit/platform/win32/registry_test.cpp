// The registry interface on the Windows system registry. Every test works
// below a key of its own under HKEY_CURRENT_USER\Software and removes it.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace tav::test {
namespace {

using namespace tav::platform;
using namespace std::string_literals;

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

class Win32Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    base_ = "Software\\TAV32 unit tests\\"s + info->name() + " " +
            std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    ASSERT_EQ(RegCreate(User(), base_, key_), kRegOk);
  }
  void TearDown() override {
    RegClose(key_);
    DeleteTree(User(), base_);
    RegDeleteKey(User(), "Software\\TAV32 unit tests");
  }
  static RegKey User() { return RegLocalRoot(RegRoot::CurrentUser); }
  static void DeleteTree(RegKey parent, const std::string& path) {
    RegKey key = nullptr;
    if (RegOpen(parent, path, key) != kRegOk) return;
    std::string sub;
    while (RegEnumKey(key, 0, sub) == kRegOk) DeleteTree(key, sub);
    RegClose(key);
    RegDeleteKey(parent, path);
  }
  RegKey Create(const std::string& subkey) {
    RegKey key = nullptr;
    EXPECT_EQ(RegCreate(key_, subkey, key), kRegOk) << subkey;
    return key;
  }
  std::vector<std::string> Subkeys(RegKey key) {
    std::vector<std::string> names;
    std::string name;
    for (uint32_t i = 0; RegEnumKey(key, i, name) == kRegOk; ++i) names.push_back(name);
    return names;
  }

  std::string base_;
  RegKey key_ = nullptr;
};

TEST_F(Win32Registry, ValuesOfEveryTypeComeBackWithTheirTypeAndBytes) {
  struct Sample {
    std::string name;
    uint32_t type;
    std::vector<uint8_t> data;
  };
  std::vector<uint8_t> large(1000);
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<uint8_t>(i * 7);
  std::vector<Sample> samples = {
      {"", kRegSz, Bytes("default\0"s)},
      {"Plain", kRegSz, Bytes("1.0\0"s)},
      {"Quote \"and\" back\\slash", kRegSz, Bytes("C:\\dir\\ \"q\"\0"s)},
      {"Empty", kRegSz, Bytes("\0"s)},
      {"Expand", kRegExpandSz, Bytes("%PATH%;x\0"s)},
      {"Multi", kRegMultiSz, Bytes("a\0bc\0\0"s)},
      {"Dword", kRegDword, {0x1F, 0, 0, 0}},
      {"Big endian", kRegDwordBigEndian, {0x1F, 0, 0, 0}},
      {"Binary", kRegBinary, {1, 2, 0xFF}},
      {"Empty binary", kRegBinary, {}},
      {"Large binary", kRegBinary, large},
  };
  for (const Sample& sample : samples) ASSERT_EQ(RegSetValue(key_, sample.name, sample.type, sample.data), kRegOk);
  for (const Sample& sample : samples) {
    uint32_t type = 0;
    std::vector<uint8_t> data{0xEE};
    ASSERT_EQ(RegQueryValue(key_, sample.name, type, data), kRegOk) << sample.name;
    EXPECT_EQ(type, sample.type) << sample.name;
    EXPECT_EQ(data, sample.data) << sample.name;
  }
  // Value names match without regard to case; a replacement takes the new type.
  ASSERT_EQ(RegSetValue(key_, "PLAIN", kRegDword, {7, 0, 0, 0}), kRegOk);
  uint32_t type = 0;
  std::vector<uint8_t> data;
  ASSERT_EQ(RegQueryValue(key_, "plain", type, data), kRegOk);
  EXPECT_EQ(type, kRegDword);
  EXPECT_EQ(data, (std::vector<uint8_t>{7, 0, 0, 0}));
}

TEST_F(Win32Registry, MissingThingsAndBadHandlesGiveTheirOwnStatus) {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  RegKey key = nullptr;
  std::string name;
  EXPECT_EQ(RegQueryValue(key_, "none", type, data), kRegNotFound);
  EXPECT_EQ(RegDeleteValue(key_, "none"), kRegNotFound);
  EXPECT_EQ(RegOpen(key_, "none\\deeper", key), kRegNotFound);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(RegEnumKey(key_, 0, name), kRegNoMoreItems);
  EXPECT_EQ(RegDeleteKey(key_, "none"), kRegNotFound);
  EXPECT_EQ(RegSetValue(nullptr, "v", kRegSz, Bytes("x\0"s)), kRegInvalidHandle);
  EXPECT_EQ(RegQueryValue(nullptr, "v", type, data), kRegInvalidHandle);
  EXPECT_EQ(RegOpen(nullptr, "x", key), kRegInvalidHandle);
  EXPECT_EQ(RegEnumKey(nullptr, 0, name), kRegInvalidHandle);
  // A NUL in a name would name another value; it is refused.
  EXPECT_EQ(RegSetValue(key_, "a\0b"s, kRegSz, Bytes("x\0"s)), kRegInvalidName);
  EXPECT_EQ(RegQueryValue(key_, "a", type, data), kRegNotFound);
}

TEST_F(Win32Registry, KeyPathsFollowTheSameRulesAsEverywhere) {
  RegKey key = Create("Alpha\\Beta\\");
  ASSERT_NE(key, nullptr);
  RegClose(key);
  for (const std::string& bad : {"\\Alpha"s, "Alpha\\\\Beta"s, "\\"s, "Al\0pha"s, std::string(256, 'k')}) {
    RegKey out = nullptr;
    EXPECT_EQ(RegCreate(key_, bad, out), kRegInvalidName) << bad.size();
    EXPECT_EQ(RegOpen(key_, bad, out), kRegInvalidName) << bad.size();
    EXPECT_EQ(out, nullptr);
  }
  EXPECT_EQ(Subkeys(key_), std::vector<std::string>{"Alpha"});
  // A name of the longest length is a key like any other.
  RegClose(Create(std::string(kRegMaxKeyName, 'k')));
  // Names match without regard to case and keep the case they were made with.
  RegKey again = nullptr;
  ASSERT_EQ(RegOpen(key_, "ALPHA\\beta", again), kRegOk);
  RegClose(again);
  ASSERT_EQ(RegOpen(key_, "alpha", again), kRegOk);
  EXPECT_EQ(Subkeys(again), std::vector<std::string>{"Beta"});
  RegClose(again);
  // An empty path opens the same key once more.
  ASSERT_EQ(RegOpen(key_, "", again), kRegOk);
  ASSERT_NE(again, key_);
  ASSERT_EQ(RegSetValue(again, "through copy", kRegDword, {1, 0, 0, 0}), kRegOk);
  RegClose(again);
  uint32_t type = 0;
  std::vector<uint8_t> data;
  EXPECT_EQ(RegQueryValue(key_, "Through Copy", type, data), kRegOk);
}

TEST_F(Win32Registry, DeletionNeedsAnEmptyKeyAndNeverReachesTheParent) {
  RegClose(Create("Parent\\Child"));
  EXPECT_EQ(RegDeleteKey(key_, "Parent"), kRegHasSubkeys);
  // An empty path would name the key itself.
  EXPECT_EQ(RegDeleteKey(key_, ""), kRegAccessDenied);
  EXPECT_EQ(RegDeleteKey(key_, "\\"), kRegInvalidName);
  EXPECT_EQ(RegSetValue(key_, "still here", kRegDword, {1, 0, 0, 0}), kRegOk);

  RegKey child = nullptr;
  ASSERT_EQ(RegOpen(key_, "parent\\child", child), kRegOk);
  EXPECT_EQ(RegDeleteKey(key_, "PARENT\\CHILD\\"), kRegOk);
  // The handle of a deleted key is dead, even when the key is made again.
  RegClose(Create("Parent\\Child"));
  EXPECT_EQ(RegSetValue(child, "v", kRegDword, {1, 0, 0, 0}), kRegKeyDeleted);
  RegClose(child);
  EXPECT_EQ(RegDeleteKey(key_, "Parent\\Child"), kRegOk);
  EXPECT_EQ(RegDeleteKey(key_, "Parent"), kRegOk);
  EXPECT_EQ(Subkeys(key_), std::vector<std::string>{});
}

TEST_F(Win32Registry, RootKeysAreNeverClosed) {
  RegClose(User());
  RegClose(nullptr);
  RegKey key = nullptr;
  ASSERT_EQ(RegOpen(User(), base_, key), kRegOk);
  RegClose(key);
}

TEST_F(Win32Registry, ThisComputerCanBeReachedByNameAndAnUnknownOneCannot) {
  const char* own = std::getenv("COMPUTERNAME");
  if (own == nullptr || *own == '\0') GTEST_SKIP() << "COMPUTERNAME is not set";
  RegKey remote = nullptr;
  ASSERT_EQ(RegConnect("\\\\"s + own, RegRoot::LocalMachine, remote), kRegOk);
  RegKey key = nullptr;
  ASSERT_EQ(RegOpen(remote, "Software", key), kRegOk);
  RegClose(key);
  RegClose(remote);
  EXPECT_EQ(RegConnect("\\\\TAV32-NO-SUCH-HOST", RegRoot::LocalMachine, remote), kRegBadNetPath);
  EXPECT_EQ(remote, nullptr);
}

}  // namespace
}  // namespace tav::test

#endif  // _WIN32
