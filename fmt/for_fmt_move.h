// Record position moves of the positioning descriptors X, TR, TL and T.
#pragma once

#include <cstdint>

#include "fmt/for_fmt.h"

// Each returns 0, or 66 when a right move on output passes the end of a
// buffer that cannot grow enough.  After any call start <= pos <= size; with
// bounded positioning also pos <= end, the surplus kept in pending.
int for__fmt_move_right(for_recpos *rp, uint64_t n);                        // nX, TRn
int for__fmt_move_left(for_recpos *rp, uint64_t n);                         // TLn
int for__fmt_move_to(for_recpos *rp, uint64_t column);                      // Tn
