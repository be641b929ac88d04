// The grammar of an If line: an optional Not, one condition, and Then as the
// last word. Builds the argument array that EvaluateCondition takes.
#include <algorithm>

#include "core/messages.h"
#include "core/text.h"
#include "parse/condition.h"
#include "parse/if_statement.h"

namespace tav {

namespace {

constexpr std::string_view kRegKeyExistWord = "RegKeyExist(";
constexpr std::string_view kRegValueWord = "RegValue(";
constexpr std::string_view kBiosWord = "Bios(";
// " then": the Then word with the blank before it, as it ends a text that
// runs to the end of the line.
constexpr size_t kBlankThenLength = 5;

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

void DropLeadingBlanks(std::string& text) { text.erase(0, std::min(text.find_first_not_of(' '), text.size())); }

// What a condition word leads to: the Then word is next, another word is to
// be classified, or the line is wrong (with the error code to report).
enum class Next { kThen, kWord, kError };

class ConditionParser {
 public:
  explicit ConditionParser(LineReader& reader) : reader_(reader) {}

  std::optional<ArgumentArray> Parse() {
    std::string word;
    if (!ReadWord(word)) return Fail();
    int negate = 0;
    if (EqualsNoCase(word, "Not")) {
      negate = 1;
      if (!ReadWord(word)) return Fail();
    }
    args_ = {Argument::Number(negate), Argument::Number(0)};
    Next next = Classify(word);
    while (next == Next::kWord) next = Classify(word);
    if (next == Next::kError || !ReadThen()) return Fail();
    reader_.State().argCount = static_cast<unsigned>(args_.size());
    return std::move(args_);
  }

 private:
  // Reads a word and remembers where it began on the line.
  bool ReadWord(std::string& word) {
    reader_.SkipBlanks();
    wordStart_ = reader_.Position();
    return reader_.NextToken(word);
  }

  std::optional<ArgumentArray> Fail() {
    ReportError(reader_.State(), error_);
    reader_.State().argCount = 0;
    return std::nullopt;
  }

  Next Error(int code = kErrConstruction) {
    error_ = code;
    return Next::kError;
  }

  bool HaveOperand() const { return args_.size() > kEntryFirst; }

  // Keeps the negation flag and starts the entries of a condition.
  void Begin(int code) {
    args_.resize(kEntryFirst);
    args_[kEntryCode] = Argument::Number(code);
  }

  Next Classify(std::string& word) {
    if (EqualsNoCase(word, "Exist")) return Exist();
    if (EqualsNoCase(word, "RegValueExist")) return RegValueExist();
    if (StartsWithNoCase(word, kRegKeyExistWord)) return RegKeyExist();
    if (EqualsNoCase(word, "Equal")) return Comparison(kCondFilesEqual);
    if (StartsWithNoCase(word, kBiosWord)) return Error(kErrIfBios);
    if (StartsWithNoCase(word, kRegValueWord)) return RegValue();
    if (int op = OperatorCode(word)) return Comparison(op);
    return Operand(word);
  }

  Next Exist() {
    std::string path;
    if (HaveOperand() || !ReadWord(path)) return Error();
    Begin(kCondExist);
    args_.push_back(Argument::Text(path));
    return Next::kThen;
  }

  // A comparison or Equal: the operand read before is A, the next word is B.
  Next Comparison(int code) {
    std::string second;
    if (!HaveOperand() || !ReadWord(second)) return Error();
    args_[kEntryCode] = Argument::Number(code);
    args_.push_back(Argument::Text(second));
    return Next::kThen;
  }

  Next Operand(std::string& word) {
    if (HaveOperand()) return Error();
    args_.push_back(Argument::Text(word));
    if (!ReadWord(word)) return Error();
    return Next::kWord;
  }

  // A text that ends with " then" loses it, and the position goes back to
  // the blank before the Then word so that it is read as the last word.
  void GiveBackThen(std::string& text) {
    if (!EndsWithNoCase(text, " then")) return;
    text.resize(text.size() - kBlankThenLength);
    reader_.Position() -= kBlankThenLength;
  }

  // The value name is one field: up to the first ":" of the line or its end.
  Next RegValueExist() {
    if (HaveOperand()) return Error();
    std::string name;
    reader_.fieldNumber = 0;
    if (!reader_.NextField(name)) return Error();
    if (EqualsNoCase(name, "then")) {
      name.clear();
      reader_.Position() -= kBlankThenLength;
    } else {
      GiveBackThen(name);
    }
    Begin(kCondRegValueExist);
    args_.push_back(Argument::Text(name));
    return Next::kThen;
  }

  // The "(" of a word that begins with a function-like condition word.
  size_t OpeningParenthesis() const { return reader_.Text().find('(', wordStart_); }

  // RegKeyExist(computer) key path: the computer argument runs to the last
  // ")" of the line; the key path may continue on following lines.
  Next RegKeyExist() {
    const std::string& text = reader_.Text();
    size_t open = OpeningParenthesis();
    size_t close = text.rfind(')', reader_.LineEnd());
    if (close == std::string::npos || close <= open) return Error();
    std::string computer = text.substr(open + 1, close - open - 1);
    reader_.Position() = close + 1;
    std::string keyPath;
    if (!reader_.ContinuedRest(keyPath)) return Error();
    GiveBackThen(keyPath);
    Begin(kCondRegKeyExist);
    args_.push_back(Argument::Text(computer));
    args_.push_back(Argument::Text(keyPath));
    return Next::kThen;
  }

  // The first ")" after from on the line that is followed, after blanks, by
  // an operator character; npos when there is none.
  size_t ValueNameEnd(size_t from) const {
    const std::string& text = reader_.Text();
    size_t end = reader_.LineEnd();
    for (size_t close = text.find(')', from); close < end; close = text.find(')', close + 1)) {
      size_t after = text.find_first_not_of(' ', close + 1);
      if (after < end && (text[after] == '=' || text[after] == '<' || text[after] == '>')) return close;
    }
    return std::string::npos;
  }

  // RegValue(N) op V Then: V is what stands between the operator word and
  // the Then word that ends the line.
  Next RegValue() {
    const std::string& text = reader_.Text();
    size_t open = OpeningParenthesis();
    size_t close = ValueNameEnd(open + 1);
    if (close == std::string::npos) return Error();
    std::string name = text.substr(open + 1, close - open - 1);
    reader_.Position() = text.find_first_not_of(' ', close + 1);
    std::string opWord;
    if (!ReadWord(opWord)) return Error();
    int op = OperatorCode(opWord);
    if (op == 0) return Error();
    std::string rest = reader_.RestOfLine();
    DropTrailingBlanks(rest);
    if (!EndsWithNoCase(rest, "then")) return Error();
    rest.resize(rest.size() >= kBlankThenLength ? rest.size() - kBlankThenLength : 0);
    DropLeadingBlanks(rest);
    reader_.Position() = std::min(reader_.Position() + rest.size() + 1, reader_.LineEnd());
    DropTrailingBlanks(rest);
    Begin(kCondRegValue);
    args_.push_back(Argument::Number(op));
    args_.push_back(Argument::Text(name));
    args_.push_back(Argument::Text(rest));
    return Next::kThen;
  }

  // The Then word, and nothing after it on the line.
  bool ReadThen() {
    std::string word;
    if (!ReadWord(word) || !EqualsNoCase(word, "Then")) return false;
    return !ReadWord(word);
  }

  LineReader& reader_;
  ArgumentArray args_;
  size_t wordStart_ = 0;
  int error_ = kErrConstruction;
};

}  // namespace

int OperatorCode(std::string_view word) {
  static constexpr std::string_view kOperators[] = {"<=", ">=", "<>", "<", ">", "="};
  for (size_t i = 0; i < std::size(kOperators); ++i) {
    if (word == kOperators[i]) return static_cast<int>(i) + 1;
  }
  return 0;
}

std::optional<ArgumentArray> ParseIfArguments(LineReader& reader) { return ConditionParser(reader).Parse(); }

}  // namespace tav
