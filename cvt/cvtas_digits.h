/* Decimal digits of 64-bit integers, two at a time. */
#ifndef TAVO_CVT_CVTAS_DIGITS_H
#define TAVO_CVT_CVTAS_DIGITS_H

#include <stdint.h>
#include <string.h>

#include "cvt/cvtas_pow_ten_64.h"

/* "00" "01" ... "99". */
inline constexpr char cvtas_digit_pairs[201] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

/* 10^k for k <= 19, for constant scales. */
static inline constexpr uint64_t cvtas__pow10(int k) {
  uint64_t p = 1;
  for (int i = 0; i < k; ++i) p *= 10;
  return p;
}

/* Decimal digits of v > 0: bit_length * log10(2) by 1233 / 4096 is the count
 * or one less, and the table decides. */
static inline int cvtas__digit_count(uint64_t v) {
  int t = ((64 - __builtin_clzll(v)) * 1233) >> 12;
  return t - (v < cvtas_pow_ten_64[t] ? 1 : 0) + 1;
}

/* Writes exactly count digits of v leftwards, ending at end (leading zeros
 * when v has fewer); returns v / 10^count. */
static inline uint64_t cvtas__put_digits(uint64_t v, char *end, int count) {
  char *p = end;
  for (; count >= 2; count -= 2) {
    uint64_t q = v / 100;
    p -= 2;
    memcpy(p, cvtas_digit_pairs + 2 * (v - q * 100), 2);
    v = q;
  }
  if (count != 0) {
    uint64_t q = v / 10;
    *--p = (char)('0' + (v - q * 10));
    v = q;
  }
  return v;
}

#endif
