// The list-directed field scanner: skipping blanks across records, finding
// and classifying the next value (null values, repeats, slash, character,
// logical, complex and numeric forms) and checking the numeric grammar.
#include <string.h>

#include "cvt/for_ldr.h"
#include "fmt/cvt_int.h"
#include "fmt/for_record.h"
#include "rtl/for_lub.h"
#include "rtl/for_msg.h"

namespace {

inline bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Characters that end an undelimited field.  A carriage return is not one:
// glued to a value it makes the field malformed.
inline bool ends_field(char c) {
  return c == ' ' || c == '\t' || c == ',' || c == '/' || c == ')' || c == '*';
}

inline bool is_digit(char c) { return static_cast<unsigned char>(c - '0') <= 9; }
inline bool is_sign(char c) { return c == '+' || c == '-'; }
inline bool is_logical_letter(char c) { return c == 'T' || c == 't' || c == 'F' || c == 'f'; }
inline bool is_exponent_letter(char c) {
  const char l = static_cast<char>(c | 0x20);
  return l == 'e' || l == 'd' || l == 'q';
}
inline bool is_payload(char c) {
  const char l = static_cast<char>(c | 0x20);
  return is_digit(c) || (l >= 'a' && l <= 'z') || c == '_';
}

// Case-blind match of the upper-case word at p[0, n).
bool matches(const char *p, int64_t n, const char *word, int64_t length) {
  if (n < length) return false;
  for (int64_t i = 0; i < length; ++i)
    if ((p[i] & 0xDF) != word[i]) return false;
  return true;
}

// Records what the record being left held, then reads the next one.
int next_record(for_ldr_state *state) {
  for_ldr_scan &s = state->s;
  int64_t i = s.len - 1;
  while (i >= 0 && is_space(s.rec[i])) --i;
  s.prev_content = i >= 0;
  s.prev_comma = i >= 0 && s.rec[i] == ',';
  const int r = for__get_s(state->lub);
  if (r) return r;
  s.rec = state->lub->rp.buf;
  s.len = state->lub->rp.end;
  s.pos = 0;
  return 0;
}

// Whether the comma at s.pos stands for a null value: the previous
// non-blank character of the record is a comma, or there is none and the
// record used up before did not end a value.
bool comma_is_null(const for_ldr_scan &s) {
  int64_t i = s.pos - 1;
  while (i >= 0 && is_space(s.rec[i])) --i;
  if (i >= 0) return s.rec[i] == ',';
  return !(s.prev_content && !s.prev_comma);
}

int64_t field_end(const for_ldr_scan &s) {
  int64_t e = s.pos;
  while (e < s.len && !ends_field(s.rec[e])) ++e;
  return e;
}

// Checks a numeric field p[0, n); follow is the character after it (0 at
// the record end).  Sets *integer_like and *extra (1 when the ')' after a
// NaN payload belongs to the field).  0 or 59.
int check_numeric(const char *p, int64_t n, char follow, bool *integer_like, int64_t *extra) {
  *extra = 0;
  int64_t i = 0;
  if (i < n && is_sign(p[i])) ++i;
  if (i == n) return FOR_E_LIST_SYNTAX;
  const char first = static_cast<char>(p[i] | 0x20);
  if (first == 'i' || first == 'n') {
    // INF, INFINITY, NAN and NAN(payload): no decimal symbol, no exponent.
    *integer_like = true;
    const char *q = p + i;
    const int64_t m = n - i;
    if ((m == 3 && matches(q, m, "INF", 3)) || (m == 8 && matches(q, m, "INFINITY", 8))) return 0;
    if (!matches(q, m, "NAN", 3)) return FOR_E_LIST_SYNTAX;
    if (m == 3) return 0;
    if (q[3] != '(' || follow != ')') return FOR_E_LIST_SYNTAX;
    for (int64_t j = 4; j < m; ++j)
      if (!is_payload(q[j])) return FOR_E_LIST_SYNTAX;
    *extra = 1;
    return 0;
  }
  int64_t digits = 0;
  bool point = false;
  for (; i < n; ++i) {
    if (is_digit(p[i])) {
      ++digits;
    } else if (p[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return FOR_E_LIST_SYNTAX;
  *integer_like = !point;
  if (i == n) return 0;
  // An exponent: a letter with an optional sign, or a sign alone, then at
  // least one digit.
  if (is_exponent_letter(p[i])) {
    ++i;
    if (i < n && is_sign(p[i])) ++i;
  } else if (is_sign(p[i])) {
    ++i;
  } else {
    return FOR_E_LIST_SYNTAX;
  }
  if (i == n) return FOR_E_LIST_SYNTAX;
  for (; i < n; ++i)
    if (!is_digit(p[i])) return FOR_E_LIST_SYNTAX;
  *integer_like = false;
  return 0;
}

// Classifies the undelimited field s.rec[s.pos, end) as logical or numeric.
int classify_field(for_ldr_scan &s, int64_t end) {
  const char *p = s.rec + s.pos;
  const int64_t n = end - s.pos;
  if (n <= 0) return FOR_E_LIST_SYNTAX;
  // T, F, .T and .F start a logical value; what follows the letter up to
  // the separator is passed over (.TRUE., FALSE).
  if (is_logical_letter(p[0]) || (p[0] == '.' && n >= 2 && is_logical_letter(p[1]))) {
    const char letter = p[0] == '.' ? p[1] : p[0];
    s.kind = LDR_LOGICAL;
    s.logical_value = letter == 'T' || letter == 't';
    s.pos = end;
    return 0;
  }
  bool integer_like = false;
  int64_t extra = 0;
  const char follow = end < s.len ? s.rec[end] : '\0';
  if (int r = check_numeric(p, n, follow, &integer_like, &extra)) return r;
  s.kind = LDR_NUMERIC;
  s.field = p;
  s.field_length = n + extra;
  s.integer_like = integer_like;
  s.pos = end + extra;
  return 0;
}

// A character constant from the delimiter at s.pos; it may continue across
// records, which add nothing to it.
int character_constant(for_ldr_state *state) {
  for_ldr_scan &s = state->s;
  const char delimiter = s.rec[s.pos++];
  int64_t n = 0;
  for (;;) {
    if (s.pos >= s.len) {
      if (int r = next_record(state)) return r;
      continue;
    }
    const char *from = s.rec + s.pos;
    const void *hit = memchr(from, delimiter, static_cast<size_t>(s.len - s.pos));
    const int64_t chunk = hit ? static_cast<const char *>(hit) - from : s.len - s.pos;
    if (n + chunk > FOR_LDR_MAX_CHARACTER) return FOR_E_LIST_SYNTAX;
    memcpy(state->text + n, from, static_cast<size_t>(chunk));
    n += chunk;
    s.pos += chunk;
    if (!hit) continue;
    if (s.pos + 1 < s.len && s.rec[s.pos + 1] == delimiter) {
      if (n + 1 > FOR_LDR_MAX_CHARACTER) return FOR_E_LIST_SYNTAX;
      state->text[n++] = delimiter;
      s.pos += 2;
      continue;
    }
    ++s.pos;
    break;
  }
  // The constant must be followed by a separator.
  if (s.pos < s.len) {
    const char c = s.rec[s.pos];
    if (!is_space(c) && c != ',' && c != '/' && c != ')') return FOR_E_LIST_SYNTAX;
  }
  s.kind = LDR_CHARACTER;
  s.field = state->text;
  s.field_length = n;
  return 0;
}

// One part of a complex constant: a numeric field, blanks and records
// around it allowed.
int complex_part(for_ldr_state *state) {
  if (int r = for__ignore_space(state)) return r;
  for_ldr_scan &s = state->s;
  const int64_t end = field_end(s);
  if (int r = classify_field(s, end)) return r;
  if (s.kind != LDR_NUMERIC) return FOR_E_LIST_SYNTAX;
  return for__ignore_space(state);
}

// (real, real) from the parenthesis at s.pos.
int complex_constant(for_ldr_state *state) {
  for_ldr_scan &s = state->s;
  ++s.pos;
  if (int r = complex_part(state)) return r;
  if (s.rec[s.pos] != ',') return FOR_E_LIST_SYNTAX;
  ++s.pos;
  if (int r = complex_part(state)) return r;
  if (s.rec[s.pos] != ')') return FOR_E_LIST_SYNTAX;
  ++s.pos;
  s.kind = LDR_COMPLEX;
  return 0;
}

// The repeat count s.rec[s.pos, end): a positive integer.
int repeat_count(const for_ldr_scan &s, int64_t end, int64_t *count) {
  const int64_t n = end - s.pos;
  if (n <= 0 || n > 32) return FOR_E_LIST_SYNTAX;
  int32_t v = 0;
  if (cvt_text_to_integer(s.rec + s.pos, static_cast<int32_t>(n), 0, &v) != CVT_INT_OK || v <= 0)
    return FOR_E_LIST_SYNTAX;
  *count = v;
  return 0;
}

// The value starting at the non-blank character at s.pos (after_repeat:
// the character right after r*, so no further repeat count may follow).
int classify(for_ldr_state *state, bool after_repeat) {
  for_ldr_scan &s = state->s;
  switch (s.rec[s.pos]) {
    case '/':
      ++s.pos;
      s.kind = LDR_SLASH;
      return 0;
    case '\'':
    case '"':
      return character_constant(state);
    case '(':
      return complex_constant(state);
    case ')':
      return FOR_E_LIST_SYNTAX;
    default:
      break;
  }
  const int64_t end = field_end(s);
  if (end == s.len || s.rec[end] != '*') return classify_field(s, end);
  if (after_repeat) return FOR_E_LIST_SYNTAX;
  int64_t count = 0;
  if (int r = repeat_count(s, end, &count)) return r;
  s.pos = end + 1;
  // r* followed by a separator or the record end: r null values; a comma
  // right after it is their separator.
  const char next = s.pos < s.len ? s.rec[s.pos] : ' ';
  if (next == ' ' || next == '\t' || next == '\r' || next == ',' || next == '/') {
    if (next == ',') ++s.pos;
    s.kind = LDR_NULL;
  } else if (int r = classify(state, true)) {
    return r;
  }
  s.repeat = count - 1;
  return 0;
}

}  // namespace

int for__ignore_space(for_ldr_state *state) {
  for_ldr_scan &s = state->s;
  for (;;) {
    while (s.pos < s.len && is_space(s.rec[s.pos])) ++s.pos;
    if (s.pos < s.len) return 0;
    if (int r = next_record(state)) return r;
  }
}

int rs_get_field(for_ldr_state *state) { return classify_field(state->s, field_end(state->s)); }

int rs_find_field(for_ldr_state *state) {
  for_ldr_scan &s = state->s;
  s.kind = LDR_NONE;
  s.repeat = 0;
  for (;;) {
    if (int r = for__ignore_space(state)) return r;
    if (s.rec[s.pos] != ',') break;
    const bool null = comma_is_null(s);
    ++s.pos;
    if (null) {
      s.kind = LDR_NULL;
      return 0;
    }
  }
  return classify(state, false);
}
