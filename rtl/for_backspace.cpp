// BACKSPACE: step a sequential unit back over the record just read, within
// the input buffer when it still holds the record, else by seeking back and
// reading the bytes before it.
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "fmt/for_record.h"
#include "rtl/for_lub.h"
#include "rtl/for_msg.h"
#include "rtl/for_open.h"
#include "rtl/for_rtl.h"
#include "rtl/for_sys.h"

namespace {

char terminator_of(const for_lub *lub) { return lub->rectype == FOR_RT_STREAM_CR ? '\r' : '\n'; }

// Searches data[from] down to data[0] for the terminator; -1 when absent.
int64_t find_back(const char *data, int64_t from, char terminator) {
  for (int64_t i = from; i >= 0; --i)
    if (data[i] == terminator) return i;
  return -1;
}

int rewind_unit(for_lub *lub) {
  if (for__sys_lseek(lub->fd, 0, SEEK_SET) < 0) {
    lub->saved_errno = errno;
    return FOR_E_BACKSPACE;
  }
  lub->icur = lub->ivalid = 0;
  lub->ibuf_offset = 0;
  lub->readahead_valid = false;
  lub->recnum = 1;
  return 0;
}

// Positions the unit at a file offset with an empty input buffer.
int reposition(for_lub *lub, int64_t offset) {
  if (for__sys_lseek(lub->fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
    lub->saved_errno = errno;
    return FOR_E_BACKSPACE;
  }
  lub->icur = lub->ivalid = 0;
  lub->ibuf_offset = offset;
  lub->readahead_valid = false;
  return 0;
}

// The record before the current pointer, found by reading the bytes before
// it from the file.
int seek_and_read(for_lub *lub) {
  const int64_t T = lub->transfer_size > 0 ? lub->transfer_size : 8192;
  if (!lub->ibuf) {  // nothing read yet: the unit was only written
    lub->ibuf = static_cast<char *>(malloc(static_cast<size_t>(T)));
    if (!lub->ibuf) return FOR_E_BUFFER_MEMORY;
    lub->ibuf_size = T;
    lub->icur = lub->ivalid = 0;
  }
  if (lub->ibuf_size < T) return FOR_E_BACKSPACE;
  // The logical offset of the next record: the system's offset less the
  // read-ahead not yet consumed (records written since leave none).
  const off_t os = for__sys_lseek(lub->fd, 0, SEEK_CUR);
  if (os < 0) {
    lub->saved_errno = errno;
    return FOR_E_BACKSPACE;
  }
  const int64_t P = static_cast<int64_t>(os) - (lub->ivalid - lub->icur);
  const int64_t from = P > T ? P - T : 0;
  const int64_t want = P > T ? T - 1 : P - 1;
  if (want <= 0 || for__sys_lseek(lub->fd, from, SEEK_SET) < 0) {
    if (want > 0) lub->saved_errno = errno;
    return FOR_E_BACKSPACE;
  }
  int64_t got = 0;
  while (got < want) {
    int64_t n = 0;
    if (for__read_input(lub->fd, lub->ibuf + got, want - got, &n, lub)) return FOR_E_BACKSPACE;
    if (n == 0) break;
    got += n;
  }
  lub->ibuf_offset = from;
  lub->icur = lub->ivalid = 0;
  if (got == 0) return FOR_E_BACKSPACE;
  const int64_t i = find_back(lub->ibuf, got - 1, terminator_of(lub));
  if (i < 0) return FOR_E_BACKSPACE;
  lub->icur = i + 1;
  lub->ivalid = got;
  lub->readahead_valid = true;
  return 0;
}

int backspace(for_lub *lub) {
  if (lub->access == FOR_ACC_STREAM && !(lub->form & FOR_FORM_FORMATTED)) return FOR_E_STREAM_BACKSPACE;
  if (!lub->regular || lub->access != FOR_ACC_SEQUENTIAL) return FOR_E_BACKSPACE;
  int r = for__flush_unit(lub);
  if (r) return r;
  const int64_t record = lub->recnum;
  if (record <= 1) return 0;
  if (record == 2) {
    r = rewind_unit(lub);
  } else {
    int64_t found = -1;
    if (lub->ibuf && lub->icur >= 2) found = find_back(lub->ibuf, lub->icur - 2, terminator_of(lub));
    if (found >= 0) {
      lub->icur = found + 1;
      lub->readahead_valid = true;
    } else if (lub->last_was_read) {
      // The record just read began before the buffer: its offset is known,
      // however long it is.
      r = reposition(lub, lub->irec_offset);
    } else {
      r = seek_and_read(lub);
    }
    if (!r) lub->recnum = record - 1;
  }
  if (r) return r;
  lub->last_was_read = false;
  lub->kwbits &= static_cast<uint8_t>(~(FOR_KWB_ERR | FOR_KWB_END));
  lub->eof = false;
  if (lub->access != FOR_ACC_STREAM) lub->truncate_next = true;
  return 0;
}

}  // namespace

extern "C" int32_t for_backspace(for_stmt_block *, int32_t unit, uint64_t options) {
  for_lub *lub;
  int r = for__acquire_lun(unit, &lub, FOR_INTENT_OPEN);
  if (r) {
    return for__unit_error(unit, options, r);
  }
  lub->kwbits = static_cast<uint8_t>(options & (FOR_OPT_ERR | FOR_OPT_END));
  if (!lub->open) return for__io_return(1, FOR_E_BACKSPACE, 0, lub);
  r = backspace(lub);
  int32_t secondary = 0;
  if (r == FOR_E_BACKSPACE && !lub->regular) secondary = FOR_E_NOT_DISK;
  else if (r == FOR_E_BACKSPACE && lub->access != FOR_ACC_SEQUENTIAL) secondary = FOR_E_NOT_SEQUENTIAL;
  return for__io_return(1, r, secondary, lub);
}
