// The traceback text: header, one row per frame from the failing routine
// outward, and the lines that end a walk early.
#include <setjmp.h>
#include <signal.h>
#include <string.h>
#include <ucontext.h>
#include <unwind.h>

#include "rtl/for_rtl.h"
#include "rtl/tbk_internal.h"

namespace {

constexpr char kOverflow[] = "\nStack trace buffer overflow; further frames not shown.\n";
constexpr char kTerminated[] = "\nStack trace terminated abnormally.\n";
constexpr char kLongHeader[] = "\n\nTraceback symbolic or hex stack dump follows:\n\n";
// Room kept free behind the rows so that either closing line always fits.
constexpr int64_t kReserve = sizeof kOverflow > sizeof kTerminated ? sizeof kOverflow - 1 : sizeof kTerminated - 1;
constexpr int kLastSignal = 64;

struct trace_state {
  tbk_text rows;     // the caller's text, its capacity less kReserve
  uintptr_t target;  // first frame of interest
  bool inclusive;    // the target frame is itself a row (a signal's)
  bool started;
  bool verbose;
  bool overflow;
  int64_t frame;     // rows written
};

// Static: the walk may be left by siglongjmp, and a traceback never runs
// twice at once (tbk_stack_trace guards against re-entry).
trace_state state;
sigjmp_buf walk_env;
struct sigaction saved_actions[kLastSignal + 1];
bool replaced[kLastSignal + 1];

void walk_fault(int) { siglongjmp(walk_env, 1); }

// Every signal stops a walk that it interrupts; the unwinder reads memory
// that a damaged stack may not have mapped.
void install_walk_handlers() {
  struct sigaction sa;
  memset(&sa, 0, sizeof sa);
  sa.sa_handler = walk_fault;
  sa.sa_flags = SA_ONSTACK;
  sigemptyset(&sa.sa_mask);
  for (int sig = 0; sig <= kLastSignal; ++sig) replaced[sig] = sigaction(sig, &sa, &saved_actions[sig]) == 0;
}

void restore_walk_handlers() {
  for (int sig = 0; sig <= kLastSignal; ++sig)
    if (replaced[sig]) sigaction(sig, &saved_actions[sig], nullptr);
}

// The result reporter of the I/O statements is diagnostic machinery too: an
// I/O failure's first row is the statement entry that failed.
bool is_machinery(uintptr_t pc) {
  return _Unwind_FindEnclosingFunction(reinterpret_cast<void *>(pc)) ==
         reinterpret_cast<void *>(&for__io_return);
}

bool put_frame(trace_state *s, uintptr_t pc, bool exact) {
  // A return address may lie just past its routine (a call that does not
  // return), so it is looked up one byte back.
  const uintptr_t lookup = exact ? pc : pc - 1;
  char image[256];
  tbk_image_name(lookup, image, sizeof image);
  const char *routine = tbk_routine_name(lookup);
  const bool ok = s->verbose ? tbk_put_long_frame(&s->rows, s->frame, image, pc, routine, "Unknown", "Unknown")
                             : tbk_put_brief_row(&s->rows, image, pc, routine, "Unknown", "Unknown");
  if (!ok) {
    s->overflow = true;
    return false;
  }
  ++s->frame;
  return true;
}

bool visit(uintptr_t pc, bool exact, void *arg) {
  trace_state *s = static_cast<trace_state *>(arg);
  if (!s->started) {
    if (pc != s->target) return true;
    s->started = true;
    if (!s->inclusive) return true;
  }
  if (s->frame == 0 && !exact && is_machinery(pc - 1)) return true;
  return put_frame(s, pc, exact);
}

bool put_header(trace_state *s, const void *context) {
  tbk_text *t = &s->rows;
  if (s->verbose) return (!context || tbk_put_registers(t, context)) && tbk_puts(t, kLongHeader);
  return tbk_put_field(t, "Image", 19, true) && tbk_put_field(t, "PC", 18, true) &&
         tbk_put_field(t, "Routine", 19, true) && tbk_put_field(t, "Line", 12, true) &&
         tbk_put_field(t, "Source", 19, true) && tbk_puts(t, "\n");
}

}  // namespace

extern "C" int64_t tbk_string_stack_signal(const void *context, uintptr_t from, char *buffer, int64_t used,
                                           int64_t capacity, int32_t verbose) {
  if (!buffer || used < 0 || capacity <= 0 || used >= capacity) return used;
  tbk_text full = {buffer, used, capacity};
  const ucontext_t *uc = static_cast<const ucontext_t *>(context);

  state = trace_state{};
  state.rows = {buffer, used, capacity - kReserve};
  state.target = uc ? tbk_context_pc(uc) : from;
  state.inclusive = uc != nullptr;
  state.verbose = verbose != 0;
  tbk_image_cache_reset();

  bool faulted = false;
  if (state.rows.cap <= used || !put_header(&state, context)) {
    tbk_truncate(&state.rows, used);
    state.overflow = true;
  } else {
    install_walk_handlers();
    if (sigsetjmp(walk_env, 1) == 0) {
      tbk_trace_stack(visit, &state);
    } else {
      faulted = true;
    }
    restore_walk_handlers();
    // The walk never reached the interrupted instruction (a jump to a bad
    // address leaves no unwindable frame there): show that instruction.
    if (uc && !state.started && !state.overflow) put_frame(&state, state.target, true);
  }

  full.used = state.rows.used;
  if (state.overflow) {
    tbk_puts(&full, kOverflow);
  } else if (faulted) {
    tbk_puts(&full, kTerminated);
  }
  return full.used;
}
