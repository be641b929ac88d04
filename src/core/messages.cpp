#include "core/messages.h"

#include "core/check_report.h"
#include "core/text.h"
#include "core/text_width.h"
#include "core/user_interface.h"

namespace tav {

namespace {

const char* const kErrorTexts[] = {
    "Unknown or no error",
    "Memory allocation error",
    "Command construction error",
    "File access error",
    "Syntax error",
    "IF/ELSE Mismatch error",
    "Use of the unsupported \"IF BIOS\" construct error",
    "\"IF\"-\"END IF\" or \"IF\"-\"ELSE\" mismatch error",
    "Too much nestled \"IF\"'s error (max 4096)",
    "Section does not exist error",
    "Section or Line does not exist error",
    "Line does not exist error",
    "Unknown option error",
    "Registry key could not be created/opened error",
    "Invalid registry value type error",
    "Registry key could not be opened error",
    "Registry key could not be deleted",
    "User abort",
};

constexpr int kOutputWidth = 80;

// The text as the LOG file stores it: CR LF line ends, no markers.
std::string ForLogFile(std::string_view working) {
  std::string out;
  out.reserve(working.size() + working.size() / 16 + 2);
  bool lineStart = true;
  for (char c : working) {
    if (lineStart && IsMarker(c)) {
      lineStart = false;
      continue;
    }
    lineStart = false;
    if (c == '\n') {
      out += "\r\n";
      lineStart = true;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

void AppendToLogFile(InterpreterState& st, std::string_view working) {
  platform::File file = platform::OpenFile(platform::NativePath(st.options.logPath), platform::OpenMode::AppendAlways);
  if (!file.IsOpen()) {
    WriteDebugLog(st, working);
    return;
  }
  file.Write(ForLogFile(working));
}

const char* ErrorText(int code) {
  if (code < 0 || code >= static_cast<int>(std::size(kErrorTexts))) return kErrorTexts[0];
  return kErrorTexts[code];
}

void WriteDebugLog(InterpreterState& st, std::string_view text) {
  if (!st.options.debug || !st.debugLog.IsOpen()) return;
  st.debugLog.Write(text);
}

void PrintMessage(InterpreterState& st, std::string_view text) {
  bool toWindow = st.options.output && st.ui != nullptr && st.ui->HasOutputWindow();
  if (!st.options.log && !toWindow) return;
  std::string working;
  working.reserve(text.size());
  for (char c : text) {
    if (c != '\r' && c != '\a') working += c;
  }
  if (st.options.log) AppendToLogFile(st, working);
  if (toWindow) st.ui->ShowOutput(WrapForOutput(working, st.ui->OutputEncoding()));
}

void ReportError(InterpreterState& st, int code) {
  st.errorCode = code;
  if (st.check != nullptr) {
    st.check->Reported(st.lineNumber, code);
    return;
  }
  WriteDebugLog(st, Format("TAV32 Error in Line %u: %s.\r\n", st.lineNumber, ErrorText(code)));
  PrintMessage(st, Format("\n%cTAV32 Error in Line %u: %s.\n", kErrorMarker, st.lineNumber, ErrorText(code)));
}

namespace {

// Where a line of at least 80 columns that starts at offset pos is broken:
// the offset of its break blank (the character after the first 80 columns
// when that is a blank, else the last blank among the columns 79 down to 1),
// or, with no blank, the offset just after the last character that ends
// within the first 80 columns. blank tells which.
size_t BreakOffset(std::string_view s, size_t pos, size_t end, TextEncoding encoding, bool& blank) {
  size_t lastBlank = 0;
  size_t cut = pos;
  int column = 0;
  for (size_t i = pos; i < end;) {
    TextCharacter c = CharacterAt(s.substr(0, end), i, encoding);
    if (column >= kOutputWidth && c.columns > 0) {
      if (s[i] == ' ') lastBlank = i;
      break;
    }
    if (s[i] == ' ' && column >= 1) lastBlank = i;
    if (column + c.columns > kOutputWidth) break;
    column += c.columns;
    i += c.bytes;
    cut = i;
  }
  blank = lastBlank != 0;
  return blank ? lastBlank : cut;
}

}  // namespace

std::string WrapForOutput(std::string_view text, TextEncoding encoding) {
  std::string s(text);
  size_t pos = 0;
  bool marked = !s.empty() && IsMarker(s[0]);
  char marker = marked ? s[0] : 0;
  if (marked) pos = 1;
  while (pos < s.size()) {
    size_t lf = s.find('\n', pos);
    size_t end = lf == std::string::npos ? s.size() : lf;
    if (TextWidth(std::string_view(s).substr(pos, end - pos), encoding) < kOutputWidth) {
      if (lf == std::string::npos) break;
      pos = lf + 1;
      continue;
    }
    bool blank = false;
    size_t brk = BreakOffset(s, pos, end, encoding, blank);
    if (blank) {
      s[brk] = '\n';
    } else {
      s.insert(brk, 1, '\n');
    }
    size_t next = brk + 1;
    if (marked) s.insert(next, 1, marker);
    pos = next;
  }
  return s;
}

}  // namespace tav
