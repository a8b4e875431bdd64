// Filling a conversion's output field with one character.
#pragma once

#include <cstdint>
#include <cstring>

// Fills n bytes with c: short runs byte by byte, runs of 16 to 96 in 16-byte
// blocks (the last block overlapping the one before), longer runs by memset.
inline void cvt__fill(char *p, int32_t n, char c) {
  if (n < 16) {
    for (int32_t i = 0; i < n; ++i) p[i] = c;
    return;
  }
  if (n > 96) {
    std::memset(p, c, static_cast<size_t>(n));
    return;
  }
  char block[16];
  std::memset(block, c, sizeof block);
  int32_t i = 0;
  for (; i + 16 <= n; i += 16) std::memcpy(p + i, block, 16);
  if (i < n) std::memcpy(p + n - 16, block, 16);
}
