// Keywords are matched on all their letters: a line that begins with all
// but the last letter of NROTOR, SFRAME or YAW is an ordinary line, copied
// as it stands, both by the scan and by the copy.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/app/control_text.h"
#include "tests/support/testkit.h"

namespace {

using testkit::Outcome;
using testkit::TempDir;
using namespace tavo_text;

Outcome tavo(const TempDir &dir, const std::vector<std::string> &args) {
  std::vector<std::string> argv = {testkit::built("app/tavo")};
  argv.insert(argv.end(), args.begin(), args.end());
  testkit::RunOptions opts;
  opts.cwd = dir.path();
  opts.env["FOR_DISABLE_STACK_TRACE"] = "1";
  opts.env["TAVO_MANIFEST"] = std::nullopt;
  opts.stdin_null = true;
  opts.timeout_seconds = 30;
  return testkit::run_program(argv, opts);
}

TEST(KeywordPrefixes, AllButTheLastLetterIsAnOrdinaryLine) {
  // Frame 1, foot units, flow speed 2 (first case 1.6952); frame 2, flow
  // (0,0,0) less vehicle (-3,0,4), a rate sweep (first case P = -0.1).
  const std::string frame2_tail = "VEH\n -3.0 0.0 4.0\nRATES\n 0.0 0.0 0.0\nEND\n";
  struct {
    std::string control;
    std::string selector;
    std::string first_case;
  } cases[] = {
      {"T\nNROTO 7 7\nNROTOR\n 0 1\nSFRAME\n 1\nU\n 2.0 0 0 0 0 0\n", "1",
       "T\nNROTO 7 7\nNROTOR\n 0 1\nSFRAME\n 1\nU\n" + row6("    1.6952", Z, Z, Z, Z, Z)},
      {"T\nNROTOR\n 0 1\nSFRAM\n 3\nSFRAME\n 1\nU\n 2.0 0 0 0 0 0\n", "1",
       "T\nNROTOR\n 0 1\nSFRAM\n 3\nSFRAME\n 1\nU\n" + row6("    1.6952", Z, Z, Z, Z, Z)},
      {"T\nNROTOR\n 1\nSFRAME\n 2\nU V W\n 0.0 0.0 0.0\nYA\n 5 5 5\nYAW PITCH ROLL\n 0 0 0\n" + frame2_tail, "4",
       "T\nNROTOR\n 1\nSFRAME\n 2\nU V W\n 0.0 0.0 0.0\nYA\n 5 5 5\nYAW PITCH ROLL\n" + row3(Z, Z, Z) +
           "VEH\n" + row3("   -3.0000", Z, "    4.0000") + "RATES\n" + row3("   -0.1000", Z, Z) + "END\n"},
  };
  for (const auto &c : cases) {
    TempDir dir;
    testkit::write_file(dir / "c.inp", c.control);
    const Outcome o = tavo(dir, {c.selector, "c"});
    EXPECT_EQ(o.status, 0) << c.control << o.out << o.err;
    EXPECT_EQ(file(dir, "job1TAVO.inp"), c.first_case) << c.control;
  }
}

}  // namespace
