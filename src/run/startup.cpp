#include "run/startup.h"

#include <algorithm>
#include <new>

#include "core/messages.h"
#include "core/text.h"
#include "core/user_interface.h"
#include "ini/profile.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "platform/system.h"
#include "run/check.h"
#include "run/run.h"

namespace tav {

namespace {

constexpr size_t kDefaultCommandLineLimit = 511;
constexpr const char* kErrorCaption = TAV32_PRODUCT " Error";

bool CreateDebugLog(InterpreterState& st) {
  std::string directory = platform::WindowsDirectory();
  if (directory.empty()) return false;
  st.debugLog = platform::OpenFile(platform::JoinPath(directory, "DEBUGLOG.TAV"), platform::OpenMode::CreateTruncate);
  return st.debugLog.IsOpen();
}

// A check names the word in its finding; a run shows the message box.
void ReportUnknownOption(InterpreterState& st, const std::string& word) {
  if (st.check != nullptr) st.check->SetSubject("option \"" + word + "\"");
  ReportError(st, kErrUnknownOption);
  if (!st.options.check) st.ui->MessageBox(kErrorCaption, ErrorText(kErrUnknownOption));
}

}  // namespace

CommandLine ReadCommandLine(const std::vector<std::string>& args) {
  CommandLine result;
  if (args.empty()) return result;
  result.programFile = args[0];
  std::string word;
  bool haveWord = false;
  auto finish = [&] {
    DropTrailingBlanks(word);
    if (haveWord && !word.empty()) result.optionWords.push_back(word);
    word.clear();
    haveWord = false;
  };
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!arg.empty() && arg[0] == '-') {
      finish();
      size_t start = arg.find_first_not_of('-');
      word = start == std::string::npos ? std::string() : arg.substr(start);
      haveWord = true;
    } else {
      if (!word.empty()) word += ' ';
      word += arg;
      haveWord = true;
    }
  }
  finish();
  return result;
}

CommandLine CutCommandLine(std::string_view text) {
  std::vector<std::string> pieces;
  size_t start = text.find_first_not_of("-/");
  while (start != std::string_view::npos) {
    size_t cut = text.find_first_of("-/", start);
    pieces.emplace_back(text.substr(start, cut == std::string_view::npos ? cut : cut - start));
    start = cut == std::string_view::npos ? cut : text.find_first_not_of("-/", cut);
  }
  CommandLine result;
  if (pieces.empty()) return result;
  result.programFile = pieces[0];
  result.optionWords.assign(pieces.begin() + 1, pieces.end());
  return result;
}

std::vector<std::string> SplitShellWords(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false, quoted = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

std::string DefaultCommandLine() {
  if (std::optional<std::string> profile = platform::ProfileCommandLine()) return *profile;
  std::string directory = platform::WindowsDirectory();
  if (directory.empty()) return std::string();
  std::string value;
  if (!ini::ReadProfileString(platform::JoinPath(directory, "WIN.INI"), "TAV32", "default command line", value)) {
    return std::string();
  }
  if (value.size() > kDefaultCommandLineLimit) value.resize(kDefaultCommandLineLimit);
  return value;
}

std::string NormaliseProgramText(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  size_t nul = bytes.find('\0');
  if (nul != std::string_view::npos) bytes = bytes.substr(0, nul);
  std::string text;
  text.reserve(bytes.size() + 1);
  for (char c : bytes) {
    if (c == '\r' || c == '\a') continue;
    text += c == '\t' ? ' ' : c;
  }
  text += '\n';
  return text;
}

namespace {

// A UTF-16 file's every other byte is NUL, which ends the program text: it
// would run nothing after its first line. Either byte order is refused.
bool IsUtf16Text(std::string_view bytes) {
  return bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF";
}

}  // namespace

std::string LoadFailureText(const std::string& problem) {
  std::string text = "Program file could not be loaded.";
  if (!problem.empty()) text += " " + problem;
  return text;
}

bool LoadProgramFile(InterpreterState& st, const CommandLine& commandLine, std::string& problem) {
  problem.clear();
  if (!commandLine.programFile) {
    ReportError(st, kErrFileAccess);
    return false;
  }
  std::string path = platform::NativePath(*commandLine.programFile);
  st.programTitle = platform::FileTitle(path);
  try {
    std::string bytes;
    std::string notAFile;
    if (!platform::ReadRegularFile(path, bytes, notAFile)) {
      if (!notAFile.empty()) problem = "It is " + notAFile + ", not a file.";
      ReportError(st, kErrFileAccess);
      return false;
    }
    if (IsUtf16Text(bytes)) {
      problem = "It is UTF-16 text; save it in the system's code page.";
      ReportError(st, kErrFileAccess);
      return false;
    }
    st.programText = NormaliseProgramText(bytes);
  } catch (const std::bad_alloc&) {
    ReportError(st, kErrMemory);
    return false;
  }
  return true;
}

bool IsCheckWord(std::string_view word) { return StartsWithNoCase(word, "CHECK"); }

bool IsStrictCheckWord(std::string_view word) {
  if (!IsCheckWord(word)) return false;
  std::string_view rest = word.substr(5);
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  return StartsWithNoCase(rest, "STRICT");
}

bool AsksForCheck(const std::vector<std::string>& words) {
  return std::any_of(words.begin(), words.end(), [](const std::string& word) { return IsCheckWord(word); });
}

bool ReadOptions(InterpreterState& st, const std::vector<std::string>& words) {
  Options& o = st.options;
  o.debug = o.trace = o.noAbort = o.quiet = o.whatIf = false;
  o.reportPath.clear();
  o.check = AsksForCheck(words);
  o.checkStrict = std::any_of(words.begin(), words.end(), [](const std::string& word) { return IsStrictCheckWord(word); });
  // The output window is set up only after all option words are read, so the
  // reports of the option words themselves never reach standard output.
  bool output = false;
  for (const std::string& word : words) {
    if (StartsWithNoCase(word, "DEBUG")) {
      o.debug = true;
      if (!o.check && !CreateDebugLog(st)) {
        ReportError(st, kErrFileAccess);
        st.ui->MessageBox(kErrorCaption, ErrorText(kErrFileAccess));
        return false;
      }
    } else if (StartsWithNoCase(word, "TRACE")) {
      o.trace = true;
    } else if (StartsWithNoCase(word, "OUTPUT")) {
      output = true;
    } else if (StartsWithNoCase(word, "NOABORT")) {
      o.noAbort = true;
    } else if (StartsWithNoCase(word, "QUIET")) {
      o.quiet = true;
    } else if (StartsWithNoCase(word, "LOG ")) {
      o.log = true;
      // The name is fixed to its full path now, so that a later CD does not
      // scatter the messages over several files.
      std::string name = platform::NativePath(word.substr(4));
      o.logPath = name.empty() ? name : platform::FullPath(name);
      platform::RemoveFile(o.logPath);
    } else if (StartsWithNoCase(word, "WHATIF")) {
      o.whatIf = true;
    } else if (StartsWithNoCase(word, "REPORT ")) {
      // Fixed to its full path now, as the LOG file's name is.
      std::string name = platform::NativePath(word.substr(7));
      if (!name.empty()) o.reportPath = platform::FullPath(name);
    } else if (IsCheckWord(word)) {
      // Taken before the loop: DEBUG must know of it wherever it stands.
    } else {
      ReportUnknownOption(st, word);
    }
  }
  o.output = output;
  return true;
}

bool ExpandEnvironment(InterpreterState& st) {
  std::string expanded;
  if (!ExpandReferences(st.programText, expanded)) {
    ReportError(st, kErrConstruction);
    return false;
  }
  st.programText = std::move(expanded);
  return true;
}

int StartAndRun(InterpreterState& st, const std::vector<std::string>& args) {
  st.options.output = false;
  st.options.log = false;
  platform::IgnoreBrokenPipes();
  platform::PinEnvironmentDirectories();
  // A command line handed over in one piece is cut at "-" and "/"; separate
  // arguments follow the argument rules. The default command line is read
  // the same way as the command line it stands in for.
  std::optional<std::string> whole = platform::WholeCommandLine();
  CommandLine commandLine = whole ? CutCommandLine(*whole) : ReadCommandLine(args);
  if (!commandLine.programFile) {
    std::string fallback = DefaultCommandLine();
    commandLine = whole ? CutCommandLine(fallback) : ReadCommandLine(SplitShellWords(fallback));
  }
  if (AsksForCheck(commandLine.optionWords)) return CheckProgramFile(st, commandLine);
  std::string problem;
  if (!LoadProgramFile(st, commandLine, problem)) {
    st.ui->MessageBox(TAV32_PRODUCT " error", LoadFailureText(problem));
    return 1;
  }
  st.ui->SetControlText(kProgramFile, st.programTitle);
  st.stopRequested = false;
  if (!ReadOptions(st, commandLine.optionWords)) return st.errorCode;
  platform::CatchInterrupt(&st.stopRequested, &st.userAbort, st.options.noAbort);
  st.ui->ShowWindows();
  int code = ExpandEnvironment(st) ? RunProgram(st) : st.errorCode;
  st.ui->RunEnded(code);
  st.ui->CloseWindows();
  return code;
}

}  // namespace tav
