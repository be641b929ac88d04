// The six statements that edit INI files.
#pragma once

#include "core/state.h"

namespace tav::ini {

bool IniAddLine(InterpreterState& st, const ArgumentArray* args);
bool IniCopyLine(InterpreterState& st, const ArgumentArray* args);
bool IniChangeLine(InterpreterState& st, const ArgumentArray* args);
bool IniCopySection(InterpreterState& st, const ArgumentArray* args);
bool IniDeleteLine(InterpreterState& st, const ArgumentArray* args);
bool IniDeleteSection(InterpreterState& st, const ArgumentArray* args);

}  // namespace tav::ini
