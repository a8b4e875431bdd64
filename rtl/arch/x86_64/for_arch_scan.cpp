#include "for_arch_scan.h"

#include <cpuid.h>
#include <immintrin.h>

namespace {

// Bit k set: text[k] is not a blank, for the 16 characters at text.
inline uint32_t non_blanks(const char *text, __m128i blanks) {
  const __m128i group = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text));
  return ~static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(group, blanks))) & 0xFFFFu;
}

// AVX2 is usable when the processor has it and the system saves the wide
// registers (OSXSAVE set and XCR0 holding the SSE and AVX state).
bool avx2_usable() {
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & (1u << 27)) || !(c & (1u << 28))) return false;
  uint32_t low, high;
  __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  if ((low & 6u) != 6u) return false;
  return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & (1u << 5));
}

bool always() { return true; }

}  // namespace

// From the end, 64 characters at a time while they are all blanks, then 32
// (one test for both halves), then 16, then one by one; the last non-blank
// of the first group that holds one ends the scan.
int32_t for__last_nonblank_sse2(const char *text, int64_t text_length) {
  const __m128i blanks = _mm_set1_epi8(' ');
  int64_t i = text_length;
  // Most of a padded line is blanks: 64 at a time while they all are.
  while (i >= 64) {
    const __m128i a = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i - 64)), blanks);
    const __m128i b = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i - 48)), blanks);
    const __m128i c = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i - 32)), blanks);
    const __m128i d = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i - 16)), blanks);
    if (_mm_movemask_epi8(_mm_and_si128(_mm_and_si128(a, b), _mm_and_si128(c, d))) != 0xFFFF) break;
    i -= 64;
  }
  while (i >= 32) {
    const __m128i low = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i - 32)), blanks);
    const __m128i high = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i - 16)), blanks);
    if (_mm_movemask_epi8(_mm_and_si128(low, high)) != 0xFFFF) {
      const uint32_t bits = ~(static_cast<uint32_t>(_mm_movemask_epi8(low)) |
                              static_cast<uint32_t>(_mm_movemask_epi8(high)) << 16);
      return static_cast<int32_t>(i - 32 + (31 - __builtin_clz(bits)) + 1);
    }
    i -= 32;
  }
  while (i >= 16) {
    if (const uint32_t bits = non_blanks(text + i - 16, blanks))
      return static_cast<int32_t>(i - 16 + (31 - __builtin_clz(bits)) + 1);
    i -= 16;
  }
  while (i >= 1 && text[i - 1] == ' ') --i;
  return static_cast<int32_t>(i);
}

namespace {

// Bit k set: text[k] is not a blank, for the 64 characters at text.
[[gnu::target("avx2")]] inline uint64_t non_blanks_64(const char *text, __m256i blanks) {
  const __m256i low = _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(text)), blanks);
  const __m256i high = _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(text + 32)), blanks);
  return ~(static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(low))) |
           static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(high))) << 32);
}

}  // namespace

int for__avx2_state = 0;

[[gnu::noinline]] int32_t for__last_nonblank_first(const char *text, int64_t text_length) {
  if (for__avx2_state == 0) {
    for__avx2_state = avx2_usable() ? 1 : -1;
    if (for__avx2_state > 0) return for__last_nonblank_avx2(text, text_length);
  }
  return for__last_nonblank_sse2(text, text_length);
}

// The same scan 64 characters at a time, for values of 64 or more: when
// fewer than 64 are left, the first 64 are tested and those at or past the
// scan's position are masked off.
[[gnu::target("avx2")]] int32_t for__last_nonblank_avx2(const char *text, int64_t text_length) {
  if (text_length < 64) return for__last_nonblank_sse2(text, text_length);
  const __m256i blanks = _mm256_set1_epi8(' ');
  int64_t i = text_length;
  do {
    if (const uint64_t bits = non_blanks_64(text + i - 64, blanks))
      return static_cast<int32_t>(i - __builtin_clzll(bits));
    i -= 64;
  } while (i >= 64);
  const uint64_t bits = non_blanks_64(text, blanks) & ((uint64_t{1} << i) - 1);
  return bits ? static_cast<int32_t>(64 - __builtin_clzll(bits)) : 0;
}

const for_blank_scan for__blank_scans[] = {
    {"sse2", for__last_nonblank_sse2, always},
    {"avx2", for__last_nonblank_avx2, avx2_usable},
};
const int for__blank_scan_count = 2;
