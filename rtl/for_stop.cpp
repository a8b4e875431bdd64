// STOP: the stop guard, the optional stop message, the exit handler, exit.
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "rtl/for_lub.h"
#include "rtl/for_msg.h"
#include "rtl/for_rtl.h"
#include "rtl/for_state.h"
#include "for_arch_fenv.h"

// Writes one record to a unit through the record layer (fmt/for_put.cpp).
int for__write_record(int64_t unit, const char *text, int64_t length);

namespace {

// Messages 525..528 for each IEEE exception flag that is raised.
void report_ieee_flags() {
  const unsigned raised = for__fp_raised();
  static const struct {
    unsigned bit;
    int32_t message;
  } flags[] = {{FOR_FP_INVALID, 525}, {FOR_FP_DIVIDE, 526}, {FOR_FP_OVERFLOW, 527}, {FOR_FP_UNDERFLOW, 528}};
  for (const auto &f : flags)
    if (raised & f.bit) for__issue_diagnostic(f.message, 0);
}

}  // namespace

extern "C" void for_stop_core(const char *text, int64_t length, uint64_t options, int32_t code,
                              int32_t code_given) {
  // 1.-2. A STOP that starts while another runs ends the process at once.
  for__guard_take();
  if (for__rtl.stop_under_way) {
    for__rtl.stop_lock = 0;
    for__guard_release();
    _exit(0);
  }
  for__rtl.stop_under_way = true;
  for__rtl.stop_lock = 1;
  for__guard_release();

  // 3.
  if ((options & FOR_OPT_UPPER_VALID) && (options & FOR_OPT_IEEE_REPORT)) report_ieee_flags();

  // 4. The message, if any, and the status.
  int status = code_given ? code : 0;
  if (options & FOR_OPT_STOP_MESSAGE) {
    char line[64];
    int n = code_given ? snprintf(line, sizeof line, "%s%d", for__msg_lookup(FOR_M_RETURN_CODE)->text, code)
                       : snprintf(line, sizeof line, "%s", for__msg_lookup(FOR_M_STOP)->text);
    for__write_record(6, line, n);
  } else if (text && length > 0) {
    for__write_record(0, text, length);
  }
  for__exit_handler(0, 0);
  exit(status);
}

extern "C" void for_stop(const char *text, int64_t length, uint64_t flags) {
  for_stop_core(text, length, flags, 0, 0);
}

extern "C" void for_abort(const char *text, int64_t length, uint64_t) {
  if (text && length > 0) for__write_record(0, text, length);
  for__exit_handler(0, 0);
  exit(134);
}
