// Directory handles never follow a link put in an entry's place, whatever
// the operation; a FIFO is refused for copying without waiting for a writer.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "platform/directory_handle.h"
#include "test_support.h"

namespace tav::platform {
namespace {

namespace fs = std::filesystem;

TEST(DirectoryHandle, EveryOperationTakesALinkAsItself) {
  test::TempDir temp;
  fs::path root = temp.path();
  fs::create_directories(root / "walked");
  fs::create_directories(root / "outside" / "sub");
  test::WriteFile((root / "outside" / "file").string(), "keep");
  ::chmod((root / "outside" / "file").c_str(), 0444);
  struct stat before {};
  ::stat((root / "outside" / "file").c_str(), &before);
  DirectoryHandle walked = DirectoryHandle::Open((root / "walked").string(), false);
  ASSERT_TRUE(walked.IsOpen());
  FileStatus times;
  times.writeSeconds = 1000;
  // Each operation with whether it succeeds: refused, or done on the link
  // itself (links carry no modes of their own; times they do).
  struct Case {
    const char* what;
    std::function<bool(int&)> operation;
    bool succeeds;
  };
  const Case cases[] = {
      {"open as a directory", [&](int& error) {
         DirectoryHandle child = walked.OpenChild("dirlink");
         error = child.OpenError();
         return child.IsOpen();
       }, false},
      {"open for copying", [&](int& error) { return walked.OpenForCopy("filelink", error).IsOpen(); }, false},
      {"remove as a directory", [&](int& error) { return walked.RemoveDirectory("dirlink", error); }, false},
      {"make writable", [&](int& error) { return walked.MakeWritable("filelink", error); }, true},
      {"set attributes", [&](int& error) { return walked.SetAttributes("filelink", 0666, error); }, true},
      {"set times", [&](int& error) { return walked.SetTimes("filelink", times, error); }, true},
  };
  ASSERT_EQ(::symlink((root / "outside" / "sub").c_str(), (root / "walked" / "dirlink").c_str()), 0);
  ASSERT_EQ(::symlink((root / "outside" / "file").c_str(), (root / "walked" / "filelink").c_str()), 0);
  for (const Case& c : cases) {
    int error = 0;
    EXPECT_EQ(c.operation(error), c.succeeds) << c.what << ": " << error;
  }
  struct stat after {};
  ::stat((root / "outside" / "file").c_str(), &after);
  EXPECT_EQ(after.st_mode, before.st_mode);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_TRUE(fs::is_directory(root / "outside" / "sub"));
  // Deleting removes the links, never what they name.
  int error = 0;
  EXPECT_TRUE(walked.DeleteFile("dirlink", error));
  EXPECT_TRUE(walked.DeleteFile("filelink", error));
  EXPECT_EQ(test::ReadFile((root / "outside" / "file").string()), "keep");
  EXPECT_TRUE(fs::is_empty(root / "walked"));
}

TEST(DirectoryHandle, FifoIsRefusedForCopyingAtOnce) {
  test::TempDir temp;
  ASSERT_EQ(::mkfifo(temp.file("pipe").c_str(), 0600), 0);
  DirectoryHandle directory = DirectoryHandle::Open(temp.path(), true);
  int error = 0;
  EXPECT_FALSE(directory.OpenForCopy("pipe", error).IsOpen());
  EXPECT_EQ(error, ENXIO);
  EXPECT_FALSE(directory.OpenForCopy(".", error).IsOpen());
  EXPECT_EQ(error, EISDIR);
}

}  // namespace
}  // namespace tav::platform
