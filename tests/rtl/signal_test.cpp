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
#include "tests/rtl/signal_kit.h"
#include "tests/support/testkit.h"
#include "machine.h"

namespace {

using namespace sigkit;

extern "C" __attribute__((noinline)) void tavo_sig_store_fault() {
  *static_cast<volatile int *>(no_access_page()) = 1;
}

volatile int recursion_limit = -1;

extern "C" __attribute__((noinline)) int tavo_sig_recurse(int depth) {
  volatile char pad[256];
  pad[0] = static_cast<char>(depth);
  if (depth == recursion_limit) return 0;
  return tavo_sig_recurse(depth + 1) + pad[0];
}

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
      {"illegal instruction", [] { machine::illegal_instruction(); }, severe(168, "Program Exception - illegal instruction")},
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

// Every si_code of SIGFPE, sent with that code: the processor raises only
// some of them (here integer division by zero may not trap at all).
TEST(SignalEndings, EachArithmeticCodeReachesItsRow) {
  const struct {
    const char *what;
    std::function<void()> send;
    Expected expected;
  } cases[] = {
      {"integer divide", [] { queue_to_self(SIGFPE, FPE_INTDIV); }, severe(71, "integer divide by zero")},
      {"integer overflow", [] { queue_to_self(SIGFPE, FPE_INTOVF); }, severe(70, "integer overflow")},
      {"divide", [] { queue_to_self(SIGFPE, FPE_FLTDIV); }, error_abort(73, "floating divide by zero")},
      {"overflow", [] { queue_to_self(SIGFPE, FPE_FLTOVF); }, error_abort(72, "floating overflow")},
      {"underflow", [] { queue_to_self(SIGFPE, FPE_FLTUND); }, error_abort(74, "floating underflow")},
      {"inexact", [] { queue_to_self(SIGFPE, FPE_FLTRES); }, error_abort(140, "floating inexact")},
      {"invalid", [] { queue_to_self(SIGFPE, FPE_FLTINV); }, error_abort(65, "floating invalid")},
      {"subscript", [] { queue_to_self(SIGFPE, FPE_FLTSUB); }, severe(138, "array index out of bounds (SIGTRAP)")},
      // kill gives si_code 0 and a stale trap number, and nothing is pending.
      {"sent by kill", [] { kill(getpid(), SIGFPE); }, error_abort(75, "floating point exception")},
      {"no siginfo", [] { for__signal_handler(SIGFPE, nullptr, nullptr); }, error_abort(75, "floating point exception")},
  };
  for (const auto &c : cases) expect_outcome(run_started(c.send), c.expected, c.what);

  // Every underflow trap is counted; with the underflow trap enabled in the
  // trap mask the run-down reports the count.
  auto counted = run_started([] {
    for__rtl.trap_mask = FOR_TRAP_UNDERFLOW;
    queue_to_self(SIGFPE, FPE_FLTUND);
  });
  EXPECT_NE(counted.err.find("forrtl: info (300): 1 floating underflow traps\n"), std::string::npos) << counted.err;
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

// A code no row has (an emulator does not pass one on), and no context.
TEST(SignalChoice, EndingsAndSignalsWithoutAContext) {
  siginfo_t unknown;
  memset(&unknown, 0, sizeof unknown);
  unknown.si_signo = SIGFPE;
  unknown.si_code = 99;
  EXPECT_EQ(for__signal_choice(SIGFPE, &unknown, nullptr).message, 75);
  EXPECT_EQ(for__signal_choice(SIGFPE, nullptr, nullptr).message, 75);
  EXPECT_EQ(for__signal_choice(SIGSEGV, nullptr, nullptr).message, 174);
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
  EXPECT_NE(dump.out.find(std::string(machine::kPcRegister) + " = 0x"), std::string::npos) << dump.out;
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
          testkit::exec_program({tavo, "1", "fifo"});
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
