// Short byte moves for the whole-statement paths: a record is a few dozen
// characters, so the search for its line feed, its copy and the blank fill
// after it are done inline in groups of 16, without a call (a call would cost
// more than the move, and its register spills more still).
#pragma once

#include <cstdint>
#include <cstring>

#include "for_arch_bytes.h"

// The offset of the first line feed in [p, p + n), searched in whole groups
// of 16 only; -1 when none of them holds one (the rest is left unsearched).
inline int64_t for__find_lf_groups(const char *p, int64_t n) {
  const for_group lf = for__splat16('\n');
  for (int64_t k = 0; k + 16 <= n; k += 16) {
    if (const for_hits hits = for__equal_bytes(for__load16(p + k), lf)) return k + for__first_hit(hits);
  }
  return -1;
}

// for__find_lf_groups that also copies each group it searches to dst while
// the group fits in dst[0, room).  When the result f is not negative and
// (f | 15) < room, dst already holds [p, p + f]; otherwise the groups that
// fitted were copied and the rest was not.
inline int64_t for__find_lf_copying(const char *p, int64_t n, char *dst, int64_t room) {
  const for_group lf = for__splat16('\n');
  // The last group that fits both.
  const int64_t last = (n < room ? n : room) - 16;
  int64_t k = 0;
  for (; k <= last; k += 16) {
    const for_group group = for__load16(p + k);
    for__store16(dst + k, group);
    if (const for_hits hits = for__equal_bytes(group, lf)) return k + for__first_hit(hits);
  }
  for (; k + 16 <= n; k += 16) {
    if (const for_hits hits = for__equal_bytes(for__load16(p + k), lf)) return k + for__first_hit(hits);
  }
  return -1;
}

// Stores v at [dst, dst + n) for 16 <= n <= 64, in four stores at most
// (from both ends, overlapping), without a loop.
inline void for__spread16(char *dst, int64_t n, for_group first, for_group second, for_group last2, for_group last) {
  for__store16(dst, first);
  for__store16(dst + n - 16, last);
  if (n > 32) {
    for__store16(dst + 16, second);
    for__store16(dst + n - 32, last2);
  }
}

// Copies [src, src + n) to dst for one to two words of n: a word from each
// end (they may overlap), both read before either is written.
template <class Word>
inline void for__move_two_words(char *dst, const char *src, int64_t n) {
  Word a, b;
  memcpy(&a, src, sizeof a);
  memcpy(&b, src + n - sizeof b, sizeof b);
  memcpy(dst, &a, sizeof a);
  memcpy(dst + n - sizeof b, &b, sizeof b);
}

// Copies exactly [src, src + n) to dst, touching nothing past either end.
inline void for__move_exact(char *dst, const char *src, int64_t n) {
  if (n > 64) {
    // Groups, then the last group ending at n (it may overlap).
    for (int64_t k = 0; k < n - 16; k += 16) for__store16(dst + k, for__load16(src + k));
    for__store16(dst + n - 16, for__load16(src + n - 16));
  } else if (n >= 16) {
    // Every load before the first store: the two may overlap only as the
    // caller's own copies would.
    const for_group a = for__load16(src), z = for__load16(src + n - 16);
    const for_group b = n > 32 ? for__load16(src + 16) : a, y = n > 32 ? for__load16(src + n - 32) : z;
    for__spread16(dst, n, a, b, y, z);
  } else if (n >= 8) {
    for__move_two_words<uint64_t>(dst, src, n);
  } else if (n >= 4) {
    for__move_two_words<uint32_t>(dst, src, n);
  } else {
    for (int64_t k = 0; k < n; ++k) dst[k] = src[k];
  }
}

// Blanks [dst + from, dst + n), touching nothing outside it.
inline void for__blank_tail(char *dst, int64_t from, int64_t n) {
  const int64_t m = n - from;
  char *p = dst + from;
  if (m >= 16) {
    const for_group blanks = for__splat16(' ');
    if (m > 64) {
      // Runs of 64, then the last 64 (overlapping).
      for (int64_t k = 64; k < m - 64; k += 64) for__spread16(p + k, 64, blanks, blanks, blanks, blanks);
      for__spread16(p, 64, blanks, blanks, blanks, blanks);
      for__spread16(p + m - 64, 64, blanks, blanks, blanks, blanks);
    } else {
      for__spread16(p, m, blanks, blanks, blanks, blanks);
    }
  } else {
    for (int64_t k = 0; k < m; ++k) p[k] = ' ';
  }
}
