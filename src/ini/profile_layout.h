// The layout of a profile (INI) file: its lines exactly as they stand, so that
// an edit can rebuild the file changing only the lines it means to change.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tav::ini {

// One line of a file: its text without the line end, and the line end itself
// ("\n", "\r\n", or empty for a last line that has none).
struct ProfileLine {
  std::string_view text;
  std::string_view end;
};

// Where a section stands among the lines of a file: its header line, the end
// of its body (after its last non-blank line), and its end (the next header,
// or the end of the file). The blank lines between body end and end are the
// gap before the next section.
struct SectionSpan {
  size_t header = 0;
  size_t bodyEnd = 0;
  size_t end = 0;
};

// The text without the blanks (spaces, tabs, stray carriage returns) around it.
std::string_view TrimBlanks(std::string_view text);
// A header line is one whose first non-blank character is "[".
bool IsHeaderLine(std::string_view text);
bool IsBlankLine(std::string_view text);
// The section name of a header line: the text between "[" and the first "]"
// (or the end of the line), without its surrounding blanks.
std::string_view HeaderName(std::string_view text);
// The key of an entry line: the text before the first "=" (the whole line when
// there is none), without its surrounding blanks. Comment lines (";") have no
// key.
std::optional<std::string_view> EntryKey(std::string_view text);
// The value of an entry line: the text after the first "=", without its
// surrounding blanks and without one pair of enclosing quotes (" or ').
std::string_view EntryValue(std::string_view text);

// A file split into lines. The lines view the bytes it was made from, which
// must outlive it.
class ProfileLayout {
 public:
  explicit ProfileLayout(std::string_view bytes);

  std::string_view ByteOrderMark() const { return bom_; }
  const std::vector<ProfileLine>& Lines() const { return lines_; }
  // The line end that new lines get: the file's first line end; when it has
  // none, CR LF if its only line stops after a CR, else LF.
  std::string_view NewLine() const { return newLine_; }
  // The first section of that name at or after line from (names match
  // without regard to ASCII case, blanks around them not counting).
  std::optional<SectionSpan> FindSection(std::string_view name, size_t from = 0) const;

 private:
  std::string_view bom_;
  std::vector<ProfileLine> lines_;
  std::string_view newLine_ = "\n";
};

// Builds the new bytes of a file line by line: original lines are kept as
// they stand, new lines get the file's line end. A kept last line without a
// line end gets one only when something follows it.
class LayoutWriter {
 public:
  LayoutWriter(const ProfileLayout& layout, size_t expectedSize);

  void Keep(const ProfileLine& line);
  void KeepRange(size_t from, size_t to);
  void Add(std::string_view text);
  std::string Finish() { return std::move(out_); }

 private:
  void EndOpenLine();

  const ProfileLayout& layout_;
  std::string out_;
  bool open_ = false;
};

// The lines that a section read returns: every non-blank line of the
// section's body, comments included, without surrounding blanks, in order.
std::vector<std::string_view> SectionEntries(const ProfileLayout& layout, const SectionSpan& section);

// The first line of the section's body whose key is key.
std::optional<size_t> FindEntryLine(const ProfileLayout& layout, const SectionSpan& section, std::string_view key);
// The value of the first entry with the key in the first section of the name;
// nothing when there is none.
std::optional<std::string_view> FindEntryValue(const ProfileLayout& layout, std::string_view section,
                                               std::string_view key);

// The edits. Each returns the file's new bytes; lines outside what it changes
// stay byte for byte.
// The first section of the name gets exactly the given lines (added at the end
// of the file when missing). Lines that stay keep their original form, and
// the blank lines of the section stay where they were.
std::string ReplaceSection(const ProfileLayout& layout, std::string_view name,
                           const std::vector<std::string_view>& lines);
// key=value in the first section of the name: the first entry with the key is
// replaced, or the entry is added after the section's last line (the section
// is added at the end of the file when missing).
std::string SetEntry(const ProfileLayout& layout, std::string_view section, std::string_view key,
                     std::string_view value);
// Every section of the name, header, lines and the blank lines after them;
// nothing when the file has no such section.
std::optional<std::string> RemoveSection(const ProfileLayout& layout, std::string_view name);

}  // namespace tav::ini
