/* The short path of F editing for binary32: a finite value is m * 2^e with
 * m < 2^24, so with d <= 9 the product N = m * 10^d is exact in 64 bits and
 * R = round(N * 2^e), the value in units of 10^-d, is N shifted: the bits
 * shifted out are the exact remainder, compared with half a unit (ties to
 * the even R).  One division by the constant 10^d splits R into the integer
 * and fraction parts, whose digits go straight into the field, two at a
 * time, from its right end. */
#include "cvt/cvt_f_short.h"

#include <string.h>

#include "cvt/cvt.h"
#include "cvt/cvtas_digits.h"

namespace {

/* round(n * 2^-t) to nearest, ties to even, for t >= 1 and n < 2^54: from
 * t = 64 on, half a unit is more than n. */
inline uint64_t shift_right_round(uint64_t n, int32_t t) {
  if (t >= 64) return 0;
  uint64_t q = n >> t;
  uint64_t rem = n - (q << t);
  uint64_t half = 1ull << (t - 1);
  return q + ((rem > half) | ((rem == half) & q & 1));
}

/* n < 62 copies of c: 8-byte stores, the last one overlapping. */
inline void fill(char *p, int32_t n, char c) {
  uint64_t eight = 0x0101010101010101ull * (unsigned char)c;
  if (n >= 8) {
    for (int32_t i = 0; i + 8 < n; i += 8) memcpy(p + i, &eight, 8);
    memcpy(p + n - 8, &eight, 8);
  } else if (n >= 4) {
    memcpy(p, &eight, 4);
    memcpy(p + n - 4, &eight, 4);
  } else {
    for (int32_t i = 0; i < n; ++i) p[i] = c;
  }
}

inline int stars(char *field, int32_t w) {
  fill(field, w, '*');
  return CVT_STARS;
}

/* D fraction digits of f < 10^D leftwards, ending at end. */
template <int D>
inline void put_fraction(uint32_t f, char *end) {
  if constexpr (D >= 2) {
    uint32_t q = f / 100;
    memcpy(end - 2, cvtas_digit_pairs + 2 * (f - q * 100), 2);
    put_fraction<D - 2>(q, end - 2);
  } else if constexpr (D == 1) {
    end[-1] = (char)('0' + f);
  }
}

/* The digits of v > 0 leftwards, ending at end; count is their number. */
inline void put_integer(uint64_t v, char *end, int32_t count) {
  if (v >> 32 != 0) {
    cvtas__put_digits(v, end, count);
    return;
  }
  uint32_t u = (uint32_t)v;
  char *p = end;
  for (; u >= 100; p -= 2) {
    uint32_t q = u / 100;
    memcpy(p - 2, cvtas_digit_pairs + 2 * (u - q * 100), 2);
    u = q;
  }
  if (u >= 10) {
    memcpy(p - 2, cvtas_digit_pairs + 2 * u, 2);
  } else {
    p[-1] = (char)('0' + u);
  }
}

template <int D>
int f_short(uint32_t bits, int32_t w, int32_t limit, bool plus, uint64_t options, char *field) {
  constexpr uint64_t kUnit = cvtas__pow10(D);

  // 1. R, the value rounded in units of 10^-D.
  uint32_t biased = (bits >> 23) & 0xFF;
  if (biased == 0xFF) return -1;
  uint64_t m = bits & 0x7FFFFF;
  int32_t e = -149;
  if (biased != 0) {
    m |= 0x800000;
    e = (int32_t)biased - 150;
  }
  uint64_t n = m * kUnit;
  uint64_t r;
  if (e >= 0) {
    if (e >= 64 || n > (~0ull >> e)) return -1;
    r = n << e;
  } else {
    r = shift_right_round(n, -e);
  }

  // 2. The sign: a value that rounds to zero shows one only when the options
  //    ask for it.
  bool negative = (bits >> 31) != 0;
  char sign = negative ? '-' : plus ? '+' : 0;
  if (r == 0 && negative) {
    uint64_t asked = m == 0 ? CVT_OPT_MINUS_ZERO : CVT_OPT_MINUS_ROUNDS_TO_ZERO;
    sign = (options & asked) != 0 ? '-' : 0;
  }
  int32_t s = sign != 0 ? 1 : 0;
  if (w < s + 1 + D) return stars(field, w);

  // 3. The fraction digits and the point at the right end, then the integer
  //    digits, or the zero before the point when it is due and fits.
  uint64_t integer = r / kUnit;
  char *p = field + w - D;
  put_fraction<D>((uint32_t)(r - integer * kUnit), field + w);
  *--p = (options & CVT_OPT_DECIMAL_COMMA) != 0 ? ',' : '.';
  if (integer != 0) {
    int32_t digits = cvtas__digit_count(integer);
    if (s + digits + 1 + D > w || (limit != 0 && digits > limit)) return stars(field, w);
    put_integer(integer, p, digits);
    p -= digits;
  } else if (D == 0) {
    if (w < s + 2) return stars(field, w);
    *--p = '0';
  } else if (p - field > s && (options & (CVT_OPT_NO_LEADING_ZERO | CVT_OPT_NO_LEADING_ZERO2)) == 0) {
    *--p = '0';
  }
  if (sign != 0) *--p = sign;
  fill(field, (int32_t)(p - field), ' ');
  return CVT_OK;
}

typedef int (*f_short_fn)(uint32_t, int32_t, int32_t, bool, uint64_t, char *);
constexpr f_short_fn kByDigits[CVT_F_SHORT_MAX_D + 1] = {f_short<0>, f_short<1>, f_short<2>, f_short<3>, f_short<4>,
                                                         f_short<5>, f_short<6>, f_short<7>, f_short<8>, f_short<9>};

}  // namespace

int cvt__f_short(uint32_t bits, int32_t w, int32_t d, int32_t limit, bool plus, uint64_t options, char *field) {
  return kByDigits[d](bits, w, limit, plus, options, field);
}
