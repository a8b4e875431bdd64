#include "app/tavo.h"

#include <emmintrin.h>

// Only the blank (code 32) counts as blank, as in the blank-extended
// comparison of one character with the empty text.  From the end, 32
// characters at a time while they are all blanks, then 16, then one by one;
// the last non-blank of the first group that holds one ends the scan.
extern "C" int32_t lenstr(const char *text, int64_t text_length) {
  const __m128i blanks = _mm_set1_epi8(' ');
  auto others = [&](int64_t at) {  // bit k: text[at + k] is not a blank
    const __m128i group = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + at));
    return ~static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(group, blanks))) & 0xFFFFu;
  };
  int64_t i = text_length;
  while (i >= 32) {
    const uint32_t both = others(i - 32) | others(i - 16) << 16;
    if (both) return static_cast<int32_t>(i - 32 + (31 - __builtin_clz(both)) + 1);
    i -= 32;
  }
  if (i >= 16) {
    if (const uint32_t one = others(i - 16)) return static_cast<int32_t>(i - 16 + (31 - __builtin_clz(one)) + 1);
    i -= 16;
  }
  while (i >= 1 && text[i - 1] == ' ') --i;
  return static_cast<int32_t>(i);
}
