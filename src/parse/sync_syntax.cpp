#include "parse/sync_syntax.h"

#include <string_view>

#include "core/messages.h"
#include "core/text.h"
#include "platform/fs.h"
#include "sync/records.h"

namespace tav {

namespace {

using namespace sync;

enum class OptionKind { kPath, kFlag, kExcludeDir, kExcludeFile, kFilesLike, kDirsLike };

struct Keyword {
  const char* word;  // a final blank is part of the comparison and means an argument follows
  int slot;
  OptionKind kind;
};

// In the order in which they are tried; the first that fits is taken.
constexpr Keyword kKeywords[] = {
    {"From ", kSlotFrom, OptionKind::kPath},
    {"To ", kSlotTo, OptionKind::kPath},
    {"Delete", kSlotDelete, OptionKind::kFlag},
    {"Add", kSlotAdd, OptionKind::kFlag},
    {"Overwrite", kSlotOverwrite, OptionKind::kFlag},
    {"Conflict", kSlotConflict, OptionKind::kFlag},
    {"Report ", kSlotReport, OptionKind::kPath},
    {"Preserve", kSlotPreserve, OptionKind::kFlag},
    {"Subdirectories", kSlotSubdirectories, OptionKind::kFlag},
    {"ReportOnly", kSlotReportOnly, OptionKind::kFlag},
    {"CopySecurity", kSlotCopySecurity, OptionKind::kFlag},
    {"CopyAudit", kSlotCopyAudit, OptionKind::kFlag},
    {"CreateEmptyDirs", kSlotCreateEmptyDirs, OptionKind::kFlag},
    {"ExcludeDir ", -1, OptionKind::kExcludeDir},
    {"ExcludeFile ", -1, OptionKind::kExcludeFile},
    {"FilesLike ", -1, OptionKind::kFilesLike},
    {"DirsLike ", -1, OptionKind::kDirsLike},
};

struct Switch {
  const char* text;
  int slot;
};

constexpr Switch kSwitches[] = {
    {"/D", kSlotDelete}, {"/A", kSlotAdd},      {"/O", kSlotOverwrite},      {"/C", kSlotConflict},
    {"/R", kSlotReport}, {"/S", kSlotPreserve}, {"/P", kSlotSubdirectories},
};

constexpr std::string_view kEndLine = "End SynchronizeDir";

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// Whether a line ends the block: a prefix of "End SynchronizeDir" over its
// own length, so that an empty line ends it too.
bool IsEndOfBlock(std::string_view line) {
  return line.size() <= kEndLine.size() && StartsWithNoCase(kEndLine, line);
}

// The lines of the program text, addressed by the index of their first byte.
class Lines {
 public:
  explicit Lines(const std::string& text) : text_(text) {}
  bool AtEnd(size_t start) const { return start >= text_.size(); }
  std::string_view Line(size_t start) const {
    if (AtEnd(start)) return std::string_view();
    size_t end = text_.find('\n', start);
    if (end == std::string::npos) end = text_.size();
    return std::string_view(text_).substr(start, end - start);
  }
  size_t Next(size_t start) const {
    if (AtEnd(start)) return text_.size();
    size_t end = text_.find('\n', start);
    return end == std::string::npos ? text_.size() : end + 1;
  }

 private:
  const std::string& text_;
};

class SyncStatementParser {
 public:
  explicit SyncStatementParser(LineReader& reader)
      : reader_(reader), st_(reader.State()), args_(kSyncSlotCount) {}

  std::optional<ArgumentArray> Parse() {
    st_.syncPatterns.Reset();
    reader_.SkipBlanks();
    return reader_.AtLineEnd() ? ParseBlock() : ParseOneLine();
  }

 private:
  std::optional<ArgumentArray> Fail(int code) {
    ReportError(st_, code);
    st_.syncPatterns.Reset();
    st_.argCount = 0;
    return std::nullopt;
  }

  std::optional<ArgumentArray> Finish() {
    if (IsSet(kSlotOverwrite) && IsSet(kSlotConflict)) return Fail(kErrConstruction);
    st_.argCount = kSyncSlotCount;
    return std::move(args_);
  }

  bool IsSet(int slot) const { return args_[static_cast<size_t>(slot)].present; }
  void SetFlag(int slot) { args_[static_cast<size_t>(slot)] = Argument::Number(1); }
  void SetText(int slot, std::string text) { args_[static_cast<size_t>(slot)] = Argument::Text(std::move(text)); }

  // A path made absolute against the current directory; nothing for an empty one.
  static std::optional<std::string> AbsolutePath(std::string_view written) {
    std::string native = platform::NativePath(written);
    if (native.empty()) return std::nullopt;
    return platform::FullPath(native);
  }

  // ---- block form ----

  std::optional<ArgumentArray> ParseBlock() {
    Lines lines(st_.programText);
    size_t start = lines.Next(reader_.LineEnd());
    ++st_.lineNumber;
    if (lines.AtEnd(start)) {
      st_.position = st_.programText.size();
      return Fail(kErrConstruction);
    }
    // The first line is always an option line, never the end of the block.
    for (;;) {
      st_.position = start;
      int error = ApplyOptionLine(TrimBlanks(lines.Line(start)));
      if (error != kErrNone) {
        ReportError(st_, error);
        SkipRestOfBlock(lines, start);
        st_.syncPatterns.Reset();
        st_.argCount = 0;
        return std::nullopt;
      }
      start = lines.Next(start);
      ++st_.lineNumber;
      if (IsEndOfBlock(TrimBlanks(lines.Line(start)))) break;
    }
    st_.position = start;
    return Finish();
  }

  // After an error the rest of the block is passed over up to its End line
  // (leading blanks count; trailing ones do not), an empty line or the end
  // of the text, so that its option lines are not run as statements.
  void SkipRestOfBlock(const Lines& lines, size_t errorLine) {
    size_t start = errorLine;
    do {
      start = lines.Next(start);
      ++st_.lineNumber;
      std::string_view line = lines.Line(start);
      while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
      if (IsEndOfBlock(line)) break;
    } while (!lines.AtEnd(start));
    st_.position = start;
  }

  int ApplyOptionLine(std::string_view line) {
    if (StartsWithNoCase(line, ";") || StartsWithNoCase(line, "REM ")) return kErrNone;
    for (const Keyword& keyword : kKeywords) {
      if (StartsWithNoCase(line, keyword.word)) return ApplyKeyword(keyword, ArgumentOf(line));
    }
    return kErrSyntax;
  }

  // The text after the line's first blank and the blanks after it, without
  // any double quotes.
  static std::string ArgumentOf(std::string_view line) {
    size_t blank = line.find(' ');
    if (blank == std::string_view::npos) return std::string();
    std::string_view rest = TrimBlanks(line.substr(blank));
    std::string argument;
    for (char c : rest) {
      if (c != '"') argument += c;
    }
    return argument;
  }

  int ApplyKeyword(const Keyword& keyword, const std::string& argument) {
    SyncPatterns& patterns = st_.syncPatterns;
    switch (keyword.kind) {
      case OptionKind::kPath: {
        if (IsSet(keyword.slot)) return kErrConstruction;
        std::optional<std::string> path = AbsolutePath(argument);
        if (!path) return kErrConstruction;
        SetText(keyword.slot, *path);
        return kErrNone;
      }
      case OptionKind::kFlag:
        if (IsSet(keyword.slot)) return kErrConstruction;
        SetFlag(keyword.slot);
        return kErrNone;
      case OptionKind::kExcludeDir:
        patterns.excludeDir.push_back(argument);
        return kErrNone;
      case OptionKind::kExcludeFile:
        patterns.excludeFile.push_back(argument);
        return kErrNone;
      case OptionKind::kFilesLike:
        if (filesLikeGiven_) return kErrConstruction;
        filesLikeGiven_ = true;
        patterns.filesLike = argument;
        return kErrNone;
      case OptionKind::kDirsLike:
        if (dirsLikeGiven_) return kErrConstruction;
        dirsLikeGiven_ = true;
        patterns.dirsLike = argument;
        return kErrNone;
    }
    return kErrSyntax;
  }

  // ---- one-line form ----

  // Every "-" on the rest of the line reads as "/", so that -D is taken for
  // /D. The program text is changed only while the line is read.
  class DashesAsSlashes {
   public:
    DashesAsSlashes(std::string& text, size_t from, size_t to) : text_(text), from_(from) {
      original_ = text.substr(from, to - from);
      for (size_t i = from; i < to; ++i) {
        if (text[i] == '-') text[i] = '/';
      }
    }
    ~DashesAsSlashes() { text_.replace(from_, original_.size(), original_); }
    DashesAsSlashes(const DashesAsSlashes&) = delete;
    DashesAsSlashes& operator=(const DashesAsSlashes&) = delete;

   private:
    std::string& text_;
    size_t from_;
    std::string original_;
  };

  std::optional<ArgumentArray> ParseOneLine() {
    DashesAsSlashes dashes(st_.programText, st_.position, reader_.LineEnd());
    for (int slot : {static_cast<int>(kSlotFrom), static_cast<int>(kSlotTo)}) {
      std::string word;
      if (!reader_.NextToken(word)) return Fail(kErrConstruction);
      reader_.restOfLineMode = false;
      std::optional<std::string> path = AbsolutePath(word);
      if (!path) return Fail(kErrConstruction);
      SetText(slot, *path);
    }
    std::string word;
    while (reader_.NextToken(word)) {
      reader_.restOfLineMode = false;
      int error = ApplySwitch(word);
      if (error != kErrNone) return Fail(error);
    }
    return Finish();
  }

  int ApplySwitch(const std::string& word) {
    for (const Switch& option : kSwitches) {
      if (!StartsWithNoCase(word, option.text)) continue;
      if (option.slot == kSlotReport) {
        SetText(kSlotReport, std::string(TrimBlanks(std::string_view(word).substr(2))));
        return kErrNone;
      }
      if (IsSet(option.slot)) return kErrConstruction;
      SetFlag(option.slot);
      return kErrNone;
    }
    return kErrSyntax;
  }

  LineReader& reader_;
  InterpreterState& st_;
  ArgumentArray args_;
  bool filesLikeGiven_ = false;
  bool dirsLikeGiven_ = false;
};

}  // namespace

std::optional<ArgumentArray> ParseSyncArguments(LineReader& reader) { return SyncStatementParser(reader).Parse(); }

}  // namespace tav
