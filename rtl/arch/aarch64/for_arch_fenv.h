// The floating-point environment on aarch64: the control register FPCR and
// the status register FPSR.
#pragma once

#include <cstdint>

// The control bits of the processor's floating-point mode.
inline uint32_t for__fp_mode() {
  uint64_t fpcr;
  __asm__ volatile("mrs %0, fpcr" : "=r"(fpcr));
  return static_cast<uint32_t>(fpcr);
}
inline void for__set_fp_mode(uint32_t mode) { __asm__ volatile("msr fpcr, %0" : : "r"(uint64_t{mode})); }

// Flush-to-zero and denormals-are-zero for the program's own arithmetic.
// FPCR.FZ stays off: it takes a result for tiny before rounding, where the
// program's results are defined by tininess after rounding, so the
// arithmetic of for_arch_arith.h flushes operands and results itself.  (The
// numeric conversions rely on it too: under FZ a binary64 value just below
// FLT_MIN that rounds to FLT_MIN would become 0 in the last rounding.)
inline void for__set_program_fp_mode() {}

// The IEEE exception flags raised so far, as FOR_FP_* bits.
constexpr unsigned FOR_FP_INVALID = 0x01, FOR_FP_DIVIDE = 0x04, FOR_FP_OVERFLOW = 0x08, FOR_FP_UNDERFLOW = 0x10;

// FPSR holds them in its low bits: IOC, DZC, OFC, UFC.
inline unsigned for__fp_raised() {
  uint64_t fpsr;
  __asm__ volatile("mrs %0, fpsr" : "=r"(fpsr));
  return ((fpsr & 1) ? FOR_FP_INVALID : 0) | ((fpsr & 2) ? FOR_FP_DIVIDE : 0) |
         ((fpsr & 4) ? FOR_FP_OVERFLOW : 0) | ((fpsr & 8) ? FOR_FP_UNDERFLOW : 0);
}
