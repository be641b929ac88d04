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

}  // namespace
}  // namespace tav::ini
