// The processor's side of the tests on x86-64: the names its register table
// uses and faults that only an instruction of its own can raise.
#pragma once

namespace machine {

// The first register of the register table and the program counter.
inline constexpr char kFirstRegister[] = "RAX";
inline constexpr char kPcRegister[] = "RIP";

// Executes an undefined instruction (SIGILL).
[[noreturn]] void illegal_instruction();

}  // namespace machine

// Calls fn from a frame whose unwind rule puts its return address at an
// unmapped address: the frame above it can be shown, the walk past it
// faults.
extern "C" void tavo_tb_bad_frame(void (*fn)());
