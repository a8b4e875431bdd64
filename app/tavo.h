// The program's routines, with the calling convention of compiled code:
// character arguments as address and hidden length.
#pragma once

#include <cstdint>

extern "C" {
// Counts the entries of text(1:*n): runs of characters other than blank and
// comma, a repeat count r before an asterisk making one entry r.
void columns(const char *text, const int32_t *n, int32_t *count, int64_t text_length);
// Position of the last non-blank character of text, 0 when none.
int32_t lenstr(const char *text, int64_t text_length);
}
