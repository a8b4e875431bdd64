// The FOR_DUMP_EXCEPTION_INFO report: signal, siginfo fields, registers.
#include <stdio.h>

#include "rtl/for_signal.h"
#include "rtl/tbk_internal.h"

namespace {

bool put_field(tbk_text *t, const char *name, int64_t value, const char *after) {
  return tbk_puts(t, name) && tbk_puts(t, " = ") && tbk_put_dec(t, value) && tbk_puts(t, after);
}

// Whether si_addr is meaningful: the fault signals raised by the processor.
bool has_fault_address(int sig, const siginfo_t *info) {
  return info->si_code > 0 && (sig == SIGSEGV || sig == SIGBUS || sig == SIGILL || sig == SIGFPE || sig == SIGTRAP);
}

}  // namespace

void for__dump_exception_info(int sig, const siginfo_t *info, const void *context) {
  static char buffer[4096];
  tbk_text t = {buffer, 0, sizeof buffer};
  buffer[0] = '\0';
  // "signum = %d, p_siginfo = %16.16lx, p_ctx = %16.16lx.\n"
  tbk_puts(&t, "signum = ");
  tbk_put_dec(&t, sig);
  tbk_puts(&t, ", p_siginfo = ");
  tbk_put_hex(&t, reinterpret_cast<uintptr_t>(info), 16, false);
  tbk_puts(&t, ", p_ctx = ");
  tbk_put_hex(&t, reinterpret_cast<uintptr_t>(context), 16, false);
  tbk_puts(&t, ".\n");
  if (info) {
    put_field(&t, "si_signo", info->si_signo, ", ");
    put_field(&t, "si_errno", info->si_errno, ", ");
    put_field(&t, "si_code", info->si_code, "\n");
    if (has_fault_address(sig, info)) {
      tbk_puts(&t, "si_addr = 0x");
      tbk_put_hex(&t, reinterpret_cast<uintptr_t>(info->si_addr), 16, false);
      tbk_puts(&t, "\n");
    } else {
      put_field(&t, "si_pid", info->si_pid, ", ");
      put_field(&t, "si_uid", info->si_uid, "\n");
    }
  }
  tbk_put_registers(&t, context);
  const int fd = stdout ? fileno(stdout) : 1;
  tbk_write_all(fd >= 0 ? fd : 1, buffer, static_cast<size_t>(t.used));
}
