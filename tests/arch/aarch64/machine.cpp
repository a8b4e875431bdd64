#include "machine.h"

// UDF #0.
void machine::illegal_instruction() {
  asm volatile(".inst 0x00000000");
  __builtin_unreachable();
}

// The canonical frame address is x19 + 16 with x19 = 16 while fn runs, and
// the return address is saved 8 below it.
asm(R"(
  .text
  .globl tavo_tb_bad_frame
  .type tavo_tb_bad_frame, %function
tavo_tb_bad_frame:
  .cfi_startproc
  stp x19, x30, [sp, -16]!
  .cfi_def_cfa_offset 16
  .cfi_offset x19, -16
  .cfi_offset x30, -8
  mov x19, 16
  .cfi_def_cfa x19, 16
  blr x0
  .cfi_def_cfa sp, 16
  ldp x19, x30, [sp], 16
  .cfi_def_cfa_offset 0
  .cfi_restore x19
  .cfi_restore x30
  ret
  .cfi_endproc
  .size tavo_tb_bad_frame, .-tavo_tb_bad_frame
)");
