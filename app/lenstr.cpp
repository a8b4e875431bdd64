#include "app/tavo.h"

#include <cstring>

// Only the blank (code 32) counts as blank, as in the blank-extended
// comparison of one character with the empty text.  Eight blanks at a time
// while they last.
extern "C" int32_t lenstr(const char *text, int64_t text_length) {
  constexpr uint64_t kBlanks = 0x2020202020202020ULL;
  int64_t i = text_length;
  while (i >= 8) {
    uint64_t word;
    std::memcpy(&word, text + i - 8, 8);
    if (word != kBlanks) break;
    i -= 8;
  }
  while (i >= 1 && text[i - 1] == ' ') --i;
  return static_cast<int32_t>(i);
}
