#include "app/tavo.h"

#include <emmintrin.h>

namespace {

// Bit k set: text[k] is not a blank, for the 16 characters at text.
inline uint32_t non_blanks(const char *text, __m128i blanks) {
  const __m128i group = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text));
  return ~static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(group, blanks))) & 0xFFFFu;
}

}  // namespace

// Only the blank (code 32) counts as blank, as in the blank-extended
// comparison of one character with the empty text.  From the end, 64
// characters at a time while they are all blanks, then 32 (one test for both
// halves), then 16, then one by one; the last non-blank of the first group
// that holds one ends the scan.
extern "C" int32_t lenstr(const char *text, int64_t text_length) {
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
