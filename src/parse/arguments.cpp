#include "parse/arguments.h"

#include "run/commands.h"
#include "core/messages.h"
#include "parse/if_statement.h"
#include "parse/readers.h"
#include "parse/sync_syntax.h"

namespace tav {

namespace {

std::optional<ArgumentArray> Fail(InterpreterState& st) {
  ReportError(st, kErrConstruction);
  st.argCount = 0;
  return std::nullopt;
}

std::optional<ArgumentArray> Done(InterpreterState& st, ArgumentArray args) {
  st.argCount = static_cast<unsigned>(args.size());
  return args;
}

std::optional<ArgumentArray> ParseRestOfLine(LineReader& reader) {
  return Done(reader.State(), ArgumentArray{Argument::Text(reader.RestOfLine())});
}

std::optional<ArgumentArray> ParseWords(LineReader& reader, unsigned expected) {
  ArgumentArray args;
  std::string word;
  while (reader.NextToken(word)) args.push_back(Argument::Text(word));
  if (args.size() != expected) return Fail(reader.State());
  if (args.empty()) return std::nullopt;
  return Done(reader.State(), std::move(args));
}

std::optional<ArgumentArray> ParseNothing(LineReader& reader) {
  reader.SkipBlanks();
  if (!reader.AtLineEnd()) ReportError(reader.State(), kErrConstruction);
  return std::nullopt;
}

// A further word after a statement's arguments is a construction error.
bool NothingFollows(LineReader& reader) {
  std::string word;
  return !reader.NextToken(word);
}

std::optional<ArgumentArray> ParseKeyPath(LineReader& reader) {
  std::string computer, path;
  if (!reader.NextToken(computer)) return Fail(reader.State());
  if (!reader.ContinuedRest(path)) return Fail(reader.State());
  if (!NothingFollows(reader)) return Fail(reader.State());
  return Done(reader.State(), ArgumentArray{Argument::Text(computer), Argument::Text(path)});
}

std::optional<ArgumentArray> ParseFields(LineReader& reader) {
  ArgumentArray args;
  reader.fieldNumber = 0;
  std::string field;
  for (int i = 0; i < 3; ++i) {
    if (!reader.NextField(field)) return Fail(reader.State());
    args.push_back(Argument::Text(field));
  }
  if (!NothingFollows(reader)) return Fail(reader.State());
  return Done(reader.State(), std::move(args));
}

std::optional<ArgumentArray> ParseValueName(LineReader& reader) {
  std::string text;
  if (!reader.ContinuedRest(text)) return Fail(reader.State());
  if (!NothingFollows(reader)) return Fail(reader.State());
  return Done(reader.State(), ArgumentArray{Argument::Text(text)});
}

}  // namespace

std::optional<ArgumentArray> ParseArguments(InterpreterState& st, int index) {
  st.argCount = 0;
  LineReader reader(st);
  switch (index) {
    case kCmdIf:
      return ParseIfArguments(reader);
    case kCmdSynchronizeDir:
      return ParseSyncArguments(reader);
    case kCmdEcho:
    case kCmdShell:
    case kCmdCD:
    case kCmdChDir:
      return ParseRestOfLine(reader);
    case kCmdElse:
    case kCmdEndif:
    case kCmdEndIf:
      return ParseNothing(reader);
    case kCmdRegOpenKey:
    case kCmdRegDeleteKey:
      return ParseKeyPath(reader);
    case kCmdRegSetValue:
      return ParseFields(reader);
    case kCmdRegDeleteValue:
      return ParseValueName(reader);
    default:
      return ParseWords(reader, Command(index).argCount);
  }
}

}  // namespace tav
