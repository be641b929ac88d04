// Registry statements, key paths and the number syntaxes of registry data.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/state.h"
#include "core/statement.h"

namespace tav::registry {

bool RegOpenKey(InterpreterState& st, const ArgumentArray* args);
bool RegSetValue(InterpreterState& st, const ArgumentArray* args);
bool RegDeleteKey(InterpreterState& st, const ArgumentArray* args);
bool RegDeleteValue(InterpreterState& st, const ArgumentArray* args);

// The argument rules of RegOpenKey, RegSetValue and RegDeleteKey, checked
// without touching the registry.
void CheckRegOpenKey(InterpreterState& st, const ArgumentArray* args);
void CheckRegSetValue(InterpreterState& st, const ArgumentArray* args);
void CheckRegDeleteKey(InterpreterState& st, const ArgumentArray* args);

// Opens an existing key (never creates) named by a computer argument and a
// key path and makes it the current key. The caller saves the former current
// key before and restores it afterwards, closing the key opened here. On
// failure there is no current key until the caller restores it. A relative
// path with LOCAL is opened under the current key; a computer argument that
// is neither LOCAL nor begins with a backslash opens nothing.
// Reports error 13 for a key path without a valid root.
bool OpenKeyPath(InterpreterState& st, const std::string& computer, const std::string& keyPath);

// Tells the user what the registry store gave as the cause of a failed
// operation when the store itself is at fault (a damaged store file, a file
// that could not be written): in the debug log and on standard error. Does
// nothing when there is no such cause. Call it after a failed platform call.
void ReportStoreDiagnostic(InterpreterState& st);

// "0x"-prefixed hexadecimal or decimal, no sign or blanks, at most 32 bits;
// empty text and "0x" alone give 0.
bool ParseDwordText(std::string_view text, uint32_t& value);
// The same for one byte, trailing blanks allowed.
bool ParseByteText(std::string_view text, uint8_t& value);

}  // namespace tav::registry
