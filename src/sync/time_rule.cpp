#include "sync/time_rule.h"

namespace tav {

int CompareWriteTimes(uint64_t a, uint64_t b) {
  if (a == b) return 0;
  constexpr uint64_t kHour = 36'000'000'000ull;
  constexpr uint64_t kTolerance = 300'000'000ull;
  uint64_t d = a > b ? a - b : b - a;
  for (uint64_t k = 0; k <= 24; ++k) {
    uint64_t target = k * kHour;
    uint64_t distance = d > target ? d - target : target - d;
    if (distance <= kTolerance) return 0;
  }
  return a > b ? 1 : -1;
}

}  // namespace tav
