/* Integer to text for the I edit descriptor and the unsigned radix forms: the
 * value is written right-justified into exactly w characters, with at least m
 * digits; a value that does not fit leaves w asterisks. */
#include <string.h>

#include "fmt/cvt_fill.h"

#include "fmt/cvt_int.h"

namespace {

const char kDigitPairs[201] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";
const char kRadixDigits[17] = "0123456789ABCDEF";

/* Room for the digits of any 64-bit magnitude in radix 2. */
constexpr int kMaxDigits = 64;

/* Writes the decimal digits of v leftwards ending just before end; returns
 * their count.  Zero has no digits: m alone decides whether a '0' appears.
 * Division by the constant 100 compiles to a multiplication by its
 * reciprocal. */
inline int decimal_digits(uint64_t v, char *end) {
  char *p = end;
  while (v >= 100) {
    uint64_t q = v / 100;
    unsigned r = (unsigned)(v - q * 100);
    p -= 2;
    memcpy(p, kDigitPairs + 2 * r, 2);
    v = q;
  }
  if (v >= 10) {
    p -= 2;
    memcpy(p, kDigitPairs + 2 * v, 2);
  } else if (v > 0) {
    *--p = (char)('0' + v);
  }
  return (int)(end - p);
}

/* Digits in a radix from 2 to 16; powers of two by shifting. */
inline int radix_digits(uint64_t v, unsigned radix, char *end) {
  if (radix == 10) return decimal_digits(v, end);
  char *p = end;
  if ((radix & (radix - 1)) == 0) {
    unsigned shift = (unsigned)__builtin_ctz(radix);
    uint64_t mask = radix - 1;
    for (; v != 0; v >>= shift) *--p = kRadixDigits[v & mask];
  } else {
    for (; v != 0; v /= radix) *--p = kRadixDigits[v % radix];
  }
  return (int)(end - p);
}

/* Lays out nd digits, zeros up to m, and an optional sign, right-justified
 * in w characters with blanks to the left; w asterisks when they do not fit. */
int place(char *field, int32_t w, int32_t m, const char *digits, int32_t nd, char sign) {
  int32_t body = nd > m ? nd : m;
  int32_t need_sign = sign != 0 ? 1 : 0;
  if (body > w - need_sign) {
    cvt__fill(field, w, '*');
    return CVT_INT_OVERFLOW;
  }
  int32_t lead = w - body - need_sign;
  cvt__fill(field, lead, ' ');
  if (sign != 0) field[lead] = sign;
  cvt__fill(field + w - body, body - nd, '0');
  memcpy(field + w - nd, digits, (size_t)nd);
  return CVT_INT_OK;
}

int signed_to_text(bool negative, uint64_t magnitude, int32_t w, int32_t m, uint32_t options,
                   char *field) {
  if (w == 0) return CVT_INT_OK;
  if (w < 0 || m < 0) return CVT_INT_NEGATIVE;
  if (options > CVT_INT_PLUS) return CVT_INT_BAD_OPTION;
  char sign = 0;
  if (negative)
    sign = '-';
  else if ((options & CVT_INT_PLUS) != 0 && !(magnitude == 0 && m == 0))
    sign = '+';
  char digits[kMaxDigits];
  int nd = decimal_digits(magnitude, digits + kMaxDigits);
  return place(field, w, m, digits + kMaxDigits - nd, nd, sign);
}

int unsigned_to_text(uint64_t value, int32_t w, int32_t radix, int32_t m, char *field) {
  if (w == 0) return CVT_INT_OK;
  if (w < 0 || m < 0) return CVT_INT_NEGATIVE;
  if (radix < 2 || radix > 16) return CVT_INT_BAD_RADIX;
  char digits[kMaxDigits];
  int nd = radix_digits(value, (unsigned)radix, digits + kMaxDigits);
  return place(field, w, m, digits + kMaxDigits - nd, nd, 0);
}

}  // namespace

extern "C" int cvt_integer_to_text(int32_t value, int32_t w, int32_t m, uint32_t options, char *field) {
  uint32_t magnitude = value < 0 ? 0u - (uint32_t)value : (uint32_t)value;
  return signed_to_text(value < 0, magnitude, w, m, options, field);
}

extern "C" int cvt_integer64_to_text(int64_t value, int32_t w, int32_t m, uint32_t options, char *field) {
  uint64_t magnitude = value < 0 ? 0u - (uint64_t)value : (uint64_t)value;
  return signed_to_text(value < 0, magnitude, w, m, options, field);
}

extern "C" int cvt_unsigned_to_text(uint32_t value, int32_t w, int32_t radix, int32_t m, char *field) {
  return unsigned_to_text(value, w, radix, m, field);
}

extern "C" int cvt_unsigned64_to_text(uint64_t value, int32_t w, int32_t radix, int32_t m, char *field) {
  return unsigned_to_text(value, w, radix, m, field);
}
