// The POSIX platform layer: paths, wildcard finds and atomic replacement.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/fs.h"
#include "platform/posix/posix_util.h"
#include "platform/process.h"
#include "test_support.h"

namespace tav::platform {
namespace {

TEST(FullPath, FoldsDotsAndSeparatorsWithoutResolvingLinks) {
  EXPECT_EQ(FullPath("/a/./b//c/../d"), "/a/b/d");
  EXPECT_EQ(FullPath("/a/b/"), "/a/b/");
  EXPECT_EQ(FullPath("/.."), "/");
  EXPECT_EQ(FullPath("x/y"), CurrentDirectory() + "/x/y");
  EXPECT_EQ(NativePath("C:\\DIR\\F.INI  "), "C:/DIR/F.INI");
}

// A relative path has no full form once the current directory is removed; it
// must not turn into a path in the root directory.
TEST(FullPath, RelativePathStaysRelativeWithoutACurrentDirectory) {
  test::TempDir dir;
  std::string gone = dir.file("gone");
  ASSERT_EQ(::mkdir(gone.c_str(), 0755), 0);
  std::string saved = CurrentDirectory();
  ASSERT_EQ(::chdir(gone.c_str()), 0);
  ASSERT_EQ(::rmdir(gone.c_str()), 0);
  std::string full = FullPath("probe.ini");
  ASSERT_EQ(::chdir(saved.c_str()), 0);
  EXPECT_EQ(full, "probe.ini");
}

TEST(WildcardMatch, WindowsStyle) {
  EXPECT_TRUE(WildcardMatch("*.txt", "README.TXT"));
  EXPECT_TRUE(WildcardMatch("*.*", "README"));
  EXPECT_TRUE(WildcardMatch("*.", "README"));
  EXPECT_FALSE(WildcardMatch("*.", "a.b"));
  EXPECT_TRUE(WildcardMatch("a?c", "abc"));
  EXPECT_FALSE(WildcardMatch("a?c", "ac"));
  EXPECT_TRUE(WildcardMatch("*b*", "abc"));
}

TEST(FindFirst, FindsFilesAndDirectoriesByPattern) {
  test::TempDir dir;
  test::WriteFile(dir.file("Data.Txt"), "12345");
  ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0755), 0);
  FindData data;
  ASSERT_TRUE(FindFirst(dir.file("*.TXT"), data));
  EXPECT_EQ(data.name, "Data.Txt");
  EXPECT_EQ(data.size, 5u);
  ASSERT_TRUE(FindFirst(dir.path() + "\\s?b", data));
  EXPECT_TRUE(data.IsDirectory());
  EXPECT_FALSE(FindFirst(dir.file("*.doc"), data));
  EXPECT_FALSE(FindFirst(dir.file("missing"), data));
}

TEST(FindFirst, AnEmptyDirectoryMatchesAllNamesThroughItself) {
  test::TempDir dir;
  ASSERT_EQ(::mkdir(dir.file("empty").c_str(), 0755), 0);
  FindData data;
  ASSERT_TRUE(FindFirst(dir.file("empty/*.*"), data));
  EXPECT_EQ(data.name, ".");
  EXPECT_TRUE(data.IsDirectory());
  EXPECT_FALSE(FindFirst(dir.file("empty/*.txt"), data));
  EXPECT_FALSE(FindFirst(dir.file("missing/*.*"), data));
}

TEST(ReplaceFileAtomically, KeepsPermissionBitsAndLeavesNoTemporaryFile) {
  test::TempDir dir;
  std::string path = dir.file("f.ini");
  test::WriteFile(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  int error = 0;
  ASSERT_TRUE(ReplaceFileAtomically(path, "new", error));
  EXPECT_EQ(test::ReadFile(path), "new");
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  size_t entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) (void)e, ++entries;
  EXPECT_EQ(entries, 1u);
  EXPECT_FALSE(ReplaceFileAtomically(dir.file("missing/f.ini"), "x", error));
}

// A program is found as the child start finds it: a name with a separator
// must be an executable file, any other is looked for in PATH.
TEST(ProgramExists, NamedFileOrPathSearch) {
  test::TempDir dir;
  std::string tool = dir.file("tool.sh");
  test::WriteFile(tool, "#!/bin/sh\n");
  EXPECT_FALSE(ProgramExists(tool));
  ASSERT_EQ(::chmod(tool.c_str(), 0755), 0);
  EXPECT_TRUE(ProgramExists(tool));
  EXPECT_FALSE(ProgramExists(dir.path()));
  EXPECT_FALSE(ProgramExists("tool.sh"));
  std::string saved = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  ::setenv("PATH", ("/nonexistent:" + dir.path()).c_str(), 1);
  EXPECT_TRUE(ProgramExists("tool.sh"));
  EXPECT_FALSE(ProgramExists("sh"));
  ::setenv("PATH", saved.c_str(), 1);
  EXPECT_TRUE(ProgramExists("sh"));
  EXPECT_FALSE(ProgramExists(""));
}

}  // namespace
}  // namespace tav::platform
