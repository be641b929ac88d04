// The Win32 platform layer: paths, finds, atomic replacement, the update
// lock, and children started through the spawn program.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/messages.h"
#include "external/external.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/win32/win32_api.h"
#include "test_support.h"

namespace tav::platform {
namespace {

size_t EntriesIn(const std::string& directory) {
  size_t entries = 0;
  for (auto& e : std::filesystem::directory_iterator(directory)) (void)e, ++entries;
  return entries;
}

TEST(Win32Paths, FullPathFoldsAndNativePathTurnsSlashesAndTrimsBlanks) {
  EXPECT_EQ(FullPath("C:\\a\\.\\b\\\\c\\..\\d"), "C:\\a\\b\\d");
  EXPECT_EQ(FullPath("C:\\a\\b\\"), "C:\\a\\b\\");
  EXPECT_EQ(FullPath("C:/a/b"), "C:\\a\\b");
  EXPECT_EQ(FullPath("\\\\server\\share\\x"), "\\\\server\\share\\x");
  EXPECT_EQ(FullPath("x\\y"), JoinPath(CurrentDirectory(), "x\\y"));
  EXPECT_EQ(NativePath("C:/DIR/F.INI  "), "C:\\DIR\\F.INI");
  EXPECT_EQ(JoinPath("C:\\", "F"), "C:\\F");
  EXPECT_EQ(JoinPath("C:\\D", "F"), "C:\\D\\F");
  EXPECT_EQ(FileTitle("C:\\D\\PROG.TAV"), "PROG.TAV");
  EXPECT_EQ(FileTitle("C:PROG.TAV"), "PROG.TAV");
  EXPECT_EQ(DirectoryPart("C:\\F"), "C:\\");
  EXPECT_EQ(DirectoryPart("C:\\D\\F"), "C:\\D");
  EXPECT_EQ(DirectoryPart("F"), ".");
}

TEST(Win32Paths, ErrorTextIsTheSystemsWithOneLineBreak) {
  std::string text = ErrorText(ERROR_FILE_NOT_FOUND);
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_NE(text[text.size() - 2], '\n');
}

TEST(Win32Find, PatternsIgnoreCaseAndAnEmptyDirectoryListsItself) {
  test::TempDir dir;
  test::WriteFile(dir.file("Data.Txt"), "12345");
  ASSERT_TRUE(std::filesystem::create_directory(dir.file("empty")));
  FindData data;
  ASSERT_TRUE(FindFirst(dir.file("*.TXT"), data));
  EXPECT_EQ(data.name, "Data.Txt");
  EXPECT_EQ(data.size, 5u);
  EXPECT_NE(data.writeTime, 0u);
  ASSERT_TRUE(FindFirst(dir.file("EMPTY"), data));
  EXPECT_TRUE(data.IsDirectory());
  ASSERT_TRUE(FindFirst(dir.file("empty\\*.*"), data));
  EXPECT_EQ(data.name, ".");
  EXPECT_FALSE(FindFirst(dir.file("empty\\*.txt"), data));
  EXPECT_FALSE(FindFirst(dir.file("missing\\*.*"), data));
}

TEST(Win32Files, ReadOnlyMeansTheAttributeOrDeniedWriting) {
  test::TempDir dir;
  std::string path = dir.file("f.ini");
  test::WriteFile(path, "x");
  EXPECT_FALSE(IsReadOnlyFile(path));
  ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(IsReadOnlyFile(path));
  ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_FALSE(IsReadOnlyFile(dir.file("missing.ini")));
  EXPECT_FALSE(IsReadOnlyFile(dir.path()));
}

TEST(Win32Files, ReplacementKeepsMarksAndLeavesNoTemporaryFile) {
  test::TempDir dir;
  std::string path = dir.file("f.ini");
  test::WriteFile(path, "old");
  ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
  int error = 0;
  ASSERT_TRUE(ReplaceFileAtomically(path, "new", error));
  EXPECT_EQ(test::ReadFile(path), "new");
  EXPECT_NE(::GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_EQ(EntriesIn(dir.path()), 1u);
  // A file that cannot be replaced stays as it was, with nothing left over.
  ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(ReplaceFileAtomically(path, "newer", error));
  EXPECT_EQ(error, ERROR_ACCESS_DENIED);
  EXPECT_EQ(test::ReadFile(path), "new");
  EXPECT_EQ(EntriesIn(dir.path()), 1u);
  ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_FALSE(ReplaceFileAtomically(dir.file("missing\\f.ini"), "x", error));
}

// The new content of a file only its owner may read is never readable by
// others: the temporary file carries the original's access list from the
// moment it exists, seen here by a second thread while the write goes on.
TEST(Win32Files, ReplacementIsAsPrivateAsTheOriginalWhileItIsWritten) {
  test::TempDir dir;
  std::string path = dir.file("secret.ini");
  test::WriteFile(path, "old");
  ASSERT_TRUE(test::LetOnlyThisUserIn(path));
  const std::string original = test::AccessListText(path);
  test::WriteFile(dir.file("plain.ini"), "");
  ASSERT_NE(original, test::AccessListText(dir.file("plain.ini"))) << "a new file would be as private";

  std::atomic<bool> done{false};
  std::thread writer([&] {
    int error = 0;
    EXPECT_TRUE(ReplaceFileAtomically(path, std::string(64 << 20, 'x'), error)) << error;
    done = true;
  });
  // Looked at once, early: a reader holding the file as it is renamed into
  // place would make the replacement fail.
  std::string seen;
  while (!done && seen.empty()) {
    WIN32_FIND_DATAA found{};
    HANDLE find = ::FindFirstFileA(dir.file(".tav32-*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) continue;
    ::FindClose(find);
    seen = test::AccessListText(dir.file(found.cFileName));
  }
  writer.join();
  EXPECT_EQ(seen, original) << "the temporary file was never seen, or had another access list";
  EXPECT_EQ(test::AccessListText(path), original);
}

// Two updates of files in one directory, whatever case their paths are
// written in, never overlap.
TEST(Win32Files, UpdateLockSerialisesOneDirectory) {
  test::TempDir dir;
  std::atomic<int> inside{0};
  std::atomic<bool> overlapped{false};
  auto update = [&](const std::string& path) {
    for (int i = 0; i < 20; ++i) {
      UpdateLock lock(path);
      ASSERT_TRUE(lock.Held());
      if (inside.fetch_add(1) != 0) overlapped = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      inside.fetch_sub(1);
    }
  };
  std::string upper = dir.path();
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::thread first(update, dir.file("a.ini"));
  std::thread second(update, upper + "\\B.INI");
  first.join();
  second.join();
  EXPECT_FALSE(overlapped);
}

TEST(Win32Children, ExitCodeOfTheCommandDecidesThroughTheSpawnProgram) {
  test::Machine m;
  EXPECT_TRUE(RunExternalCommand(m.st, "cmd /c echo out& exit 31"));
  EXPECT_EQ(m.ui.output, "out\n");
  EXPECT_EQ(m.st.errorCode, 0);
  EXPECT_FALSE(RunExternalCommand(m.st, "cmd /c exit 32"));
  EXPECT_EQ(m.st.errorCode, 3);
  // A command that cannot be started is the spawn program's failure.
  m.st.errorCode = 0;
  m.ui.output.clear();
  EXPECT_FALSE(RunExternalCommand(m.st, "no-such-program-tav32 x"));
  EXPECT_EQ(m.st.errorCode, 3);
  EXPECT_EQ(m.ui.output.rfind("CreateProcess failed!\nReason: ", 0), 0u) << m.ui.output;
}

TEST(Win32Children, ShellUsesComspecElseCmdWithSlashC) {
  test::Machine m;
  ::unsetenv("COMSPEC");
  EXPECT_EQ(ShellCommand("dir /w").line, "cmd.exe /C dir /w");
  ::setenv("COMSPEC", "C:\\windows\\system32\\cmd.exe", 1);
  EXPECT_EQ(ShellCommand("x").line, "C:\\windows\\system32\\cmd.exe /C x");
  ArgumentArray args{Argument::Text("echo %COMSPEC%")};
  EXPECT_TRUE(Shell(m.st, &args));
  EXPECT_EQ(m.ui.output, "C:\\windows\\system32\\cmd.exe\n");
}

TEST(Win32Children, InputReachesTheChildAndClosingItEndsTheRead) {
  ChildProcess child;
  int error = 0;
  ASSERT_TRUE(StartChild(ChildCommand{"cmd /c set /p LINE=& call echo got %LINE%", {}}, child, error));
  for (char c : std::string("abc\r\n")) ASSERT_TRUE(WriteChildInput(child, c));
  CloseChildInput(child);
  std::string output;
  char buffer[512];
  for (int i = 0; i < 100; ++i) {
    long n = ReadChildOutput(child, buffer, sizeof buffer);
    if (n == 0) break;
    if (n > 0) output.append(buffer, static_cast<size_t>(n));
  }
  CloseChildOutput(child);
  EXPECT_EQ(WaitChild(child), 0);
  EXPECT_NE(output.find("got abc"), std::string::npos) << output;
}

// An abort ends the spawn program, and the command it started goes with it:
// the output pipe breaks instead of staying open for a command that runs on.
TEST(Win32Children, TerminatingEndsTheCommandTheSpawnProgramStarted) {
  ChildProcess child;
  int error = 0;
  ASSERT_TRUE(StartChild(ChildCommand{"cmd /c set /p LINE=", {}}, child, error));
  char buffer[512];
  EXPECT_EQ(ReadChildOutput(child, buffer, sizeof buffer), -1);
  TerminateChild(child);
  long n = -1;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (n != 0 && std::chrono::steady_clock::now() < deadline) n = ReadChildOutput(child, buffer, sizeof buffer);
  EXPECT_EQ(n, 0);
  CloseChildInput(child);
  CloseChildOutput(child);
}

}  // namespace
}  // namespace tav::platform
