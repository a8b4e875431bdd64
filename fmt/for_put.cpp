// Ending output records: the terminator, the block buffer, the write calls,
// and the truncation after the first record written following OPEN or
// BACKSPACE.
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "fmt/for_record.h"
#include "rtl/for_lub.h"
#include "rtl/for_msg.h"
#include "rtl/for_open.h"
#include "rtl/for_rtl.h"
#include "rtl/for_state.h"
#include "rtl/for_sys.h"

namespace {

constexpr int64_t kMaxPiece = 128 * 1024;
// Room kept past the record for its terminator (at most CR LF), so that a
// record and its terminator go out in one write call.
constexpr int64_t kTerminatorRoom = 2;

int write_through(for_lub *lub, const char *p, int64_t n) {
  int r = for__write_output(lub, p, n);
  if (r || !lub->truncate_next) return r;
  // The file ends after the record just written.
  lub->truncate_next = false;
  off_t at = for__sys_lseek(lub->fd, 0, SEEK_CUR);
  if (at >= 0 && for__sys_ftruncate(lub->fd, at) != 0 && errno != EINVAL) {
    lub->saved_errno = errno;
    return FOR_E_WRITE;
  }
  return 0;
}

int flush_block(for_lub *lub) {
  if (lub->bbuf_used == 0) return 0;
  const int64_t n = lub->bbuf_used;
  lub->bbuf_used = 0;
  return for__write_output(lub, lub->bbuf, n);
}

}  // namespace

int for__emit_record(for_lub *lub, const char *p, int64_t n) {
  if (!lub->buffered) return write_through(lub, p, n);
  if (!lub->bbuf) {
    const int64_t size = static_cast<int64_t>(lub->buffercount > 0 ? lub->buffercount : 1) *
                         (lub->blocksize > 0 ? lub->blocksize : 8192);
    lub->bbuf = static_cast<char *>(malloc(static_cast<size_t>(size)));
    if (!lub->bbuf) return write_through(lub, p, n);  // unbuffered rather than lost
    lub->bbuf_size = size;
  }
  // A truncating record, or one at or above the threshold, goes straight out
  // after what is already buffered.
  if (lub->truncate_next || (lub->threshold > 0 && n >= lub->threshold) || n > lub->bbuf_size) {
    int r = flush_block(lub);
    return r ? r : write_through(lub, p, n);
  }
  if (lub->bbuf_used + n > lub->bbuf_size) {
    int r = flush_block(lub);
    if (r) return r;
  }
  memcpy(lub->bbuf + lub->bbuf_used, p, static_cast<size_t>(n));
  lub->bbuf_used += n;
  return 0;
}

int for__rec_grow(for_recpos *rp, int64_t by) {
  for_lub *lub = rp->owner;
  if (!lub || by <= 0) return lub ? 0 : FOR_E_OVERFLOWS_RECORD;
  const int64_t old = lub->rbuf_size;
  const int64_t size = old + by;
  char *grown = static_cast<char *>(realloc(lub->rbuf, static_cast<size_t>(size)));
  if (!grown) return FOR_E_OVERFLOWS_RECORD;
  memset(grown + old, ' ', static_cast<size_t>(by));
  lub->rbuf = grown;
  lub->rbuf_size = size;
  rp->buf = grown;
  rp->size = size - kTerminatorRoom;
  return 0;
}

int for__begin_record(for_lub *lub) {
  if (!lub->rbuf) {
    const int64_t size = (lub->recl > 0 ? lub->recl : 0) + 1 + kTerminatorRoom;
    lub->rbuf = static_cast<char *>(malloc(static_cast<size_t>(size)));
    if (!lub->rbuf) return FOR_E_BUFFER_MEMORY;
    lub->rbuf_size = size;
    lub->rbuf_dirty = size;
  }
  // Only what the last record touched needs blanking again.
  if (lub->rbuf_dirty > 0) memset(lub->rbuf, ' ', static_cast<size_t>(lub->rbuf_dirty));
  lub->rbuf_dirty = 0;
  lub->rp = for_recpos{};
  lub->rp.buf = lub->rbuf;
  lub->rp.size = lub->rbuf_size - kTerminatorRoom;
  lub->rp.owner = lub;
  return 0;
}

int for__put_sf(for_lub *lub) { return for__put_record(lub); }

int for__write_output(for_lub *lub, const char *bytes, int64_t count) {
  const int64_t piece = lub->blocksize > 0 && for__rtl.blocksize > 0 ? lub->blocksize : kMaxPiece;
  while (count > 0) {
    const int64_t want = count < piece ? count : piece;
    ssize_t n = for__sys_write(lub->fd, bytes, static_cast<size_t>(want));
    if (n <= 0) {
      lub->saved_errno = n < 0 ? errno : EIO;
      return FOR_E_WRITE;
    }
    bytes += n;
    count -= n;
  }
  return 0;
}

int for__flush_unit(for_lub *lub) { return lub->bbuf ? flush_block(lub) : 0; }

int for__prepare_write(for_lub *lub) {
  if (lub->readonly) return FOR_E_READONLY;
  if (lub->readahead_valid || lub->ivalid > 0) {
    if (!lub->is_tty) return for__flush_readahead(lub, 0);
  }
  return 0;
}

int for__flush_readahead(for_lub *lub, int64_t extra) {
  const int64_t unread = lub->ivalid - lub->icur;
  if (!lub->readahead_valid && unread <= 0 && extra == 0) {
    // Everything read was consumed: the buffer is emptied all the same, so
    // that records written after it can never be shadowed by its old bytes.
    lub->ibuf_offset += lub->icur;
    lub->icur = lub->ivalid = 0;
    return 0;
  }
  // Read-ahead of a pipe or terminal cannot be given back; keep it.
  if (!lub->regular) return 0;
  const off_t before = for__sys_lseek(lub->fd, 0, SEEK_CUR);
  const off_t at = for__sys_lseek(lub->fd, static_cast<off_t>(extra - unread), SEEK_CUR);
  if (at < 0) {
    lub->saved_errno = errno;
    if (before >= 0) for__sys_lseek(lub->fd, before, SEEK_SET);
    return FOR_E_WRITE;
  }
  lub->ibuf_offset = at;
  lub->icur = lub->ivalid = 0;
  lub->readahead_valid = false;
  return 0;
}

int for__write_record(int64_t unit, const char *text, int64_t length) {
  for_lub *lub;
  int r = for__acquire_lun(unit, &lub, FOR_INTENT_WRITE);
  if (!r) r = for__prepare_write(lub);
  if (!r) r = for__begin_record(lub);
  if (!r && length > lub->rp.size) r = for__rec_grow(&lub->rp, length - lub->rp.size);
  if (!r) {
    memcpy(lub->rp.buf, text, static_cast<size_t>(length));
    lub->rp.pos = lub->rp.hwm = length;
    r = for__put_sf(lub);
  }
  return for__io_return(1, r, 0, lub);
}
