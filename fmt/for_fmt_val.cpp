// The editing dispatchers: A, F, I, L, O, Z and B on output and input.
#include <stdlib.h>
#include <string.h>

#include "cvt/cvt.h"
#include "fmt/cvt_int.h"
#include "fmt/for_edit.h"
#include "rtl/for_msg.h"

namespace {

bool is_integer(uint8_t t) {
  return t == FOR_TYPE_INTEGER1 || t == FOR_TYPE_INTEGER2 || t == FOR_TYPE_INTEGER4 || t == FOR_TYPE_INTEGER8;
}
bool is_real(uint8_t t) { return t == FOR_TYPE_REAL4 || t == FOR_TYPE_REAL8; }
bool is_logical(uint8_t t) {
  return t == FOR_TYPE_LOGICAL1 || t == FOR_TYPE_LOGICAL2 || t == FOR_TYPE_LOGICAL4 || t == FOR_TYPE_LOGICAL8;
}

char *element_address(const for_item *item, int64_t element) {
  return static_cast<char *>(item->address) + element * item->length;
}

int64_t load_integer(const for_item *item, int64_t element) {
  const char *p = element_address(item, element);
  switch (item->type) {
    case FOR_TYPE_INTEGER1: { int8_t v; memcpy(&v, p, 1); return v; }
    case FOR_TYPE_INTEGER2: { int16_t v; memcpy(&v, p, 2); return v; }
    case FOR_TYPE_INTEGER4: { int32_t v; memcpy(&v, p, 4); return v; }
    default: { int64_t v; memcpy(&v, p, 8); return v; }
  }
}

// Stores an integer into an integer item; false when it does not fit.
bool store_integer(const for_item *item, int64_t element, int64_t v) {
  char *p = element_address(item, element);
  switch (item->type) {
    case FOR_TYPE_INTEGER1: {
      if (v < INT8_MIN || v > INT8_MAX) return false;
      int8_t x = static_cast<int8_t>(v);
      memcpy(p, &x, 1);
      return true;
    }
    case FOR_TYPE_INTEGER2: {
      if (v < INT16_MIN || v > INT16_MAX) return false;
      int16_t x = static_cast<int16_t>(v);
      memcpy(p, &x, 2);
      return true;
    }
    case FOR_TYPE_INTEGER4: {
      if (v < INT32_MIN || v > INT32_MAX) return false;
      int32_t x = static_cast<int32_t>(v);
      memcpy(p, &x, 4);
      return true;
    }
    default: memcpy(p, &v, 8); return true;
  }
}

bool load_logical(const for_item *item, int64_t element) {
  const char *p = element_address(item, element);
  // The low bit decides, as for the logical constants T and F.
  return (p[0] & 1) != 0;
}

void store_logical(const for_item *item, int64_t element, bool v) {
  char *p = element_address(item, element);
  memset(p, 0, static_cast<size_t>(item->length));
  if (v) {
    const int64_t one = -1;
    memcpy(p, &one, static_cast<size_t>(item->length));
  }
}

uint32_t real_edit_flags(const for_fmt_cursor *c) {
  uint32_t flags = CVT_ROUND_VALID | CVT_EDIT_F;
  if (c->modes & FMT_MODE_SP) flags |= CVT_EDIT_SP;
  if (c->rounding & FMT_ROUND_RU) flags |= CVT_ROUND_UP << CVT_ROUND_SHIFT;
  if (c->rounding & FMT_ROUND_RD) flags |= CVT_ROUND_DOWN << CVT_ROUND_SHIFT;
  if (c->rounding & FMT_ROUND_RZ) flags |= CVT_ROUND_ZERO << CVT_ROUND_SHIFT;
  if (c->rounding & FMT_ROUND_RC) flags |= CVT_ROUND_AWAY << CVT_ROUND_SHIFT;
  return flags;
}

// F and ES editing of a real item; the conversion answers the rest of the E
// family with asterisks.  The forms without w.d take the defaults of the
// item's kind (F15.7 and ES15.7E2, F25.16 and ES25.16E3); ES0.d is the
// minimal field, its contents from the left.
int format_real(const for_item *item, int64_t element, const for_fmt_cursor *c, char *field, int32_t w) {
  const bool real4 = item->type == FOR_TYPE_REAL4;
  uint32_t flags = real_edit_flags(c);
  const uint64_t options = (c->decimal & FMT_DECIMAL_DC) ? CVT_OPT_DECIMAL_COMMA : 0;
  int16_t d = static_cast<int16_t>(c->digits);
  int32_t e = c->exp_digits;
  switch (c->desc) {
    case FD_F:
      break;
    case FD_F0:
      d = real4 ? 7 : 16;
      break;
    case FD_ES0:
      d = real4 ? 7 : 16;
      e = real4 ? 2 : 3;
      [[fallthrough]];
    case FD_ES:
    case FD_ESE:
      flags = (flags & ~CVT_EDIT_F) | CVT_EDIT_E | CVT_EDIT_SCIENTIFIC;
      if (c->width == 0 && c->desc != FD_ES0) flags |= CVT_EDIT_MINIMAL;
      break;
    default:
      flags &= ~CVT_EDIT_F;
      break;
  }
  int s;
  if (real4) {
    float v;
    memcpy(&v, element_address(item, element), 4);
    s = cvt_ieee_s_to_text_ex(&v, w, c->scale, d, w, e, flags, field, options);
  } else {
    double v;
    memcpy(&v, element_address(item, element), 8);
    s = cvt_ieee_t_to_text_ex(&v, w, c->scale, d, w, e, flags, field, options);
  }
  if (s == CVT_OK || s == CVT_NAN || s == CVT_INFINITY) return 0;
  return s == 8 ? FOR_E_INPUT_CONVERSION : FOR_E_OUTPUT_CONVERSION;
}

int format_integer(const for_item *item, int64_t element, const for_fmt_cursor *c, char *field, int32_t w) {
  const int32_t m = (c->desc == FD_IM) ? c->digits : 1;
  const uint32_t options = (c->modes & FMT_MODE_SP) ? CVT_INT_PLUS : 0;
  const int64_t v = load_integer(item, element);
  const int s = item->type == FOR_TYPE_INTEGER8 ? cvt_integer64_to_text(v, w, m, options, field)
                                                : cvt_integer_to_text(static_cast<int32_t>(v), w, m, options, field);
  return s == 0 ? 0 : FOR_E_OUTPUT_CONVERSION;
}

int format_radix(const for_item *item, int64_t element, const for_fmt_cursor *c, char *field, int32_t w,
                 int radix) {
  const int32_t m = (c->desc == FD_OM || c->desc == FD_ZM || c->desc == FD_BM) ? c->digits : 1;
  uint64_t v = static_cast<uint64_t>(load_integer(item, element));
  if (item->length < 8) v &= (UINT64_C(1) << (8 * item->length)) - 1;
  const int s = cvt_unsigned64_to_text(v, w, radix, m, field);
  return s == 0 ? 0 : FOR_E_OUTPUT_CONVERSION;
}

int radix_of(uint8_t desc) {
  switch (desc) {
    case FD_O0: case FD_O: case FD_OM: return 8;
    case FD_Z0: case FD_Z: case FD_ZM: return 16;
    case FD_B0: case FD_B: case FD_BM: return 2;
    default: return 0;
  }
}

bool is_real_desc(uint8_t d) {
  switch (d) {
    case FD_F: case FD_F0: case FD_E: case FD_E0: case FD_EE: case FD_D: case FD_D0: case FD_G: case FD_G0:
    case FD_GE: case FD_EN: case FD_EN0: case FD_ENE: case FD_ES: case FD_ES0: case FD_ESE: return true;
    default: return false;
  }
}
bool is_integer_desc(uint8_t d) { return d == FD_I || d == FD_IM || d == FD_I0; }
bool is_char_desc(uint8_t d) { return d == FD_A || d == FD_A0; }
bool is_logical_desc(uint8_t d) { return d == FD_L || d == FD_L0; }

// The numeric and logical descriptors on output; out of line, so that the
// character path that every copied line takes needs none of its frame.
[[gnu::noinline]] int format_other(const for_item *item, int64_t element, const for_fmt_cursor *c, char *field,
                                   int64_t w64) {
  const int32_t w = w64 > INT32_MAX ? INT32_MAX : static_cast<int32_t>(w64);
  const uint8_t d = c->desc;
  if (is_real_desc(d)) {
    if (!is_real(item->type)) return FOR_E_TYPE_MISMATCH;
    return format_real(item, element, c, field, w);
  }
  if (is_integer_desc(d)) {
    if (!is_integer(item->type)) return FOR_E_TYPE_MISMATCH;
    return format_integer(item, element, c, field, w);
  }
  if (int radix = radix_of(d)) {
    if (!is_integer(item->type) && !is_logical(item->type)) return FOR_E_TYPE_MISMATCH;
    return format_radix(item, element, c, field, w, radix);
  }
  if (is_logical_desc(d)) {
    if (!is_logical(item->type)) return FOR_E_TYPE_MISMATCH;
    if (w > 0) {
      memset(field, ' ', static_cast<size_t>(w - 1));
      field[w - 1] = load_logical(item, element) ? 'T' : 'F';
    }
    return 0;
  }
  return FOR_E_TYPE_MISMATCH;
}

// The numeric and logical descriptors on input, from a copy of the field
// padded with blanks to w characters; out of line like format_other.
[[gnu::noinline]] int convert_other(const for_fmt_cursor *c, const char *field, int64_t available, int64_t w,
                                    const for_item *item, int64_t element) {
  const uint8_t d = c->desc;
  char local[128];
  char *text = local;
  if (w > static_cast<int64_t>(sizeof local)) {
    text = static_cast<char *>(malloc(static_cast<size_t>(w)));
    if (!text) return FOR_E_BUFFER_MEMORY;
  }
  if (available > 0) memcpy(text, field, static_cast<size_t>(available));
  if (w > available) memset(text + available, ' ', static_cast<size_t>(w - available));
  const int32_t wi = w > INT32_MAX ? INT32_MAX : static_cast<int32_t>(w);
  const bool blank_zero = (c->modes & FMT_MODE_BZ) != 0;
  int result = 0;

  if (is_real_desc(d)) {
    if (!is_real(item->type)) {
      result = FOR_E_TYPE_MISMATCH;
    } else {
      uint32_t flags = CVTAS_ROUND_VALID | (blank_zero ? 0 : CVTAS_BLANK_NULL);
      const uint64_t options = (c->decimal & FMT_DECIMAL_DC) ? (uint64_t{0x04} << 32) : 0;
      const int16_t digits = static_cast<int16_t>(c->digits);
      char *dst = element_address(item, element);
      int s;
      if (item->type == FOR_TYPE_REAL4) {
        float v;
        s = cvt_text_to_ieee_s_ex(text, wi, c->scale, digits, flags, &v, options);
        memcpy(dst, &v, 4);
      } else {
        double v;
        s = cvt_text_to_ieee_t_ex(text, wi, c->scale, digits, flags, &v, options);
        memcpy(dst, &v, 8);
      }
      if (s) result = FOR_E_INPUT_CONVERSION;
    }
  } else if (is_integer_desc(d) || radix_of(d)) {
    if (!is_integer(item->type)) {
      result = FOR_E_TYPE_MISMATCH;
    } else {
      const uint32_t options = blank_zero ? CVT_INT_BLANK_ZERO : CVT_INT_BLANK_NULL;
      int64_t v = 0;
      int s;
      if (int radix = radix_of(d)) {
        uint64_t u = 0;
        s = cvt_text_to_unsigned64(text, wi, radix, options, &u);
        v = static_cast<int64_t>(u);
      } else if (item->type == FOR_TYPE_INTEGER8) {
        s = cvt_text_to_integer64(text, wi, options, &v);
      } else {
        int32_t v32 = 0;
        s = cvt_text_to_integer(text, wi, options, &v32);
        v = v32;
      }
      if (s || !store_integer(item, element, v)) result = FOR_E_INPUT_CONVERSION;
    }
  } else if (is_logical_desc(d)) {
    if (!is_logical(item->type)) {
      result = FOR_E_TYPE_MISMATCH;
    } else {
      // Blanks, an optional period, then T or F; the rest is ignored.
      int64_t i = 0;
      while (i < w && text[i] == ' ') ++i;
      if (i < w && text[i] == '.') ++i;
      const char t = i < w ? text[i] : ' ';
      if (t == 'T' || t == 't') store_logical(item, element, true);
      else if (t == 'F' || t == 'f') store_logical(item, element, false);
      else result = FOR_E_INPUT_CONVERSION;
    }
  } else {
    result = FOR_E_TYPE_MISMATCH;
  }
  if (text != local) free(text);
  return result;
}

}  // namespace

bool for__is_numeric_desc(uint8_t desc) { return !is_char_desc(desc); }

int64_t for__field_width(const for_fmt_cursor *c, const for_item *item) {
  switch (c->desc) {
    case FD_A0: return item->length;
    case FD_I0:
      return item->type == FOR_TYPE_INTEGER8 ? 23 : item->type == FOR_TYPE_INTEGER4 ? 12 : 7;
    case FD_F0: case FD_E0: case FD_D0: case FD_G0: case FD_EN0: case FD_ES0:
      return item->type == FOR_TYPE_REAL8 ? 25 : 15;
    case FD_ES: case FD_ESE:
      // ES0.d: room for a sign, a digit, the point, d digits and the
      // exponent, or for "-Infinity".
      if (c->width == 0) {
        const int64_t need = 3 + c->digits + (c->exp_digits > 0 ? c->exp_digits + 2 : 4);
        return need > 9 ? need : 9;
      }
      return c->width;
    case FD_L0: return 2;
    case FD_O0: return 2 * item->length + 1 + item->length / 2;
    case FD_Z0: return 2 * item->length;
    case FD_B0: return 8 * item->length;
    default: return c->width;
  }
}

int for__format_value(const for_item *item, int64_t element, const for_fmt_cursor *c, char *field, int64_t w) {
  if (!is_char_desc(c->desc)) return format_other(item, element, c, field, w);
  if (item->type != FOR_TYPE_CHARACTER) return FOR_E_TYPE_MISMATCH;
  // A: the whole item right-aligned in blanks, or its first w characters.
  for__edit_a_output(element_address(item, element), item->length, field, w);
  return 0;
}

int for__cvt_value(const for_fmt_cursor *c, const char *field, int64_t available, int64_t w, const for_item *item,
                   int64_t element) {
  if (available > w) available = w;
  if (available < 0) available = 0;
  if (!is_char_desc(c->desc)) return convert_other(c, field, available, w, item, element);
  if (item->type != FOR_TYPE_CHARACTER) return FOR_E_TYPE_MISMATCH;
  for__edit_a_input(element_address(item, element), item->length, field, available, w);
  return 0;
}
