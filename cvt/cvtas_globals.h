/* Constant tables of the text-to-real conversions: powers of ten in binary64
 * and the range thresholds of the binary32 result. */
#ifndef TAVO_CVT_CVTAS_GLOBALS_H
#define TAVO_CVT_CVTAS_GLOBALS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* cvtas_pten_t[k + CVTAS_PTEN_BIAS] is 10^k rounded to nearest binary64 for
 * k = -47..47; one entry 0.0 follows. */
#define CVTAS_PTEN_BIAS 47
#define CVTAS_PTEN_COUNT 96
extern const double cvtas_pten_t[CVTAS_PTEN_COUNT];

/* Powers 10^-t for the t listed in the map, rounded to nearest binary64. */
#define CVTAS_TINY_PTEN_COUNT 17
extern const double cvtas_tiny_pten_t[CVTAS_TINY_PTEN_COUNT];

/* For g = (-E) / 8: t * 32 + index of the first tiny power 10^-t to try for a
 * decimal exponent E <= -47. */
#define CVTAS_TINY_MAP_COUNT 41
#define CVTAS_TINY_MAP_SHIFT 5
#define CVTAS_TINY_MAP_INDEX 0x1F
extern const uint16_t cvtas_tiny_pten_t_map[CVTAS_TINY_MAP_COUNT];

/* Range thresholds as binary64 bit patterns.
 * Overflow: the largest double below the midpoint of FLT_MAX and 2^128.
 * Normal: 2^-126 - 2^-151; at or above it M rounds as a normal binary32.
 * Underflow: the smallest double above 2^-150; below it M rounds to zero. */
#define CVTAS_OVERFLOW_S_BITS 0x47EFFFFFEFFFFFFFull
#define CVTAS_NORMAL_S_BITS 0x380FFFFFF0000000ull
#define CVTAS_UNDERFLOW_S_BITS 0x3690000000000001ull

/* Quiet NaN results: the default one and the one of an explicit '+'. */
#define CVTAS_NAN_S_BITS 0xFFC00000u
#define CVTAS_NAN_S_PLUS_BITS 0x7FC00000u
#define CVTAS_NAN_T_BITS 0xFFF8000000000000ull
#define CVTAS_NAN_T_PLUS_BITS 0x7FF8000000000000ull

struct cvtas_globals {
    double overflow_s;  /* M above it: overflow                 */
    double normal_s;    /* M at or above it: normal binary32    */
    double underflow_s; /* M below it: underflow                */
    uint32_t nan_s;
    uint32_t nan_s_plus;
    uint64_t nan_t;
    uint64_t nan_t_plus;
};
extern const struct cvtas_globals cvtas_globals_t;

#ifdef __cplusplus
}
#endif

#endif
