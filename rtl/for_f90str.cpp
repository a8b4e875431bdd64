// Assignment, comparison and concatenation of fixed-length character values
// (address and length; conceptually extended with blanks).
#include <stdlib.h>
#include <string.h>

#include "rtl/for_msg.h"
#include "rtl/for_rtl.h"

namespace {

// <0, 0, >0 as a is below, equal to or above b under blank extension.
int compare_blank_extended(const unsigned char *a, int64_t na, const unsigned char *b, int64_t nb) {
  if (na < 0) na = 0;
  if (nb < 0) nb = 0;
  const int64_t common = na < nb ? na : nb;
  if (common > 0) {
    int c = memcmp(a, b, static_cast<size_t>(common));
    if (c != 0) return c;
  }
  // The longer value's tail against blanks.
  const unsigned char *tail = na > nb ? a : b;
  const int sign = na > nb ? 1 : -1;
  for (int64_t i = common; i < (na > nb ? na : nb); ++i) {
    if (tail[i] != ' ') return tail[i] > ' ' ? sign : -sign;
  }
  return 0;
}

bool overlaps(const char *p, int64_t np, const char *q, int64_t nq) {
  if (np <= 0 || nq <= 0) return false;
  auto a = reinterpret_cast<uintptr_t>(p), b = reinterpret_cast<uintptr_t>(q);
  return a < b + static_cast<uintptr_t>(nq) && b < a + static_cast<uintptr_t>(np);
}

// Equality of two values of the same length up to 8 characters, the
// keyword tests of a program: two overlapping words from each end.
bool equal_short(const char *a, const char *b, int64_t n) {
  if (n >= 4) {
    uint32_t a0, b0, a1, b1;
    memcpy(&a0, a, 4);
    memcpy(&b0, b, 4);
    memcpy(&a1, a + n - 4, 4);
    memcpy(&b1, b + n - 4, 4);
    return a0 == b0 && a1 == b1;
  }
  for (int64_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

}  // namespace

extern "C" void for_cpystr(char *target, int64_t target_length, const char *source, int64_t source_length,
                           int32_t fill) {
  if (target_length <= 0) return;
  if (source_length < 0) source_length = 0;
  if (target_length > source_length) {
    if (source_length > 0) memmove(target, source, static_cast<size_t>(source_length));
    memset(target + source_length, fill == 0 ? ' ' : '\0', static_cast<size_t>(target_length - source_length));
  } else {
    memmove(target, source, static_cast<size_t>(target_length));
  }
}

namespace {

[[gnu::noinline]] int32_t compare_related(const char *a, int64_t a_length, const char *b, int64_t b_length,
                                         int32_t relation) {
  const int c = compare_blank_extended(reinterpret_cast<const unsigned char *>(a), a_length,
                                       reinterpret_cast<const unsigned char *>(b), b_length);
  switch (relation) {
    case FOR_REL_GT: return c > 0;
    case FOR_REL_LT: return c < 0;
    case FOR_REL_EQ: return c == 0;
    case FOR_REL_NE: return c != 0;
    case FOR_REL_GE: return c >= 0;
    case FOR_REL_LE: return c <= 0;
    default:
      for__issue_diagnostic(FOR_E_INTERNAL, 2, __FILE__, __LINE__);
      return 0;
  }
}

}  // namespace

extern "C" int32_t for_cpstr(const char *a, int64_t a_length, const char *b, int64_t b_length,
                             int32_t relation) {
  if (a_length == b_length) {
    // The keyword test of a program, first: two words of 4 to 8 characters.
    if (static_cast<uint64_t>(a_length - 4) <= 4) {
      if (relation == FOR_REL_EQ) {
        uint32_t a0, b0, a1, b1;
        memcpy(&a0, a, 4);
        memcpy(&b0, b, 4);
        memcpy(&a1, a + a_length - 4, 4);
        memcpy(&b1, b + a_length - 4, 4);
        return ((a0 ^ b0) | (a1 ^ b1)) == 0;
      }
    }
    if (static_cast<uint64_t>(a_length) <= 8 && (relation == FOR_REL_EQ || relation == FOR_REL_NE))
      return equal_short(a, b, a_length) == (relation == FOR_REL_EQ);
  }
  return compare_related(a, a_length, b, b_length, relation);
}

extern "C" int32_t for_cpstr_eq(const char *a, int64_t na, const char *b, int64_t nb) {
  return for_cpstr(a, na, b, nb, FOR_REL_EQ);
}
extern "C" int32_t for_cpstr_ne(const char *a, int64_t na, const char *b, int64_t nb) {
  return for_cpstr(a, na, b, nb, FOR_REL_NE);
}
extern "C" int32_t for_cpstr_gt(const char *a, int64_t na, const char *b, int64_t nb) {
  return for_cpstr(a, na, b, nb, FOR_REL_GT);
}
extern "C" int32_t for_cpstr_lt(const char *a, int64_t na, const char *b, int64_t nb) {
  return for_cpstr(a, na, b, nb, FOR_REL_LT);
}
extern "C" int32_t for_cpstr_ge(const char *a, int64_t na, const char *b, int64_t nb) {
  return for_cpstr(a, na, b, nb, FOR_REL_GE);
}
extern "C" int32_t for_cpstr_le(const char *a, int64_t na, const char *b, int64_t nb) {
  return for_cpstr(a, na, b, nb, FOR_REL_LE);
}

extern "C" void for_concat(const for_strpair *pairs, int64_t count, char *target, int64_t target_length) {
  if (count < 1 || target_length <= 0) return;
  // Build in a scratch area when any source overlaps the target.
  bool overlap = false;
  for (int64_t i = 0; i < count && !overlap; ++i)
    overlap = overlaps(pairs[i].address, pairs[i].length, target, target_length);
  char local[256];
  char *out = target;
  if (overlap) {
    out = target_length <= static_cast<int64_t>(sizeof local) ? local
                                                             : static_cast<char *>(malloc(static_cast<size_t>(target_length)));
    if (!out) {
      for__issue_diagnostic(FOR_E_NO_MEMORY, 0);
      return;
    }
  }
  int64_t room = target_length, at = 0;
  for (int64_t i = 0; i < count && room > 0; ++i) {
    int64_t n = pairs[i].length < 0 ? 0 : pairs[i].length;
    if (n > room) n = room;
    if (n > 0) memcpy(out + at, pairs[i].address, static_cast<size_t>(n));
    at += n;
    room -= n;
    if (i == count - 1 && room > 0) {
      memset(out + at, ' ', static_cast<size_t>(room));
      room = 0;
    }
  }
  if (out != target) {
    memcpy(target, out, static_cast<size_t>(target_length));
    if (out != local) free(out);
  }
}
