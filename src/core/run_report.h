// What a run changed and what a dry run plans to change.
//
// RunReport collects, statement by statement, the changes the handlers make
// (or, under WHATIF, would make); the run loop turns each statement's record
// into a line of the report file. PlannedChanges is the dry run's overlay:
// the files, INI bytes and registry keys and values that earlier statements
// would have changed, so that later statements and conditions see them.
// Neither knows how the report file is written.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tav {

// One change. kind tells which fields mean something:
//   "ini"      target = file, section, name = key (empty for the whole
//              section), before/after = value or the section's lines, diff =
//              unified diff of the file's bytes;
//   "registry" target = key path, name = value name (empty for the key
//              itself), beforeType/afterType and before/after the data;
//   "file"     target = path, name = sync action ("add", "delete",
//              "overwrite", ...), size = bytes, directory when it is one;
//   "command"  target = the command line of an external command or Shell
//              that ran (or would run): what it changed is not known.
// A missing before (after) means the thing did not exist before (after).
struct Change {
  std::string kind;
  std::string target;
  std::string section;
  std::string name;
  std::optional<std::string> before;
  std::optional<std::string> after;
  std::string beforeType;
  std::string afterType;
  std::string diff;
  uint64_t size = 0;
  bool directory = false;
};

class RunReport {
 public:
  // True while changes are collected: a report file is written, or the run
  // is a dry run.
  bool Collecting() const { return collecting_; }
  void SetCollecting(bool on) { collecting_ = on; }
  void AddChange(Change change) {
    if (collecting_) changes_.push_back(std::move(change));
  }
  // The changes of the statement that just ended; the list starts empty again.
  std::vector<Change> TakeChanges() { return std::exchange(changes_, {}); }

 private:
  bool collecting_ = false;
  std::vector<Change> changes_;
};

// A registry value as a dry run plans it.
struct PlannedValue {
  bool exists = false;
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

struct PlannedChanges {
  // Files by full path: the planned bytes (INI files), or only whether the
  // file will exist (a sync's copies and deletions).
  struct File {
    bool exists = false;
    std::optional<std::string> bytes;
  };
  std::map<std::string, File> files;
  // Registry keys by upper-cased full path. A key created where an earlier
  // statement deleted one is empty: the real key's values and subkeys are
  // gone.
  enum class Key { kCreated, kDeleted, kRecreated };
  std::map<std::string, Key> keys;
  // Registry values by upper-cased key path, then upper-cased value name.
  std::map<std::string, std::map<std::string, PlannedValue>> values;
  // The notice that external commands do not run is given once.
  bool externalNoticeGiven = false;
};

}  // namespace tav
