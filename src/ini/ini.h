// The six statements that edit INI files.
#pragma once

#include <string>
#include <string_view>

#include "core/state.h"
#include "core/statement.h"

namespace tav::ini {

// The argument rules that the statements apply before touching a file, so
// that a program can be checked against them without running it.
// Whether a text such as key=value has a key (IniAddLine, IniChangeLine).
bool HasLineKey(std::string_view text);
// IniCopyLine's key: a final "=" is dropped ("Path=" names Path); false for
// an "=" anywhere else.
bool TakeCopyKey(std::string& key);

// The checks of those rules: IniAddLine and IniChangeLine, IniCopyLine.
void CheckIniLine(InterpreterState& st, const ArgumentArray* args);
void CheckIniCopyLine(InterpreterState& st, const ArgumentArray* args);

bool IniAddLine(InterpreterState& st, const ArgumentArray* args);
bool IniCopyLine(InterpreterState& st, const ArgumentArray* args);
bool IniChangeLine(InterpreterState& st, const ArgumentArray* args);
bool IniCopySection(InterpreterState& st, const ArgumentArray* args);
bool IniDeleteLine(InterpreterState& st, const ArgumentArray* args);
bool IniDeleteSection(InterpreterState& st, const ArgumentArray* args);

}  // namespace tav::ini
