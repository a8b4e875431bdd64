/* F and ES editing of binary32 and binary64 values: the digits from the
 * fixed-mode (F) or significant-digit (ES) generator laid out right-justified
 * in exactly w characters, with the sign, zero and decimal-symbol rules of
 * the editing flag and option words.  A value that does not fit leaves w
 * asterisks and status 2.  E, D, G and EN are not provided: status 4 and
 * asterisks. */
#include <string.h>

#include "fmt/cvt_fill.h"

#include "cvt/cvt.h"
#include "cvt/cvt_f_short.h"
#include "cvt/cvtas_ftoa.h"
#include "cvt/cvtas_nan.h"
#include "cvt/cvtas_pow_ten_64.h"
#include "cvt/cvtas_work_buffer.h"

namespace {

/* Digits fit this buffer on the stack whenever w < 62: the generator is
 * asked for at most w - 1 of them. */
constexpr int32_t kStackWork = 64;
constexpr int32_t kStackLimit = 62;

/* Copies n bytes; short runs by overlapping fixed-size moves. */
inline void copy(char *to, const char *from, int32_t n) {
  if (n >= 8 && n <= 16) {
    memcpy(to, from, 8);
    memcpy(to + n - 8, from + n - 8, 8);
  } else if (n >= 4 && n < 8) {
    memcpy(to, from, 4);
    memcpy(to + n - 4, from + n - 4, 4);
  } else if (n < 4) {
    for (int32_t i = 0; i < n; ++i) to[i] = from[i];
  } else {
    memcpy(to, from, (size_t)n);
  }
}

inline int stars(char *field, int32_t w, int status) {
  cvt__fill(field, w, '*');
  return status;
}

inline int generate(const float *value, int32_t max_digits, int32_t fd, uint32_t flags, char *work,
                    int32_t size, int32_t *first, int32_t *last, int32_t *exponent, int32_t *sign) {
  int32_t status;
  cvtas_s_to_a(max_digits, fd, flags, work, size, first, last, value, exponent, sign, &status);
  return status;
}

inline int generate(const double *value, int32_t max_digits, int32_t fd, uint32_t flags, char *work,
                    int32_t size, int32_t *first, int32_t *last, int32_t *exponent, int32_t *sign) {
  int32_t status;
  cvtas_t_to_a(max_digits, fd, flags, work, size, first, last, value, exponent, sign, &status);
  return status;
}

struct layout {
  char *field;
  int32_t w;
  bool minimal;  // the contents take only the columns they need, from the left
};

/* NaN and infinity: the text right-justified after an optional sign.  A field
 * too narrow for them is a field of asterisks and status 2, like any value
 * that does not fit. */
int put_special(const layout &f, const cvtas_text &text, char sign, int status) {
  int32_t need = text.length + (sign != 0 ? 1 : 0);
  if (f.w < need) return stars(f.field, f.w, CVT_STARS);
  int32_t width = f.minimal ? need : f.w;
  cvt__fill(f.field, f.w, ' ');
  memcpy(f.field + width - text.length, text.chars, (size_t)text.length);
  if (sign != 0) f.field[width - need] = sign;
  return status;
}

/* n digits before the point (none when n <= 0), d after it; when n < 0 the
 * first -n of those are zeros.  digits holds n + d digits; it is null for a
 * zero, whose digits are all '0'. */
int put_fixed(const layout &f, int32_t n, int32_t d, const char *digits, char sign, char point,
              bool zero_optional, int32_t limit) {
  int32_t s = sign != 0 ? 1 : 0;
  int64_t need = n >= 1 ? (int64_t)s + n + 1 + d : (int64_t)s + 1 + d + (d == 0 ? 1 : 0);
  if (need > f.w || (limit != 0 && n > limit)) return stars(f.field, f.w, CVT_STARS);
  int32_t width = f.w;
  if (f.minimal) {
    width = (int32_t)need;
    cvt__fill(f.field + width, f.w - width, ' ');
  }

  char *p = f.field + width - d;
  if (digits == nullptr) {
    cvt__fill(p, d, '0');
  } else if (n >= 0) {
    copy(p, digits + n, d);
  } else {
    int32_t zeros = -n < d ? -n : d;
    cvt__fill(p, zeros, '0');
    copy(p + zeros, digits, d - zeros);
  }
  *--p = point;
  if (n >= 1) {
    p -= n;
    copy(p, digits, n);
  } else if (d == 0 || (p - f.field > s && !zero_optional)) {
    *--p = '0';
  }
  if (sign != 0) *--p = sign;
  cvt__fill(f.field, (int32_t)(p - f.field), ' ');
  return CVT_OK;
}

/* ES layout: one digit, the point, d digits, then the exponent x: with
 * e <= 0 "E+dd" up to 99 and "+ddd" up to 999, otherwise 'E', the sign and
 * exactly e digits.  digits holds d + 1 digits; it is null for a zero. */
int put_scientific(const layout &f, int32_t x, int32_t d, int32_t e, const char *digits, char sign, char point) {
  uint32_t a = x < 0 ? 0u - (uint32_t)x : (uint32_t)x;
  bool fits = e > 0 ? e >= 10 || a < cvtas_pow_ten_64[e] : a <= 999;
  int32_t exp_digits = e > 0 ? e : a <= 99 ? 2 : 3;
  bool letter = e > 0 || a <= 99;
  int64_t need = (int64_t)(sign != 0 ? 1 : 0) + 2 + d + exp_digits + (letter ? 2 : 1);
  if (!fits || need > f.w) return stars(f.field, f.w, CVT_STARS);
  int32_t width = f.w;
  if (f.minimal) {
    width = (int32_t)need;
    cvt__fill(f.field + width, f.w - width, ' ');
  }

  char *p = f.field + width;
  for (int32_t i = 0; i < exp_digits; ++i, a /= 10) *--p = (char)('0' + a % 10);
  *--p = x < 0 ? '-' : '+';
  if (letter) *--p = 'E';
  p -= d;
  if (digits == nullptr) {
    cvt__fill(p, d, '0');
  } else {
    copy(p, digits + 1, d);
  }
  *--p = point;
  *--p = digits == nullptr ? '0' : digits[0];
  if (sign != 0) *--p = sign;
  cvt__fill(f.field, (int32_t)(p - f.field), ' ');
  return CVT_OK;
}

template <class T>
int edit(const T *value, const layout &f, int8_t k, int16_t d, int32_t limit, int32_t e, uint32_t flags,
         uint64_t options, char *work, int32_t size) {
  bool scientific = (flags & CVT_EDIT_E) != 0;
  int32_t first, last, exponent, sign_code;
  int status = scientific
                   ? generate(value, (int32_t)d + 1, 0,
                              (flags & (CVT_ROUND_MASK | CVT_ROUND_VALID)) | CVTAS_SIGNIFICANT | CVTAS_REPORT_SPECIAL,
                              work, size, &first, &last, &exponent, &sign_code)
                   : generate(value, f.w - 1, (int32_t)k + d, flags | CVTAS_EDIT_ADDS, work, size, &first, &last,
                              &exponent, &sign_code);
  bool negative = sign_code < 0;
  bool plus = (flags & CVT_EDIT_SP) != 0;
  char point = (options & CVT_OPT_DECIMAL_COMMA) != 0 ? ',' : '.';
  bool zero_optional = (options & (CVT_OPT_NO_LEADING_ZERO | CVT_OPT_NO_LEADING_ZERO2)) != 0;
  switch (status) {
    case CVTAS_DIGITS_NAN:
      return put_special(f, cvtas_text_nan, 0, CVT_NAN);
    case CVTAS_DIGITS_INFINITY: {
      char sign = negative ? '-' : plus ? '+' : 0;
      int32_t s = sign != 0 ? 1 : 0;
      const cvtas_text &text = f.w >= cvtas_text_infinity.length + s ? cvtas_text_infinity : cvtas_text_inf;
      return put_special(f, text, sign, CVT_INFINITY);
    }
    case CVTAS_DIGITS_ZERO: {
      bool minus = negative && (sign_code == -CVTAS_SIGN_ZERO ? (options & CVT_OPT_MINUS_ZERO) != 0
                                                              : (options & CVT_OPT_MINUS_ROUNDS_TO_ZERO) != 0);
      char sign = minus ? '-' : (!negative && plus) ? '+' : 0;
      if (scientific) return put_scientific(f, 0, d, e, nullptr, sign, point);
      return put_fixed(f, 0, d, nullptr, sign, point, zero_optional, limit);
    }
    case CVTAS_DIGITS: {
      char sign = negative ? '-' : plus ? '+' : 0;
      if (scientific) {
        if (last - first != d) return stars(f.field, f.w, CVT_STARS);  // the buffer held fewer
        return put_scientific(f, exponent - 1, d, e, work + first, sign, point);
      }
      int64_t n = (int64_t)k + exponent;
      // Fewer digits than n + d: the generator met its limit, so the value
      // is wider than the field.
      if (n > f.w || (int64_t)(last - first + 1) != n + d) return stars(f.field, f.w, CVT_STARS);
      return put_fixed(f, (int32_t)n, d, work + first, sign, point, zero_optional, limit);
    }
    default:
      return stars(f.field, f.w, CVT_STARS);
  }
}

template <class T>
int to_text(const T *value, int32_t w, int8_t k, int16_t d, int32_t limit, int32_t e, uint32_t flags,
            char *field, uint64_t options) {
  if (w <= 0) return CVT_STARS;
  uint32_t kind = flags & (CVT_EDIT_F | CVT_EDIT_E);
  if (kind != CVT_EDIT_F && (kind != CVT_EDIT_E || (flags & CVT_EDIT_SCIENTIFIC) == 0))
    return stars(field, w, CVT_NO_KIND);
  if (w == 1 || d < 0) return stars(field, w, CVT_STARS);
  layout f{field, w, (flags & CVT_EDIT_MINIMAL) != 0};
  if (d <= kStackLimit && w < kStackLimit) {
    char work[kStackWork];
    return edit(value, f, k, d, limit, e, flags, options, work, kStackWork);
  }
  int64_t base = w + 2;
  if (d + 2 > base) base = d + 2;
  if (base < 9) base = 9;
  size_t bytes = (size_t)base * 2 + 4;
  char *work = (char *)cvtas__obtain_work(bytes);
  if (work == nullptr) return CVT_STARS;
  int32_t size = bytes > (size_t)INT32_MAX ? INT32_MAX : (int32_t)bytes;
  int status = edit(value, f, k, d, limit, e, flags, options, work, size);
  cvtas__release_work(work);
  return status;
}

/* binary32 F editing of fields of ordinary size with few fraction digits,
 * nearest rounding and no scale factor takes the short path first. */
inline int s_to_text(const float *value, int32_t w, int8_t k, int16_t d, int32_t limit, int32_t e, uint32_t flags,
                     char *field, uint64_t options) {
  if ((flags & (CVT_EDIT_F | CVT_EDIT_E | CVT_EDIT_MINIMAL)) == CVT_EDIT_F && k == 0 && d >= 0 &&
      d <= CVT_F_SHORT_MAX_D && w >= 2 && w < kStackLimit && limit >= 0 &&
      cvtas__rounding_mode(flags) == CVT_ROUND_NEAREST) {
    uint32_t bits;
    memcpy(&bits, value, sizeof bits);
    int status = cvt__f_short(bits, w, d, limit, (flags & CVT_EDIT_SP) != 0, options, field);
    if (status >= 0) return status;
  }
  return to_text(value, w, k, d, limit, e, flags, field, options);
}

}  // namespace

extern "C" int cvt_ieee_s_to_text_ex(const float *value, int32_t w, int8_t k, int16_t d, int32_t limit,
                                     int32_t e, uint32_t flags, char *field, uint64_t options) {
  return s_to_text(value, w, k, d, limit, e, flags, field, options);
}

extern "C" int cvt_ieee_s_to_text(const float *value, int32_t w, int8_t k, int16_t d, int32_t limit,
                                  int32_t e, uint32_t flags, char *field) {
  return s_to_text(value, w, k, d, limit, e, flags, field, 0);
}

extern "C" int cvt_ieee_t_to_text_ex(const double *value, int32_t w, int8_t k, int16_t d, int32_t limit,
                                     int32_t e, uint32_t flags, char *field, uint64_t options) {
  return to_text(value, w, k, d, limit, e, flags, field, options);
}

extern "C" int cvt_ieee_t_to_text(const double *value, int32_t w, int8_t k, int16_t d, int32_t limit,
                                  int32_t e, uint32_t flags, char *field) {
  return to_text(value, w, k, d, limit, e, flags, field, 0);
}
