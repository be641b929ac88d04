// The layout edits on files of unusual shape, as the fuzzer found them: the
// bytes they leave, and that making the same edit again changes nothing.
#include <gtest/gtest.h>

#include "ini/profile_layout.h"

namespace tav::ini {
namespace {

std::string Set(const std::string& bytes, std::string_view section, std::string_view key, std::string_view value) {
  return SetEntry(ProfileLayout(bytes), section, key, value);
}

TEST(ProfileLayoutEdges, LastLineStoppingAfterCrGetsOnlyItsLf) {
  // The file's only line ends in a CR: new lines follow its CR LF style.
  std::string once = Set(": top comment\r", "section", "KEY", "v");
  EXPECT_EQ(once, ": top comment\r\n[section]\r\nKEY=v\r\n");
  EXPECT_EQ(Set(once, "section", "KEY", "v"), once);

  // A CR LF file whose last line lacks the LF is not given a second CR.
  EXPECT_EQ(Set("a=1\r\nz\r", "s", "k", "v"), "a=1\r\nz\r\n[s]\r\nk=v\r\n");
  // An LF file keeps LF for its new lines whatever its last line holds.
  EXPECT_EQ(Set("a=1\nz\r", "s", "k", "v"), "a=1\nz\r\n[s]\nk=v\n");
  EXPECT_EQ(Set("z", "s", "k", "v"), "z\n[s]\nk=v\n");
}

TEST(ProfileLayoutEdges, IndentedSectionLinesAreKeptOnTheSecondRewrite) {
  // Lines that are already there compare without their indentation, so the
  // second rewrite keeps every line, line ends included, where it stands.
  std::string file = "; top\r\n[Section]\n; note\n ";
  std::vector<std::string_view> lines{"key=value", "added=1", "  indented=x", "added=1", "; note", "  tail = y"};
  std::string once = ReplaceSection(ProfileLayout(file), "Section", lines);
  EXPECT_EQ(once,
            "; top\r\n[Section]\nkey=value\r\nadded=1\r\n  indented=x\r\nadded=1\r\n; note\n  tail = y\r\n ");
  EXPECT_EQ(ReplaceSection(ProfileLayout(once), "Section", lines), once);
}

}  // namespace
}  // namespace tav::ini
