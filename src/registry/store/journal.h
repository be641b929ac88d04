// The journal beside a registry store file: the changes made since the file
// was last written, appended one record at a time, so that a change costs one
// append and one wait for the disk however large the store is.
//
// A journal starts with a header that names the store file it continues (the
// file's size and a hash of its bytes): a journal that does not match its
// store file is one that a rewrite of the store has already taken in. Each
// record is its length, a CRC-32 of its body, and the body. Reading stops at
// the first record that is cut short or whose checksum fails (the last record
// of a run that was killed while writing it): it and everything after it are
// never applied.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "registry/store/format.h"

namespace tav::regstore {

// What a journal continues: the store file's bytes as they were read.
struct JournalBase {
  uint64_t size = 0;
  uint64_t hash = 0;
  bool operator==(const JournalBase&) const = default;
};
JournalBase BaseOf(std::string_view storeBytes);

constexpr size_t kJournalHeaderSize = 32;
std::string JournalHeader(const JournalBase& base);
// False when the bytes do not begin with a whole, undamaged header.
bool ReadJournalHeader(std::string_view bytes, JournalBase& base);

enum class ChangeKind : uint8_t { CreateKey = 1, SetValue = 2, DeleteValue = 3, DeleteKey = 4 };

// One change of the tree. The path runs from the root key; its steps are
// matched without regard to case, and a created key takes their case.
struct JournalRecord {
  ChangeKind kind = ChangeKind::SetValue;
  std::vector<std::string> path;
  StoredValue value;  // the value set; only its name for a deletion
};

// The record's bytes as appended to the journal.
std::string EncodeRecord(const JournalRecord& record);
// Makes the change in the tree below root. A change made once more leaves
// the tree as it was, and a deletion of what is missing changes nothing.
void ApplyRecord(const JournalRecord& record, StoredKey& root);

// What reading a run of records found.
struct JournalScan {
  size_t used = 0;     // bytes of whole, undamaged records, all applied
  size_t records = 0;  // how many
  bool damaged = false;
  std::string damage;  // why the bytes after used were not applied
};
// Applies the whole records at the start of bytes (which follow a header or
// a record) to the tree below root, in order, up to the first damaged one.
// Bytes cut short at the end of a record are reported as damage too; a
// caller that reads while another process may be appending checks again
// under the update lock before it believes that.
JournalScan ApplyRecords(std::string_view bytes, StoredKey& root);

}  // namespace tav::regstore
