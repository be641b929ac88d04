// Anyone who may read a destination directory can take an exclusive lock on
// it; a synchronisation must still end, with its copies made.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "test_support.h"

namespace tav {
namespace {

TEST(SyncStaging, AnotherProcesssExclusiveLockOnTheDestinationDoesNotStallTheCopy) {
  test::TempDir dir;
  ASSERT_EQ(::mkdir(dir.file("src").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(dir.file("dst").c_str(), 0755), 0);
  test::WriteFile(dir.file("src/a.txt"), "new");
  test::WriteFile(dir.file("p.tav"), "SynchronizeDir src dst /A\n");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t holder = ::fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    int fd = ::open(dir.file("dst").c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0 || ::flock(fd, LOCK_EX) != 0) ::_exit(1);
    (void)!::write(ready[1], "x", 1);
    ::pause();
    ::_exit(0);
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  std::string command = "cd '" + dir.path() + "' && WINDIR='" + dir.file("win") + "' timeout 60 '" + TAV32_BINARY +
                        "' p.tav -LOG run.log >/dev/null 2>&1 </dev/null";
  int status = std::system(command.c_str());
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "124 means the run waited for the lock until timeout ended it";
  EXPECT_EQ(test::ReadFile(dir.file("dst/a.txt")), "new") << test::ReadFile(dir.file("run.log"));
}

}  // namespace
}  // namespace tav
