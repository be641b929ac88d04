#include "ini/profile_layout.h"

#include "core/text.h"
#include "platform/code_page.h"

namespace tav::ini {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr size_t kNone = static_cast<size_t>(-1);

bool IsBlankChar(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool IsCommentLine(std::string_view text) {
  std::string_view trimmed = TrimBlanks(text);
  return !trimmed.empty() && trimmed.front() == ';';
}

// The index of the first header line at or after from (the line count when
// there is none).
size_t NextHeader(const std::vector<ProfileLine>& lines, size_t from) {
  while (from < lines.size() && !IsHeaderLine(lines[from].text)) ++from;
  return from;
}

// Pairs the elements of the range [sBegin, sEnd) of shorter, in order, with
// equal elements of [lBegin, lEnd) of longer, taking the earliest fitting one
// each time. Empty when not every element of the shorter range finds one.
std::vector<std::pair<size_t, size_t>> PairInOrder(const std::vector<std::string_view>& shorter, size_t sBegin,
                                                   size_t sEnd, const std::vector<std::string_view>& longer,
                                                   size_t lBegin, size_t lEnd) {
  std::vector<std::pair<size_t, size_t>> pairs;
  size_t l = lBegin;
  for (size_t s = sBegin; s < sEnd; ++s, ++l) {
    while (l < lEnd && longer[l] != shorter[s]) ++l;
    if (l == lEnd) return {};
    pairs.emplace_back(s, l);
  }
  return pairs;
}

// For each old entry of a section, the index of the new line that it stays
// as, or kNone when it goes. The lines the two share at the front and at the
// back stay; in between, when one side only adds to or only removes from the
// other (as adding or deleting lines does), the shared lines stay too.
std::vector<size_t> AlignEntries(const std::vector<std::string_view>& old, const std::vector<std::string_view>& now) {
  std::vector<size_t> match(old.size(), kNone);
  size_t head = 0;
  while (head < old.size() && head < now.size() && old[head] == now[head]) {
    match[head] = head;
    ++head;
  }
  size_t oldEnd = old.size();
  size_t nowEnd = now.size();
  while (oldEnd > head && nowEnd > head && old[oldEnd - 1] == now[nowEnd - 1]) {
    match[--oldEnd] = --nowEnd;
  }
  if (oldEnd - head >= nowEnd - head) {
    for (auto [n, o] : PairInOrder(now, head, nowEnd, old, head, oldEnd)) match[o] = n;
  } else {
    for (auto [o, n] : PairInOrder(old, head, oldEnd, now, head, nowEnd)) match[o] = n;
  }
  return match;
}

std::string HeaderLine(std::string_view name) {
  std::string line = "[";
  line += name;
  line += ']';
  return line;
}

std::string EntryLine(std::string_view key, std::string_view value) {
  std::string line(key);
  line += '=';
  line += value;
  return line;
}

}  // namespace

std::optional<size_t> FindEntryLine(const ProfileLayout& layout, const SectionSpan& section, std::string_view key) {
  std::string_view wanted = TrimBlanks(key);
  for (size_t line = section.header + 1; line < section.bodyEnd; ++line) {
    std::string_view text = layout.Lines()[line].text;
    if (IsBlankLine(text)) continue;
    std::optional<std::string_view> lineKey = EntryKey(text);
    if (lineKey && EqualsNoCase(*lineKey, wanted)) return line;
  }
  return std::nullopt;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlankChar(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankChar(text.back())) text.remove_suffix(1);
  return text;
}

bool IsHeaderLine(std::string_view text) {
  std::string_view trimmed = TrimBlanks(text);
  return !trimmed.empty() && trimmed.front() == '[';
}

bool IsBlankLine(std::string_view text) { return TrimBlanks(text).empty(); }

std::string_view HeaderName(std::string_view text) {
  std::string_view name = TrimBlanks(text).substr(1);
  // By characters: a double-byte character's second byte may be "]".
  size_t close = platform::CodePage::OfProcess().Find(name, ']');
  if (close != std::string_view::npos) name = name.substr(0, close);
  return TrimBlanks(name);
}

std::optional<std::string_view> EntryKey(std::string_view text) {
  if (IsCommentLine(text)) return std::nullopt;
  return TrimBlanks(text.substr(0, text.find('=')));
}

std::string_view EntryValue(std::string_view text) {
  size_t equals = text.find('=');
  if (equals == std::string_view::npos) return {};
  std::string_view value = TrimBlanks(text.substr(equals + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

ProfileLayout::ProfileLayout(std::string_view bytes) {
  if (bytes.starts_with(kByteOrderMark)) {
    bom_ = bytes.substr(0, kByteOrderMark.size());
    bytes.remove_prefix(kByteOrderMark.size());
  }
  bool styleKnown = false;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t lf = bytes.find('\n', start);
    if (lf == std::string_view::npos) {
      lines_.push_back({bytes.substr(start), {}});
      // A file whose only line stops after a CR is a CR LF file that lacks
      // its last LF; new lines must not make it a file of mixed line ends.
      if (!styleKnown && bytes.ends_with('\r')) newLine_ = "\r\n";
      break;
    }
    size_t textEnd = (lf > start && bytes[lf - 1] == '\r') ? lf - 1 : lf;
    ProfileLine line{bytes.substr(start, textEnd - start), bytes.substr(textEnd, lf + 1 - textEnd)};
    if (!styleKnown) {
      newLine_ = line.end;
      styleKnown = true;
    }
    lines_.push_back(line);
    start = lf + 1;
  }
}

std::optional<SectionSpan> ProfileLayout::FindSection(std::string_view name, size_t from) const {
  std::string_view wanted = TrimBlanks(name);
  for (size_t header = NextHeader(lines_, from); header < lines_.size(); header = NextHeader(lines_, header + 1)) {
    if (!EqualsNoCase(HeaderName(lines_[header].text), wanted)) continue;
    SectionSpan span{header, header + 1, NextHeader(lines_, header + 1)};
    for (size_t line = header + 1; line < span.end; ++line) {
      if (!IsBlankLine(lines_[line].text)) span.bodyEnd = line + 1;
    }
    return span;
  }
  return std::nullopt;
}

LayoutWriter::LayoutWriter(const ProfileLayout& layout, size_t expectedSize) : layout_(layout) {
  out_.reserve(expectedSize);
  out_ += layout.ByteOrderMark();
}

void LayoutWriter::EndOpenLine() {
  if (!open_) return;
  open_ = false;
  // A last line that stops after the CR of a CR LF gets only its LF.
  if (layout_.NewLine() == "\r\n" && out_.ends_with('\r')) {
    out_ += '\n';
  } else {
    out_ += layout_.NewLine();
  }
}

void LayoutWriter::Keep(const ProfileLine& line) {
  EndOpenLine();
  out_ += line.text;
  out_ += line.end;
  open_ = line.end.empty();
}

void LayoutWriter::KeepRange(size_t from, size_t to) {
  for (size_t line = from; line < to; ++line) Keep(layout_.Lines()[line]);
}

void LayoutWriter::Add(std::string_view text) {
  EndOpenLine();
  out_ += text;
  out_ += layout_.NewLine();
}

std::vector<std::string_view> SectionEntries(const ProfileLayout& layout, const SectionSpan& section) {
  std::vector<std::string_view> entries;
  for (size_t line = section.header + 1; line < section.bodyEnd; ++line) {
    std::string_view text = TrimBlanks(layout.Lines()[line].text);
    if (!text.empty()) entries.push_back(text);
  }
  return entries;
}

std::optional<std::string_view> FindEntryValue(const ProfileLayout& layout, std::string_view section,
                                               std::string_view key) {
  std::optional<SectionSpan> span = layout.FindSection(section);
  if (!span) return std::nullopt;
  std::optional<size_t> line = FindEntryLine(layout, *span, key);
  if (!line) return std::nullopt;
  return EntryValue(layout.Lines()[*line].text);
}

std::string ReplaceSection(const ProfileLayout& layout, std::string_view name,
                           const std::vector<std::string_view>& lines) {
  const std::vector<ProfileLine>& all = layout.Lines();
  size_t expected = 0;
  for (const ProfileLine& line : all) expected += line.text.size() + line.end.size();
  for (std::string_view line : lines) expected += line.size() + 2;
  LayoutWriter writer(layout, expected + name.size() + 8);
  std::optional<SectionSpan> section = layout.FindSection(name);
  if (!section) {
    writer.KeepRange(0, all.size());
    writer.Add(HeaderLine(name));
    for (std::string_view line : lines) writer.Add(line);
    return writer.Finish();
  }
  // Entries compare without their surrounding blanks on both sides, so an
  // indented line that is already there stays as it stands.
  std::vector<std::string_view> wanted;
  wanted.reserve(lines.size());
  for (std::string_view line : lines) wanted.push_back(TrimBlanks(line));
  std::vector<size_t> match = AlignEntries(SectionEntries(layout, *section), wanted);
  writer.KeepRange(0, section->header + 1);
  size_t next = 0;
  size_t entry = 0;
  for (size_t line = section->header + 1; line < section->bodyEnd; ++line) {
    if (IsBlankLine(all[line].text)) {
      writer.Keep(all[line]);
      continue;
    }
    size_t stays = match[entry++];
    if (stays == kNone) continue;
    while (next < stays) writer.Add(lines[next++]);
    writer.Keep(all[line]);
    next = stays + 1;
  }
  while (next < lines.size()) writer.Add(lines[next++]);
  writer.KeepRange(section->bodyEnd, all.size());
  return writer.Finish();
}

std::string SetEntry(const ProfileLayout& layout, std::string_view section, std::string_view key,
                     std::string_view value) {
  const std::vector<ProfileLine>& all = layout.Lines();
  size_t expected = 0;
  for (const ProfileLine& line : all) expected += line.text.size() + line.end.size();
  LayoutWriter writer(layout, expected + section.size() + key.size() + value.size() + 8);
  std::optional<SectionSpan> span = layout.FindSection(section);
  if (!span) {
    writer.KeepRange(0, all.size());
    writer.Add(HeaderLine(section));
    writer.Add(EntryLine(key, value));
    return writer.Finish();
  }
  std::optional<size_t> found = FindEntryLine(layout, *span, key);
  size_t at = found ? *found : span->bodyEnd;
  size_t resume = found ? *found + 1 : span->bodyEnd;
  writer.KeepRange(0, at);
  writer.Add(EntryLine(key, value));
  writer.KeepRange(resume, all.size());
  return writer.Finish();
}

std::optional<std::string> RemoveSection(const ProfileLayout& layout, std::string_view name) {
  std::optional<SectionSpan> span = layout.FindSection(name);
  if (!span) return std::nullopt;
  LayoutWriter writer(layout, 0);
  size_t from = 0;
  while (span) {
    writer.KeepRange(from, span->header);
    from = span->end;
    span = layout.FindSection(name, span->end);
  }
  writer.KeepRange(from, layout.Lines().size());
  return writer.Finish();
}

}  // namespace tav::ini
