/* Shared pieces of the fixed-mode digit generators: the rounding decision and
 * the exact multi-word path behind the 64- and 128-bit fast paths. */
#ifndef TAVO_CVT_CVTAS_FTOA_H
#define TAVO_CVT_CVTAS_FTOA_H

#include <stdint.h>

#include "cvt/cvt.h"

/* Where the discarded remainder lies against half a unit of the last kept
 * digit. */
enum cvtas_half { CVTAS_BELOW_HALF = -1, CVTAS_AT_HALF = 0, CVTAS_ABOVE_HALF = 1 };

/* The rounding mode of a flag word; nearest with ties to even unless the
 * rounding bits are marked valid and name a known mode. */
static inline int cvtas__rounding_mode(uint32_t flags) {
  if ((flags & CVT_ROUND_VALID) == 0) return CVT_ROUND_NEAREST;
  int mode = (int)((flags & CVT_ROUND_MASK) >> CVT_ROUND_SHIFT);
  switch (mode) {
    case CVT_ROUND_ZERO:
    case CVT_ROUND_DOWN:
    case CVT_ROUND_UP:
    case CVT_ROUND_AWAY:
      return mode;
    default:
      return CVT_ROUND_NEAREST;
  }
}

/* Whether the truncated magnitude gains one unit.  inexact: the remainder is
 * not zero; odd: the last kept digit is odd. */
static inline bool cvtas__round_up(int mode, bool negative, int half, bool inexact, bool odd) {
  switch (mode) {
    case CVT_ROUND_ZERO:
      return false;
    case CVT_ROUND_DOWN:
      return negative && inexact;
    case CVT_ROUND_UP:
      return !negative && inexact;
    case CVT_ROUND_AWAY:
      return half >= CVTAS_AT_HALF;
    default:
      return half == CVTAS_ABOVE_HALF || (half == CVTAS_AT_HALF && odd);
  }
}

/* The digits of m * 2^e (m > 0, m < 2^64) rounded at fd places after the
 * point, at most cap (>= 1) of them, into out; exact for any e and fd, by
 * multi-word integer arithmetic.  Returns the digit count, 0 when the value
 * rounds to zero; *exponent as for the generators. */
int32_t cvtas__fixed_exact(uint64_t m, int32_t e, int32_t fd, int mode, bool negative, int32_t cap,
                           char *out, int32_t *exponent);

#endif
