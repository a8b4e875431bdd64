// Formatted sequential READ.
#include "fmt/for_edit.h"
#include "fmt/for_fmt_plan.h"
#include "fmt/for_fmt_xfer.h"
#include "fmt/for_record.h"
#include "rtl/for_lub.h"
#include "rtl/for_msg.h"
#include "rtl/for_open.h"

namespace {

// From a held unit on: the checks, the record, the format, the items.
int32_t read_held(for_stmt *st, const uint8_t *descriptors, const void *arguments, const uint8_t *format) {
  for_lub *lub = st->lub;
  int r;
  if (!(lub->form & FOR_FORM_FORMATTED) || lub->access == FOR_ACC_DIRECT) return for__fmt_fail(st, 261);
  if (lub->writeonly) return for__fmt_fail(st, FOR_E_READ);
  // Output still held for the unit goes out before it is read.
  if (lub->bbuf_used > 0 && (r = for__flush_unit(lub))) return for__fmt_fail(st, r);
  if ((r = for__next_record(lub))) return for__fmt_fail(st, r);
  lub->rp.bounded = true;
  for__fmt_start(&st->fmt, format, &lub->rp);
  st->fmt.modes = lub->blank_zero ? FMT_MODE_BZ : FMT_MODE_BN;
  return for__fmt_xfer(st, descriptors, arguments);
}

// The statement started on a unit that the fast lookup took.
[[gnu::noinline]] int32_t read_taken(for_stmt_block *block, for_lub *lub, const uint8_t *descriptors,
                                   const void *arguments, const uint8_t *format) {
  for_stmt *st = for__stmt_begin(block, FOR_STMT_READ_SEQ_FMT);
  st->lub = lub;
  return read_held(st, descriptors, arguments, format);
}

[[gnu::noinline]] int32_t read_acquire(for_stmt_block *block, int32_t unit, uint64_t options,
                                      const uint8_t *descriptors, const void *arguments, const uint8_t *format) {
  for_stmt *st = for__stmt_begin(block, FOR_STMT_READ_SEQ_FMT);
  int r = for__acquire_lun(unit, &st->lub, FOR_INTENT_READ);
  if (!st->lub) {
    for__stmt_end(st);
    return for__unit_error(unit, options, r);
  }
  st->lub->kwbits = for__kwbits(options);
  if (r) return for__fmt_fail(st, r);
  return read_held(st, descriptors, arguments, format);
}

}  // namespace

// The commonest READ, one character variable under (A), is taken whole when
// its record is already in the input buffer: the plan hands out the A
// descriptor and the variable receives a view of the record with one copy
// and one fill.  Every other READ, and every other case, goes step by step.
extern "C" int32_t for_read_seq_fmt(for_stmt_block *block, int32_t unit, uint64_t options,
                                    const uint8_t *descriptors, const void *arguments, const uint8_t *format) {
  // The statement block is needed only by a statement that is not over
  // when its start call returns: the whole path below leaves it as it was.
  for_lub *lub = for__take_unit(unit);
  if (!lub) return read_acquire(block, unit, options, descriptors, arguments, format);
  lub->kwbits = for__kwbits(options);
  const uint8_t *d = descriptors;
  if ((lub->fast & FOR_FAST_READ) && format && lub->bbuf_used == 0 && d[0] == FOR_TYPE_CHARACTER &&
      d[1] == FOR_PASS_LENADDR && d[2] == FOR_DESC_END && lub->icur < lub->ivalid) {
    const fmt_plan *plan = for__fmt_plan_of(format);
    if (plan && plan->single_a) {
      const int64_t start = lub->icur;
      const char *base = lub->ibuf;
      if (const void *hit = memchr(base + start, '\n', static_cast<size_t>(lub->ivalid - start))) {
        const int64_t at = static_cast<const char *>(hit) - base;
        const int64_t length = at - start - (at > start && base[at - 1] == '\r');
        // The record is passed as a view: only what BACKSPACE needs of it is
        // kept, the statement's positions are not needed past its end.
        lub->icur = at + 1;
        lub->readahead_valid = lub->ivalid > lub->icur;
        lub->irec_start = start;
        lub->irec_length = length;
        lub->irec_offset = lub->ibuf_offset + start;
        lub->last_was_read = true;
        lub->recnum += 1;
        int64_t n;
        char *variable;
        memcpy(&n, arguments, 8);
        memcpy(&variable, static_cast<const char *>(arguments) + 8, 8);
        if (n < 0) n = 0;
        const fmt_step &a = plan->steps[1];
        const int64_t w = a.desc == FD_A0 ? n : static_cast<int64_t>(a.width);
        for__edit_a_input(variable, n, base + start, length < w ? length : w, w);
        for__release_unit(lub);
        return 0;
      }
    }
  }
  return read_taken(block, lub, descriptors, arguments, format);
}

extern "C" int32_t for_read_seq_fmt_xmit(for_stmt_block *block, const uint8_t *descriptors,
                                         const void *arguments) {
  return for__fmt_xfer(for__stmt_of(block), descriptors, arguments);
}
