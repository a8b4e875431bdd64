// Process-wide state of the run-time layer.
#pragma once

#include <csignal>
#include <cstdint>

// Sentinel values of the default I/O sizes.
constexpr int32_t FOR_SIZE_UNSET = -1;   // variable not set
constexpr int32_t FOR_SIZE_INVALID = -2; // set but malformed

// The record start-up allocates for the signal handler: the caught signal's
// siginfo and context, and whether the current diagnostic reports one.
struct for_exception_record {
  void *siginfo;
  void *context;
  int32_t caught;
};

struct for_rtl_state {
  int32_t argc;               // program name included; 0 when not captured
  char **argv;
  double start_time;
  int32_t reentrancy;
  bool initialised;
  bool exit_armed;            // set by every successful OPEN
  volatile sig_atomic_t exit_in_progress;
  volatile sig_atomic_t stop_lock;
  bool stop_under_way;
  // Default I/O sizes: 0 not initialised, -1 unset, -2 invalid.
  int32_t blocksize;
  int32_t buffercount;
  int32_t fmt_recl;
  int32_t ufmt_recl;
  // Floating-point trap mask and counters: underflow, overflow,
  // divide-by-zero, invalid, inexact.
  uint32_t trap_mask;
  int32_t traps[5];
  for_exception_record *exception;
  volatile sig_atomic_t in_signal_handler;
  // Last I/O error, for later inquiry.
  int32_t last_error;
  int64_t last_unit;
  int64_t last_errno;
};

extern for_rtl_state for__rtl;

// Trap mask bits, in the order of the counters.
enum : uint32_t {
  FOR_TRAP_UNDERFLOW = 1,
  FOR_TRAP_OVERFLOW = 2,
  FOR_TRAP_DIVZERO = 4,
  FOR_TRAP_INVALID = 8,
  FOR_TRAP_INEXACT = 16
};

// Once-guards: a semaphore in reentrancy mode 2 and above, plain flags below.
void for__guard_take(void);
void for__guard_release(void);

// Installs the signal handlers and alternate stack (start-up), and removes
// the alternate stack (finish).
void for__install_signal_handlers(void);
void for__disable_alt_stack(void);
