// Conversion of one list-directed value into an item: integer fields
// through the integer conversion, fields with a decimal symbol or exponent
// into integers through binary64 truncated toward zero, reals through the
// text-to-real conversions, logical and character values by type.
#include <string.h>

#include "cvt/cvt.h"
#include "cvt/for_ldr.h"
#include "fmt/cvt_int.h"
#include "rtl/for_msg.h"

namespace {

bool is_integer(uint8_t t) {
  return t == FOR_TYPE_INTEGER1 || t == FOR_TYPE_INTEGER2 || t == FOR_TYPE_INTEGER4 || t == FOR_TYPE_INTEGER8;
}
bool is_logical(uint8_t t) {
  return t == FOR_TYPE_LOGICAL1 || t == FOR_TYPE_LOGICAL2 || t == FOR_TYPE_LOGICAL4 || t == FOR_TYPE_LOGICAL8;
}

// Smallest value of a signed integer of `bytes` bytes.
int64_t minimum_of(int64_t bytes) { return bytes >= 8 ? INT64_MIN : -(INT64_C(1) << (8 * bytes - 1)); }

bool fits(int64_t v, int64_t bytes) {
  if (bytes >= 8) return true;
  const int64_t lo = minimum_of(bytes);
  return v >= lo && v <= -(lo + 1);
}

// Stores the low `bytes` bytes of v (little-endian layout).
void store_bytes(char *dst, int64_t v, int64_t bytes) { memcpy(dst, &v, static_cast<size_t>(bytes)); }

void store_logical(char *dst, bool v, int64_t bytes) { store_bytes(dst, v ? -1 : 0, bytes); }

// An integer-looking field as a 64-bit integer; false when it is not one.
bool integer_value(const for_ldr_scan *s, int64_t *v) {
  if (s->field_length > INT32_MAX) return false;
  return cvt_text_to_integer64(s->field, static_cast<int32_t>(s->field_length), 0, v) == CVT_INT_OK;
}

// A field with a decimal symbol or exponent into an integer item: the
// binary64 value truncated toward zero; out of range (infinity and NaN
// included) gives the type's smallest value.
int truncated_into(const for_ldr_scan *s, char *dst, int64_t bytes) {
  double x = 0.0;
  if (cvt_text_to_ieee_t_ex(s->field, static_cast<int32_t>(s->field_length), 0, 0, CVTAS_ROUND_VALID, &x, 0) &&
      !__builtin_isinf(x))
    return FOR_E_INPUT_CONVERSION;
  const int64_t lo = minimum_of(bytes);
  // -lo is 2^(8 bytes - 1), exact in binary64.
  const double upper = -static_cast<double>(lo);
  const int64_t v = x >= static_cast<double>(lo) && x < upper ? static_cast<int64_t>(x) : lo;
  store_bytes(dst, v, bytes);
  return 0;
}

int numeric_into(const for_ldr_scan *s, const for_item *item, char *dst) {
  if (s->field_length > INT32_MAX) return FOR_E_INPUT_CONVERSION;
  const int32_t n = static_cast<int32_t>(s->field_length);
  const uint8_t t = item->type;
  if (is_integer(t)) {
    if (!s->integer_like) return truncated_into(s, dst, item->length);
    int64_t v = 0;
    if (!integer_value(s, &v) || !fits(v, item->length)) return FOR_E_INPUT_CONVERSION;
    store_bytes(dst, v, item->length);
    return 0;
  }
  if (t == FOR_TYPE_REAL4) {
    float v;
    if (cvt_text_to_ieee_s_ex(s->field, n, 0, 0, CVTAS_ROUND_VALID, &v, 0)) return FOR_E_INPUT_CONVERSION;
    memcpy(dst, &v, sizeof v);
    return 0;
  }
  if (t == FOR_TYPE_REAL8) {
    double v;
    if (cvt_text_to_ieee_t_ex(s->field, n, 0, 0, CVTAS_ROUND_VALID, &v, 0)) return FOR_E_INPUT_CONVERSION;
    memcpy(dst, &v, sizeof v);
    return 0;
  }
  if (is_logical(t) && !s->strict) {
    // Without strict typing an integer gives the logical its bits.
    int64_t v = 0;
    if (!s->integer_like || !integer_value(s, &v)) return FOR_E_INPUT_CONVERSION;
    store_bytes(dst, v, item->length);
    return 0;
  }
  return FOR_E_INPUT_CONVERSION;
}

int logical_into(const for_ldr_scan *s, const for_item *item, char *dst) {
  if (is_logical(item->type) || (is_integer(item->type) && !s->strict)) {
    store_logical(dst, s->logical_value, item->length);
    return 0;
  }
  return FOR_E_INPUT_CONVERSION;
}

int character_into(const for_ldr_scan *s, const for_item *item, char *dst) {
  if (item->type != FOR_TYPE_CHARACTER) return FOR_E_INPUT_CONVERSION;
  const int64_t n = s->field_length < item->length ? s->field_length : item->length;
  if (n > 0) memcpy(dst, s->field, static_cast<size_t>(n));
  if (item->length > n) memset(dst + n, ' ', static_cast<size_t>(item->length - n));
  return 0;
}

}  // namespace

int rs_cvt_2step(const for_ldr_scan *s, const for_item *item, int64_t element) {
  char *dst = static_cast<char *>(item->address) + element * item->length;
  switch (s->kind) {
    case LDR_NUMERIC: return numeric_into(s, item, dst);
    case LDR_LOGICAL: return logical_into(s, item, dst);
    case LDR_CHARACTER: return character_into(s, item, dst);
    case LDR_COMPLEX: return FOR_E_INPUT_CONVERSION;
    default: return 0;
  }
}
