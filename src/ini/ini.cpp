#include "ini/ini.h"

namespace tav::ini {

// The INI statements are not built yet; each fails without touching a file.
bool IniAddLine(InterpreterState&, const ArgumentArray*) { return false; }
bool IniCopyLine(InterpreterState&, const ArgumentArray*) { return false; }
bool IniChangeLine(InterpreterState&, const ArgumentArray*) { return false; }
bool IniCopySection(InterpreterState&, const ArgumentArray*) { return false; }
bool IniDeleteLine(InterpreterState&, const ArgumentArray*) { return false; }
bool IniDeleteSection(InterpreterState&, const ArgumentArray*) { return false; }

}  // namespace tav::ini
