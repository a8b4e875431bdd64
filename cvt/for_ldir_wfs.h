// List-directed output of numeric and logical items: the edit parameters
// of each type code and the layout of one value in a field of w columns.
#pragma once

#include <cstdint>

#include "rtl/for_stmt.h"

// How a type is written.
enum for_ldir_code : uint8_t { LDIR_I = 1, LDIR_G, LDIR_L, LDIR_A };

struct for_ldir_edit {
  uint8_t type;   // FOR_TYPE_*
  uint8_t code;   // for_ldir_code
  uint8_t w;      // field width
  uint8_t d;      // significant digits (G)
  uint8_t e;      // exponent digits (G)
};

// The widest field of a numeric or logical type.
constexpr int64_t FOR_LDIR_FIELD_MAX = 32;

// The edit parameters of a type code; null when the type has none.
const for_ldir_edit *for__ldir_edit(uint8_t type);

// Writes element `element` of a numeric or logical item into exactly
// edit->w characters at field (edit->code is not LDIR_A).
void for__ldir_format(const for_ldir_edit *edit, const for_item *item, int64_t element, char *field);
