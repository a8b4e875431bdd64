// Bounded text building for the signal handler and the traceback.
#include "rtl/tbk_text.h"

#include <errno.h>
#include <string.h>
#include <unistd.h>

bool tbk_put(tbk_text *t, const char *s, size_t n) {
  if (t->used < 0 || t->used >= t->cap) return false;
  if (static_cast<uint64_t>(t->cap - t->used) <= n) return false;  // the NUL needs a byte
  memcpy(t->buf + t->used, s, n);
  t->used += static_cast<int64_t>(n);
  t->buf[t->used] = '\0';
  return true;
}

bool tbk_puts(tbk_text *t, const char *s) { return tbk_put(t, s, strlen(s)); }

bool tbk_put_field(tbk_text *t, const char *s, int width, bool left) {
  size_t n = strnlen(s, static_cast<size_t>(width));
  size_t pad = static_cast<size_t>(width) - n;
  if (t->used < 0 || static_cast<uint64_t>(t->cap - t->used) <= static_cast<size_t>(width)) return false;
  char *p = t->buf + t->used;
  if (!left) {
    memset(p, ' ', pad);
    p += pad;
  }
  memcpy(p, s, n);
  p += n;
  if (left) {
    memset(p, ' ', pad);
    p += pad;
  }
  t->used += width;
  t->buf[t->used] = '\0';
  return true;
}

bool tbk_put_hex(tbk_text *t, uint64_t value, int digits, bool upper) {
  const char *set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char out[16];
  int n = 0;
  do {
    out[15 - n++] = set[value & 15];
    value >>= 4;
  } while (value != 0);
  char text[32];
  int pad = digits > n ? digits - n : 0;
  if (pad > 16) pad = 16;
  memset(text, '0', static_cast<size_t>(pad));
  memcpy(text + pad, out + 16 - n, static_cast<size_t>(n));
  return tbk_put(t, text, static_cast<size_t>(pad + n));
}

bool tbk_put_dec(tbk_text *t, int64_t value) {
  char out[24];
  int n = 0;
  // The magnitude as unsigned, so that INT64_MIN needs no special case.
  uint64_t v = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    out[23 - n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  if (value < 0) out[23 - n++] = '-';
  return tbk_put(t, out + 24 - n, static_cast<size_t>(n));
}

void tbk_truncate(tbk_text *t, int64_t used) {
  if (used < 0 || used >= t->cap || used > t->used) return;
  t->used = used;
  t->buf[used] = '\0';
}

void tbk_write_all(int fd, const char *s, size_t n) {
  while (n > 0) {
    ssize_t w = write(fd, s, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return;
    s += w;
    n -= static_cast<size_t>(w);
  }
}
