// Formatted sequential READ.
#include "fmt/for_fmt_plan.h"
#include "fmt/for_fmt_xfer.h"
#include "fmt/for_record.h"
#include "rtl/for_lub.h"
#include "rtl/for_msg.h"
#include "rtl/for_open.h"

extern "C" int32_t for_read_seq_fmt(for_stmt_block *block, int32_t unit, uint64_t options,
                                    const uint8_t *descriptors, const void *arguments, const uint8_t *format) {
  for_stmt *st = for__stmt_begin(block, FOR_STMT_READ_SEQ_FMT);
  int r = for__acquire_unit(unit, &st->lub, FOR_INTENT_READ);
  if (!st->lub) {
    for__stmt_end(st);
    return for__unit_error(unit, options, r);
  }
  for_lub *lub = st->lub;
  lub->kwbits = for__kwbits(options);
  if (r) return for__fmt_fail(st, r);
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

extern "C" int32_t for_read_seq_fmt_xmit(for_stmt_block *block, const uint8_t *descriptors,
                                         const void *arguments) {
  return for__fmt_xfer(for__stmt_of(block), descriptors, arguments);
}
