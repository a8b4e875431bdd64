// The traceback appended to diagnostics.
#include <signal.h>

#include "rtl/for_rtl.h"
#include "rtl/for_state.h"
#include "rtl/tbk.h"
#include "rtl/tbk_internal.h"

namespace {

volatile sig_atomic_t in_progress = 0;

}  // namespace

// The rows start with the caller of the routine that asked for the
// traceback (the diagnostic's issuer is machinery, its caller is where the
// failure happened), or, for a caught signal, at the interrupted
// instruction.  Inside the signal handler every diagnostic reports that
// signal, so its context is used even when the caller passes none.
extern "C" __attribute__((noinline)) int64_t tbk_stack_trace(void *context, char *buffer, int64_t used,
                                                              int64_t capacity, int32_t mode) {
  (void)mode;  // 0, the ordinary form, is the only one
  if (in_progress) return used;
  in_progress = 1;
  if (!context && for__rtl.in_signal_handler && for__rtl.exception) context = for__rtl.exception->context;
  const bool verbose = for_check_env_name("TBK_ENABLE_VERBOSE_STACK_TRACE") ||
                       for_check_env_name("FOR_ENABLE_VERBOSE_STACK_TRACE");
  const uintptr_t from = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
  const int64_t length = tbk_string_stack_signal(context, from, buffer, used, capacity, verbose);
  in_progress = 0;
  return length;
}
