// A bounded text that signal handlers and the traceback can build without
// the C library's formatted output: no allocation, no locks.
#pragma once

#include <cstddef>
#include <cstdint>

// buf holds `used` bytes followed by a NUL; cap counts the NUL.  Every put
// either appends all of its bytes or leaves the text unchanged and returns
// false, so a caller can roll a partial row back by restoring `used`.
struct tbk_text {
  char *buf;
  int64_t used;
  int64_t cap;
};

bool tbk_put(tbk_text *t, const char *s, size_t n);
bool tbk_puts(tbk_text *t, const char *s);
// "%-W.Ws" (left) or "%W.Ws": s cut to `width` bytes, padded with blanks.
bool tbk_put_field(tbk_text *t, const char *s, int width, bool left);
// "%D.Dlx" / "%D.DlX": at least `digits` hex digits, zero-padded.
bool tbk_put_hex(tbk_text *t, uint64_t value, int digits, bool upper);
// "%ld".
bool tbk_put_dec(tbk_text *t, int64_t value);
// Cuts the text back to `used` bytes.
void tbk_truncate(tbk_text *t, int64_t used);

// Writes all of [s, s + n) to a descriptor, retrying short writes and EINTR.
void tbk_write_all(int fd, const char *s, size_t n);
