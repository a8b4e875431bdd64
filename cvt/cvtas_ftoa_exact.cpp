/* The exact path of the fixed-mode digit generators: every decimal digit of
 * the binary value m * 2^e, as a multi-word integer, then one rounding at the
 * requested place decided on the discarded digits.  It serves large fraction
 * counts, large exponents, negative fraction counts and truncation to a digit
 * limit; the common cases never reach it. */
#include <string.h>

#include "cvt/cvtas_ftoa.h"

namespace {

/* m * 5^1074 with m < 2^64 has at most 64 + 2494 bits (80 limbs); m * 2^971
 * at most 1035.  The decimal form of either has at most 771 digits. */
constexpr int kLimbs = 84;
constexpr int kDecimal = 800;
constexpr uint32_t kFivePow13 = 1220703125u;
constexpr uint32_t kBillion = 1000000000u;

struct big {
  uint32_t limb[kLimbs];  // little-endian
  int32_t n;              // limbs in use; the top one is non-zero
};

void big_set(big *b, uint64_t v) {
  b->limb[0] = (uint32_t)v;
  b->limb[1] = (uint32_t)(v >> 32);
  b->n = b->limb[1] != 0 ? 2 : (b->limb[0] != 0 ? 1 : 0);
}

void big_mul_small(big *b, uint32_t f) {
  uint64_t carry = 0;
  for (int32_t i = 0; i < b->n; ++i) {
    uint64_t t = (uint64_t)b->limb[i] * f + carry;
    b->limb[i] = (uint32_t)t;
    carry = t >> 32;
  }
  if (carry != 0) b->limb[b->n++] = (uint32_t)carry;
}

void big_shift_left(big *b, int32_t bits) {
  int32_t words = bits / 32;
  int32_t shift = bits % 32;
  if (shift != 0) {
    uint32_t carry = 0;
    for (int32_t i = 0; i < b->n; ++i) {
      uint32_t v = b->limb[i];
      b->limb[i] = (v << shift) | carry;
      carry = v >> (32 - shift);
    }
    if (carry != 0) b->limb[b->n++] = carry;
  }
  if (words != 0) {
    memmove(b->limb + words, b->limb, sizeof(uint32_t) * (size_t)b->n);
    memset(b->limb, 0, sizeof(uint32_t) * (size_t)words);
    b->n += words;
  }
}

/* b = b / d; returns b mod d. */
uint32_t big_divide_small(big *b, uint32_t d) {
  uint64_t rem = 0;
  for (int32_t i = b->n - 1; i >= 0; --i) {
    uint64_t cur = (rem << 32) | b->limb[i];
    b->limb[i] = (uint32_t)(cur / d);
    rem = cur % d;
  }
  while (b->n > 0 && b->limb[b->n - 1] == 0) --b->n;
  return (uint32_t)rem;
}

/* The decimal digits of b (> 0) into dec[0..count); b is consumed. */
int32_t big_to_decimal(big *b, char *dec) {
  char *end = dec + kDecimal;
  char *p = end;
  while (b->n > 1 || (b->n == 1 && b->limb[0] >= kBillion)) {
    uint32_t chunk = big_divide_small(b, kBillion);
    for (int i = 0; i < 9; ++i) {
      *--p = (char)('0' + chunk % 10);
      chunk /= 10;
    }
  }
  for (uint32_t top = b->n != 0 ? b->limb[0] : 0; top != 0; top /= 10) *--p = (char)('0' + top % 10);
  int32_t count = (int32_t)(end - p);
  memmove(dec, p, (size_t)count);
  return count;
}

}  // namespace

int32_t cvtas__fixed_exact(uint64_t m, int32_t e, int32_t fd, int mode, bool negative, int32_t cap,
                           char *out, int32_t *exponent) {
  // 1. The exact value as an integer scaled by 10^frac: m * 2^e = B / 10^frac.
  big b;
  big_set(&b, m);
  int32_t frac = 0;
  if (e >= 0) {
    big_shift_left(&b, e);
  } else {
    frac = -e;  // m * 2^e * 10^frac = m * 5^frac
    int32_t k = frac;
    for (; k >= 13; k -= 13) big_mul_small(&b, kFivePow13);
    uint32_t rest = 1;
    for (; k > 0; --k) rest *= 5;
    big_mul_small(&b, rest);
  }
  char dec[kDecimal];
  int32_t len = big_to_decimal(&b, dec);
  int32_t x0 = len - frac;  // digits before the point

  // 2. The count of kept digits: through the place fd after the point, at
  //    most cap.
  int64_t keep = (int64_t)x0 + fd;
  if (keep > cap) keep = cap;
  int32_t c = (int32_t)(keep < -1 ? -1 : keep);
  if (c >= len) {
    memcpy(out, dec, (size_t)len);
    memset(out + len, '0', (size_t)(c - len));
    *exponent = x0;
    return c;
  }

  // 3. Compare the discarded digits with half a unit of the last kept one.
  //    With c < 0 the first discarded digit is an implied zero.
  int first_dropped = c >= 0 ? dec[c] - '0' : 0;
  bool rest_nonzero = false;
  for (int32_t i = c + 1 > 0 ? c + 1 : 0; i < len && !rest_nonzero; ++i) rest_nonzero = dec[i] != '0';
  int half = first_dropped > 5   ? CVTAS_ABOVE_HALF
             : first_dropped < 5 ? CVTAS_BELOW_HALF
             : rest_nonzero      ? CVTAS_ABOVE_HALF
                                 : CVTAS_AT_HALF;
  bool inexact = first_dropped != 0 || rest_nonzero;
  bool odd = c >= 1 && ((dec[c - 1] - '0') & 1) != 0;
  bool up = cvtas__round_up(mode, negative, half, inexact, odd);

  // 4. Round once.  A carry through all digits gives 1 and zeros, one digit
  //    longer, unless the limit cuts the last zero.
  if (c <= 0) {
    if (!up) return 0;
    out[0] = '1';
    int64_t x = 1 - (int64_t)fd;
    *exponent = x > INT32_MAX ? INT32_MAX : (int32_t)x;
    return 1;
  }
  memcpy(out, dec, (size_t)c);
  *exponent = x0;
  if (!up) return c;
  int32_t i = c - 1;
  while (i >= 0 && out[i] == '9') out[i--] = '0';
  if (i >= 0) {
    ++out[i];
    return c;
  }
  out[0] = '1';
  *exponent = x0 + 1;
  if (c + 1 > cap) return c;
  out[c] = '0';
  return c + 1;
}
