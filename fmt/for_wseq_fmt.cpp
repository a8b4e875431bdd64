// Formatted sequential WRITE.
#include "fmt/for_fmt_plan.h"
#include "fmt/for_fmt_xfer.h"
#include "fmt/for_record.h"
#include "rtl/for_lub.h"
#include "rtl/for_msg.h"

extern "C" int32_t for_write_seq_fmt(for_stmt_block *block, int32_t unit, uint64_t options,
                                     const uint8_t *descriptors, const void *arguments, const uint8_t *format) {
  for_stmt *st = for__stmt_begin(block, FOR_STMT_WRITE_SEQ_FMT);
  int r = for__acquire_unit(unit, &st->lub, FOR_INTENT_WRITE);
  if (!st->lub) {
    for__stmt_end(st);
    return for__unit_error(unit, options, r);
  }
  st->lub->kwbits = for__kwbits(options);
  if (r) return for__fmt_fail(st, r);
  if (!(st->lub->form & FOR_FORM_FORMATTED) || st->lub->access == FOR_ACC_DIRECT) return for__fmt_fail(st, 261);
  if ((r = for__prepare_write(st->lub)) || (r = for__begin_record(st->lub))) return for__fmt_fail(st, r);
  for__fmt_start(&st->fmt, format, &st->lub->rp);
  return for__fmt_xfer(st, descriptors, arguments);
}

extern "C" int32_t for_write_seq_fmt_xmit(for_stmt_block *block, const uint8_t *descriptors,
                                          const void *arguments) {
  return for__fmt_xfer(for__stmt_of(block), descriptors, arguments);
}
