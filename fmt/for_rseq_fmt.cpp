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
[[gnu::noinline]] int32_t read_held(for_stmt *st, const uint8_t *descriptors, const void *arguments,
                                   const uint8_t *format) {
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

}  // namespace

// The commonest READ, one character variable under (A), is taken whole when
// its record is already in the input buffer: the plan hands out the A
// descriptor and the variable receives a view of the record with one copy
// and one fill.  Every other READ, and every other case, goes step by step.
// The statement block is needed only by a statement that is not over when
// its start call returns: the whole path leaves it as it was.
extern "C" int32_t for_read_seq_fmt(for_stmt_block *block, int32_t unit, uint64_t options,
                                    const uint8_t *descriptors, const void *arguments, const uint8_t *format) {
  for_lub *lub = for__take_unit(unit);
  if (!lub) {
    int32_t status;
    for_stmt *st = for__fmt_begin_seq(block, FOR_STMT_READ_SEQ_FMT, unit, options, FOR_INTENT_READ, &status);
    return st ? read_held(st, descriptors, arguments, format) : status;
  }
  lub->kwbits = for__kwbits(options);
  const uint8_t *d = descriptors;
  if ((lub->fast & FOR_FAST_READ) && format && lub->bbuf_used == 0 && d[0] == FOR_TYPE_CHARACTER &&
      d[1] == FOR_PASS_LENADDR && d[2] == FOR_DESC_END) {
    const fmt_plan *plan = for__fmt_plan_of(format);
    int64_t start, length;
    // The record is passed as a view: the statement's positions are not
    // needed past its end.
    if (plan && plan->single_a && for__cut_record(lub, &start, &length)) {
      void *variable;
      const int64_t n = for__char_argument(arguments, &variable);
      const fmt_step &s = plan->steps[1];
      const int64_t w = s.desc == FD_A0 ? n : static_cast<int64_t>(s.width);
      for__edit_a_input(static_cast<char *>(variable), n, lub->ibuf + start,
                        length < w ? length : w, w);
      for__release_unit(lub);
      return 0;
    }
  }
  for_stmt *st = for__stmt_begin(block, FOR_STMT_READ_SEQ_FMT);
  st->lub = lub;
  return read_held(st, descriptors, arguments, format);
}

extern "C" int32_t for_read_seq_fmt_xmit(for_stmt_block *block, const uint8_t *descriptors,
                                         const void *arguments) {
  return for__fmt_xfer(for__stmt_of(block), descriptors, arguments);
}
