// The journal's records: replayed over a store file they give what the
// changes gave, and a damaged tail is never applied.
#include <gtest/gtest.h>

#include "registry/store/journal.h"

namespace tav::regstore {
namespace {

const std::string kBase =
    "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Old]\r\n\"keep\"=dword:00000001\r\n"
    "\"drop\"=\"x\"\r\n\r\n[HKEY_LOCAL_MACHINE\\Old\\Leaf]\r\n";

std::vector<JournalRecord> Changes() {
  return {
      {ChangeKind::CreateKey, {"New", "Deep"}, {}},
      {ChangeKind::SetValue, {"new", "DEEP"}, {"Text", 1, {'h', 0, 'i', 0, 0, 0}}},
      {ChangeKind::SetValue, {"Old"}, {"KEEP", 4, {2, 0, 0, 0}}},
      {ChangeKind::SetValue, {"Old"}, {"", 3, {}}},
      {ChangeKind::DeleteValue, {"old"}, {"Drop", 0, {}}},
      {ChangeKind::DeleteValue, {"Missing"}, {"v", 0, {}}},
      {ChangeKind::DeleteKey, {"Old", "leaf"}, {}},
      {ChangeKind::DeleteKey, {"Old", "never"}, {}},
  };
}

const std::string kExpected =
    "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\New]\r\n\r\n[HKEY_LOCAL_MACHINE\\New\\Deep]\r\n"
    "\"Text\"=\"hi\"\r\n\r\n[HKEY_LOCAL_MACHINE\\Old]\r\n\"keep\"=dword:00000002\r\n@=hex:\r\n\r\n";

std::string Text(const StoredKey& root) {
  std::string utf16 = WriteStoreFile(root);
  std::string text;
  for (size_t i = 2; i < utf16.size(); i += 2) text += utf16[i];
  return text;
}

std::string Encoded(const std::vector<JournalRecord>& records) {
  std::string bytes;
  for (const JournalRecord& record : records) bytes += EncodeRecord(record);
  return bytes;
}

TEST(Journal, ReplayOverTheBaseGivesWhatTheChangesGave) {
  StoredKey root("HKEY_LOCAL_MACHINE");
  FormatError error;
  ASSERT_TRUE(ReadStoreFile(kBase, root, error));
  std::string bytes = Encoded(Changes());
  JournalScan scan = ApplyRecords(bytes, root);
  EXPECT_FALSE(scan.damaged) << scan.damage;
  EXPECT_EQ(scan.used, bytes.size());
  EXPECT_EQ(scan.records, Changes().size());
  EXPECT_EQ(Text(root), kExpected);
  // A crash between a checkpoint and the journal's removal may replay it
  // over its own result: nothing changes.
  ApplyRecords(bytes, root);
  EXPECT_EQ(Text(root), kExpected);
}

TEST(Journal, HeaderNamesTheStoreFileItContinues) {
  JournalBase base = BaseOf(kBase);
  std::string header = JournalHeader(base);
  ASSERT_EQ(header.size(), kJournalHeaderSize);
  JournalBase read;
  ASSERT_TRUE(ReadJournalHeader(header + "more", read));
  EXPECT_EQ(read, base);
  EXPECT_FALSE(BaseOf(kBase + " ") == base);
  for (size_t cut = 0; cut < header.size(); ++cut) EXPECT_FALSE(ReadJournalHeader(header.substr(0, cut), read));
  for (size_t at = 0; at < header.size(); ++at) {
    std::string damaged = header;
    damaged[at] ^= 0x10;
    EXPECT_FALSE(ReadJournalHeader(damaged, read)) << "byte " << at;
  }
}

// Every way the last record can be torn: cut at each byte, a flipped bit at
// each byte, zeros where a power cut left the file's end unwritten.
TEST(Journal, ADamagedTailIsNeverApplied) {
  std::vector<JournalRecord> changes = Changes();
  std::string whole = Encoded({changes.begin(), changes.begin() + 6});
  std::string last = EncodeRecord({ChangeKind::SetValue, {"Old"}, {"torn", 4, {9, 9, 9, 9}}});
  std::vector<std::string> tails;
  for (size_t cut = 1; cut < last.size(); ++cut) tails.push_back(last.substr(0, cut));
  for (size_t at = 0; at < last.size(); ++at) {
    tails.push_back(last);
    tails.back()[at] ^= 0x04;
  }
  tails.push_back(std::string(64, '\0'));
  for (const std::string& tail : tails) {
    StoredKey root("HKEY_LOCAL_MACHINE");
    FormatError error;
    ASSERT_TRUE(ReadStoreFile(kBase, root, error));
    JournalScan scan = ApplyRecords(whole + tail + EncodeRecord(changes[6]), root);
    EXPECT_TRUE(scan.damaged);
    EXPECT_FALSE(scan.damage.empty());
    EXPECT_EQ(scan.used, whole.size());
    EXPECT_EQ(root.FindSubkey("old")->FindValue("torn"), nullptr);
    EXPECT_NE(root.FindSubkey("old")->FindSubkey("leaf"), nullptr) << "nothing after a damaged record is applied";
  }
}

}  // namespace
}  // namespace tav::regstore
