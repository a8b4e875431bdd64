// The blank scan on aarch64: 16 characters at a time with NEON, or eight as
// one word.
#pragma once

#include <cstdint>

// One way of finding the last non-blank, for the tests that check each.
struct for_blank_scan {
  const char *name;
  int32_t (*scan)(const char *text, int64_t text_length);
  bool (*usable)();
};
extern const for_blank_scan for__blank_scans[];
extern const int for__blank_scan_count;

int32_t for__last_nonblank_neon(const char *text, int64_t text_length);

// The position of the last character of text other than the blank (code
// 32), 0 when none.
inline int32_t for__last_nonblank(const char *text, int64_t text_length) {
  return for__last_nonblank_neon(text, text_length);
}
