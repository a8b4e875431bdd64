// Record position moves.  On output (and on reads without bounded
// positioning) a right move past the buffer end first enlarges the buffer by
// max(n, 512) bytes; a left move stops at the record start.  With bounded
// positioning the position stops at the record end and the columns beyond it
// are counted in pending.
#include "fmt/for_fmt_move.h"

namespace {

constexpr int kErrOverflow = 66;
constexpr int64_t kGrowStep = 512;

int64_t saturating_add(int64_t a, uint64_t b) {
  uint64_t room = (uint64_t)(INT64_MAX - a);
  return b >= room ? INT64_MAX : a + (int64_t)b;
}

// Unbounded right move by n from pos.
int advance(for_recpos *rp, uint64_t n) {
  if (n > (uint64_t)(rp->size - rp->pos)) {
    if (n > (uint64_t)(INT64_MAX - rp->pos)) return kErrOverflow;
    int64_t by = (int64_t)n > kGrowStep ? (int64_t)n : kGrowStep;
    int status = for__rec_grow(rp, by);
    if (status != 0) return status;
    if (n > (uint64_t)(rp->size - rp->pos)) return kErrOverflow;
  }
  rp->pos += (int64_t)n;
  return 0;
}

// Bounded right move: the position stops at the record end.
void advance_bounded(for_recpos *rp, uint64_t n) {
  if (rp->pending > 0 || rp->pos >= rp->end) {
    rp->pending = saturating_add(rp->pending, n);
    return;
  }
  uint64_t room = (uint64_t)(rp->end - rp->pos);
  if (n <= room) {
    rp->pos += (int64_t)n;
  } else {
    rp->pos = rp->end;
    rp->pending = saturating_add(0, n - room);
  }
}

void retreat(for_recpos *rp, uint64_t n) {
  uint64_t room = (uint64_t)(rp->pos - rp->start);
  rp->pos = n >= room ? rp->start : rp->pos - (int64_t)n;
}

}  // namespace

int for__fmt_move_right(for_recpos *rp, uint64_t n) {
  if (rp->bounded) {
    advance_bounded(rp, n);
    return 0;
  }
  return advance(rp, n);
}

int for__fmt_move_left(for_recpos *rp, uint64_t n) {
  if (rp->bounded) {
    if (n <= (uint64_t)rp->pending) {
      rp->pending -= (int64_t)n;
      return 0;
    }
    n -= (uint64_t)rp->pending;
    rp->pending = 0;
  }
  retreat(rp, n);
  return 0;
}

// Tn: column n counts from 1 at the record start; T0 is taken as T1.
int for__fmt_move_to(for_recpos *rp, uint64_t column) {
  uint64_t offset = column > 0 ? column - 1 : 0;
  if (rp->bounded) {
    uint64_t length = (uint64_t)(rp->end - rp->start);
    if (offset > length) {
      rp->pos = rp->end;
      rp->pending = saturating_add(0, offset - length);
    } else {
      rp->pos = rp->start + (int64_t)offset;
      rp->pending = 0;
    }
    return 0;
  }
  uint64_t here = (uint64_t)(rp->pos - rp->start);
  if (offset > here) return advance(rp, offset - here);
  rp->pos = rp->start + (int64_t)offset;
  return 0;
}
