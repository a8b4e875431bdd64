// The exit handler: trap summary, then every open unit closed and flushed.
#include <stdlib.h>

#include "rtl/for_lub.h"
#include "rtl/for_rtl.h"
#include "rtl/for_state.h"

namespace {

// One count message per trapped class: underflow, overflow, divide-by-zero,
// invalid, inexact.
void trap_summary() {
  static const struct {
    uint32_t bit;
    int counter;
    int32_t message;
  } classes[] = {{FOR_TRAP_UNDERFLOW, 0, 300}, {FOR_TRAP_OVERFLOW, 1, 298}, {FOR_TRAP_DIVZERO, 2, 299},
                 {FOR_TRAP_INVALID, 3, 297},   {FOR_TRAP_INEXACT, 4, 296}};
  for (const auto &c : classes) {
    if ((for__rtl.trap_mask & c.bit) && for__rtl.traps[c.counter] != 0)
      for__issue_diagnostic(c.message, 1, for__rtl.traps[c.counter]);
  }
}

}  // namespace

extern "C" int32_t for__exit_handler(int32_t a, int32_t b) {
  trap_summary();
  for__rtl.exit_in_progress = 1;
  for__rtl.exception = nullptr;  // released: the record is static
  // The unit walk runs once per arming; an OPEN after it re-arms it.
  if (for__rtl.exit_armed) {
    for__rtl.exit_armed = false;
    for__close_all_units();
  }
  for__rtl.exit_in_progress = 0;
  return a != 0 ? b : 0;
}

extern "C" int32_t for__decl_exit_hand(void) { return 0; }

extern "C" void for__fpe_exit_handler(void) { trap_summary(); }
