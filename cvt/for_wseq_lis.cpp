// List-directed sequential WRITE: records that start with a blank, values
// placed one after another by type, and wrapping at the unit's line width.
#include <string.h>

#include "cvt/for_ldir_wfs.h"
#include "fmt/for_fmt_xfer.h"
#include "fmt/for_record.h"
#include "rtl/for_lub.h"
#include "rtl/for_msg.h"

int32_t for__unit_error(int64_t unit, uint64_t options, int32_t error);

namespace {

int64_t line_width(const for_lub *lub) { return lub->lis_width > 0 ? lub->lis_width : 1; }

// Makes room for n more characters at the position.  0 or 66.
int room(for_lub *lub, int64_t n) {
  for_recpos &rp = lub->rp;
  const int64_t shortfall = rp.pos + n - rp.size;
  if (shortfall <= 0) return 0;
  int64_t by = shortfall;
  if (by < 512) by = 512;
  if (by < rp.size / 8) by = rp.size / 8;
  return for__rec_grow(&rp, by);
}

int put(for_stmt *st, const char *p, int64_t n) {
  for_lub *lub = st->lub;
  if (int r = room(lub, n)) return r;
  for_recpos &rp = lub->rp;
  if (n > 0) memcpy(rp.buf + rp.pos, p, static_cast<size_t>(n));
  rp.pos += n;
  rp.hwm = rp.pos;
  // Even a record that is never written must be blanked again.
  if (rp.pos > lub->rbuf_dirty) lub->rbuf_dirty = rp.pos;
  st->lis_remaining = n < st->lis_remaining ? st->lis_remaining - n : 0;
  st->lis_leading_blank = false;
  return 0;
}

int begin_record(for_stmt *st) {
  if (int r = for__begin_record(st->lub)) return r;
  st->lis_remaining = line_width(st->lub);
  st->lis_leading_blank = true;
  st->lis_prev_type = 0;
  return 0;
}

int next_record(for_stmt *st) {
  if (int r = for__put_sf(st->lub)) return r;
  return begin_record(st);
}

bool record_empty(const for_stmt *st) { return st->lub->rp.pos == 0; }

// A character value, without delimiters.  At the start of a record it
// follows the leading blank when both fit; after a non-character item it
// follows one separating blank.  A value that does not fit the rest of the
// line starts a new record, and one longer than a line fills whole records.
int place_character(for_stmt *st, const char *p, int64_t n) {
  for (;;) {
    if (record_empty(st)) {
      if (st->lis_leading_blank && n + 1 <= st->lis_remaining) {
        if (int r = put(st, " ", 1)) return r;
        return put(st, p, n);
      }
      if (n <= st->lis_remaining) return put(st, p, n);
      const int64_t piece = st->lis_remaining;
      if (int r = put(st, p, piece)) return r;
      p += piece;
      n -= piece;
    } else {
      if (n == 0) return 0;
      const int64_t separator = st->lis_prev_type != FOR_TYPE_CHARACTER ? 1 : 0;
      if (separator + n <= st->lis_remaining) {
        if (separator)
          if (int r = put(st, " ", 1)) return r;
        return put(st, p, n);
      }
    }
    if (int r = next_record(st)) return r;
  }
}

// A numeric or logical field; its own leading blanks separate it.
int place_field(for_stmt *st, const char *field, int64_t w) {
  if (!record_empty(st) && w > st->lis_remaining)
    if (int r = next_record(st)) return r;
  return put(st, field, w);
}

int place_item(for_stmt *st, const for_item &item) {
  if (item.type == FOR_TYPE_CHARACTER) {
    for (int64_t i = 0; i < item.count; ++i) {
      const char *p = static_cast<const char *>(item.address) + i * item.length;
      if (int r = place_character(st, p, item.length)) return r;
      st->lis_prev_type = FOR_TYPE_CHARACTER;
    }
    return 0;
  }
  const for_ldir_edit *edit = for__ldir_edit(item.type);
  if (!edit) return FOR_E_BAD_ARGUMENT;
  char field[FOR_LDIR_FIELD_MAX];
  for (int64_t i = 0; i < item.count; ++i) {
    for__ldir_format(edit, &item, i, field);
    if (int r = place_field(st, field, edit->w)) return r;
    st->lis_prev_type = item.type;
  }
  return 0;
}

int32_t fail(for_stmt *st, int error) {
  for__stmt_end(st);
  return for__io_return(1, error, 0, st->lub);
}

// The last record: an empty statement writes a single blank.
int32_t end_statement(for_stmt *st) {
  for_lub *lub = st->lub;
  if (record_empty(st) && st->lis_leading_blank) {
    if (lub->recl < 2) return fail(st, FOR_E_OVERFLOWS_RECORD);
    if (int r = put(st, " ", 1)) return fail(st, r);
  }
  if (int r = for__put_sf(lub)) return fail(st, r);
  lub->partial_line = false;
  for__stmt_end(st);
  return for__io_return(1, 0, 0, lub);
}

int32_t transfer(for_stmt *st, const uint8_t *descriptors, const void *arguments) {
  const uint8_t *a = static_cast<const uint8_t *>(arguments);
  for (;;) {
    for_item item{};
    const int e = for__desc_ret_item(&descriptors, &a, &item);
    if (e == FOR_DESC_END) return end_statement(st);
    if (e == FOR_DESC_NEXT) return 0;
    if (e) return fail(st, e);
    if (int r = place_item(st, item)) return fail(st, r);
  }
}

}  // namespace

extern "C" int32_t for_write_seq_lis(for_stmt_block *block, int32_t unit, uint64_t options,
                                     const uint8_t *descriptors, const void *arguments) {
  for_stmt *st = for__stmt_begin(block, FOR_STMT_WRITE_SEQ_LIS);
  int r = for__acquire_unit(unit, &st->lub, FOR_INTENT_WRITE);
  if (!st->lub) {
    for__stmt_end(st);
    return for__unit_error(unit, options, r);
  }
  for_lub *lub = st->lub;
  lub->kwbits = for__kwbits(options);
  if (r) return fail(st, r);
  if (!(lub->form & FOR_FORM_FORMATTED)) return fail(st, FOR_E_LIS_UNFORMATTED);
  if (lub->access == FOR_ACC_KEYED) return fail(st, FOR_E_LIS_KEYED);
  if (lub->access == FOR_ACC_DIRECT) return fail(st, FOR_E_LIS_DIRECT);
  if (lub->no_wrap_margin && lub->recl > 0)
    lub->lis_width = lub->recl < INT32_MAX ? static_cast<int32_t>(lub->recl) : INT32_MAX;
  if ((r = for__prepare_write(lub)) || (r = begin_record(st))) return fail(st, r);
  return transfer(st, descriptors, arguments);
}

extern "C" int32_t for_write_seq_lis_xmit(for_stmt_block *block, const uint8_t *descriptors,
                                          const void *arguments) {
  for_stmt *st = for__stmt_of(block);
  if (st->active != FOR_STMT_ACTIVE || st->kind != FOR_STMT_WRITE_SEQ_LIS || !st->lub)
    return for__io_return(0, FOR_E_BAD_ARGUMENT, 0, nullptr);
  return transfer(st, descriptors, arguments);
}
