/* Digit generators for binary32 (cvtas_s_to_a) and binary64 (cvtas_t_to_a):
 * the decimal digits of the exact binary value rounded once, at a given place
 * after the point (fixed mode) or after a given count of significant digits.
 *
 * A value is m * 2^e.  Rounded at fd places, it is R = round(m * 10^fd * 2^e).
 * When m * 10^fd fits 64 (or 128) bits, R is that product shifted, and the
 * bits shifted out are the exact remainder, compared with half.  Everything
 * else goes to the multi-word path of cvtas_ftoa_exact.cpp. */
#include <string.h>

#include "cvt/cvt.h"
#include "cvt/cvtas_digits.h"
#include "cvt/cvtas_ftoa.h"
#include "cvt/cvtas_nan.h"
#include "cvt/cvtas_pow_ten_128.h"
#include "cvt/cvtas_pow_ten_64.h"

namespace {

typedef unsigned __int128 u128;

constexpr uint64_t kTenPow19 = 10000000000000000000ull;

enum value_class { FINITE, ZERO, INFINITE, NOT_A_NUMBER };

struct decoded {
  value_class kind;
  uint64_t m;    // significand, > 0 when FINITE
  int32_t e;     // value = m * 2^e
  int32_t sign;  // sign code
};

decoded decode(const float *value) {
  uint32_t bits;
  memcpy(&bits, value, sizeof bits);
  bool negative = (bits >> 31) != 0;
  uint32_t biased = (bits >> 23) & 0xFF;
  uint32_t fraction = bits & 0x7FFFFF;
  decoded d{FINITE, fraction, -149, CVTAS_SIGN_SUBNORMAL};
  if (biased == 0xFF) {
    if (fraction != 0) return {NOT_A_NUMBER, 0, 0, 0};
    d = {INFINITE, 0, 0, CVTAS_SIGN_INFINITY};
  } else if (biased == 0) {
    if (fraction == 0) d = {ZERO, 0, 0, CVTAS_SIGN_ZERO};
  } else {
    d = {FINITE, fraction | 0x800000u, (int32_t)biased - 150, CVTAS_SIGN_NORMAL};
  }
  if (negative) d.sign = -d.sign;
  return d;
}

decoded decode(const double *value) {
  uint64_t bits;
  memcpy(&bits, value, sizeof bits);
  bool negative = (bits >> 63) != 0;
  uint32_t biased = (uint32_t)(bits >> 52) & 0x7FF;
  uint64_t fraction = bits & 0xFFFFFFFFFFFFFull;
  decoded d{FINITE, fraction, -1074, CVTAS_SIGN_SUBNORMAL};
  if (biased == 0x7FF) {
    if (fraction != 0) return {NOT_A_NUMBER, 0, 0, 0};
    d = {INFINITE, 0, 0, CVTAS_SIGN_INFINITY};
  } else if (biased == 0) {
    if (fraction == 0) d = {ZERO, 0, 0, CVTAS_SIGN_ZERO};
  } else {
    d = {FINITE, fraction | (1ull << 52), (int32_t)biased - 1075, CVTAS_SIGN_NORMAL};
  }
  if (negative) d.sign = -d.sign;
  return d;
}

inline int bit_length(uint64_t v) { return v == 0 ? 0 : 64 - __builtin_clzll(v); }

inline int bit_length(u128 v) {
  uint64_t hi = (uint64_t)(v >> 64);
  return hi != 0 ? 128 - __builtin_clzll(hi) : bit_length((uint64_t)v);
}

inline u128 pow_ten_128(int k) {
  return ((u128)cvtas_pow_ten_128[k].hi << 64) | cvtas_pow_ten_128[k].lo;
}

inline int digit_count(uint64_t v) { return cvtas__digit_count(v); }

inline int digit_count(u128 v) {
  if ((v >> 64) == 0) return digit_count((uint64_t)v);
  int t = 20;
  while (t < CVTAS_POW_TEN_128_COUNT && v >= pow_ten_128(t)) ++t;
  return t;
}

/* Writes the digits of v leftwards ending at end, exactly count of them
 * (leading zeros when v has fewer). */
inline void put_digits(uint64_t v, char *end, int count) { cvtas__put_digits(v, end, count); }

inline void put_digits(u128 v, char *end, int count) {
  while ((v >> 64) != 0) {
    u128 q = v / kTenPow19;
    put_digits((uint64_t)(v - q * kTenPow19), end, 19);
    end -= 19;
    count -= 19;
    v = q;
  }
  put_digits((uint64_t)v, end, count);
}

/* R = n * 2^e rounded to an integer, n > 0; false when it does not fit U. */
template <class U>
inline bool shift_round(U n, int32_t e, int mode, bool negative, U *r) {
  constexpr int kBits = (int)sizeof(U) * 8;
  if (e >= 0) {
    if (e >= kBits || n > ((U)~(U)0 >> e)) return false;
    *r = n << e;
    return true;
  }
  int32_t t = -e;
  U q;
  int half;
  if (t >= kBits) {
    // Everything is shifted out; half a unit is 2^(t-1) >= 2^(kBits-1).
    U top = (U)1 << (kBits - 1);
    q = 0;
    half = t > kBits || n < top ? CVTAS_BELOW_HALF : n == top ? CVTAS_AT_HALF : CVTAS_ABOVE_HALF;
  } else {
    q = n >> t;
    U rem = n - (q << t);
    U halfway = (U)1 << (t - 1);
    if (mode == CVT_ROUND_NEAREST) {
      *r = q + (U)((rem > halfway) | ((rem == halfway) & (q & 1)));
      return true;
    }
    half = rem < halfway ? CVTAS_BELOW_HALF : rem == halfway ? CVTAS_AT_HALF : CVTAS_ABOVE_HALF;
    if (rem == 0) {
      *r = q;
      return true;
    }
  }
  *r = q + (cvtas__round_up(mode, negative, half, true, (q & 1) != 0) ? 1 : 0);
  return true;
}

/* Rounds in U and writes the digits; -1 when U is too narrow or the result
 * has more than cap digits. */
template <class U>
inline int32_t fixed_in(U n, int32_t e, int32_t fd, int mode, bool negative, int32_t cap, char *out,
                        int32_t *exponent) {
  U r;
  if (!shift_round<U>(n, e, mode, negative, &r)) return -1;
  if (r == 0) return 0;
  int nd = digit_count(r);
  if (nd > cap) return -1;
  put_digits(r, out + nd, nd);
  *exponent = nd - fd;
  return nd;
}

/* The digits of m * 2^e rounded at fd places; the digit count, 0 for zero. */
int32_t fixed_digits(uint64_t m, int32_t e, int32_t fd, int mode, bool negative, int32_t cap, char *out,
                     int32_t *exponent) {
  int32_t count = -1;
  if (fd >= 0 && fd < CVTAS_POW_TEN_64_COUNT) {
    uint64_t n;
    if (!__builtin_mul_overflow(m, cvtas_pow_ten_64[fd], &n))
      count = fixed_in<uint64_t>(n, e, fd, mode, negative, cap, out, exponent);
  }
  if (count < 0 && fd >= 0 && fd < CVTAS_POW_TEN_128_COUNT) {
    u128 p = pow_ten_128(fd);
    if (bit_length(m) + bit_length(p) <= 128)
      count = fixed_in<u128>((u128)m * p, e, fd, mode, negative, cap, out, exponent);
  }
  if (count < 0) count = cvtas__fixed_exact(m, e, fd, mode, negative, cap, out, exponent);
  return count;
}

/* floor(b * log10(2)), exact for |b| <= 1200: the constant is log10(2) * 2^64
 * cut to an integer, and no such b * log10(2) lies within 2^-50 of an
 * integer except b = 0. */
inline int32_t floor_log10_pow2(int32_t b) {
  return (int32_t)(((__int128)b * (__int128)5553023288523357132ll) >> 64);
}

/* round(num / den) for den > 0. */
inline u128 divide_round(u128 num, u128 den, int mode, bool negative) {
  u128 q = num / den;
  u128 rem = num - q * den;
  if (rem == 0) return q;
  u128 rest = den - rem;
  int half = rem < rest ? CVTAS_BELOW_HALF : rem == rest ? CVTAS_AT_HALF : CVTAS_ABOVE_HALF;
  return q + (cvtas__round_up(mode, negative, half, true, (q & 1) != 0) ? 1 : 0);
}

/* R = m * 2^e * 10^fd rounded to an integer, when numerator and denominator
 * both fit 128 bits; false otherwise. */
bool scaled_round(uint64_t m, int32_t e, int32_t fd, int mode, bool negative, u128 *r) {
  if (fd >= 0) {
    if (fd >= CVTAS_POW_TEN_128_COUNT) return false;
    u128 p = pow_ten_128(fd);
    if (bit_length(m) + bit_length(p) > 128) return false;
    return shift_round<u128>((u128)m * p, e, mode, negative, r);
  }
  if (-fd >= CVTAS_POW_TEN_128_COUNT) return false;
  u128 den = pow_ten_128(-fd);
  u128 num = m;
  if (e >= 0) {
    if (bit_length(m) + e > 128) return false;
    num <<= e;
  } else {
    if (bit_length(den) - e > 127) return false;
    den <<= -e;
  }
  *r = divide_round(num, den, mode, negative);
  return true;
}

/* The c significant digits of m * 2^e (m > 0, c >= 1) rounded once at the
 * last of them; returns c.  With b = floor(log2 v), the digits before the
 * point number floor(b * log10(2)) + 1 or one more, so the place tried first
 * is right or one too fine.  One too fine gives R >= 10^c: then the next
 * coarser place is right, except that R = 10^c means both round to 10^c. */
int32_t significant_digits(uint64_t m, int32_t e, int32_t c, int mode, bool negative, char *out,
                           int32_t *exponent) {
  int32_t fd = c - 1 - floor_log10_pow2(bit_length(m) - 1 + e);
  if (c < CVTAS_POW_TEN_128_COUNT) {
    u128 r;
    for (int32_t place = fd; place >= fd - 1 && scaled_round(m, e, place, mode, negative, &r); --place) {
      int nd = digit_count(r);
      if (nd > c && r != pow_ten_128(c)) continue;
      put_digits(nd > c ? r / 10 : r, out + c, c);
      *exponent = nd - place;
      return c;
    }
  }
  // The exact path rounds at the c-th digit when fd asks for one more.
  return cvtas__fixed_exact(m, e, fd, mode, negative, c, out, exponent);
}

int32_t put_text(const cvtas_text &text, char *buffer, int32_t size) {
  int32_t n = text.length < size ? text.length : size;
  memcpy(buffer, text.chars, (size_t)n);
  return n;
}

template <class T>
int to_a(int32_t max_digits, int32_t fraction_digits, uint32_t flags, char *buffer, int32_t size,
         int32_t *first, int32_t *last, const T *value, int32_t *exponent, int32_t *sign, int32_t *status) {
  decoded v = decode(value);
  bool report = (flags & CVTAS_REPORT_SPECIAL) != 0;
  int32_t cap = max_digits < size ? max_digits : size;
  int32_t count = 0;
  int result = CVTAS_DIGITS;
  *sign = v.sign;
  *exponent = 0;
  bool fixed = (flags & CVTAS_FIXED) != 0;
  if (!fixed && (flags & CVTAS_SIGNIFICANT) == 0) {
    result = CVTAS_NO_MODE;
  } else if (cap < 1) {
    result = CVTAS_NO_ROOM;
  } else if (v.kind == NOT_A_NUMBER) {
    count = put_text(cvtas_text_nan, buffer, size);
    if (report) result = CVTAS_DIGITS_NAN;
  } else if (v.kind == INFINITE) {
    count = put_text(cvtas_text_infinity, buffer, size);
    if (report) result = CVTAS_DIGITS_INFINITY;
  } else {
    int mode = cvtas__rounding_mode(flags);
    if (v.kind == FINITE && fixed)
      count = fixed_digits(v.m, v.e, fraction_digits, mode, v.sign < 0, cap, buffer, exponent);
    else if (v.kind == FINITE)
      count = significant_digits(v.m, v.e, cap, mode, v.sign < 0, buffer, exponent);
    if (count == 0) {
      buffer[0] = '0';
      count = 1;
      *exponent = 0;
      if (report) result = CVTAS_DIGITS_ZERO;
    }
  }
  *first = 0;
  *last = count - 1;
  *status = result;
  return result;
}

}  // namespace

extern "C" int cvtas_s_to_a(int32_t max_digits, int32_t fraction_digits, uint32_t flags, char *buffer,
                            int32_t size, int32_t *first, int32_t *last, const float *value,
                            int32_t *exponent, int32_t *sign, int32_t *status) {
  return to_a(max_digits, fraction_digits, flags, buffer, size, first, last, value, exponent, sign, status);
}

extern "C" int cvtas_t_to_a(int32_t max_digits, int32_t fraction_digits, uint32_t flags, char *buffer,
                            int32_t size, int32_t *first, int32_t *last, const double *value,
                            int32_t *exponent, int32_t *sign, int32_t *status) {
  return to_a(max_digits, fraction_digits, flags, buffer, size, first, last, value, exponent, sign, status);
}
