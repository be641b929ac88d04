// Whether two last-write times count as the same.
#pragma once

#include <cstdint>

namespace tav {

// 0 when the times are equal or differ by whole hours (0 to 24) within 30
// seconds either way; 1 when a is the later, -1 when b is.
int CompareWriteTimes(uint64_t a, uint64_t b);

}  // namespace tav
