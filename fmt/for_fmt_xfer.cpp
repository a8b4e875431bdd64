#include "fmt/for_fmt_xfer.h"

#include <string.h>

#include "fmt/for_edit.h"
#include "fmt/for_fmt_plan.h"
#include "fmt/for_record.h"
#include "rtl/for_lub.h"
#include "rtl/for_msg.h"

namespace {

bool is_input(const for_stmt *st) {
  return st->kind == FOR_STMT_READ_SEQ_FMT || st->kind == FOR_STMT_READ_INT_FMT;
}
bool is_internal(const for_stmt *st) {
  return st->kind == FOR_STMT_READ_INT_FMT || st->kind == FOR_STMT_WRITE_INT_FMT;
}

// The next entry of a descriptor string without consuming it.
uint8_t peek_entry(const uint8_t *d) {
  while (d[0] == FOR_DESC_SKIP) d += 2;
  return d[0];
}

void restore_internal_name(for_stmt *st) {
  if (!is_internal(st) || !st->lub) return;
  st->lub->name = const_cast<char *>(for__unknown_name);
  st->lub->name_length = 0;
  st->lub->name_borrowed = false;
}

// Makes room for n more characters at the position.  0 or 66.
int room(for_stmt *st, int64_t n) {
  for_recpos &rp = st->lub->rp;
  const int64_t shortfall = rp.pos + n - rp.size;
  if (shortfall <= 0) return 0;
  if (!rp.owner) return FOR_E_OVERFLOWS_RECORD;
  int64_t by = shortfall;
  if (by < 512) by = 512;
  if (by < rp.size / 8) by = rp.size / 8;
  return for__rec_grow(&rp, by);
}

void advance_output(for_recpos &rp, int64_t n) {
  rp.pos += n;
  if (rp.pos > rp.hwm) rp.hwm = rp.pos;
}

// Moves an input position on by n columns, never past the record's end.
void advance_input(for_recpos &rp, int64_t n) {
  if (rp.pending > 0) {
    rp.pending += n;
    return;
  }
  const int64_t to = rp.pos + n;
  if (to > rp.end) {
    rp.pending += to - rp.end;
    rp.pos = rp.end;
  } else {
    rp.pos = to;
  }
}

int read_record(for_stmt *st) {
  if (is_internal(st)) {
    if (st->irec_length <= 0 || (st->irec_index + 2) * st->irec_length > st->ivar_length) return FOR_E_EOF;
    for__internal_record(st, st->irec_index + 1);
    return 0;
  }
  int r = for__get_s(st->lub);
  st->lub->rp.bounded = true;
  return r;
}

int next_output_record(for_stmt *st) {
  if (is_internal(st)) {
    if (st->irec_length <= 0 || (st->irec_index + 2) * st->irec_length > st->ivar_length)
      return FOR_E_TOO_MANY_RECORDS;
    for__internal_record(st, st->irec_index + 1);
    return 0;
  }
  int r = for__put_sf(st->lub);
  return r ? r : for__begin_record(st->lub);
}

int next_record(for_stmt *st) { return is_input(st) ? read_record(st) : next_output_record(st); }

// Ends the statement: the last record goes out (WRITE), the unit is
// released and the deferred status, if any, takes the error path.
int32_t end_statement(for_stmt *st) {
  for_lub *lub = st->lub;
  int r = 0;
  if (st->kind == FOR_STMT_WRITE_SEQ_FMT) {
    if (st->dollar) {
      // `$`: the record goes out without its terminator and stays pending.
      const uint8_t saved = lub->carriage;
      lub->carriage = FOR_CC_NONE;
      r = for__put_sf(lub);
      lub->carriage = saved;
      lub->partial_line = r == 0;
    } else {
      r = for__put_record(lub);
      lub->partial_line = false;
    }
  }
  for__stmt_end(st);
  if (r) return for__io_return(1, r, 0, lub);
  if (st->deferred == 0 && !is_internal(st)) {
    for__release_unit(lub);
    return 0;
  }
  const int32_t status = for__io_return(1, st->deferred, 0, lub);
  restore_internal_name(st);
  return status;
}

int edit_output(for_stmt *st, const for_item &item, int64_t element) {
  for_fmt_cursor &c = st->fmt;
  const int64_t w = for__field_width(&c, &item);
  if (w <= 0) return 0;
  int r = room(st, w);
  if (r) return r;
  for_recpos &rp = st->lub->rp;
  r = for__format_value(&item, element, &c, rp.buf + rp.pos, w);
  advance_output(rp, w);
  if (r == FOR_E_OUTPUT_CONVERSION) {
    st->deferred = FOR_E_OUTPUT_CONVERSION;
    return 0;
  }
  return r;
}

int edit_input(for_stmt *st, const for_item &item, int64_t element) {
  for_fmt_cursor &c = st->fmt;
  const int64_t w = for__field_width(&c, &item);
  for_recpos &rp = st->lub->rp;
  const char *field = rp.buf + rp.pos;
  int64_t available = rp.pending > 0 ? 0 : rp.end - rp.pos;
  if (available > w) available = w;
  if (available < 0) available = 0;
  int64_t width = w, consumed = w;
  if (for__is_numeric_desc(c.desc)) {
    // A numeric field ends early at a comma, which is passed over.
    if (const void *comma = memchr(field, ',', static_cast<size_t>(available))) {
      width = static_cast<const char *>(comma) - field;
      available = width;
      consumed = width + 1;
    }
  }
  int r = for__cvt_value(&c, field, available, width, &item, element);
  advance_input(rp, consumed);
  return r;
}

// The next descriptor: a data descriptor of a plan is handed out here; the
// interpreter does everything else.
inline int next_descriptor(for_stmt *st) {
  for_fmt_cursor &c = st->fmt;
  if (const fmt_plan *plan = c.plan) {
    const fmt_step &s = plan->steps[c.step];
    if (fmt_is_data_desc(s.desc)) {
      for__fmt_take_data(&c, s);
      return 0;
    }
  }
  return for__interp_fmt(st);
}

}  // namespace

void for__internal_record(for_stmt *st, int64_t index) {
  st->irec_index = index;
  for_recpos &rp = st->lub->rp;
  rp = for_recpos{};
  rp.buf = st->ivar + index * st->irec_length;
  rp.size = st->irec_length;
  rp.end = st->irec_length;
  if (is_input(st)) {
    rp.bounded = true;
  } else if (st->irec_length > 0) {
    memset(rp.buf, ' ', static_cast<size_t>(st->irec_length));
  }
}

for_stmt *for__fmt_begin_seq(for_stmt_block *block, uint8_t kind, int32_t unit, uint64_t options, int32_t intent,
                             int32_t *status) {
  for_stmt *st = for__stmt_begin(block, kind);
  const int r = for__acquire_lun(unit, &st->lub, intent);
  if (!st->lub) {
    for__stmt_end(st);
    *status = for__unit_error(unit, options, r);
    return nullptr;
  }
  st->lub->kwbits = for__kwbits(options);
  if (r) {
    *status = for__fmt_fail(st, r);
    return nullptr;
  }
  return st;
}

for_stmt *for__fmt_begin_claimed(for_stmt_block *block, uint8_t kind, for_lub *lub, uint64_t options) {
  lub->owner = pthread_self();
  lub->kwbits = for__kwbits(options);
  for_stmt *st = for__stmt_begin(block, kind);
  st->lub = lub;
  return st;
}

int32_t for__fmt_fail(for_stmt *st, int error) {
  for__stmt_end(st);
  const int32_t status = for__io_return(1, error, 0, st->lub);
  restore_internal_name(st);
  return status;
}

int32_t for__fmt_xfer(for_stmt *st, const uint8_t *d, const void *arguments) {
  if (st->active != FOR_STMT_ACTIVE) return for__fmt_fail(st, FOR_E_BAD_ARGUMENT);
  const uint8_t *a = static_cast<const uint8_t *>(arguments);
  const bool input = is_input(st);
  for_fmt_cursor &c = st->fmt;
  for_item item;  // filled by for__desc_ret_item before any use
  bool have_item = false;
  int64_t element = 0;
  for (;;) {
    // The next descriptor: a repeated one again, or the interpreter's next.
    if (c.repeat >= 2) {
      c.repeat -= 1;
      c.width = c.saved_width;
    } else if (int r = next_descriptor(st)) {
      return for__fmt_fail(st, r);
    }
    int r = 0;
    if (fmt_is_data_desc(c.desc)) {
      // The commonest case first: a data descriptor meets the next item.
      if (!have_item) {
        const int e = for__next_item(&d, &a, &item);
        if (e == FOR_DESC_END) return end_statement(st);
        if (e == FOR_DESC_NEXT || (e == 0 && item.count == 0)) {
          // Given back: the next item (or the next call) uses it again.
          c.repeat = c.repeat ? c.repeat + 1 : 2;
          if (e == FOR_DESC_NEXT) return 0;
          continue;
        }
        if (e) return for__fmt_fail(st, e);
        have_item = true;
        element = 0;
      }
      r = input ? edit_input(st, item, element) : edit_output(st, item, element);
      if (++element >= item.count) have_item = false;
      if (r) return for__fmt_fail(st, r);
      // The list ends here and the format end comes next: walking it would
      // only lead the loop back to this end, so the statement ends now.
      if (!have_item && c.repeat < 2 && peek_entry(d) == FOR_DESC_END && fmt_is_end_item(c.current))
        return end_statement(st);
      continue;
    }
    switch (c.desc) {
      case FD_LITERAL:
        if (input) {
          advance_input(st->lub->rp, c.width);
        } else if (!(r = room(st, c.width))) {
          memcpy(st->lub->rp.buf + st->lub->rp.pos, c.literal, static_cast<size_t>(c.width));
          advance_output(st->lub->rp, c.width);
        }
        c.repeat = 0;
        break;
      case FD_SLASH:
        for (uint64_t i = 0; i < (c.repeat ? c.repeat : 1) && !r; ++i) r = next_record(st);
        c.repeat = 0;
        break;
      case FD_COLON:
        if (!have_item && peek_entry(d) == FOR_DESC_END) return end_statement(st);
        break;
      case FD_DOLLAR:
        st->dollar = !input;
        break;
      case FD_END:
        if (!have_item && peek_entry(d) == FOR_DESC_END) return end_statement(st);
        if (!c.data_seen) return for__fmt_fail(st, FOR_E_NO_DATA_EDIT);
        r = next_record(st);
        break;
      case FD_DT:
        r = FOR_E_TYPE_MISMATCH;
        break;
      default:  // Q
        break;
    }
    if (r) return for__fmt_fail(st, r);
  }
}
