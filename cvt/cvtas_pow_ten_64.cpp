/* 10^k for k = 0..19, each entry ten times the one before, computed in exact
 * integer arithmetic and written out in decimal; the table test recomputes
 * them. */
#include "cvt/cvtas_pow_ten_64.h"

extern "C" const uint64_t cvtas_pow_ten_64[CVTAS_POW_TEN_64_COUNT] = {
    1ULL,
    10ULL,
    100ULL,
    1000ULL,
    10000ULL,
    100000ULL,
    1000000ULL,
    10000000ULL,
    100000000ULL,
    1000000000ULL,
    10000000000ULL,
    100000000000ULL,
    1000000000000ULL,
    10000000000000ULL,
    100000000000000ULL,
    1000000000000000ULL,
    10000000000000000ULL,
    100000000000000000ULL,
    1000000000000000000ULL,
    10000000000000000000ULL,
};
