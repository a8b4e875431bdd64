// Formatted sequential READ.
#include "fmt/for_bytes.h"
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

// A statement on a unit claimed by the start call, step by step.
[[gnu::noinline]] int32_t read_claimed(for_stmt_block *block, for_lub *lub, uint64_t options,
                                      const uint8_t *descriptors, const void *arguments, const uint8_t *format) {
  return read_held(for__fmt_begin_claimed(block, FOR_STMT_READ_SEQ_FMT, lub, options), descriptors, arguments, format);
}

// A statement whose unit the table has to find (or connect, or refuse).
[[gnu::noinline]] int32_t read_acquired(for_stmt_block *block, int32_t unit, uint64_t options,
                                       const uint8_t *descriptors, const void *arguments, const uint8_t *format) {
  int32_t status;
  for_stmt *st = for__fmt_begin_seq(block, FOR_STMT_READ_SEQ_FMT, unit, options, FOR_INTENT_READ, &status);
  return st ? read_held(st, descriptors, arguments, format) : status;
}

// Whether a READ on a claimed unit may be taken whole: one character
// variable, a unit whose records can be cut from its input buffer, and no
// output of its own still held.
inline bool whole_read_allowed(const for_lub *lub, const uint8_t *d) {
  return (lub->fast & FOR_FAST_READ) && for__one_character(d) && lub->bbuf_used == 0;
}

// The whole READ, on a unit that allows it, in every case the start call
// leaves to it: (Aw), a pack the unit has not met, a record the groups do
// not reach.
[[gnu::noinline]] int32_t read_whole(for_stmt_block *block, for_lub *lub, uint64_t options,
                                    const uint8_t *descriptors, const void *arguments, const uint8_t *format) {
  int64_t width, start, length;
  if (for__single_a(format, &lub->read_a_pack, &lub->read_a_width, &width) &&
      for__cut_record(lub, &start, &length)) {
    void *variable;
    const int64_t n = for__char_argument(arguments, &variable);
    const int64_t w = width < 0 ? n : width;
    for__edit_a_input(static_cast<char *>(variable), n, lub->ibuf + start, length < w ? length : w, w);
    for__release_unit(lub);
    return 0;
  }
  return read_claimed(block, lub, options, descriptors, arguments, format);
}

}  // namespace

// The commonest READ, one character variable under (A) or (Aw), is taken
// whole when its record is already in the input buffer: the variable
// receives a view of the record with one copy and one fill.  Under (A),
// with a record the search reaches in whole groups, the search copies the
// record as it goes, without a call.  (The variable is undefined after a
// READ that fails, as after any failed input statement.)  Every other READ,
// and every other case, goes step by step.  The statement block is needed
// only by a statement that is not over when its start call returns: the
// whole path leaves it as it was.
extern "C" int32_t for_read_seq_fmt(for_stmt_block *block, int32_t unit, uint64_t options,
                                    const uint8_t *descriptors, const void *arguments, const uint8_t *format) {
  for_lub *lub = for__claim_unit(unit);
  if (!lub) return read_acquired(block, unit, options, descriptors, arguments, format);
  if (!whole_read_allowed(lub, descriptors))
    return read_claimed(block, lub, options, descriptors, arguments, format);
  if (format == lub->read_a_pack && lub->read_a_width < 0) {
    const int64_t from = lub->icur;
    const char *record = lub->ibuf + from;
    void *variable;
    const int64_t n = for__char_argument(arguments, &variable);
    char *to = static_cast<char *>(variable);
    // The search copies the groups it reads while they fit in the variable.
    const int64_t found = for__find_lf_copying(record, lub->ivalid - from, to, n);
    if (found >= 0) {
      // A carriage return before the line feed is not part of the record.
      const int64_t length = found - (found > 0 && record[found - 1] == '\r');
      if ((found | 15) >= n) for__move_exact(to, record, length < n ? length : n);
      if (length < n) for__blank_tail(to, length, n);
      lub->icur = from + found + 1;
      lub->readahead_valid = lub->ivalid > lub->icur;
      for__note_record(lub, from);
      for__unclaim_unit(lub);
      return 0;
    }
    // The same statement step by step.  Its descriptor string and pack are
    // known here, so they need not be kept: their copies stand in for them.
    return read_claimed(block, lub, options, for__one_character_string, arguments, lub->read_a_pack);
  }
  return read_whole(block, lub, options, descriptors, arguments, format);
}

extern "C" int32_t for_read_seq_fmt_xmit(for_stmt_block *block, const uint8_t *descriptors,
                                         const void *arguments) {
  return for__fmt_xfer(for__stmt_of(block), descriptors, arguments);
}
