// The run frame: start-up, STOP in all its forms, the exit handler, the
// reentrancy mode and the floating-point mode of the main program.
#include <gtest/gtest.h>
#include <fenv.h>

#include <bit>
#include <cfloat>
#include <cstdio>
#include <cstring>
#include <string>

#include "fmt/for_fmt.h"
#include "fmt/for_statements.h"
#include "rtl/for_rtl.h"
#include "rtl/for_state.h"
#include "tests/support/testkit.h"
#include "for_arch_arith.h"
#include "for_arch_fenv.h"

namespace {

using testkit::run_child;

int start() {
  int32_t argc = 1;
  static char name[] = "frame_test";
  static char *argv[] = {name, nullptr};
  for_rtl_init_(&argc, argv);
  return 0;
}

TEST(Startup, CapturesTheCommandLineOnce) {
  auto o = run_child([] {
    static char a0[] = "prog", a1[] = "x";
    static char *argv[] = {a0, a1, nullptr};
    int32_t argc = 2;
    for_rtl_init_(&argc, argv);
    int32_t other = 5;
    for_rtl_init_(&other, argv);  // a second start-up changes nothing
    return for_iargc() == 1 && for__process_start_time() > 0 ? 0 : 1;
  });
  EXPECT_EQ(o.status, 0);
}

TEST(Startup, WithoutACountNothingIsCaptured) {
  auto o = run_child([] {
    for_rtl_init_(nullptr, nullptr);
    return for_iargc() == -1 ? 0 : 1;
  });
  EXPECT_EQ(o.status, 0);
}

TEST(Reentrancy, ReturnsThePreviousModeAndThreeOnlyQueries) {
  auto o = run_child([] {
    start();
    const int32_t two = 2, one = 1, three = 3;
    if (for_set_reentrancy(&one) != 2) return 1;
    if (for_set_reentrancy(&three) != 1) return 2;
    if (for_set_reentrancy(&two) != 1) return 3;
    return for_set_reentrancy(&three) == 2 ? 0 : 4;
  });
  EXPECT_EQ(o.status, 0);
}

TEST(Stop, PlainStopPrintsNothingAndExitsZero) {
  auto o = run_child([] {
    start();
    for_stop_core("", 0, FOR_OPTS_PROGRAM, 0, 0);
    return 0;
  });
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "");
}

TEST(Stop, TextGoesToStandardErrorAsOneRecord) {
  auto o = run_child([] {
    start();
    for_stop_core("done here", 9, FOR_OPTS_PROGRAM, 0, 0);
    return 0;
  });
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "done here\n");
  EXPECT_EQ(o.out, "");
}

TEST(Stop, CodeBecomesTheStatus) {
  auto o = run_child([] {
    start();
    for_stop_core("", 0, FOR_OPTS_PROGRAM, 7, 1);
    return 0;
  });
  EXPECT_EQ(o.status, 7);
  EXPECT_EQ(o.out + o.err, "");
}

TEST(Stop, Bit27PrintsTheStopMessages) {
  auto o = run_child([] {
    start();
    for_stop_core("", 0, FOR_OPTS_PROGRAM | FOR_OPT_STOP_MESSAGE, 0, 0);
    return 0;
  });
  EXPECT_EQ(o.out, "Stop - Program terminated.\n");
  EXPECT_EQ(o.status, 0);
  o = run_child([] {
    start();
    for_stop_core("", 0, FOR_OPTS_PROGRAM | FOR_OPT_STOP_MESSAGE, 3, 1);
    return 0;
  });
  EXPECT_EQ(o.out, "Return code 3\n");
  EXPECT_EQ(o.status, 3);
}

// With the IEEE report asked for, STOP warns once for each of the invalid,
// divide-by-zero, overflow and underflow flags that is raised (inexact has
// no warning), in that order, before it ends.
TEST(Stop, IeeeReportWarnsForEachRaisedFlag) {
  const std::string invalid = "forrtl: warning (525): Floating invalid exception flag is signalling\n";
  const std::string divide = "forrtl: warning (526): Floating divide-by-zero exception flag is signalling\n";
  const std::string overflow = "forrtl: warning (527): Floating overflow exception flag is signalling\n";
  const std::string underflow = "forrtl: warning (528): Floating underflow exception flag is signalling\n";
  const struct {
    int raised;
    std::string err;
  } rows[] = {
      {0, ""},
      {FE_INEXACT, ""},
      {FE_INVALID, invalid},
      {FE_DIVBYZERO | FE_UNDERFLOW, divide + underflow},
      {FE_OVERFLOW | FE_INEXACT, overflow},
      {FE_ALL_EXCEPT, invalid + divide + overflow + underflow},
  };
  for (const auto &row : rows) {
    auto o = run_child([&] {
      start();
      feclearexcept(FE_ALL_EXCEPT);
      feraiseexcept(row.raised);
      for_stop_core("", 0, FOR_OPTS_PROGRAM | FOR_OPT_IEEE_REPORT, 0, 0);
      return 1;
    });
    EXPECT_EQ(o.status, 0) << row.raised;
    EXPECT_EQ(o.err, row.err) << row.raised;
  }
}

TEST(Stop, AStopDuringAStopEndsAtOnceWithZero) {
  auto o = run_child([] {
    start();
    for__rtl.stop_under_way = true;  // as if another STOP were running
    for_stop_core("not printed", 11, FOR_OPTS_PROGRAM, 9, 1);
    return 0;
  });
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "");
}

TEST(Stop, TheExitHandlerFlushesBufferedUnits) {
  testkit::TempDir dir;
  const std::string path = dir / "kept.txt";
  testkit::RunOptions opts;
  opts.env["FORT_BUFFERED"] = "yes";
  auto o = run_child(
      [&] {
        start();
        forio::open(10, FOR_OPTS_PROGRAM, path.c_str(), static_cast<int64_t>(path.size()), "unknown", 7);
        forio::write_fmt(10, FOR_OPTS_PROGRAM, for_pack_A, {forio::chars("first")});
        forio::write_fmt(10, FOR_OPTS_PROGRAM, for_pack_A, {forio::chars("second")});
        for_stop_core("", 0, FOR_OPTS_PROGRAM, 0, 0);
        return 0;
      },
      opts);
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(testkit::read_file(path), "first\nsecond\n");
}

TEST(ExitHandler, ReturnsBWhenAIsNonZeroAndRunsItsWalkOncePerArming) {
  auto o = run_child([] {
    start();
    if (for__exit_handler(1, 5) != 5 || for__exit_handler(0, 5) != 0) return 1;
    if (for__rtl.exit_in_progress != 0 || for__rtl.exit_armed) return 2;
    if (for__decl_exit_hand() != 0) return 3;
    for__fpe_exit_handler();
    return 0;
  });
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out + o.err, "");
}

TEST(ExitHandler, TrapSummaryForMaskedClassesWithCounts) {
  auto o = run_child([] {
    start();
    for__rtl.trap_mask = FOR_TRAP_UNDERFLOW | FOR_TRAP_DIVZERO;
    for__rtl.traps[0] = 3;  // underflow
    for__rtl.traps[1] = 4;  // overflow: not in the mask
    for__rtl.traps[2] = 2;  // divide-by-zero
    setenv("FOR_DISABLE_STACK_TRACE", "1", 1);
    for_exit(nullptr);
    return 0;
  });
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err,
            "forrtl: info (300): 3 floating underflow traps\n"
            "forrtl: info (299): 2 floating divide-by-zero traps\n");
}

TEST(Exit, ForExitRunsTheHandlerAndUsesTheStatus) {
  auto o = run_child([] {
    start();
    const int32_t status = 12;
    for_exit(&status);
    return 0;
  });
  EXPECT_EQ(o.status, 12);
}

TEST(Finish, ReturnsZero) {
  auto o = run_child([] {
    start();
    return for_rtl_finish_();
  });
  EXPECT_EQ(o.status, 0);
}

TEST(Abort, EndsWithStatus134AfterTheText) {
  auto o = run_child([] {
    start();
    for_abort("bye", 3, 0);
    return 0;
  });
  EXPECT_EQ(o.status, 134);
  EXPECT_EQ(o.err, "bye\n");
}

// The main program's arithmetic once its prologue has set the mode: a
// subnormal operand counts as 0, and a result is 0 when it is below the
// smallest normal after rounding to 24 bits (not before, and not after
// rounding to a subnormal).
TEST(Prologue, FlushToZeroAndDenormalsAreZero) {
  auto o = run_child([] {
    for__set_program_fp_mode();
    // Operands the compiler cannot fold.
    volatile float min = FLT_MIN, sub = std::bit_cast<float>(uint32_t{1}), tiny = 1.0e-20f, big = 0x1p100f;
    volatile float below_one = 1.0f - 0x1p-23f, half_below_one = 1.0f - 0x1p-24f, above_min = FLT_MIN * (1.0f + 0x1p-23f);
    const struct {
      const char *what;
      float got, want;
    } rows[] = {
        {"rounds up to the smallest normal", for_arith::mul(below_one, above_min), FLT_MIN},
        {"a tie that a subnormal rounds up, below it in 24 bits", for_arith::mul(half_below_one, min), 0.0f},
        {"half the smallest normal", for_arith::mul(min, 0.5f), 0.0f},
        {"its negative keeps the sign", for_arith::mul(-min, 0.5f), -0.0f},
        {"a product far below", for_arith::mul(tiny, tiny), 0.0f},
        {"a subnormal operand of a product", for_arith::mul(sub, big), 0.0f},
        {"a subnormal operand of a sum", for_arith::add(sub, 0.0f), 0.0f},
        {"a difference below", for_arith::sub(min * 1.5f, min), 0.0f},
        {"the root of a subnormal", for_arith::sqrt(sub), 0.0f},
        {"a normal sum", for_arith::add(min, min), 2.0f * FLT_MIN},
        {"a normal product", for_arith::mul(min, 2.0f), 2.0f * FLT_MIN},
    };
    int failed = 0;
    for (const auto &row : rows) {
      if (std::bit_cast<uint32_t>(row.got) != std::bit_cast<uint32_t>(row.want)) {
        fprintf(stderr, "%s: %a, not %a\n", row.what, static_cast<double>(row.got), static_cast<double>(row.want));
        ++failed;
      }
    }
    if (for_arith::gt(sub, 0.0f) || !for_arith::gt(min, 0.0f)) {
      fprintf(stderr, "comparison with a subnormal operand\n");
      ++failed;
    }
    return failed;
  });
  EXPECT_EQ(o.status, 0) << o.err;
}

}  // namespace
