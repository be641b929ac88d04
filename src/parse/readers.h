// The text readers that every statement syntax is built from. They read the
// program text from the state's position and move it over what they read; the
// program text itself is never changed, so a line read again gives the same.
#pragma once

#include <string>

#include "core/state.h"

namespace tav {

class LineReader {
 public:
  explicit LineReader(InterpreterState& st) : st_(st) {}

  InterpreterState& State() { return st_; }
  const std::string& Text() const { return st_.programText; }
  size_t& Position() { return st_.position; }
  // The character at the position (LF at the end of the text).
  char Peek() const;
  // The LF that ends the line holding the position.
  size_t LineEnd() const;
  void SkipBlanks();
  bool AtLineEnd() const { return Peek() == '\n'; }

  // A word: quoted, bracketed or plain (rest of the line after a bracketed one).
  bool NextToken(std::string& word);
  // A colon-separated field; the third of a statement is the rest of the line.
  bool NextField(std::string& field);
  // The rest of the line, with continuation lines that begin with blanks and
  // a backslash.
  bool ContinuedRest(std::string& text);
  // The rest of the line, unchanged; the position does not move.
  std::string RestOfLine() const;

  bool restOfLineMode = false;
  unsigned fieldNumber = 0;

 private:
  // Finds the closing quote of a quoted text whose opening quote is at open,
  // on the same line; pairs of quotes stand for one. Returns the position of
  // the closing quote (npos when there is none) and the text in content.
  size_t ClosingQuote(size_t open, std::string& content) const;

  InterpreterState& st_;
};

}  // namespace tav
