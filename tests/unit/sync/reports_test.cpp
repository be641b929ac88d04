// Report lines, engine messages, the path rules and the conflict names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>

#include "core/messages.h"
#include "path_support.h"
#include "platform/system.h"
#include "sync/paths.h"
#include "sync/reports.h"
#include "sync/walk.h"
#include "test_support.h"

namespace tav::sync {
namespace {

// 2020-01-02 03:04:05 UTC as a file time.
constexpr uint64_t kJan2 = (1577934245ull + 11644473600ull) * 10'000'000ull;

// Report times are local: the tests pin the zone. Windows takes the zone from
// the system, never from the environment, so there they run only where the
// system's zone is UTC.
class UtcZone : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    if (platform::FileTimeToLocal(kJan2).hour != 3) GTEST_SKIP() << "the system's time zone is not UTC";
#else
    const char* zone = std::getenv("TZ");
    saved_ = zone ? std::optional<std::string>(zone) : std::nullopt;
    setenv("TZ", "UTC0", 1);
    tzset();
#endif
  }
  void TearDown() override {
#ifndef _WIN32
    if (saved_) {
      setenv("TZ", saved_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
#endif
  }

 private:
  std::optional<std::string> saved_;
};


using SyncReportLine = UtcZone;

TEST_F(SyncReportLine, FileLineHasEightTabSeparatedFields) {
  platform::FindData data;
  data.writeTime = kJan2;
  data.size = 1024;
  EXPECT_EQ(FormatReportLine("02-JAN-20; 03:04:05", ReportAction::kOverwriteAdd, "/d/f.txt", data),
            "02-JAN-20; 03:04:05\tOV-ADD\tFILE\t/d/f.txt\t2020-01-02\t03:04:05\t0 1024\t----\r\n");
}

TEST_F(SyncReportLine, LargeSizeIsWrittenAsItsTwoHalves) {
  platform::FindData data;
  data.writeTime = kJan2;
  data.size = 5'000'000'000ull;
  std::string line = FormatReportLine("W", ReportAction::kAdd, "/f", data);
  EXPECT_NE(line.find("\t1 705032704\t"), std::string::npos) << line;
}

TEST_F(SyncReportLine, DirectoryHasEmptySizeField) {
  platform::FindData data;
  data.writeTime = kJan2;
  data.attributes = platform::kAttrDirectory;
  EXPECT_EQ(FormatReportLine("W", ReportAction::kDelete, "/d", data), "W\tDELETE\tDIR\t/d\t2020-01-02\t03:04:05\t\t----\r\n");
}

TEST_F(SyncReportLine, AttributesInOrderHiddenReadOnlySystemArchive) {
  platform::FindData data;
  data.writeTime = kJan2;
  data.attributes = platform::kAttrHidden | platform::kAttrArchive;
  EXPECT_NE(FormatReportLine("W", ReportAction::kRenameDelete, "/f", data).find("\tREN-DEL\t"), std::string::npos);
  auto lastField = [&] {
    std::string line = FormatReportLine("W", ReportAction::kAdd, "/f", data);
    return line.substr(line.rfind('\t') + 1);
  };
  EXPECT_EQ(lastField(), "H--A\r\n");
  data.attributes = platform::kAttrReadOnly | platform::kAttrSystem;
  EXPECT_EQ(lastField(), "-RS-\r\n");
}

TEST(SyncTimeText, DayMonthYearAndTime) {
  EXPECT_EQ(TimeText({2026, 12, 7, 12, 40, 21}), "07-DEC-26; 12:40:21");
  EXPECT_EQ(TimeText({2000, 1, 31, 0, 0, 9}), "31-JAN-00; 00:00:09");
}

TEST(SyncMessage, EveryLineCarriesTheErrorMarker) {
  std::string m(1, kErrorMarker);
  EXPECT_EQ(FormatSyncMessage("File x could not be copied.\nCause (error code 0x2): gone\n"),
            m + "\n" + m + "SynchronizeDir: File x could not be copied.\n" + m + "Cause (error code 0x2): gone\n" + m + "\n");
}

TEST(SyncMessage, CauseQuotesTheCodeInHexAndTheSystemText) {
  std::string text = WithCause("File /a could not be deleted.", 13);
  EXPECT_EQ(text.rfind("File /a could not be deleted.\nCause (error code 0xd): ", 0), 0u) << text;
  EXPECT_EQ(text.back(), '\n');
}

using test::Native;

TEST(SyncPaths, JoinAndGoUp) {
  EXPECT_EQ(JoinPath(Native("/data"), "a.txt"), Native("/data/a.txt"));
  EXPECT_EQ(JoinPath(Native("/data/"), "a.txt"), Native("/data/a.txt"));
  EXPECT_EQ(JoinPath(Native("/"), "a.txt"), Native("/a.txt"));
  EXPECT_EQ(ParentPath(Native("/data/sub")), Native("/data"));
  EXPECT_EQ(ParentPath(Native("/data")), Native("/"));
  EXPECT_EQ(ParentPath(Native("C:/DATA")), Native("C:/"));
  EXPECT_EQ(WithoutTrailingSeparator(Native("/data//")), Native("/data"));
  EXPECT_EQ(WithoutTrailingSeparator(Native("/")), Native("/"));
}

TEST(SyncConflictName, FirstFreeNumberWithTheExtension) {
  test::TempDir dir;
  test::WriteFile(dir.file("!SYN0000.TXT"), "log");
  test::WriteFile(dir.file("!SYN0001.TXT"), "copy");
  platform::DirectoryHandle handle = platform::DirectoryHandle::Open(dir.path(), true);
  EXPECT_EQ(ConflictName(handle, "readme.TXT"), "!SYN0002.TXT");
  // Names are told apart as the platform does: on POSIX .txt is another
  // extension, on Windows the same.
#ifdef _WIN32
  EXPECT_EQ(ConflictName(handle, "readme.txt"), "!SYN0002.txt");
#else
  EXPECT_EQ(ConflictName(handle, "readme.txt"), "!SYN0000.txt");
#endif
  EXPECT_EQ(ConflictName(handle, "Makefile"), "!SYN0000");
  EXPECT_EQ(ConflictName(handle, "a.tar.gz"), "!SYN0000.gz");
}

}  // namespace
}  // namespace tav::sync
