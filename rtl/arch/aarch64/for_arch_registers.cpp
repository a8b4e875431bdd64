// The register table of an aarch64 signal context, four registers to a
// line: X0 to X30, SP, PC and PSTATE, then FPSR, FPCR and V0 to V31 from the
// context's FP/SIMD record.
#include <signal.h>
#include <string.h>
#include <ucontext.h>

#include "rtl/tbk_internal.h"

namespace {

constexpr uint32_t kFpsimdMagic = 0x46508001;

// The FP/SIMD record among the context's records (each starts with its
// magic number and size; magic 0 ends the list); null when there is none.
const unsigned char *fpsimd_record(const mcontext_t &mc) {
  const unsigned char *base = mc.__reserved;
  size_t at = 0;
  while (at + 8 <= sizeof mc.__reserved) {
    uint32_t magic, size;
    memcpy(&magic, base + at, 4);
    memcpy(&size, base + at + 4, 4);
    if (magic == 0 || size < 8 || size > sizeof mc.__reserved - at) return nullptr;
    if (magic == kFpsimdMagic && size >= 16 + 32 * 16) return base + at;
    at += size;
  }
  return nullptr;
}

constexpr const char *kNames[] = {
    "X0 ", "X1 ", "X2 ", "X3 ", "X4 ", "X5 ", "X6 ", "X7 ",
    "X8 ", "X9 ", "X10", "X11", "X12", "X13", "X14", "X15",
    "X16", "X17", "X18", "X19", "X20", "X21", "X22", "X23",
    "X24", "X25", "X26", "X27", "X28", "X29", "X30", "SP ",
    "PC ", "PSTATE",
};

bool put_reg(tbk_text *t, const char *name, uint64_t value, int digits, bool last) {
  return tbk_puts(t, name) && tbk_puts(t, " = 0x") && tbk_put_hex(t, value, digits, false) &&
         tbk_puts(t, last ? "\n" : "  ");
}

}  // namespace

bool tbk_put_registers(tbk_text *t, const void *context) {
  const ucontext_t *uc = static_cast<const ucontext_t *>(context);
  if (!uc) return true;
  const mcontext_t &mc = uc->uc_mcontext;
  if (!tbk_puts(t, "Registers:\n")) return false;
  constexpr int kCount = sizeof kNames / sizeof kNames[0];
  for (int i = 0; i < kCount; ++i) {
    const bool last = i % 4 == 3 || i == kCount - 1;
    const uint64_t value = i < 31 ? mc.regs[i] : i == 31 ? mc.sp : i == 32 ? mc.pc : mc.pstate;
    if (!put_reg(t, kNames[i], value, 16, last)) return false;
  }
  if (const unsigned char *fp = fpsimd_record(mc)) {
    uint32_t fpsr, fpcr;
    memcpy(&fpsr, fp + 8, 4);
    memcpy(&fpcr, fp + 12, 4);
    if (!put_reg(t, "FPSR", fpsr, 8, false) || !put_reg(t, "FPCR", fpcr, 8, true)) return false;
    for (int i = 0; i < 32; ++i) {
      uint64_t half[2];
      memcpy(half, fp + 16 + 16 * i, 16);
      if (!tbk_puts(t, "V") || !tbk_put_dec(t, i) || !tbk_puts(t, i < 10 ? "  = 0x" : " = 0x") ||
          !tbk_put_hex(t, half[1], 16, false) || !tbk_put_hex(t, half[0], 16, false) ||
          !tbk_puts(t, i % 2 == 1 ? "\n" : "  "))
        return false;
    }
  }
  return true;
}

uintptr_t tbk_context_pc(const void *context) {
  return static_cast<uintptr_t>(static_cast<const ucontext_t *>(context)->uc_mcontext.pc);
}
