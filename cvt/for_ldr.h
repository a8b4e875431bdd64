// List-directed input: the per-statement scanning state kept with the unit,
// the field scanner that locates and classifies one value, and the
// conversion of a value into an item.
#pragma once

#include <cstdint>

#include "rtl/for_stmt.h"

struct for_lub;

// Character constants hold at most this many characters; the text buffer
// has room for them and two more bytes.
constexpr int64_t FOR_LDR_MAX_CHARACTER = 2048;
constexpr int64_t FOR_LDR_TEXT_SIZE = 2050;

// What the field scanner found.
enum for_ldr_kind : uint8_t {
  LDR_NONE = 0,
  LDR_NULL,       // a null value: the item keeps its contents
  LDR_SLASH,      // '/': the statement's input ends
  LDR_NUMERIC,    // field text in the record
  LDR_LOGICAL,    // logical_value
  LDR_CHARACTER,  // constant text in the text buffer
  LDR_COMPLEX     // a well-formed complex constant (no item type takes one)
};

// The state of one value and of the scan around it; cleared at the start
// of every statement.
struct for_ldr_scan {
  // The current record: the unit's record positions at the time it was read.
  const char *rec;
  int64_t len;
  int64_t pos;

  // The current value.
  uint8_t kind;             // for_ldr_kind
  bool integer_like;        // numeric field without decimal symbol or exponent
  bool logical_value;
  const char *field;        // numeric text (in rec) or character text (in text)
  int64_t field_length;
  int64_t repeat;           // further uses of the current value (r*c, r*)

  // Statement flags.
  bool slash;               // a slash ended the input
  bool strict;              // logical and numeric values do not cross types

  // The record used up last: whether it held a non-blank character and
  // whether its last non-blank character was a comma.  Both false at the
  // start of a statement, so that a leading comma there is a null value.
  bool prev_content;
  bool prev_comma;
};

struct for_ldr_state {
  for_lub *lub;
  for_ldr_scan s;
  char text[FOR_LDR_TEXT_SIZE];  // character constants
};

// Obtains a cleared state for a statement on lub (one static block, a heap
// block while that one is in use); null when memory is exhausted.
for_ldr_state *for__ldr_acquire(for_lub *lub, bool strict);
void for__ldr_release(for_ldr_state *state);

// Skips blanks, tabs, carriage returns and line feeds, reading further
// records as the current one is used up.  0 with s.pos on a character of
// the record, or the record layer's error (24 at end of file).
int for__ignore_space(for_ldr_state *state);

// Finds the next value and classifies it into state->s (kind, field,
// repeat).  0, 59, or the record layer's error.
int rs_find_field(for_ldr_state *state);

// Delimits the undelimited field at s.pos (numeric or logical, up to a
// separator or '*') and checks it; sets kind, field and integer_like.
// 0 or 59.
int rs_get_field(for_ldr_state *state);

// Converts the current value into element `element` of the item.  0, 59
// or 64; on an error the element keeps its contents.
int rs_cvt_2step(const for_ldr_scan *s, const for_item *item, int64_t element);
