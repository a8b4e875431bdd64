// The loop shared by every formatted statement: descriptors from the format
// interpreter matched with the items of one call.
#pragma once

#include <cstdint>

#include "rtl/for_lub.h"
#include "rtl/for_stmt.h"

// Runs the items of one call.  Returns the call's status: 0 when the call's
// items are done (the statement may go on in the next call, or has ended),
// else what the error path gives.
int32_t for__fmt_xfer(for_stmt *st, const uint8_t *descriptors, const void *arguments);

// Begins a sequential formatted statement through the unit table: the unit
// is acquired for `intent` and the options' keyword bits set.  Null when the
// statement has already ended on an error, whose status is in *status.
for_stmt *for__fmt_begin_seq(for_stmt_block *block, uint8_t kind, int32_t unit, uint64_t options, int32_t intent,
                             int32_t *status);
// Begins a sequential formatted statement on a unit its start call has
// claimed: the statement may go on past that call, so the unit gets its
// owner and the options' keyword bits.
for_stmt *for__fmt_begin_claimed(for_stmt_block *block, uint8_t kind, for_lub *lub, uint64_t options);

// Ends a statement with an error: the unit is released and the error takes
// the path of for__io_return.
int32_t for__fmt_fail(for_stmt *st, int error);

// The statement keyword bits of an options word: ERR (bit 0) and END (bit 1)
// sit where FOR_KWB_ERR and FOR_KWB_END do; EOR moves down to FOR_KWB_EOR.
inline uint8_t for__kwbits(uint64_t options) {
  static_assert(FOR_OPT_ERR == FOR_KWB_ERR && FOR_OPT_END == FOR_KWB_END && FOR_OPT_EOR >> 19 == FOR_KWB_EOR);
  return static_cast<uint8_t>((options & (FOR_OPT_ERR | FOR_OPT_END)) | ((options & FOR_OPT_EOR) >> 19));
}

// Points the unit's record positions at record `index` of an internal file.
void for__internal_record(for_stmt *st, int64_t index);
