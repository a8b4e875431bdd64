// The aarch64 side of the signal decisions and the register table, from
// fabricated contexts: the table's layout and values, with and without the
// FP/SIMD record, and the decisions that si_code alone makes here.
#include <gtest/gtest.h>

#include <signal.h>
#include <ucontext.h>

#include <cstring>
#include <memory>
#include <string>

#include "rtl/for_signal.h"
#include "rtl/tbk_internal.h"

namespace {

constexpr uint32_t kFpsimdMagic = 0x46508001;

// A context whose general registers hold their own numbers, with an
// FP/SIMD record (FPSR, FPCR, V0 to V31) first among its records or none.
std::unique_ptr<ucontext_t> context(bool fpsimd) {
  auto uc = std::make_unique<ucontext_t>();
  memset(uc.get(), 0, sizeof *uc);
  mcontext_t &mc = uc->uc_mcontext;
  for (int i = 0; i < 31; ++i) mc.regs[i] = 0x1000 + static_cast<uint64_t>(i);
  mc.sp = 0x7FFFF000;
  mc.pc = 0x400123;
  mc.pstate = 0x60000000;
  if (fpsimd) {
    const uint32_t head[4] = {kFpsimdMagic, 16 + 32 * 16, 0x9F, 0x01000000};
    memcpy(mc.__reserved, head, sizeof head);
    for (int i = 0; i < 32; ++i) {
      const uint64_t v[2] = {0x1111111111111111ull * static_cast<uint64_t>(i % 16), static_cast<uint64_t>(i)};
      memcpy(mc.__reserved + 16 + 16 * i, v, sizeof v);
    }
  }
  return uc;
}

std::string registers(const ucontext_t *uc) {
  static char buffer[8192];
  tbk_text t = {buffer, 0, sizeof buffer};
  buffer[0] = 0;
  EXPECT_TRUE(tbk_put_registers(&t, uc));
  return std::string(buffer, static_cast<size_t>(t.used));
}

}  // namespace

TEST(Aarch64Context, RegisterTableInLinesOfFour) {
  const std::string general =
      "Registers:\n"
      "X0  = 0x0000000000001000  X1  = 0x0000000000001001  X2  = 0x0000000000001002  X3  = 0x0000000000001003\n"
      "X4  = 0x0000000000001004  X5  = 0x0000000000001005  X6  = 0x0000000000001006  X7  = 0x0000000000001007\n"
      "X8  = 0x0000000000001008  X9  = 0x0000000000001009  X10 = 0x000000000000100a  X11 = 0x000000000000100b\n"
      "X12 = 0x000000000000100c  X13 = 0x000000000000100d  X14 = 0x000000000000100e  X15 = 0x000000000000100f\n"
      "X16 = 0x0000000000001010  X17 = 0x0000000000001011  X18 = 0x0000000000001012  X19 = 0x0000000000001013\n"
      "X20 = 0x0000000000001014  X21 = 0x0000000000001015  X22 = 0x0000000000001016  X23 = 0x0000000000001017\n"
      "X24 = 0x0000000000001018  X25 = 0x0000000000001019  X26 = 0x000000000000101a  X27 = 0x000000000000101b\n"
      "X28 = 0x000000000000101c  X29 = 0x000000000000101d  X30 = 0x000000000000101e  SP  = 0x000000007ffff000\n"
      "PC  = 0x0000000000400123  PSTATE = 0x0000000060000000\n";
  EXPECT_EQ(registers(context(false).get()), general);

  const std::string full = registers(context(true).get());
  ASSERT_EQ(full.compare(0, general.size(), general), 0) << full;
  const std::string fp = full.substr(general.size());
  EXPECT_EQ(fp.substr(0, fp.find('\n') + 1), "FPSR = 0x0000009f  FPCR = 0x01000000\n");
  EXPECT_NE(fp.find("\nV0  = 0x00000000000000000000000000000000  V1  = 0x00000000000000011111111111111111\n"),
            std::string::npos) << fp;
  EXPECT_TRUE(fp.ends_with("V30 = 0x000000000000001eeeeeeeeeeeeeeeee  V31 = 0x000000000000001fffffffffffffffff\n")) << fp;
  EXPECT_EQ(tbk_context_pc(context(false).get()), 0x400123u);
  // Without a context there is no table, and that is no failure.
  EXPECT_EQ(registers(nullptr), "");

  // The FP/SIMD record is found after another record too.
  auto later = context(false);
  const uint32_t other_head[2] = {0x12345678, 32};
  memcpy(later->uc_mcontext.__reserved, other_head, sizeof other_head);
  memcpy(later->uc_mcontext.__reserved + 32, context(true)->uc_mcontext.__reserved, 16 + 32 * 16);
  EXPECT_EQ(registers(later.get()), full);

  // A record list that runs past the context, or one without the FP/SIMD
  // record, adds nothing.
  for (uint32_t size : {8u, 4096u * 2}) {
    auto other = context(false);
    const uint32_t head[2] = {0x12345678, size};
    memcpy(other->uc_mcontext.__reserved, head, sizeof head);
    EXPECT_EQ(registers(other.get()), general) << size;
  }
}

// The context tells nothing about an arithmetic trap here: si_code decides,
// and a SIGSEGV is never a bounds-check failure.
TEST(Aarch64Context, SiCodeAloneDecides) {
  auto uc = context(true);
  siginfo_t info;
  memset(&info, 0, sizeof info);
  info.si_signo = SIGFPE;
  const struct {
    int code;
    int32_t message;
  } rows[] = {{0, 75}, {FPE_INTDIV, 71}, {FPE_FLTINV, 65}, {FPE_FLTUND, 74}};
  for (const auto &row : rows) {
    info.si_code = row.code;
    EXPECT_EQ(for__signal_choice(SIGFPE, &info, uc.get()).message, row.message) << row.code;
  }
  info.si_signo = SIGSEGV;
  info.si_code = SEGV_MAPERR;
  EXPECT_EQ(for__signal_choice(SIGSEGV, &info, uc.get()).message, 174);
}
