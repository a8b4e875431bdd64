// Helpers of the editing tests: a conversion into a field with guard bytes
// on both sides, bit patterns of floating values, and the directed rounding
// modes with the values they are tried on.
#pragma once

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "cvt/cvt.h"

namespace edit_testing {

constexpr char kGuard = '#';

struct Out {
  std::string text;
  int status;
};

// Edits value into a field of w characters between two guards of 16
// bytes, which no conversion may touch.
template <class T>
Out guarded(T value, int32_t w, int8_t k, int16_t d, int32_t limit, int32_t e, uint32_t flags, uint64_t options) {
  std::vector<char> buf((size_t)(w > 0 ? w : 0) + 32, kGuard);
  int status;
  if constexpr (sizeof(T) == 4)
    status = cvt_ieee_s_to_text_ex(&value, w, k, d, limit, e, flags, buf.data() + 16, options);
  else
    status = cvt_ieee_t_to_text_ex(&value, w, k, d, limit, e, flags, buf.data() + 16, options);
  size_t room = buf.size() - 32;
  for (size_t i = 0; i < 16; ++i) {
    EXPECT_EQ(buf[i], kGuard) << "write before the field";
    EXPECT_EQ(buf[16 + room + i], kGuard) << "write after the field";
  }
  return {std::string(buf.data() + 16, room), status};
}

inline uint32_t rounding(int mode) { return (uint32_t)mode << CVT_ROUND_SHIFT; }

inline float bits_to_float(uint32_t b) {
  float x;
  memcpy(&x, &b, sizeof x);
  return x;
}
inline double bits_to_double(uint64_t b) {
  double x;
  memcpy(&x, &b, sizeof x);
  return x;
}

// The directed rounding modes: the floating environment's and the
// conversion's names for each.
struct DirectedMode {
  int fe, cvt;
};
inline constexpr DirectedMode kDirectedModes[] = {
    {FE_UPWARD, CVT_ROUND_UP}, {FE_DOWNWARD, CVT_ROUND_DOWN}, {FE_TOWARDZERO, CVT_ROUND_ZERO}};

// Values for the directed modes: 20000 random bit patterns (the finite
// ones), then the odd multiples of 1/divisor below 2000/divisor, both signs.
inline std::vector<float> directed_values(uint32_t seed, float divisor) {
  std::mt19937 rng(seed);
  std::vector<float> values;
  for (int i = 0; i < 20000; ++i) {
    float x = bits_to_float((uint32_t)rng());
    if (std::isfinite(x)) values.push_back(x);
  }
  for (int t = 1; t < 2000; t += 2) values.push_back((float)t / divisor);
  for (int t = 1; t < 2000; t += 2) values.push_back(-(float)t / divisor);
  return values;
}

}  // namespace edit_testing
