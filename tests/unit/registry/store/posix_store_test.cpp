// The file-backed registry store behind the platform interface.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "registry/store/journal.h"
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

std::string ShowHex(const std::string& bytes) {
  std::string out;
  char hex[4];
  for (char c : bytes) {
    std::snprintf(hex, sizeof hex, "%02X ", static_cast<uint8_t>(c));
    out += hex;
  }
  return out;
}

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
      {"Western \u00E9\u20AC", {kRegSz, Bytes("caf\u00E9 \u20AC \u0081\u008D\u00FF\0"s)}},
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
  key = Create("SOFTWARE\\MIXEDCASE\\\u00C9t\u00E9");
  EXPECT_TRUE(KeyExists("software\\mixedcase\\\u00E9T\u00C9"));
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
  std::string accented;
  for (int i = 0; i < 255; ++i) accented += "\u00E9";
  ASSERT_EQ(RegCreate(root, accented, key), kRegOk) << "the limit counts characters, not bytes";
  RegClose(key);
  EXPECT_EQ(RegCreate(root, accented + "\u00E9", key), kRegInvalidName);
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
  ASSERT_EQ(RegFlush(), kRegOk);
  std::string before = ReadFile(RootFile());
  std::ifstream old(RootFile(), std::ios::binary);
  ASSERT_EQ(RegSetValue(key, "b", kRegBinary, {2}), kRegOk);
  RegClose(key);
  ASSERT_EQ(RegFlush(), kRegOk);
  std::string seen((std::istreambuf_iterator<char>(old)), std::istreambuf_iterator<char>());
  EXPECT_EQ(seen, before) << "the old file was replaced, not rewritten in place";
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
  EXPECT_EQ(QueryValue(key, "caf\u00C9"), (RegValue{kRegSz, Bytes("\u20AC 5\0"s)}));
  EXPECT_EQ(QueryValue(key, ""), (RegValue{kRegDword, {0x1F, 0, 0, 0}}));
  ASSERT_EQ(RegSetValue(key, "New", kRegBinary, {}), kRegOk);
  RegClose(key);
  std::string text = StoreText(RootFile("HKEY_USERS"));
  EXPECT_NE(text.find("[HKEY_USERS\\.DEFAULT\\Env]\n\"Path\"=hex(2):25,00,41,00,25,00,00,00\n"), std::string::npos)
      << text;
}

TEST_F(RegistryStore, EveryCharacterReachesTheInterfaceAsUtf8) {
  fs::create_directories(StoreDir());
  WriteFile(RootFile(),
            "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K\xE2\x84\xA2\\\xE4\xB8\xAD]\n"
            "\"\xE4\xB8\xAD\"=\"\xE4\xB8\xAD\xF0\x9F\x98\x80\"\n");
  RegKey key = OpenLocal("k\u2122");
  ASSERT_NE(key, nullptr);
  std::string name;
  ASSERT_EQ(RegEnumKey(key, 0, name), kRegOk);
  EXPECT_EQ(name, "\u4E2D");
  RegClose(key);
  key = OpenLocal("K\u2122\\\u4E2D");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(QueryValue(key, "\u4E2D"), (RegValue{kRegSz, Bytes("\u4E2D\U0001F600\0"s)}));
  ASSERT_EQ(RegSetValue(key, "\U0001F600", kRegSz, Bytes("\u00E9\U0001F600\0"s)), kRegOk);
  RegClose(key);
  ASSERT_EQ(RegFlush(), kRegOk);
  std::string bytes = ReadFile(RootFile());
  EXPECT_NE(bytes.find("\x2D\x4E]\0"s), std::string::npos) << "the key name is kept";
  EXPECT_NE(bytes.find("\"\0\x3D\xD8\x00\xDE\"\0=\0\"\0\xE9\0\x3D\xD8\x00\xDE\"\0"s), std::string::npos)
      << "a name and a string beyond the Basic Multilingual Plane are surrogate pairs in the file";
}

// Text that is not UTF-8 never reaches the store: every kind of byte
// sequence that UTF-8 rules out fails the call with a diagnostic that names
// the byte, and nothing is written.
TEST_F(RegistryStore, TextThatIsNotOfTheCodePageIsRefusedAndSaysWhy) {
  RegKey root = RegLocalRoot(RegRoot::LocalMachine);
  RegKey key = nullptr;
  RegTakeDiagnostic();
  EXPECT_EQ(RegCreate(root, "Soft\\caf\xE9", key), kRegInvalidName);
  EXPECT_EQ(RegTakeDiagnostic(),
            "The key name \"caf\\xE9\" cannot be converted from the code page UTF-8 to the registry's Unicode text: "
            "byte 4 (E9) is not valid UTF-8.");
  EXPECT_FALSE(fs::exists(RootFile())) << "nothing was written";
  key = Create("Soft");
  for (const std::string& bad : {"\xC0\x80"s, "\xE0\x80\xAF"s, "\xED\xA0\x80"s, "\xF4\x90\x80\x80"s, "\xF5\x80\x80"s,
                                "\xFF"s, "\x80"s, "\xE2\x82"s}) {
    EXPECT_EQ(RegSetValue(key, "v" + bad, kRegBinary, {}), kRegInvalidName) << ShowHex(bad);
    EXPECT_NE(RegTakeDiagnostic().find("is not valid UTF-8"), std::string::npos);
    EXPECT_EQ(RegSetValue(key, "v", kRegSz, Bytes("x" + bad + "\0"s)), kRegNoTranslation) << ShowHex(bad);
    EXPECT_NE(RegTakeDiagnostic().find("The string data \"x\\x"), std::string::npos);
    EXPECT_EQ(RegSetValue(key, "v", kRegMultiSz, Bytes("a\0"s + bad + "\0\0"s)), kRegNoTranslation) << ShowHex(bad);
    RegTakeDiagnostic();
  }
  EXPECT_EQ(QueryValue(key, "v"), std::nullopt) << "no value was stored";
  EXPECT_EQ(RegDeleteValue(key, "v\xFF"), kRegInvalidName);
  RegKey other = nullptr;
  EXPECT_EQ(RegOpen(key, "\xFF", other), kRegInvalidName);
  EXPECT_EQ(RegDeleteKey(root, "Soft\\\xFF"), kRegInvalidName);
  RegTakeDiagnostic();
  RegClose(key);
  EXPECT_EQ(StoreText(RootFile()), "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Soft]\n\n");
}

// String data that a hand-written file gives as hex(1): may hold UTF-16 that
// is no text; a query fails and says so instead of making it up.
TEST_F(RegistryStore, StoredDataThatIsNoUnicodeTextFailsTheQuery) {
  fs::create_directories(StoreDir());
  WriteFile(RootFile(),
            "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n"
            "\"Lone\"=hex(1):61,00,00,d8,00,00\n"
            "\"Odd\"=hex(2):61,00,62\n"
            "\"List\"=hex(7):61,00,00,00,00,dc,00,00,00,00\n");
  RegKey key = OpenLocal("K");
  ASSERT_NE(key, nullptr);
  RegTakeDiagnostic();
  struct Case {
    const char* name;
    uint32_t type;
    const char* says;
  };
  for (const Case& c : {Case{"Lone", kRegSz, "at byte 3 it has a lone surrogate"},
                        Case{"Odd", kRegExpandSz, "at byte 3 it ends with half a character"},
                        Case{"List", kRegMultiSz, "at byte 5 it has a lone surrogate"}}) {
    uint32_t type = 0;
    std::vector<uint8_t> data{1};
    EXPECT_EQ(RegQueryValue(key, c.name, type, data), kRegNoTranslation) << c.name;
    EXPECT_EQ(type, c.type) << "the value exists";
    EXPECT_TRUE(data.empty());
    std::string diagnostic = RegTakeDiagnostic();
    EXPECT_NE(diagnostic.find(std::string("The string data of the value \"") + c.name + "\" in the registry is not "
                              "Unicode text: " + c.says),
              std::string::npos)
        << diagnostic;
  }
  RegClose(key);
}

// A hand-written file without a byte-order mark is UTF-8 only when it is
// valid UTF-8 as the standard defines it; otherwise it is Windows-1252, even
// when its high bytes happen to look like the lead and trail bytes of UTF-8.
TEST_F(RegistryStore, AWindows1252FileIsNotMistakenForUtf8) {
  fs::create_directories(StoreDir());
  // x, u-umlaut (FC), two degree signs (B0): FC B0 B0 is no UTF-8 character.
  WriteFile(RootFile(), "Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\x\xFC\xB0\xB0]\r\n"
                        "\"\xF5\x80\x80\"=\"\xC0\xAF\x80\"\r\n");
  RegKey root = OpenLocal("");
  ASSERT_NE(root, nullptr);
  std::string name;
  ASSERT_EQ(RegEnumKey(root, 0, name), kRegOk);
  EXPECT_EQ(name, "x\u00FC\u00B0\u00B0");
  RegClose(root);
  RegKey key = OpenLocal("X\u00DC\u00B0\u00B0");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(QueryValue(key, "\u00F5\u20AC\u20AC"), (RegValue{kRegSz, Bytes("\u00C0\u00AF\u20AC\0"s)}));
  RegClose(key);
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

// A journal left by a run killed before its checkpoint, as the next run finds
// it: its whole records are applied, its torn last one is told and never
// applied, and the next change takes it into the store file first.
TEST_F(RegistryStore, AJournalLeftByAKilledRunIsAppliedUpToItsTornTail) {
  using namespace regstore;
  fs::create_directories(StoreDir());
  const std::string base = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"a\"=dword:00000001\r\n";
  WriteFile(RootFile(), base);
  const std::string journal = StoreDir() + "/HKEY_LOCAL_MACHINE.journal";
  std::string torn = EncodeRecord({ChangeKind::SetValue, {"K"}, {"torn", kRegBinary, {3}}});
  WriteFile(journal, JournalHeader(BaseOf(base)) + EncodeRecord({ChangeKind::SetValue, {"k"}, {"b", kRegBinary, {2}}}) +
                         EncodeRecord({ChangeKind::DeleteValue, {"K"}, {"A", 0, {}}}) + torn.substr(0, torn.size() - 1));
  RegTakeDiagnostic();
  RegKey key = OpenLocal("K");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(QueryValue(key, "a"), std::nullopt);
  EXPECT_EQ(QueryValue(key, "b"), (RegValue{kRegBinary, {2}}));
  EXPECT_EQ(QueryValue(key, "torn"), std::nullopt);
  std::string told = RegTakeDiagnostic();
  EXPECT_NE(told.find(journal), std::string::npos) << told;
  EXPECT_NE(told.find("not applied"), std::string::npos) << told;
  EXPECT_EQ(QueryValue(key, "b"), (RegValue{kRegBinary, {2}}));
  EXPECT_EQ(RegTakeDiagnostic(), "") << "told once";
  ASSERT_EQ(RegSetValue(key, "c", kRegBinary, {4}), kRegOk);
  RegClose(key);
  ReadBackFromCopy();
  key = OpenLocal("K");
  EXPECT_EQ(QueryValue(key, "b"), (RegValue{kRegBinary, {2}}));
  EXPECT_EQ(QueryValue(key, "c"), (RegValue{kRegBinary, {4}}));
  EXPECT_EQ(RegTakeDiagnostic(), "") << "the torn record went with the checkpoint";
  RegClose(key);
  // A journal that a checkpoint has taken in (the store file it continues is
  // gone) is never applied again.
  WriteFile(StoreDir() + "/HKEY_LOCAL_MACHINE.journal",
            JournalHeader(BaseOf("other")) + EncodeRecord({ChangeKind::SetValue, {"K"}, {"stale", kRegBinary, {}}}));
  key = OpenLocal("K");
  EXPECT_EQ(QueryValue(key, "stale"), std::nullopt);
  RegClose(key);
}

// Changes wait for the disk in the journal; the store file is rewritten when
// the journal grows to half of it and when the run ends, and a reader that
// kept the tree sees what another writer appends.
TEST_F(RegistryStore, TheJournalIsTakenInByItsSizeAndByTheEndOfTheRun) {
  RegKey key = Create("Big");
  const std::string journal = StoreDir() + "/HKEY_LOCAL_MACHINE.journal";
  std::vector<uint8_t> large(400000, 7);
  ASSERT_EQ(RegSetValue(key, "one", kRegBinary, large), kRegOk);
  EXPECT_TRUE(fs::exists(journal));
  ASSERT_EQ(RegSetValue(key, "two", kRegBinary, large), kRegOk);
  ASSERT_EQ(RegSetValue(key, "three", kRegBinary, large), kRegOk);
  EXPECT_FALSE(fs::exists(journal)) << "a journal of more than 1 MB is taken in";
  EXPECT_GT(fs::file_size(RootFile()), 2400000u);
  WriteFile(dir_.file("other.tav"), "RegOpenKey LOCAL \\\\HKEY_LOCAL_MACHINE\\Big\nRegSetValue theirs : REG_DWORD : 5\n");
  std::string command = "cd '" + dir_.path() + "' && mkdir -p windows && WINDIR=\"$PWD/windows\" '" TAV32_BINARY
                        "' other.tav";
  ASSERT_EQ(RegSetValue(key, "four", kRegBinary, {4}), kRegOk);
  std::ofstream(journal, std::ios::binary | std::ios::app)
      << regstore::EncodeRecord({regstore::ChangeKind::SetValue, {"big"}, {"appended", kRegBinary, {6}}});
  EXPECT_EQ(QueryValue(key, "appended"), (RegValue{kRegBinary, {6}}));
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(QueryValue(key, "theirs"), (RegValue{kRegDword, {5, 0, 0, 0}}));
  EXPECT_EQ(QueryValue(key, "four"), (RegValue{kRegBinary, {4}})) << "the other run's checkpoint kept ours";
  ASSERT_EQ(RegSetValue(key, "five", kRegBinary, {5}), kRegOk);
  RegClose(key);
  ASSERT_EQ(RegFlush(), kRegOk);
  EXPECT_FALSE(fs::exists(journal));
  EXPECT_NE(StoreText(RootFile()).find("\"five\"=hex:05"), std::string::npos);
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
