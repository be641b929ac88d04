#include "ini/unified_diff.h"

#include <gtest/gtest.h>

namespace tav::ini {
namespace {

TEST(UnifiedDiff, ShowsChangedLinesWithThreeLinesOfContextInHunks) {
  struct Case {
    const char* before;
    const char* after;
    const char* hunks;
  } cases[] = {
      {"a\n", "a\n", ""},
      {"", "[S]\r\nk=v\r\n", "@@ -0,0 +1,2 @@\n+[S]\n+k=v\n"},
      {"1\n2\n3\n4\n5\nx\n6\n7\n8\n9\n", "1\n2\n3\n4\n5\ny\n6\n7\n8\n9\n",
       "@@ -3,7 +3,7 @@\n 3\n 4\n 5\n-x\n+y\n 6\n 7\n 8\n"},
      // Changes more than six lines apart make two hunks.
      {"a\n1\n2\n3\n4\n5\n6\n7\nb\n", "A\n1\n2\n3\n4\n5\n6\n7\nB\n",
       "@@ -1,4 +1,4 @@\n-a\n+A\n 1\n 2\n 3\n@@ -6,4 +6,4 @@\n 5\n 6\n 7\n-b\n+B\n"},
      {"k=1", "k=1\nn=2\n", "@@ -1,1 +1,2 @@\n-k=1\n\\ No newline at end of file\n+k=1\n+n=2\n"},
  };
  for (const Case& c : cases) {
    std::string expected = *c.hunks ? std::string("--- f.ini\n+++ f.ini\n") + c.hunks : "";
    EXPECT_EQ(UnifiedDiff("f.ini", c.before, c.after), expected) << c.before << " -> " << c.after;
  }
}

}  // namespace
}  // namespace tav::ini
