// Reading records: the input buffer is filled by read calls into its free
// space and each record is cut at its terminator.
#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include "fmt/for_record.h"
#include "rtl/for_lub.h"
#include "rtl/for_msg.h"
#include "rtl/for_state.h"
#include "rtl/for_sys.h"

namespace {

constexpr int64_t kMaxPiece = 128 * 1024;

// Makes room after the valid data: the consumed part goes first, then the
// buffer doubles.  0 or 98.
int make_room(for_lub *lub) {
  if (lub->icur > 0) {
    const int64_t keep = lub->ivalid - lub->icur;
    if (keep > 0) memmove(lub->ibuf, lub->ibuf + lub->icur, static_cast<size_t>(keep));
    lub->ibuf_offset += lub->icur;
    lub->ivalid = keep;
    lub->icur = 0;
  }
  if (lub->ivalid < lub->ibuf_size) return 0;
  const int64_t size = lub->ibuf_size * 2;
  char *grown = static_cast<char *>(realloc(lub->ibuf, static_cast<size_t>(size)));
  if (!grown) return FOR_E_BUFFER_MEMORY;
  lub->ibuf = grown;
  lub->ibuf_size = size;
  return 0;
}

}  // namespace

int for__read_input(int fd, char *buffer, int64_t size, int64_t *count, for_lub *lub) {
  ssize_t n = for__sys_read(fd, buffer, static_cast<size_t>(size));
  if (n < 0) {
    lub->saved_errno = errno;
    *count = 0;
    return FOR_E_READ;
  }
  *count = n;
  return 0;
}

int for__get_s(for_lub *lub) {
  if (!lub->ibuf) {
    const int64_t size = lub->transfer_size > 0 ? lub->transfer_size : 8192;
    lub->ibuf = static_cast<char *>(malloc(static_cast<size_t>(size)));
    if (!lub->ibuf) return FOR_E_BUFFER_MEMORY;
    lub->ibuf_size = size;
    lub->icur = lub->ivalid = 0;
  }
  const char terminator = lub->rectype == FOR_RT_STREAM_CR ? '\r' : '\n';
  const bool drop_cr = lub->rectype != FOR_RT_STREAM_CR;
  int64_t searched = lub->icur;  // bytes before this hold no terminator
  for (;;) {
    const char *base = lub->ibuf;
    const void *hit = memchr(base + searched, terminator, static_cast<size_t>(lub->ivalid - searched));
    if (hit) {
      const int64_t at = static_cast<const char *>(hit) - base;
      int64_t length = at - lub->icur;
      if (drop_cr && length > 0 && base[at - 1] == '\r') --length;
      const int64_t start = lub->icur;
      lub->icur = at + 1;
      lub->readahead_valid = lub->ivalid > lub->icur;
      for__deliver_record(lub, start, length);
      return 0;
    }
    int r = make_room(lub);
    if (r) return r;
    searched = lub->ivalid;
    const int64_t piece = for__rtl.blocksize > 0 ? for__rtl.blocksize : kMaxPiece;
    int64_t want = lub->ibuf_size - lub->ivalid;
    if (want > piece) want = piece;
    int64_t got = 0;
    r = for__read_input(lub->fd, lub->ibuf + lub->ivalid, want, &got, lub);
    if (r) return r;
    if (got == 0) {
      // End of file.  Bytes after the last terminator still form a record.
      if (lub->ivalid > lub->icur) {
        int64_t length = lub->ivalid - lub->icur;
        if (drop_cr && lub->ibuf[lub->ivalid - 1] == '\r') --length;
        const int64_t start = lub->icur;
        lub->icur = lub->ivalid;
        lub->readahead_valid = false;
        for__deliver_record(lub, start, length);
        return 0;
      }
      lub->readahead_valid = false;
      return FOR_E_EOF;
    }
    lub->ivalid += got;
  }
}
