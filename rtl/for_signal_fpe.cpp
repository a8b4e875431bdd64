// Which arithmetic fault a SIGFPE reports.
#include "rtl/for_signal.h"

namespace {

struct fpe_code_row {
  int code;
  int32_t message;
};

constexpr fpe_code_row kCodeRows[] = {
    {FPE_INTDIV, 71}, {FPE_INTOVF, 70}, {FPE_FLTDIV, 73}, {FPE_FLTOVF, 72},
    {FPE_FLTUND, 74}, {FPE_FLTRES, 140}, {FPE_FLTINV, 65}, {FPE_FLTSUB, 138},
};

}  // namespace

// si_code 0: the kernel gave no code (or the signal was sent with kill), so
// the processor's context decides.
int32_t for__fpe_message(const siginfo_t *info, const ucontext_t *uc) {
  if (!info) return 75;
  if (info->si_code == 0) return for__trap_message(uc);
  for (const fpe_code_row &row : kCodeRows) {
    if (row.code != info->si_code) continue;
    if (row.message == 65) return for__uninitialised_operand(uc) ? 182 : 65;
    return row.message;
  }
  return 75;
}
