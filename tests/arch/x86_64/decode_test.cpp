// The instruction decoder of the signal handler on an integer divide (F7 /6):
// each addressing form gives the memory operand's address from the
// registers, and bytes that stop inside an instruction are refused.
#include <gtest/gtest.h>

#include <ucontext.h>

#include <cstring>
#include <vector>

#include "for_signal_insn.h"

namespace {

TEST(X86Decode, AddressOfEachMemoryForm) {
  greg_t g[NGREG];
  memset(g, 0, sizeof g);
  g[REG_RAX] = 0x100000010;
  g[REG_RCX] = 0x200;
  g[REG_R8] = 0x8000;
  g[REG_RBP] = 0x50000;
  g[REG_RSP] = 0x70000;  // index 4 in a SIB byte means no index, never RSP
  const uintptr_t rip = 0x400000;
  const struct {
    const char *form;
    std::vector<uint8_t> code;
    bool whole, memory;
    uintptr_t address;
  } rows[] = {
      {"[rax]", {0xF7, 0x30}, true, true, 0x100000010},
      {"[rax+disp8]", {0xF7, 0x70, 0xF0}, true, true, 0x100000000},
      {"[rax+disp32]", {0xF7, 0xB0, 0x10, 0x00, 0x00, 0x00}, true, true, 0x100000020},
      {"[rax+rcx*4]", {0xF7, 0x34, 0x88}, true, true, 0x100000810},
      {"[rip+disp32]", {0xF7, 0x35, 0x00, 0x01, 0x00, 0x00}, true, true, rip + 6 + 0x100},
      {"[rax+rbp]", {0xF7, 0x34, 0x28}, true, true, 0x100050010},
      {"[disp32] by SIB", {0xF7, 0x34, 0x25, 0x00, 0x20, 0x00, 0x00}, true, true, 0x2000},
      {"[eax]", {0x67, 0xF7, 0x30}, true, true, 0x10},
      {"[r8]", {0x41, 0xF7, 0x30}, true, true, 0x8000},
      {"register operand", {0xF7, 0xF1}, true, false, 0},
      {"disp32 cut short", {0xF7, 0xB0, 0x10, 0x00}, false, false, 0},
      {"SIB missing", {0xF7, 0x34}, false, false, 0},
      {"VEX prefix cut short", {0xC4, 0xE2}, false, false, 0},
      {"EVEX prefix cut short", {0x62, 0xF1, 0x7C}, false, false, 0},
      {"two-byte VEX cut short", {0xC5}, false, false, 0},
  };
  for (const auto &row : rows) {
    for_insn insn;
    EXPECT_EQ(for__decode_insn(row.code.data(), row.code.size(), rip, g, &insn), row.whole) << row.form;
    if (!row.whole) continue;
    EXPECT_EQ(insn.opcode, 0xF7) << row.form;
    EXPECT_EQ(insn.reg, 6) << row.form;
    EXPECT_EQ(insn.memory, row.memory) << row.form;
    if (row.memory) {
      EXPECT_EQ(insn.address, row.address) << row.form;
    }
  }
}

}  // namespace
