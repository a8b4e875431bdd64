// The program's exact boundaries: sweep arguments of 11, 12 and 13
// characters, a sweep value landing exactly on END + STEP/2, the case
// counts where the case number gains a digit, and a repeat count in the
// first column of the rotor line.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "tests/app/control_text.h"
#include "tests/support/testkit.h"

namespace {

using testkit::Outcome;
using testkit::TempDir;
using namespace tavo_text;

// kFrame1 after a rate sweep (selector 4): the P column of each case.
std::vector<std::string> p_column(const TempDir &dir, const std::string &job, int cases) {
  std::vector<std::string> got;
  for (int k = 1; k <= cases; ++k) {
    const std::string row = file(dir, job + std::to_string(k) + "TAVO.inp");
    const size_t at = row.find("U V W P Q R\n");
    got.push_back(at == std::string::npos ? row : row.substr(at + 12 + 33, 10));
  }
  return got;
}

std::vector<std::string> names_of(const std::string &job, int cases, const std::string &control) {
  std::vector<std::string> names = {control};
  for (int k = 1; k <= cases; ++k) names.push_back(job + std::to_string(k) + "TAVO.inp");
  std::sort(names.begin(), names.end());
  return names;
}

std::string refusal(const std::string &control, const std::string &text) {
  return kEcho + control + "\n  ??? tavo: " + text + " ???\n";
}

// Sweeps with their exact cases: the P value written in each file.
TEST(SweepEdges, CasesUpToAndIncludingEndPlusHalfAStep) {
  struct {
    std::vector<std::string> sweep;
    std::vector<std::string> p;  // F10.4 of each case's value
  } cases[] = {
      // The last value exactly on END + STEP/2 belongs to the sweep.
      {{"0.", "0.5", "1."}, {"    0.0000", "    1.0000"}},
      {{"0.", "1.5", "1."}, {"    0.0000", "    1.0000", "    2.0000"}},
      {{"-1.", "-0.5", "1."}, {"   -1.0000", "    0.0000"}},
      {{"0.25", "1.", "0.5"}, {"    0.2500", "    0.7500", "    1.2500"}},
      // Just short of it, it does not.
      {{"0.", "0.4999", "1."}, {"    0.0000"}},
      {{"0.25", "0.9999", "0.5"}, {"    0.2500", "    0.7500"}},
      // A single case.
      {{"1.", "1.", "1."}, {"    1.0000"}},
      {{"5.", "5.", "0.5"}, {"    5.0000"}},
      {{"-2.", "-2.4", "1."}, {"   -2.0000"}},
      // Arguments of 11 and 12 characters, with and without a decimal point
      // (without one, the last four digits are decimals).
      {{"000000000.0", "0000000.500", "00000001.00"}, {"    0.0000", "    1.0000"}},
      {{"000000000.00", "00000000.500", "000000001.00"}, {"    0.0000", "    1.0000"}},
      {{"000000010000", "000000020000", "000000010000"}, {"    1.0000", "    2.0000"}},
      {{"-0000000.500", "0000000.5000", "1.0000000000"}, {"   -0.5000", "    0.5000"}},
  };
  for (const auto &c : cases) {
    TempDir dir;
    testkit::write_file(dir / "c.inp", kFrame1);
    std::vector<std::string> args = {"4", "c", "j"};
    args.insert(args.end(), c.sweep.begin(), c.sweep.end());
    const Outcome o = tavo(dir, args);
    const std::string label = c.sweep[0] + " " + c.sweep[1] + " " + c.sweep[2];
    EXPECT_EQ(o.status, 0) << label << ": " << o.out << o.err;
    EXPECT_EQ(o.out, kEcho + "c.inp\n") << label;
    const int n = static_cast<int>(c.p.size());
    EXPECT_EQ(testkit::list_dir(dir.path()), names_of("j", n, "c.inp")) << label;
    EXPECT_EQ(p_column(dir, "j", n), c.p) << label;
  }
}

// Where the case number gains a digit, and at the largest sweep: a manifest
// named like the last case of the sweep is refused before anything is
// written, so the name of case n and the count of cases are both checked
// without writing n files; named like the case after it, the sweep runs.
// (A control file named like a case would do the same, but a slip there
// makes the run copy the file onto itself for as long as it is let.)
TEST(SweepEdges, NamesAndCountsWhereTheCaseNumberGainsADigit) {
  // The first message is longer than a list-directed line, so it goes out
  // without the leading blank.
  const std::string clash = " ??? tavo: the manifest would overwrite the control file or a generated file ???\n";
  const std::string flood = "  ??? tavo: the sweep would write more than 9999 files ???\n";
  struct {
    std::string manifest;  // empty: none
    std::string end;       // the sweep is 1 .. end in steps of 1
    std::string refused;   // empty: the sweep runs
  } cases[] = {
      {"j1TAVO.inp", "1.", clash},
      {"j9TAVO.inp", "9.", clash},
      {"j10TAVO.inp", "9.", ""},
      {"j10TAVO.inp", "10.", clash},
      {"j99TAVO.inp", "99.", clash},
      {"j100TAVO.inp", "99.", ""},
      {"j100TAVO.inp", "100.", clash},
      {"j999TAVO.inp", "999.", clash},
      {"j1000TAVO.inp", "1000.", clash},
      {"j9999TAVO.inp", "9999.", clash},
      // The last case exactly on END + STEP/2 counts for the checks too.
      {"j9999TAVO.inp", "9998.5", clash},
      {"j2TAVO.inp", "1.5", clash},
      {"", "9999.5", flood},
      {"", "10000.", flood},
  };
  const std::string control = "T\nNROTOR\n 1\nSFRAME\n 1\nU\n 0 0 0 0 0 0\n";
  for (const auto &c : cases) {
    TempDir dir;
    testkit::write_file(dir / "c.inp", control);
    const Outcome o = tavo(dir, {"4", "c", "j", "1.", c.end, "1."}, c.manifest);
    const std::string label = "manifest " + c.manifest + ", 1 to " + c.end;
    if (!c.refused.empty()) {
      EXPECT_EQ(o.out, kEcho + "c.inp\n" + c.refused) << label;
      EXPECT_EQ(o.status, 2) << label;
      EXPECT_EQ(testkit::list_dir(dir.path()), std::vector<std::string>{"c.inp"}) << label;
    } else {
      EXPECT_EQ(o.status, 0) << label << ": " << o.out << o.err;
      std::vector<std::string> names = names_of("j", std::stoi(c.end), "c.inp");
      names.push_back(c.manifest);
      std::sort(names.begin(), names.end());
      EXPECT_EQ(testkit::list_dir(dir.path()), names) << label;
    }
    EXPECT_EQ(testkit::read_file(dir / "c.inp"), control) << label;
  }
}

// Arguments longer than 12 characters are refused wherever they stand.
TEST(SweepEdges, ThirteenCharacterArgumentsAreRefused) {
  const std::vector<std::string> sweeps[] = {
      {"0000000000.00", "1.", "1."},
      {"0.", "0000000001.00", "1."},
      {"0.", "1.", "0000000001.00"},
      {"0000000010000", "1.", "1."},
  };
  for (const auto &s : sweeps) {
    TempDir dir;
    testkit::write_file(dir / "c.inp", kFrame1);
    const Outcome o = tavo(dir, {"4", "c", "j", s[0], s[1], s[2]});
    EXPECT_EQ(o.out, refusal("c.inp", "a sweep value may have at most 12 characters")) << s[0] << " " << s[1];
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(testkit::list_dir(dir.path()), std::vector<std::string>{"c.inp"});
  }
}

// The rotor line with its repeat count in the first column: a count of
// entries of at least two means the line is read again for the units flag,
// which then picks the default half-width (flow speed 2: 1.6952 in foot
// units, 1.0000 otherwise).
TEST(SweepEdges, RepeatCountInTheFirstColumnOfTheRotorLine) {
  struct {
    std::string line;
    bool feet;
  } cases[] = {
      {"2*1", true},   {"3*1", true},  {"2*0", false},  {"1*0 1", true}, {"2*1,5", true},
      {"12*1", true},  {"1*1", false}, {"1*1,1", true}, {"9*1 ", true},  {"2*1 0", true},
      // A star just after a separator has an empty count: the entry before
      // it is not taken as its count.
      {"2 *1", false}, {"2,*1", false},
  };
  for (const auto &c : cases) {
    TempDir dir;
    const std::string head = "T\nNROTOR\n" + c.line + "\nSFRAME\n 1\nU\n";
    testkit::write_file(dir / "c.inp", head + " 2.0 0.0 0.0 0.0 0.0 0.0\n");
    const Outcome o = tavo(dir, {"1", "c"});
    EXPECT_EQ(o.status, 0) << '[' << c.line << "] " << o.err;
    std::string trimmed = c.line;
    while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
    EXPECT_EQ(file(dir, "job1TAVO.inp"), "T\nNROTOR\n" + trimmed + "\nSFRAME\n 1\nU\n" +
                                             row6(c.feet ? "    1.6952" : "    1.0000", Z, Z, Z, Z, Z))
        << '[' << c.line << ']';
  }
}

}  // namespace
