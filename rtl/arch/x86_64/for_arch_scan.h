// The blank scan on x86-64: 16 characters at a time with SSE2, 64 with AVX2
// where the processor and the system allow it.
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

int32_t for__last_nonblank_sse2(const char *text, int64_t text_length);
int32_t for__last_nonblank_avx2(const char *text, int64_t text_length);
// The first scan: asks the processor about AVX2, then scans.
int32_t for__last_nonblank_first(const char *text, int64_t text_length);
// 1 when AVX2 is usable, -1 when not, 0 before the first scan asks.
extern int for__avx2_state;

// The position of the last character of text other than the blank (code
// 32), 0 when none; inline, so that the caller goes straight to the scan.
inline int32_t for__last_nonblank(const char *text, int64_t text_length) {
  if (for__avx2_state > 0) return for__last_nonblank_avx2(text, text_length);
  return for__last_nonblank_first(text, text_length);
}
