// Internal files: a character variable as the record (or records).
#pragma once

#include <cstdint>

#include "rtl/for_stmt.h"

// Starts an internal statement: the variable from the first descriptor
// entry, unit -5 acquired and named, the first record set up.  Returns 0
// with *descriptors and *arguments past the variable, or the error status.
int32_t for__internal_begin(for_stmt *st, uint64_t options, const uint8_t **descriptors, const uint8_t **arguments,
                            const uint8_t *format);
