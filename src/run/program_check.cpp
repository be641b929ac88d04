// The rules of a program check. The lines are walked as the run loop walks
// them, but every line is visited: each statement's arguments are read by its
// own parser (whose error reports the check collects), the argument rules
// that the handlers apply before they act are applied to them, and the If
// blocks, labels and jumps are followed on all paths at once.
//
// Control flow is followed twice. The walk in line order pairs If, Else and
// End If as they are written, which finds a block left open or closed twice
// even where no run goes. Then every path that a run can take is followed
// with the run's own rules (the forward scans of If and Else, which read only
// each line's beginning, and the jumps of Goto to their labels), taking each
// If both ways; this finds what only a run meets: a label line that a scan
// takes for Else or End If, a Goto into the middle of a block.
#include <algorithm>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "core/lines.h"
#include "core/messages.h"
#include "core/statements.h"
#include "core/text.h"
#include "external/external.h"
#include "parse/if_statement.h"
#include "platform/process.h"
#include "run/check.h"
#include "run/commands.h"
#include "run/run.h"

namespace tav {

namespace {

Flow FlowOf(int index) { return index < 0 ? Flow::kNone : Command(index).flow; }

class ProgramCheck {
 public:
  ProgramCheck(InterpreterState& st, CheckReport& report) : st_(st), report_(report) {}

  void Run() {
    ExpandEnvironment();
    st_.position = 0;
    st_.lineNumber = 1;
    while (!st_.AtEnd()) {
      CheckLine();
      ++st_.lineNumber;
      size_t lf = st_.programText.find('\n', st_.position);
      st_.position = lf == std::string::npos ? st_.programText.size() : lf + 1;
    }
    ReportOpenBlocks();
    FollowPaths();
  }

 private:
  // What the paths need of a line: its statement (-1 for none), whether its
  // arguments were read, and for a Goto the line of its label (0 for none).
  struct LineFlow {
    int command = -1;
    bool parsed = false;
    uint32_t target = 0;
    size_t start = 0;
  };
  // An If level as the check follows it: where it opened, whether a branch
  // was running around it, and the line whose forward scan would run into
  // the end of the text if no End If closes it (0 when no scan starts).
  struct Level {
    uint32_t ifLine;
    bool savedActive;
    uint32_t scanLine;
    uint32_t elseLine;  // the first Else of the block; 0 before it
  };

  // ---- the environment expansion ----

  void ExpandEnvironment() {
    ExpansionNotes notes;
    std::string expanded;
    ExpandReferences(st_.programText, expanded, &notes);
    st_.programText = std::move(expanded);
    LineCounter counter(st_.programText);
    for (size_t offset : notes.unsetReferences) {
      uint32_t line = counter.LineAt(offset);
      NoteUnsetReference(offset, line, counter.LineStart());
    }
    if (notes.unpaired != std::string::npos) {
      report_.Error(counter.LineAt(notes.unpaired), kErrConstruction,
                    ErrorMessage("", kErrConstruction, "a \"%\" without a partner; \"%%\" stands for one \"%\""));
    }
  }

  // Line numbers of offsets that come in ascending order, and where the line
  // of the last one begins; each byte of the text is looked at once.
  class LineCounter {
   public:
    explicit LineCounter(const std::string& text) : text_(text) {}
    uint32_t LineAt(size_t offset) {
      for (; counted_ < offset && counted_ < text_.size(); ++counted_) {
        if (text_[counted_] == '\n') {
          ++line_;
          lineStart_ = counted_ + 1;
        }
      }
      return line_;
    }
    size_t LineStart() const { return lineStart_; }

   private:
    const std::string& text_;
    size_t counted_ = 0;
    uint32_t line_ = 1;
    size_t lineStart_ = 0;
  };

  void NoteUnsetReference(size_t offset, uint32_t line, size_t lineStart) {
    const std::string& text = st_.programText;
    size_t close = text.find('%', offset + 1);
    std::string name = text.substr(offset + 1, close - offset - 1);
    if (name.find('\n') != std::string::npos) {
      uint32_t partner = line + static_cast<uint32_t>(std::count(name.begin(), name.end(), '\n'));
      report_.Warning(line, Format("this \"%%\" pairs with the one in line %u, and the text between stays as written; "
                                   "\"%%%%\" stands for one \"%%\"",
                                   partner),
                      "percent-pair");
      return;
    }
    // A reference in a comment stays there unseen.
    if (IsCommentLine(std::string_view(text).substr(lineStart))) return;
    report_.Warning(line, Format("\"%%%s%%\" names no environment variable that is set now; it stays in the line as "
                                 "written",
                                 name.c_str()),
                    "unset-variable");
  }

  // ---- lines ----

  std::string_view CurrentLine() const {
    size_t end = st_.programText.find('\n', st_.position);
    if (end == std::string::npos) end = st_.programText.size();
    return std::string_view(st_.programText).substr(st_.position, end - st_.position);
  }

  void CheckLine() {
    lines_.resize(st_.lineNumber + 1);
    lines_[st_.lineNumber].start = st_.position;
    std::string_view line = CurrentLine();
    if (IsLabelLine(line)) {
      CheckLabelLine(line);
      return;
    }
    if (IsCommentLine(line)) return;
    size_t first = line.find_first_not_of(' ');
    if (first == std::string_view::npos) return;
    st_.position += first;
    std::string text(line.substr(first));
    int index = LookupCommand(st_);
    FollowReachability(index);
    if (index < 0) {
      CheckExternalCommand(text);
    } else {
      CheckGluedWord(index, text);
      CheckStatement(index);
    }
  }

  // A statement is found by the beginning of the line, so a longer first
  // word ("CDROM.EXE", "Ifconfig") is taken for the statement it begins with.
  void CheckGluedWord(int index, const std::string& text) {
    size_t length = std::string_view(Command(index).name).size();
    glued_ = length < text.size() && text[length] != ' ';
    if (!glued_) return;
    std::string word = text.substr(0, text.find(' ', length));
    report_.Warning(st_.lineNumber, Format("\"%s\" is taken for the statement %s, whose name it begins with",
                                           word.c_str(), Command(index).name),
                    "glued-name");
  }

  // ---- labels ----

  void CheckLabelLine(std::string_view line) {
    gotoLine_ = 0;
    std::string_view name = line.substr(0, line.size() - 1);
    const InterpreterState::LabelLine* first = FindLabel(st_, name);
    if (first != nullptr && first->number != st_.lineNumber) {
      report_.Warning(st_.lineNumber, Format("label \"%.*s\" is defined again; Goto finds the first one, in line %u",
                                             static_cast<int>(name.size()), name.data(), first->number),
                      "duplicate-label");
    }
    CheckLabelLookalike(line);
  }

  // A label line that reads like a statement ("Echo Note:") is never run.
  // One that begins like If, Else or End If is also counted as that by the
  // forward scans of If and Else, which look only at the line's beginning.
  void CheckLabelLookalike(std::string_view line) {
    int index = FindCommand(line);
    if (index < 0) return;
    std::string quoted(line);
    if (ScanWordOf(line) != ScanWord::kNone) {
      report_.Warning(st_.lineNumber, Format("\"%s\" is a label line and never runs, but an If or Else that passes "
                                             "over it takes it for %s",
                                             quoted.c_str(), Command(index).name),
                      "label-scanned");
    } else if (line.find(' ') != std::string_view::npos) {
      report_.Warning(st_.lineNumber, Format("\"%s\" is a label line, not a statement: a line that ends with \":\" "
                                             "never runs",
                                             quoted.c_str()),
                      "label-statement");
    }
  }

  // ---- reachability after a Goto ----

  // Lines after a Goto that finds its label run only when a label line, or
  // the Else or End If where an If's scan stops, comes before them.
  void FollowReachability(int index) {
    if (gotoLine_ == 0) return;
    Flow flow = FlowOf(index);
    if ((flow == Flow::kElse || flow == Flow::kEndIf) && gotoNesting_ == 0) {
      gotoLine_ = 0;
      return;
    }
    if (!gotoWarned_) {
      report_.Warning(st_.lineNumber, Format("this statement never runs: it follows the Goto in line %u, and no label "
                                             "line comes between",
                                             gotoLine_),
                      "unreachable");
      gotoWarned_ = true;
    }
    if (flow == Flow::kIf) ++gotoNesting_;
    if (flow == Flow::kEndIf) --gotoNesting_;
  }

  void CheckGoto(const ArgumentArray& args) {
    const std::string& target = args[0].text;
    if (FindLabel(st_, target) == nullptr) {
      report_.Warning(st_.lineNumber, Format("Goto: there is no label \"%s\"; the run goes on with the next line",
                                             target.c_str()),
                      "missing-label");
      return;
    }
    lines_[st_.lineNumber].target = FindLabel(st_, target)->number;
    if (gotoLine_ != 0) return;
    gotoLine_ = st_.lineNumber;
    gotoNesting_ = 0;
    gotoWarned_ = false;
  }

  // ---- external commands ----

  void CheckExternalCommand(const std::string& text) {
    std::vector<std::string> argv = SplitCommandLine(text);
    if (argv.empty() || ProgramFound(argv[0])) return;
    bool isPath = argv[0].find('/') != std::string::npos;
    report_.Warning(st_.lineNumber, Format("\"%s\" is no statement; this line runs as an external command, and %s",
                                           argv[0].c_str(),
                                           isPath ? "there is no program file of that name"
                                                  : "no program of that name is on PATH"),
                    "unknown-command");
  }

  bool ProgramFound(const std::string& name) {
    auto known = programs_.find(name);
    if (known != programs_.end()) return known->second;
    bool found = platform::ProgramExists(name);
    programs_.emplace(name, found);
    return found;
  }

  // ---- statements ----

  void CheckStatement(int index) {
    const CommandEntry& entry = Command(index);
    report_.SetSubject(entry.name);
    uint32_t line = st_.lineNumber;
    std::optional<ArgumentArray> args = ParseArguments(st_, index);
    const ArgumentArray* given = args ? &*args : nullptr;
    lines_[line].command = index;
    lines_[line].parsed = given != nullptr;
    if (entry.check != nullptr) entry.check(st_, given);
    if (index == kCmdCD || index == kCmdChDir) CheckEmptyDirectory(given);
    FollowFlow(entry.flow, given);
  }

  void CheckEmptyDirectory(const ArgumentArray* args) {
    // "CDROM.EXE" has its own warning: it is taken for CD.
    if (args == nullptr || glued_ || (*args)[0].text.find_first_not_of(' ') != std::string::npos) return;
    report_.Warning(st_.lineNumber, Format("%s names no directory; the statement fails and the current directory "
                                           "stays as it is",
                                           report_.Subject().c_str()),
                    "empty-directory");
  }

  void FollowFlow(Flow flow, const ArgumentArray* args) {
    switch (flow) {
      case Flow::kIf:
        OpenLevel(args != nullptr);
        break;
      case Flow::kElse:
        MeetElse();
        break;
      case Flow::kEndIf:
        CloseLevel();
        break;
      case Flow::kGoto:
        if (args != nullptr) CheckGoto(*args);
        break;
      case Flow::kNone:
        break;
    }
  }

  void Error(int code, std::string_view detail = {}) { CheckError(st_, code, detail); }

  // ---- If blocks ----

  // A level opens as a run opens it. Inside a branch that a run runs, a
  // branch is active; an If that did not parse leaves the state as it was.
  void OpenLevel(bool parsed) {
    if (levels_.size() >= static_cast<size_t>(kMaxIfDepth)) {
      Error(kErrTooManyIfs);
    } else {
      levels_.push_back(Level{st_.lineNumber, active_, parsed ? st_.lineNumber : 0, 0});
    }
    if (parsed) active_ = true;
  }

  // An Else met outside a running branch is a mismatch. Inside one it scans
  // to the End If, while the scan of a false If stops at the Else: the
  // Else's scan is the one that can run into the end of the text.
  void MeetElse() {
    if (!active_) {
      Error(kErrIfElseMismatch, levels_.empty() ? "no If is open for this Else"
                                                : "the If before it has no condition that could be read");
      return;
    }
    if (levels_.empty()) return;
    Level& level = levels_.back();
    if (level.elseLine != 0) {
      report_.Warning(st_.lineNumber, Format("a second Else in the If block of line %u; the lines after it never run, "
                                             "since the Else in line %u passes over them to the End If",
                                             level.ifLine, level.elseLine),
                      "second-else");
      return;
    }
    level.elseLine = st_.lineNumber;
    level.scanLine = st_.lineNumber;
  }

  void CloseLevel() {
    if (levels_.empty()) {
      Error(kErrEndIfMismatch, "no If is open");
      return;
    }
    active_ = levels_.back().savedActive;
    levels_.pop_back();
  }

  // A level that no End If closes makes the scan of its If (or Else) run
  // into the end of the text.
  void ReportOpenBlocks() {
    for (const Level& level : levels_) {
      if (level.scanLine == 0) continue;
      const char* subject = level.scanLine == level.ifLine ? "If" : "Else";
      report_.Error(level.scanLine, kErrIfElseMismatch,
                    ErrorMessage(subject, kErrIfElseMismatch, Format("no End If closes the If in line %u", level.ifLine)));
    }
  }

  // ---- the paths a run can take ----

  // Where a run stands before it carries out a line: the open If levels
  // (each with its If line and the branch state it saved), whether a branch
  // is running, and whether a RegOpenKey came before on this path.
  struct Open {
    uint32_t ifLine;
    bool savedActive;
    bool operator==(const Open&) const = default;
  };
  struct PathState {
    uint32_t line = 1;
    std::vector<Open> levels;
    bool active = false;
    bool keyOpened = false;
  };

  // Paths are followed until every state has been met once. A Goto loop that
  // opens a level on each round would make new states for ever; the model
  // stops such a path at this depth, and after this many states in all.
  static constexpr size_t kModelDepth = 64;
  static constexpr size_t kModelStates = 200000;

  void FollowPaths() {
    std::vector<PathState> pending{PathState{}};
    std::unordered_set<std::string> seen;
    while (!pending.empty() && seen.size() < kModelStates) {
      PathState state = std::move(pending.back());
      pending.pop_back();
      if (state.line >= lines_.size() || state.levels.size() > kModelDepth) continue;
      if (!seen.insert(StateKey(state)).second) continue;
      Step(std::move(state), pending);
    }
  }

  static std::string StateKey(const PathState& state) {
    std::string key = std::to_string(state.line);
    key += state.active ? 'A' : 'a';
    key += state.keyOpened ? 'K' : 'k';
    for (const Open& open : state.levels) {
      key += open.savedActive ? '+' : '-';
      key += std::to_string(open.ifLine);
    }
    return key;
  }

  // Carries out the state's line as a run would and queues what follows.
  void Step(PathState state, std::vector<PathState>& pending) {
    const LineFlow& line = lines_[state.line];
    uint32_t here = state.line;
    ++state.line;
    switch (line.command < 0 ? Flow::kNone : Command(line.command).flow) {
      case Flow::kIf:
        if (state.levels.size() < static_cast<size_t>(kMaxIfDepth)) state.levels.push_back(Open{here, state.active});
        if (line.parsed) {
          PathState otherwise = state;
          state.active = true;
          PassOver(here, true, std::move(otherwise), pending);
        }
        break;
      case Flow::kElse:
        if (!state.active) {
          PathError(here, kErrIfElseMismatch, "Else",
                    state.levels.empty() ? "no If is open for this Else"
                                         : "the If before it has no condition that could be read");
          break;
        }
        PassOver(here, false, std::move(state), pending);
        return;
      case Flow::kEndIf:
        CloseLevel(here, state);
        break;
      case Flow::kGoto:
        if (line.target != 0) state.line = line.target + 1;
        break;
      case Flow::kNone:
        NoteKeyUse(here, line, state);
        break;
    }
    pending.push_back(std::move(state));
  }

  // The forward scan of the If or Else in line here, with the run's own
  // rule, and the path from where it stops.
  void PassOver(uint32_t here, bool stopAtElse, PathState state, std::vector<PathState>& pending) {
    const BlockEnd& end = ScanFrom(here, stopAtElse);
    if (!end.found) {
      uint32_t ifLine = state.levels.empty() ? here : state.levels.back().ifLine;
      PathError(here, kErrIfElseMismatch, stopAtElse ? "If" : "Else", Format("no End If closes the If in line %u", ifLine));
      return;
    }
    uint32_t stop = here + end.lines;
    if (end.word == ScanWord::kElse) {
      state.active = true;
    } else {
      CloseLevel(stop, state);
    }
    state.line = stop + 1;
    pending.push_back(std::move(state));
  }

  const BlockEnd& ScanFrom(uint32_t line, bool stopAtElse) {
    uint64_t key = (static_cast<uint64_t>(line) << 1) | (stopAtElse ? 1 : 0);
    auto found = scans_.find(key);
    if (found == scans_.end()) {
      found = scans_.emplace(key, FindBlockEnd(st_.programText, lines_[line].start, stopAtElse)).first;
    }
    return found->second;
  }

  void CloseLevel(uint32_t line, PathState& state) {
    if (state.levels.empty()) {
      PathError(line, kErrEndIfMismatch, lines_[line].command >= 0 ? Command(lines_[line].command).name : "End If",
                "no If is open");
      return;
    }
    state.active = state.levels.back().savedActive;
    state.levels.pop_back();
  }

  // A value statement needs the current key that a RegOpenKey before it on
  // the same path opens.
  void NoteKeyUse(uint32_t here, const LineFlow& line, PathState& state) {
    if (line.command == kCmdRegOpenKey && line.parsed) state.keyOpened = true;
    bool usesKey = line.command == kCmdRegSetValue || line.command == kCmdRegDeleteValue;
    if (!usesKey || state.keyOpened || !keyWarned_.insert(here).second) return;
    report_.Warning(here, Format("%s comes before any RegOpenKey on a path to it, so there is no current key "
                                 "and it fails",
                                 Command(line.command).name),
                    "no-current-key");
  }

  // An error that a path meets, unless the walk in line order found it.
  void PathError(uint32_t line, int code, std::string_view subject, std::string_view detail) {
    if (report_.HasError(line, code)) return;
    report_.Error(line, code, ErrorMessage(subject, code, detail));
  }

  InterpreterState& st_;
  CheckReport& report_;
  std::vector<LineFlow> lines_;
  std::unordered_map<uint64_t, BlockEnd> scans_;
  std::unordered_set<uint32_t> keyWarned_;
  bool glued_ = false;  // the line's first word only begins with the statement's name
  std::map<std::string, bool> programs_;
  std::vector<Level> levels_;
  bool active_ = false;
  uint32_t gotoLine_ = 0;
  int gotoNesting_ = 0;
  bool gotoWarned_ = false;
};

}  // namespace

void CheckProgram(InterpreterState& st, CheckReport& report) { ProgramCheck(st, report).Run(); }

}  // namespace tav
