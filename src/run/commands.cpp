#include "run/commands.h"

#include "core/statements.h"
#include "core/text.h"
#include "external/external.h"
#include "ini/ini.h"
#include "parse/if_statement.h"
#include "registry/registry.h"
#include "sync/sync.h"

namespace tav {

namespace {

const CommandEntry kCommandTable[kCommandCount] = {
    {"IniAddLine", ini::IniAddLine, 3},
    {"IniCopyLine", ini::IniCopyLine, 4},
    {"IniChangeLine", ini::IniChangeLine, 3},
    {"IniCopySection", ini::IniCopySection, 3},
    {"IniDeleteLine", ini::IniDeleteLine, 3},
    {"IniDeleteSection", ini::IniDeleteSection, 2},
    {"Echo", Echo, 0},
    {"Goto", Goto, 1},
    {"If", If, 0},
    {"Else", Else, 0},
    {"Endif", EndIf, 0},
    {"End If", EndIf, 0},
    {"SynchronizeDir", sync::SynchronizeDir, 0},
    {"Shell", Shell, 0},
    {"Pause", Pause, 0},
    {"RegOpenKey", registry::RegOpenKey, 0},
    {"RegSetValue", registry::RegSetValue, 0},
    {"RegDeleteKey", registry::RegDeleteKey, 0},
    {"RegDeleteValue", registry::RegDeleteValue, 0},
    {"CD", ChDir, 0},
    {"ChDir", ChDir, 0},
};

}  // namespace

const CommandEntry& Command(int index) { return kCommandTable[index]; }

int FindCommand(std::string_view line) {
  for (int index = 0; index < kCommandCount; ++index) {
    if (StartsWithNoCase(line, kCommandTable[index].name)) return index;
  }
  return -1;
}

}  // namespace tav
