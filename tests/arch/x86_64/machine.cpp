#include "machine.h"

// UD2.
void machine::illegal_instruction() { __builtin_trap(); }

// The canonical frame address is r12 + 16 with r12 = 16 while fn runs.
asm(R"(
  .text
  .globl tavo_tb_bad_frame
  .type tavo_tb_bad_frame, @function
tavo_tb_bad_frame:
  .cfi_startproc
  pushq %r12
  .cfi_def_cfa_offset 16
  .cfi_offset %r12, -16
  movq $16, %r12
  .cfi_def_cfa %r12, 16
  call *%rdi
  .cfi_def_cfa %rsp, 16
  popq %r12
  .cfi_def_cfa_offset 8
  ret
  .cfi_endproc
  .size tavo_tb_bad_frame, .-tavo_tb_bad_frame
)");
