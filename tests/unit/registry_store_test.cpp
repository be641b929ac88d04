// The file-backed registry store behind the platform interface.
#include <gtest/gtest.h>

#include <filesystem>

#include "registry_support.h"

namespace tav::test {
namespace {

using namespace tav::platform;
using namespace std::string_literals;
namespace fs = std::filesystem;

class RegistryStore : public RegistryTest {
 protected:
  RegKey Create(const std::string& subkey, RegRoot root = RegRoot::LocalMachine) {
    RegKey key = nullptr;
    EXPECT_EQ(RegCreate(RegLocalRoot(root), subkey, key), kRegOk) << subkey;
    return key;
  }
  // The store directory's files read afresh by a new path, so that nothing
  // comes from what the store kept in memory.
  void ReadBackFromCopy() {
    std::string copy = dir_.file("copy");
    fs::copy(StoreDir(), copy, fs::copy_options::recursive);
    UseStore(copy);
  }
};

struct Sample {
  std::string name;
  RegValue value;
};

std::vector<Sample> EveryKindOfValue() {
  std::vector<uint8_t> large(1000);
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<uint8_t>(i * 7);
  return {
      {"", {kRegSz, Bytes(std::string("default", 8))}},
      {"Plain", {kRegSz, Bytes(std::string("1.0", 4))}},
      {"Quote \"and\" back\\slash", {kRegSz, Bytes(std::string("say \"hi\" C:\\dir\\", 17))}},
      {"Western \xE9\x80", {kRegSz, Bytes(std::string("caf\xE9 \x80 \x81\x8D\xFF", 11))}},
      {"Inner NUL", {kRegSz, Bytes(std::string("a\0b\0", 4))}},
      {"No NUL", {kRegSz, Bytes("abc")}},
      {"Line break", {kRegSz, Bytes(std::string("a\r\nb", 5))}},
      {"Empty string", {kRegSz, Bytes(std::string("", 1))}},
      {"Zero length sz", {kRegSz, {}}},
      {"Expand", {kRegExpandSz, Bytes(std::string("%PATH%;x", 9))}},
      {"Multi", {kRegMultiSz, Bytes(std::string("a\0bc\0\0", 6))}},
      {"Dword", {kRegDword, {0x1F, 0, 0, 0}}},
      {"Short dword", {kRegDword, {1, 2, 3}}},
      {"Big endian", {kRegDwordBigEndian, {0x1F, 0, 0, 0}}},
      {"Binary", {kRegBinary, {1, 2, 0xFF}}},
      {"Empty binary", {kRegBinary, {}}},
      {"Large binary", {kRegBinary, large}},
      {"None", {kRegNone, {9}}},
      {"Qword", {11, {1, 2, 3, 4, 5, 6, 7, 8}}},
      {"Odd type", {0x12345678, {0xAB}}},
      {"@", {kRegSz, Bytes(std::string("at", 3))}},
  };
}

TEST_F(RegistryStore, EveryTypeRoundTripsExactlyThroughTheFile) {
  RegKey key = Create("SOFTWARE\\Vendor\\Product");
  for (const Sample& s : EveryKindOfValue()) {
    EXPECT_EQ(RegSetValue(key, s.name, s.value.type, s.value.data), kRegOk) << s.name;
  }
  RegClose(key);
  std::string text = StoreText(RootFile());
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n\n", 0), 0u) << text;
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Product]\n@=\"default\"\n\"Plain\"=\"1.0\"\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\"Quote \\\"and\\\" back\\\\slash\"=\"say \\\"hi\\\" C:\\\\dir\\\\\"\n"), std::string::npos);
  EXPECT_NE(text.find("\"Western \u00E9\u20AC\"=\"caf\u00E9 \u20AC"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Dword\"=dword:0000001f\n"), std::string::npos);
  EXPECT_NE(text.find("\"Multi\"=hex(7):61,00,00,00,62,00,63,00,00,00,00,00\n"), std::string::npos);
  EXPECT_NE(text.find("\"Big endian\"=hex(5):1f,00,00,00\n"), std::string::npos);
  EXPECT_NE(text.find("\"Empty binary\"=hex:\n"), std::string::npos);
  EXPECT_NE(text.find("\"Odd type\"=hex(12345678):ab\n"), std::string::npos);
  EXPECT_NE(text.find("\"@\"=\"at\"\n"), std::string::npos);
  for (const std::string& line : {std::string("\"Large binary\"=hex:"), std::string("  ")}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
  size_t longest = 0;
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    longest = std::max(longest, end - start);
  }
  EXPECT_LE(longest, 80u) << "hex data is wrapped";

  ReadBackFromCopy();
  key = OpenLocal("software\\VENDOR\\product");
  ASSERT_NE(key, nullptr);
  for (const Sample& s : EveryKindOfValue()) EXPECT_EQ(QueryValue(key, s.name), s.value) << s.name;
  RegClose(key);
}

TEST_F(RegistryStore, NamesMatchWithoutCaseAndKeepTheirFirstCase) {
  RegKey key = Create("Software\\MixedCase");
  ASSERT_EQ(RegSetValue(key, "Value", kRegBinary, {1}), kRegOk);
  ASSERT_EQ(RegSetValue(key, "VALUE", kRegBinary, {2}), kRegOk);
  RegClose(key);
  key = Create("SOFTWARE\\MIXEDCASE\\\xC9t\xE9");
  EXPECT_TRUE(KeyExists("software\\mixedcase\\\xE9T\xC9"));
  RegClose(key);
  std::string text = StoreText(RootFile());
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Software\\MixedCase]\n\"Value\"=hex:02\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("MIXEDCASE"), std::string::npos);
  EXPECT_NE(text.find("\\\u00C9t\u00E9]"), std::string::npos);
}

TEST_F(RegistryStore, SubkeysEnumerateInCaseInsensitiveOrder) {
  for (const char* name : {"b", "_x", "C", "a", "B2"}) RegClose(Create(std::string("Order\\") + name));
  RegKey key = OpenLocal("Order");
  std::vector<std::string> names;
  std::string name;
  for (uint32_t i = 0; RegEnumKey(key, i, name) == kRegOk; ++i) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "B2", "C", "_x"}));
  EXPECT_EQ(RegEnumKey(key, 5, name), kRegNoMoreItems);
  RegClose(key);
}

TEST_F(RegistryStore, KeyPathsAreCheckedStepByStep) {
  RegKey key = nullptr;
  RegKey root = RegLocalRoot(RegRoot::CurrentUser);
  EXPECT_EQ(RegCreate(root, "A\\\\B", key), kRegInvalidName);
  EXPECT_EQ(RegCreate(root, "\\A", key), kRegInvalidName);
  EXPECT_EQ(RegCreate(root, std::string(256, 'k'), key), kRegInvalidName);
  EXPECT_EQ(RegCreate(root, "Line\nbreak", key), kRegInvalidName);
  EXPECT_FALSE(fs::exists(RootFile("HKEY_CURRENT_USER"))) << "nothing was written";
  ASSERT_EQ(RegCreate(root, std::string(255, 'k') + "\\", key), kRegOk);
  RegClose(key);
  EXPECT_EQ(RegOpen(root, "Missing", key), kRegNotFound);
  EXPECT_EQ(key, nullptr);
  ASSERT_EQ(RegOpen(root, "", key), kRegOk) << "an empty subkey opens the key again";
  RegClose(key);
  EXPECT_EQ(RegSetValue(nullptr, "x", kRegBinary, {}), kRegInvalidHandle);
}

TEST_F(RegistryStore, HandleToADeletedKeyNeverReachesAnotherKey) {
  RegKey held = Create("A\\B");
  ASSERT_EQ(RegDeleteKey(RegLocalRoot(RegRoot::LocalMachine), "A\\B"), kRegOk);
  EXPECT_EQ(RegSetValue(held, "v", kRegBinary, {1}), kRegKeyDeleted);
  RegClose(Create("A\\B"));
  EXPECT_EQ(RegSetValue(held, "v", kRegBinary, {1}), kRegKeyDeleted);
  std::string name;
  EXPECT_EQ(RegEnumKey(held, 0, name), kRegKeyDeleted);
  RegKey fresh = OpenLocal("A\\B");
  EXPECT_EQ(QueryValue(fresh, "v"), std::nullopt);
  RegClose(fresh);
  RegClose(held);
}

TEST_F(RegistryStore, KeyDeletionNeedsAnEmptyExistingNonRootKey) {
  RegClose(Create("Tree\\Leaf"));
  RegKey root = RegLocalRoot(RegRoot::LocalMachine);
  EXPECT_EQ(RegDeleteKey(root, "Tree"), kRegHasSubkeys);
  EXPECT_EQ(RegDeleteKey(root, "Tree\\Missing"), kRegNotFound);
  EXPECT_EQ(RegDeleteKey(root, ""), kRegAccessDenied);
  EXPECT_EQ(RegDeleteKey(root, "tree\\LEAF"), kRegOk);
  EXPECT_EQ(RegDeleteKey(root, "Tree"), kRegOk);
  EXPECT_FALSE(KeyExists("Tree"));
  EXPECT_EQ(StoreText(RootFile()), "Windows Registry Editor Version 5.00\n\n");
}

TEST_F(RegistryStore, ValuesAreDeletedByNameInAnyCase) {
  RegKey key = Create("V");
  ASSERT_EQ(RegSetValue(key, "Name", kRegBinary, {1}), kRegOk);
  EXPECT_EQ(RegDeleteValue(key, "NAME"), kRegOk);
  EXPECT_EQ(RegDeleteValue(key, "Name"), kRegNotFound);
  EXPECT_EQ(QueryValue(key, "name"), std::nullopt);
  RegClose(key);
}

TEST_F(RegistryStore, WritesReplaceTheFileAtomically) {
  RegKey key = Create("Atomic");
  ASSERT_EQ(RegSetValue(key, "a", kRegBinary, {1}), kRegOk);
  auto links = fs::hard_link_count(RootFile());
  std::string before = ReadFile(RootFile());
  fs::path linked = dir_.file("old-version");
  fs::create_hard_link(RootFile(), linked);
  ASSERT_EQ(RegSetValue(key, "b", kRegBinary, {2}), kRegOk);
  RegClose(key);
  EXPECT_EQ(ReadFile(linked), before) << "the old file was replaced, not rewritten in place";
  EXPECT_EQ(links, 1u);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(StoreDir())) names.push_back(entry.path().filename());
  EXPECT_EQ(names, (std::vector<std::string>{"HKEY_LOCAL_MACHINE.reg"})) << "no temporary file is left";
}

TEST_F(RegistryStore, ChangesMadeByAnotherWriterAreSeen) {
  RegKey key = Create("Shared");
  ASSERT_EQ(RegSetValue(key, "mine", kRegBinary, {1}), kRegOk);
  WriteFile(RootFile(),
            "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Shared]\r\n\"theirs\"=dword:00000002\r\n");
  EXPECT_EQ(QueryValue(key, "mine"), std::nullopt);
  EXPECT_EQ(QueryValue(key, "theirs"), (RegValue{kRegDword, {2, 0, 0, 0}}));
  RegClose(key);
}

TEST_F(RegistryStore, HandWrittenFilesAreReadWithCommentsAndContinuations) {
  fs::create_directories(StoreDir());
  WriteFile(RootFile("HKEY_USERS"),
            "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n"
            "; written by hand\n"
            "\n"
            "[hkey_users\\.DEFAULT\\Env]\n"
            "\"Path\" = hex(2):25,00,41,00,\\\n"
            "    25,00,00,00\n"
            "\"Caf\xC3\xA9\"=\"\xE2\x82\xAC 5\"\n"
            "@=dword:1F\n");
  RegKey key = OpenLocal(".default\\ENV", RegRoot::Users);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(QueryValue(key, "Path"), (RegValue{kRegExpandSz, Bytes(std::string("%A%", 4))}));
  EXPECT_EQ(QueryValue(key, "caf\xC9"), (RegValue{kRegSz, Bytes(std::string("\x80 5", 4))}));
  EXPECT_EQ(QueryValue(key, ""), (RegValue{kRegDword, {0x1F, 0, 0, 0}}));
  ASSERT_EQ(RegSetValue(key, "New", kRegBinary, {}), kRegOk);
  RegClose(key);
  std::string text = StoreText(RootFile("HKEY_USERS"));
  EXPECT_NE(text.find("[HKEY_USERS\\.DEFAULT\\Env]\n\"Path\"=hex(2):25,00,41,00,25,00,00,00\n"), std::string::npos)
      << text;
}

TEST_F(RegistryStore, CharactersOutsideTheCharacterSetAreKeptInTheFile) {
  fs::create_directories(StoreDir());
  WriteFile(RootFile(),
            "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K\xE2\x84\xA2\\\xE4\xB8\xAD]\n"
            "\"\xE4\xB8\xAD\"=\"\xE4\xB8\xAD\xF0\x9F\x98\x80\"\n");
  RegKey key = OpenLocal("K\x99");
  ASSERT_NE(key, nullptr) << "TM is a character of the set";
  std::string name;
  ASSERT_EQ(RegEnumKey(key, 0, name), kRegOk);
  EXPECT_EQ(name, "?");
  ASSERT_EQ(RegSetValue(key, "x", kRegBinary, {}), kRegOk);
  RegClose(key);
  std::string bytes = ReadFile(RootFile());
  std::string chinese = "\x2D\x4E";  // U+4E2D in UTF-16LE
  EXPECT_NE(bytes.find(chinese + "]\0"s), std::string::npos) << "the key name is kept";
  EXPECT_NE(bytes.find("\x3D\xD8\x00\xDE"s), std::string::npos) << "the string's surrogate pair is kept";
}

TEST_F(RegistryStore, ADamagedFileIsNeverRewrittenAndSaysWhere) {
  fs::create_directories(StoreDir());
  std::string damaged =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Ok]\r\n\"v\"=dword:xyz\r\n";
  WriteFile(RootFile(), damaged);
  RegTakeDiagnostic();
  RegKey key = nullptr;
  EXPECT_EQ(RegCreate(RegLocalRoot(RegRoot::LocalMachine), "Ok", key), kRegStoreDamaged);
  std::string diagnostic = RegTakeDiagnostic();
  EXPECT_NE(diagnostic.find(RootFile()), std::string::npos) << diagnostic;
  EXPECT_NE(diagnostic.find("line 4"), std::string::npos) << diagnostic;
  EXPECT_EQ(RegTakeDiagnostic(), "") << "told once";
  EXPECT_EQ(RegOpen(RegLocalRoot(RegRoot::LocalMachine), "Ok", key), kRegStoreDamaged);
  EXPECT_EQ(RegDeleteKey(RegLocalRoot(RegRoot::LocalMachine), "Ok"), kRegStoreDamaged);
  EXPECT_EQ(ReadFile(RootFile()), damaged);
  RegKey other = Create("Elsewhere", RegRoot::CurrentUser);
  EXPECT_NE(other, nullptr) << "other roots are not affected";
  RegClose(other);
}

TEST_F(RegistryStore, DamageOfEveryKindIsRecognised) {
  fs::create_directories(StoreDir());
  const std::string header = "Windows Registry Editor Version 5.00\n";
  const std::vector<std::string> cases = {
      "REGEDIT4\n",
      header + "\"v\"=\"before any key\"\n",
      header + "[HKEY_CURRENT_USER\\Foreign]\n",
      header + "[HKEY_LOCAL_MACHINE\\Open\n",
      header + "[HKEY_LOCAL_MACHINE\\A\\\\B]\n",
      header + "[-HKEY_LOCAL_MACHINE\\Gone]\n",
      header + "[HKEY_LOCAL_MACHINE\\K]\n\"v\"=-\n",
      header + "[HKEY_LOCAL_MACHINE\\K]\n\"v\"=\"C:\\Windows\"\n",
      header + "[HKEY_LOCAL_MACHINE\\K]\n\"v\"=\"open\n",
      header + "[HKEY_LOCAL_MACHINE\\K]\n\"v\"=\"a\" b\n",
      header + "[HKEY_LOCAL_MACHINE\\K]\n\"v\"=hex:1,,2\n",
      header + "[HKEY_LOCAL_MACHINE\\K]\n\"v\"=hex:100\n",
      header + "[HKEY_LOCAL_MACHINE\\K]\n\"v\"=hex(123456789):00\n",
      header + "[HKEY_LOCAL_MACHINE\\K]\n\"v\"=hex:01,\\\n",
      header + "[HKEY_LOCAL_MACHINE\\K]\n\"v\"=dword:123456789\n",
      header + "[HKEY_LOCAL_MACHINE\\K]\n\"v\" dword:1\n",
      header + "[HKEY_LOCAL_MACHINE\\K]\nstray text\n",
      "\xFF\xFE\x00\xD8"s,
      "\xFE\xFF",
  };
  for (const std::string& text : cases) {
    WriteFile(RootFile(), text);
    RegKey key = nullptr;
    EXPECT_EQ(RegCreate(RegLocalRoot(RegRoot::LocalMachine), "K", key), kRegStoreDamaged) << text;
    EXPECT_EQ(ReadFile(RootFile()), text);
  }
  RegTakeDiagnostic();
}

TEST_F(RegistryStore, RemoteComputersAreFoldersOfTheStore) {
  RegKey key = nullptr;
  EXPECT_EQ(RegConnect("\\\\PC1", RegRoot::LocalMachine, key), kRegBadNetPath);
  fs::create_directories(StoreDir() + "/computers/PC1");
  fs::create_directories(StoreDir() + "/outside");
  for (const char* bad : {"\\\\", "\\\\..", "\\\\.", "\\\\computers/../outside", "\\\\PC1\\x", "PC1", ""}) {
    EXPECT_EQ(RegConnect(bad, RegRoot::LocalMachine, key), kRegBadNetPath) << bad;
  }
  ASSERT_EQ(RegConnect("\\\\pc1", RegRoot::LocalMachine, key), kRegOk);
  RegKey sub = nullptr;
  ASSERT_EQ(RegCreate(key, "Remote\\Key", sub), kRegOk);
  ASSERT_EQ(RegSetValue(sub, "v", kRegBinary, {7}), kRegOk);
  RegClose(sub);
  RegClose(key);
  EXPECT_FALSE(KeyExists("Remote"));
  EXPECT_NE(StoreText(StoreDir() + "/computers/PC1/HKEY_LOCAL_MACHINE.reg").find("[HKEY_LOCAL_MACHINE\\Remote\\Key]\n\"v\"=hex:07"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(RootFile()));
}

}  // namespace
}  // namespace tav::test

namespace tav::test {
namespace {

// Two interpreters that set values in the same key at the same time keep
// every value of both: each change is read, made and written under the lock.
TEST_F(RegistryTest, TwoProcessesNeverLoseEachOthersChanges) {
  constexpr int kValues = 150;
  for (const char* who : {"first", "second"}) {
    std::string program = "RegOpenKey LOCAL \\\\HKEY_LOCAL_MACHINE\\Shared\n";
    for (int i = 0; i < kValues; ++i) program += "RegSetValue " + std::string(who) + std::to_string(i) + " : REG_DWORD : " + std::to_string(i) + "\n";
    WriteFile(dir_.file(std::string(who) + ".tav"), program);
  }
  std::string command = "cd '" + dir_.path() + "' && mkdir -p windows && export WINDIR=\"$PWD/windows\" && "
                        "{ '" TAV32_BINARY "' first.tav & '" TAV32_BINARY "' second.tav; s=$?; wait $! && exit $s; }";
  ASSERT_EQ(std::system(command.c_str()), 0);
  platform::RegKey key = OpenLocal("Shared");
  ASSERT_NE(key, nullptr);
  int found = 0;
  for (const char* who : {"first", "second"}) {
    for (int i = 0; i < kValues; ++i) found += QueryValue(key, who + std::to_string(i)).has_value() ? 1 : 0;
  }
  platform::RegClose(key);
  EXPECT_EQ(found, 2 * kValues);
}

}  // namespace
}  // namespace tav::test
