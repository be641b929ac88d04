// What every statement brings to the command table besides its name: the
// handler that carries it out and the check that applies the handler's
// argument rules to a program that is checked, not run. Both take the
// statement's argument array, null when there are none or they failed to
// parse.
#pragma once

#include "core/state.h"

namespace tav {

// Carries the statement out; true for success.
using CommandHandler = bool (*)(InterpreterState& st, const ArgumentArray* args);

// Applies the rules that the handler applies before it acts, reporting what
// breaks them through CheckError (core/check_report.h). Touches nothing.
using ArgumentCheck = void (*)(InterpreterState& st, const ArgumentArray* args);

}  // namespace tav
