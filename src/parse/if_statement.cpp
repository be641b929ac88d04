// The If, Else and End If handlers. A branch that is not taken is passed over
// by the handlers themselves: they scan forward line by line, counting nested
// Ifs, and leave the position on the Else or End If line where they stop.
#include "parse/if_statement.h"

#include <algorithm>

#include "core/check_report.h"
#include "core/messages.h"
#include "core/text.h"
#include "parse/condition.h"
#include "registry/key_path.h"

namespace tav {

namespace {

// Opens an IF level, saving whether a branch was being run. With the stack
// full the If goes on without a level of its own.
void OpenLevel(InterpreterState& st) {
  if (st.ifDepth >= kMaxIfDepth) {
    ReportError(st, kErrTooManyIfs);
    return;
  }
  ++st.ifDepth;
  st.ifStack[static_cast<size_t>(st.ifDepth)] = st.branchActive ? 1 : 0;
}

// Closes the innermost level; with none open the mismatch is reported and
// the statement still counts as done.
void CloseLevel(InterpreterState& st) {
  if (st.ifDepth < 1) {
    ReportError(st, kErrEndIfMismatch);
    return;
  }
  st.branchActive = st.ifStack[static_cast<size_t>(st.ifDepth)] != 0;
  --st.ifDepth;
}

size_t LineEndFrom(const std::string& text, size_t from) {
  size_t end = text.find('\n', from);
  return end == std::string::npos ? text.size() : end;
}

// Passes over the lines after the current one up to the end of the block,
// counting nested Ifs, and leaves the position on the line where it stops
// (an Else reopens the branch; an End If closes the level). Reaching the end
// of the text is a mismatch, and the run then ends.
bool ScanForward(InterpreterState& st, bool stopAtElse) {
  BlockEnd end = FindBlockEnd(st.programText, st.position, stopAtElse);
  st.lineNumber += end.lines;
  if (!end.found) {
    st.position = st.programText.size();
    ReportError(st, kErrIfElseMismatch);
    return false;
  }
  if (end.word == ScanWord::kElse) {
    st.branchActive = true;
  } else {
    CloseLevel(st);
  }
  st.position = end.position;
  return true;
}

}  // namespace

ScanWord ScanWordOf(std::string_view line) {
  if (StartsWithNoCase(line, "if")) return ScanWord::kIf;
  if (StartsWithNoCase(line, "else")) return ScanWord::kElse;
  if (StartsWithNoCase(line, "end if") || StartsWithNoCase(line, "endif")) return ScanWord::kEndIf;
  return ScanWord::kNone;
}

BlockEnd FindBlockEnd(const std::string& text, size_t position, bool stopAtElse) {
  BlockEnd end;
  int nested = 0;
  size_t lineStart = LineEndFrom(text, position) + 1;
  for (;;) {
    ++end.lines;
    if (lineStart >= text.size()) return end;
    size_t lineEnd = LineEndFrom(text, lineStart);
    size_t first = std::min(text.find_first_not_of(' ', lineStart), lineEnd);
    ScanWord word = ScanWordOf(std::string_view(text.data() + first, lineEnd - first));
    if (word == ScanWord::kIf) {
      ++nested;
    } else if (nested == 0 && (word == ScanWord::kEndIf || (stopAtElse && word == ScanWord::kElse))) {
      end.found = true;
      end.word = word;
      end.position = first;
      return end;
    } else if (word == ScanWord::kEndIf) {
      --nested;
    }
    lineStart = lineEnd + 1;
  }
}

void CheckIf(InterpreterState& st, const ArgumentArray* args) {
  if (args == nullptr) return;
  switch ((*args)[kEntryCode].number) {
    case kCondRegKeyExist: {
      const std::string& computer = (*args)[kEntryFirst].text;
      if (registry::LacksValidRoot(computer, (*args)[kEntrySecond].text)) {
        CheckError(st, kErrRegCreateOpen);
      } else if (!registry::ReachesRegistry(computer)) {
        CheckWarning(st, Format("If: the computer argument \"%s\" is neither LOCAL nor \\\\NAME, so the key never exists",
                                computer.c_str()),
                     "unreachable-computer");
      }
      break;
    }
    case kCondRegValue:
      if (!WrittenValueFitsSomeType((*args)[kEntryThird].text)) {
        CheckError(st, kErrRegValueType, "no value type reads the written value; a string needs double quotes");
      }
      break;
    default:
      break;
  }
}

bool If(InterpreterState& st, const ArgumentArray* args) {
  OpenLevel(st);
  if (args == nullptr) return false;
  switch (EvaluateCondition(st, *args)) {
    case ConditionResult::kFailed:
      return false;
    case ConditionResult::kTrue:
      st.branchActive = true;
      return true;
    case ConditionResult::kFalse:
      break;
  }
  return ScanForward(st, true);
}

bool Else(InterpreterState& st, const ArgumentArray*) {
  if (!st.branchActive) {
    ReportError(st, kErrIfElseMismatch);
    return false;
  }
  return ScanForward(st, false);
}

bool EndIf(InterpreterState& st, const ArgumentArray*) {
  CloseLevel(st);
  return true;
}

}  // namespace tav
