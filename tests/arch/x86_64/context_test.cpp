// The x86-64 register table from a fabricated context: each name shows its
// own register, four to a line and the last line short, then the x87 and
// SSE control words and the XMM registers two to a line when the context
// has them.
#include <gtest/gtest.h>

#include <signal.h>
#include <ucontext.h>

#include <cstring>
#include <string>

#include "rtl/tbk_internal.h"

namespace {

std::string registers(const ucontext_t *uc) {
  static char buffer[8192];
  tbk_text t = {buffer, 0, sizeof buffer};
  EXPECT_TRUE(tbk_put_registers(&t, uc));
  return std::string(buffer, static_cast<size_t>(t.used));
}

TEST(X86Context, RegisterTableInLinesOfFour) {
  ucontext_t uc;
  memset(&uc, 0, sizeof uc);
  // In the order of the table: register k holds 0x1000 + k.
  const int order[] = {REG_RAX, REG_RBX, REG_RCX, REG_RDX, REG_RSI, REG_RDI,    REG_RBP, REG_RSP,
                       REG_R8,  REG_R9,  REG_R10, REG_R11, REG_R12, REG_R13,    REG_R14, REG_R15,
                       REG_RIP, REG_EFL, REG_ERR, REG_TRAPNO, REG_CR2, REG_CSGSFS, REG_OLDMASK};
  for (size_t k = 0; k < sizeof order / sizeof order[0]; ++k) uc.uc_mcontext.gregs[order[k]] = 0x1000 + k;
  const std::string general =
      "Registers:\n"
      "RAX = 0x0000000000001000  RBX = 0x0000000000001001  RCX = 0x0000000000001002  RDX = 0x0000000000001003\n"
      "RSI = 0x0000000000001004  RDI = 0x0000000000001005  RBP = 0x0000000000001006  RSP = 0x0000000000001007\n"
      "R8  = 0x0000000000001008  R9  = 0x0000000000001009  R10 = 0x000000000000100a  R11 = 0x000000000000100b\n"
      "R12 = 0x000000000000100c  R13 = 0x000000000000100d  R14 = 0x000000000000100e  R15 = 0x000000000000100f\n"
      "RIP = 0x0000000000001010  EFL = 0x0000000000001011  ERR = 0x0000000000001012  TRP = 0x0000000000001013\n"
      "CR2 = 0x0000000000001014  CSG = 0x0000000000001015  MSK = 0x0000000000001016\n";
  uc.uc_mcontext.fpregs = nullptr;
  EXPECT_EQ(registers(&uc), general);
  EXPECT_EQ(tbk_context_pc(&uc), 0x1010u);

  _libc_fpstate fp;
  memset(&fp, 0, sizeof fp);
  fp.cwd = 0x037F;
  fp.swd = 0x0020;
  fp.mxcsr = 0x1F80;
  for (uint32_t i = 0; i < 16; ++i) {
    fp._xmm[i].element[0] = i;
    fp._xmm[i].element[3] = 0x11111111u * (i % 16);
  }
  uc.uc_mcontext.fpregs = &fp;
  const std::string full = registers(&uc);
  ASSERT_EQ(full.compare(0, general.size(), general), 0) << full;
  const std::string rest = full.substr(general.size());
  EXPECT_EQ(rest.substr(0, rest.find('\n') + 1), "FCW = 0x037f  FSW = 0x0020  MXCSR = 0x00001f80\n");
  EXPECT_NE(rest.find("\nXMM0  = 0x00000000000000000000000000000000  XMM1  = 0x11111111000000000000000000000001\n"),
            std::string::npos)
      << rest;
  EXPECT_NE(rest.find("\nXMM14 = 0xeeeeeeee00000000000000000000000e  XMM15 = 0xffffffff00000000000000000000000f\n"),
            std::string::npos)
      << rest;
  EXPECT_EQ(rest.back(), '\n');
}

}  // namespace
