// The signal table: which diagnostic a caught signal gets and how the run
// ends after it.
#include "rtl/for_signal.h"

namespace {

using end = for_signal_end;

// Every message a caught signal can issue, with the ending that follows
// when its diagnostic returns (the severe ones end inside the diagnostic
// with their number as status; message_status repeats that here).
constexpr for_signal_choice kEndings[] = {
    {69, end::exit_one},        {78, end::exit_one},        // SIGINT, SIGTERM
    {79, end::abort},           {76, end::abort},           // SIGQUIT, SIGABRT
    {168, end::message_status},                             // SIGILL
    {154, end::message_status}, {174, end::message_status}, // SIGSEGV
    {71, end::message_status},  {70, end::message_status},  {138, end::message_status},
    {73, end::abort},           {72, end::abort},           {74, end::abort},
    {140, end::abort},          {65, end::abort},           {182, end::abort},
    {75, end::abort},                                       // SIGFPE
    {8, end::message_status},                               // any other signal
};

int32_t signal_message(int sig, const siginfo_t *info, const ucontext_t *uc) {
  switch (sig) {
    case SIGINT: return 69;
    case SIGTERM: return 78;
    case SIGQUIT: return 79;
    case SIGABRT: return 76;
    case SIGILL: return 168;
    case SIGSEGV: return for__bounds_fault(uc) ? 154 : 174;
    case SIGFPE: return for__fpe_message(info, uc);
    default: return 8;
  }
}

}  // namespace

for_signal_choice for__signal_choice(int sig, const siginfo_t *info, const ucontext_t *uc) {
  const int32_t message = signal_message(sig, info, uc);
  for (const for_signal_choice &row : kEndings)
    if (row.message == message) return row;
  return {8, end::message_status};
}
