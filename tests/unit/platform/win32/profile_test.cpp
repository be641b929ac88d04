// The profile operations on Windows, through the system's own private-profile
// functions, against files in a temporary directory.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "test_support.h"

namespace tav::test {
namespace {

using namespace tav::platform;
using namespace std::string_literals;
using Lines = std::vector<std::string>;

class Win32Profile : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.file(name); }
  Lines Section(const std::string& name, const std::string& section, size_t size = 1 << 16) const {
    std::vector<char> buffer(size);
    size_t count = ProfileReadSection(Path(name), section, buffer);
    Lines lines;
    for (size_t at = 0; at < count; at += lines.back().size() + 1) lines.emplace_back(&buffer[at]);
    return lines;
  }
  std::string Value(const std::string& name, const std::string& section, const std::string& key) const {
    std::vector<char> buffer(64);
    size_t count = ProfileReadString(Path(name), section, key, "<none>", buffer);
    return std::string(buffer.data(), count);
  }
  TempDir dir_;
};

TEST_F(Win32Profile, WritesAndReadsGoThroughTheFile) {
  ASSERT_TRUE(ProfileWriteString(Path("a.ini"), "Boot", "shell", "prog.exe"));
  ASSERT_TRUE(ProfileWriteString(Path("a.ini"), "BOOT", "Other", "x=y"));
  EXPECT_EQ(Value("a.ini", "boot", "SHELL"), "prog.exe");
  EXPECT_EQ(Value("a.ini", "boot", "other"), "x=y");
  EXPECT_EQ(Value("a.ini", "boot", "missing"), "<none>");
  EXPECT_EQ(Value("none.ini", "boot", "shell"), "<none>");
  EXPECT_EQ(Section("a.ini", "Boot"), (Lines{"shell=prog.exe", "Other=x=y"}));

  std::string text = "one=1\0two=2\0\0"s;
  ASSERT_TRUE(ProfileWriteSection(Path("a.ini"), "boot", text.data()));
  EXPECT_EQ(Section("a.ini", "boot"), (Lines{"one=1", "two=2"}));
  // A buffer too small says so with its size - 2.
  std::vector<char> small(6);
  EXPECT_EQ(ProfileReadSection(Path("a.ini"), "boot", small), 4u);
}

TEST_F(Win32Profile, DeletingASectionThatIsNotThereFailsAndWritesNothing) {
  EXPECT_FALSE(ProfileDeleteSection(Path("missing.ini"), "s"));
  EXPECT_FALSE(std::filesystem::exists(Path("missing.ini")));
  test::WriteFile(Path("a.ini"), "[keep]\r\nk=1\r\n[  Gone ]\r\nx=1\r\n");
  EXPECT_FALSE(ProfileDeleteSection(Path("a.ini"), "other"));
  EXPECT_EQ(test::ReadFile(Path("a.ini")), "[keep]\r\nk=1\r\n[  Gone ]\r\nx=1\r\n");
  EXPECT_TRUE(ProfileDeleteSection(Path("a.ini"), "gone"));
  EXPECT_EQ(Section("a.ini", "gone"), Lines{});
  EXPECT_EQ(Value("a.ini", "keep", "k"), "1");
}

TEST_F(Win32Profile, ReadOnlyAndWideFilesAreNeverWritten) {
  std::string plain = "[s]\r\nk=1\r\n";
  std::string wide = "\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0001\0\r\0\n\0"s;
  test::WriteFile(Path("ro.ini"), plain);
  std::filesystem::permissions(Path("ro.ini"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  test::WriteFile(Path("wide.ini"), wide);
  for (const auto& [name, bytes] : {std::pair{"ro.ini"s, plain}, std::pair{"wide.ini"s, wide}}) {
    std::string section = "k=2\0\0"s;
    EXPECT_FALSE(ProfileWriteString(Path(name), "s", "k", "2")) << name;
    EXPECT_FALSE(ProfileWriteSection(Path(name), "s", section.data())) << name;
    EXPECT_FALSE(ProfileDeleteSection(Path(name), "s")) << name;
    EXPECT_EQ(test::ReadFile(Path(name)), bytes) << name;
  }
  std::filesystem::permissions(Path("ro.ini"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
}

}  // namespace
}  // namespace tav::test

#endif  // _WIN32
