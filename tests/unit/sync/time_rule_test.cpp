// The last-write time rule: whole hours up to a day, 30 seconds either way.
#include <gtest/gtest.h>

#include "sync/time_rule.h"

namespace tav {
namespace {

constexpr uint64_t kSecond = 10'000'000;
constexpr uint64_t kHour = 3600 * kSecond;
// A realistic file time (around the year 2024) so that differences in both
// directions stay far from 0 and from the top of the range.
constexpr uint64_t kBase = 133'500'000'000'000'000ull;

int Compare(int64_t difference) {
  return CompareWriteTimes(kBase + static_cast<uint64_t>(difference), kBase);
}

TEST(TimeRule, WholeHoursWithinThirtySecondsAreEqual) {
  EXPECT_EQ(CompareWriteTimes(kBase, kBase), 0);
  EXPECT_EQ(Compare(30 * kSecond), 0);
  EXPECT_EQ(Compare(kHour), 0);
  EXPECT_EQ(Compare(kHour + 30 * kSecond), 0);
  EXPECT_EQ(Compare(kHour - 30 * kSecond), 0);
  EXPECT_EQ(Compare(7 * kHour - 12 * kSecond), 0);
  EXPECT_EQ(Compare(24 * kHour + 30 * kSecond), 0);
}

TEST(TimeRule, OtherDifferencesNameTheLaterTime) {
  EXPECT_EQ(Compare(31 * kSecond), 1);
  EXPECT_EQ(Compare(1), 0);
  EXPECT_EQ(Compare(30 * kSecond + 1), 1);
  EXPECT_EQ(Compare(kHour - 30 * kSecond - 1), 1);
  EXPECT_EQ(Compare(kHour / 2), 1);
  EXPECT_EQ(Compare(24 * kHour + 31 * kSecond), 1);
  EXPECT_EQ(Compare(24 * kHour + 30 * kSecond + 1), 1);
  EXPECT_EQ(Compare(25 * kHour), 1);
  EXPECT_EQ(Compare(-31 * static_cast<int64_t>(kSecond)), -1);
}

TEST(TimeRule, IsAntisymmetric) {
  const int64_t differences[] = {0, 29, 31, 3570, 3571, 3630, 3631, 86430, 86431, 90000, 1'000'000};
  for (int64_t seconds : differences) {
    uint64_t later = kBase + static_cast<uint64_t>(seconds) * kSecond;
    EXPECT_EQ(CompareWriteTimes(later, kBase), -CompareWriteTimes(kBase, later)) << seconds;
  }
}

TEST(TimeRule, WorksAcrossTheWholeRange) {
  EXPECT_EQ(CompareWriteTimes(0, UINT64_MAX), -1);
  EXPECT_EQ(CompareWriteTimes(UINT64_MAX, 0), 1);
  EXPECT_EQ(CompareWriteTimes(UINT64_MAX, UINT64_MAX - kHour), 0);
  EXPECT_EQ(CompareWriteTimes(0, 30 * kSecond), 0);
}

}  // namespace
}  // namespace tav
