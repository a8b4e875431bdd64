// Signal handling: installation at start-up, the diagnostic and ending of
// every signal-table row, the handler's re-entry guard, and the switches.
// Each case runs in a child process that starts the run-time and then
// provokes the fault or sends itself the signal.
#include <gtest/gtest.h>

#include <errno.h>
#include <fcntl.h>
#include <fenv.h>
#include <float.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <memory>
#include <regex>
#include <string>

#include "fmt/for_fmt.h"
#include "fmt/for_statements.h"
#include "rtl/for_diag.h"
#include "rtl/for_rtl.h"
#include "rtl/for_signal.h"
#include "rtl/for_state.h"
#include "tests/support/testkit.h"

namespace {

constexpr int kCaught[] = {SIGFPE, SIGILL, SIGSEGV, SIGABRT, SIGTERM, SIGQUIT, SIGINT};
const char kBriefHeader[] =
    "Image              PC                Routine            Line        Source             \n";

// The switches that change what a diagnostic looks like, cleared so that the
// caller's environment cannot leak into a child.
testkit::RunOptions options(std::map<std::string, std::optional<std::string>> env = {}) {
  testkit::RunOptions o;
  for (const char *name :
       {"FOR_IGNORE_EXCEPTIONS", "FOR_DISABLE_STACK_TRACE", "FOR_FORCE_STACK_TRACE", "FOR_DUMP_EXCEPTION_INFO",
        "TBK_ENABLE_VERBOSE_STACK_TRACE", "FOR_ENABLE_VERBOSE_STACK_TRACE", "FOR_DISABLE_DIAGNOSTIC_DISPLAY",
        "FOR_DIAGNOSTIC_LOG_FILE", "FOR_DUMP_CORE_FILE", "FOR__IS_DEBUGGER_PRESENT", "FOR_DEBUGGER_IS_PRESENT",
        "FORT0", "FORT_BUFFERED"})
    o.env[name] = std::nullopt;
  for (auto &[name, value] : env) o.env[name] = value;
  return o;
}

// Start-up as the process entry does it; aborting children leave no core.
void start_rtl() {
  struct rlimit none = {0, 0};
  setrlimit(RLIMIT_CORE, &none);
  static char name[] = "signal_test";
  static char *argv[] = {name, nullptr};
  int32_t argc = 1;
  for_rtl_init_(&argc, argv);
}

testkit::Outcome run_started(const std::function<void()> &body, const testkit::RunOptions &o = options()) {
  return testkit::run_child(
      [&] {
        start_rtl();
        body();
        return 0;
      },
      o);
}

// Opens a block-buffered unit on path and writes two lines: the first goes
// straight to the file (it truncates the file after it), the second stays in
// the unit's buffer.  Ends the child with 90 if that one reached the file.
const char kFirst[] = "first line\n";
const char kBoth[] = "first line\nkept line\n";

void buffered_line(const std::string &path) {
  // An earlier, longer file: the first record cuts it, so that record goes
  // out at once and the second waits in the block buffer.
  testkit::write_file(path, "an earlier file, longer than both lines together\n");
  const std::string status = "unknown";
  if (forio::open(10, FOR_OPTS_PROGRAM, path.data(), static_cast<int64_t>(path.size()), status.data(),
                  static_cast<int64_t>(status.size())) != 0)
    _exit(89);
  forio::write_fmt(10, FOR_OPTS_PROGRAM, for_pack_A, {forio::chars("first line")});
  forio::write_fmt(10, FOR_OPTS_PROGRAM, for_pack_A, {forio::chars("kept line")});
  if (testkit::read_file(path) != kFirst) _exit(90);
}

void *no_access_page() {
  void *p = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

extern "C" __attribute__((noinline)) void tavo_sig_store_fault() {
  *static_cast<volatile int *>(no_access_page()) = 1;
}

extern "C" __attribute__((noinline)) int tavo_sig_divide(int x, int divisor) {
  // Through the instruction itself: a division written in C++ could be
  // folded, reordered or checked by the sanitizers first.
  asm volatile("cltd\n\tidivl %1" : "+a"(x) : "r"(divisor) : "rdx", "cc");
  return x;
}

volatile int recursion_limit = -1;

extern "C" __attribute__((noinline)) int tavo_sig_recurse(int depth) {
  volatile char pad[256];
  pad[0] = static_cast<char>(depth);
  if (depth == recursion_limit) return 0;
  return tavo_sig_recurse(depth + 1) + pad[0];
}

float with_traps(int excepts, const std::function<float()> &op) {
  feclearexcept(FE_ALL_EXCEPT);
  feenableexcept(excepts);
  return op();
}

// Sends this process a signal with a chosen si_code.
void queue_to_self(int sig, int code) {
  siginfo_t info;
  memset(&info, 0, sizeof info);
  info.si_signo = sig;
  info.si_code = code;
  syscall(SYS_rt_sigqueueinfo, getpid(), sig, &info);
}

std::string first_line(const std::string &s) { return s.substr(0, s.find('\n') + 1); }
std::string second_line(const std::string &s) {
  size_t a = s.find('\n');
  if (a == std::string::npos) return "";
  size_t b = s.find('\n', a + 1);
  return s.substr(a + 1, b == std::string::npos ? std::string::npos : b - a);
}

struct Expected {
  int status;      // exit status, or -1 when ended by a signal
  int signal;      // terminating signal, or 0
  std::string line;
};

void expect_outcome(const testkit::Outcome &r, const Expected &e, const char *what) {
  SCOPED_TRACE(what);
  EXPECT_EQ(r.status, e.status) << r.err;
  EXPECT_EQ(r.signal, e.signal) << r.err;
  EXPECT_EQ(first_line(r.err), e.line);
  EXPECT_EQ(second_line(r.err), kBriefHeader);
}

Expected error_abort(int number, const std::string &text) {
  return {-1, SIGABRT, "forrtl: error (" + std::to_string(number) + "): " + text + "\n"};
}
Expected severe(int number, const std::string &text) {
  return {number, 0, "forrtl: severe (" + std::to_string(number) + "): " + text + "\n"};
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

TEST(SignalInstall, StartUpInstallsTheHandlerAndItsStack) {
  auto check = [] {
    start_rtl();
    for (int sig : kCaught) {
      struct sigaction sa;
      sigaction(sig, nullptr, &sa);
      if (sa.sa_sigaction != for__signal_handler) return 10 + sig;
      const int flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART | SA_NODEFER;
      if ((sa.sa_flags & flags) != flags) return 50 + sig;
      for (int s = 1; s < 32; ++s)
        if (sigismember(&sa.sa_mask, s)) return 90 + sig;
    }
    stack_t ss;
    sigaltstack(nullptr, &ss);
    if ((ss.ss_flags & SS_DISABLE) || ss.ss_size != FOR_ALT_STACK_SIZE) return 2;
    for_rtl_finish_();
    sigaltstack(nullptr, &ss);
    return (ss.ss_flags & SS_DISABLE) ? 0 : 3;
  };
  EXPECT_EQ(testkit::run_child(check, options()).status, 0);
  for (const char *off : {"0", "N", ""}) EXPECT_EQ(testkit::run_child(check, options({{"FOR_IGNORE_EXCEPTIONS", off}})).status, 0) << off;

  // Ignoring exceptions installs nothing: the default actions stay (or a
  // sanitizer's own handlers, in an instrumented build).
  auto defaults = [] {
    start_rtl();
    for (int sig : kCaught) {
      struct sigaction sa;
      sigaction(sig, nullptr, &sa);
      if (sa.sa_sigaction == for__signal_handler) return 10 + sig;
      if ((sig == SIGTERM || sig == SIGINT || sig == SIGQUIT) && sa.sa_handler != SIG_DFL) return 30 + sig;
    }
    kill(getpid(), SIGTERM);
    return 0;
  };
  for (const char *on : {"Y", "true", "1"}) {
    auto r = testkit::run_child(defaults, options({{"FOR_IGNORE_EXCEPTIONS", on}}));
    EXPECT_EQ(r.signal, SIGTERM) << on;
    EXPECT_EQ(r.err, "") << on;
  }
}

TEST(SignalInstall, IgnoredInterruptsStayIgnored) {
  auto r = testkit::run_child(
      [] {
        signal(SIGINT, SIG_IGN);
        signal(SIGQUIT, SIG_IGN);
        start_rtl();
        for (int sig : {SIGINT, SIGQUIT}) {
          struct sigaction sa;
          sigaction(sig, nullptr, &sa);
          if (sa.sa_handler != SIG_IGN) return 10 + sig;
        }
        struct sigaction term;
        sigaction(SIGTERM, nullptr, &term);
        if (term.sa_sigaction != for__signal_handler) return 4;
        kill(getpid(), SIGINT);
        kill(getpid(), SIGQUIT);
        return 0;
      },
      options());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

TEST(SignalEndings, InterruptAndTerminationExitWithStatusOneAfterTheRunDown) {
  const struct {
    int sig;
    std::string line;
  } cases[] = {{SIGINT, "forrtl: error (69): process interrupted (SIGINT)\n"},
               {SIGTERM, "forrtl: error (78): process killed (SIGTERM)\n"}};
  for (const auto &c : cases) {
    testkit::TempDir dir;
    const std::string path = dir / "unit10.txt";
    auto r = run_started(
        [&] {
          buffered_line(path);
          kill(getpid(), c.sig);
          _exit(91);
        },
        options({{"FORT_BUFFERED", "yes"}}));
    expect_outcome(r, {1, 0, c.line}, c.line.c_str());
    EXPECT_EQ(testkit::read_file(path), kBoth);
  }
}

TEST(SignalEndings, QuitAndAbortEndByAbortAfterTheRunDown) {
  const struct {
    std::function<void()> send;
    std::string line;
  } cases[] = {{[] { kill(getpid(), SIGQUIT); }, "forrtl: error (79): process quit (SIGQUIT)\n"},
               {[] { abort(); }, "forrtl: error (76): Abort trap signal\n"}};
  for (const auto &c : cases) {
    testkit::TempDir dir;
    const std::string path = dir / "unit10.txt";
    auto r = run_started(
        [&] {
          buffered_line(path);
          c.send();
          _exit(91);
        },
        options({{"FORT_BUFFERED", "yes"}}));
    expect_outcome(r, {-1, SIGABRT, c.line}, c.line.c_str());
    EXPECT_EQ(testkit::read_file(path), kBoth);
  }
}

TEST(SignalEndings, FaultsExitWithTheirMessageNumber) {
  const struct {
    const char *what;
    std::function<void()> fault;
    Expected expected;
  } cases[] = {
      {"invalid store", [] { tavo_sig_store_fault(); }, severe(174, "SIGSEGV, segmentation fault occurred")},
      {"stack overflow", [] { tavo_sig_recurse(0); }, severe(174, "SIGSEGV, segmentation fault occurred")},
      {"illegal instruction", [] { __builtin_trap(); }, severe(168, "Program Exception - illegal instruction")},
      {"integer divide", [] { tavo_sig_divide(7, 0); }, severe(71, "integer divide by zero")},
  };
  for (const auto &c : cases) {
    testkit::TempDir dir;
    const std::string path = dir / "unit10.txt";
    auto r = run_started(
        [&] {
          buffered_line(path);
          c.fault();
          _exit(91);
        },
        options({{"FORT_BUFFERED", "yes"}}));
    expect_outcome(r, c.expected, c.what);
    EXPECT_EQ(testkit::read_file(path), kBoth) << c.what;
  }
}

TEST(SignalEndings, FloatingTrapsEndByAbort) {
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

  // Every underflow trap is counted; with the underflow trap enabled in the
  // trap mask the run-down reports the count.
  auto counted = run_started([] {
    for__rtl.trap_mask = FOR_TRAP_UNDERFLOW;
    with_traps(FE_UNDERFLOW, [] { return tiny * tiny; });
  });
  EXPECT_NE(counted.err.find("forrtl: info (300): 1 floating underflow traps\n"), std::string::npos) << counted.err;
}

TEST(SignalEndings, CodesTheProcessorNeverRaisesHereReachTheirRows) {
  const struct {
    const char *what;
    std::function<void()> send;
    Expected expected;
  } cases[] = {
      {"integer overflow", [] { queue_to_self(SIGFPE, FPE_INTOVF); }, severe(70, "integer overflow")},
      {"subscript", [] { queue_to_self(SIGFPE, FPE_FLTSUB); }, severe(138, "array index out of bounds (SIGTRAP)")},
      {"unknown code", [] { queue_to_self(SIGFPE, 99); }, error_abort(75, "floating point exception")},
      // kill gives si_code 0 and a stale trap number, and nothing is pending.
      {"sent by kill", [] { kill(getpid(), SIGFPE); }, error_abort(75, "floating point exception")},
      {"no siginfo", [] { for__signal_handler(SIGFPE, nullptr, nullptr); }, error_abort(75, "floating point exception")},
  };
  for (const auto &c : cases) expect_outcome(run_started(c.send), c.expected, c.what);
}

TEST(SignalEndings, AnyOtherSignalIsAnInternalConsistencyFailure) {
  auto r = run_started([] {
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_sigaction = for__signal_handler;
    sa.sa_flags = SA_SIGINFO;
    sigaction(SIGUSR1, &sa, nullptr);
    raise(SIGUSR1);
  });
  EXPECT_EQ(r.status, 8);
  EXPECT_TRUE(std::regex_match(first_line(r.err), std::regex(R"(forrtl: severe \(8\): internal consistency check failure, file for_init, line [0-9]+\n)")))
      << r.err;
}

// 0x62 begins every EVEX-encoded instruction; a vector load from an invalid
// address is a segmentation fault, not an array-bounds error.
TEST(SignalEndings, EvexEncodedFaultIsASegmentationFault) {
  if (!__builtin_cpu_supports("avx512f")) GTEST_SKIP() << "no AVX-512 on this processor";
  auto r = run_started([] {
    void *page = no_access_page();
    asm volatile("vmovdqu64 (%0), %%zmm1" : : "r"(page) : "xmm1", "memory");
  });
  expect_outcome(r, severe(174, "SIGSEGV, segmentation fault occurred"), "evex");
}

TEST(SignalChoice, TrapNumberAndStatusBitsDecideCodeZero) {
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

  // No siginfo, or an instruction pointer into nothing.
  EXPECT_EQ(for__signal_choice(SIGFPE, nullptr, nullptr).message, 75);
  auto lost = context(0, nop);
  lost->uc.uc_mcontext.gregs[REG_RIP] = 16;
  EXPECT_EQ(fpe(lost), 75);

  // SIGSEGV: an array-bounds error needs both the bound-range trap and the
  // BOUND opcode.
  EXPECT_EQ(segv(context(5, {0x62, 0x00})), 154);
  EXPECT_EQ(segv(context(14, {0x62, 0xF1, 0xFE, 0x48, 0x6F, 0x08})), 174);  // vmovdqu64 zmm1, [rax]
  EXPECT_EQ(segv(context(5, nop)), 174);
  EXPECT_EQ(for__signal_choice(SIGSEGV, nullptr, nullptr).message, 174);

  // Endings.
  EXPECT_EQ(for__signal_choice(SIGINT, nullptr, nullptr).end, for_signal_end::exit_one);
  EXPECT_EQ(for__signal_choice(SIGTERM, nullptr, nullptr).end, for_signal_end::exit_one);
  EXPECT_EQ(for__signal_choice(SIGQUIT, nullptr, nullptr).end, for_signal_end::abort);
  EXPECT_EQ(for__signal_choice(SIGABRT, nullptr, nullptr).end, for_signal_end::abort);
  EXPECT_EQ(for__signal_choice(SIGILL, nullptr, nullptr).end, for_signal_end::message_status);
  EXPECT_EQ(for__signal_choice(SIGUSR2, nullptr, nullptr).message, 8);
}

TEST(SignalGuard, FaultInsideTheHandlerLeavesWith174WithoutRunDown) {
  testkit::TempDir dir;
  const std::string path = dir / "unit10.txt";
  auto r = run_started(
      [&] {
        buffered_line(path);
        for__establish_user_error_handler([](int32_t, int32_t, const char *, int64_t) -> int32_t {
          *static_cast<volatile int *>(no_access_page()) = 1;
          return 0;
        });
        kill(getpid(), SIGTERM);
        _exit(91);
      },
      options({{"FORT_BUFFERED", "yes"}}));
  EXPECT_EQ(r.status, 174);
  EXPECT_EQ(r.err, "forrtl: severe (174): SIGSEGV, segmentation fault occurred\n");
  EXPECT_EQ(testkit::read_file(path), kFirst);
}

TEST(SignalSwitches, DisableStackTraceAndDumpExceptionInfo) {
  auto bare = run_started([] { kill(getpid(), SIGTERM); }, options({{"FOR_DISABLE_STACK_TRACE", "yes"}}));
  EXPECT_EQ(bare.status, 1);
  EXPECT_EQ(bare.err, "forrtl: error (78): process killed (SIGTERM)\n");

  auto dump = run_started([] { kill(getpid(), SIGTERM); }, options({{"FOR_DUMP_EXCEPTION_INFO", "1"}}));
  EXPECT_EQ(dump.status, 1);
  EXPECT_TRUE(std::regex_match(first_line(dump.out),
                               std::regex(R"(signum = 15, p_siginfo = [0-9a-f]{16}, p_ctx = [0-9a-f]{16}\.\n)")))
      << dump.out;
  EXPECT_NE(dump.out.find("si_code = 0"), std::string::npos) << dump.out;
  EXPECT_NE(dump.out.find("RIP = 0x"), std::string::npos) << dump.out;
  EXPECT_EQ(first_line(dump.err), "forrtl: error (78): process killed (SIGTERM)\n");

  auto fault = run_started([] { tavo_sig_store_fault(); }, options({{"FOR_DUMP_EXCEPTION_INFO", "yes"}}));
  EXPECT_EQ(fault.status, 174);
  EXPECT_TRUE(std::regex_search(fault.out, std::regex(R"(^signum = 11, p_siginfo = [0-9a-f]{16}, p_ctx = [0-9a-f]{16}\.\nsi_signo = 11, si_errno = 0, si_code = 2\nsi_addr = 0x[0-9a-f]{16}\n)")))
      << fault.out;
}

// The real program, blocked reading a FIFO as its control file, then
// interrupted.  Skipped while the program does not read its control file.
TEST(SignalProgram, InterruptWhileReadingTheControlFile) {
  const std::string tavo = testkit::built("app/tavo");
  if (access(tavo.c_str(), X_OK) != 0) GTEST_SKIP() << "tavo is not built";
  testkit::TempDir dir;
  const std::string fifo = dir / "fifo.inp";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  auto r = testkit::run_child(
      [&] {
        pid_t pid = fork();
        if (pid == 0) {
          if (chdir(dir.path().c_str()) != 0) _exit(120);
          execl(tavo.c_str(), "tavo", "1", "fifo", static_cast<char *>(nullptr));
          _exit(121);
        }
        // A writer can open the FIFO without blocking once the program has
        // opened it for reading; the program then blocks reading it.
        int writer = -1;
        for (int i = 0; i < 500 && writer < 0; ++i) {
          writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
          if (writer < 0) {
            int status;
            if (waitpid(pid, &status, WNOHANG) == pid) _exit(122);  // never read it
            usleep(10000);
          }
        }
        if (writer < 0) _exit(123);
        usleep(100000);
        kill(pid, SIGINT);
        int status = 0;
        waitpid(pid, &status, 0);
        close(writer);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 200 + WTERMSIG(status);
      },
      options());
  if (r.status == 122) GTEST_SKIP() << "tavo does not read its control file yet";
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(first_line(r.err), "forrtl: error (69): process interrupted (SIGINT)\n");
  EXPECT_EQ(second_line(r.err), kBriefHeader);
  EXPECT_EQ(first_line(r.out), " RCfilename = fifo.inp\n");
}
