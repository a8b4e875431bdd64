// The register table of an x86-64 signal context, four registers to a line.
#include <signal.h>
#include <ucontext.h>

#include "rtl/tbk_internal.h"

namespace {

struct reg_name {
  const char *name;
  int index;
};

constexpr reg_name kGeneral[] = {
    {"RAX", REG_RAX}, {"RBX", REG_RBX}, {"RCX", REG_RCX}, {"RDX", REG_RDX}, {"RSI", REG_RSI},
    {"RDI", REG_RDI}, {"RBP", REG_RBP}, {"RSP", REG_RSP}, {"R8 ", REG_R8},  {"R9 ", REG_R9},
    {"R10", REG_R10}, {"R11", REG_R11}, {"R12", REG_R12}, {"R13", REG_R13}, {"R14", REG_R14},
    {"R15", REG_R15}, {"RIP", REG_RIP}, {"EFL", REG_EFL}, {"ERR", REG_ERR}, {"TRP", REG_TRAPNO},
    {"CR2", REG_CR2}, {"CSG", REG_CSGSFS}, {"MSK", REG_OLDMASK},
};

bool put_reg(tbk_text *t, const char *name, uint64_t value, int digits, bool last) {
  return tbk_puts(t, name) && tbk_puts(t, " = 0x") && tbk_put_hex(t, value, digits, false) &&
         tbk_puts(t, last ? "\n" : "  ");
}

}  // namespace

bool tbk_put_registers(tbk_text *t, const void *context) {
  const ucontext_t *uc = static_cast<const ucontext_t *>(context);
  if (!uc) return true;
  const greg_t *g = uc->uc_mcontext.gregs;
  if (!tbk_puts(t, "Registers:\n")) return false;
  constexpr int kCount = sizeof kGeneral / sizeof kGeneral[0];
  for (int i = 0; i < kCount; ++i) {
    const bool last = i % 4 == 3 || i == kCount - 1;
    if (!put_reg(t, kGeneral[i].name, static_cast<uint64_t>(g[kGeneral[i].index]), 16, last)) return false;
  }
  if (const _libc_fpstate *fp = uc->uc_mcontext.fpregs) {
    if (!put_reg(t, "FCW", fp->cwd, 4, false) || !put_reg(t, "FSW", fp->swd, 4, false) ||
        !put_reg(t, "MXCSR", fp->mxcsr, 8, true))
      return false;
    for (int i = 0; i < 16; ++i) {
      const uint32_t *e = fp->_xmm[i].element;
      if (!tbk_puts(t, "XMM") || !tbk_put_dec(t, i) || !tbk_puts(t, i < 10 ? "  = 0x" : " = 0x"))
        return false;
      for (int k = 3; k >= 0; --k)
        if (!tbk_put_hex(t, e[k], 8, false)) return false;
      if (!tbk_puts(t, i % 2 == 1 ? "\n" : "  ")) return false;
    }
  }
  return true;
}

uintptr_t tbk_context_pc(const void *context) {
  return static_cast<uintptr_t>(static_cast<const ucontext_t *>(context)->uc_mcontext.gregs[REG_RIP]);
}
