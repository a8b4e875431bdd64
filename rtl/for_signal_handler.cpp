// Installing the signal handler, and the handler: each caught signal becomes
// one diagnostic, then the run-down, then the signal's ending.
#include "rtl/for_signal.h"

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "rtl/for_msg.h"
#include "rtl/for_rtl.h"
#include "rtl/for_state.h"
#include "rtl/tbk_internal.h"

namespace {

constexpr int kCaught[] = {SIGFPE, SIGILL, SIGSEGV, SIGABRT, SIGTERM, SIGQUIT, SIGINT};
constexpr int32_t kSegvMessage = 174;
constexpr char kSegvText[] = "segmentation fault occurred";

// Static, so that installing it cannot fail for want of memory.
alignas(16) char alt_stack[FOR_ALT_STACK_SIZE];
bool alt_stack_installed = false;

void set_disposition(int sig, void (*handler)(int)) {
  struct sigaction sa;
  memset(&sa, 0, sizeof sa);
  sa.sa_handler = handler;
  sigemptyset(&sa.sa_mask);
  sigaction(sig, &sa, nullptr);
}

// Appends a catalogue format whose only conversion takes `argument`.
void put_filled(tbk_text *t, const char *format, const char *argument) {
  const char *p = strchr(format, '%');
  if (!p || !p[1]) {
    tbk_puts(t, format);
    return;
  }
  tbk_put(t, format, static_cast<size_t>(p - format));
  tbk_puts(t, argument);
  tbk_puts(t, p + 2);
}

// A fault inside the handler: the run-down might fault again, so the
// message is written directly and the process leaves at once.
[[noreturn]] void leave_from_nested_fault() {
  char line[160];
  tbk_text t = {line, 0, sizeof line};
  line[0] = '\0';
  char number[8];
  tbk_text n = {number, 0, sizeof number};
  tbk_put_dec(&n, kSegvMessage);
  put_filled(&t, severity_table[FOR_SEV_SEVERE], number);
  put_filled(&t, for__msg_lookup(kSegvMessage)->text, kSegvText);
  tbk_puts(&t, "\n");
  const int fd = stderr ? fileno(stderr) : 2;
  tbk_write_all(fd >= 0 ? fd : 2, line, static_cast<size_t>(t.used));
  _exit(kSegvMessage);
}

bool sets_caught_flag(int32_t message) {
  return message == 72 || message == 73 || message == 74 || message == 140;
}

}  // namespace

extern "C" void for__signal_handler(int sig, siginfo_t *info, void *context) {
  // 1. Re-entry guard.
  if (for__rtl.in_signal_handler) leave_from_nested_fault();
  for__rtl.in_signal_handler = 1;

  // 2. The exception record.
  if (for__rtl.exception) {
    for__rtl.exception->siginfo = info;
    for__rtl.exception->context = context;
  }

  // 3. The exception report, on request.
  if (for_check_env_name("FOR_DUMP_EXCEPTION_INFO")) for__dump_exception_info(sig, info, context);

  // 4. The message and the ending.  An abort from here on (the run-down's
  // own, or the one that ends this run) must not re-enter the handler.
  if (sig == SIGABRT) set_disposition(SIGABRT, SIG_IGN);
  const for_signal_choice choice = for__signal_choice(sig, info, static_cast<const ucontext_t *>(context));
  if (choice.message == 74) ++for__rtl.traps[0];

  // 5. The diagnostic; a severe one ends inside it with its number.
  if (for__rtl.exception && sets_caught_flag(choice.message)) for__rtl.exception->caught = 1;
  if (choice.message == kSegvMessage) {
    for__issue_diagnostic(kSegvMessage, 1, kSegvText);
  } else if (choice.message == FOR_E_INTERNAL) {
    for__issue_diagnostic(FOR_E_INTERNAL, 2, "for_init", __LINE__);
  } else {
    for__issue_diagnostic(choice.message, 0);
  }

  // 6. Run-down, then the ending.  The units are flushed by now, so the
  // exits skip the C library's exit processing, which is not safe here.
  for__exit_handler(0, 0);
  switch (choice.end) {
    case for_signal_end::abort: {
      set_disposition(SIGABRT, SIG_DFL);
      sigset_t abort_only;
      sigemptyset(&abort_only);
      sigaddset(&abort_only, SIGABRT);
      sigprocmask(SIG_UNBLOCK, &abort_only, nullptr);
      abort();
    }
    case for_signal_end::exit_one:
      _exit(1);
    case for_signal_end::message_status:
      break;
  }
  _exit(choice.message);
}

void for__install_signal_handlers(void) {
  stack_t stack;
  memset(&stack, 0, sizeof stack);
  stack.ss_sp = alt_stack;
  stack.ss_size = sizeof alt_stack;
  alt_stack_installed = sigaltstack(&stack, nullptr) == 0;

  struct sigaction sa;
  memset(&sa, 0, sizeof sa);
  sa.sa_sigaction = for__signal_handler;
  sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART | SA_NODEFER;
  sigemptyset(&sa.sa_mask);
  for (int sig : kCaught) {
    // A process started with interrupts ignored keeps ignoring them.  The
    // disposition is read before anything is installed, so no interrupt can
    // reach the handler in between.
    if (sig == SIGQUIT || sig == SIGINT) {
      struct sigaction previous;
      if (sigaction(sig, nullptr, &previous) == 0 && !(previous.sa_flags & SA_SIGINFO) &&
          previous.sa_handler == SIG_IGN)
        continue;
    }
    sigaction(sig, &sa, nullptr);
  }
}

void for__disable_alt_stack(void) {
  if (!alt_stack_installed) return;
  stack_t stack;
  memset(&stack, 0, sizeof stack);
  stack.ss_flags = SS_DISABLE;
  if (sigaltstack(&stack, nullptr) == 0) alt_stack_installed = false;
}
