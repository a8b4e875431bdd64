// The traceback: where its rows start, the brief and long layouts, the
// closing lines of a walk cut short, the lookups behind each column, and
// the forced-unwind fallback.
#include <gtest/gtest.h>

#include <gnu/libc-version.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "fmt/for_statements.h"
#include "rtl/for_rtl.h"
#include "rtl/tbk.h"
#include "rtl/tbk_internal.h"
#include "tests/support/testkit.h"
#include "machine.h"

namespace {

const char kHeader[] = "Image              PC                Routine            Line        Source             \n";
const char kOverflow[] = "\nStack trace buffer overflow; further frames not shown.\n";
const char kTerminated[] = "\nStack trace terminated abnormally.\n";
const char kImage[] = "traceback_test";

testkit::RunOptions options(std::map<std::string, std::optional<std::string>> env = {}) {
  testkit::RunOptions o;
  for (const char *name : {"FOR_IGNORE_EXCEPTIONS", "FOR_DISABLE_STACK_TRACE", "FOR_FORCE_STACK_TRACE",
                           "FOR_DUMP_EXCEPTION_INFO", "TBK_ENABLE_VERBOSE_STACK_TRACE",
                           "FOR_ENABLE_VERBOSE_STACK_TRACE", "FOR_DISABLE_DIAGNOSTIC_DISPLAY", "FORT0",
                           "FOR__IS_DEBUGGER_PRESENT", "FOR_DEBUGGER_IS_PRESENT"})
    o.env[name] = std::nullopt;
  for (auto &[name, value] : env) o.env[name] = value;
  return o;
}

testkit::Outcome run_started(const std::function<void()> &body, const testkit::RunOptions &o = options()) {
  return testkit::run_child(
      [&] {
        struct rlimit none = {0, 0};
        setrlimit(RLIMIT_CORE, &none);
        int32_t argc = 0;
        for_rtl_init_(&argc, nullptr);
        body();
        return 0;
      },
      o);
}

// One row of the brief table, split at its fixed columns.
struct Row {
  std::string image, pc, routine, line, source;
};

std::string trim(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// The rows after the header; every line there must be a well-formed row
// (or the closing line of a cut-short walk, which ends the table).
std::vector<Row> rows_of(const std::string &text) {
  std::vector<Row> rows;
  size_t at = text.find(kHeader);
  if (at == std::string::npos) {
    ADD_FAILURE() << "no header in:\n" << text;
    return rows;
  }
  std::istringstream in(text.substr(at + sizeof kHeader - 1));
  const std::regex row(R"(.{17}  [0-9A-F]{16}  .{17}  .{10}  .*)");
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) break;
    EXPECT_TRUE(std::regex_match(line, row)) << "[" << line << "]";
    if (line.size() < 68) break;
    rows.push_back({trim(line.substr(0, 17)), line.substr(19, 16), trim(line.substr(37, 17)), line.substr(56, 10),
                    line.substr(68)});
  }
  return rows;
}

std::string first_line(const std::string &s) { return s.substr(0, s.find('\n') + 1); }

bool ends_with(const std::string &s, const std::string &tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

void *no_access_page() {
  void *p = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

// Compiler barriers after each call keep these frames from becoming tail
// calls or being merged into their callers.
extern "C" __attribute__((noinline)) void tavo_tb_issuer() {
  for__issue_diagnostic(63, 2, 7, "name");
  asm volatile("");
}

extern "C" __attribute__((noinline)) void tavo_tb_segv() {
  *static_cast<volatile int *>(no_access_page()) = 1;
  asm volatile("");
}

extern "C" __attribute__((noinline)) void tavo_tb_outer() {
  tavo_tb_segv();
  asm volatile("");
}

extern "C" __attribute__((noinline)) void tavo_tb_open() {
  forio::open(99, FOR_OPTS_PROGRAM, "missing.inp", 11, "old", 3);
  asm volatile("");
}

char trace_text[16384];

// Traces into trace_text after `prefix`; the rows start at this routine's
// caller.
extern "C" __attribute__((noinline)) int64_t tavo_tb_collect_into(const char *prefix, int64_t capacity) {
  const int64_t used = static_cast<int64_t>(strlen(prefix));
  memcpy(trace_text, prefix, static_cast<size_t>(used) + 1);
  const int64_t n = tbk_stack_trace(nullptr, trace_text, used, capacity, 0);
  asm volatile("");
  return n;
}

extern "C" __attribute__((noinline)) void tavo_tb_collect() {
  tavo_tb_collect_into("", sizeof trace_text);
  asm volatile("");
}

volatile int recursion_limit = 400;

extern "C" __attribute__((noinline)) int64_t tavo_tb_deep(int depth) {
  if (depth >= recursion_limit) return tavo_tb_collect_into("", sizeof trace_text);
  const int64_t n = tavo_tb_deep(depth + 1);
  asm volatile("");
  return n;
}

}  // namespace

TEST(Traceback, RowsStartAtTheRoutineWhereTheFailureHappened) {
  // A diagnostic: the routine that issued it.
  auto issued = run_started([] { tavo_tb_issuer(); });
  EXPECT_EQ(issued.status, 0);
  EXPECT_EQ(first_line(issued.err), "forrtl: error (63): output conversion error, unit 7, file name\n");
  auto rows = rows_of(issued.err);
  ASSERT_GE(rows.size(), 2u) << issued.err;
  EXPECT_EQ(rows[0].image, kImage);
  EXPECT_EQ(rows[0].routine, "tavo_tb_issuer") << "the test program must be linked with -rdynamic";
  EXPECT_EQ(rows[0].line, "   Unknown");
  EXPECT_EQ(rows[0].source, "Unknown");

  // An I/O failure: the statement entry, not the result reporter.
  auto io = run_started([] { tavo_tb_open(); });
  EXPECT_EQ(io.status, 29);
  rows = rows_of(io.err);
  ASSERT_GE(rows.size(), 2u) << io.err;
  EXPECT_EQ(rows[0].routine, "for_open");

  // A caught signal: the faulting instruction, then its callers.
  auto fault = run_started([] { tavo_tb_outer(); });
  EXPECT_EQ(fault.status, 174);
  rows = rows_of(fault.err);
  ASSERT_GE(rows.size(), 3u) << fault.err;
  EXPECT_EQ(rows[0].routine, "tavo_tb_segv");
  EXPECT_EQ(rows[1].routine, "tavo_tb_outer");
  EXPECT_EQ(rows[0].image, kImage);

  // A signal that arrives inside the C library: its frames come first, the
  // caller follows.
  auto raised = run_started([] {
    raise(SIGTERM);
    asm volatile("");
  });
  EXPECT_EQ(raised.status, 1);
  rows = rows_of(raised.err);
  ASSERT_GE(rows.size(), 2u) << raised.err;
  EXPECT_NE(rows[0].image, kImage) << raised.err;
}

TEST(Traceback, VerboseFormWithRegistersForACaughtSignal) {
  const std::regex frame0(
      "\n\nTraceback symbolic or hex stack dump follows:\n\n"
      "--------- Frame # 0 ---------------------------------------\n\n"
      "Image:         traceback_test\n"
      "PC:            0x[0-9a-f]{16}\n"
      "Routine name:  (tavo_tb_issuer|tavo_tb_segv)\n"
      "Source file:   Unknown\n"
      "Line number:   Unknown\n\n"
      "--------- Frame # 1 ---------------------------------------\n\n");
  for (const char *name : {"TBK_ENABLE_VERBOSE_STACK_TRACE", "FOR_ENABLE_VERBOSE_STACK_TRACE"}) {
    auto issued = run_started([] { tavo_tb_issuer(); }, options({{name, "yes"}}));
    EXPECT_TRUE(std::regex_search(issued.err, frame0)) << issued.err;
    EXPECT_EQ(issued.err.find("Registers:"), std::string::npos);
    EXPECT_EQ(issued.err.find(kHeader), std::string::npos);

    auto fault = run_started([] { tavo_tb_segv(); }, options({{name, "1"}}));
    EXPECT_EQ(fault.status, 174);
    EXPECT_TRUE(std::regex_search(fault.err, frame0)) << fault.err;
    const size_t registers = fault.err.find(std::string("Registers:\n") + machine::kFirstRegister + " = 0x");
    EXPECT_NE(registers, std::string::npos) << fault.err;
    EXPECT_LT(registers, fault.err.find("Traceback symbolic"));
    EXPECT_NE(fault.err.find(std::string(machine::kPcRegister) + " = 0x"), std::string::npos);
  }
}

TEST(Traceback, FullTextEndsWithTheOverflowLine) {
  // A deep stack in the whole 16384-byte buffer.
  const int64_t n = tavo_tb_deep(0);
  const std::string deep(trace_text, static_cast<size_t>(n));
  EXPECT_LT(n, 16384);
  EXPECT_TRUE(ends_with(deep, kOverflow)) << deep.substr(deep.size() > 200 ? deep.size() - 200 : 0);
  auto rows = rows_of(deep);
  ASSERT_GT(rows.size(), 100u);
  EXPECT_EQ(rows[0].routine, "tavo_tb_deep");
  EXPECT_EQ(rows.back().routine, "tavo_tb_deep");

  // Small capacities: what fits and the closing line; no room for the
  // header leaves the closing line alone; no room for that leaves the text.
  const int64_t small = tavo_tb_collect_into("x\n", 300);
  const std::string text(trace_text, static_cast<size_t>(small));
  EXPECT_LT(small, 300);
  EXPECT_EQ(text.substr(0, 2 + sizeof kHeader - 1), std::string("x\n") + kHeader);
  EXPECT_TRUE(ends_with(text, kOverflow)) << text;
  EXPECT_EQ(strlen(trace_text), static_cast<size_t>(small));
  EXPECT_EQ(std::string(trace_text, static_cast<size_t>(tavo_tb_collect_into("x\n", 120))), std::string("x\n") + kOverflow);
  EXPECT_EQ(tavo_tb_collect_into("x\n", 40), 2);
  EXPECT_STREQ(trace_text, "x\n");
  EXPECT_EQ(tbk_stack_trace(nullptr, trace_text, 2, 2, 0), 2);
}

TEST(Traceback, FaultDuringTheWalkEndsTheTraceAndRestoresHandlers) {
  auto r = run_started([] {
    struct sigaction mine;
    memset(&mine, 0, sizeof mine);
    mine.sa_handler = [](int) {};
    sigaction(SIGUSR1, &mine, nullptr);
    struct sigaction segv_before, usr1_before, after;
    sigaction(SIGSEGV, nullptr, &segv_before);
    sigaction(SIGUSR1, nullptr, &usr1_before);
    tavo_tb_bad_frame(tavo_tb_collect);
    fputs(trace_text, stdout);
    sigaction(SIGSEGV, nullptr, &after);
    if (after.sa_sigaction != segv_before.sa_sigaction || after.sa_flags != segv_before.sa_flags) _exit(30);
    sigaction(SIGUSR1, nullptr, &after);
    if (after.sa_handler != usr1_before.sa_handler) _exit(31);
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(ends_with(r.out, kTerminated)) << r.out;
  auto rows = rows_of(r.out);
  ASSERT_EQ(rows.size(), 2u) << r.out;
  EXPECT_EQ(rows[0].routine, "tavo_tb_collect");
  EXPECT_EQ(rows[1].routine, "tavo_tb_bad_frame");
}

TEST(Traceback, RowLayoutsMatchTheirPrintfFormats) {
  const char *names[] = {"", "a", "exactly17chars___", "eighteen_chars____", "a_much_longer_routine_name_here"};
  const uintptr_t pcs[] = {0, 1, 0xABCDEF, 0x7FFFFFFFFFFFull, ~uintptr_t{0}};
  const char *lines[] = {"Unknown", "1234567890", "12345678901", ""};
  char text[512], expected[512];
  for (const char *name : names)
    for (uintptr_t pc : pcs)
      for (const char *line : lines) {
        tbk_text t = {text, 0, sizeof text};
        text[0] = '\0';
        ASSERT_TRUE(tbk_put_brief_row(&t, name, pc, name, line, "src.f90"));
        snprintf(expected, sizeof expected, "%-17.17s  %16.16lX  %-17.17s  %10.10s  %s\n", name,
                 static_cast<unsigned long>(pc), name, line, "src.f90");
        EXPECT_STREQ(text, expected);
        EXPECT_EQ(t.used, static_cast<int64_t>(strlen(expected)));

        t = {text, 0, sizeof text};
        ASSERT_TRUE(tbk_put_long_frame(&t, 12, name, pc, name, "src.f90", line));
        snprintf(expected, sizeof expected,
                 "--------- Frame # %s ---------------------------------------\n\nImage:         %s\nPC:            "
                 "0x%16.16lx\nRoutine name:  %s\nSource file:   %s\nLine number:   %s\n\n",
                 "12", name, static_cast<unsigned long>(pc), name, "src.f90", line);
        EXPECT_STREQ(text, expected);
      }

  // A row that does not fit leaves the text as it was.
  char tight[60] = "keep";
  tbk_text t = {tight, 4, sizeof tight};
  EXPECT_FALSE(tbk_put_brief_row(&t, "image", 1, "routine", "Unknown", "Unknown"));
  EXPECT_EQ(t.used, 4);
  EXPECT_STREQ(tight, "keep");

  // Decimal fields, extremes included.
  for (int64_t v : {int64_t{0}, int64_t{-1}, int64_t{174}, INT64_MAX, INT64_MIN}) {
    t = {text, 0, sizeof text};
    ASSERT_TRUE(tbk_put_dec(&t, v));
    EXPECT_EQ(std::string(text), std::to_string(v));
  }
}

TEST(Traceback, ImageAndRoutineLookups) {
  char name[256];
  tbk_image_cache_reset();
  tbk_image_name(reinterpret_cast<uintptr_t>(&tavo_tb_issuer), name, sizeof name);
  EXPECT_STREQ(name, kImage);
  tbk_image_name(reinterpret_cast<uintptr_t>(&gnu_get_libc_version), name, sizeof name);
  EXPECT_STREQ(name, "libc.so.6");
  void *anonymous = no_access_page();
  tbk_image_name(reinterpret_cast<uintptr_t>(anonymous), name, sizeof name);
  EXPECT_STREQ(name, "Unknown");
  tbk_image_name(16, name, sizeof name);
  EXPECT_STREQ(name, "Unknown");
  char cut[5];
  tbk_image_name(reinterpret_cast<uintptr_t>(&gnu_get_libc_version), cut, sizeof cut);
  EXPECT_STREQ(cut, "libc");

  EXPECT_STREQ(tbk_routine_name(reinterpret_cast<uintptr_t>(&tavo_tb_issuer)), "tavo_tb_issuer")
      << "the test program must be linked with -rdynamic";
  EXPECT_STREQ(tbk_routine_name(reinterpret_cast<uintptr_t>(&gnu_get_libc_version)), "gnu_get_libc_version");
  EXPECT_STREQ(tbk_routine_name(reinterpret_cast<uintptr_t>(anonymous)), "Unknown");
  munmap(anonymous, 4096);

  // Reading memory that is not there fails without faulting.
  uint8_t bytes[8];
  EXPECT_EQ(tbk_safe_read(16, bytes, sizeof bytes), 0u);
  static const uint8_t known[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(tbk_safe_read(reinterpret_cast<uintptr_t>(known), bytes, sizeof bytes), 8u);
  EXPECT_EQ(memcmp(bytes, known, 8), 0);
}

namespace {

struct Frames {
  std::vector<uintptr_t> pcs;
};

bool record(uintptr_t pc, bool, void *arg) {
  auto *f = static_cast<Frames *>(arg);
  f->pcs.push_back(pc);
  return f->pcs.size() < 64;
}

extern "C" __attribute__((noinline)) void tavo_tb_walk_both(Frames *ordinary, Frames *forced) {
  tbk_trace_stack(record, ordinary);
  tbk__forced_walk(record, forced);
  asm volatile("");
}

extern "C" __attribute__((noinline)) void tavo_tb_walk_here(Frames *ordinary, Frames *forced) {
  tavo_tb_walk_both(ordinary, forced);
  asm volatile("");
}

}  // namespace

// The forced unwind sees the same frames as the backtrace, and stops at the
// first frame with handlers of its own, so nothing is unwound for real.
TEST(Traceback, ForcedUnwindFallbackWalksTheSameFrames) {
  struct Witness {
    bool *alive;
    ~Witness() { *alive = false; }
  };
  bool alive = true;
  Frames ordinary, forced;
  {
    Witness w{&alive};
    tavo_tb_walk_here(&ordinary, &forced);
    EXPECT_TRUE(alive);
  }
  ASSERT_GE(ordinary.pcs.size(), 3u);
  ASSERT_GE(forced.pcs.size(), 3u);
  // Both start inside their own walk; from the frame above the two call
  // sites the return addresses agree.
  EXPECT_STREQ(tbk_routine_name(ordinary.pcs[1] - 1), "tavo_tb_walk_both");
  EXPECT_STREQ(tbk_routine_name(forced.pcs[1] - 1), "tavo_tb_walk_both");
  EXPECT_EQ(ordinary.pcs[2], forced.pcs[2]);
  EXPECT_STREQ(tbk_routine_name(forced.pcs[2] - 1), "tavo_tb_walk_here");
}
