// The command table: the 21 statements, one row each. A row names the
// statement and brings its argument parser, its handler, the check of its
// argument rules and its part in the control flow; the row index identifies
// the statement, and lookup is by prefix, first row first. A new statement
// is a row here (and its index below) plus its own file.
#pragma once

#include <optional>
#include <string_view>

#include "core/state.h"
#include "core/statement.h"
#include "parse/arguments.h"

namespace tav {

// What a statement does to the path through the program, beyond its own
// line: the If, Else and End If blocks and the jump to a label.
enum class Flow { kNone, kIf, kElse, kEndIf, kGoto };

enum CommandIndex : int {
  kCmdIniAddLine = 0,
  kCmdIniCopyLine = 1,
  kCmdIniChangeLine = 2,
  kCmdIniCopySection = 3,
  kCmdIniDeleteLine = 4,
  kCmdIniDeleteSection = 5,
  kCmdEcho = 6,
  kCmdGoto = 7,
  kCmdIf = 8,
  kCmdElse = 9,
  kCmdEndif = 10,
  kCmdEndIf = 11,
  kCmdSynchronizeDir = 12,
  kCmdShell = 13,
  kCmdPause = 14,
  kCmdRegOpenKey = 15,
  kCmdRegSetValue = 16,
  kCmdRegDeleteKey = 17,
  kCmdRegDeleteValue = 18,
  kCmdCD = 19,
  kCmdChDir = 20,
  kCommandCount = 21,
};

struct CommandEntry {
  CommandIndex index;
  const char* name;
  ArgumentParser parse;
  CommandHandler handler;
  ArgumentCheck check;  // null when the handler applies no rule before it acts
  Flow flow;
  unsigned argCount;
};

const CommandEntry& Command(int index);
// The first row whose name begins the line (ASCII case folded); -1 for none.
int FindCommand(std::string_view line);

// Reads the arguments of the statement at row index, starting at the state's
// position, with the row's parser.
std::optional<ArgumentArray> ParseArguments(InterpreterState& st, int index);

}  // namespace tav
