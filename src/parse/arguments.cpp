#include "parse/arguments.h"

#include "core/messages.h"

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

// A further word after a statement's arguments is a construction error.
bool NothingFollows(LineReader& reader) {
  std::string word;
  return !reader.NextToken(word);
}

}  // namespace

std::optional<ArgumentArray> ParseRestOfLine(LineReader& reader) {
  return Done(reader.State(), ArgumentArray{Argument::Text(reader.RestOfLine())});
}

std::optional<ArgumentArray> ParseWordCount(LineReader& reader, unsigned expected) {
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

}  // namespace tav
