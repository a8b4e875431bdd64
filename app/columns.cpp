#include "app/tavo.h"
#include "fmt/for_fmt.h"
#include "fmt/for_statements.h"
#include "rtl/for_rtl.h"

namespace {
// Blank tests compare one character with the empty text, so only the blank
// itself (code 32) counts.
bool is_blank(const char *c) { return for_cpstr(c, 1, "", 0, FOR_REL_EQ) != 0; }
bool is_separator(const char *c) { return is_blank(c) || *c == ','; }
}  // namespace

extern "C" void columns(const char *text, const int32_t *n, int32_t *count, int64_t) {
  char CVAL[6];
  int32_t entries = 0;
  bool after_separator = true;
  for (int32_t i = 1; i <= *n; ++i) {
    const char *C = text + i - 1;
    if (*C == '*') {
      // The repeat text runs back to the nearest blank or comma.
      int32_t j = i - 1;
      while (j >= 1 && !is_separator(text + j - 1)) --j;
      const int32_t from = j + 1, length = i - 1 - j;
      for_cpystr(CVAL, sizeof CVAL, text + from - 1, length > 0 ? length : 0, 0);
      int32_t r = 0;
      forio::read_internal(CVAL, sizeof CVAL, FOR_OPTS_PROGRAM, for_pack_I6, {forio::ref(&r)});
      entries = entries + r - 1;
    }
    if (!is_separator(C) && after_separator) {
      entries += 1;
      after_separator = false;
    }
    if (is_separator(C) && !after_separator) after_separator = true;
  }
  *count = entries;
}
