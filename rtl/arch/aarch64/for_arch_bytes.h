// Groups of 16 bytes on aarch64: NEON registers.
#pragma once

#include <arm_neon.h>

#include <cstdint>

using for_group = uint8x16_t;
// Four bits for each byte of a group, all set for a byte that matched.
using for_hits = uint64_t;

inline for_group for__load16(const char *p) { return vld1q_u8(reinterpret_cast<const uint8_t *>(p)); }
inline void for__store16(char *p, for_group v) { vst1q_u8(reinterpret_cast<uint8_t *>(p), v); }
inline for_group for__splat16(char c) { return vdupq_n_u8(static_cast<uint8_t>(c)); }

// The comparison narrowed to a nibble per byte (there is no byte mask
// instruction); zero when no byte matched.
inline for_hits for__equal_bytes(for_group g, for_group c) {
  const uint8x8_t nibbles = vshrn_n_u16(vreinterpretq_u16_u8(vceqq_u8(g, c)), 4);
  return vget_lane_u64(vreinterpret_u64_u8(nibbles), 0);
}
// The offset of the first matching byte of a non-zero for__equal_bytes.
inline int for__first_hit(for_hits hits) { return __builtin_ctzll(hits) >> 2; }
