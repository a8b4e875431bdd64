// What an aarch64 context says about an arithmetic trap or a bounds fault:
// nothing beyond si_code.  Integer division by zero does not trap here, the
// floating-point exceptions trap only where the processor implements it,
// and there is no bounds-check instruction.
#include "rtl/for_signal.h"

int32_t for__trap_message(const ucontext_t *) { return 75; }

bool for__uninitialised_operand(const ucontext_t *) { return false; }

bool for__bounds_fault(const ucontext_t *) { return false; }
