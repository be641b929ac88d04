#include "core/statements.h"

#include <algorithm>

#include "core/lines.h"
#include "core/messages.h"
#include "core/text.h"
#include "ui/user_interface.h"

namespace tav {

bool Echo(InterpreterState& st, const ArgumentArray* args) {
  if (args == nullptr || args->empty()) {
    PrintMessage(st, "\n");
  } else {
    PrintMessage(st, (*args)[0].text + "\n");
  }
  return true;
}

bool Pause(InterpreterState& st, const ArgumentArray*) {
  st.ui->WaitForKey();
  return true;
}

namespace {

// The label line matches the target when the two agree over the longer of the
// label's name and the target, the line's colon standing where the name ends.
bool LabelMatches(std::string_view line, std::string_view target) {
  size_t nameLength = line.size() - 1;
  size_t length = std::max(nameLength, target.size());
  for (size_t k = 0; k < length; ++k) {
    char a = k < line.size() ? line[k] : '\n';
    char b = k < target.size() ? target[k] : '\0';
    if (AsciiLower(a) != AsciiLower(b)) return false;
  }
  return true;
}

}  // namespace

bool Goto(InterpreterState& st, const ArgumentArray* args) {
  if (args == nullptr || args->empty()) return false;
  const std::string& target = (*args)[0].text;
  uint32_t number = 1;
  for (size_t start = 0; start < st.programText.size(); ++number) {
    size_t end = st.programText.find('\n', start);
    if (end == std::string::npos) end = st.programText.size();
    std::string_view line(st.programText.data() + start, end - start);
    if (IsLabelLine(line) && LabelMatches(line, target)) {
      st.position = start;
      st.lineNumber = number;
      return true;
    }
    start = end + 1;
  }
  return false;
}

bool ChDir(InterpreterState& st, const ArgumentArray* args) {
  (void)st;
  if (args == nullptr || args->empty()) return false;
  return platform::SetCurrentDirectory(platform::NativePath((*args)[0].text));
}

}  // namespace tav
