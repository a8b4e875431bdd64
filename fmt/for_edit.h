// Editing one item under one data edit descriptor: output into a field of
// exactly w characters, input from a field of w characters.
#pragma once

#include <cstdint>
#include <cstring>

#include "fmt/for_fmt.h"
#include "rtl/for_stmt.h"

// A editing of an item of n characters.  Output: the whole item right-aligned
// in blanks, or its first w characters.
inline void for__edit_a_output(const char *src, int64_t n, char *field, int64_t w) {
  if (w > n) {
    memset(field, ' ', static_cast<size_t>(w - n));
    memcpy(field + (w - n), src, static_cast<size_t>(n));
  } else if (w > 0) {
    memcpy(field, src, static_cast<size_t>(w));
  }
}

// Input, from a field of w characters whose first `available` (0 <= available
// <= w) are in the record: an item shorter than the field takes its rightmost
// characters, a longer one the field followed by blanks.
inline void for__edit_a_input(char *dst, int64_t n, const char *field, int64_t available, int64_t w) {
  if (n < w) {
    const int64_t from = w - n;
    for (int64_t i = 0; i < n; ++i) dst[i] = from + i < available ? field[from + i] : ' ';
  } else {
    if (available > 0) memcpy(dst, field, static_cast<size_t>(available));
    memset(dst + available, ' ', static_cast<size_t>(n - available));
  }
}

// The field width of a descriptor for an item: w, or the default of the
// item's type for the forms without a width (A: the item's length).
int64_t for__field_width(const for_fmt_cursor *c, const for_item *item);
// True for descriptors whose input field ends early at a comma.
bool for__is_numeric_desc(uint8_t desc);

// Edits element `element` of the item into field[0, w).  0, 61, 63 or 64.
int for__format_value(const for_item *item, int64_t element, const for_fmt_cursor *c, char *field, int64_t w);
// Converts the input field of w characters, of which the first `available`
// are in the record and the rest are blanks, into element `element`.
// 0, 61 or 64.
int for__cvt_value(const for_fmt_cursor *c, const char *field, int64_t available, int64_t w, const for_item *item,
                   int64_t element);
