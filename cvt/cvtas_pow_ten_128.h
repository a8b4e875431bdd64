/* Powers of ten as unsigned 128-bit integers: cvtas_pow_ten_128[k] = 10^k
 * for k = 0..38 (10^38 < 2^128 < 10^39), each split into its high and low
 * 64-bit halves.  Used when the exact scaled significand needs more than 64
 * bits. */
#ifndef TAVO_CVT_CVTAS_POW_TEN_128_H
#define TAVO_CVT_CVTAS_POW_TEN_128_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define CVTAS_POW_TEN_128_COUNT 39
struct cvtas_u128_parts {
  uint64_t hi;
  uint64_t lo;
};
extern const struct cvtas_u128_parts cvtas_pow_ten_128[CVTAS_POW_TEN_128_COUNT];

#ifdef __cplusplus
}
#endif

#endif
