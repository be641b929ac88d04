// External commands: splitting command lines and running children.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <mutex>

#include "core/messages.h"
#include "external/external.h"
#include "run/run.h"
#include "test_support.h"
#include "ui/typed_keys.h"

namespace tav {
namespace {

using Strings = std::vector<std::string>;

TEST(SplitCommandLine, FollowsWindowsArgumentRules) {
  EXPECT_EQ(SplitCommandLine("prog a  \"b c\" d\"e f\"g"), (Strings{"prog", "a", "b c", "de fg"}));
  EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\x.exe\" \\\\server\\share"),
            (Strings{"C:\\Program Files\\x.exe", "\\\\server\\share"}));
  // 2n backslashes before a quote give n and the quote groups; 2n+1 give n
  // and a literal quote.
  EXPECT_EQ(SplitCommandLine("p a\\\\\"b c\" a\\\"b"), (Strings{"p", "a\\b c", "a\"b"}));
  EXPECT_EQ(SplitCommandLine("p \"a\"\"b\""), (Strings{"p", "a\"b"}));
  EXPECT_EQ(SplitCommandLine("p \"\""), (Strings{"p", ""}));
  EXPECT_EQ(SplitCommandLine("   "), (Strings{}));
}

TEST(JoinCommandLine, SplitsBackIntoTheSameArguments) {
  for (const Strings& argv : {Strings{"/bin/sh", "-c", "echo \"$0\" | tr a-z A-Z"},
                              Strings{"C:\\Program Files\\x.exe", "a\\", "b c\\", "\\\"q\\\"", "", "\t"}}) {
    EXPECT_EQ(SplitCommandLine(JoinCommandLine(argv)), argv) << JoinCommandLine(argv);
  }
  EXPECT_EQ(JoinCommandLine({"p", "a", "b c"}), "p a \"b c\"");
}

// Children run through the POSIX shell and its tools; the Windows build has
// its own tests of children started through the spawn program.
#ifndef _WIN32
TEST(RunExternalCommand, OutputBecomesMessagesAndExitCodeDecides) {
  test::Machine m;
  EXPECT_TRUE(RunExternalArgs(m.st, {"/bin/sh", "-c", "echo out; echo err >&2; exit 31"}));
  EXPECT_EQ(m.ui.output, "out\nerr\n");
  EXPECT_EQ(m.st.errorCode, 0);
  EXPECT_FALSE(RunExternalArgs(m.st, {"/bin/sh", "-c", "exit 32"}));
  EXPECT_EQ(m.st.errorCode, 3);
}

TEST(RunExternalCommand, LongOutputArrivesWholeAndInOrder) {
  test::Machine m;
  EXPECT_TRUE(RunExternalCommand(m.st, "seq 1 3000"));
  std::string expected;
  for (int i = 1; i <= 3000; ++i) expected += std::to_string(i) + "\n";
  EXPECT_EQ(m.ui.output, expected);
}

TEST(RunExternalCommand, ChildReadsEndOfFileAndSignalsCountAsFailure) {
  test::Machine m;
  EXPECT_TRUE(RunExternalCommand(m.st, "cat"));
  EXPECT_FALSE(RunExternalArgs(m.st, {"/bin/sh", "-c", "kill -TERM $$"}));
  EXPECT_EQ(m.st.errorCode, 3);
}

// A caller may start the interpreter with child signals ignored, which makes
// the system reap children unasked; their exit codes must still decide.
TEST(RunExternalCommand, ExitCodeDecidesAlsoWhenChildSignalsWereIgnored) {
  struct sigaction ignore {}, saved {};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(::sigaction(SIGCHLD, &ignore, &saved), 0);
  test::Machine m;
  bool failing = RunExternalArgs(m.st, {"/bin/sh", "-c", "exit 40"});
  int code = m.st.errorCode;
  m.st.errorCode = 0;
  bool succeeding = RunExternalArgs(m.st, {"/bin/sh", "-c", "exit 5"});
  ::sigaction(SIGCHLD, &saved, nullptr);
  EXPECT_FALSE(failing);
  EXPECT_EQ(code, 3);
  EXPECT_TRUE(succeeding);
  EXPECT_EQ(m.st.errorCode, 0);
}

TEST(RunExternalCommand, ChildGetsOnlyItsThreeStandardDescriptors) {
  test::TempDir dir;
  int leaked = ::open(dir.file("x").c_str(), O_WRONLY | O_CREAT, 0600);  // no close-on-exec
  ASSERT_GE(leaked, 3);
  test::Machine m;
  EXPECT_TRUE(RunExternalArgs(m.st, {"/bin/sh", "-c", "ls /proc/$$/fd"}));
  ::close(leaked);
  EXPECT_EQ(m.ui.output, "0\n1\n2\n");
}

TEST(RunExternalCommand, ProgramThatCannotStartIsReported) {
  test::Machine m;
  m.st.lineNumber = 7;
  EXPECT_FALSE(RunExternalCommand(m.st, "no-such-program-tav32 x"));
  std::string red(1, kErrorMarker);
  EXPECT_EQ(m.ui.output, red + "CreateProcess failed!\n" + red + "Reason: No such file or directory\n\n" + red +
                             "TAV32 Error in Line 7: File access error.\n");
}

TEST(Shell, RunsTheTextThroughComspec) {
  test::Machine m;
  ::unsetenv("COMSPEC");
  ArgumentArray args{Argument::Text("echo \"$0\" | tr a-z A-Z")};
  EXPECT_TRUE(Shell(m.st, &args));
  EXPECT_EQ(m.ui.output, "/BIN/SH\n");
  EXPECT_EQ(m.ui.texts[100], "Processing SHELL command.");
  EXPECT_EQ(m.ui.titles.back(), "TAV32 Output Window");
  EXPECT_TRUE(Shell(m.st, nullptr));
}

// A command's keys are kept from before its title shows it (when the user
// sees it start and types) until it has ended; then keys go nowhere again.
TEST(Shell, KeysAreKeptForTheCommandOnceItsTitleShows) {
  struct Ui : test::RecordingUi {
    bool CanTypeKeys() const override { return true; }
    void ForwardKeysToCommand(bool on) override { forwarding = on; }
    void SetOutputTitle(std::string_view title) override { keptAtTitle.push_back(forwarding); titles.emplace_back(title); }
    bool forwarding = false;
    std::vector<bool> keptAtTitle;
  };
  for (const char* program : {"Shell true", "true"}) {
    test::Machine m(program);
    Ui ui;
    m.st.ui = &ui;
    EXPECT_EQ(RunProgram(m.st), 0);
    EXPECT_EQ(ui.keptAtTitle.front(), true) << program;
    EXPECT_FALSE(ui.forwarding);
  }
  // Switched on again inside, the queue keeps the keys already typed.
  TypedKeys keys;
  keys.ForwardToCommand(true);
  EXPECT_TRUE(keys.Offer('a'));
  keys.ForwardToCommand(true);
  std::mutex mutex;
  std::condition_variable changed;
  TypedKeys::Lock lock(mutex);
  EXPECT_EQ(keys.PollKey(lock, changed, 0, 0, [] { return false; }), 'a');
}
#endif

}  // namespace
}  // namespace tav
