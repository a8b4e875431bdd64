// The program's single-precision arithmetic under flush-to-zero and
// denormals-are-zero, computed with FPCR.FZ off: a subnormal operand counts
// as zero, and a result that is tiny after rounding (its magnitude, rounded
// to 24 bits with an unbounded exponent, is below FLT_MIN) becomes a zero of
// its sign.  FZ itself would judge tininess before rounding and turn
// (1 - 2^-23) * (FLT_MIN * (1 + 2^-23)), which rounds to FLT_MIN, into 0.
#pragma once

#include <cfloat>
#include <cmath>

namespace for_arith {

// A subnormal operand as zero, its sign kept.
inline float operand(float a) { return std::fabs(a) < FLT_MIN ? std::copysign(0.0f, a) : a; }

// The product of two floats is exact in double; it rounds to FLT_MIN or
// more exactly when it is at least FLT_MIN less half a unit of 24 bits
// there (2^-126 - 2^-151, the tie going up to the even FLT_MIN).
inline float mul(float a, float b) {
  const double exact = static_cast<double>(operand(a)) * static_cast<double>(operand(b));
  if (std::fabs(exact) < 0x1.ffffffp-127) return std::copysign(0.0f, static_cast<float>(exact));
  return static_cast<float>(exact);
}

// A sum or difference of normal floats below 2^-125 in magnitude is exact
// (both are multiples of 2^-149), so the rounded result is tiny exactly when
// it is below FLT_MIN.
inline float add(float a, float b) {
  const float r = operand(a) + operand(b);
  return std::fabs(r) < FLT_MIN ? std::copysign(0.0f, r) : r;
}
inline float sub(float a, float b) {
  const float r = operand(a) - operand(b);
  return std::fabs(r) < FLT_MIN ? std::copysign(0.0f, r) : r;
}

// The square root of a normal float is never tiny.
inline float sqrt(float a) { return std::sqrt(operand(a)); }

// a > b with subnormal operands taken as zero.
inline bool gt(float a, float b) { return operand(a) > operand(b); }

}  // namespace for_arith
