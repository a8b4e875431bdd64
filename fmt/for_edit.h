// Editing one item under one data edit descriptor: output into a field of
// exactly w characters, input from a field of w characters.
#pragma once

#include <cstdint>

#include "fmt/for_fmt.h"
#include "rtl/for_stmt.h"

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
