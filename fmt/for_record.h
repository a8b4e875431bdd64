// The record layer under every formatted transfer: reading the next record
// of a unit into its input buffer, and ending and writing output records.
#pragma once

#include <cstdint>
#include <cstring>

#include "fmt/for_bytes.h"
#include "rtl/for_lub.h"

// Reads the next record; the unit's rp then describes it (buf, start 0,
// end = its length).  0, 24 (end of file), 39 (read error, errno saved) or
// 98 (no memory).  An unterminated last line is still a record.
int for__get_s(for_lub *lub);

// Takes the record at `start` in the input buffer as the one just read: what
// BACKSPACE and the record count need of it.
inline void for__note_record(for_lub *lub, int64_t start) {
  lub->irec_offset = lub->ibuf_offset + start;
  lub->last_was_read = true;
  lub->recnum += 1;
}

// Makes the record [start, start + length) of the input buffer the unit's
// current record; the positions are a view of the buffer, nothing is copied.
inline void for__deliver_record(for_lub *lub, int64_t start, int64_t length) {
  for__note_record(lub, start);
  for_recpos &rp = lub->rp;
  rp.buf = lub->ibuf + start;
  rp.size = length;
  rp.start = 0;
  rp.pos = 0;
  rp.hwm = -1;
  rp.end = length;
  rp.pending = 0;
  rp.bounded = false;
  rp.owner = nullptr;
}

// The offset of the first line feed in [p, p + n), or -1: whole groups of 16
// inline, the rest by memchr.
inline int64_t for__find_lf(const char *p, int64_t n) {
  const int64_t found = for__find_lf_groups(p, n);
  if (found >= 0) return found;
  const int64_t k = n / 16 * 16;
  const void *hit = k < n ? memchr(p + k, '\n', static_cast<size_t>(n - k)) : nullptr;
  return hit ? static_cast<const char *>(hit) - p : -1;
}

// The common case of for__get_s: a whole line-feed record already in the
// input buffer is cut off it (a carriage return before the line feed
// dropped) and noted.  False when the buffer holds no whole record, or the
// unit's records end otherwise; nothing is changed then.
inline bool for__cut_record(for_lub *lub, int64_t *start, int64_t *length) {
  const int64_t from = lub->icur;
  if (from >= lub->ivalid || lub->rectype == FOR_RT_STREAM_CR) return false;
  const char *base = lub->ibuf;
  const int64_t found = for__find_lf(base + from, lub->ivalid - from);
  if (found < 0) return false;
  const int64_t at = from + found;
  *start = from;
  *length = at - from - (at > from && base[at - 1] == '\r');
  lub->icur = at + 1;
  lub->readahead_valid = lub->ivalid > lub->icur;
  for__note_record(lub, *start);
  return true;
}

// for__get_s with its common case inline.
inline int for__next_record(for_lub *lub) {
  int64_t start, length;
  if (!for__cut_record(lub, &start, &length)) return for__get_s(lub);
  for__deliver_record(lub, start, length);
  return 0;
}

// One read call (retried when interrupted).  0 or 39.
int for__read_input(int fd, char *buffer, int64_t size, int64_t *count, for_lub *lub);

// Begins an output record: rp on the unit's record buffer, blank-filled.
// 0 or 98.
int for__begin_record(for_lub *lub);
// Ends the current output record and passes it to the file.  0, 38 or 98.
int for__put_sf(for_lub *lub);
// Passes a finished record (terminator included) to the file: into the
// block buffer of a buffered unit, else in write calls.  0 or 38.
int for__emit_record(for_lub *lub, const char *p, int64_t n);

// Ends the current output record in the record buffer: the record runs to
// the high-water mark (to the position if nothing was written) and its
// terminator goes into the room kept after it.  Returns its length with the
// terminator; *p is its first byte.
inline int64_t for__end_record(for_lub *lub, char **p) {
  for_recpos &rp = lub->rp;
  int64_t end = rp.hwm >= 0 ? rp.hwm : rp.pos;
  if (end < rp.start) end = rp.start;
  char *q = rp.buf + rp.start;
  int64_t n = end - rp.start;
  if (lub->carriage != FOR_CC_NONE) {
    switch (lub->rectype) {
      case FOR_RT_STREAM_CR: q[n++] = '\r'; break;
      case FOR_RT_STREAM_CRLF: q[n++] = '\r'; q[n++] = '\n'; break;
      default: q[n++] = '\n'; break;
    }
  }
  const int64_t touched = rp.pos > rp.start + n ? rp.pos : rp.start + n;
  if (touched > lub->rbuf_dirty) lub->rbuf_dirty = touched;
  lub->recnum += 1;
  lub->last_was_read = false;
  *p = q;
  return n;
}

// for__put_sf with its common case inline: a record that fits in the block
// buffer of a buffered unit is appended to it with one copy.
inline int for__put_record(for_lub *lub) {
  char *p;
  const int64_t n = for__end_record(lub, &p);
  if (lub->bbuf && lub->buffered && !lub->truncate_next && lub->threshold <= 0 &&
      lub->bbuf_used + n <= lub->bbuf_size) {
    memcpy(lub->bbuf + lub->bbuf_used, p, static_cast<size_t>(n));
    lub->bbuf_used += n;
    return 0;
  }
  return for__emit_record(lub, p, n);
}
// Writes bytes to the unit's descriptor in pieces, repeating short writes.
// 0 or 38 (errno saved).
int for__write_output(for_lub *lub, const char *bytes, int64_t count);
// Readies a unit for a sequential write: refuses a read-only unit (47) and
// discards read-ahead.  0, 38 or 47.
int for__prepare_write(for_lub *lub);
// Discards read-ahead data and sets the file offset to the logical position
// plus extra.  0 or 38.
int for__flush_readahead(for_lub *lub, int64_t extra);

// Writes one whole record of text to a unit (acquire, record, release).
int for__write_record(int64_t unit, const char *text, int64_t length);
