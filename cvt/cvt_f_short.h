/* F editing of a binary32 with few fraction digits, in one 64-bit pass. */
#ifndef TAVO_CVT_CVT_F_SHORT_H
#define TAVO_CVT_CVT_F_SHORT_H

#include <stdint.h>

/* Largest d the short path takes: m * 10^d < 2^24 * 10^9 < 2^64, and the
 * fraction part of R fits 32 bits. */
#define CVT_F_SHORT_MAX_D 9

/* Fw.d of the binary32 with these bits, rounded to nearest with ties to
 * even, scale factor 0, the field right-justified: exactly what the general
 * path writes, or -1 (field untouched) when the value is not finite or
 * needs more than 64 bits (then the general path must edit it).  Requires
 * 2 <= w, 0 <= d <= CVT_F_SHORT_MAX_D and limit >= 0; plus: SP in force. */
int cvt__f_short(uint32_t bits, int32_t w, int32_t d, int32_t limit, bool plus, uint64_t options, char *field);

#endif
