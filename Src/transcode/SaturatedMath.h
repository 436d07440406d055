// Sums of times that come from files or settings: a file can claim any value, so these
// saturate at the int64_t limits instead of overflowing.
#pragma once

#include <cstdint>
#include <limits>

inline int64_t SatAdd(int64_t a, int64_t b) {
  int64_t r;
  if (!__builtin_add_overflow(a, b, &r))
    return r;
  return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

inline int64_t SatSub(int64_t a, int64_t b) {
  int64_t r;
  if (!__builtin_sub_overflow(a, b, &r))
    return r;
  return b < 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}
