// A program file from its bytes to its statements' arguments: normalisation,
// the %NAME% expansion against a known environment, then every line read as
// the run loop reads it, its arguments parsed but no statement run.
#include <cstdlib>
#include <map>
#include <string>

#include "core/lines.h"
#include "run/run.h"
#include "run/startup.h"
#include "statement_checks.h"

namespace tav::fuzz {
namespace {

// The whole environment of the harness.
const std::map<std::string, std::string>& Variables() {
  static const std::map<std::string, std::string> variables = {
      {"A", "alpha"},          {"PATHS", "/usr/bin:/bin"}, {"PERCENT", "%A%"},
      {"LINES", "x\nIf A = A Then"}, {"EMPTY", ""},        {"QUOTE", "\"q\""},
  };
  return variables;
}

// The expansion as the program's user reads it: "%%" is "%", a set and
// non-empty variable between two "%" is its value, anything else stays.
bool ExpectedExpansion(const std::string& text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size();) {
    if (text[i] != '%') {
      out += text[i++];
    } else if (i + 1 < text.size() && text[i + 1] == '%') {
      out += '%';
      i += 2;
    } else {
      size_t close = text.find('%', i + 1);
      if (close == std::string::npos) return false;
      auto it = Variables().find(text.substr(i + 1, close - i - 1));
      out += it != Variables().end() && !it->second.empty() ? it->second : text.substr(i, close + 1 - i);
      i = close + 1;
    }
  }
  return true;
}

// A UTF-8 byte-order mark is dropped; plain text is otherwise kept as it is,
// with a line end added.
void CheckNormalised(std::string_view bytes, const std::string& text) {
  FUZZ_CHECK(!text.empty() && text.back() == '\n');
  FUZZ_CHECK(text.find_first_of(std::string("\0\r\a\t", 4)) == std::string::npos);
  std::string_view body = bytes.substr(0, 3) == "\xEF\xBB\xBF" ? bytes.substr(3) : bytes;
  if (body.find_first_of(std::string_view("\0\r\a\t", 4)) == std::string_view::npos) {
    FUZZ_CHECK(text == std::string(body) + "\n");
  }
}

// The run loop's walk over the lines, reading arguments instead of running.
void ReadAllStatements(InterpreterState& st) {
  while (!st.AtEnd()) {
    size_t end = st.programText.find('\n', st.position);
    std::string_view line(st.programText.data() + st.position, end - st.position);
    if (!IsLabelLine(line) && !IsCommentLine(line)) {
      while (st.position < end && st.programText[st.position] == ' ') ++st.position;
      if (st.position < end) {
        int index = LookupCommand(st);
        if (index >= 0) ParseAndCheck(st, index);
      }
    }
    ++st.lineNumber;
    size_t lf = st.programText.find('\n', st.position);
    st.position = lf == std::string::npos ? st.programText.size() : lf + 1;
  }
}

}  // namespace
}  // namespace tav::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  clearenv();
  for (const auto& [name, value] : tav::fuzz::Variables()) setenv(name.c_str(), value.c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tav::fuzz;
  std::string_view bytes = AsText(data, size);
  std::string text = tav::NormaliseProgramText(bytes);
  CheckNormalised(bytes, text);

  std::string expanded, expected;
  bool ok = tav::ExpandReferences(text, expanded);
  FUZZ_CHECK(ok == ExpectedExpansion(text, expected));
  if (!ok) return 0;
  FUZZ_CHECK(expanded == expected);

  tav::InterpreterState st;
  SilentUi ui;
  LoadText(st, ui, expanded);
  FUZZ_CHECK(st.programText == expanded);
  ReadAllStatements(st);
  return 0;
}
