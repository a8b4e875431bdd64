// The loop shared by every formatted statement: descriptors from the format
// interpreter matched with the items of one call.
#pragma once

#include <cstdint>

#include "rtl/for_stmt.h"

// Runs the items of one call.  Returns the call's status: 0 when the call's
// items are done (the statement may go on in the next call, or has ended),
// else what the error path gives.
int32_t for__fmt_xfer(for_stmt *st, const uint8_t *descriptors, const void *arguments);

// Ends a statement with an error: the unit is released and the error takes
// the path of for__io_return.
int32_t for__fmt_fail(for_stmt *st, int error);

// The statement keyword bits of an options word.
uint8_t for__kwbits(uint64_t options);

// Points the unit's record positions at record `index` of an internal file.
void for__internal_record(for_stmt *st, int64_t index);
