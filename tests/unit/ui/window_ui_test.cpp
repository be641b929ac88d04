// The interpreter's side of the windows, against windows that only record
// what they are told: the abort question holds the run, the answers, and
// where typed characters go.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "ui/window_ui.h"

namespace tav {
namespace {

using namespace std::chrono_literals;

struct RecordedWindows : Gui {
  std::mutex mutex;
  std::vector<std::pair<int, std::string>> texts;
  std::vector<std::string> output;
  std::atomic<bool> closed{false};

  void Show(const GuiOptions&) override {}
  void SetControlText(int control, std::string_view text) override {
    std::lock_guard lock(mutex);
    texts.emplace_back(control, text);
  }
  void EnableControl(int, bool) override {}
  void SetOutputTitle(std::string_view) override {}
  void AppendOutput(std::string_view text) override {
    std::lock_guard lock(mutex);
    output.emplace_back(text);
  }
  void MessageBox(std::string_view, std::string_view) override {}
  bool AskRetry(std::string_view, std::string_view) override { return false; }
  void Close() override { closed = true; }
};

class WindowUiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    st.options.output = true;
    ASSERT_TRUE(ui.Open([this](GuiEvents&) {
      auto gui = std::make_unique<RecordedWindows>();
      windows = gui.get();
      return gui;
    }));
  }

  InterpreterState st;
  WindowUi ui{st};
  RecordedWindows* windows = nullptr;
};

TEST(WindowUiOpen, NoWindowsMeansNoWindowUi) {
  InterpreterState st;
  WindowUi ui(st);
  EXPECT_FALSE(ui.Open([](GuiEvents&) { return nullptr; }));
}

TEST_F(WindowUiTest, TheQuestionHoldsTheRunUntilAnsweredNo) {
  ui.AbortAsked();
  auto call = std::async(std::launch::async, [this] { ui.SetControlText(kLineNumber, "7"); });
  EXPECT_EQ(call.wait_for(100ms), std::future_status::timeout);
  ui.AbortAnswered(false);
  call.get();
  EXPECT_FALSE(st.stopRequested);
  EXPECT_FALSE(st.userAbort);
  ASSERT_EQ(windows->texts.size(), 1u);
  EXPECT_EQ(windows->texts[0].second, "7");
}

TEST_F(WindowUiTest, YesStopsTheRunAndKeepsTheStatusLine) {
  ui.AbortAsked();
  auto call = std::async(std::launch::async, [this] { ui.ShowOutput("held\n"); });
  ui.AbortAnswered(true);
  call.get();
  EXPECT_TRUE(st.stopRequested);
  EXPECT_TRUE(st.userAbort);
  // The abort's own status text stays; other controls still change.
  ui.SetControlText(kStatusLine, "Processing command Echo.");
  ui.SetControlText(kLineNumber, "8");
  ASSERT_EQ(windows->texts.size(), 1u);
  EXPECT_EQ(windows->texts[0].first, kLineNumber);
  EXPECT_EQ(windows->output, std::vector<std::string>{"held\n"});
}

TEST_F(WindowUiTest, TypedKeysEndAWaitElseGoToTheCommandElseNowhere) {
  // Nothing waits and no command runs: the key is dropped.
  ui.KeyTyped('x');
  EXPECT_EQ(ui.PollKey(0), -1);

  auto wait = std::async(std::launch::async, [this] { ui.WaitForKey(); });
  while (wait.wait_for(5ms) == std::future_status::timeout) ui.KeyTyped('k');
  wait.get();

  ui.ForwardKeysToCommand(true);
  for (int c : std::vector<int>{'d', 'i', 'r', 13, 8, 3}) ui.KeyTyped(c);
  std::vector<int> sent;
  for (int c; (c = ui.PollKey(0)) >= 0;) sent.push_back(c);
  EXPECT_EQ(sent, (std::vector<int>{'d', 'i', 'r', 13, 8, 3}));
  ui.ForwardKeysToCommand(false);
  ui.KeyTyped('z');
  EXPECT_EQ(ui.PollKey(0), -1);
}

TEST_F(WindowUiTest, ClosingOrStoppingReleasesAKeyWait) {
  auto wait = std::async(std::launch::async, [this] { ui.WaitForKey(); });
  EXPECT_EQ(wait.wait_for(50ms), std::future_status::timeout);
  ui.CloseWindows();
  wait.get();
  EXPECT_TRUE(windows->closed);

  InterpreterState other;
  other.options.output = true;
  WindowUi second(other);
  ASSERT_TRUE(second.Open([](GuiEvents&) { return std::make_unique<RecordedWindows>(); }));
  auto poll = std::async(std::launch::async, [&] { return second.PollKey(-1); });
  other.stopRequested = true;
  // A stop is noticed at the next wake-up; a typed key gives one.
  while (poll.wait_for(5ms) == std::future_status::timeout) second.AbortAnswered(false);
  EXPECT_EQ(poll.get(), -1);
}

TEST_F(WindowUiTest, KeysOnlyWithAnOutputWindow) {
  st.options.quiet = true;
  EXPECT_FALSE(ui.HasOutputWindow());
  EXPECT_FALSE(ui.CanTypeKeys());
  // No output window: a key wait returns at once.
  ui.WaitForKey();
}

}  // namespace
}  // namespace tav
