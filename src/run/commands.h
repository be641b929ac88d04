// The command table: the 21 statements, their handlers and argument counts.
// The row index identifies the statement; lookup is by prefix, first row first.
#pragma once

#include <string_view>

#include "core/state.h"

namespace tav {

// A statement handler: takes the statement's arguments (null when there are
// none or they failed to parse) and returns true for success.
using CommandHandler = bool (*)(InterpreterState& st, const ArgumentArray* args);

struct CommandEntry {
  const char* name;
  CommandHandler handler;
  unsigned argCount;
};

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

const CommandEntry& Command(int index);
// The first row whose name begins the line (ASCII case folded); -1 for none.
int FindCommand(std::string_view line);

}  // namespace tav
