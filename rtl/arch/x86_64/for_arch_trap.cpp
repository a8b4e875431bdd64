// What an x86-64 context says about an arithmetic trap or a bounds fault:
// the trap number, the x87 and SIMD status bits, and the interrupted
// instruction with its operands.
#include <string.h>

#include "for_signal_insn.h"
#include "rtl/for_signal.h"
#include "rtl/tbk_internal.h"

namespace {

constexpr uint32_t kUninitialisedSingle = 0x7FBADDADu;
constexpr uint64_t kUninitialisedDouble = 0x7FF7BADDADBADDADull;

// Trap numbers of the processor exceptions that raise SIGFPE or SIGSEGV.
constexpr greg_t kTrapDivide = 0;
constexpr greg_t kTrapOverflow = 4;
constexpr greg_t kTrapBoundRange = 5;
constexpr greg_t kTrapX87 = 16;
constexpr greg_t kTrapSimd = 19;

constexpr uint8_t kBoundOpcode = 0x62;

// x87 status word and MXCSR share the layout of the six exception flags.
constexpr uint32_t kInvalid = 0x01, kDivideByZero = 0x04, kOverflow = 0x08, kUnderflow = 0x10,
                   kInexact = 0x20;

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

}  // namespace

// The trap number and status registers decide.  A divide error is believed
// only when the interrupted instruction is a division, and a floating trap
// only for flags that are both raised and unmasked: a signal sent by another
// process carries a stale trap number and no pending exception.
int32_t for__trap_message(const ucontext_t *uc) {
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

// An array-bounds check (BOUND, opcode 0x62) that failed.  In 64-bit code
// 0x62 also starts every EVEX-encoded vector instruction, so the byte alone
// would report each invalid access by such an instruction as a bounds
// error; the bound-range trap number tells the two apart.
bool for__bounds_fault(const ucontext_t *uc) {
  if (!uc || uc->uc_mcontext.gregs[REG_TRAPNO] != kTrapBoundRange) return false;
  uint8_t first = 0;
  const uintptr_t rip = static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
  return tbk_safe_read(rip, &first, 1) == 1 && first == kBoundOpcode;
}
