// The floating-point environment on x86-64: the SSE control and status
// register (MXCSR) and, for the exception flags, the x87 status word.
#pragma once

#include <xmmintrin.h>

#include <cstdint>

// The control bits of the processor's floating-point mode.
inline uint32_t for__fp_mode() { return _mm_getcsr(); }
inline void for__set_fp_mode(uint32_t mode) { _mm_setcsr(mode); }

// The bits of the mode that make the processor itself flush subnormal
// results and operands to zero (FTZ and DAZ).
constexpr uint32_t FOR_FP_FLUSH_BITS = 0x8040;

// Flush-to-zero and denormals-are-zero for the program's own arithmetic:
// here the processor does both, so the arithmetic of for_arch_arith.h is
// plain operators.
inline void for__set_program_fp_mode() { _mm_setcsr(_mm_getcsr() | FOR_FP_FLUSH_BITS); }

// The IEEE exception flags raised so far, as FOR_FP_* bits.
constexpr unsigned FOR_FP_INVALID = 0x01, FOR_FP_DIVIDE = 0x04, FOR_FP_OVERFLOW = 0x08, FOR_FP_UNDERFLOW = 0x10;

// The SSE register and the x87 status word, whose flags share positions
// (and those of FOR_FP_*).
inline unsigned for__fp_raised() {
  uint16_t x87;
  __asm__ volatile("fnstsw %0" : "=am"(x87));
  return (_mm_getcsr() | x87) & 0x3F;
}
