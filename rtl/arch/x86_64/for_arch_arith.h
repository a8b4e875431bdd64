// The program's single-precision arithmetic under flush-to-zero and
// denormals-are-zero.  The processor does both once for__set_program_fp_mode
// has run, so every operation is the plain operator.
#pragma once

#include <cmath>

namespace for_arith {

inline float mul(float a, float b) { return a * b; }
inline float add(float a, float b) { return a + b; }
inline float sub(float a, float b) { return a - b; }
inline float sqrt(float a) { return std::sqrt(a); }
// a > b with subnormal operands taken as zero.
inline bool gt(float a, float b) { return a > b; }

}  // namespace for_arith
