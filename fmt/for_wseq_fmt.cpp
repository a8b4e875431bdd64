// Formatted sequential WRITE.
#include "fmt/for_bytes.h"
#include "fmt/for_edit.h"
#include "fmt/for_fmt_plan.h"
#include "fmt/for_fmt_xfer.h"
#include "fmt/for_record.h"
#include "rtl/for_lub.h"
#include "rtl/for_msg.h"

namespace {

// From a held unit on: the checks, the record, the format, the items.
[[gnu::noinline]] int32_t write_held(for_stmt *st, const uint8_t *descriptors, const void *arguments,
                                   const uint8_t *format) {
  for_lub *lub = st->lub;
  int r;
  if (!(lub->form & FOR_FORM_FORMATTED) || lub->access == FOR_ACC_DIRECT) return for__fmt_fail(st, 261);
  if ((r = for__prepare_write(lub)) || (r = for__begin_record(lub))) return for__fmt_fail(st, r);
  for__fmt_start(&st->fmt, format, &lub->rp);
  return for__fmt_xfer(st, descriptors, arguments);
}

// A statement on a unit claimed by the start call, step by step.
[[gnu::noinline]] int32_t write_claimed(for_stmt_block *block, for_lub *lub, uint64_t options,
                                        const uint8_t *descriptors, const void *arguments, const uint8_t *format) {
  return write_held(for__fmt_begin_claimed(block, FOR_STMT_WRITE_SEQ_FMT, lub, options), descriptors, arguments, format);
}

// A statement whose unit the table has to find (or connect, or refuse).
[[gnu::noinline]] int32_t write_acquired(for_stmt_block *block, int32_t unit, uint64_t options,
                                        const uint8_t *descriptors, const void *arguments, const uint8_t *format) {
  int32_t status;
  for_stmt *st = for__fmt_begin_seq(block, FOR_STMT_WRITE_SEQ_FMT, unit, options, FOR_INTENT_WRITE, &status);
  return st ? write_held(st, descriptors, arguments, format) : status;
}

// Whether a WRITE on a claimed unit may be taken whole: one character
// value, a block-buffered unit ending its records with a line feed, no
// read-ahead to discard and no truncation pending.
inline bool whole_write_allowed(const for_lub *lub, const uint8_t *d) {
  return (lub->fast & FOR_FAST_WRITE) && for__one_character(d) && lub->bbuf && !lub->readahead_valid &&
         lub->ivalid == 0 && !lub->truncate_next;
}

// Ends a record appended to the block buffer (its line feed included).
inline void note_appended(for_lub *lub, int64_t bytes) {
  lub->bbuf_used += bytes;
  lub->recnum += 1;
  lub->last_was_read = false;
  lub->partial_line = false;
}

// The whole WRITE, on a unit that allows it, in every case the start call
// leaves to it: (Aw), a pack the unit has not met.
[[gnu::noinline]] int32_t write_whole(for_stmt_block *block, for_lub *lub, uint64_t options,
                                     const uint8_t *descriptors, const void *arguments, const uint8_t *format) {
  int64_t width;
  if (for__single_a(format, &lub->write_a_pack, &lub->write_a_width, &width)) {
    void *variable;
    const int64_t n = for__char_argument(arguments, &variable);
    const int64_t w = width < 0 ? n : width;
    if (w < lub->bbuf_size - lub->bbuf_used) {
      char *field = lub->bbuf + lub->bbuf_used;
      for__edit_a_output(static_cast<const char *>(variable), n, field, w);
      field[w] = '\n';
      note_appended(lub, w + 1);
      for__release_unit(lub);
      return 0;
    }
  }
  return write_claimed(block, lub, options, descriptors, arguments, format);
}

}  // namespace

// The commonest WRITE, one character value under (A) or (Aw) to a
// block-buffered unit, is taken whole when its record fits in the block
// buffer: the field goes straight into the block buffer with its line feed,
// one copy.  The record buffer is not needed: a blank-filled record holding
// only this field is the field itself.  Under (A) that is done here without
// a call.  Every other WRITE, and every other case, goes step by step.  The
// statement block is needed only by a statement that is not over when its
// start call returns: the whole path leaves it as it was.
extern "C" int32_t for_write_seq_fmt(for_stmt_block *block, int32_t unit, uint64_t options,
                                     const uint8_t *descriptors, const void *arguments, const uint8_t *format) {
  for_lub *lub = for__claim_unit(unit);
  if (!lub) return write_acquired(block, unit, options, descriptors, arguments, format);
  if (!whole_write_allowed(lub, descriptors))
    return write_claimed(block, lub, options, descriptors, arguments, format);
  if (format == lub->write_a_pack && lub->write_a_width < 0) {
    void *variable;
    const int64_t n = for__char_argument(arguments, &variable);
    if (n < lub->bbuf_size - lub->bbuf_used) {
      char *field = lub->bbuf + lub->bbuf_used;
      for__move_exact(field, static_cast<const char *>(variable), n);
      field[n] = '\n';
      note_appended(lub, n + 1);
      for__unclaim_unit(lub);
      return 0;
    }
  }
  return write_whole(block, lub, options, descriptors, arguments, format);
}

extern "C" int32_t for_write_seq_fmt_xmit(for_stmt_block *block, const uint8_t *descriptors,
                                          const void *arguments) {
  return for__fmt_xfer(for__stmt_of(block), descriptors, arguments);
}
