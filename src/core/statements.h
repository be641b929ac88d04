// The simple statements: Echo, Pause, Goto and CD/ChDir.
#pragma once

#include <string_view>

#include "core/state.h"

namespace tav {

bool Echo(InterpreterState& st, const ArgumentArray* args);
bool Pause(InterpreterState& st, const ArgumentArray* args);
bool Goto(InterpreterState& st, const ArgumentArray* args);
// The label line that Goto target jumps to: the first whose name equals the
// target, or the target without its colon (ASCII case folded). Null for none.
const InterpreterState::LabelLine* FindLabel(InterpreterState& st, std::string_view target);
bool ChDir(InterpreterState& st, const ArgumentArray* args);

}  // namespace tav
