/* Text to integer for the I edit descriptor and the unsigned radix forms: a
 * field of exactly w characters, leading blanks, an optional sign, digits;
 * blanks, tabs and underscores inside as the option word says.  Every failure
 * stores 0 in the result. */
#include "fmt/cvt_int.h"

namespace {

constexpr uint32_t kKnownOptions =
    CVT_INT_TAB_BLANK | CVT_INT_BLANK_NULL | CVT_INT_UNDERSCORE | CVT_INT_BLANK_ZERO | CVT_INT_ACCEPTED;

struct scanned {
  uint64_t magnitude;
  bool negative;
};

/* Value of c as a digit of radix, or -1. */
inline int digit_value(char c, uint32_t radix) {
  int v;
  if (c >= '0' && c <= '9')
    v = c - '0';
  else if (c >= 'a' && c <= 'f')
    v = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F')
    v = c - 'A' + 10;
  else
    return -1;
  return (uint32_t)v < radix ? v : -1;
}

inline bool skippable(char c, uint32_t options) {
  return c == ' ' || (c == '\t' && (options & CVT_INT_TAB_BLANK) != 0);
}

/* Scans the field into a sign and an unsigned 64-bit magnitude. */
int scan(const char *field, int32_t w, uint32_t radix, uint32_t options, scanned *out) {
  out->magnitude = 0;
  out->negative = false;
  int32_t i = 0;
  while (i < w && skippable(field[i], options)) ++i;
  if (i == w) return CVT_INT_OK;
  if (field[i] == '+' || field[i] == '-') {
    out->negative = field[i] == '-';
    ++i;
    while (i < w && skippable(field[i], options)) ++i;
  }
  uint64_t acc = 0;
  for (; i < w; ++i) {
    char c = field[i];
    int digit = digit_value(c, radix);
    if (digit < 0) {
      if (c == ' ' && (options & CVT_INT_BLANK_ZERO) != 0)
        digit = 0;
      else if ((c == ' ' && (options & CVT_INT_BLANK_NULL) != 0) ||
               (c == '\t' && (options & CVT_INT_TAB_BLANK) != 0) ||
               (c == '_' && (options & CVT_INT_UNDERSCORE) != 0))
        continue;
      else
        return CVT_INT_INVALID;
    }
    if (__builtin_mul_overflow(acc, (uint64_t)radix, &acc) ||
        __builtin_add_overflow(acc, (uint64_t)digit, &acc))
      return CVT_INT_RANGE;
  }
  out->magnitude = acc;
  return CVT_INT_OK;
}

/* Scans a field for a signed result whose magnitude may reach max_positive
 * (and max_positive + 1 under a minus sign). */
int to_signed(const char *field, int32_t w, uint32_t options, uint64_t max_positive, int64_t *value) {
  *value = 0;
  if (w < 0) return CVT_INT_NEGATIVE;
  if ((options & ~kKnownOptions) != 0) return CVT_INT_BAD_OPTION;
  scanned s;
  int status = scan(field, w, 10, options, &s);
  if (status != CVT_INT_OK) return status;
  if (s.magnitude > max_positive + (s.negative ? 1 : 0)) return CVT_INT_RANGE;
  *value = s.negative ? (int64_t)(0u - s.magnitude) : (int64_t)s.magnitude;
  return CVT_INT_OK;
}

/* An unsigned result: a minus sign is allowed only before a zero magnitude. */
int to_unsigned(const char *field, int32_t w, int32_t radix, uint32_t options, uint64_t max,
                uint64_t *value) {
  *value = 0;
  if (w < 0) return CVT_INT_NEGATIVE;
  if ((options & ~kKnownOptions) != 0) return CVT_INT_BAD_OPTION;
  if (radix < 2 || radix > 16) return CVT_INT_BAD_RADIX;
  scanned s;
  int status = scan(field, w, (uint32_t)radix, options, &s);
  if (status != CVT_INT_OK) return status;
  if (s.magnitude > max || (s.negative && s.magnitude != 0)) return CVT_INT_RANGE;
  *value = s.magnitude;
  return CVT_INT_OK;
}

}  // namespace

extern "C" int cvt_text_to_integer(const char *field, int32_t w, uint32_t options, int32_t *result) {
  int64_t value;
  int status = to_signed(field, w, options, INT32_MAX, &value);
  *result = (int32_t)value;
  return status;
}

extern "C" int cvt_text_to_integer64(const char *field, int32_t w, uint32_t options, int64_t *result) {
  return to_signed(field, w, options, INT64_MAX, result);
}

extern "C" int cvt_text_to_unsigned(const char *field, int32_t w, int32_t radix, uint32_t options,
                                    uint32_t *result) {
  uint64_t value;
  int status = to_unsigned(field, w, radix, options, UINT32_MAX, &value);
  *result = (uint32_t)value;
  return status;
}

extern "C" int cvt_text_to_unsigned64(const char *field, int32_t w, int32_t radix, uint32_t options,
                                      uint64_t *result) {
  return to_unsigned(field, w, radix, options, UINT64_MAX, result);
}
