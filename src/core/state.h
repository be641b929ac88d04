// The interpreter state: the one record that the run loop, every statement
// handler and the user interface share. It is passed explicitly; the
// interpreter keeps no globals.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/run_report.h"
#include "platform/fs.h"
#include "platform/registry.h"

namespace tav {

class UserInterface;
class CheckReport;

// One entry of a statement's argument array. An entry that is not present is
// the null entry (an unset SynchronizeDir flag, for example). The If
// statement's first entries are integers; they are kept in number.
struct Argument {
  bool present = false;
  std::string text;
  int number = 0;

  static Argument Text(std::string s) { return Argument{true, std::move(s), 0}; }
  static Argument Number(int n) { return Argument{true, std::string(), n}; }
};
using ArgumentArray = std::vector<Argument>;

// The start-up options.
struct Options {
  bool debug = false;
  bool trace = false;
  bool output = false;
  bool noAbort = false;
  bool quiet = false;
  bool log = false;
  std::string logPath;
  // The program is checked, not run.
  bool check = false;
  // With the check: warnings count as errors for the exit code.
  bool checkStrict = false;
  // A dry run: the program's logic runs, nothing is changed.
  bool whatIf = false;
  // The report file's full path, empty when no report is written.
  std::string reportPath;
};

// The SynchronizeDir members that the statement's parser fills outside the
// argument array and that the handler empties at the end of the statement.
struct SyncPatterns {
  std::vector<std::string> excludeDir;
  std::vector<std::string> excludeFile;
  std::string filesLike = "*.*";
  std::string dirsLike = "*.*";
  void Reset() { *this = SyncPatterns(); }
};

constexpr int kMaxIfDepth = 4096;

struct InterpreterState {
  // The program text; always ends with LF. The end of the text is its size.
  std::string programText;
  size_t position = 0;
  uint32_t lineNumber = 0;
  int errorCode = 0;
  std::atomic<bool> stopRequested{false};
  // Set when the user asked to abort the run (the interrupt key).
  std::atomic<bool> userAbort{false};

  Options options;
  platform::File debugLog;
  std::string programTitle;
  unsigned argCount = 0;

  // IF state: ifStack[d] holds branchActive as it was when level d opened.
  int ifDepth = 0;
  std::vector<int> ifStack = std::vector<int>(kMaxIfDepth + 1, 0);
  bool branchActive = false;

  // The registry's current key, and the depth of a running RegDeleteKey.
  platform::RegKey currentKey = nullptr;
  int deleteDepth = 0;
  // The current key's full path ("HKEY_LOCAL_MACHINE\\Software\\X", a remote
  // computer's name before it), empty when there is none. Under WHATIF the
  // current key may be a planned one: currentKey is then null.
  std::string currentKeyPath;

  SyncPatterns syncPatterns;

  // The changes of the statement being carried out, for the report file.
  RunReport report;
  // Under WHATIF, what earlier statements would have changed.
  PlannedChanges plan;

  // Goto's index of label lines: the first line of each case-folded label
  // name. Built on the first Goto; the program text does not change during a
  // run.
  struct LabelLine {
    size_t start;
    uint32_t number;
  };
  std::unordered_map<std::string, LabelLine> labelIndex;
  bool labelIndexBuilt = false;

  // While a program is checked, the error reports go here instead of to the
  // logs and the output window.
  CheckReport* check = nullptr;

  // The status and output side. Never null while a program runs.
  UserInterface* ui = nullptr;

  bool AtEnd() const { return position >= programText.size(); }
};

}  // namespace tav
