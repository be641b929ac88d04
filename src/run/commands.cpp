#include "run/commands.h"

#include <iterator>

#include "core/statements.h"
#include "core/text.h"
#include "external/external.h"
#include "ini/ini.h"
#include "parse/if_statement.h"
#include "parse/sync_syntax.h"
#include "registry/registry.h"
#include "sync/sync.h"

namespace tav {

namespace {

using ini::CheckIniCopyLine;
using ini::CheckIniLine;
using registry::CheckRegDeleteKey;
using registry::CheckRegOpenKey;
using registry::CheckRegSetValue;
using sync::CheckSynchronizeDir;

constexpr CommandEntry kCommandTable[] = {
    {kCmdIniAddLine, "IniAddLine", ParseWords<3>, ini::IniAddLine, CheckIniLine, Flow::kNone, 3},
    {kCmdIniCopyLine, "IniCopyLine", ParseWords<4>, ini::IniCopyLine, CheckIniCopyLine, Flow::kNone, 4},
    {kCmdIniChangeLine, "IniChangeLine", ParseWords<3>, ini::IniChangeLine, CheckIniLine, Flow::kNone, 3},
    {kCmdIniCopySection, "IniCopySection", ParseWords<3>, ini::IniCopySection, nullptr, Flow::kNone, 3},
    {kCmdIniDeleteLine, "IniDeleteLine", ParseWords<3>, ini::IniDeleteLine, nullptr, Flow::kNone, 3},
    {kCmdIniDeleteSection, "IniDeleteSection", ParseWords<2>, ini::IniDeleteSection, nullptr, Flow::kNone, 2},
    {kCmdEcho, "Echo", ParseRestOfLine, Echo, nullptr, Flow::kNone, 0},
    {kCmdGoto, "Goto", ParseWords<1>, Goto, nullptr, Flow::kGoto, 1},
    {kCmdIf, "If", ParseIfArguments, If, CheckIf, Flow::kIf, 0},
    {kCmdElse, "Else", ParseNothing, Else, nullptr, Flow::kElse, 0},
    {kCmdEndif, "Endif", ParseNothing, EndIf, nullptr, Flow::kEndIf, 0},
    {kCmdEndIf, "End If", ParseNothing, EndIf, nullptr, Flow::kEndIf, 0},
    {kCmdSynchronizeDir, "SynchronizeDir", ParseSyncArguments, sync::SynchronizeDir, CheckSynchronizeDir, Flow::kNone,
     0},
    {kCmdShell, "Shell", ParseRestOfLine, Shell, nullptr, Flow::kNone, 0},
    {kCmdPause, "Pause", ParseWords<0>, Pause, nullptr, Flow::kNone, 0},
    {kCmdRegOpenKey, "RegOpenKey", ParseKeyPath, registry::RegOpenKey, CheckRegOpenKey, Flow::kNone, 0},
    {kCmdRegSetValue, "RegSetValue", ParseFields, registry::RegSetValue, CheckRegSetValue, Flow::kNone, 0},
    {kCmdRegDeleteKey, "RegDeleteKey", ParseKeyPath, registry::RegDeleteKey, CheckRegDeleteKey, Flow::kNone, 0},
    {kCmdRegDeleteValue, "RegDeleteValue", ParseValueName, registry::RegDeleteValue, nullptr, Flow::kNone, 0},
    {kCmdCD, "CD", ParseRestOfLine, ChDir, nullptr, Flow::kNone, 0},
    {kCmdChDir, "ChDir", ParseRestOfLine, ChDir, nullptr, Flow::kNone, 0},
};

constexpr bool RowsFollowTheIndex() {
  for (int i = 0; i < kCommandCount; ++i) {
    if (kCommandTable[i].index != i) return false;
  }
  return true;
}
static_assert(std::size(kCommandTable) == kCommandCount, "one row per statement index");
static_assert(RowsFollowTheIndex(), "each row stands at its own index");

}  // namespace

const CommandEntry& Command(int index) { return kCommandTable[index]; }

int FindCommand(std::string_view line) {
  for (int index = 0; index < kCommandCount; ++index) {
    if (StartsWithNoCase(line, kCommandTable[index].name)) return index;
  }
  return -1;
}

std::optional<ArgumentArray> ParseArguments(InterpreterState& st, int index) {
  st.argCount = 0;
  LineReader reader(st);
  return Command(index).parse(reader);
}

}  // namespace tav
