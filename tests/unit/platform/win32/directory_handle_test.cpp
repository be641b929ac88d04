// Windows directory handles: a link in an entry's place is refused as a
// directory and removed as itself; a held directory cannot be renamed away.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/directory_handle.h"
#include "platform/win32/win32_api.h"
#include "test_support.h"

namespace tav::platform {
namespace {

namespace fs = std::filesystem;

TEST(DirectoryHandle, LinksAreRefusedAndRemovedAsThemselvesAndHeldDirectoriesStay) {
  test::TempDir temp;
  fs::path root = temp.path();
  fs::create_directories(root / "walked" / "held");
  fs::create_directories(root / "outside");
  test::WriteFile((root / "outside" / "file").string(), "keep");
  test::WriteFile((root / "walked" / "plain").string(), "gone");
  ::SetFileAttributesA((root / "walked" / "plain").string().c_str(), FILE_ATTRIBUTE_READONLY);
  DirectoryHandle walked = DirectoryHandle::Open((root / "walked").string(), false);
  ASSERT_TRUE(walked.IsOpen());
  int error = 0;
  EXPECT_TRUE(walked.DeleteFile("plain", error)) << error;
  DirectoryHandle held = walked.OpenChild("held");
  ASSERT_TRUE(held.IsOpen());
  EXPECT_FALSE(::MoveFileExA((root / "walked" / "held").string().c_str(), (root / "moved").string().c_str(), 0));
  EXPECT_FALSE(walked.DeleteFile("held", error));
  std::string link = (root / "walked" / "dirlink").string();
  DWORD flags = SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
  bool made = ::CreateSymbolicLinkA(link.c_str(), (root / "outside").string().c_str(), flags) != 0;
  DWORD attributes = ::GetFileAttributesA(link.c_str());
  if (!made || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    GTEST_SKIP() << "no symbolic links here (Wine makes none that can be opened as themselves)";
  }
  EXPECT_FALSE(walked.OpenChild("dirlink").IsOpen());
  EXPECT_FALSE(walked.RemoveDirectory("dirlink", error));
  EXPECT_TRUE(walked.DeleteFile("dirlink", error)) << error;
  EXPECT_EQ(test::ReadFile((root / "outside" / "file").string()), "keep");
  EXPECT_FALSE(fs::exists(fs::symlink_status(root / "walked" / "dirlink")));
}

}  // namespace
}  // namespace tav::platform
