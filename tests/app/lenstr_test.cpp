// The trimmed length of a blank-padded value: every length up to 200 with
// its last non-blank at every place, at every alignment of a group, over
// contents that leave whole groups blank before it or not, through lenstr
// and through each scan of this processor that it can use.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/tavo.h"
#include "for_arch_scan.h"

namespace {

int32_t reference(const std::string &text) {
  int32_t n = static_cast<int32_t>(text.size());
  while (n > 0 && text[static_cast<size_t>(n) - 1] == ' ') --n;
  return n;
}

TEST(Lenstr, EveryLengthAndEveryLastNonBlank) {
  std::vector<const for_blank_scan *> scans;
  for (int k = 0; k < for__blank_scan_count; ++k)
    if (for__blank_scans[k].usable()) scans.push_back(&for__blank_scans[k]);
  std::string buffer(232, ' ');
  for (int length = 0; length <= 200; ++length) {
    for (int last = -1; last < length; ++last) {
      // Dense text, and text that is one character at `last` in blanks.
      for (bool sparse : {false, true}) {
        for (int offset = 0; offset < 32; offset += (length > 80 ? 7 : 1)) {
          char *text = buffer.data() + offset;
          // Non-blanks on both sides, so that a scan taking the end from
          // outside the value gets a wrong answer; and blanks, so that one
          // reading blanks outside in place of a group inside it does.
          const char outside = (offset & 1) ? ' ' : 'x';
          std::fill(buffer.begin(), buffer.end(), outside);
          std::fill(text, text + length, ' ');
          for (int k = 0; k <= last; ++k)
            if (!sparse || k == last) text[k] = static_cast<char>('a' + k % 26);
          const int32_t expect = reference(std::string(text, static_cast<size_t>(length)));
          ASSERT_EQ(lenstr(text, length), expect) << length << " " << last << " " << sparse << " " << offset;
          for (const for_blank_scan *scan : scans)
            ASSERT_EQ(scan->scan(text, length), expect) << scan->name << " " << length << " " << last << " " << sparse;
        }
      }
    }
  }
  // Only the blank is blank: a tab or a NUL ends the trim.
  EXPECT_EQ(lenstr("ab\t  ", 5), 3);
  EXPECT_EQ(lenstr(std::string("ab\0  ", 5).data(), 5), 3);
}

}  // namespace
