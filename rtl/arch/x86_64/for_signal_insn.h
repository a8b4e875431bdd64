// Just enough x86-64 instruction decoding for the signal handler: the
// opcode, the register operands and the memory operand's address of the
// instruction a signal interrupted.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <ucontext.h>

struct for_insn {
  uint8_t map;       // 0 one-byte opcodes, 1 0F, 2 0F 38, 3 0F 3A
  uint8_t opcode;
  bool vex;          // VEX or EVEX encoded
  bool modrm;        // the instruction has a ModRM byte (fields below valid)
  uint8_t mod;
  uint8_t reg;       // ModRM.reg extended by REX.R / VEX.R (EVEX: R' too)
  uint8_t rm;        // ModRM.rm extended by REX.B, for mod 3
  uint8_t vvvv;      // VEX second source register
  bool memory;       // mod != 3 and `address` could be computed
  uintptr_t address;
};

// Decodes the instruction in code[0, n) that sits at rip, with the general
// registers of the interrupted context.  false when the bytes do not hold a
// whole instruction that this decoder understands.
bool for__decode_insn(const uint8_t *code, size_t n, uintptr_t rip, const greg_t *gregs, for_insn *out);

// Reads and decodes the instruction at the context's RIP.
bool for__decode_context_insn(const ucontext_t *uc, for_insn *out);

// DIV or IDIV (opcode F6 or F7 with ModRM.reg 6 or 7).
bool for__is_divide(const for_insn *insn);
