// Shared helpers for unit tests: a user interface that records what it is
// asked to show, and a state loaded with a program text.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/state.h"
#include "core/user_interface.h"

#ifdef _WIN32
// The environment functions of POSIX, for the tests that set variables. The
// C runtime passes the change on to the process environment that the
// interpreter reads.
inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && std::getenv(name) != nullptr) return 0;
  return ::_putenv_s(name, value);
}
inline int unsetenv(const char* name) { return ::_putenv_s(name, ""); }
#endif

namespace tav::test {

class RecordingUi : public UserInterface {
 public:
  void SetControlText(int control, std::string_view text) override { texts[control] = std::string(text); }
  void EnableControl(int control, bool enable) override { enabled[control] = enable; }
  bool HasOutputWindow() const override { return outputWindow; }
  void SetOutputTitle(std::string_view title) override { titles.emplace_back(title); }
  void ShowOutput(std::string text) override { output += text; }
  void WaitForKey() override { ++keyWaits; }
  bool CanTypeKeys() const override { return false; }
  int PollKey(int) override { return -1; }
  void MessageBox(std::string_view caption, std::string_view text) override {
    boxes.push_back(std::string(caption) + ": " + std::string(text));
  }

  bool outputWindow = true;
  std::string output;
  std::map<int, std::string> texts;
  std::map<int, bool> enabled;
  std::vector<std::string> titles;
  std::vector<std::string> boxes;
  int keyWaits = 0;
};

// A state whose program text is text (LF appended), positioned at its start,
// showing messages in a recording output window.
struct Machine {
  explicit Machine(const std::string& text = "") {
    st.programText = text + "\n";
    st.lineNumber = 1;
    st.options.output = true;
    st.ui = &ui;
  }
  RecordingUi ui;
  InterpreterState st;
};

// A fresh temporary directory, removed again with its contents.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const {
    return path_ + static_cast<char>(std::filesystem::path::preferred_separator) + name;
  }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);

#ifdef _WIN32
// The access list of a path in the system's text form; empty when it cannot
// be read.
std::string AccessListText(const std::string& path);
// Gives path an access list that lets this user do everything and nobody
// else anything (Wine turns it into mode 0600).
bool LetOnlyThisUserIn(const std::string& path);
#endif

}  // namespace tav::test
