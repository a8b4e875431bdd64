// Which arithmetic fault a SIGFPE reports.
#include <string.h>

#include "rtl/for_signal.h"
#include "rtl/for_signal_insn.h"
#include "rtl/tbk_internal.h"

namespace {

constexpr uint32_t kUninitialisedSingle = 0x7FBADDADu;
constexpr uint64_t kUninitialisedDouble = 0x7FF7BADDADBADDADull;

// Trap numbers of the processor exceptions that raise SIGFPE.
constexpr greg_t kTrapDivide = 0;
constexpr greg_t kTrapOverflow = 4;
constexpr greg_t kTrapX87 = 16;
constexpr greg_t kTrapSimd = 19;

// x87 status word and MXCSR share the layout of the six exception flags.
constexpr uint32_t kInvalid = 0x01, kDivideByZero = 0x04, kOverflow = 0x08, kUnderflow = 0x10,
                   kInexact = 0x20;

struct fpe_code_row {
  int code;
  int32_t message;
};

constexpr fpe_code_row kCodeRows[] = {
    {FPE_INTDIV, 71}, {FPE_INTOVF, 70}, {FPE_FLTDIV, 73}, {FPE_FLTOVF, 72},
    {FPE_FLTUND, 74}, {FPE_FLTRES, 140}, {FPE_FLTINV, 65}, {FPE_FLTSUB, 138},
};

bool holds_pattern(const uint8_t *bytes, size_t n) {
  for (size_t k = 0; k + 4 <= n; k += 4) {
    uint32_t v;
    memcpy(&v, bytes + k, 4);
    if (v == kUninitialisedSingle) return true;
  }
  for (size_t k = 0; k + 8 <= n; k += 8) {
    uint64_t v;
    memcpy(&v, bytes + k, 8);
    if (v == kUninitialisedDouble) return true;
  }
  return false;
}

bool xmm_holds_pattern(const _libc_fpstate *fp, unsigned reg) {
  if (!fp || reg >= 16) return false;  // registers 16..31 are not in the context
  uint8_t bytes[16];
  memcpy(bytes, fp->_xmm[reg].element, sizeof bytes);
  return holds_pattern(bytes, sizeof bytes);
}

int32_t invalid_message(const ucontext_t *uc) { return for__uninitialised_operand(uc) ? 182 : 65; }

// Unmasked exception flags, in the order of the si_code rows.
int32_t status_message(uint32_t pending, const ucontext_t *uc) {
  if (pending & kDivideByZero) return 73;
  if (pending & kOverflow) return 72;
  if (pending & kUnderflow) return 74;
  if (pending & kInexact) return 140;
  if (pending & kInvalid) return invalid_message(uc);
  return 75;
}

// si_code 0: the kernel gave no code (or the signal was sent with kill), so
// the trap number and status registers decide.  A divide error is believed
// only when the interrupted instruction is a division, and a floating trap
// only for flags that are both raised and unmasked: a signal sent by another
// process carries a stale trap number and no pending exception.
int32_t trap_message(const ucontext_t *uc) {
  if (!uc) return 75;
  const _libc_fpstate *fp = uc->uc_mcontext.fpregs;
  switch (uc->uc_mcontext.gregs[REG_TRAPNO]) {
    case kTrapDivide: {
      for_insn insn;
      return for__decode_context_insn(uc, &insn) && for__is_divide(&insn) ? 71 : 75;
    }
    case kTrapOverflow:
      return 70;
    case kTrapX87:
      return fp ? status_message(fp->swd & ~fp->cwd & 0x3Fu, uc) : 75;
    case kTrapSimd:
      return fp ? status_message(fp->mxcsr & ~(fp->mxcsr >> 7) & 0x3Fu, uc) : 75;
    default:
      return 75;
  }
}

}  // namespace

bool for__uninitialised_operand(const ucontext_t *uc) {
  for_insn insn;
  if (!for__decode_context_insn(uc, &insn) || !insn.modrm) return false;
  const _libc_fpstate *fp = uc->uc_mcontext.fpregs;
  if (insn.memory) {
    uint8_t bytes[16];
    // A short read keeps the readable start of the operand.
    if (holds_pattern(bytes, tbk_safe_read(insn.address, bytes, sizeof bytes))) return true;
  }
  if (insn.map == 0) return false;  // x87 register operands are not decoded
  if (xmm_holds_pattern(fp, insn.reg)) return true;
  if (insn.mod == 3 && xmm_holds_pattern(fp, insn.rm)) return true;
  return insn.vex && xmm_holds_pattern(fp, insn.vvvv);
}

int32_t for__fpe_message(const siginfo_t *info, const ucontext_t *uc) {
  if (!info) return 75;
  if (info->si_code == 0) return trap_message(uc);
  for (const fpe_code_row &row : kCodeRows) {
    if (row.code != info->si_code) continue;
    return row.message == 65 ? invalid_message(uc) : row.message;
  }
  return 75;
}
