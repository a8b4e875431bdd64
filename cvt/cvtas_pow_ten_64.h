/* Powers of ten that fit an unsigned 64-bit word: cvtas_pow_ten_64[k] = 10^k
 * for k = 0..19 (10^19 < 2^64 < 10^20).  Used to count and place the decimal
 * digits of a 64-bit integer and to scale a binary significand exactly. */
#ifndef TAVO_CVT_CVTAS_POW_TEN_64_H
#define TAVO_CVT_CVTAS_POW_TEN_64_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define CVTAS_POW_TEN_64_COUNT 20
extern const uint64_t cvtas_pow_ten_64[CVTAS_POW_TEN_64_COUNT];

#ifdef __cplusplus
}
#endif

#endif
