// Groups of 16 bytes on x86-64: SSE2 registers.
#pragma once

#include <emmintrin.h>

#include <cstdint>

using for_group = __m128i;
// Bit k (or a set of bits from which for__first_hit finds k) for each byte
// k of a group that matched.
using for_hits = uint32_t;

inline for_group for__load16(const char *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); }
inline void for__store16(char *p, for_group v) { _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v); }
inline for_group for__splat16(char c) { return _mm_set1_epi8(c); }

// The bytes of g equal to those of c (a splat); zero when none is.
inline for_hits for__equal_bytes(for_group g, for_group c) {
  return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(g, c)));
}
// The offset of the first matching byte of a non-zero for__equal_bytes.
inline int for__first_hit(for_hits hits) { return __builtin_ctz(hits); }
