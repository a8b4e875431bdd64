// The line-feed sharing table: formatted units, so that a unit on a terminal
// can end another unit's pending partial line before it writes.
#include <sys/stat.h>

#include "rtl/for_lub.h"
#include "rtl/for_sys.h"

namespace {
for_lub *lf_head = nullptr;

bool same_terminal(const for_lub *a, const for_lub *b) {
  if (!a->is_tty || !b->is_tty) return false;
  struct stat sa, sb;
  return for__sys_fstat(a->fd, &sa) == 0 && for__sys_fstat(b->fd, &sb) == 0 && sa.st_rdev == sb.st_rdev;
}
}  // namespace

void for__add_to_lf_table(for_lub *lub) {
  if (lub->in_lf_table) return;
  for (for_lub *o = lf_head; o; o = o->lf_next) {
    if (o->partial_line && same_terminal(o, lub)) {
      for__sys_write(o->fd, "\n", 1);
      o->partial_line = false;
    }
  }
  lub->lf_next = lf_head;
  lf_head = lub;
  lub->in_lf_table = true;
}

void for__remove_from_lf_table(for_lub *lub) {
  for (for_lub **link = &lf_head; *link; link = &(*link)->lf_next) {
    if (*link == lub) {
      *link = lub->lf_next;
      break;
    }
  }
  lub->lf_next = nullptr;
  lub->in_lf_table = false;
}
