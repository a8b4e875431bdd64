// End-to-end runs of the tavo binary in temporary directories.  Every
// expected byte is worked out by hand from the program's rules: standard
// output, standard error, exit status, the files left in the directory and
// their contents.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

#include "tests/app/control_text.h"
#include "tests/support/testkit.h"

namespace {

using testkit::Outcome;
using testkit::TempDir;
using namespace tavo_text;

struct Result {
  Outcome o;
  std::vector<std::string> names;  // directory entries after the run
};

// Runs tavo in dir with args (the program name is added), diagnostics as the
// single message line unless trace is set.
Result tavo(const TempDir &dir, const std::vector<std::string> &args,
         std::map<std::string, std::optional<std::string>> env = {}, bool trace = false) {
  std::vector<std::string> argv = {testkit::built("app/tavo")};
  argv.insert(argv.end(), args.begin(), args.end());
  testkit::RunOptions opts;
  opts.cwd = dir.path();
  opts.env = std::move(env);
  if (!trace) opts.env["FOR_DISABLE_STACK_TRACE"] = "1";
  opts.env.try_emplace("TAVO_MANIFEST", std::nullopt);  // none unless asked for
  opts.stdin_null = true;
  Result r{testkit::run_program(argv, opts), {}};
  r.names = testkit::list_dir(dir.path());
  return r;
}

// Frame 2: flow (0,0,0) minus vehicle (-3,0,4) has speed 5, so the default
// velocity sweep (metric) is -1 .. 1 in one step of 2.
const std::string kFrame2 =
    "Rotor\n"
    "NROTOR\n"
    " 1\n"
    "SFRAME\n"
    " 2\n"
    "U V W\n"
    " 0.0 0.0 0.0\n"
    "YAW PITCH ROLL\n"
    " 0 0 0\n"
    "VEH\n"
    " -3.0 0.0 4.0\n"
    "RATES\n"
    " 0.0 0.0 0.0\n"
    "END\n";

std::string frame2_case(const std::string &velocity, const std::string &rates) {
  return "Rotor\nNROTOR\n 1\nSFRAME\n 2\nU V W\n 0.0 0.0 0.0\nYAW PITCH ROLL\n" + row3(Z, Z, Z) + "VEH\n" +
         velocity + "RATES\n" + rates + "END\n";
}

// ---- Command line -----------------------------------------------------------

TEST(CommandLine, TooFewOrFourOrFiveArgumentsAreRefused) {
  TempDir dir;
  const std::string few = "  ??? tavo requires at least 2 command line entries ???\n";
  const std::string only = "  ??? tavo requires only 3 entries or 4, 5 ahd 6 ???\n";
  for (auto args : std::vector<std::vector<std::string>>{{}, {"1"}}) {
    Result r = tavo(dir, args);
    EXPECT_EQ(r.o.out, few);
    EXPECT_EQ(r.o.err, "");
    EXPECT_EQ(r.o.status, 2);
  }
  for (auto args : std::vector<std::vector<std::string>>{{"1", "c", "j", "1."}, {"1", "c", "j", "1.", "2."}}) {
    Result r = tavo(dir, args);
    EXPECT_EQ(r.o.out, only);
    EXPECT_EQ(r.o.status, 2);
  }
  EXPECT_TRUE(testkit::list_dir(dir.path()).empty());
}

TEST(CommandLine, SelectorMustBeOneToSix) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", kFrame1);
  const std::string refusal = "  ??? tavo: the first entry must be a derivative selector 1 to 6 ???\n";
  for (const char *bad : {"7", "0", "x", "", " 1"}) {
    Result r = tavo(dir, {bad, "c"});
    EXPECT_EQ(r.o.out, refusal) << '[' << bad << ']';
    EXPECT_EQ(r.o.status, 2);
    EXPECT_EQ(r.names, std::vector<std::string>{"c.inp"});
  }
  // Only the first character counts: 41 selects 4, the first rotation rate.
  Result r = tavo(dir, {"41", "c"});
  EXPECT_EQ(r.o.status, 0);
  EXPECT_EQ(file(dir, "job1TAVO.inp"), frame1_case(row6("    2.0000", Z, Z, "   -0.1000", Z, Z)));
  EXPECT_EQ(file(dir, "job2TAVO.inp"), frame1_case(row6("    2.0000", Z, Z, "    0.1000", Z, Z)));
}

TEST(CommandLine, ControlFileSuffix) {
  TempDir dir;
  for (const char *name : {"wing.inp", "WING.INP.inp", "a.inp", ".inp", "inp.inp"})
    testkit::write_file(dir / name, kFrame1);
  // A name of exactly ".inp" already ends in the suffix.
  struct {
    std::string arg, echoed;
  } cases[] = {{"wing", "wing.inp"}, {"wing.inp", "wing.inp"}, {"WING.INP", "WING.INP.inp"},
               {"a", "a.inp"},       {".inp", ".inp"},         {"inp", "inp.inp"}};
  for (const auto &c : cases) {
    Result r = tavo(dir, {"1", c.arg});
    EXPECT_EQ(r.o.out, kEcho + c.echoed + "\n");
    EXPECT_EQ(r.o.status, 0) << r.o.err;
  }
}

// A lone --help, -h or --version answers with status 0; anywhere else they
// are ordinary arguments.
TEST(CommandLine, HelpAndVersion) {
  TempDir dir;
  Result help = tavo(dir, {"--help"});
  EXPECT_EQ(help.o.status, 0);
  EXPECT_EQ(help.o.err, "");
  EXPECT_EQ(help.o.out.rfind("usage: tavo SELECTOR CONTROL [JOB [START END STEP]]\n", 0), 0u) << help.o.out;
  for (const char *topic : {"FORT_BUFFERED", "FOR_DISABLE_STACK_TRACE", "TAVO_MANIFEST", "man tavo"})
    EXPECT_NE(help.o.out.find(topic), std::string::npos) << topic;
  Result h = tavo(dir, {"-h"});
  EXPECT_EQ(h.o.status, 0);
  EXPECT_EQ(h.o.out, help.o.out);
  Result version = tavo(dir, {"--version"});
  EXPECT_EQ(version.o.status, 0);
  EXPECT_TRUE(std::regex_match(version.o.out, std::regex("tavo [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version.o.out;
  EXPECT_TRUE(testkit::list_dir(dir.path()).empty());

  // With other arguments: a refused selector, a job prefix.
  Result r = tavo(dir, {"-h", "wing"});
  EXPECT_EQ(r.o.out, "  ??? tavo: the first entry must be a derivative selector 1 to 6 ???\n");
  EXPECT_EQ(r.o.status, 2);
  testkit::write_file(dir / "c.inp", kFrame1);
  r = tavo(dir, {"1", "c", "--version"});
  EXPECT_EQ(r.o.out, kEcho + "c.inp\n");
  EXPECT_EQ(r.o.status, 0);
  EXPECT_EQ(r.names, (std::vector<std::string>{"--version1TAVO.inp", "--version2TAVO.inp", "c.inp"}));
}

TEST(CommandLine, EchoLineWithAnEmptyNameIsTheLiteralAndTheSuffix) {
  TempDir dir;
  testkit::write_file(dir / ".inp", kFrame1);
  Result r = tavo(dir, {"1", ""});
  EXPECT_EQ(r.o.out, kEcho + ".inp\n");
  EXPECT_EQ(r.o.status, 0);
}

TEST(CommandLine, JobPrefixes) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", kFrame1);
  Result r = tavo(dir, {"1", "c", "run"});
  EXPECT_EQ(r.names, (std::vector<std::string>{"c.inp", "run1TAVO.inp", "run2TAVO.inp"}));
  TempDir empty;
  testkit::write_file(empty / "c.inp", kFrame1);
  r = tavo(empty, {"1", "c", ""});
  EXPECT_EQ(r.names, (std::vector<std::string>{"1TAVO.inp", "2TAVO.inp", "c.inp"}));
  // Leading blanks of a name are dropped when it is opened; inner ones stay.
  TempDir blanks;
  testkit::write_file(blanks / "c.inp", kFrame1);
  r = tavo(blanks, {"1", "c", " a b"});
  EXPECT_EQ(r.names, (std::vector<std::string>{"a b1TAVO.inp", "a b2TAVO.inp", "c.inp"}));
  // Arguments after the sixth are ignored.
  TempDir seven;
  testkit::write_file(seven / "c.inp", kFrame1);
  r = tavo(seven, {"1", "c", "j", "0.", "1.", "1.", "ignored"});
  EXPECT_EQ(r.names, (std::vector<std::string>{"c.inp", "j1TAVO.inp", "j2TAVO.inp"}));
}

// ---- Sweeps ---------------------------------------------------------------

TEST(Sweep, DefaultVelocitySweepInFootUnits) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", kFrame1);
  Result r = tavo(dir, {"1", "c"});
  EXPECT_EQ(r.o.out, kEcho + "c.inp\n");
  EXPECT_EQ(r.o.err, "");
  EXPECT_EQ(r.o.status, 0);
  EXPECT_EQ(r.names, (std::vector<std::string>{"c.inp", "job1TAVO.inp", "job2TAVO.inp"}));
  EXPECT_EQ(file(dir, "job1TAVO.inp"), frame1_case(row6("    1.6952", Z, Z, Z, Z, Z)));
  EXPECT_EQ(file(dir, "job2TAVO.inp"), frame1_case(row6("    2.3048", Z, Z, Z, Z, Z)));
  EXPECT_EQ(file(dir, "c.inp"), kFrame1);
}

TEST(Sweep, DefaultRotationSweepWhateverTheFileHolds) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", kFrame1);
  Result r = tavo(dir, {"5", "c"});
  EXPECT_EQ(r.o.status, 0);
  EXPECT_EQ(file(dir, "job1TAVO.inp"), frame1_case(row6("    2.0000", Z, Z, Z, "   -0.1000", Z)));
  EXPECT_EQ(file(dir, "job2TAVO.inp"), frame1_case(row6("    2.0000", Z, Z, Z, "    0.1000", Z)));
}

TEST(Sweep, ArgumentsWithAndWithoutDecimalPoints) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", kFrame1);
  Result r = tavo(dir, {"2", "c", "j", "-2.", "2.", "1."});
  EXPECT_EQ(r.o.status, 0);
  const char *values[] = {"   -2.0000", "   -1.0000", "    0.0000", "    1.0000", "    2.0000"};
  for (int k = 0; k < 5; ++k)
    EXPECT_EQ(file(dir, "j" + std::to_string(k + 1) + "TAVO.inp"),
              frame1_case(row6("    2.0000", values[k], Z, Z, Z, Z)));
  EXPECT_FALSE(testkit::file_exists(dir / "j6TAVO.inp"));

  // Without a decimal point the last four digits are decimals.
  TempDir implied;
  testkit::write_file(implied / "c.inp", kFrame1);
  r = tavo(implied, {"2", "c", "j", "-2", "2", "1"});
  EXPECT_EQ(r.o.status, 0);
  const char *small[] = {"   -0.0002", "   -0.0001", "    0.0000", "    0.0001", "    0.0002"};
  for (int k = 0; k < 5; ++k)
    EXPECT_EQ(file(implied, "j" + std::to_string(k + 1) + "TAVO.inp"),
              frame1_case(row6("    2.0000", small[k], Z, Z, Z, Z)));
  EXPECT_FALSE(testkit::file_exists(implied / "j6TAVO.inp"));
}

TEST(Sweep, ExponentsKeepTheImpliedDecimals) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", kFrame1);
  // 1E2 without a point is 0.01; 1.E2 is 100; so 0.01 .. 0.03 step 0.01.
  Result r = tavo(dir, {"3", "c", "j", "1E2", "3E2", "1E2"});
  EXPECT_EQ(r.o.status, 0);
  EXPECT_EQ(file(dir, "j1TAVO.inp"), frame1_case(row6("    2.0000", Z, "    0.0100", Z, Z, Z)));
  EXPECT_EQ(file(dir, "j3TAVO.inp"), frame1_case(row6("    2.0000", Z, "    0.0300", Z, Z, Z)));
  EXPECT_FALSE(testkit::file_exists(dir / "j4TAVO.inp"));
  TempDir big;
  testkit::write_file(big / "c.inp", kFrame1);
  r = tavo(big, {"3", "c", "j", "1.E2", "1.E2", "1."});
  EXPECT_EQ(file(big, "j1TAVO.inp"), frame1_case(row6("    2.0000", Z, "  100.0000", Z, Z, Z)));
}

TEST(Sweep, AccumulatedValuesAndTheHalfStepMargin) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", kFrame1);
  Result r = tavo(dir, {"6", "c", "j", "-1.", "1.", "0.1"});
  EXPECT_EQ(r.o.status, 0);
  EXPECT_EQ(r.names.size(), 22u);  // 21 cases and the control file
  // The eleventh value is about 7.45e-08, written as 0.0000; the last is
  // about 1.0000001, admitted by the half-step margin.
  EXPECT_EQ(file(dir, "j11TAVO.inp"), frame1_case(row6("    2.0000", Z, Z, Z, Z, Z)));
  EXPECT_EQ(file(dir, "j21TAVO.inp"), frame1_case(row6("    2.0000", Z, Z, Z, Z, "    1.0000")));
  TempDir four;
  testkit::write_file(four / "c.inp", kFrame1);
  r = tavo(four, {"6", "c", "j", "0.", "1.", "0.3"});
  EXPECT_EQ(r.names, (std::vector<std::string>{"c.inp", "j1TAVO.inp", "j2TAVO.inp", "j3TAVO.inp", "j4TAVO.inp"}));
  EXPECT_EQ(file(four, "j4TAVO.inp"), frame1_case(row6("    2.0000", Z, Z, Z, Z, "    0.9000")));
}

TEST(Sweep, StartAboveTheEndWritesNothing) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", kFrame1);
  Result r = tavo(dir, {"1", "c", "j", "2.", "1.", "0.5"});
  EXPECT_EQ(r.o.out, kEcho + "c.inp\n");
  EXPECT_EQ(r.o.status, 0);
  EXPECT_EQ(r.names, std::vector<std::string>{"c.inp"});
}

TEST(Sweep, DefaultBranchesBySpeedAndUnits) {
  struct {
    std::string rotor, velocity, first, second;
  } cases[] = {
      // Metric (no units flag): half-width 1.0.
      {" 0 0", " 2.0 0.0 0.0 0.0 0.0 0.0", "    1.0000", "    3.0000"},
      // Large speed: half-width 0.0873 x 100 = 8.73.
      {" 0 1", " 100.0 0.0 0.0 0.0 0.0 0.0", "   91.2700", "  108.7300"},
      // A speed that is not a number: both comparisons fail, so -M .. M.
      {" 0 1", " NaN 0.0 0.0 0.0 0.0 0.0", "       NaN", "       NaN"},
  };
  for (const auto &c : cases) {
    TempDir dir;
    const std::string control =
        "T\nNROTOR\n" + c.rotor + "\nSFRAME\n 1\nU V W P Q R\n" + c.velocity + "\nEND\n";
    testkit::write_file(dir / "c.inp", control);
    Result r = tavo(dir, {"1", "c"});
    EXPECT_EQ(r.o.status, 0) << r.o.err;
    const std::string head = "T\nNROTOR\n" + c.rotor + "\nSFRAME\n 1\nU V W P Q R\n";
    EXPECT_EQ(file(dir, "job1TAVO.inp"), head + row6(c.first, Z, Z, Z, Z, Z) + "END\n") << c.velocity;
    EXPECT_EQ(file(dir, "job2TAVO.inp"), head + row6(c.second, Z, Z, Z, Z, Z) + "END\n") << c.velocity;
  }
}

// ---- The rotor line and the units flag ----------------------------------------

// The units flag decides the default half-width: 0.3048 for 1, else 1.0.
// With the flow speed 2 the first case's velocity is 1.6952 or 1.0000.
TEST(RotorLine, EntryCountingAndTheUnitsFlag) {
  struct {
    std::string line;
    bool feet;
  } cases[] = {
      {" 1", false},  {" 2 1", true},          {" 2,1", true},   {" 3*0", false}, {" 3*1", true},
      {" 2*", false}, {" *5", false},          {" 1,,2", false}, {"", false},     {"    ", false},
      {" 1 1 extra text", true}, {std::string(120, ' ') + "2 1", false},
  };
  for (const auto &c : cases) {
    TempDir dir;
    const std::string control = "T\nNROTOR\n" + c.line + "\nSFRAME\n 1\nU\n 2.0 0.0 0.0 0.0 0.0 0.0\n";
    testkit::write_file(dir / "c.inp", control);
    Result r = tavo(dir, {"1", "c"});
    EXPECT_EQ(r.o.status, 0) << '[' << c.line << "] " << r.o.err;
    std::string trimmed = c.line.substr(0, 120);
    while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
    const std::string expect = "T\nNROTOR\n" + trimmed + "\nSFRAME\n 1\nU\n" +
                               row6(c.feet ? "    1.6952" : "    1.0000", Z, Z, Z, Z, Z);
    EXPECT_EQ(file(dir, "job1TAVO.inp"), expect) << '[' << c.line << ']';
  }
}

TEST(RotorLine, UnreadableEntriesEndTheRun) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", "T\nNROTOR\n a 1\nSFRAME\n 1\nU\n 2.0 0 0 0 0 0\n");
  Result r = tavo(dir, {"1", "c"});
  EXPECT_EQ(r.o.status, 59);
  EXPECT_EQ(r.o.err, "forrtl: severe (59): list-directed I/O syntax error, unit 99, file " + dir.path() + "/c.inp\n");
  EXPECT_EQ(r.names, std::vector<std::string>{"c.inp"});
  TempDir repeat;
  testkit::write_file(repeat / "c.inp", "T\nNROTOR\n x*1\nSFRAME\n 1\nU\n 2.0 0 0 0 0 0\n");
  r = tavo(repeat, {"1", "c"});
  EXPECT_EQ(r.o.status, 64);
  EXPECT_EQ(r.o.err, "forrtl: severe (64): input conversion error, unit -5, file Internal Formatted Read\n");
}

// ---- Keywords -------------------------------------------------------------

TEST(Keywords, MatchedByTheirFirstColumnsOnly) {
  TempDir dir;
  // The title is never tested; " NROTOR" and "nrotor" do not match;
  // NROTORS and SFRAMEX do.
  const std::string control =
      "NROTOR title line\n"
      " NROTOR\n"
      "nrotor\n"
      "NROTORS\n"
      " 0 1\n"
      " SFRAME\n"
      "SFRAMEX\n"
      " 1\n"
      "U\n"
      " 2.0 0 0 0 0 0\n";
  testkit::write_file(dir / "c.inp", control);
  Result r = tavo(dir, {"1", "c"});
  EXPECT_EQ(r.o.status, 0) << r.o.err;
  EXPECT_EQ(file(dir, "job1TAVO.inp"),
            "NROTOR title line\n NROTOR\nnrotor\nNROTORS\n 0 1\n SFRAME\nSFRAMEX\n 1\nU\n" +
                row6("    1.6952", Z, Z, Z, Z, Z));
}

TEST(Keywords, MissingKeywordEndsWithEndOfFile) {
  for (const std::string control : {"T\nNOTHING\n", "T\nNROTOR\n 1\nNO FRAME\n"}) {
    TempDir dir;
    testkit::write_file(dir / "c.inp", control);
    Result r = tavo(dir, {"1", "c"});
    EXPECT_EQ(r.o.status, 24);
    EXPECT_EQ(r.o.err, "forrtl: severe (24): end-of-file during read, unit 99, file " + dir.path() + "/c.inp\n");
    EXPECT_EQ(r.names, std::vector<std::string>{"c.inp"});
  }
}

// ---- Frames -----------------------------------------------------------------

TEST(Frames, Frame2RewritesAttitudeVelocityAndRates) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", kFrame2);
  Result r = tavo(dir, {"1", "c"});
  EXPECT_EQ(r.o.status, 0) << r.o.err;
  EXPECT_EQ(file(dir, "job1TAVO.inp"), frame2_case(row3("   -4.0000", Z, "    4.0000"), row3(Z, Z, Z)));
  EXPECT_EQ(file(dir, "job2TAVO.inp"), frame2_case(row3("   -2.0000", Z, "    4.0000"), row3(Z, Z, Z)));
  TempDir rates;
  testkit::write_file(rates / "c.inp", kFrame2);
  r = tavo(rates, {"4", "c"});
  EXPECT_EQ(file(rates, "job1TAVO.inp"),
            frame2_case(row3("   -3.0000", Z, "    4.0000"), row3("   -0.1000", Z, Z)));
}

TEST(Frames, NonZeroAttitudeFoundByTheScanIsRefused) {
  const std::string lines =
      " ??? You can run with SFRAME=2 but you must set ???\n"
      " ??? YAW = PITCH = ROLL = 0.0 to force the run  ???\n"
      " ??? to be performed in body axes to use the    ???\n"
      " ??? stability derivative utility               ???\n";
  // Each of the three angles counts on its own.
  for (const char *angles : {" 0.001 0 0\n", " 0 0.001 0\n", " 0 0 -0.001\n"}) {
    TempDir dir;
    std::string control = kFrame2;
    control.replace(control.find(" 0 0 0\n"), 7, angles);
    testkit::write_file(dir / "c.inp", control);
    Result r = tavo(dir, {"1", "c"});
    EXPECT_EQ(r.o.out, kEcho + "c.inp\n" + lines) << angles;
    EXPECT_EQ(r.o.status, 2);
    EXPECT_EQ(r.names, std::vector<std::string>{"c.inp"});
  }
  // A square below the smallest normal is flushed to zero: 1.0e-20 passes.
  TempDir tiny;
  std::string control = kFrame2;
  control.replace(control.find(" 0 0 0\n"), 7, " 1.0e-20 0 0\n");
  testkit::write_file(tiny / "c.inp", control);
  Result r = tavo(tiny, {"1", "c"});
  EXPECT_EQ(r.o.status, 0);
  EXPECT_EQ(r.names.size(), 3u);
}

TEST(Frames, NonZeroAttitudeWhileWritingLeavesThePartialFile) {
  TempDir dir;
  // A YAW line before the frame block is not checked by the scan, but the
  // copy rewrites every YAW block it meets.
  testkit::write_file(dir / "c.inp", "Rotor\nYAW LIMITS\n 5.0 0 0\n" + kFrame2.substr(6));
  Result r = tavo(dir, {"1", "c"});
  EXPECT_EQ(r.o.out, kEcho + "c.inp\n"
                     " ??? You can run with SFRAME=2 but you must set ???\n"
                     " ??? YAW = PITCH = ROLL = 0.0 to force the run  ???\n"
                     " ??? to be performed in body axes to use the    ???\n"
                     " ??? stability derivative utility               ???\n");
  EXPECT_EQ(r.o.status, 2);
  EXPECT_EQ(file(dir, "job1TAVO.inp"), "Rotor\nYAW LIMITS\n");
  EXPECT_FALSE(testkit::file_exists(dir / "job2TAVO.inp"));
}

TEST(Frames, OtherFramesAreRefusedAfterTheScan) {
  const std::string refusal = "  ??? tavo: SFRAME must be 1 or 2 for a derivative sweep ???\n";
  for (const char *frame : {" 3", " 0", " -1"}) {
    TempDir dir;
    testkit::write_file(dir / "c.inp", std::string("T\nNROTOR\n 1\nSFRAME\n") + frame + "\nU\n 2.0 0 0\nYAW\n 1 2 3\n");
    // Refused before the sweep arguments are read: the bad one is never seen.
    Result r = tavo(dir, {"1", "c", "j", "x", "1.", "1."});
    EXPECT_EQ(r.o.out, kEcho + "c.inp\n" + refusal) << frame;
    EXPECT_EQ(r.o.err, "");
    EXPECT_EQ(r.o.status, 2);
    EXPECT_EQ(r.names, std::vector<std::string>{"c.inp"});
  }
  // Errors of the scan itself come first.
  TempDir early;
  testkit::write_file(early / "c.inp", "T\nNROTOR\n 1\nSFRAME\n 3\nU\n");
  Result r = tavo(early, {"1", "c"});
  EXPECT_EQ(r.o.status, 24);
  EXPECT_EQ(r.o.out, kEcho + "c.inp\n");
}

// ---- Values ---------------------------------------------------------------

TEST(Values, SpreadOverLinesExtraValuesAndRepeats) {
  TempDir dir;
  const std::string control =
      "T\nNROTOR\n 0 1\nSFRAME\n 1\nU\n"
      " 2.0, 0.0,\n"
      "\n"
      " 0.0 3*0.0 99.0 99.0\n"
      "END\n";
  testkit::write_file(dir / "c.inp", control);
  Result r = tavo(dir, {"1", "c"});
  EXPECT_EQ(r.o.status, 0) << r.o.err;
  EXPECT_EQ(file(dir, "job1TAVO.inp"), "T\nNROTOR\n 0 1\nSFRAME\n 1\nU\n" + row6("    1.6952", Z, Z, Z, Z, Z) + "END\n");
}

TEST(Values, NullValuesKeepThePreviousValue) {
  TempDir dir;
  // The second value is null: it keeps what it held before, and the sweep
  // values accumulate in it from case to case (selector 2).
  const std::string control = "T\nNROTOR\n 0 1\nSFRAME\n 1\nU\n 2.0,,0.0,0.0,0.0,0.0\n";
  testkit::write_file(dir / "c.inp", control);
  Result r = tavo(dir, {"2", "c", "j", "1.", "2.", "1."});
  EXPECT_EQ(r.o.status, 0) << r.o.err;
  const std::string head = "T\nNROTOR\n 0 1\nSFRAME\n 1\nU\n";
  EXPECT_EQ(file(dir, "j1TAVO.inp"), head + row6("    2.0000", "    1.0000", Z, Z, Z, Z));
  EXPECT_EQ(file(dir, "j2TAVO.inp"), head + row6("    2.0000", "    3.0000", Z, Z, Z, Z));
}

TEST(Values, BadValuesEndTheRun) {
  struct {
    std::string velocity;
    int status;
    std::string text;
  } cases[] = {
      {" 2.0 abc 0", 59, "list-directed I/O syntax error"},
      {" 2.0 T 0", 64, "input conversion error"},
      {" 1E39 0 0", 64, "input conversion error"},
  };
  for (const auto &c : cases) {
    TempDir dir;
    testkit::write_file(dir / "c.inp", "T\nNROTOR\n 1\nSFRAME\n 1\nU\n" + c.velocity + "\n");
    Result r = tavo(dir, {"1", "c"});
    EXPECT_EQ(r.o.status, c.status) << c.velocity;
    EXPECT_EQ(r.o.err, "forrtl: severe (" + std::to_string(c.status) + "): " + c.text + ", unit 99, file " +
                           dir.path() + "/c.inp\n");
    EXPECT_EQ(r.names, std::vector<std::string>{"c.inp"});
  }
}

TEST(Values, TooWideForTheFieldGivesAsterisksErrors63AndStatus63) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", "T\nNROTOR\n 1\nSFRAME\n 1\nU\n 0 0 0 0 0 0\n");
  Result r = tavo(dir, {"1", "c", "j", "123456.", "123457.", "1."});
  EXPECT_EQ(r.o.status, 63);
  const std::string msg = "forrtl: error (63): output conversion error, unit 98, file " + dir.path();
  EXPECT_EQ(r.o.err, msg + "/j1TAVO.inp\n" + msg + "/j2TAVO.inp\n");
  const std::string stars(10, '*');
  EXPECT_EQ(file(dir, "j1TAVO.inp"), "T\nNROTOR\n 1\nSFRAME\n 1\nU\n" + row6(stars, Z, Z, Z, Z, Z));
  EXPECT_EQ(file(dir, "j2TAVO.inp"), "T\nNROTOR\n 1\nSFRAME\n 1\nU\n" + row6(stars, Z, Z, Z, Z, Z));
}

TEST(Values, EndOfFileInsideARewriteLeavesThePartialFile) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", "T\nNROTOR\n 1\nSFRAME\n 1\nU\n 2.0 0.0 0.0\n");
  Result r = tavo(dir, {"1", "c"});
  EXPECT_EQ(r.o.status, 24);
  EXPECT_EQ(r.o.err, "forrtl: severe (24): end-of-file during read, unit 99, file " + dir.path() + "/c.inp\n");
  EXPECT_EQ(file(dir, "job1TAVO.inp"), "T\nNROTOR\n 1\nSFRAME\n 1\nU\n");
  EXPECT_FALSE(testkit::file_exists(dir / "job2TAVO.inp"));
}

// ---- Lines --------------------------------------------------------------------

TEST(Lines, TrailingBlanksLongLinesBlankLinesAndLineEnds) {
  TempDir dir;
  const std::string long_line = std::string(118, 'x') + "yz-cut";
  const std::string control =
      "T  \r\n" + long_line + "\r\n    \r\n\r\n  lead\r\nNROTOR\r\n 1\r\nSFRAME\r\n 1\r\nU\r\n 2 0 0 0 0 0\r\nEND";
  testkit::write_file(dir / "c.inp", control);
  Result r = tavo(dir, {"1", "c"});
  EXPECT_EQ(r.o.status, 0) << r.o.err;
  // Carriage returns go, lines are cut to 120, blank lines become empty,
  // and an unterminated last line is still copied with its line feed.
  EXPECT_EQ(file(dir, "job1TAVO.inp"),
            "T\n" + std::string(118, 'x') + "yz\n\n\n  lead\nNROTOR\n 1\nSFRAME\n 1\nU\n" +
                row6("    1.0000", Z, Z, Z, Z, Z) + "END\n");
  EXPECT_EQ(file(dir, "c.inp"), control);
}

// A carriage return that ends an unterminated last line goes, as it would
// before a line feed.
TEST(Lines, CarriageReturnEndingTheLastLine) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", kFrame1 + "LAST\r");
  Result r = tavo(dir, {"1", "c"});
  EXPECT_EQ(r.o.status, 0) << r.o.err;
  EXPECT_EQ(file(dir, "job1TAVO.inp"), frame1_case(row6("    1.6952", Z, Z, Z, Z, Z)) + "LAST\n");
}

TEST(Lines, AnExistingLongerGeneratedFileIsReplaced) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", kFrame1);
  testkit::write_file(dir / "job1TAVO.inp", std::string(10000, 'o') + "\n");
  Result r = tavo(dir, {"1", "c"});
  EXPECT_EQ(r.o.status, 0);
  EXPECT_EQ(file(dir, "job1TAVO.inp"), frame1_case(row6("    1.6952", Z, Z, Z, Z, Z)));
}

// ---- Failures ---------------------------------------------------------------

TEST(Failures, MissingControlFile) {
  TempDir dir;
  Result r = tavo(dir, {"1", "nope"});
  EXPECT_EQ(r.o.out, kEcho + "nope.inp\n");
  EXPECT_EQ(r.o.err, "forrtl: No such file or directory\nforrtl: severe (29): file not found, unit 99, file " +
                         dir.path() + "/nope.inp\n");
  EXPECT_EQ(r.o.status, 29);
  EXPECT_TRUE(r.names.empty());
}

TEST(Failures, BadSweepArgument) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", kFrame1);
  Result r = tavo(dir, {"1", "c", "j", "x", "1.", "1."});
  EXPECT_EQ(r.o.out, kEcho + "c.inp\n");
  EXPECT_EQ(r.o.err, "forrtl: severe (64): input conversion error, unit -5, file Internal Formatted Read\n");
  EXPECT_EQ(r.o.status, 64);
  EXPECT_EQ(r.names, std::vector<std::string>{"c.inp"});
}

TEST(Failures, ATracebackFollowsByDefault) {
  TempDir dir;
  Result r = tavo(dir, {"1", "nope"}, {}, true);
  EXPECT_EQ(r.o.status, 29);
  const std::string line = "forrtl: severe (29): file not found, unit 99, file " + dir.path() + "/nope.inp\n";
  ASSERT_NE(r.o.err.find(line), std::string::npos);
  char header[128];
  snprintf(header, sizeof header, "%-19.19s%-18.18s%-19.19s%-12.12s%-19.19s\n", "Image", "PC", "Routine", "Line",
           "Source");
  EXPECT_NE(r.o.err.find(line + header), std::string::npos);
}

// ---- Case numbers and names ------------------------------------------------------

TEST(CaseNumbers, NamesKeepAllTheirDigits) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", "T\nNROTOR\n 1\nSFRAME\n 1\nU\n 0 0 0 0 0 0\n");
  Result r = tavo(dir, {"4", "c", "j", "1.", "1001.", "1."});
  EXPECT_EQ(r.o.status, 0) << r.o.err;
  EXPECT_EQ(r.names.size(), 1002u);
  for (const char *name : {"j1TAVO.inp", "j9TAVO.inp", "j10TAVO.inp", "j99TAVO.inp", "j100TAVO.inp", "j999TAVO.inp",
                           "j1000TAVO.inp", "j1001TAVO.inp"})
    EXPECT_TRUE(testkit::file_exists(dir / name)) << name;
}

// ---- Refusals -------------------------------------------------------------

TEST(Refusals, SweepValuesLongerThan12Characters) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", kFrame1);
  Result r = tavo(dir, {"1", "c", "j", "1.", "123456789.123", "1."});
  EXPECT_EQ(r.o.out, kEcho + "c.inp\n  ??? tavo: a sweep value may have at most 12 characters ???\n");
  EXPECT_EQ(r.o.status, 2);
  EXPECT_EQ(r.names, std::vector<std::string>{"c.inp"});
}

TEST(Refusals, SweepsThatWouldNeverEndOrFlood) {
  struct {
    std::vector<std::string> sweep;
    std::string text;
  } cases[] = {
      {{"Infinity", "1.", "1."}, "the sweep start, end and step must be finite numbers"},
      {{"0.", "NaN", "1."}, "the sweep start, end and step must be finite numbers"},
      {{"0.", "1.", "0."}, "the sweep step must be greater than zero"},
      {{"1.", "0.", "-1."}, "the sweep step must be greater than zero"},
      {{"1000000.", "1000001.", "0.01"}, "the sweep step is too small to advance the sweep"},
      {{"0.", "10000.", "1."}, "the sweep would write more than 9999 files"},
  };
  for (const auto &c : cases) {
    TempDir dir;
    testkit::write_file(dir / "c.inp", kFrame1);
    std::vector<std::string> args = {"1", "c", "j"};
    args.insert(args.end(), c.sweep.begin(), c.sweep.end());
    Result r = tavo(dir, args);
    EXPECT_EQ(r.o.out, kEcho + "c.inp\n  ??? tavo: " + c.text + " ???\n") << c.sweep[0];
    EXPECT_EQ(r.o.status, 2);
    EXPECT_EQ(r.names, std::vector<std::string>{"c.inp"});
  }
}

TEST(Refusals, AGeneratedFileWouldBeTheControlFile) {
  const std::string refusal = "  ??? tavo: a generated file would overwrite the control file ???\n";
  TempDir same;
  testkit::write_file(same / "job1TAVO.inp", kFrame1);
  Result r = tavo(same, {"1", "job1TAVO"});
  EXPECT_EQ(r.o.out, kEcho + "job1TAVO.inp\n" + refusal);
  EXPECT_EQ(r.o.status, 2);
  EXPECT_EQ(file(same, "job1TAVO.inp"), kFrame1);

  TempDir linked;
  testkit::write_file(linked / "c.inp", kFrame1);
  ASSERT_EQ(symlink("c.inp", (linked / "job2TAVO.inp").c_str()), 0);
  r = tavo(linked, {"1", "c"});
  EXPECT_EQ(r.o.out, kEcho + "c.inp\n" + refusal);
  EXPECT_EQ(r.o.status, 2);
  EXPECT_EQ(r.names, (std::vector<std::string>{"c.inp", "job2TAVO.inp"}));
  EXPECT_EQ(file(linked, "c.inp"), kFrame1);

  TempDir hard;
  testkit::write_file(hard / "c.inp", kFrame1);
  ASSERT_EQ(link((hard / "c.inp").c_str(), (hard / "job1TAVO.inp").c_str()), 0);
  r = tavo(hard, {"1", "c"});
  EXPECT_EQ(r.o.status, 2);
  EXPECT_EQ(file(hard, "c.inp"), kFrame1);
}

// ---- Manifest ---------------------------------------------------------------

const std::string kManifestHeader = "case,file,quantity,sweep,frame,base,value\n";

// The header replaces whatever the file held; each line names the file as it
// was opened (OPEN drops leading blanks), the quantity, the sweep value to 9
// significant digits, the frame, the value before the shift and the field as
// written.
TEST(Manifest, OneLinePerGeneratedFile) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", kFrame1);
  testkit::write_file(dir / "m.csv", std::string(10000, 'o') + "\n");
  Result r = tavo(dir, {"1", "c", " a"}, {{"TAVO_MANIFEST", "m.csv"}});
  EXPECT_EQ(r.o.out, kEcho + "c.inp\n");
  EXPECT_EQ(r.o.status, 0) << r.o.err;
  EXPECT_EQ(file(dir, "m.csv"), kManifestHeader +
                                    "1,a1TAVO.inp,U,-3.04799974E-01,1,2.00000000E+00,1.6952\n"
                                    "2,a2TAVO.inp,U,3.04800034E-01,1,2.00000000E+00,2.3048\n");
  EXPECT_EQ(file(dir, "a1TAVO.inp"), frame1_case(row6("    1.6952", Z, Z, Z, Z, Z)));

  r = tavo(dir, {"5", "c", "j", "-1.", "1.", "1."}, {{"TAVO_MANIFEST", dir / "m.csv"}});
  EXPECT_EQ(r.o.status, 0) << r.o.err;
  EXPECT_EQ(file(dir, "m.csv"), kManifestHeader +
                                    "1,j1TAVO.inp,Q,-1.00000000E+00,1,0.00000000E+00,-1.0000\n"
                                    "2,j2TAVO.inp,Q,0.00000000E+00,1,0.00000000E+00,0.0000\n"
                                    "3,j3TAVO.inp,Q,1.00000000E+00,1,0.00000000E+00,1.0000\n");
  // An empty sweep leaves the header alone.
  r = tavo(dir, {"6", "c", "j", "2.", "1.", "0.5"}, {{"TAVO_MANIFEST", "m.csv"}});
  EXPECT_EQ(r.o.status, 0);
  EXPECT_EQ(file(dir, "m.csv"), kManifestHeader);

  // Empty or blank: no manifest.
  TempDir none;
  testkit::write_file(none / "c.inp", kFrame1);
  for (const char *value : {"", "   "}) {
    r = tavo(none, {"1", "c"}, {{"TAVO_MANIFEST", value}});
    EXPECT_EQ(r.o.status, 0);
    EXPECT_EQ(r.names, (std::vector<std::string>{"c.inp", "job1TAVO.inp", "job2TAVO.inp"})) << '[' << value << ']';
  }
}

// The frame, base and value columns where they are easy to get wrong: the
// vehicle's values in frame 2, a field that does not fit, a keyword met twice
// (the last rewrite counts), and a base with more decimals than the field.
TEST(Manifest, FrameBaseAndWrittenValue) {
  const std::string twice = "T\nNROTOR\n 1\nSFRAME\n 1\nU V W P Q R\n 1.0 0 0 0 0 0\n"
                            "SFRAME\n 1\nU V W P Q R\n 7.5 0 0 0 0 0\nEND\n";
  const std::string fine = "T\nNROTOR\n 1\nSFRAME\n 1\nU V W P Q R\n 68.03125 0 0 0 0.00004 0\nEND\n";
  const struct {
    const char *what;
    std::string control;
    std::vector<std::string> args;
    int status;
    std::string lines;
  } rows[] = {
      {"frame 2, a velocity: the vehicle's", kFrame2, {"1", "c"}, 0,
       "1,job1TAVO.inp,U,-1.00000000E+00,2,-3.00000000E+00,-4.0000\n"
       "2,job2TAVO.inp,U,1.00000000E+00,2,-3.00000000E+00,-2.0000\n"},
      {"frame 2, a rate", kFrame2, {"6", "c", "j", "0.25", "0.25", "1."}, 0,
       "1,j1TAVO.inp,R,2.50000000E-01,2,0.00000000E+00,0.2500\n"},
      {"a field that does not fit", kFrame1, {"1", "c", "j", "99998.", "99998.", "1."}, 63,
       "1,j1TAVO.inp,U,9.99980000E+04,1,2.00000000E+00,**********\n"},
      {"a keyword met twice", twice, {"1", "c", "j", "0.5", "0.5", "1."}, 0,
       "1,j1TAVO.inp,U,5.00000000E-01,1,7.50000000E+00,8.0000\n"},
      {"a velocity of five decimals", fine, {"1", "c", "j", "0.", "0.", "1."}, 0,
       "1,j1TAVO.inp,U,0.00000000E+00,1,6.80312500E+01,68.0312\n"},
      // Case 1 is (START - STEP) + STEP in single precision: not 3E-5.
      {"a rate below the four decimals", fine, {"5", "c", "j", "0.00003", "0.00003", "1."}, 0,
       "1,j1TAVO.inp,Q,2.99811363E-05,1,3.99999990E-05,0.0001\n"},
  };
  for (const auto &row : rows) {
    TempDir dir;
    testkit::write_file(dir / "c.inp", row.control);
    // A one-character name: the manifest is on whatever the name's length.
    Result r = tavo(dir, row.args, {{"TAVO_MANIFEST", "m"}});
    EXPECT_EQ(r.o.status, row.status) << row.what << "\n" << r.o.err;
    EXPECT_EQ(file(dir, "m"), kManifestHeader + row.lines) << row.what;
  }
}

// Refused before anything is opened: no generated file, and a manifest of an
// earlier run stays as it was.
TEST(Manifest, RefusedWhenItWouldOverwriteTheControlFileOrAGeneratedFile) {
  // The literal and the record's leading blank would make 81 columns, more
  // than a list-directed line holds, so the record starts with the literal.
  const std::string refusal = " ??? tavo: the manifest would overwrite the control file or a generated file ???\n";
  for (const char *manifest : {"c.inp", "./job1TAVO.inp", "sub/../job2TAVO.inp", "link"}) {
    TempDir dir;
    testkit::write_file(dir / "c.inp", kFrame1);
    ASSERT_EQ(mkdir((dir / "sub").c_str(), 0755), 0);
    ASSERT_EQ(symlink("job2TAVO.inp", (dir / "link").c_str()), 0);
    Result r = tavo(dir, {"1", "c"}, {{"TAVO_MANIFEST", manifest}});
    EXPECT_EQ(r.o.out, kEcho + "c.inp\n" + refusal) << manifest;
    EXPECT_EQ(r.o.status, 2);
    EXPECT_EQ(r.names, (std::vector<std::string>{"c.inp", "link", "sub"})) << manifest;
    EXPECT_EQ(file(dir, "c.inp"), kFrame1);
  }
  TempDir dir;
  testkit::write_file(dir / "c.inp", kFrame1);
  testkit::write_file(dir / "m.csv", "earlier\n");
  Result r = tavo(dir, {"1", "c", "j", "0.", "1.", "0."}, {{"TAVO_MANIFEST", "m.csv"}});
  EXPECT_EQ(r.o.status, 2);
  EXPECT_EQ(file(dir, "m.csv"), "earlier\n");
  // A manifest that cannot be opened fails before the first case.
  r = tavo(dir, {"1", "c"}, {{"TAVO_MANIFEST", "nodir/m.csv"}});
  EXPECT_EQ(r.o.err, "forrtl: No such file or directory\nforrtl: severe (29): file not found, unit 97, file " +
                         dir.path() + "/nodir/m.csv\n");
  EXPECT_EQ(r.o.status, 29);
  EXPECT_EQ(r.names, (std::vector<std::string>{"c.inp", "m.csv"}));
}

}  // namespace
