// List-directed READ through the entries, on real files: separators, null
// values, repeats, slash, character, logical and complex constants, the
// numeric grammar, conversions by item type, end of file and BACKSPACE.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

#include "rtl/for_lub.h"
#include "tests/cvt/lis_testing.h"
#include "tests/support/testkit.h"

using namespace listest;

namespace {

constexpr int32_t kUnit = 99;

class LisRead : public ::testing::Test {
 protected:
  void SetUp() override { init_runtime(); }
  void TearDown() override {
    if (open_) close_unit(kUnit);
  }
  // Connects unit 99 to a file holding `content`.
  void file(const std::string &content) {
    if (open_) close_unit(kUnit);
    path_ = dir_ / "in.txt";
    testkit::write_file(path_, content);
    ASSERT_EQ(open_unit(kUnit, path_), 0);
    open_ = true;
  }
  testkit::TempDir dir_;
  std::string path_;
  bool open_ = false;
};

TEST_F(LisRead, ArraysAndSeparators) {
  const char *rows[] = {"0.0 0.0 -10.0\n", "3*0.0\n", "0.0, 0.0, -10.0\n", "0.0,0.0,-10.0\n",
                        "\t0.0\t0.0  \t-10.0 \r\n", "0.0 \r 0.0 \r\t-10.0\n"};
  for (const char *row : rows) {
    file(row);
    float v[3] = {7, 7, 7};
    EXPECT_EQ(read_list(kUnit, {array(FOR_TYPE_REAL4, v, 3)}), 0) << row;
    EXPECT_EQ(v[0], 0.0f) << row;
    EXPECT_EQ(v[1], 0.0f) << row;
    EXPECT_EQ(v[2], std::string(row).find("-10") != std::string::npos ? -10.0f : 0.0f) << row;
  }
}

TEST_F(LisRead, ValuesContinueAcrossRecordsAndTheRestIsDiscarded) {
  file("1\n\n   \n\t\n2\n1 2 3 4\n5\n");
  int32_t a = 0, b = 0;
  ASSERT_EQ(read_list(kUnit, {i4(&a), i4(&b)}), 0);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  ASSERT_EQ(read_list(kUnit, {i4(&a), i4(&b)}), 0);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  // 3 and 4 were left on their record; the next statement starts after it.
  ASSERT_EQ(read_list(kUnit, {i4(&a)}), 0);
  EXPECT_EQ(a, 5);
  EXPECT_EQ(read_list(kUnit, {i4(&a)}, kErrEnd), -1);
}

struct NullCase {
  const char *content;
  std::vector<int32_t> expect;  // -1: unchanged
};

TEST_F(LisRead, NullValuesInEveryPosition) {
  const NullCase cases[] = {
      {"1,,3\n", {1, -1, 3}},
      {",2\n", {-1, 2}},
      {"  ,2\n", {-1, 2}},
      {",,,\n", {-1, -1, -1}},
      {"2*\n", {-1, -1}},
      {"1 /\n", {1, -1, -1}},
      {"1, ,3\n", {1, -1, 3}},
      {"1,\t,3\n", {1, -1, 3}},
      {"1,\n,3\n", {1, -1, 3}},        // record ends with a comma, next starts with one
      {"1\n,3\n", {1, 3}},             // the comma only ends the previous value
      {"1\n\n,3\n", {1, -1, 3}},       // the record used up last held nothing
      {"\n,3\n", {-1, 3}},
      {"1,,\n,4\n", {1, -1, -1, 4}},
      {"2*,5\n", {-1, -1, 5}},
      {"2* ,5\n", {-1, -1, 5}},
      {"2*,,5\n", {-1, -1, -1, 5}},
      {"2*\n,5\n", {-1, -1, 5}},
      {"1 , 2 ,, 4\n", {1, 2, -1, 4}},
  };
  for (const NullCase &c : cases) {
    file(c.content);
    std::vector<int32_t> v(c.expect.size(), -1);
    std::vector<Item> items;
    for (int32_t &x : v) items.push_back(i4(&x));
    EXPECT_EQ(read_list(kUnit, items), 0) << c.content;
    EXPECT_EQ(v, c.expect) << c.content;
  }
}

TEST_F(LisRead, RepeatsAcrossItemsRecordsAndSlash) {
  file("3*7\n2*3\n4\n1 2*4\n9\n2*5/ 7\n3*/ 8\n4 2*\n");
  int32_t a = 0, b = 0, d = 0;
  float c = 0;
  ASSERT_EQ(read_list(kUnit, {i4(&a), i4(&b), r4(&c)}), 0);
  EXPECT_EQ(a, 7);
  EXPECT_EQ(b, 7);
  EXPECT_EQ(c, 7.0f);
  ASSERT_EQ(read_list(kUnit, {i4(&a), i4(&b), i4(&d)}), 0);
  EXPECT_EQ(a, 3);
  EXPECT_EQ(b, 3);
  EXPECT_EQ(d, 4);
  int32_t v[4] = {};
  ASSERT_EQ(read_list(kUnit, {array(FOR_TYPE_INTEGER4, v, 2), array(FOR_TYPE_INTEGER4, v + 2, 2)}), 0);
  EXPECT_EQ(v[0], 1);
  EXPECT_EQ(v[1], 4);
  EXPECT_EQ(v[2], 4);
  EXPECT_EQ(v[3], 9);
  int32_t w[4] = {-1, -1, -1, -1};
  ASSERT_EQ(read_list(kUnit, {i4(&w[0]), i4(&w[1]), i4(&w[2]), i4(&w[3])}), 0);
  EXPECT_EQ(w[0], 5);
  EXPECT_EQ(w[1], 5);
  EXPECT_EQ(w[2], -1);
  EXPECT_EQ(w[3], -1);
  int32_t x[4] = {-1, -1, -1, -1};
  ASSERT_EQ(read_list(kUnit, {array(FOR_TYPE_INTEGER4, x, 4)}), 0);
  EXPECT_EQ(x[0], -1);
  EXPECT_EQ(x[3], -1);
  // A pending repeat does not outlive its statement.
  int32_t y[2] = {-1, -1};
  ASSERT_EQ(read_list(kUnit, {i4(&y[0])}), 0);
  EXPECT_EQ(y[0], 4);
}

TEST_F(LisRead, RepeatCountsMustBePositiveIntegers) {
  const char *bad[] = {"0*5\n", "-1*5\n", "*5\n", "1.5*2\n", "x*2\n", "2*3*4\n", "99999999999*1\n", "2**\n"};
  for (const char *b : bad) {
    file(b);
    int32_t v[3] = {};
    EXPECT_EQ(read_list(kUnit, {array(FOR_TYPE_INTEGER4, v, 3)}), 59) << b;
  }
}

TEST_F(LisRead, CharacterConstants) {
  file("'ab''c' \"x\"\"y\" 'split\nacross' 'toolongvalue' 'a,b/c'\n'x'y\n");
  char a[6], b[3], c[11], d[4], e[5];
  ASSERT_EQ(read_list(kUnit, {ch(a, 6), ch(b, 3), ch(c, 11), ch(d, 4), ch(e, 5)}), 0);
  EXPECT_EQ(std::string(a, 6), "ab'c  ");
  EXPECT_EQ(std::string(b, 3), "x\"y");
  EXPECT_EQ(std::string(c, 11), "splitacross");
  EXPECT_EQ(std::string(d, 4), "tool");
  EXPECT_EQ(std::string(e, 5), "a,b/c");
  EXPECT_EQ(read_list(kUnit, {ch(a, 6)}), 59);  // no separator after the constant

  file("'" + std::string(2048, 'q') + "'\n'" + std::string(2049, 'q') + "'\n");
  std::string big(2048, ' ');
  ASSERT_EQ(read_list(kUnit, {ch(big.data(), 2048)}), 0);
  EXPECT_EQ(big, std::string(2048, 'q'));
  EXPECT_EQ(read_list(kUnit, {ch(big.data(), 2048)}), 59);

  file("'abc' 2*'de'\n");
  int32_t n = 3;
  EXPECT_EQ(read_list(kUnit, {i4(&n)}), 64);
  EXPECT_EQ(n, 3);
}

TEST_F(LisRead, LogicalValuesAndStrictTyping) {
  file("T .FALSE. t .t. F\n");
  int32_t l[5] = {9, 9, 9, 9, 9};
  ASSERT_EQ(read_list(kUnit, {array(FOR_TYPE_LOGICAL4, l, 5)}), 0);
  EXPECT_EQ(l[0], -1);
  EXPECT_EQ(l[1], 0);
  EXPECT_EQ(l[2], -1);
  EXPECT_EQ(l[3], -1);
  EXPECT_EQ(l[4], 0);

  const uint64_t loose = FOR_OPT_ERR;  // upper half not valid: no strict typing
  struct Case {
    const char *content;
    Item item;
    uint64_t options;
    int32_t status;
  };
  float f = 1.5f;
  int32_t i = 3, lg = 0;
  const Case cases[] = {
      {"T\n", r4(&f), kErr, 64},   {"F\n", i4(&i), kErr, 64},   {"5\n", l4(&lg), kErr, 64},
      {"T\n", r4(&f), loose, 64},  {".T.\n", i4(&i), loose, 0}, {"5\n", l4(&lg), loose, 0},
      {"1.5\n", l4(&lg), loose, 64},
  };
  for (const Case &c : cases) {
    file(c.content);
    EXPECT_EQ(read_list(kUnit, {c.item}, c.options), c.status) << c.content;
  }
  EXPECT_EQ(f, 1.5f);
  EXPECT_EQ(i, -1);
  EXPECT_EQ(lg, 5);
}

TEST_F(LisRead, ComplexConstantsAreRecognisedButFitNoItem) {
  struct Case {
    const char *content;
    int32_t status;
  };
  const Case cases[] = {{"(1.0, 2.0)\n", 64}, {"( 1.0 ,\n\n 2.0 )\n", 64}, {"2*(1,2)\n", 64}, {")\n", 59},
                        {"1 )\n", 59},         {"(1.0 2.0)\n", 59},        {"(1.0,2.0 x)\n", 59}, {"(T,1)\n", 59},
                        {"(1,2\n)\n", 64}};
  for (const Case &c : cases) {
    file(c.content);
    float v[2] = {3, 3};
    EXPECT_EQ(read_list(kUnit, {array(FOR_TYPE_REAL4, v, 2)}), c.status) << c.content;
  }
  file("(1,2\n");
  float f;
  EXPECT_EQ(read_list(kUnit, {r4(&f)}, kErrEnd), -1);  // the constant never closes
}

TEST_F(LisRead, MalformedNumericFields) {
  const char *bad[] = {"+\n",     ".\n",    "1.0E+\n",   "E\n",     "E5\n",    "1.0x\n",  "abc\n",
                       "\x80\n",  "1\xC3\xA9\n", "1.0\r 2\n", "1.0E\n", "1..0\n",  "--1\n",   "1+\n",
                       "+-1\n",   "1E5.0\n", "1-2-3\n",  ".E5\n",   "INFX\n",  "NAN(a-b)\n", "NANA\n"};
  for (const char *b : bad) {
    file(b);
    float f = 2.5f;
    EXPECT_EQ(read_list(kUnit, {r4(&f)}), 59) << b;
    EXPECT_EQ(f, 2.5f) << b;
  }
  // A carriage return after a blank is a blank.
  file("1.0 \r\r\n");
  float f = 0;
  EXPECT_EQ(read_list(kUnit, {r4(&f)}), 0);
  EXPECT_EQ(f, 1.0f);
}

TEST_F(LisRead, NumericFieldsIntoEachType) {
  file("2.7 -2.7 1E3 2147483647 -2147483648 1E10 -3E9 1.0 +5 1-2\n");
  int32_t v[10] = {};
  ASSERT_EQ(read_list(kUnit, {array(FOR_TYPE_INTEGER4, v, 10)}), 0);
  const int32_t want[10] = {2, -2, 1000, INT_MAX, INT_MIN, INT_MIN, INT_MIN, 1, 5, 0};
  for (int k = 0; k < 10; ++k) EXPECT_EQ(v[k], want[k]) << k;

  file("5 -0.5 1.5E-3 3.4028235E38 1E-46 inf -Infinity NaN NaN(q1) 1D2 1q2 1.0+5 .5\n");
  float f[13] = {};
  ASSERT_EQ(read_list(kUnit, {array(FOR_TYPE_REAL4, f, 13)}), 0);
  EXPECT_EQ(f[0], 5.0f);
  EXPECT_EQ(f[1], -0.5f);
  EXPECT_EQ(f[2], 1.5e-3f);
  EXPECT_EQ(f[3], 3.4028235e38f);
  EXPECT_EQ(f[4], 0.0f);
  EXPECT_TRUE(std::isinf(f[5]) && f[5] > 0);
  EXPECT_TRUE(std::isinf(f[6]) && f[6] < 0);
  EXPECT_TRUE(std::isnan(f[7]));
  EXPECT_TRUE(std::isnan(f[8]));
  EXPECT_EQ(f[9], 100.0f);
  EXPECT_EQ(f[10], 100.0f);
  EXPECT_EQ(f[11], 1e5f);
  EXPECT_EQ(f[12], 0.5f);

  file("0.1 1E308 9223372036854775807 -9223372036854775808 1E19 2.5\n");
  double d[2];
  int64_t q[4];
  ASSERT_EQ(read_list(kUnit, {array(FOR_TYPE_REAL8, d, 2), array(FOR_TYPE_INTEGER8, q, 4)}), 0);
  EXPECT_EQ(d[0], 0.1);
  EXPECT_EQ(d[1], 1e308);
  EXPECT_EQ(q[0], INT64_MAX);
  EXPECT_EQ(q[1], INT64_MIN);
  EXPECT_EQ(q[2], INT64_MIN);
  EXPECT_EQ(q[3], 2);

  struct Case {
    const char *content;
    Item item;
  };
  int32_t i = 11;
  float r = 1.25f;
  double x = 2.5;
  const Case overflow[] = {{"2147483648\n", i4(&i)}, {"-2147483649\n", i4(&i)}, {"INF\n", i4(&i)},
                           {"1E39\n", r4(&r)},        {"-1E39\n", r4(&r)},       {"1E309\n", r8(&x)}};
  for (const Case &c : overflow) {
    file(c.content);
    EXPECT_EQ(read_list(kUnit, {c.item}), 64) << c.content;
  }
  EXPECT_EQ(i, 11);
  EXPECT_EQ(r, 1.25f);
  EXPECT_EQ(x, 2.5);
}

TEST_F(LisRead, ItemsConvertedBeforeAnErrorKeepTheirValues) {
  file("1 2 x 4\n");
  int32_t v[4] = {0, 0, 0, 0};
  EXPECT_EQ(read_list(kUnit, {array(FOR_TYPE_INTEGER4, v, 4)}), 59);
  EXPECT_EQ(v[0], 1);
  EXPECT_EQ(v[1], 2);
  EXPECT_EQ(v[2], 0);
  // The unit is free again after the error.
  file("8\n");
  EXPECT_EQ(read_list(kUnit, {i4(&v[0])}), 0);
  EXPECT_EQ(v[0], 8);
}

TEST_F(LisRead, EndOfFile) {
  file("1 2\n");
  int32_t a = 0, b = 0, c = 0;
  EXPECT_EQ(read_list(kUnit, {i4(&a), i4(&b), i4(&c)}, kErrEnd), -1);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(read_list(kUnit, {i4(&a)}, kErrEnd), -1);  // at statement start

  file("7 8");  // the last line has no line feed: still a record
  ASSERT_EQ(read_list(kUnit, {i4(&a), i4(&b)}), 0);
  EXPECT_EQ(b, 8);

  file("1\n2\n");
  const std::string path = path_;
  const testkit::Outcome o = testkit::run_child([] {
    int32_t x[3];
    read_list(kUnit, {array(FOR_TYPE_INTEGER4, x, 3)}, FOR_OPTS_PROGRAM);
    return 0;
  });
  EXPECT_EQ(o.status, 24);
  EXPECT_NE(o.err.find("forrtl: severe (24): end-of-file during read, unit 99, file " + path), std::string::npos)
      << o.err;
}

TEST_F(LisRead, DiagnosticsOfMalformedValues) {
  file("1.0x\n");
  std::string path = path_;
  testkit::Outcome o = testkit::run_child([] {
    float f;
    read_list(kUnit, {r4(&f)}, FOR_OPTS_PROGRAM);
    return 0;
  });
  EXPECT_EQ(o.status, 59);
  EXPECT_NE(o.err.find("forrtl: severe (59): list-directed I/O syntax error, unit 99, file " + path),
            std::string::npos)
      << o.err;
  file("T\n");
  o = testkit::run_child([] {
    float f;
    read_list(kUnit, {r4(&f)}, FOR_OPTS_PROGRAM);
    return 0;
  });
  EXPECT_EQ(o.status, 64);
  EXPECT_NE(o.err.find("forrtl: severe (64): input conversion error, unit 99, file " + path_), std::string::npos)
      << o.err;
}

TEST_F(LisRead, BackspaceStepsBackOverTheRecordRead) {
  file("1 2\n3 4\n");
  int32_t a = 0, b = 0;
  ASSERT_EQ(read_list(kUnit, {i4(&a)}), 0);
  EXPECT_EQ(a, 1);
  for_stmt_block blk;
  blk.word[0] = 0;
  ASSERT_EQ(for_backspace(&blk, kUnit, kErr), 0);
  ASSERT_EQ(read_list(kUnit, {i4(&a), i4(&b)}), 0);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  // A value search that crossed into the second record leaves that one current.
  file("1\n2 3\n4\n");
  ASSERT_EQ(read_list(kUnit, {i4(&a), i4(&b)}), 0);
  ASSERT_EQ(for_backspace(&blk, kUnit, kErr), 0);
  ASSERT_EQ(read_list(kUnit, {i4(&a), i4(&b)}), 0);
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, 3);
}

TEST_F(LisRead, UnitConnections) {
  // OPEN connects no unformatted, keyed or direct units; the checks of the
  // statement still hold for a unit block that says so.
  const std::string path = dir_ / "u.txt";
  testkit::write_file(path, "1\n1\n1\n1\n");
  ASSERT_EQ(open_unit(40, path), 0);
  for_lub *lub = for__find_lub(40);
  ASSERT_NE(lub, nullptr);
  int32_t a = 0;
  lub->form = FOR_FORM_UNFORMATTED;
  EXPECT_EQ(read_list(40, {i4(&a)}), 257);
  lub->form = FOR_FORM_FORMATTED;
  lub->access = FOR_ACC_KEYED;
  EXPECT_EQ(read_list(40, {i4(&a)}), 258);
  lub->access = FOR_ACC_DIRECT;
  EXPECT_EQ(read_list(40, {i4(&a)}), 259);
  lub->access = FOR_ACC_SEQUENTIAL;
  EXPECT_EQ(read_list(40, {i4(&a)}), 0);
  EXPECT_EQ(a, 1);
  close_unit(40);
  // A unit used before any OPEN is connected by default (FORTn names its file).
  testkit::RunOptions env;
  env.env["FORT77"] = path;
  const testkit::Outcome o = testkit::run_child(
      [] {
        int32_t v = 0;
        return read_list(77, {i4(&v)}) == 0 && v == 1 ? 0 : 1;
      },
      env);
  EXPECT_EQ(o.status, 0) << o.err;
}

TEST_F(LisRead, ItemCallOutsideAStatementIsRefused) {
  const testkit::Outcome o = testkit::run_child([] {
    for_stmt_block b;
    b.word[0] = 0;
    int32_t v;
    const uint8_t desc[] = {FOR_TYPE_INTEGER4, FOR_PASS_ADDRESS, FOR_DESC_END, 0};
    uint64_t slot = reinterpret_cast<uint64_t>(&v);
    for_read_seq_lis_xmit(&b, desc, &slot);
    return 0;
  });
  EXPECT_EQ(o.status, 48);
}

}  // namespace
