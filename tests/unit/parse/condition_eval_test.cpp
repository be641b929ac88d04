// Evaluation of conditions that need no registry: text comparisons, Exist and
// Equal on real files, negation, and the byte comparison.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/messages.h"
#include "parse/condition.h"
#include "platform/fs.h"
#include "test_support.h"

namespace tav {
namespace {

namespace fs = std::filesystem;

ConditionResult Eval(int negate, int code, const std::string& a, const std::string& b = "") {
  InterpreterState st;
  ArgumentArray args{Argument::Number(negate), Argument::Number(code), Argument::Text(a)};
  if (code != kCondExist) args.push_back(Argument::Text(b));
  return EvaluateCondition(st, args);
}

bool Holds(int code, const std::string& a, const std::string& b = "") {
  return Eval(0, code, a, b) == ConditionResult::kTrue;
}

TEST(ConditionText, ComparesWithoutCaseAndWithoutNumbers) {
  EXPECT_TRUE(Holds(kCondEqual, "abc", "ABC"));
  EXPECT_TRUE(Holds(kCondLess, "10", "9"));
  EXPECT_FALSE(Holds(kCondGreater, "10", "9"));
  EXPECT_TRUE(Holds(kCondLessEqual, "abc", "ABD"));
  EXPECT_TRUE(Holds(kCondGreaterEqual, "b", "A"));
  EXPECT_TRUE(Holds(kCondNotEqual, "a", "a "));
  EXPECT_TRUE(Holds(kCondLess, "", "a"));
  // Bytes beyond ASCII compare by their unsigned value.
  EXPECT_TRUE(Holds(kCondGreater, "\xE9", "z"));
}

TEST(ConditionText, NegationInvertsTheResult) {
  EXPECT_EQ(Eval(1, kCondEqual, "a", "A"), ConditionResult::kFalse);
  EXPECT_EQ(Eval(1, kCondEqual, "a", "b"), ConditionResult::kTrue);
}

class ConditionFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = fs::current_path();
    fs::current_path(temp_.path());
    dir_ = temp_.path();
  }
  void TearDown() override { fs::current_path(saved_); }
  static void Write(const std::string& name, const std::string& data) { test::WriteFile(name, data); }
  // Sets the modification time to seconds after 2001-09-09.
  static void SetTime(const std::string& name, long seconds) {
    std::chrono::sys_seconds base{std::chrono::seconds(1'000'000'000)};
    fs::last_write_time(name, std::chrono::file_clock::from_sys(base + std::chrono::seconds(seconds)));
  }

  test::TempDir temp_;
  fs::path dir_;
  fs::path saved_;
};

TEST_F(ConditionFiles, ExistMatchesFilesAndDirectoriesWithWildcards) {
  Write("Setup.INI", "x");
  fs::create_directory("sub");
  Write("sub/data.bin", "");
  EXPECT_TRUE(Holds(kCondExist, "Setup.INI"));
  EXPECT_TRUE(Holds(kCondExist, "sub"));
  EXPECT_TRUE(Holds(kCondExist, "sub\\data.bin"));
  EXPECT_TRUE(Holds(kCondExist, "setup.*"));
  EXPECT_TRUE(Holds(kCondExist, "S?tup.ini"));
  EXPECT_TRUE(Holds(kCondExist, "sub\\*"));
  EXPECT_TRUE(Holds(kCondExist, (dir_ / "sub" / "*.BIN").string()));
  EXPECT_FALSE(Holds(kCondExist, "missing.txt"));
  EXPECT_FALSE(Holds(kCondExist, "sub\\*.txt"));
  EXPECT_FALSE(Holds(kCondExist, "nodir\\*"));
  EXPECT_FALSE(Holds(kCondExist, ""));
  EXPECT_EQ(Eval(1, kCondExist, "missing.txt"), ConditionResult::kTrue);
}

TEST_F(ConditionFiles, WildcardsDoNotTakeExponentialTime) {
  Write(std::string(60, 'a'), "");
  EXPECT_FALSE(Holds(kCondExist, "*a*a*a*a*a*a*a*a*a*a*a*a*a*b"));
  EXPECT_TRUE(Holds(kCondExist, "*a*a*a*a*a*a*a*a*a*a*a*a*a*a"));
}

TEST_F(ConditionFiles, EqualComparesSizeAndWriteTimeWithTolerance) {
  Write("a.txt", "same");
  Write("b.txt", "SAME");
  Write("c.txt", "longer");
  SetTime("a.txt", 1000);
  SetTime("b.txt", 1000 + 3600 + 30);
  SetTime("c.txt", 1000);
  EXPECT_TRUE(Holds(kCondFilesEqual, "a.txt", "b.txt"));
  EXPECT_TRUE(Holds(kCondFilesEqual, "a.txt", (dir_ / "b.txt").string()));
  EXPECT_TRUE(Holds(kCondFilesEqual, "a.*", "b.*"));
  EXPECT_FALSE(Holds(kCondFilesEqual, "a.txt", "c.txt"));
  EXPECT_FALSE(Holds(kCondFilesEqual, "a.txt", "missing.txt"));
  EXPECT_FALSE(Holds(kCondFilesEqual, "missing.txt", "a.txt"));
  // An empty name names no file, as it does for Exist, not the current directory.
  EXPECT_FALSE(Holds(kCondFilesEqual, "", ""));
  EXPECT_FALSE(Holds(kCondFilesEqual, " ", "."));
  SetTime("b.txt", 1000 + 31);
  EXPECT_FALSE(Holds(kCondFilesEqual, "a.txt", "b.txt"));
}

std::vector<uint8_t> B(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

TEST(CompareBytes, EqualityNeedsSameLengthAndBytes) {
  EXPECT_TRUE(CompareBytes(kCondEqual, B({1, 2}), B({1, 2})));
  EXPECT_FALSE(CompareBytes(kCondEqual, B({1, 2}), B({1, 2, 0})));
  EXPECT_TRUE(CompareBytes(kCondNotEqual, B({1}), B({2})));
  EXPECT_TRUE(CompareBytes(kCondEqual, B({}), B({})));
}

TEST(CompareBytes, OrderingOverTheWrittenOrStoredLength) {
  // "<" and "<=" look at the written image's length only.
  EXPECT_TRUE(CompareBytes(kCondLessEqual, B({1}), B({1, 9})));
  EXPECT_FALSE(CompareBytes(kCondLess, B({1}), B({1, 9})));
  EXPECT_TRUE(CompareBytes(kCondLess, B({1, 0}), B({1, 9})));
  // ">" and ">=" look at the stored data's length only.
  EXPECT_TRUE(CompareBytes(kCondGreaterEqual, B({1, 9}), B({1})));
  EXPECT_FALSE(CompareBytes(kCondGreater, B({1, 9}), B({1})));
  // Bytes are unsigned.
  EXPECT_TRUE(CompareBytes(kCondGreater, B({0xFF}), B({0x01})));
}

TEST(CompareBytes, AnOperandThatEndsFirstSortsFirst) {
  // Written longer than stored under "<": the stored data ends first.
  EXPECT_FALSE(CompareBytes(kCondLessEqual, B({1, 2}), B({1})));
  EXPECT_TRUE(CompareBytes(kCondLessEqual, B({0, 2}), B({1})));
  // Written shorter than stored under ">": the written image ends first.
  EXPECT_FALSE(CompareBytes(kCondGreaterEqual, B({1}), B({1, 2})));
  EXPECT_TRUE(CompareBytes(kCondGreater, B({2}), B({1, 2})));
  EXPECT_FALSE(CompareBytes(kCondLess, B({}), B({})));
  EXPECT_TRUE(CompareBytes(kCondGreaterEqual, B({}), B({})));
}

}  // namespace
}  // namespace tav
