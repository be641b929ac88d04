// Key paths, RegOpenKey, RegSetValue, RegDeleteValue and RegDeleteKey.
#include <gtest/gtest.h>

#include <filesystem>

#include "registry/key_path.h"
#include "registry/registry.h"
#include "registry_support.h"

namespace tav::test {
namespace {

using namespace tav::registry;
using platform::RegRoot;
namespace fs = std::filesystem;

const std::string kHklm = "\\\\HKEY_LOCAL_MACHINE\\";
const std::string kOpenError = "Registry key could not be created/opened error";

// The static part of resolving a key: which arguments end in error 13, and
// which computer arguments reach no registry at all.
TEST(KeyPath, ArgumentsThatCanNeverNameAKey) {
  EXPECT_FALSE(LacksValidRoot("LOCAL", "\\\\HKEY_FOO\\Bar"));
  EXPECT_FALSE(LacksValidRoot("local", "Sub\\Deeper"));
  EXPECT_TRUE(LacksValidRoot("LOCAL", "\\\\HKEY_USERSX\\a"));
  EXPECT_TRUE(LacksValidRoot("LOCAL", "\\\\HKEY_LOCAL_MACHINE"));
  EXPECT_TRUE(LacksValidRoot("\\\\SERVER", "Software"));
  EXPECT_FALSE(LacksValidRoot("\\\\SERVER", "\\\\HKEY_USERS\\a"));
  EXPECT_TRUE(ReachesRegistry("Local"));
  EXPECT_TRUE(ReachesRegistry("\\\\SERVER"));
  EXPECT_FALSE(ReachesRegistry("SERVER"));
  EXPECT_FALSE(ReachesRegistry(""));
}

TEST(KeyPath, RootNamesAndSubkeys) {
  EXPECT_TRUE(BeginsWithRootName("\\\\hkey_local_machine\\software"));
  EXPECT_TRUE(BeginsWithRootName("\\\\HKEY_USERSX\\a"));
  EXPECT_FALSE(BeginsWithRootName("\\\\HKEY_FOO\\Bar"));
  EXPECT_FALSE(BeginsWithRootName("HKEY_USERS\\a"));

  EXPECT_EQ(ValidRoot("\\\\hkey_classes_root\\x"), RegRoot::ClassesRoot);
  EXPECT_EQ(ValidRoot("\\\\HKEY_CURRENT_USER\\"), RegRoot::CurrentUser);
  EXPECT_EQ(ValidRoot("\\\\HKEY_USERS\\a\\b"), RegRoot::Users);
  EXPECT_EQ(ValidRoot("\\\\HKEY_USERSX\\a"), std::nullopt);
  EXPECT_EQ(ValidRoot("\\\\HKEY_LOCAL_MACHINE"), std::nullopt);
  EXPECT_EQ(ValidRoot("Sub\\Deeper"), std::nullopt);

  EXPECT_EQ(SubkeyOf("\\\\HKEY_LOCAL_MACHINE\\SOFTWARE\\A"), "SOFTWARE\\A");
  EXPECT_EQ(SubkeyOf("\\\\HKEY_LOCAL_MACHINE"), "\\\\HKEY_LOCAL_MACHINE");
  EXPECT_EQ(SubkeyOf("Sub"), "Sub");
  EXPECT_EQ(SubkeyOf("Sub\\Deeper\\More"), "Deeper\\More");
  EXPECT_EQ(SubkeyOf("\\\\HKEY_FOO\\Bar"), "Bar");
  EXPECT_EQ(SubkeyOf("\\\\"), "\\\\");

  EXPECT_TRUE(IsLocalComputer("local"));
  EXPECT_FALSE(IsLocalComputer("LOCALHOST"));
}

class RegistryStatements : public RegistryTest {
 protected:
  void TearDown() override {
    CloseCurrentKey(m.st);
    RegistryTest::TearDown();
  }

  bool Open(const std::string& computer, const std::string& path) {
    ArgumentArray args{Argument::Text(computer), Argument::Text(path)};
    return RegOpenKey(m.st, &args);
  }
  bool Set(const std::string& name, const std::string& type, const std::string& data) {
    ArgumentArray args{Argument::Text(name), Argument::Text(type), Argument::Text(data)};
    return RegSetValue(m.st, &args);
  }
  bool DeleteValue(const std::string& name) {
    ArgumentArray args{Argument::Text(name)};
    return RegDeleteValue(m.st, &args);
  }
  bool DeleteKey(const std::string& computer, const std::string& path) {
    ArgumentArray args{Argument::Text(computer), Argument::Text(path)};
    return RegDeleteKey(m.st, &args);
  }
  // The value as stored in the key below HKEY_LOCAL_MACHINE.
  std::optional<RegValue> Stored(const std::string& subkey, const std::string& name) {
    platform::RegKey key = OpenLocal(subkey);
    if (key == nullptr) return std::nullopt;
    std::optional<RegValue> value = QueryValue(key, name);
    platform::RegClose(key);
    return value;
  }
  size_t Reports(const std::string& text) const {
    size_t count = 0;
    for (size_t at = m.ui.output.find(text); at != std::string::npos; at = m.ui.output.find(text, at + 1)) ++count;
    return count;
  }

  Machine m;
};

TEST_F(RegistryStatements, OpenKeyCreatesThePathAndMakesItCurrent) {
  m.st.errorCode = 9;
  ASSERT_TRUE(Open("LOCAL", kHklm + "SOFTWARE\\A\\B"));
  EXPECT_EQ(m.st.errorCode, 0);
  ASSERT_TRUE(Set("v", "REG_SZ", "\"b\""));
  EXPECT_EQ(Stored("SOFTWARE\\A\\B", "v"), (RegValue{platform::kRegSz, Bytes(std::string("b", 2))}));
  ASSERT_TRUE(Open("local", "\\\\hkey_local_machine\\software"));
  ASSERT_TRUE(Set("w", "reg_dword", "1"));
  EXPECT_TRUE(Stored("SOFTWARE", "w"));
}

TEST_F(RegistryStatements, RelativePathsOpenUnderTheCurrentKey) {
  ASSERT_TRUE(Open("LOCAL", kHklm + "SOFTWARE\\A"));
  platform::RegKey former = m.st.currentKey;
  ASSERT_TRUE(Open("LOCAL", "Sub"));
  EXPECT_NE(m.st.currentKey, former);
  ASSERT_TRUE(Set("v", "REG_BINARY", "1"));
  EXPECT_TRUE(Stored("SOFTWARE\\A\\Sub", "v"));
  // A path that begins with no root name is relative, its first step dropped.
  ASSERT_TRUE(Open("LOCAL", "\\\\HKEY_FOO\\Bar"));
  ASSERT_TRUE(Open("LOCAL", "Skipped\\Deeper"));
  ASSERT_TRUE(Set("v", "REG_BINARY", "2"));
  EXPECT_TRUE(Stored("SOFTWARE\\A\\Sub\\Bar\\Deeper", "v"));
  EXPECT_FALSE(KeyExists("SOFTWARE\\A\\Sub\\Bar\\Skipped"));
}

TEST_F(RegistryStatements, FailedOpensLeaveNoCurrentKey) {
  ASSERT_TRUE(Open("LOCAL", kHklm + "A"));
  EXPECT_FALSE(Open("LOCAL", "\\\\HKEY_LOCAL_MACHINE"));
  EXPECT_EQ(m.st.errorCode, 15);
  EXPECT_EQ(Reports(kOpenError), 1u);
  EXPECT_EQ(m.st.currentKey, nullptr);
  EXPECT_FALSE(Set("v", "REG_SZ", "\"x\""));
  EXPECT_EQ(m.st.errorCode, 14);

  EXPECT_FALSE(Open("LOCAL", "Sub")) << "no current key to open under";
  EXPECT_EQ(m.st.errorCode, 15);
  EXPECT_EQ(Reports(kOpenError), 1u);

  ASSERT_TRUE(Open("LOCAL", kHklm + "A"));
  EXPECT_FALSE(Open("LOCAL", "Bad\\\\Name"));
  EXPECT_EQ(m.st.currentKey, nullptr) << "a failed relative open closes the former key too";

  EXPECT_FALSE(Open("\\\\PC1", "Sub"));
  EXPECT_EQ(m.st.errorCode, 15);
  EXPECT_EQ(Reports(kOpenError), 2u);

  EXPECT_FALSE(Open("PC1", kHklm + "NotCreated"));
  EXPECT_EQ(m.st.errorCode, 15);
  EXPECT_FALSE(Open("\\\\PC1", kHklm + "NotCreated")) << "no such computer folder";
  EXPECT_FALSE(KeyExists("NotCreated"));
  EXPECT_EQ(Reports(kOpenError), 2u);
  EXPECT_FALSE(RegOpenKey(m.st, nullptr));
}

// Remote computers here are folders of the POSIX store.
#ifndef _WIN32
TEST_F(RegistryStatements, RemoteKeysStayCurrentForRelativePaths) {
  fs::create_directories(StoreDir() + "/computers/SERVER");
  ASSERT_TRUE(Open("\\\\server", kHklm + "SOFTWARE"));
  ASSERT_TRUE(Open("LOCAL", "App"));
  ASSERT_TRUE(Set("v", "REG_DWORD", "5"));
  EXPECT_FALSE(KeyExists("SOFTWARE"));
  std::string text = StoreText(StoreDir() + "/computers/SERVER/HKEY_LOCAL_MACHINE.reg");
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\App]\n\"v\"=dword:00000005\n"), std::string::npos) << text;
}
#endif  // _WIN32

TEST_F(RegistryStatements, SetValueConvertsEveryTypeBySyntax) {
  ASSERT_TRUE(Open("LOCAL", kHklm + "K"));
  struct Case {
    std::string type, data;
    RegValue stored;
  };
  const std::vector<Case> cases = {
      {"REG_SZ", "\"1.0\"", {platform::kRegSz, Bytes(std::string("1.0", 4))}},
      {"REG_SZ", "\"say \"\"hi\"\"\"   ", {platform::kRegSz, Bytes(std::string("say \"hi\"", 9))}},
      {"REG_SZ", "\"\"", {platform::kRegSz, {0}}},
      {"Reg_Expand_Sz", "\"%PATH%\"", {platform::kRegExpandSz, Bytes(std::string("%PATH%", 7))}},
      {"REG_MULTI_SZ", "\"a\", \"bc\"", {platform::kRegMultiSz, Bytes(std::string("a\0bc\0", 6))}},
      {"REG_MULTI_SZ", "\"a\" \"b\",\"c\" , \"\"", {platform::kRegMultiSz, Bytes(std::string("a\0b\0c\0\0", 8))}},
      {"REG_MULTI_SZ", "", {platform::kRegMultiSz, {0}}},
      {"REG_DWORD", "0x1F", {platform::kRegDword, {0x1F, 0, 0, 0}}},
      {"REG_DWORD", "31", {platform::kRegDword, {0x1F, 0, 0, 0}}},
      {"REG_DWORD_LITTLE_ENDIAN", "0x1f", {platform::kRegDword, {0x1F, 0, 0, 0}}},
      {"REG_DWORD_BIG_ENDIAN", "31", {platform::kRegDwordBigEndian, {0x1F, 0, 0, 0}}},
      {"REG_DWORD", "4294967295", {platform::kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}}},
      {"REG_DWORD", "", {platform::kRegDword, {0, 0, 0, 0}}},
      {"REG_BINARY", "1, 0x02,  255", {platform::kRegBinary, {1, 2, 0xFF}}},
      {"REG_BINARY", "1 ,,3,", {platform::kRegBinary, {1, 0, 3}}},
      {"REG_BINARY", "", {platform::kRegBinary, {}}},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(Set("v", c.type, c.data)) << c.type << " " << c.data;
    EXPECT_EQ(Stored("K", "v"), c.stored) << c.type << " " << c.data;
  }
  EXPECT_EQ(m.st.errorCode, 0);
}

TEST_F(RegistryStatements, SetValueFailuresAreErrorFourteenAndChangeNothing) {
  ASSERT_TRUE(Open("LOCAL", kHklm + "K"));
  ASSERT_TRUE(Set("v", "REG_SZ", "\"kept\""));
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"REG_SZ", "1.0"},          {"REG_SZ", "\"open"},        {"REG_SZ", "\"a\" b"},
      {"REG_SZ", ""},             {"REG_EXPAND_SZ", "\"a\"\""}, {"REG_MULTI_SZ", "\"a\",,\"b\""},
      {"REG_MULTI_SZ", "\"a\" x"}, {"REG_DWORD", "4294967296"}, {"REG_DWORD", "-1"},
      {"REG_DWORD", "1 "},        {"REG_BINARY", "1,256"},     {"REG_BINARY", "1;2"},
      {"REG_QWORD", "1"},         {"REG_DWORD_BIG", "1"},      {"", "\"x\""},
  };
  int reports = 0;
  for (const auto& [type, data] : bad) {
    m.st.errorCode = 0;
    EXPECT_FALSE(Set("v", type, data)) << type << " " << data;
    EXPECT_EQ(m.st.errorCode, 14) << type << " " << data;
    EXPECT_EQ(Reports("Invalid registry value type error"), static_cast<size_t>(++reports));
  }
  EXPECT_EQ(Stored("K", "v"), (RegValue{platform::kRegSz, Bytes(std::string("kept", 5))}));
  EXPECT_FALSE(RegSetValue(m.st, nullptr));
}

TEST_F(RegistryStatements, SetValueWritesTheDefaultValueAndLongDataWhole) {
  ASSERT_TRUE(Open("LOCAL", kHklm + "K"));
  ASSERT_TRUE(Set("", "REG_SZ", "\"default\""));
  EXPECT_EQ(Stored("K", ""), (RegValue{platform::kRegSz, Bytes(std::string("default", 8))}));
  std::string text(400, 'x');
  ASSERT_TRUE(Set("long", "REG_SZ", "\"" + text + "\""));
  EXPECT_EQ(Stored("K", "long")->data.size(), 401u);
  std::string bytes = "0";
  for (int i = 1; i < 300; ++i) {
    bytes += ',';
    bytes += std::to_string(i % 256);
  }
  ASSERT_TRUE(Set("bin", "REG_BINARY", bytes));
  EXPECT_EQ(Stored("K", "bin")->data.size(), 300u);
}

TEST_F(RegistryStatements, DeleteValueSetsNoErrorCodeOfItsOwn) {
  EXPECT_FALSE(DeleteValue("v")) << "no current key";
  ASSERT_TRUE(Open("LOCAL", kHklm + "K"));
  ASSERT_TRUE(Set("Name", "REG_DWORD", "1"));
  m.st.errorCode = 7;
  EXPECT_TRUE(DeleteValue("name"));
  EXPECT_FALSE(DeleteValue("Name"));
  EXPECT_EQ(m.st.errorCode, 7);
  EXPECT_EQ(Stored("K", "Name"), std::nullopt);
  EXPECT_FALSE(RegDeleteValue(m.st, nullptr));
}

// Reads the POSIX store's file.
#ifndef _WIN32
TEST_F(RegistryStatements, DeleteKeyRemovesTheWholeTreeAndRestoresTheState) {
  for (const char* path : {"Tree\\A\\B\\C", "Tree\\A\\B2", "Tree\\D", "Keep"}) ASSERT_TRUE(Open("LOCAL", kHklm + path));
  ASSERT_TRUE(Open("LOCAL", kHklm + "Keep"));
  platform::RegKey current = m.st.currentKey;
  ASSERT_TRUE(DeleteKey("LOCAL", kHklm + "Tree"));
  EXPECT_FALSE(KeyExists("Tree"));
  EXPECT_TRUE(KeyExists("Keep"));
  EXPECT_EQ(m.st.currentKey, current);
  EXPECT_EQ(m.st.deleteDepth, 0);
  EXPECT_TRUE(Set("still", "REG_DWORD", "1"));
  EXPECT_EQ(StoreText(RootFile()), "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Keep]\n\"still\"=dword:00000001\n\n");
}
#endif  // _WIN32

TEST_F(RegistryStatements, DeleteKeyFailuresAreErrorSixteen) {
  ASSERT_TRUE(Open("LOCAL", kHklm + "Exists\\Sub"));
  platform::RegKey current = m.st.currentKey;
  EXPECT_FALSE(DeleteKey("LOCAL", kHklm + "Missing"));
  EXPECT_EQ(m.st.errorCode, 16);
  EXPECT_EQ(Reports("Registry key could not be deleted"), 1u);

  // No valid root: the open and the deletion each test the root.
  EXPECT_FALSE(DeleteKey("LOCAL", "\\\\HKEY_USERSX\\Exists"));
  EXPECT_EQ(m.st.errorCode, 16);
  EXPECT_EQ(Reports(kOpenError), 2u);

  // A remote computer with a relative path is rejected like the open.
  EXPECT_FALSE(DeleteKey("\\\\PC1", "Sub"));
  EXPECT_EQ(m.st.errorCode, 16);
  EXPECT_EQ(Reports(kOpenError), 3u);
  EXPECT_FALSE(DeleteKey("PC1", kHklm + "Exists"));
  EXPECT_EQ(Reports(kOpenError), 3u);
  EXPECT_TRUE(KeyExists("Exists\\Sub"));

  EXPECT_EQ(m.st.currentKey, current);
  EXPECT_EQ(m.st.deleteDepth, 0);
  EXPECT_FALSE(RegDeleteKey(m.st, nullptr));
}

TEST_F(RegistryStatements, RelativeDeletionActsOnTheKeyThatWasOpened) {
  for (const char* path : {"Base\\Y\\Child", "Base\\XX\\Y", "Base\\X\\Y"}) ASSERT_TRUE(Open("LOCAL", kHklm + path));
  ASSERT_TRUE(Open("LOCAL", kHklm + "Base"));
  // A backslash from the third character on: the first step is dropped.
  ASSERT_TRUE(DeleteKey("LOCAL", "XX\\Y"));
  EXPECT_FALSE(KeyExists("Base\\Y"));
  EXPECT_TRUE(KeyExists("Base\\XX\\Y"));
  // A backslash before it: the path as written.
  ASSERT_TRUE(DeleteKey("LOCAL", "X\\Y"));
  EXPECT_FALSE(KeyExists("Base\\X\\Y"));
  EXPECT_TRUE(KeyExists("Base\\X"));
  EXPECT_FALSE(DeleteKey("LOCAL", "Gone"));
  EXPECT_EQ(m.st.errorCode, 16);
}

// A path whose subkey is empty names the root or the current key itself,
// which cannot be deleted: the keys below it must stay too.
TEST_F(RegistryStatements, DeletionThatCannotRemoveTheKeyLeavesItsSubkeys) {
  for (const char* path : {"Base\\One\\Deep", "Base\\Two"}) ASSERT_TRUE(Open("LOCAL", kHklm + path));
  ASSERT_TRUE(Open("LOCAL", kHklm + "Base"));
  platform::RegKey current = m.st.currentKey;
  for (const std::string& path : {std::string("One\\"), std::string(""), kHklm}) {
    m.st.errorCode = 0;
    EXPECT_FALSE(DeleteKey("LOCAL", path)) << path;
    EXPECT_EQ(m.st.errorCode, 16) << path;
    EXPECT_TRUE(KeyExists("Base\\One\\Deep")) << path;
    EXPECT_TRUE(KeyExists("Base\\Two")) << path;
  }
  EXPECT_EQ(m.st.currentKey, current);
  EXPECT_EQ(m.st.deleteDepth, 0);
  EXPECT_EQ(Reports(kOpenError), 0u);
}

TEST_F(RegistryStatements, ACurrentKeyThatWasDeletedFailsLaterStatements) {
  ASSERT_TRUE(Open("LOCAL", kHklm + "Doomed"));
  platform::RegKey current = m.st.currentKey;
  ASSERT_TRUE(DeleteKey("LOCAL", kHklm + "Doomed"));
  EXPECT_EQ(m.st.currentKey, current);
  EXPECT_FALSE(Set("v", "REG_DWORD", "1"));
  EXPECT_EQ(m.st.errorCode, 14);
  // A key of the same name made again is another key.
  platform::RegKey again = nullptr;
  ASSERT_EQ(platform::RegCreate(platform::RegLocalRoot(RegRoot::LocalMachine), "Doomed", again), platform::kRegOk);
  platform::RegClose(again);
  EXPECT_FALSE(Set("v", "REG_DWORD", "1"));
  EXPECT_EQ(Stored("Doomed", "v"), std::nullopt);
  EXPECT_FALSE(Open("LOCAL", "Sub"));
  EXPECT_EQ(m.st.errorCode, 15);
  EXPECT_FALSE(KeyExists("Doomed\\Sub"));
}

// Damage of the POSIX store's files.
#ifndef _WIN32
TEST_F(RegistryStatements, StoreDamageIsToldInTheDebugLogAndOnStandardError) {
  fs::create_directories(StoreDir());
  WriteFile(RootFile(), "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\nnonsense\n");
  platform::RegTakeDiagnostic();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(Open("LOCAL", kHklm + "K"));
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(RootFile() + ", line 3"), std::string::npos) << err;
  EXPECT_EQ(m.st.errorCode, 15);
}
#endif  // _WIN32

}  // namespace
}  // namespace tav::test
