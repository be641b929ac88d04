// What holds after any statement's arguments are read, whatever the line
// says: the program text is as it was, the position has moved forward within
// the text, the line number has moved over exactly the line ends passed, and
// the argument count matches what was returned.
#pragma once

#include <algorithm>
#include <optional>
#include <string>

#include "core/state.h"
#include "fuzz_support.h"
#include "parse/arguments.h"
#include "parse/condition.h"
#include "run/commands.h"
#include "sync/records.h"

namespace tav::fuzz {

inline void CheckIfArguments(const ArgumentArray& args) {
  FUZZ_CHECK(args.size() > kEntryFirst);
  FUZZ_CHECK(args[kEntryNegate].number == 0 || args[kEntryNegate].number == 1);
  int code = args[kEntryCode].number;
  FUZZ_CHECK(code >= kCondLessEqual && code <= kCondRegValue && code != kCondBios);
}

inline void CheckSyncArguments(const InterpreterState& st, const std::optional<ArgumentArray>& args) {
  if (!args) {
    FUZZ_CHECK(st.syncPatterns.excludeDir.empty() && st.syncPatterns.excludeFile.empty());
    FUZZ_CHECK(st.syncPatterns.filesLike == sync::kDefaultPattern && st.syncPatterns.dirsLike == sync::kDefaultPattern);
    return;
  }
  FUZZ_CHECK(args->size() == sync::kSyncSlotCount);
  for (int slot : {sync::kSlotFrom, sync::kSlotTo}) {
    const Argument& path = (*args)[static_cast<size_t>(slot)];
    // Only the block form may leave out a path; one that is given is absolute.
    FUZZ_CHECK(!path.present || (!path.text.empty() && path.text.front() == '/'));
  }
}

// Reads the arguments of statement index from the state's position, as the
// run loop does, and checks what holds for every statement.
inline std::optional<ArgumentArray> ParseAndCheck(InterpreterState& st, int index) {
  const std::string before = st.programText;
  const size_t start = st.position;
  const uint32_t line = st.lineNumber;
  std::optional<ArgumentArray> args = ParseArguments(st, index);
  FUZZ_CHECK(st.programText == before);
  FUZZ_CHECK(st.position >= start && st.position <= st.programText.size());
  auto from = st.programText.begin() + static_cast<std::ptrdiff_t>(start);
  auto to = st.programText.begin() + static_cast<std::ptrdiff_t>(st.position);
  FUZZ_CHECK(st.lineNumber - line == static_cast<uint32_t>(std::count(from, to, '\n')));
  FUZZ_CHECK(st.argCount == (args ? args->size() : 0));
  if (index == kCmdIf && args) CheckIfArguments(*args);
  if (index == kCmdSynchronizeDir) CheckSyncArguments(st, args);
  return args;
}

// A state for reading statements of text (LF appended when missing),
// reporting errors to ui.
inline void LoadText(InterpreterState& st, UserInterface& ui, std::string text) {
  if (text.empty() || text.back() != '\n') text += '\n';
  st.programText = std::move(text);
  st.position = 0;
  st.lineNumber = 1;
  st.ui = &ui;
  st.options.output = true;
}

}  // namespace tav::fuzz
