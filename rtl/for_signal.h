// The signal handler and the decisions behind its diagnostics.
#pragma once

#include <signal.h>
#include <stddef.h>
#include <stdint.h>
#include <ucontext.h>

// The handler that start-up installs for SIGFPE, SIGILL, SIGSEGV, SIGABRT,
// SIGTERM, SIGQUIT and SIGINT.  It never returns.
extern "C" void for__signal_handler(int sig, siginfo_t *info, void *context);

// The size of the alternate signal stack start-up installs.
constexpr size_t FOR_ALT_STACK_SIZE = 81920;

// How the run ends once a signal's diagnostic has returned: exit status 1,
// abort with SIGABRT's default action, or the message number as status.
enum class for_signal_end : uint8_t { exit_one, abort, message_status };

struct for_signal_choice {
  int32_t message;
  for_signal_end end;
};

// The diagnostic of a caught signal (the signal table).  info and uc may be
// null.
for_signal_choice for__signal_choice(int sig, const siginfo_t *info, const ucontext_t *uc);

// The SIGFPE message: from si_code, or for si_code 0 (no code from the
// kernel) from what the processor's context says (for__trap_message).
int32_t for__fpe_message(const siginfo_t *info, const ucontext_t *uc);

// The processor's part (one implementation per architecture):
// The SIGFPE message for si_code 0, from the interrupted context; 75 when
// the context tells nothing.
int32_t for__trap_message(const ucontext_t *uc);
// Whether a floating invalid trap's operand holds the pattern of an
// uninitialised real (0x7FBADDAD or 0x7FF7BADDADBADDAD).
bool for__uninitialised_operand(const ucontext_t *uc);
// Whether a SIGSEGV came from a failed array-bounds check instruction.
bool for__bounds_fault(const ucontext_t *uc);

// Prints the FOR_DUMP_EXCEPTION_INFO report on standard output.
void for__dump_exception_info(int sig, const siginfo_t *info, const void *context);
