// The work of CLOSE and of every implicit close: disposition, flush, close,
// delete; and resetting a block to its unconnected state.
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "rtl/for_lub.h"
#include "rtl/for_msg.h"
#include "rtl/for_open.h"
#include "rtl/for_rtl.h"
#include "rtl/for_sys.h"

// Resets a block: the placeholder name, buffers freed, all state cleared but
// the lock, the chain link, the unit number and the preconnection state.
void for__reset_lub(for_lub *lub) {
  if (lub->name && lub->name != for__unknown_name && !lub->name_borrowed) free(lub->name);
  free(lub->rbuf);
  free(lub->bbuf);
  free(lub->ibuf);
  if (lub->in_lf_table) for__remove_from_lf_table(lub);
  for_lub keep = *lub;
  for_lub fresh{};
  fresh.mutex = keep.mutex;
  fresh.owner = keep.owner;
  fresh.held = keep.held;
  fresh.is_static = keep.is_static;
  fresh.next = keep.next;
  fresh.unit = keep.unit;
  fresh.preconnection = keep.preconnection;
  fresh.fd = -1;
  fresh.name = const_cast<char *>(for__unknown_name);
  *lub = fresh;
}

void for__discard_lub(for_lub *lub) {
  if (lub->fd >= 0 && !lub->std_stream) for__sys_close(lub->fd);
  lub->fd = -1;
  lub->open = false;
  for__reset_lub(lub);
}

// Closes the connection (kw may be null: no keywords).  The block keeps its
// name for a diagnostic; the caller resets it.  0 or an error number.
int for__close_proc(const for_open_kw *kw, for_lub *lub) {
  int error = 0;
  // 3. Disposition.
  bool remove = lub->scratch || lub->dispose_delete;
  bool print = lub->dispose_print, submit = lub->dispose_submit;
  const uint64_t status = kw ? kw->value[FOR_KW_DISPOSE] : 0;
  if (status) {
    const bool keeps = status == 1 || status == 3 || status == 4;
    const bool deletes = status == 2 || status == 5 || status == 6;
    if (lub->scratch && keeps) error = FOR_E_INCONSISTENT;
    else if (lub->readonly && deletes && !lub->scratch) error = FOR_E_INCONSISTENT;
    else {
      remove = deletes;
      print = status == 3 || status == 5;
      submit = status == 4 || status == 6;
    }
  }
  // 4. A pending line under column-1 carriage control gets its line feed.
  if (lub->carriage == FOR_CC_COLUMN1 && lub->partial_line && lub->fd >= 0)
    for__sys_write(lub->fd, "\n", 1);
  lub->partial_line = false;
  // 5.
  if (lub->in_lf_table) for__remove_from_lf_table(lub);
  // 6. Flush, then close (the standard streams stay open).
  int r = for__flush_unit(lub);
  if (r && !error) error = r;
  if (lub->fd >= 0) {
    if (lub->std_stream) {
      if (lub->fd == 0 && lub->ivalid > lub->icur)
        for__sys_lseek(0, -static_cast<off_t>(lub->ivalid - lub->icur), SEEK_CUR);
    } else if (for__sys_close(lub->fd) != 0 && errno != EINTR) {
      lub->saved_errno = errno;
      if (!error) error = FOR_E_CLOSE;
    }
  }
  lub->fd = -1;
  lub->open = false;
  // 7. Printing and submitting through a shell are not provided.
  if ((print || submit) && !error) error = FOR_E_BAD_ARGUMENT;
  // 8. Delete.
  if (remove && lub->name_length > 0 && for__sys.unlink(lub->name) != 0) {
    lub->saved_errno = errno;
    if (!error) error = FOR_E_CLOSE;
  }
  return error;
}

extern "C" int for__close_default(for_lub *lub) { return for__close_proc(nullptr, lub); }
