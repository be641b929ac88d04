// The profile module against real files: what the reads return and what the
// writes leave, byte for byte.
#include <filesystem>

#include "ini_test_support.h"

namespace tav::ini::testing {
namespace {

using Lines = std::vector<std::string>;
using ProfileTest = IniTest;

TEST_F(ProfileTest, SectionReadMatchesNamesLooselyAndReturnsTrimmedNonBlankLines) {
  Put("a.ini",
      "top=1\n[ Other ]\nx=1\n[  Boot  ] ; note\n  shell = a b  \n\n; comment\nplain\n[boot]\nsecond=copy\n");
  EXPECT_EQ(Section("a.ini", "BOOT"), (Lines{"shell = a b", "; comment", "plain"}));
  EXPECT_EQ(Section("a.ini", "missing"), Lines{});
  EXPECT_EQ(Section("nofile.ini", "boot"), Lines{});

  // A buffer too small says so with size - 2.
  std::vector<char> small(8);
  EXPECT_EQ(GetProfileSection(Path("a.ini"), "boot", small), 6u);
  std::vector<char> fits(31);
  EXPECT_EQ(GetProfileSection(Path("a.ini"), "boot", fits), 28u);
}

TEST_F(ProfileTest, StringReadFindsFirstKeyAndCutsToBuffer) {
  Put("a.ini", "[S]\n;Path=comment\n PATH = \"C:\\dos\" \npath=second\nempty=\nbare\n");
  std::vector<char> buffer(64);
  ASSERT_EQ(GetProfileString(Path("a.ini"), "s", "path", "", buffer), 6u);
  EXPECT_STREQ(buffer.data(), "C:\\dos");
  EXPECT_EQ(GetProfileString(Path("a.ini"), "s", "empty", "dflt", buffer), 0u);
  EXPECT_EQ(GetProfileString(Path("a.ini"), "s", "nokey", "dflt", buffer), 4u);
  EXPECT_STREQ(buffer.data(), "dflt");
  std::vector<char> tiny(4);
  EXPECT_EQ(GetProfileString(Path("a.ini"), "s", "path", "", tiny), 3u);
  EXPECT_STREQ(tiny.data(), "C:\\");

  std::string value;
  EXPECT_TRUE(ReadProfileString(Path("a.ini"), "S", "Path", value));
  EXPECT_EQ(value, "C:\\dos");
  EXPECT_FALSE(ReadProfileString(Path("a.ini"), "S", "none", value));
}

TEST_F(ProfileTest, SectionWriteKeepsEveryUntouchedByte) {
  const std::string head = "\xEF\xBB\xBF; preamble\r\n[First]\r\n  a = 1  \r\n\r\n; keep me\r\nb=2\r\n";
  const std::string tail = "\r\n[Last]\nz=9";  // mixed line ends, no final line end
  Put("a.ini", head + "c=3\r\n" + tail);
  std::string text = SectionText({"a = 1", "; keep me", "b=2", "new=1", "c=3"});
  ASSERT_TRUE(WriteProfileSection(Path("a.ini"), "first", text.data()));
  EXPECT_EQ(Get("a.ini"), head + "new=1\r\nc=3\r\n" + tail);

  // Removing lines keeps the blank line and the comment between kept lines.
  text = SectionText({"a = 1", "; keep me", "c=3"});
  ASSERT_TRUE(WriteProfileSection(Path("a.ini"), "FIRST", text.data()));
  EXPECT_EQ(Get("a.ini"), "\xEF\xBB\xBF; preamble\r\n[First]\r\n  a = 1  \r\n\r\n; keep me\r\nc=3\r\n" + tail);

  // A new section goes to the end; the last line gets the file's line end.
  text = SectionText({"k=v"});
  ASSERT_TRUE(WriteProfileSection(Path("a.ini"), "Added", text.data()));
  EXPECT_TRUE(Get("a.ini").ends_with("[Last]\nz=9\r\n[Added]\r\nk=v\r\n"));
  EXPECT_EQ(Names(), Lines{"a.ini"});
}

TEST_F(ProfileTest, SectionWriteReplacesWholeSectionAndCreatesFiles) {
  Put("a.ini", "[s]\nold1\nold2\n\n[t]\nx=1\n");
  std::string text = SectionText({"n1", "n2", "n3"});
  ASSERT_TRUE(WriteProfileSection(Path("a.ini"), "s", text.data()));
  EXPECT_EQ(Get("a.ini"), "[s]\nn1\nn2\nn3\n\n[t]\nx=1\n");
  ASSERT_TRUE(WriteProfileSection(Path("a.ini"), "s", SectionText({}).data()));
  EXPECT_EQ(Get("a.ini"), "[s]\n\n[t]\nx=1\n");

  ASSERT_TRUE(WriteProfileSection(Path("new.ini"), "Sec", text.data()));
  EXPECT_EQ(Get("new.ini"), "[Sec]\nn1\nn2\nn3\n");
  EXPECT_FALSE(WriteProfileSection(Path("no/such/dir.ini"), "s", text.data()));
  // A file that exists but cannot be read is never overwritten.
  std::filesystem::create_directory(Path("dir.ini"));
  EXPECT_FALSE(WriteProfileSection(Path("dir.ini"), "s", text.data()));
}

TEST_F(ProfileTest, StringWriteReplacesFirstKeyOrAddsAtSectionEnd) {
  Put("a.ini", "[s]\n  Key = old  \nkey=dup\n;key=comment\nother=1\n\n[t]\n");
  ASSERT_TRUE(WriteProfileString(Path("a.ini"), "S", "KEY", "new"));
  EXPECT_EQ(Get("a.ini"), "[s]\nKEY=new\nkey=dup\n;key=comment\nother=1\n\n[t]\n");
  ASSERT_TRUE(WriteProfileString(Path("a.ini"), "s", "add", "a=b"));
  EXPECT_EQ(Get("a.ini"), "[s]\nKEY=new\nkey=dup\n;key=comment\nother=1\nadd=a=b\n\n[t]\n");
  ASSERT_TRUE(WriteProfileString(Path("a.ini"), "u", "k", ""));
  EXPECT_TRUE(Get("a.ini").ends_with("[t]\n[u]\nk=\n"));
  ASSERT_TRUE(WriteProfileString(Path("b.ini"), "s", "k", "v"));
  EXPECT_EQ(Get("b.ini"), "[s]\nk=v\n");
}

TEST_F(ProfileTest, SectionDeleteRemovesEveryCopyOrFailsUntouched) {
  const std::string bytes = "; top\n[a]\nx=1\n\n[B]\ny=2\n\n[c]\nz=3\n[b]\nw=4\n";
  Put("a.ini", bytes);
  EXPECT_FALSE(DeleteProfileSection(Path("a.ini"), "none"));
  EXPECT_EQ(Get("a.ini"), bytes);
  EXPECT_FALSE(DeleteProfileSection(Path("missing.ini"), "a"));
  EXPECT_FALSE(std::filesystem::exists(Path("missing.ini")));
  ASSERT_TRUE(DeleteProfileSection(Path("a.ini"), "b"));
  EXPECT_EQ(Get("a.ini"), "; top\n[a]\nx=1\n\n[c]\nz=3\n");
}

// Permission bits and symbolic links are what the profile module meets on
// POSIX, the only build that writes profile files through it.
#ifndef _WIN32
TEST_F(ProfileTest, ReplacementKeepsPermissionsAndSymbolicLinks) {
  namespace fs = std::filesystem;
  Put("target.ini", "[s]\nk=1\n");
  fs::permissions(Path("target.ini"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("target.ini", Path("link.ini"));
  ASSERT_TRUE(WriteProfileString(Path("link.ini"), "s", "k", "2"));
  EXPECT_TRUE(fs::is_symlink(Path("link.ini")));
  EXPECT_EQ(Get("target.ini"), "[s]\nk=2\n");
  EXPECT_EQ(fs::status(Path("target.ini")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  // A new file gets the mode any new file gets.
  Put("plain.txt", "");
  ASSERT_TRUE(WriteProfileString(Path("new.ini"), "s", "k", "1"));
  EXPECT_EQ(fs::status(Path("new.ini")).permissions(), fs::status(Path("plain.txt")).permissions());
  EXPECT_EQ(Names(), (Lines{"link.ini", "new.ini", "plain.txt", "target.ini"}));
}

TEST_F(ProfileTest, ReadOnlyFilesAreNeverWritten) {
  namespace fs = std::filesystem;
  const std::string bytes = "[s]\nk=1\n";
  Put("a.ini", bytes);
  fs::permissions(Path("a.ini"), fs::perms::owner_read | fs::perms::group_read);
  fs::create_symlink("a.ini", Path("link.ini"));
  for (const char* name : {"a.ini", "link.ini"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(WriteProfileString(Path(name), "s", "k", "2"));
    EXPECT_FALSE(WriteProfileSection(Path(name), "s", SectionText({"x=1"}).data()));
    EXPECT_FALSE(DeleteProfileSection(Path(name), "s"));
  }
  EXPECT_EQ(Get("a.ini"), bytes);
  EXPECT_EQ(fs::status(Path("a.ini")).permissions(), fs::perms::owner_read | fs::perms::group_read);
  EXPECT_EQ(Names(), (Lines{"a.ini", "link.ini"}));
}

#endif  // _WIN32

}  // namespace
}  // namespace tav::ini::testing
