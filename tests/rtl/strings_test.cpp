// Command-line access and the character-value operations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtl/for_rtl.h"
#include "rtl/for_state.h"

namespace {

class Arguments : public ::testing::Test {
 protected:
  void capture(std::vector<std::string> args) {
    args_ = std::move(args);
    ptrs_.clear();
    for (auto &a : args_) ptrs_.push_back(a.data());
    ptrs_.push_back(nullptr);
    for__rtl.argc = static_cast<int32_t>(args_.size());
    for__rtl.argv = ptrs_.data();
  }
  void TearDown() override {
    for__rtl.argc = 0;
    for__rtl.argv = nullptr;
  }
  std::string get(int32_t k, int n, int32_t *status) {
    std::string buf(static_cast<size_t>(n), '#');
    for_getarg(&k, buf.data(), status, n);
    return buf;
  }
  std::vector<std::string> args_;
  std::vector<char *> ptrs_;
};

TEST_F(Arguments, CountsExcludeTheProgramName) {
  capture({"a.out", "1", "wing"});
  EXPECT_EQ(for_iargc(), 2);
  EXPECT_EQ(iargc_(), 2);
  EXPECT_EQ(iarg_(), 2);
  EXPECT_EQ(numarg_(), 2);
  EXPECT_EQ(for_nargs(), 3);
  EXPECT_EQ(nargs_(), 3);
}

TEST_F(Arguments, NothingCapturedMeansEveryNumberIsOutOfRange) {
  for__rtl.argc = 0;
  for__rtl.argv = nullptr;
  EXPECT_EQ(for_iargc(), -1);
  int32_t status = 99;
  EXPECT_EQ(get(0, 4, &status), "    ");
  EXPECT_EQ(status, -1);
}

TEST_F(Arguments, CopiesBlankFillsCutsAndReportsTheFullLength) {
  capture({"a.out", "1", "wing", std::string(50, 'x'), ""});
  int32_t status = 0;
  EXPECT_EQ(get(0, 8, &status), "a.out   ");
  EXPECT_EQ(status, 5);
  EXPECT_EQ(get(2, 6, &status), "wing  ");
  EXPECT_EQ(status, 4);
  EXPECT_EQ(get(3, 40, &status), std::string(40, 'x'));
  EXPECT_EQ(status, 50);
  EXPECT_EQ(get(4, 3, &status), "   ");  // an empty argument is all blanks
  EXPECT_EQ(status, 0);
  EXPECT_EQ(get(5, 3, &status), "   ");  // out of range
  EXPECT_EQ(status, -1);
  EXPECT_EQ(get(-1, 3, &status), "   ");
  EXPECT_EQ(status, -1);
  EXPECT_EQ(get(2, 4, nullptr), "wing");  // the status may be absent
}

TEST_F(Arguments, ZeroLengthBufferIsUntouchedButTheStatusIsSet) {
  capture({"a.out", "wing"});
  char guard = '#';
  int32_t status = 0, k = 1;
  for_getarg(&k, &guard, &status, 0);
  EXPECT_EQ(guard, '#');
  EXPECT_EQ(status, 4);
  for_getarg(&k, &guard, &status, -3);
  EXPECT_EQ(guard, '#');
}

TEST_F(Arguments, OnlyTheLow32BitsOfTheLengthCount) {
  capture({"a.out", "wing"});
  char buf[6];
  int32_t k = 1;
  for_getarg(&k, buf, nullptr, (int64_t{1} << 32) | 6);
  EXPECT_EQ(std::string(buf, 6), "wing  ");
}

TEST_F(Arguments, VariantsShareTheRules) {
  capture({"a.out", "wing", std::string(40000, 'y')});
  char buf[6];
  const int32_t one = 1;
  getarg_(&one, buf, 6);
  EXPECT_EQ(std::string(buf, 6), "wing  ");

  int16_t k16 = 1, s16 = 0;
  for_getarg_i2(&k16, buf, &s16, 6);
  EXPECT_EQ(s16, 4);
  k16 = 2;
  for_getarg_i2(&k16, buf, &s16, 6);
  EXPECT_EQ(s16, INT16_MAX);  // a length beyond 16 bits is capped, not wrapped

  int32_t k = 1, length = -5, status = -5;
  for_getcmd_arg(&k, buf, &length, &status, 6);
  EXPECT_EQ(length, 4);
  EXPECT_EQ(status, 0);
  k = 2;
  for_getcmd_arg(&k, buf, &length, &status, 6);
  EXPECT_EQ(length, 40000);
  EXPECT_EQ(status, -1);  // cut
  k = 3;
  for_getcmd_arg(&k, buf, &length, &status, 6);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(status, 1);  // out of range
  EXPECT_EQ(std::string(buf, 6), "      ");
  k = 1;
  for_getcmd_arg(&k, nullptr, &length, nullptr, 0);  // only the length asked for
  EXPECT_EQ(length, 4);
}

TEST(Assignment, PadsWithBlanksOrNulsAndCuts) {
  char t[6];
  for_cpystr(t, 6, "ab", 2, 0);
  EXPECT_EQ(std::string(t, 6), "ab    ");
  for_cpystr(t, 6, "ab", 2, 1);
  EXPECT_EQ(std::string(t, 6), std::string("ab\0\0\0\0", 6));
  for_cpystr(t, 6, "abcdefghi", 9, 0);
  EXPECT_EQ(std::string(t, 6), "abcdef");
  for_cpystr(t, 6, "", 0, 0);
  EXPECT_EQ(std::string(t, 6), "      ");
  for_cpystr(t, 0, "xyz", 3, 0);  // nothing to assign
  EXPECT_EQ(std::string(t, 6), "      ");
}

TEST(Assignment, OverlappingSourceAndTarget) {
  char s[] = "abcdefgh";
  for_cpystr(s + 2, 6, s, 6, 0);
  EXPECT_EQ(std::string(s, 8), "ababcdef");
  char u[] = "abcdefgh";
  for_cpystr(u, 6, u + 2, 6, 0);
  EXPECT_EQ(std::string(u, 8), "cdefghgh");
}

TEST(Comparison, BlankExtensionAndUnsignedBytes) {
  EXPECT_EQ(for_cpstr(" ", 1, "", 0, FOR_REL_EQ), 1);
  EXPECT_EQ(for_cpstr(",", 1, "", 0, FOR_REL_EQ), 0);
  EXPECT_EQ(for_cpstr("\t", 1, "", 0, FOR_REL_EQ), 0);
  EXPECT_EQ(for_cpstr(".INP", 4, ".inp", 4, FOR_REL_NE), 1);
  EXPECT_EQ(for_cpstr("abc", 3, "abc  ", 5, FOR_REL_EQ), 1);
  // A tail byte below the blank makes its value the smaller.
  EXPECT_EQ(for_cpstr("ab\t", 3, "ab", 2, FOR_REL_LT), 1);
  EXPECT_EQ(for_cpstr("ab", 2, "ab\t", 3, FOR_REL_GT), 1);
  EXPECT_EQ(for_cpstr("abx", 3, "ab", 2, FOR_REL_GT), 1);
  EXPECT_EQ(for_cpstr("\xe9", 1, "z", 1, FOR_REL_GT), 1);  // bytes compare unsigned
  EXPECT_EQ(for_cpstr("", 0, "", -4, FOR_REL_EQ), 1);
}

TEST(Comparison, EveryRelationCode) {
  struct {
    const char *a, *b;
    int gt, lt, eq, ne, ge, le;
  } cases[] = {
      {"b", "a", 1, 0, 0, 1, 1, 0},
      {"a", "b", 0, 1, 0, 1, 0, 1},
      {"a ", "a", 0, 0, 1, 0, 1, 1},
  };
  for (const auto &c : cases) {
    const int64_t na = static_cast<int64_t>(strlen(c.a)), nb = static_cast<int64_t>(strlen(c.b));
    EXPECT_EQ(for_cpstr(c.a, na, c.b, nb, FOR_REL_GT), c.gt);
    EXPECT_EQ(for_cpstr(c.a, na, c.b, nb, FOR_REL_LT), c.lt);
    EXPECT_EQ(for_cpstr(c.a, na, c.b, nb, FOR_REL_EQ), c.eq);
    EXPECT_EQ(for_cpstr(c.a, na, c.b, nb, FOR_REL_NE), c.ne);
    EXPECT_EQ(for_cpstr(c.a, na, c.b, nb, FOR_REL_GE), c.ge);
    EXPECT_EQ(for_cpstr(c.a, na, c.b, nb, FOR_REL_LE), c.le);
    EXPECT_EQ(for_cpstr_gt(c.a, na, c.b, nb), c.gt);
    EXPECT_EQ(for_cpstr_lt(c.a, na, c.b, nb), c.lt);
    EXPECT_EQ(for_cpstr_eq(c.a, na, c.b, nb), c.eq);
    EXPECT_EQ(for_cpstr_ne(c.a, na, c.b, nb), c.ne);
    EXPECT_EQ(for_cpstr_ge(c.a, na, c.b, nb), c.ge);
    EXPECT_EQ(for_cpstr_le(c.a, na, c.b, nb), c.le);
  }
}

// Values of one length up to 9 (the keyword tests of a program) that differ
// in one place only, at every place, under every relation.
TEST(Comparison, ShortValuesDifferingAtEveryPlace) {
  const char base[] = "SFRAMEXYZ";
  for (int64_t n = 0; n <= 9; ++n) {
    for (int64_t at = -1; at < n; ++at) {
      char other[10];
      memcpy(other, base, sizeof other);
      if (at >= 0) other[at] = static_cast<char>(base[at] + 1);
      const int c = n == 0 ? 0 : memcmp(base, other, static_cast<size_t>(n));
      EXPECT_EQ(for_cpstr(base, n, other, n, FOR_REL_EQ), c == 0) << n << " " << at;
      EXPECT_EQ(for_cpstr(base, n, other, n, FOR_REL_NE), c != 0) << n << " " << at;
      EXPECT_EQ(for_cpstr(base, n, other, n, FOR_REL_LT), c < 0) << n << " " << at;
      EXPECT_EQ(for_cpstr(other, n, base, n, FOR_REL_GT), c < 0) << n << " " << at;
    }
  }
}

TEST(Concatenation, CutsAtTheTargetOrBlankFills) {
  char name[40];
  const for_strpair parts[3] = {{"job", 3}, {"7", 1}, {"TAVO.inp", 8}};
  for_concat(parts, 3, name, 40);
  EXPECT_EQ(std::string(name, 40), "job7TAVO.inp" + std::string(28, ' '));
  char small[6];
  for_concat(parts, 3, small, 6);
  EXPECT_EQ(std::string(small, 6), "job7TA");
  char none[4] = {'#', '#', '#', '#'};
  for_concat(parts, 0, none, 4);
  EXPECT_EQ(std::string(none, 4), "####");
  const for_strpair empty[2] = {{"", 0}, {"", 0}};
  for_concat(empty, 2, small, 6);
  EXPECT_EQ(std::string(small, 6), "      ");
}

TEST(Concatenation, OverlapGoesThroughScratchSpace) {
  char s[16] = "abcdefgh";
  const for_strpair parts[2] = {{s + 4, 4}, {s, 4}};
  for_concat(parts, 2, s, 8);
  EXPECT_EQ(std::string(s, 8), "efghabcd");
  // Larger than the 256-byte local area.
  std::string big(1000, ' ');
  for (int i = 0; i < 1000; ++i) big[static_cast<size_t>(i)] = static_cast<char>('a' + i % 26);
  const std::string expect = big.substr(500) + big.substr(0, 500);
  const for_strpair halves[2] = {{big.data() + 500, 500}, {big.data(), 500}};
  for_concat(halves, 2, big.data(), 1000);
  EXPECT_EQ(big, expect);
}

}  // namespace
