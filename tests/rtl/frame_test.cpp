// The run frame: start-up, STOP in all its forms, the exit handler, the
// reentrancy mode and the floating-point mode of the main program.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cfloat>
#include <cstring>

#include "fmt/for_fmt.h"
#include "fmt/for_statements.h"
#include "rtl/for_rtl.h"
#include "rtl/for_state.h"
#include "tests/support/testkit.h"

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

// The main program's prologue: products below the smallest normal are 0 and
// subnormal operands count as 0.
TEST(Prologue, FlushToZeroAndDenormalsAreZero) {
  auto o = run_child([] {
    const unsigned saved = _mm_getcsr();
    _mm_setcsr(saved | 0x8040);
    volatile float tiny = 1.0e-20f;
    volatile float product = tiny * tiny;  // 1e-40 would be subnormal
    volatile float half_min = FLT_MIN;
    volatile float below = half_min * 0.5f;
    uint32_t sub_bits = 1;  // the smallest subnormal
    float sub;
    memcpy(&sub, &sub_bits, 4);
    volatile float vsub = sub;
    volatile float sum = vsub + 0.0f;
    const bool ok = product == 0.0f && below == 0.0f && sum == 0.0f && (vsub > 0.0f) == false;
    _mm_setcsr(saved);
    return ok ? 0 : 1;
  });
  EXPECT_EQ(o.status, 0);
}

}  // namespace
