// Numeric and logical values of list-directed output.  Integers are I12;
// reals take a G form: with N the decimal exponent of the value rounded to
// d significant digits (10^(N-1) <= |x| < 10^N), 0 <= N <= d is written in
// fixed notation with d - N fraction digits followed by e + 2 blanks, and
// any other N as 0.dddE+nn.  Zero has d - 1 fraction digits; a negative
// zero keeps its sign so that reading the text back gives the same value.
#include <string.h>

#include "cvt/cvt.h"
#include "cvt/for_ldir_wfs.h"
#include "fmt/cvt_int.h"

namespace {

constexpr for_ldir_edit kEdits[] = {
    {FOR_TYPE_INTEGER4, LDIR_I, 12, 0, 0},  {FOR_TYPE_REAL4, LDIR_G, 15, 7, 2},
    {FOR_TYPE_REAL8, LDIR_G, 24, 15, 3},    {FOR_TYPE_LOGICAL1, LDIR_L, 2, 0, 0},
    {FOR_TYPE_LOGICAL2, LDIR_L, 2, 0, 0},   {FOR_TYPE_LOGICAL4, LDIR_L, 2, 0, 0},
    {FOR_TYPE_LOGICAL8, LDIR_L, 2, 0, 0},   {FOR_TYPE_CHARACTER, LDIR_A, 255, 0, 0},
};

// The widest text: sign, "0.", 15 digits, "E+", 3 exponent digits.
static_assert(1 + 2 + 15 + 2 + 3 < FOR_LDIR_FIELD_MAX, "field buffer");

enum value_kind { FINITE, ZERO, INFINITE, NOT_A_NUMBER };

struct classified {
  value_kind kind;
  bool negative;
  int32_t e2;  // 2^e2 <= |x| < 2^(e2 + 1) for finite non-zero x
};

// From the bits, so that flush-to-zero and denormals-are-zero cannot act.
classified classify(const float *v) {
  uint32_t b;
  memcpy(&b, v, sizeof b);
  const uint32_t biased = (b >> 23) & 0xFF, fraction = b & 0x7FFFFF;
  classified c{FINITE, (b >> 31) != 0, 0};
  if (biased == 0xFF) c.kind = fraction ? NOT_A_NUMBER : INFINITE;
  else if (biased != 0) c.e2 = static_cast<int32_t>(biased) - 127;
  else if (fraction == 0) c.kind = ZERO;
  else c.e2 = -149 + (31 - __builtin_clz(fraction));
  return c;
}

classified classify(const double *v) {
  uint64_t b;
  memcpy(&b, v, sizeof b);
  const uint32_t biased = static_cast<uint32_t>(b >> 52) & 0x7FF;
  const uint64_t fraction = b & ((UINT64_C(1) << 52) - 1);
  classified c{FINITE, (b >> 63) != 0, 0};
  if (biased == 0x7FF) c.kind = fraction ? NOT_A_NUMBER : INFINITE;
  else if (biased != 0) c.e2 = static_cast<int32_t>(biased) - 1023;
  else if (fraction == 0) c.kind = ZERO;
  else c.e2 = -1074 + (63 - __builtin_clzll(fraction));
  return c;
}

void digits_at(const float *v, int32_t max, int32_t fd, char *buf, int32_t size, int32_t *first, int32_t *last,
               int32_t *exponent) {
  int32_t sign, status;
  cvtas_s_to_a(max, fd, CVTAS_FIXED, buf, size, first, last, v, exponent, &sign, &status);
}
void digits_at(const double *v, int32_t max, int32_t fd, char *buf, int32_t size, int32_t *first, int32_t *last,
               int32_t *exponent) {
  int32_t sign, status;
  cvtas_t_to_a(max, fd, CVTAS_FIXED, buf, size, first, last, v, exponent, &sign, &status);
}

// floor(e * log10(2)) for |e| below 2^20 (log10(2) * 2^32, rounded down).
int32_t floor_log10_pow2(int32_t e) { return static_cast<int32_t>((static_cast<int64_t>(e) * 1292913986) >> 32); }

// The d significant digits of a finite non-zero value, rounded once (ties
// to even) at the place that leaves d of them, and its decimal exponent.
// The estimate from the binary exponent is N or N - 1; a rounding carry
// (9.99... to 10.0...) shows as d + 1 digits and moves N up by one.
template <class T>
void significant(const T *v, int32_t e2, int32_t d, char *digits, int32_t *n_out) {
  int32_t n = floor_log10_pow2(e2) + 1;
  char buf[48];
  int32_t first = 0, last = -1, exponent = 0;
  for (int attempt = 0; attempt < 6; ++attempt) {
    digits_at(v, d + 1, d - n, buf, static_cast<int32_t>(sizeof buf), &first, &last, &exponent);
    const int32_t count = last - first + 1;
    if (count == d) break;
    n += count > d ? 1 : -1;
  }
  const int32_t count = last - first + 1 < d ? last - first + 1 : d;
  memcpy(digits, buf + first, static_cast<size_t>(count));
  memset(digits + count, '0', static_cast<size_t>(d - count));
  *n_out = exponent;
}

// Right-justifies text[0, n) in field[0, w) before `trail` blanks.
void place(char *field, int32_t w, const char *text, int32_t n, int32_t trail) {
  memset(field, ' ', static_cast<size_t>(w));
  memcpy(field + (w - trail - n), text, static_cast<size_t>(n));
}

template <class T>
void format_g(const T *v, const for_ldir_edit *edit, char *field) {
  const int32_t w = edit->w, d = edit->d, trail = edit->e + 2;
  const classified c = classify(v);
  char text[FOR_LDIR_FIELD_MAX];
  int32_t n = 0;
  if (c.kind == NOT_A_NUMBER) {
    place(field, w, "NaN", 3, 0);
    return;
  }
  if (c.negative) text[n++] = '-';
  if (c.kind == INFINITE) {
    memcpy(text + n, "Infinity", 8);
    place(field, w, text, n + 8, 0);
    return;
  }
  if (c.kind == ZERO) {
    text[n++] = '0';
    text[n++] = '.';
    memset(text + n, '0', static_cast<size_t>(d - 1));
    place(field, w, text, n + d - 1, trail);
    return;
  }
  char digits[32];
  int32_t exponent = 0;
  significant(v, c.e2, d, digits, &exponent);
  if (exponent >= 0 && exponent <= d) {
    if (exponent == 0) {
      text[n++] = '0';
    } else {
      memcpy(text + n, digits, static_cast<size_t>(exponent));
      n += exponent;
    }
    text[n++] = '.';
    memcpy(text + n, digits + exponent, static_cast<size_t>(d - exponent));
    place(field, w, text, n + d - exponent, trail);
    return;
  }
  text[n++] = '0';
  text[n++] = '.';
  memcpy(text + n, digits, static_cast<size_t>(d));
  n += d;
  text[n++] = 'E';
  text[n++] = exponent < 0 ? '-' : '+';
  const int32_t magnitude = exponent < 0 ? -exponent : exponent;
  char e_digits[8];
  int32_t k = 0;
  for (int32_t m = magnitude; m > 0 || k < edit->e; m /= 10) e_digits[k++] = static_cast<char>('0' + m % 10);
  while (k > 0) text[n++] = e_digits[--k];
  place(field, w, text, n, 0);
}

}  // namespace

const for_ldir_edit *for__ldir_edit(uint8_t type) {
  for (const for_ldir_edit &e : kEdits)
    if (e.type == type) return &e;
  return nullptr;
}

void for__ldir_format(const for_ldir_edit *edit, const for_item *item, int64_t element, char *field) {
  const char *p = static_cast<const char *>(item->address) + element * item->length;
  switch (edit->code) {
    case LDIR_I: {
      int32_t v;
      memcpy(&v, p, sizeof v);
      cvt_integer_to_text(v, edit->w, 1, 0, field);
      return;
    }
    case LDIR_G:
      if (item->type == FOR_TYPE_REAL4) {
        float v;
        memcpy(&v, p, sizeof v);
        format_g(&v, edit, field);
      } else {
        double v;
        memcpy(&v, p, sizeof v);
        format_g(&v, edit, field);
      }
      return;
    case LDIR_L:
      // The low bit decides, as for the logical constants.
      memset(field, ' ', static_cast<size_t>(edit->w));
      field[edit->w - 1] = (p[0] & 1) ? 'T' : 'F';
      return;
    default:
      memset(field, ' ', static_cast<size_t>(edit->w));
      return;
  }
}
