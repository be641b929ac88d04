// File updates under attack by another local user: each attack runs in a
// real second process, as a second user (made here by switching a child to
// unused user and group numbers), so these need root and skip without it.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "core/messages.h"
#include "core/state.h"
#include "ini/ini.h"
#include "ini/profile.h"
#include "platform/fs.h"
#include "test_support.h"

namespace tav::test {
namespace {

namespace fs = std::filesystem;
using namespace tav::platform;

constexpr uid_t kAlice = 61001;
constexpr uid_t kBob = 61002;
constexpr gid_t kShared = 61003;
constexpr gid_t kBobGroup = 61004;
constexpr uid_t kNobody = 65534;

// Runs body in a child process as the user, with the primary and extra
// groups; returns its exit code (body's result).
pid_t StartAs(uid_t uid, gid_t gid, std::vector<gid_t> groups, const std::function<int()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgroups(groups.size(), groups.data()) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) ::_exit(99);
    ::_exit(body());
  }
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

int RunAs(uid_t uid, gid_t gid, std::vector<gid_t> groups, const std::function<int()>& body) {
  return Wait(StartAs(uid, gid, std::move(groups), body));
}

class UpdateSecurity : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to run the attacks as a second user";
    ::chmod(dir_.path().c_str(), 0755);
  }
  std::string Put(const std::string& name, const std::string& text, mode_t mode, uid_t uid = 0, gid_t gid = 0) {
    std::string path = dir_.file(name);
    WriteFile(path, text);
    EXPECT_EQ(::chown(path.c_str(), uid, gid), 0);
    EXPECT_EQ(::chmod(path.c_str(), mode), 0);
    return path;
  }
  static struct stat Status(const std::string& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info;
  }
  TempDir dir_;
};

// Another user watches the directory and opens every new file at once: the
// temporary file of a 0600 file must refuse it from its creation on.
TEST_F(UpdateSecurity, ATemporaryFileIsPrivateFromItsFirstByte) {
  const std::string path = Put("secret.ini", "[s]\nk=0\n", 0600);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t spy = StartAs(kNobody, kNobody, {}, [&] {
    int watch = ::inotify_init();
    ::inotify_add_watch(watch, dir_.path().c_str(), IN_CREATE);
    [[maybe_unused]] ssize_t n = ::write(ready[1], "r", 1);
    int opened = 0;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
      ssize_t got = ::read(watch, buffer, sizeof buffer);
      for (char* p = buffer; got > 0 && p < buffer + got;) {
        auto* event = reinterpret_cast<inotify_event*>(p);
        int fd = event->len > 0 ? ::open((dir_.path() + "/" + event->name).c_str(), O_RDONLY) : -1;
        if (fd >= 0 && ++opened) ::close(fd);
        p += sizeof(inotify_event) + event->len;
      }
      if (opened > 0) return 1;
    }
  });
  char c;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  int error = 0;
  for (int i = 0; i < 40; ++i) ASSERT_TRUE(ReplaceFileAtomically(path, "[s]\nk=" + std::to_string(i) + "\n", error));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ::kill(spy, SIGKILL);
  EXPECT_EQ(Wait(spy), 100 + SIGKILL) << "another user opened a temporary file";
  EXPECT_EQ(Status(path).st_mode & 07777, 0600u);
}

// A member of the file's group edits it: the file stays alice's, in the
// shared group, with its mode, ACL and extended attributes; a hard-linked
// file is updated in place, so every name sees the new text.
TEST_F(UpdateSecurity, AnUpdateKeepsOwnerGroupModeAclAttributesAndLinks) {
  ASSERT_EQ(::chown(dir_.path().c_str(), 0, kShared), 0);
  ::chmod(dir_.path().c_str(), 0775);
  const std::string path = Put("app.ini", "[s]\nk=1\n", 0660, kAlice, kShared);
  ASSERT_EQ(::setxattr(path.c_str(), "user.origin", "kept", 4, 0), 0);
  ASSERT_EQ(std::system(("setfacl -m u:65534:r " + path).c_str()), 0);
  const std::string acl = "getfacl -cp " + path + " > " + dir_.file("acl");
  ASSERT_EQ(std::system((acl + ".before").c_str()), 0);
  EXPECT_EQ(RunAs(kBob, kBobGroup, {kShared}, [&] { return ini::WriteProfileString(path, "s", "k", "2") ? 0 : 1; }), 0);
  struct stat info = Status(path);
  EXPECT_EQ(info.st_uid, kAlice);
  EXPECT_EQ(info.st_gid, kShared);
  EXPECT_EQ(info.st_mode & 07777, 0660u);
  EXPECT_EQ(ReadFile(path), "[s]\nk=2\n");
  char value[16] = {};
  EXPECT_EQ(::getxattr(path.c_str(), "user.origin", value, sizeof value), 4);
  EXPECT_STREQ(value, "kept");
  ASSERT_EQ(std::system((acl + ".after").c_str()), 0);
  EXPECT_EQ(ReadFile(dir_.file("acl.after")), ReadFile(dir_.file("acl.before")));

  // As root, the same keeps alice's file by replacing it.
  ASSERT_TRUE(ini::WriteProfileString(path, "s", "k", "3"));
  EXPECT_EQ(Status(path).st_uid, kAlice);
  EXPECT_EQ(::getxattr(path.c_str(), "user.origin", value, sizeof value), 4);

  fs::create_hard_link(path, dir_.file("other-name.ini"));
  ASSERT_TRUE(ini::WriteProfileString(path, "s", "k", "4"));
  EXPECT_EQ(ReadFile(dir_.file("other-name.ini")), "[s]\nk=4\n");
  EXPECT_EQ(Status(path).st_nlink, 2u);
  EXPECT_FALSE(fs::exists(dir_.file(".app.ini.tav32~old")));
}

// An update in place killed halfway left its backup: the next lock copies it
// back. A backup that is not the writer's own is never trusted.
TEST_F(UpdateSecurity, TheNextLockRestoresTheBackupOfAKilledUpdateInPlace) {
  const std::string path = Put("app.ini", "[s]\nk=half-writ", 0644);
  struct stat info = Status(path);
  const std::string marker =
      "TAV32 backup of file " + std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + "\n";
  const std::string backup = Put(".app.ini.tav32~old", marker + "[s]\nk=old\n", 0600);
  { UpdateLock lock(path); }
  EXPECT_EQ(ReadFile(path), "[s]\nk=old\n");
  EXPECT_FALSE(fs::exists(backup));

  Put(".app.ini.tav32~old", marker + "[s]\nk=planted\n", 0600, kNobody, kNobody);
  { UpdateLock lock(path); }
  EXPECT_EQ(ReadFile(path), "[s]\nk=old\n");
  EXPECT_TRUE(fs::exists(backup));
}

// In a directory that its writers may enter and write but not read (0733)
// the lock still works: two processes of a second user lose no increment,
// and a leftover temporary file of that user goes without a listing.
TEST_F(UpdateSecurity, TwoWritersInAnUnreadableDirectoryLoseNoUpdate) {
  ::chmod(dir_.path().c_str(), 0733);
  const std::string path = Put("count.ini", "[s]\nn=0\n", 0644, kBob, kBobGroup);
  Put(".count.ini.tav32~new", "leftover", 0600, kBob, kBobGroup);
  constexpr int kEach = 60;
  auto counter = [&] {
    for (int i = 0; i < kEach; ++i) {
      UpdateLock lock(path);
      std::string value;
      if (!lock.Held() || !ini::ReadProfileString(path, "s", "n", value)) return 1;
      if (!ini::WriteProfileString(path, "s", "n", std::to_string(std::stoi(value) + 1), &lock)) return 2;
    }
    return 0;
  };
  pid_t first = StartAs(kBob, kBobGroup, {}, counter);
  pid_t second = StartAs(kBob, kBobGroup, {}, counter);
  EXPECT_EQ(Wait(first), 0);
  EXPECT_EQ(Wait(second), 0);
  EXPECT_EQ(ReadFile(path), "[s]\nn=" + std::to_string(2 * kEach) + "\n");
  EXPECT_FALSE(fs::exists(dir_.file(".count.ini.tav32~new")));
  EXPECT_EQ(Status(path).st_uid, kBob);
}

// A user who may write the INI file but not its directory: the statement
// fails with error 3 and says why, instead of doing nothing silently.
TEST_F(UpdateSecurity, AWriteThatCannotBeMadeIsReported) {
  const std::string path = Put("app.ini", "[s]\nk=1\n", 0666);
  const std::string log = dir_.file("log");
  ::mkdir(log.c_str(), 0777);
  ::chmod(log.c_str(), 0777);
  int code = RunAs(kBob, kBobGroup, {}, [&] {
    InterpreterState st;
    st.options.log = true;
    st.options.logPath = log + "/run.log";
    ArgumentArray args{Argument::Text(path), Argument::Text("s"), Argument::Text("k=2")};
    bool ok = ini::IniChangeLine(st, &args);
    return ok ? 0 : st.errorCode;
  });
  EXPECT_EQ(code, kErrFileAccess);
  EXPECT_NE(ReadFile(log + "/run.log").find("app.ini could not be updated: Permission denied"), std::string::npos)
      << ReadFile(log + "/run.log");
  EXPECT_EQ(ReadFile(path), "[s]\nk=1\n");
}

// Only a writer of the file can hold its lock: another user who holds a
// lock on the directory stalls nothing and cannot take the file's lock; a
// real holder is waited for, the wait says so, and a stop ends it at once.
TEST_F(UpdateSecurity, OnlyWritersCanHoldTheLockAndAWaitEndsWhenStopped) {
  const std::string path = Put("app.ini", "[s]\n", 0644);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t holder = StartAs(kNobody, kNobody, {}, [&] {
    int fd = ::open(dir_.path().c_str(), O_RDONLY | O_DIRECTORY);
    bool locked = fd >= 0 && ::flock(fd, LOCK_EX) == 0;
    UpdateLock theirs(path);
    [[maybe_unused]] ssize_t n = ::write(ready[1], theirs.Held() ? "H" : (locked ? "L" : "-"), 1);
    ::pause();
    return 0;
  });
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  EXPECT_EQ(c, 'L');
  std::atomic<bool> stop{false};
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::seconds(2));
    stop = true;
  });
  {
    UpdateLock mine(path, {&stop, {}});
    EXPECT_TRUE(mine.Held()) << "a reader of the directory stalled the update";
  }
  stopper.join();
  ::kill(holder, SIGKILL);
  Wait(holder);

  pid_t writer = ::fork();
  if (writer == 0) {
    UpdateLock theirs(path);
    [[maybe_unused]] ssize_t n = ::write(ready[1], theirs.Held() ? "H" : "-", 1);
    ::pause();
    ::_exit(0);
  }
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'H');
  stop = false;
  std::string told;
  std::thread later([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    stop = true;
  });
  auto start = std::chrono::steady_clock::now();
  UpdateLock waited(path, {&stop, [&](const std::string& what) { told = what; }, std::chrono::milliseconds(200)});
  auto took = std::chrono::steady_clock::now() - start;
  later.join();
  EXPECT_FALSE(waited.Held());
  EXPECT_EQ(waited.Error(), EINTR);
  EXPECT_EQ(told, path);
  EXPECT_LT(took, std::chrono::seconds(2));
  ::kill(writer, SIGKILL);
  Wait(writer);
}

// SIGTERM ends an interpreter that waits for a lock at once, and the
// statement it waited for does not run.
TEST_F(UpdateSecurity, SigtermEndsAWaitForALockAndTheStatementDoesNotRun) {
  const std::string path = Put("app.ini", "[s]\nk=1\n", 0644);
  WriteFile(dir_.file("wait.tav"), "IniChangeLine app.ini [s] k=2\n");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t holder = ::fork();
  if (holder == 0) {
    UpdateLock theirs(path);
    [[maybe_unused]] ssize_t n = ::write(ready[1], "H", 1);
    ::pause();
    ::_exit(0);
  }
  char c;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  pid_t run = ::fork();
  if (run == 0) {
    int null = ::open("/dev/null", O_RDWR);
    for (int fd = 0; fd < 3; ++fd) ::dup2(null, fd);
    if (::chdir(dir_.path().c_str()) != 0) ::_exit(98);
    ::execl(TAV32_BINARY, TAV32_BINARY, "wait.tav", "-LOG run.log", static_cast<char*>(nullptr));
    ::_exit(99);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  ::kill(run, SIGTERM);
  auto start = std::chrono::steady_clock::now();
  int status = 0;
  while (::waitpid(run, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  bool ended = std::chrono::steady_clock::now() - start < std::chrono::seconds(2);
  ::kill(holder, SIGKILL);
  Wait(holder);
  if (!ended) {
    ::kill(run, SIGKILL);
    Wait(run);
  }
  EXPECT_TRUE(ended) << "the wait went on after SIGTERM";
  EXPECT_EQ(ReadFile(path), "[s]\nk=1\n");
}

// A user's own file under a reserved name, in a shared directory, is neither
// removed nor written; the update goes on in place.
TEST_F(UpdateSecurity, AnotherUsersFileUnderAReservedNameIsLeftAlone) {
  ::chmod(dir_.path().c_str(), 01777);
  const std::string path = Put("app.ini", "[s]\nk=1\n", 0644);
  const std::string theirs = Put(".app.ini.tav32~new", "mine", 0644, kNobody, kNobody);
  const std::string lookalike = Put(".app.ini.tav32~abcdefgh", "mine too", 0644);
  ASSERT_TRUE(ini::WriteProfileString(path, "s", "k", "2"));
  EXPECT_EQ(ReadFile(path), "[s]\nk=2\n");
  EXPECT_EQ(ReadFile(theirs), "mine");
  EXPECT_EQ(ReadFile(lookalike), "mine too");
}

}  // namespace
}  // namespace tav::test
