// The trimmed length of a blank-padded value: every length up to 200 with
// its last non-blank at every place, over contents that leave whole groups
// blank before it or not.
#include <gtest/gtest.h>

#include <string>

#include "app/tavo.h"

namespace {

int32_t reference(const std::string &text) {
  int32_t n = static_cast<int32_t>(text.size());
  while (n > 0 && text[static_cast<size_t>(n) - 1] == ' ') --n;
  return n;
}

// Both scans, where the processor has AVX2.
TEST(Lenstr, EveryLengthAndEveryLastNonBlank) {
  const bool avx2 = tavo_detail::avx2_usable();
  for (int length = 0; length <= 200; ++length) {
    for (int last = -1; last < length; ++last) {
      // Dense text, and text that is one character at `last` in blanks.
      for (bool sparse : {false, true}) {
        std::string text(static_cast<size_t>(length), ' ');
        for (int k = 0; k <= last; ++k)
          if (!sparse || k == last) text[static_cast<size_t>(k)] = static_cast<char>('a' + k % 26);
        const int32_t expect = reference(text);
        ASSERT_EQ(lenstr(text.data(), length), expect) << length << " " << last << " " << sparse;
        ASSERT_EQ(tavo_detail::lenstr_sse2(text.data(), length), expect) << length << " " << last << " " << sparse;
        if (avx2) {
          ASSERT_EQ(tavo_detail::lenstr_avx2(text.data(), length), expect) << length << " " << last;
        }
      }
    }
  }
  // Only the blank is blank: a tab or a NUL ends the trim.
  EXPECT_EQ(lenstr("ab\t  ", 5), 3);
  EXPECT_EQ(lenstr(std::string("ab\0  ", 5).data(), 5), 3);
}

}  // namespace
