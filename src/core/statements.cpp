#include "core/statements.h"

#include "core/lines.h"
#include "core/messages.h"
#include "core/text.h"
#include "core/user_interface.h"

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

// Indexes every label line by its case-folded name; the first line of a name
// wins, as a search from the top would find it.
void BuildLabelIndex(InterpreterState& st) {
  uint32_t number = 1;
  for (size_t start = 0; start < st.programText.size(); ++number) {
    size_t end = st.programText.find('\n', start);
    if (end == std::string::npos) end = st.programText.size();
    std::string_view line(st.programText.data() + start, end - start);
    if (IsLabelLine(line)) st.labelIndex.try_emplace(ToUpperAscii(line.substr(0, line.size() - 1)), InterpreterState::LabelLine{start, number});
    start = end + 1;
  }
  st.labelIndexBuilt = true;
}

}  // namespace

// A target matches a label line when it equals the label's name or the name
// with its colon (compared over the longer of name and target, case folded).
// The first matching line of the text wins.
const InterpreterState::LabelLine* FindLabel(InterpreterState& st, std::string_view target) {
  if (!st.labelIndexBuilt) BuildLabelIndex(st);
  std::string name = ToUpperAscii(target);
  const InterpreterState::LabelLine* best = nullptr;
  auto exact = st.labelIndex.find(name);
  if (exact != st.labelIndex.end()) best = &exact->second;
  if (!name.empty() && name.back() == ':') {
    auto withColon = st.labelIndex.find(name.substr(0, name.size() - 1));
    if (withColon != st.labelIndex.end() && (best == nullptr || withColon->second.start < best->start)) {
      best = &withColon->second;
    }
  }
  return best;
}

bool Goto(InterpreterState& st, const ArgumentArray* args) {
  if (args == nullptr || args->empty()) return false;
  const InterpreterState::LabelLine* label = FindLabel(st, (*args)[0].text);
  if (label == nullptr) return false;
  st.position = label->start;
  st.lineNumber = label->number;
  return true;
}

bool ChDir(InterpreterState& st, const ArgumentArray* args) {
  (void)st;
  if (args == nullptr || args->empty()) return false;
  return platform::SetCurrentDirectory(platform::NativePath((*args)[0].text));
}

}  // namespace tav
