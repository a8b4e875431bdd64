/* Exact rounding of a decimal significand and exponent to binary64, for the
 * cases the fast path of cvtas_a_to_t cannot take.  Internal to cvt/. */
#ifndef TAVO_CVT_CVTAS_EXACT_T_H
#define TAVO_CVT_CVTAS_EXACT_T_H

#include <stdint.h>

/* The significand characters [begin, end) as scanned under flags (digits,
 * one decimal symbol, blanks by the blank mode) times 10^e, e counted from
 * the last of all its digits; -323 <= (significant digits) + e <= 309.
 * Returns the binary64 bits of the magnitude rounded to nearest, ties to
 * even: 0 when it rounds to zero, 0x7FF0000000000000 when to infinity. */
uint64_t cvtas__exact_t(const char *begin, const char *end, uint32_t flags, int64_t e);

#endif
