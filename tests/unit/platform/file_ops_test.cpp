// The synchronisation engine's file operations on real temporary trees, run
// by both builds. Where the two systems differ on purpose (letter case of
// names, what the attributes are), each build checks its own rule.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "platform/file_ops.h"
#include "test_support.h"

#ifdef _WIN32
#include <cstring>

#include "platform/win32/file_util.h"

#include <sddl.h>
#endif

namespace tav::platform {
namespace {

namespace fs = std::filesystem;

class FileOps : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return JoinPath(temp_.path(), name); }
  void Write(const std::string& name, const std::string& text) { test::WriteFile(Path(name), text); }
  std::string Read(const std::string& name) const { return test::ReadFile(Path(name)); }
  void MakeReadOnly(const std::string& name) {
    fs::permissions(Path(name), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
  }
  bool IsReadOnly(const std::string& name) const {
    FindData data;
    int error = 0;
    return ReadFindData(Path(name), data, error) && (data.attributes & kAttrReadOnly) != 0;
  }
  // The names in the directory that the engine's staging left behind.
  std::vector<std::string> Temporaries() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(temp_.path())) {
      std::string name = entry.path().filename().string();
      if (name.rfind("!SYN~", 0) == 0) found.push_back(name);
    }
    return found;
  }

  test::TempDir temp_;
};

TEST_F(FileOps, StagedCopyReplacesOnlyWhenCommitted) {
  Write("dest.txt", "old");
  {
    StagedFile staged;
    int error = 0;
    ASSERT_TRUE(staged.CreateFile(Path("dest.txt"), temp_.path().size(), error)) << error;
    ASSERT_TRUE(staged.Data().Write("abandoned"));
  }
  EXPECT_EQ(Read("dest.txt"), "old");
  EXPECT_TRUE(Temporaries().empty());

  StagedFile staged;
  int error = 0;
  ASSERT_TRUE(staged.CreateFile(Path("dest.txt"), temp_.path().size(), error)) << error;
  ASSERT_TRUE(staged.Data().Write("new contents"));
  EXPECT_EQ(Read("dest.txt"), "old");
  ASSERT_TRUE(staged.Commit(true, error)) << error;
  EXPECT_EQ(Read("dest.txt"), "new contents");
  EXPECT_TRUE(Temporaries().empty());
}

TEST_F(FileOps, StagedCopyReplacesAReadOnlyDestinationAndDiscardsAReadOnlyTemporary) {
  Write("dest.txt", "old");
  MakeReadOnly("dest.txt");
  StagedFile staged;
  int error = 0;
  ASSERT_TRUE(staged.CreateFile(Path("dest.txt"), temp_.path().size(), error)) << error;
  ASSERT_TRUE(staged.Data().Write("new"));
  ASSERT_TRUE(staged.Commit(false, error)) << error;
  EXPECT_EQ(Read("dest.txt"), "new");

  // A temporary that already carries the copy's read-only attribute is still
  // removed when the copy is given up.
  {
    StagedFile abandoned;
    ASSERT_TRUE(abandoned.CreateFile(Path("dest.txt"), temp_.path().size(), error)) << error;
    abandoned.Data().Close();
    fs::permissions(abandoned.TemporaryPath(), fs::perms::owner_write, fs::perm_options::remove);
  }
  EXPECT_TRUE(Temporaries().empty());
}

TEST_F(FileOps, RenameWithoutReplaceLeavesBothFilesAlone) {
  Write("a.txt", "first");
  Write("b.txt", "second");
  int error = 0;
  EXPECT_FALSE(RenamePath(Path("a.txt"), Path("b.txt"), true, error));
  EXPECT_NE(error, 0);
  EXPECT_EQ(Read("a.txt"), "first");
  EXPECT_EQ(Read("b.txt"), "second");
  EXPECT_TRUE(RenamePath(Path("a.txt"), Path("c.txt"), true, error));
  EXPECT_EQ(Read("c.txt"), "first");
  EXPECT_TRUE(RenamePath(Path("c.txt"), Path("b.txt"), false, error));
  EXPECT_EQ(Read("b.txt"), "first");
  EXPECT_FALSE(PathExists(Path("c.txt")));
}

TEST_F(FileOps, NamesOrderByThePlatformsRule) {
  EXPECT_LT(CompareFileNames("abc.txt", "abd.txt"), 0);
  EXPECT_GT(CompareFileNames("b", "a"), 0);
  EXPECT_EQ(CompareFileNames("same", "same"), 0);
#ifdef _WIN32
  EXPECT_EQ(CompareFileNames("ReadMe.TXT", "README.txt"), 0);
  EXPECT_LT(CompareFileNames("ABC.txt", "abd.txt"), 0);
#else
  EXPECT_NE(CompareFileNames("ReadMe.TXT", "README.txt"), 0);
#endif
}

TEST_F(FileOps, CopiedAttributesCarryReadOnlyOnlyWithPreserve) {
  Write("source.txt", "x");
  MakeReadOnly("source.txt");
  FileStatus source;
  int error = 0;
  ASSERT_TRUE(ReadStatus(Path("source.txt"), source, error));
  EXPECT_TRUE(IsWriteProtected(source));

  Write("kept.txt", "x");
  ASSERT_TRUE(SetAttributes(Path("kept.txt"), CopiedAttributes(source, true, DefaultAttributes()), error)) << error;
  EXPECT_TRUE(IsReadOnly("kept.txt"));
  Write("plain.txt", "x");
  ASSERT_TRUE(SetAttributes(Path("plain.txt"), CopiedAttributes(source, false, DefaultAttributes()), error)) << error;
  EXPECT_FALSE(IsReadOnly("plain.txt"));

  ASSERT_TRUE(MakeWritable(Path("kept.txt"), error)) << error;
  EXPECT_FALSE(IsReadOnly("kept.txt"));
  FileStatus after;
  ASSERT_TRUE(ReadStatus(Path("kept.txt"), after, error));
  EXPECT_FALSE(IsWriteProtected(after));
}

TEST_F(FileOps, ReadOnlyFilesAndDirectoriesAreRemovedLikeAnyOther) {
  Write("locked.txt", "x");
  MakeReadOnly("locked.txt");
  int error = 0;
  EXPECT_TRUE(DeleteFile(Path("locked.txt"), error)) << error;
  EXPECT_FALSE(PathExists(Path("locked.txt")));
  EXPECT_FALSE(DeleteFile(Path("locked.txt"), error));

  ASSERT_TRUE(MakeDirectory(Path("dir"), error)) << error;
  MakeReadOnly("dir");
  EXPECT_TRUE(RemoveDirectory(Path("dir"), error)) << error;
  EXPECT_FALSE(PathExists(Path("dir")));
}

TEST_F(FileOps, TimesSurviveTheRoundTrip) {
  Write("a.txt", "x");
  Write("b.txt", "y");
  int error = 0;
  FileStatus times;
  ASSERT_TRUE(ReadStatus(Path("a.txt"), times, error));
  // 2001-09-09 01:46:40 UTC and a second later, with sub-second parts that a
  // file time holds exactly.
  times.writeSeconds = 1'000'000'000;
  times.writeNanoseconds = 123'456'700;
  times.accessSeconds = 1'000'000'001;
  times.accessNanoseconds = 500'000'000;
  ASSERT_TRUE(SetTimes(Path("b.txt"), times, error)) << error;
  FileStatus read;
  ASSERT_TRUE(ReadStatus(Path("b.txt"), read, error));
  EXPECT_EQ(read.writeSeconds, 1'000'000'000);
  EXPECT_EQ(read.writeNanoseconds, 123'456'700u);
  FindData data;
  ASSERT_TRUE(ReadFindData(Path("b.txt"), data, error));
  EXPECT_EQ(data.writeTime, (1'000'000'000ull + 11'644'473'600ull) * 10'000'000ull + 1'234'567ull);
}

TEST_F(FileOps, ListingShowsEntriesAsTheyAre) {
  Write("data.bin", std::string(70000, 'd'));
  int error = 0;
  ASSERT_TRUE(MakeDirectory(Path("sub"), error));
  std::vector<FindData> entries;
  ASSERT_EQ(ListDirectory(temp_.path(), true, entries, error), ListStatus::kOk);
  ASSERT_EQ(entries.size(), 2u);
  const FindData& file = entries[0].name == "data.bin" ? entries[0] : entries[1];
  const FindData& dir = entries[0].name == "sub" ? entries[0] : entries[1];
  EXPECT_EQ(file.size, 70000u);
  EXPECT_FALSE(file.IsDirectory());
  EXPECT_FALSE(file.isLink);
  EXPECT_TRUE(dir.IsDirectory());
  EXPECT_EQ(dir.name, "sub");

  EXPECT_EQ(ListDirectory(Path("missing"), true, entries, error), ListStatus::kOpenFailed);
  EXPECT_NE(error, 0);
  EXPECT_TRUE(entries.empty());
}

TEST_F(FileOps, SecurityCopiesOntoAFileOfOurOwnAndFailsForAMissingSource) {
  Write("source.txt", "x");
  Write("target.txt", "y");
  SecurityInfo info;
  std::vector<SecurityIssue> issues;
  ASSERT_TRUE(ReadSecurity(Path("source.txt"), false, info, issues));
  WriteSecurity(Path("target.txt"), info, issues);
  for (const SecurityIssue& issue : issues) {
    // A file system without such information may say so; nothing else may fail.
    EXPECT_EQ(issue.kind, SecurityIssueKind::kUnavailable) << issue.error;
  }

  SecurityInfo missing;
  issues.clear();
  EXPECT_FALSE(ReadSecurity(Path("missing.txt"), false, missing, issues));
  ASSERT_EQ(issues.size(), 1u);
  EXPECT_EQ(issues[0].kind, SecurityIssueKind::kNotObtained);
  EXPECT_NE(issues[0].error, 0);
}

TEST_F(FileOps, MakeDirectoriesBuildsTheMissingChain) {
  std::string deep = JoinPath(JoinPath(Path("a"), "b"), "c");
  EXPECT_TRUE(MakeDirectories(deep, temp_.path().size()));
  EXPECT_TRUE(IsRealDirectory(deep, temp_.path().size()));
  EXPECT_TRUE(MakeDirectories(deep, temp_.path().size()));
  Write("file", "x");
  EXPECT_FALSE(MakeDirectories(JoinPath(Path("file"), "below"), temp_.path().size()));
}

#ifdef _WIN32

// Wine answers for Windows in these tests; where it departs from the
// system's documented behaviour, a test that would see it says so.
bool UnderWine() { return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

DWORD AttributesOf(const std::string& path) { return ::GetFileAttributesA(path.c_str()); }

TEST_F(FileOps, WindowsAttributesAreTheSystemsOwnBits) {
  Write("source.txt", "x");
  ASSERT_TRUE(::SetFileAttributesA(Path("source.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  FileStatus source;
  int error = 0;
  ASSERT_TRUE(ReadStatus(Path("source.txt"), source, error));
  EXPECT_FALSE(IsWriteProtected(source));
  Write("kept.txt", "x");
  ASSERT_TRUE(SetAttributes(Path("kept.txt"), CopiedAttributes(source, true, DefaultAttributes()), error));
  EXPECT_EQ(AttributesOf(Path("kept.txt")) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  EXPECT_EQ(CopiedAttributes(source, false, DefaultAttributes()), static_cast<uint32_t>(FILE_ATTRIBUTE_NORMAL));
  FindData data;
  ASSERT_TRUE(ReadFindData(Path("kept.txt"), data, error));
  EXPECT_EQ(data.attributes & (kAttrHidden | kAttrSystem), kAttrHidden | kAttrSystem);
}

TEST_F(FileOps, WindowsReadOnlyDirectoryStillTakesEntries) {
  int error = 0;
  ASSERT_TRUE(MakeDirectory(Path("dir"), error));
  ASSERT_TRUE(::SetFileAttributesA(Path("dir").c_str(), FILE_ATTRIBUTE_READONLY));
  FileStatus status;
  ASSERT_TRUE(ReadStatus(Path("dir"), status, error));
  EXPECT_TRUE(status.isDirectory);
  EXPECT_FALSE(IsWriteProtected(status));
}

TEST_F(FileOps, WindowsSecurityCopyCarriesTheAccessList) {
  if (UnderWine()) {
    GTEST_SKIP() << "Wine-specific: SetFileSecurityA succeeds without keeping the access list, and "
                    "GetFileSecurityA reports one made from the Unix mode bits";
  }
  Write("source.txt", "x");
  Write("target.txt", "y");
  // A protected list that grants the world reading and the owner everything.
  const char* wanted = "D:P(A;;FA;;;OW)(A;;FR;;;WD)";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorA(wanted, SDDL_REVISION_1, &descriptor, nullptr));
  bool set = ::SetFileSecurityA(Path("source.txt").c_str(), DACL_SECURITY_INFORMATION, descriptor);
  ::LocalFree(descriptor);
  ASSERT_TRUE(set) << ::GetLastError();
  std::string sourceList = test::AccessListText(Path("source.txt"));
  ASSERT_FALSE(sourceList.empty());
  ASSERT_NE(test::AccessListText(Path("target.txt")), sourceList);

  SecurityInfo info;
  std::vector<SecurityIssue> issues;
  ASSERT_TRUE(ReadSecurity(Path("source.txt"), false, info, issues));
  WriteSecurity(Path("target.txt"), info, issues);
  EXPECT_TRUE(issues.empty());
  EXPECT_EQ(test::AccessListText(Path("target.txt")), sourceList);
}

// A copy of a file only its owner may open is as closed while it is filled:
// the temporary is created with the source's access list, not the one a new
// file would inherit.
TEST_F(FileOps, WindowsStagedCopyStartsWithTheSourcesAccessList) {
  Write("source.txt", "secret");
  ASSERT_TRUE(test::LetOnlyThisUserIn(Path("source.txt")));
  std::string sourceList = test::AccessListText(Path("source.txt"));
  Write("plain.txt", "");
  ASSERT_NE(test::AccessListText(Path("plain.txt")), sourceList);

  SecurityInfo info;
  std::vector<SecurityIssue> issues;
  ASSERT_TRUE(ReadSecurity(Path("source.txt"), false, info, issues));
  StagedFile staged;
  int error = 0;
  ASSERT_TRUE(staged.CreateFile(Path("dest.txt"), temp_.path().size(), error, &info)) << error;
  EXPECT_EQ(test::AccessListText(staged.TemporaryPath()), sourceList);
  StagedFile open;
  ASSERT_TRUE(open.CreateFile(Path("dest.txt"), temp_.path().size(), error)) << error;
  EXPECT_EQ(test::AccessListText(open.TemporaryPath()), test::AccessListText(Path("plain.txt")));
}

// Reparse data as the system hands it out: the header, the flags of a
// symbolic link, then the substitute and the printed name.
std::string ReparseData(DWORD tag, const std::wstring& substitute, const std::wstring& print) {
  auto word = [](std::string& out, size_t value) {
    uint16_t w = static_cast<uint16_t>(value);
    out.append(reinterpret_cast<const char*>(&w), sizeof w);
  };
  std::string out(reinterpret_cast<const char*>(&tag), sizeof tag);
  size_t names = (substitute.size() + print.size()) * sizeof(wchar_t);
  word(out, names + 8 + (tag == IO_REPARSE_TAG_SYMLINK ? 4 : 0));
  word(out, 0);
  word(out, 0);
  word(out, substitute.size() * sizeof(wchar_t));
  word(out, substitute.size() * sizeof(wchar_t));
  word(out, print.size() * sizeof(wchar_t));
  if (tag == IO_REPARSE_TAG_SYMLINK) out.append(4, '\0');
  out.append(reinterpret_cast<const char*>(substitute.data()), substitute.size() * sizeof(wchar_t));
  out.append(reinterpret_cast<const char*>(print.data()), print.size() * sizeof(wchar_t));
  return out;
}

TEST(LinkText, ReadsLinksAndJunctionsAndRefusesOtherOrShortData) {
  std::string target;
  std::string link = ReparseData(IO_REPARSE_TAG_SYMLINK, L"\\??\\C:\\data\\x", L"C:\\data\\x");
  ASSERT_TRUE(LinkTextOf(link.data(), link.size(), target));
  EXPECT_EQ(target, "C:\\data\\x");
  std::string relative = ReparseData(IO_REPARSE_TAG_SYMLINK, L"..\\up", L"..\\up");
  ASSERT_TRUE(LinkTextOf(relative.data(), relative.size(), target));
  EXPECT_EQ(target, "..\\up");
  std::string junction = ReparseData(IO_REPARSE_TAG_MOUNT_POINT, L"\\??\\D:\\dir", L"");
  ASSERT_TRUE(LinkTextOf(junction.data(), junction.size(), target));
  EXPECT_EQ(target, "D:\\dir");
  EXPECT_FALSE(LinkTextOf(link.data(), link.size() - 2, target));
  EXPECT_FALSE(LinkTextOf(link.data(), 10, target));
  std::string other = ReparseData(0x80000017, L"x", L"x");
  EXPECT_FALSE(LinkTextOf(other.data(), other.size(), target));
}

#endif

}  // namespace
}  // namespace tav::platform
