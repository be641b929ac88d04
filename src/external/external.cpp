#include "external/external.h"

#include <atomic>
#include <thread>

#include "core/messages.h"
#include "core/text.h"
#include "core/user_interface.h"
#include "platform/code_page.h"
#include "platform/fs.h"
#include "platform/process.h"

namespace tav {

namespace {

constexpr size_t kReadPiece = 512;
constexpr int kSuccessLimit = 32;
constexpr int kStillActive = 259;

bool KeysCanBeTyped(const InterpreterState& st) { return st.ui->HasOutputWindow() && st.ui->CanTypeKeys(); }

// Passes the keys kept for the command to the child until stopped.
class KeyForwarder {
 public:
  KeyForwarder(InterpreterState& st, platform::ChildProcess& child) {
    if (!KeysCanBeTyped(st)) {
      platform::CloseChildInput(child);
      return;
    }
    thread_ = std::thread([this, &st, &child] {
      while (!done_) {
        int c = st.ui->PollKey(50);
        if (c >= 0 && !done_) platform::WriteChildInput(child, static_cast<char>(c));
      }
    });
  }
  ~KeyForwarder() { Stop(); }
  void Stop() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};

// Copies the child's output into messages until its pipe breaks or a stop is
// requested. True when stopped.
bool CaptureOutput(InterpreterState& st, platform::ChildProcess& child) {
  char buffer[kReadPiece];
  for (;;) {
    long n = platform::ReadChildOutput(child, buffer, sizeof buffer);
    if (n == 0) return false;
    if (st.stopRequested) return true;
    if (n > 0) PrintMessage(st, std::string_view(buffer, static_cast<size_t>(n)));
  }
}

// Waits for the child to end; false when a stop is requested first (a child
// that closed its output may run on long after).
bool AwaitExit(InterpreterState& st, platform::ChildProcess& child, int& exitCode) {
  constexpr int kStepMs = 200;
  while (!platform::WaitChildFor(child, kStepMs, exitCode)) {
    if (st.stopRequested) return false;
  }
  return true;
}

// What a command changes is not known: that it runs (or would) counts as a
// change of the report.
void RecordCommand(InterpreterState& st, const std::string& line) {
  Change change;
  change.kind = "command";
  change.target = line;
  st.report.AddChange(std::move(change));
}

// A dry run shows the command line instead of running it, and counts it as
// ending with exit code 0. What it would have done cannot be known, so the
// first one says that what follows may differ.
bool PlanExternalCommand(InterpreterState& st, const std::string& line) {
  if (!st.plan.externalNoticeGiven) {
    st.plan.externalNoticeGiven = true;
    PrintMessage(st, Format("%cWHATIF: external commands do not run; each counts as ending with exit code 0, so "
                            "what follows may differ in a run.\n",
                            kInfoMarker));
  }
  PrintMessage(st, Format("%cWHATIF: would run: %s\n", kInfoMarker, line.c_str()));
  RecordCommand(st, line);
  return true;
}

}  // namespace

CommandKeys::CommandKeys(InterpreterState& st) {
  if (!KeysCanBeTyped(st)) return;
  ui_ = st.ui;
  ui_->ForwardKeysToCommand(true);
}

CommandKeys::~CommandKeys() {
  if (ui_ != nullptr) ui_->ForwardKeysToCommand(false);
}

bool RunExternalChild(InterpreterState& st, const platform::ChildCommand& command) {
  if (st.options.whatIf) return PlanExternalCommand(st, command.line);
  CommandKeys keys(st);
  platform::ChildProcess child;
  int error = 0;
  if (!platform::StartChild(command, child, error)) {
    PrintMessage(st, Format("%cCreateProcess failed!\n%cReason: %s", kErrorMarker, kErrorMarker,
                            platform::ErrorText(error).c_str()));
    ReportError(st, kErrFileAccess);
    return false;
  }
  int exitCode = kStillActive;
  bool stopped = false;
  {
    KeyForwarder forwarder(st, child);
    stopped = CaptureOutput(st, child);
    forwarder.Stop();
    platform::CloseChildInput(child);
    platform::CloseChildOutput(child);
    if (!stopped) stopped = !AwaitExit(st, child, exitCode);
    if (stopped) platform::TerminateChild(child);
  }
  // A user abort ends the run here: the child is gone and nothing is reported.
  if (stopped && st.userAbort) return false;
  // A child whose exit code could not be had (a failed wait) has not shown
  // success either.
  if (exitCode < 0 || exitCode >= kSuccessLimit) {
    ReportError(st, kErrFileAccess);
    return false;
  }
  RecordCommand(st, command.line);
  return true;
}

bool RunExternalArgs(InterpreterState& st, const std::vector<std::string>& argv) {
  return RunExternalChild(st, platform::ChildCommand{JoinCommandLine(argv), argv});
}

bool RunExternalCommand(InterpreterState& st, const std::string& commandLine) {
  return RunExternalChild(st, platform::ChildCommand{commandLine, SplitCommandLine(commandLine)});
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
  const platform::CodePage& codePage = platform::CodePage::OfProcess();
  std::vector<std::string> args;
  size_t i = 0;
  auto skipBlanks = [&] {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  };
  skipBlanks();
  if (i >= line.size()) return args;
  // The program name: quotes delimit it, backslashes are plain characters.
  std::string program;
  if (line[i] == '"') {
    size_t close = line.find('"', i + 1);
    size_t stop = close == std::string_view::npos ? line.size() : close;
    program = std::string(line.substr(i + 1, stop - i - 1));
    i = close == std::string_view::npos ? line.size() : close + 1;
  } else {
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') program += line[i++];
  }
  args.push_back(program);
  for (;;) {
    skipBlanks();
    if (i >= line.size()) break;
    std::string arg;
    bool quoted = false;
    while (i < line.size()) {
      char c = line[i];
      if (!quoted && (c == ' ' || c == '\t')) break;
      // A double-byte character whose second byte is 0x5C escapes nothing.
      if (size_t length = codePage.CharacterLength(line, i); length > 1) {
        arg.append(line.substr(i, length));
        i += length;
        continue;
      }
      if (c == '\\') {
        size_t n = 0;
        while (i < line.size() && line[i] == '\\') ++n, ++i;
        if (i < line.size() && line[i] == '"') {
          arg.append(n / 2, '\\');
          if (n % 2 == 1) {
            arg += '"';
            ++i;
          }
        } else {
          arg.append(n, '\\');
        }
        continue;
      }
      if (c == '"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          arg += '"';
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      arg += c;
      ++i;
    }
    args.push_back(arg);
  }
  return args;
}

std::string JoinCommandLine(const std::vector<std::string>& argv) {
  const platform::CodePage& codePage = platform::CodePage::OfProcess();
  std::string line;
  for (size_t i = 0; i < argv.size(); ++i) {
    const std::string& arg = argv[i];
    if (i > 0) line += ' ';
    bool plain = !arg.empty() && arg.find_first_of(" \t\"") == std::string::npos;
    // The program name has no escapes: backslashes in it are plain.
    if (plain || i == 0) {
      line += plain ? arg : '"' + arg + '"';
      continue;
    }
    line += '"';
    size_t backslashes = 0;
    for (size_t k = 0; k < arg.size();) {
      // By characters: the second byte 0x5C of a double-byte character is
      // no backslash.
      size_t length = codePage.CharacterLength(arg, k);
      char c = arg[k];
      if (length == 1 && c == '\\') {
        ++backslashes;
        ++k;
        continue;
      }
      // Backslashes before a quote are doubled, and the quote escaped.
      line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
      backslashes = 0;
      line.append(arg, k, length);
      k += length;
    }
    line.append(backslashes * 2, '\\');
    line += '"';
  }
  return line;
}

bool Shell(InterpreterState& st, const ArgumentArray* args) {
  if (!st.stopRequested) st.ui->SetControlText(kStatusLine, "Processing SHELL command.");
  if (args == nullptr || args->empty()) return true;
  const std::string& text = (*args)[0].text;
  CommandKeys keys(st);
  if (!st.stopRequested) st.ui->SetOutputTitle(Format("%s - \"%s\"", kOutputTitle, text.c_str()));
  bool result = RunExternalChild(st, platform::ShellCommand(text));
  if (!st.stopRequested) st.ui->SetOutputTitle(kOutputTitle);
  return result;
}

}  // namespace tav
