// List-directed sequential READ: the statement start, the item transfer
// (one value per scalar, one per array element, repeats and a slash
// carried across item calls) and the end of the statement.
#include <stdlib.h>

#include "cvt/for_ldr.h"
#include "fmt/for_fmt_xfer.h"
#include "fmt/for_record.h"
#include "rtl/for_lub.h"
#include "rtl/for_msg.h"
#include "rtl/for_open.h"

int32_t for__unit_error(int64_t unit, uint64_t options, int32_t error);

namespace {

// The state of the statement under way; a second statement while it is
// held (on another unit) gets a heap block.
for_ldr_state static_state;
bool static_busy = false;

bool strict_typing(uint64_t options) {
  return (options & FOR_OPT_UPPER_VALID) && (options & FOR_OPT_STRICT_TYPING);
}

void drop_state(for_lub *lub) {
  if (!lub->ldr) return;
  for__ldr_release(lub->ldr);
  lub->ldr = nullptr;
}

// Ends the statement: the state goes back, the unit is released, and the
// error (0 for none) takes the I/O return path.
int32_t end_statement(for_stmt *st, int error) {
  for_lub *lub = st->lub;
  drop_state(lub);
  for__stmt_end(st);
  return for__io_return(1, error, 0, lub);
}

// One value into element `element`: the item keeps its contents after a
// slash and for a null value; a pending repeat serves the same value again.
int take_value(for_ldr_state *state, const for_item &item, int64_t element) {
  for_ldr_scan &s = state->s;
  if (s.repeat > 0) {
    --s.repeat;
  } else if (int r = rs_find_field(state)) {
    return r;
  }
  switch (s.kind) {
    case LDR_NULL: return 0;
    case LDR_SLASH: s.slash = true; return 0;
    default: return rs_cvt_2step(&s, &item, element);
  }
}

int32_t transfer(for_stmt *st, const uint8_t *descriptors, const void *arguments) {
  for_ldr_state *state = st->lub->ldr;
  const uint8_t *a = static_cast<const uint8_t *>(arguments);
  for (;;) {
    for_item item{};
    const int e = for__desc_ret_item(&descriptors, &a, &item);
    if (e == FOR_DESC_END) return end_statement(st, 0);
    if (e == FOR_DESC_NEXT) return 0;
    if (e) return end_statement(st, e);
    for (int64_t i = 0; i < item.count && !state->s.slash; ++i)
      if (int r = take_value(state, item, i)) return end_statement(st, r);
  }
}

}  // namespace

for_ldr_state *for__ldr_acquire(for_lub *lub, bool strict) {
  for_ldr_state *state = lub->ldr;  // left by a statement that never ended
  if (!state) {
    if (!static_busy) {
      static_busy = true;
      state = &static_state;
    } else {
      state = static_cast<for_ldr_state *>(malloc(sizeof(for_ldr_state)));
      if (!state) return nullptr;
    }
  }
  state->lub = lub;
  state->s = for_ldr_scan{};
  state->s.strict = strict;
  return state;
}

void for__ldr_release(for_ldr_state *state) {
  if (state == &static_state) {
    static_busy = false;
  } else {
    free(state);
  }
}

extern "C" int32_t for_read_seq_lis(for_stmt_block *block, int32_t unit, uint64_t options,
                                    const uint8_t *descriptors, const void *arguments) {
  for_stmt *st = for__stmt_begin(block, FOR_STMT_READ_SEQ_LIS);
  int r = for__acquire_unit(unit, &st->lub, FOR_INTENT_READ);
  if (!st->lub) {
    for__stmt_end(st);
    return for__unit_error(unit, options, r);
  }
  for_lub *lub = st->lub;
  lub->kwbits = for__kwbits(options);
  if (r) return end_statement(st, r);
  if (!(lub->form & FOR_FORM_FORMATTED)) return end_statement(st, FOR_E_LIS_UNFORMATTED);
  if (lub->access == FOR_ACC_KEYED) return end_statement(st, FOR_E_LIS_KEYED);
  if (lub->access == FOR_ACC_DIRECT) return end_statement(st, FOR_E_LIS_DIRECT);
  if (lub->writeonly) return end_statement(st, FOR_E_READ);
  // Output still held for the unit goes out before it is read; every
  // statement starts with a new record.
  if ((r = for__flush_unit(lub))) return end_statement(st, r);
  if ((r = for__get_s(lub))) return end_statement(st, r);
  for_ldr_state *state = for__ldr_acquire(lub, strict_typing(options));
  if (!state) return end_statement(st, FOR_E_NO_MEMORY);
  lub->ldr = state;
  state->s.rec = lub->rp.buf;
  state->s.len = lub->rp.end;
  return transfer(st, descriptors, arguments);
}

extern "C" int32_t for_read_seq_lis_xmit(for_stmt_block *block, const uint8_t *descriptors,
                                         const void *arguments) {
  for_stmt *st = for__stmt_of(block);
  if (st->active != FOR_STMT_ACTIVE || st->kind != FOR_STMT_READ_SEQ_LIS || !st->lub || !st->lub->ldr)
    return for__io_return(0, FOR_E_BAD_ARGUMENT, 0, nullptr);
  return transfer(st, descriptors, arguments);
}
