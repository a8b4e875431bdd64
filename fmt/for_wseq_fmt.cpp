// Formatted sequential WRITE.
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

}  // namespace

// The commonest WRITE, one character value under (A) to a block-buffered
// unit, is taken whole when its record fits in the block buffer: the plan
// hands out the A descriptor and the field goes straight into the block
// buffer with its line feed, one copy.  The record buffer is not needed: a
// blank-filled record holding only this field is the field itself.  Every
// other WRITE, and every other case, goes step by step.  The statement block
// is needed only by a statement that is not over when its start call
// returns: the whole path leaves it as it was.
extern "C" int32_t for_write_seq_fmt(for_stmt_block *block, int32_t unit, uint64_t options,
                                     const uint8_t *descriptors, const void *arguments, const uint8_t *format) {
  for_lub *lub = for__take_unit(unit);
  if (!lub) {
    int32_t status;
    for_stmt *st = for__fmt_begin_seq(block, FOR_STMT_WRITE_SEQ_FMT, unit, options, FOR_INTENT_WRITE, &status);
    return st ? write_held(st, descriptors, arguments, format) : status;
  }
  lub->kwbits = for__kwbits(options);
  const uint8_t *d = descriptors;
  if ((lub->fast & FOR_FAST_WRITE) && format && lub->bbuf && !lub->readahead_valid && lub->ivalid == 0 &&
      !lub->truncate_next && d[0] == FOR_TYPE_CHARACTER && d[1] == FOR_PASS_LENADDR && d[2] == FOR_DESC_END) {
    const fmt_plan *plan = for__fmt_plan_of(format);
    if (plan && plan->single_a) {
      void *variable;
      const int64_t n = for__char_argument(arguments, &variable);
      const fmt_step &s = plan->steps[1];
      const int64_t w = s.desc == FD_A0 ? n : static_cast<int64_t>(s.width);
      if (w < lub->bbuf_size - lub->bbuf_used) {
        char *field = lub->bbuf + lub->bbuf_used;
        for__edit_a_output(static_cast<const char *>(variable), n, field, w);
        field[w] = '\n';
        lub->bbuf_used += w + 1;
        lub->recnum += 1;
        lub->last_was_read = false;
        lub->partial_line = false;
        for__release_unit(lub);
        return 0;
      }
    }
  }
  for_stmt *st = for__stmt_begin(block, FOR_STMT_WRITE_SEQ_FMT);
  st->lub = lub;
  return write_held(st, descriptors, arguments, format);
}

extern "C" int32_t for_write_seq_fmt_xmit(for_stmt_block *block, const uint8_t *descriptors,
                                          const void *arguments) {
  return for__fmt_xfer(for__stmt_of(block), descriptors, arguments);
}
