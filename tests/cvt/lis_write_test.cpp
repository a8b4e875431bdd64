// List-directed WRITE through the entries, on real files and standard
// output: the leading blank, separators, wrapping and splitting, the empty
// statement, the numeric layouts (against the C library's digits) and the
// error paths.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cvt/lis_testing.h"
#include "tests/support/testkit.h"

using namespace listest;

namespace {

constexpr int32_t kUnit = 98;

class LisWrite : public ::testing::Test {
 protected:
  void SetUp() override { init_runtime(); }
  // Runs `body` with unit 98 connected to a new file; returns the file.
  template <class F>
  std::string output(F body, const std::vector<Keyword> &more = {}) {
    const std::string path = dir_ / "out.txt";
    EXPECT_EQ(open_unit(kUnit, path, "replace", more), 0);
    body();
    close_unit(kUnit);
    return testkit::read_file(path);
  }
  testkit::TempDir dir_;
};

TEST_F(LisWrite, CharacterItemsLeadingBlankAndSeparators) {
  const char *message = " ??? tavo requires only 3 entries or 4, 5 ahd 6 ???";
  int32_t five = 5;
  const std::string out = output([&] {
    EXPECT_EQ(write_list(kUnit, {chc(message)}), 0);
    EXPECT_EQ(write_list(kUnit, {chc("ab"), chc("cd ")}), 0);
    EXPECT_EQ(write_list(kUnit, {i4(&five), chc("abc")}), 0);
    EXPECT_EQ(write_list(kUnit, {chc("x="), i4(&five)}), 0);
    EXPECT_EQ(write_list(kUnit, {chc("")}), 0);
    EXPECT_EQ(write_list(kUnit, {}), 0);
  });
  EXPECT_EQ(out, std::string("  ??? tavo requires only 3 entries or 4, 5 ahd 6 ???\n") + " abcd \n" +
                     "           5 abc\n" + " x=           5\n" + " \n" + " \n");
}

TEST_F(LisWrite, WrappingAndSplittingAtTheLineWidth) {
  const std::string s79(79, 'a'), s80(80, 'b'), s81(81, 'c'), s50(50, 'd'), s200(200, 'e');
  const std::string out = output([&] {
    EXPECT_EQ(write_list(kUnit, {chc(s79.c_str())}), 0);
    EXPECT_EQ(write_list(kUnit, {chc(s80.c_str())}), 0);
    EXPECT_EQ(write_list(kUnit, {chc(s81.c_str())}), 0);
    EXPECT_EQ(write_list(kUnit, {chc(s50.c_str()), chc(s50.c_str())}), 0);
    EXPECT_EQ(write_list(kUnit, {chc(s200.c_str())}), 0);
  });
  const std::string want = " " + s79 + "\n" + s80 + "\n" + std::string(80, 'c') + "\n c\n" + " " + s50 + "\n " +
                           s50 + "\n" + std::string(80, 'e') + "\n" + std::string(80, 'e') + "\n " +
                           std::string(40, 'e') + "\n";
  EXPECT_EQ(out, want);

  // Numeric fields wrap whole: six I12 fields fill 72 of the 80 columns.
  int32_t v[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  const std::string ints = output([&] { EXPECT_EQ(write_list(kUnit, {array(FOR_TYPE_INTEGER4, v, 10)}), 0); });
  std::string w1, w2;
  char f[16];
  for (int k = 0; k < 10; ++k) {
    snprintf(f, sizeof f, "%12d", v[k]);
    (k < 6 ? w1 : w2) += f;
  }
  EXPECT_EQ(ints, w1 + "\n" + w2 + "\n");

  // A unit with RECL wraps at its record length.
  const std::string narrow = output([&] { EXPECT_EQ(write_list(kUnit, {chc("abcdefghij"), chc("klm")}), 0); },
                                    {{FOR_KW_RECL, "", 12}});
  EXPECT_EQ(narrow, " abcdefghij\n klm\n");
}

TEST_F(LisWrite, NoWrapMarginWidensTheLineToTheRecordLength) {
  const std::string s100(100, 'x');
  auto body = [&] { return write_list(-1, {chc(s100.c_str())}, FOR_OPTS_PROGRAM); };
  testkit::RunOptions wide;
  wide.env["FORT_FMT_NO_WRAP_MARGIN"] = "1";
  testkit::Outcome o = testkit::run_child(body, wide);
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, " " + s100 + "\n");
  testkit::RunOptions plain;
  plain.env["FORT_FMT_NO_WRAP_MARGIN"] = std::nullopt;
  o = testkit::run_child(body, plain);
  EXPECT_EQ(o.out, std::string(80, 'x') + "\n " + std::string(20, 'x') + "\n");
}

TEST_F(LisWrite, EmptyStatementNeedsTwoColumns) {
  const std::string out = output([&] { EXPECT_EQ(write_list(kUnit, {}), 66); }, {{FOR_KW_RECL, "", 1}});
  EXPECT_EQ(out, "");
}

TEST_F(LisWrite, NumericLayouts) {
  int32_t ints[] = {0, -2147483647 - 1, 2147483647};
  float reals[] = {1.0f, 0.1f, 1e10f, -123.456f, 1e-3f, 9999999.0f, 1e7f, 0.0f, -0.0f, 9.9999996f,
                   INFINITY, -INFINITY, NAN};
  double doubles[] = {1.0, 1e100, -2.5e-300, 0.1};
  int32_t logicals[] = {-1, 0};
  const std::string out = output([&] {
    for (int32_t &i : ints) EXPECT_EQ(write_list(kUnit, {i4(&i)}), 0);
    for (float &f : reals) EXPECT_EQ(write_list(kUnit, {r4(&f)}), 0);
    for (double &d : doubles) EXPECT_EQ(write_list(kUnit, {r8(&d)}), 0);
    EXPECT_EQ(write_list(kUnit, {array(FOR_TYPE_LOGICAL4, logicals, 2), chc("x")}), 0);
  });
  const char *want[] = {"           0",
                        " -2147483648",
                        "  2147483647",
                        "   1.000000    ",
                        "  0.1000000    ",
                        "  0.1000000E+11",
                        "  -123.4560    ",
                        "  0.1000000E-02",
                        "   9999999.    ",
                        "  0.1000000E+08",
                        "   0.000000    ",
                        "  -0.000000    ",
                        "   10.00000    ",
                        "       Infinity",
                        "      -Infinity",
                        "            NaN",
                        "   1.00000000000000     ",
                        "  0.100000000000000E+101",
                        " -0.250000000000000E-299",
                        "  0.100000000000000     ",
                        " T F x"};
  std::string expected;
  for (const char *w : want) expected += std::string(w) + "\n";
  EXPECT_EQ(out, expected);
}

// The digits of the G form against printf's correctly rounded %.*e, over
// random bit patterns; the text also reads back through the list-directed
// reader.
TEST_F(LisWrite, RealDigitsAgreeWithTheCLibraryAndReadBack) {
  std::mt19937_64 rng(20240611);
  constexpr int kCount = 4000;
  std::vector<float> f;
  std::vector<double> d;
  while (f.size() < kCount) {
    const uint32_t bits = static_cast<uint32_t>(rng());
    float v;
    memcpy(&v, &bits, 4);
    if (std::isfinite(v)) f.push_back(v);
  }
  while (d.size() < kCount) {
    const uint64_t bits = rng();
    double v;
    memcpy(&v, &bits, 8);
    if (std::isfinite(v)) d.push_back(v);
  }
  // Some moderate magnitudes, where the fixed form is used.
  for (int k = 0; k < 400; ++k) {
    f[k] = static_cast<float>(std::ldexp(static_cast<double>(rng() % 100000000), -static_cast<int>(rng() % 40)));
    d[k] = std::ldexp(static_cast<double>(rng() >> 11), -static_cast<int>(rng() % 80));
  }
  const std::string path = dir_ / "g.txt";
  ASSERT_EQ(open_unit(kUnit, path, "replace"), 0);
  ASSERT_EQ(write_list(kUnit, {array(FOR_TYPE_REAL4, f.data(), kCount)}), 0);
  ASSERT_EQ(write_list(kUnit, {array(FOR_TYPE_REAL8, d.data(), kCount)}), 0);
  close_unit(kUnit);

  std::istringstream in(testkit::read_file(path));
  std::vector<std::string> tokens;
  for (std::string t; in >> t;) tokens.push_back(t);
  ASSERT_EQ(tokens.size(), 2u * kCount);
  char ref[64];
  for (int k = 0; k < kCount; ++k) {
    snprintf(ref, sizeof ref, "%.6e", static_cast<double>(f[k]));
    EXPECT_EQ(strtod(tokens[k].c_str(), nullptr), strtod(ref, nullptr)) << tokens[k] << " vs " << ref;
    snprintf(ref, sizeof ref, "%.14e", d[k]);
    EXPECT_EQ(strtod(tokens[kCount + k].c_str(), nullptr), strtod(ref, nullptr))
        << tokens[kCount + k] << " vs " << ref;
  }

  ASSERT_EQ(open_unit(99, path), 0);
  std::vector<float> f2(kCount);
  std::vector<double> d2(kCount);
  ASSERT_EQ(read_list(99, {array(FOR_TYPE_REAL4, f2.data(), kCount)}), 0);
  ASSERT_EQ(read_list(99, {array(FOR_TYPE_REAL8, d2.data(), kCount)}), 0);
  close_unit(99);
  for (int k = 0; k < kCount; ++k) {
    EXPECT_EQ(d2[k], strtod(tokens[kCount + k].c_str(), nullptr)) << tokens[kCount + k];
    // The binary32 reader may differ from a correctly rounded one by one unit.
    const float want = strtof(tokens[k].c_str(), nullptr);
    EXPECT_LE(std::fabs(f2[k] - want), std::fabs(std::nextafter(want, INFINITY) - want)) << tokens[k];
  }
}

TEST_F(LisWrite, Errors) {
  int64_t wide = 5;
  const std::string out = output([&] {
    // A type without list-directed edit parameters.
    EXPECT_EQ(write_list(kUnit, {chc("before"), i8(&wide)}), 48);
    EXPECT_EQ(write_list(kUnit, {chc("after")}), 0);
  });
  EXPECT_EQ(out, " after\n");

  ASSERT_EQ(open_unit(97, "/dev/full", "old"), 0);
  EXPECT_EQ(write_list(97, {chc("lost")}), 38);
  close_unit(97);
}

}  // namespace
