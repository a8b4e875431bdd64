// The x86-64 side of the signal decisions: real division and floating
// traps, the uninitialised-value pattern in registers and memory operands,
// and fabricated contexts whose trap number, status bits and instruction
// bytes decide si_code 0.
#include <gtest/gtest.h>

#include <fenv.h>
#include <float.h>
#include <signal.h>
#include <ucontext.h>

#include <cstring>
#include <functional>
#include <memory>

#include "rtl/for_signal.h"
#include "tests/rtl/signal_kit.h"

namespace {

using namespace sigkit;

extern "C" __attribute__((noinline)) int tavo_sig_divide(int x, int divisor) {
  // Through the instruction itself: a division written in C++ could be
  // folded, reordered or checked by the sanitizers first.
  asm volatile("cltd\n\tidivl %1" : "+a"(x) : "r"(divisor) : "rdx", "cc");
  return x;
}

// A fabricated interrupted context: registers, x87 and SIMD state, and the
// bytes of the interrupted instruction.  Not copyable: fpregs points into it.
struct Context {
  ucontext_t uc;
  _libc_fpstate fp;
  siginfo_t info;
  alignas(16) uint8_t code[16];
  uint32_t data[4];  // memory operands within reach of a 32-bit displacement
};

std::unique_ptr<Context> context(greg_t trapno, std::initializer_list<uint8_t> bytes, int si_code = 0) {
  auto c = std::make_unique<Context>();
  memset(c.get(), 0, sizeof *c);
  c->uc.uc_mcontext.fpregs = &c->fp;
  c->fp.cwd = 0x037F;    // every x87 exception masked
  c->fp.mxcsr = 0x1F80;  // every SIMD exception masked
  c->uc.uc_mcontext.gregs[REG_TRAPNO] = trapno;
  c->uc.uc_mcontext.gregs[REG_RIP] = reinterpret_cast<greg_t>(c->code);
  std::copy(bytes.begin(), bytes.end(), c->code);
  c->info.si_signo = SIGFPE;
  c->info.si_code = si_code;
  return c;
}

int32_t fpe(const std::unique_ptr<Context> &c) { return for__signal_choice(SIGFPE, &c->info, &c->uc).message; }
int32_t segv(const std::unique_ptr<Context> &c) { return for__signal_choice(SIGSEGV, &c->info, &c->uc).message; }

}  // namespace

TEST(X86Traps, IntegerDivideExitsWithItsMessageNumber) {
  testkit::TempDir dir;
  const std::string path = dir / "unit10.txt";
  auto r = run_started(
      [&] {
        buffered_line(path);
        tavo_sig_divide(7, 0);
        _exit(91);
      },
      options({{"FORT_BUFFERED", "yes"}}));
  expect_outcome(r, severe(71, "integer divide by zero"), "integer divide");
  EXPECT_EQ(testkit::read_file(path), kBoth);
}

TEST(X86Traps, FloatingTrapsEndByAbort) {
  static volatile float zero = 0.0f, one = 1.0f, three = 3.0f, big = FLT_MAX, tiny = FLT_MIN;
  const struct {
    const char *what;
    std::function<void()> trap;
    Expected expected;
  } cases[] = {
      {"divide", [] { with_traps(FE_DIVBYZERO, [] { return one / zero; }); }, error_abort(73, "floating divide by zero")},
      {"overflow", [] { with_traps(FE_OVERFLOW, [] { return big * big; }); }, error_abort(72, "floating overflow")},
      {"underflow", [] { with_traps(FE_UNDERFLOW, [] { return tiny * tiny; }); }, error_abort(74, "floating underflow")},
      {"inexact", [] { with_traps(FE_INEXACT, [] { return one / three; }); }, error_abort(140, "floating inexact")},
      {"invalid", [] { with_traps(FE_INVALID, [] { return zero / zero; }); }, error_abort(65, "floating invalid")},
  };
  for (const auto &c : cases) expect_outcome(run_started(c.trap), c.expected, c.what);

  // The uninitialised-value pattern as a register and as a memory operand,
  // in single and double precision.
  const Expected uninitialised =
      error_abort(182, "floating invalid - possible uninitialized real/complex variable.");
  static const uint32_t single_pattern = 0x7FBADDADu;
  static const uint64_t double_pattern = 0x7FF7BADDADBADDADull;
  const struct {
    const char *what;
    std::function<void()> trap;
  } patterns[] = {
      {"single register",
       [] {
         float a = 1.0f, b;
         memcpy(&b, &single_pattern, 4);
         with_traps(FE_INVALID, [&] {
           asm volatile("addss %1, %0" : "+x"(a) : "x"(b));
           return a;
         });
       }},
      {"single memory",
       [] {
         float a = 1.0f;
         with_traps(FE_INVALID, [&] {
           asm volatile("addss %1, %0" : "+x"(a) : "m"(single_pattern));
           return a;
         });
       }},
      {"double memory",
       [] {
         double a = 1.0;
         with_traps(FE_INVALID, [&] {
           asm volatile("addsd %1, %0" : "+x"(a) : "m"(double_pattern));
           return static_cast<float>(a);
         });
       }},
  };
  for (const auto &p : patterns) expect_outcome(run_started(p.trap), uninitialised, p.what);
}

// 0x62 begins every EVEX-encoded instruction; a vector load from an invalid
// address is a segmentation fault, not an array-bounds error.
TEST(X86Traps, EvexEncodedFaultIsASegmentationFault) {
  if (!__builtin_cpu_supports("avx512f")) GTEST_SKIP() << "no AVX-512 on this processor";
  auto r = run_started([] {
    void *page = no_access_page();
    asm volatile("vmovdqu64 (%0), %%zmm1" : : "r"(page) : "xmm1", "memory");
  });
  expect_outcome(r, severe(174, "SIGSEGV, segmentation fault occurred"), "evex");
}

TEST(X86Traps, TrapNumberAndStatusBitsDecideCodeZero) {
  const std::initializer_list<uint8_t> nop = {0x90};

  // Divide error: believed only at a division.
  EXPECT_EQ(fpe(context(0, {0xF7, 0xF9})), 71);              // idiv ecx
  EXPECT_EQ(fpe(context(0, {0x48, 0xF7, 0x7D, 0x08})), 71);  // idiv qword [rbp+8]
  EXPECT_EQ(fpe(context(0, {0xF7, 0xF1})), 71);              // div ecx
  EXPECT_EQ(fpe(context(0, {0xF7, 0xD9})), 75);              // neg ecx
  EXPECT_EQ(fpe(context(0, nop)), 75);
  EXPECT_EQ(fpe(context(4, nop)), 70);
  EXPECT_EQ(fpe(context(14, nop)), 75);

  // SIMD and x87: raised and unmasked flags, in the order of the si_code rows.
  const struct {
    uint32_t flags;
    int32_t message;
  } rows[] = {{0x04, 73}, {0x08, 72}, {0x10, 74}, {0x20, 140}, {0x01, 65}, {0x3D, 73}, {0x31, 74}, {0x02, 75}};
  for (const auto &row : rows) {
    auto simd = context(19, nop);
    simd->fp.mxcsr = (0x1F80u & ~(row.flags << 7)) | row.flags;
    EXPECT_EQ(fpe(simd), row.message) << std::hex << row.flags;
    auto masked = context(19, nop);
    masked->fp.mxcsr |= row.flags;
    EXPECT_EQ(fpe(masked), 75) << "masked " << std::hex << row.flags;
    auto x87 = context(16, nop);
    x87->fp.swd = static_cast<uint16_t>(row.flags);
    x87->fp.cwd = static_cast<uint16_t>(0x037F & ~row.flags);
    EXPECT_EQ(fpe(x87), row.message) << "x87 " << std::hex << row.flags;
  }

  // Invalid with the uninitialised pattern in a register operand ...
  auto reg = context(19, {0xF3, 0x0F, 0x58, 0xC1});  // addss xmm0, xmm1
  reg->fp.mxcsr = (0x1F80u & ~0x80u) | 0x01u;
  EXPECT_EQ(fpe(reg), 65);
  reg->fp._xmm[1].element[0] = 0x7FBADDADu;
  EXPECT_EQ(fpe(reg), 182);
  auto vex = context(0, {0xC5, 0xE2, 0x58, 0xC2}, FPE_FLTINV);  // vaddss xmm0, xmm3, xmm2
  vex->fp._xmm[3].element[0] = 0x7FBADDADu;
  EXPECT_EQ(fpe(vex), 182);

  // ... and in a memory operand: [rax] and [rip + disp32].
  static const uint64_t double_pattern = 0x7FF7BADDADBADDADull;
  auto mem = context(0, {0xF2, 0x0F, 0x58, 0x00}, FPE_FLTINV);  // addsd xmm0, [rax]
  mem->uc.uc_mcontext.gregs[REG_RAX] = reinterpret_cast<greg_t>(&double_pattern);
  EXPECT_EQ(fpe(mem), 182);
  auto rip = context(0, {0xF3, 0x0F, 0x58, 0x05, 0, 0, 0, 0}, FPE_FLTINV);  // addss xmm0, [rip + d]
  rip->data[1] = 0x7FBADDADu;
  const int32_t disp = static_cast<int32_t>(reinterpret_cast<intptr_t>(&rip->data[1]) -
                                            reinterpret_cast<intptr_t>(rip->code + 8));
  memcpy(rip->code + 4, &disp, 4);
  EXPECT_EQ(fpe(rip), 182);
  auto unreadable = context(0, {0xF3, 0x0F, 0x58, 0x00}, FPE_FLTINV);  // addss xmm0, [rax]
  unreadable->uc.uc_mcontext.gregs[REG_RAX] = 16;
  EXPECT_EQ(fpe(unreadable), 65);

  // An instruction pointer into nothing.
  auto lost = context(0, nop);
  lost->uc.uc_mcontext.gregs[REG_RIP] = 16;
  EXPECT_EQ(fpe(lost), 75);

  // SIGSEGV: an array-bounds error needs both the bound-range trap and the
  // BOUND opcode.
  EXPECT_EQ(segv(context(5, {0x62, 0x00})), 154);
  EXPECT_EQ(segv(context(14, {0x62, 0xF1, 0xFE, 0x48, 0x6F, 0x08})), 174);  // vmovdqu64 zmm1, [rax]
  EXPECT_EQ(segv(context(5, nop)), 174);
}
