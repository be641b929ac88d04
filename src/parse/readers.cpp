#include "parse/readers.h"

#include "core/text.h"
#include "platform/code_page.h"

namespace tav {

char LineReader::Peek() const {
  return st_.position < st_.programText.size() ? st_.programText[st_.position] : '\n';
}

size_t LineReader::LineEnd() const {
  size_t end = st_.programText.find('\n', st_.position);
  return end == std::string::npos ? st_.programText.size() : end;
}

void LineReader::SkipBlanks() {
  while (st_.position < st_.programText.size() && st_.programText[st_.position] == ' ') ++st_.position;
}

std::string LineReader::RestOfLine() const {
  return st_.programText.substr(st_.position, LineEnd() - st_.position);
}

size_t LineReader::ClosingQuote(size_t open, std::string& content) const {
  const std::string& text = st_.programText;
  size_t end = LineEnd();
  content.clear();
  for (size_t i = open + 1; i < end; ++i) {
    if (text[i] != '"') {
      content += text[i];
    } else if (i + 1 < end && text[i + 1] == '"') {
      content += '"';
      ++i;
    } else {
      return i;
    }
  }
  return std::string::npos;
}

bool LineReader::NextToken(std::string& word) {
  SkipBlanks();
  if (AtLineEnd()) return false;
  const std::string& text = st_.programText;
  size_t end = LineEnd();
  char first = text[st_.position];
  if (first == '"') {
    size_t close = ClosingQuote(st_.position, word);
    if (close == std::string::npos) return false;
    st_.position = close + 1;
    // By characters: in a double-byte code page a character's second byte
    // may be "[" or "]".
    const platform::CodePage& codePage = platform::CodePage::OfProcess();
    size_t open = codePage.Find(word, '[');
    if (open != std::string::npos) {
      word.erase(open, 1);
      size_t shut = codePage.Find(word, ']', open);
      if (shut == std::string::npos) return false;
      word.erase(shut, 1);
      restOfLineMode = true;
    }
    return true;
  }
  if (first == '[') {
    size_t shut = platform::CodePage::OfProcess().Find(text, ']', st_.position + 1);
    if (shut == std::string::npos || shut > end) return false;
    word = text.substr(st_.position + 1, shut - st_.position - 1);
    st_.position = shut + 1;
    restOfLineMode = true;
    return true;
  }
  size_t stop = end;
  if (!restOfLineMode) {
    size_t blank = text.find(' ', st_.position);
    if (blank != std::string::npos && blank < end) stop = blank;
  }
  word = text.substr(st_.position, stop - st_.position);
  st_.position = stop;
  return true;
}

bool LineReader::NextField(std::string& field) {
  field.clear();
  SkipBlanks();
  ++fieldNumber;
  const std::string& text = st_.programText;
  size_t end = LineEnd();
  if (fieldNumber == 3) {
    field = text.substr(st_.position, end - st_.position);
    st_.position = end;
    return true;
  }
  size_t from = st_.position;
  if (Peek() == '"') {
    size_t close = ClosingQuote(st_.position, field);
    if (close == std::string::npos) return false;
    from = close + 1;
  }
  size_t colon = text.find(':', from);
  bool atColon = colon != std::string::npos && colon < end;
  size_t stop = atColon ? colon : end;
  field += text.substr(from, stop - from);
  if (atColon) {
    DropTrailingBlanks(field);
    st_.position = colon + 1;
  } else {
    st_.position = end;
  }
  return true;
}

bool LineReader::ContinuedRest(std::string& out) {
  const std::string& text = st_.programText;
  out.clear();
  size_t start = st_.position;
  SkipBlanks();
  bool read = st_.position != start;
  size_t end = LineEnd();
  out += text.substr(st_.position, end - st_.position);
  if (end > st_.position) read = true;
  for (;;) {
    size_t next = end + 1;
    if (next >= text.size() || text[next] != ' ') {
      if (!read) {
        st_.position = start;
        return false;
      }
      st_.position = end;
      return true;
    }
    size_t k = next;
    while (k < text.size() && text[k] == ' ') ++k;
    if (k >= text.size() || text[k] != '\\') {
      st_.position = end;
      return true;
    }
    ++st_.lineNumber;
    st_.position = k;
    end = LineEnd();
    out += text.substr(k, end - k);
    read = true;
  }
}

}  // namespace tav
