// Integer text conversion: I-field output and input, signed and unsigned,
// 32- and 64-bit, checked against fixed cases and against the C library.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "fmt/cvt_int.h"

namespace {

constexpr char kGuard = '#';

struct Out {
  std::string text;
  int status;
};

// Converts into a field surrounded by guard bytes and checks that nothing
// outside the w characters was touched.
template <class F>
Out edit(int32_t w, F &&convert) {
  int32_t room = w > 0 ? w : 0;
  std::vector<char> buf((size_t)room + 32, kGuard);
  int status = convert(buf.data() + 16);
  for (size_t i = 0; i < 16; ++i) {
    EXPECT_EQ(buf[i], kGuard) << "write before the field";
    EXPECT_EQ(buf[16 + (size_t)room + i], kGuard) << "write after the field";
  }
  return {std::string(buf.data() + 16, (size_t)room), status};
}

Out itext(int32_t v, int32_t w, int32_t m = 1, uint32_t opt = 0) {
  return edit(w, [&](char *f) { return cvt_integer_to_text(v, w, m, opt, f); });
}
Out itext64(int64_t v, int32_t w, int32_t m = 1, uint32_t opt = 0) {
  return edit(w, [&](char *f) { return cvt_integer64_to_text(v, w, m, opt, f); });
}
Out utext(uint32_t v, int32_t w, int32_t radix, int32_t m = 1) {
  return edit(w, [&](char *f) { return cvt_unsigned_to_text(v, w, radix, m, f); });
}
Out utext64(uint64_t v, int32_t w, int32_t radix, int32_t m = 1) {
  return edit(w, [&](char *f) { return cvt_unsigned64_to_text(v, w, radix, m, f); });
}

// Reads exactly text.size() bytes from a heap block of that size, so that a
// read past the field is caught by the address sanitizer.
template <class T, class F>
std::pair<T, int> scan(const std::string &text, F &&convert) {
  std::vector<char> exact(text.begin(), text.end());
  T result = (T)12345;
  int status = convert(exact.data(), (int32_t)exact.size(), &result);
  return {result, status};
}
std::pair<int32_t, int> read32(const std::string &t, uint32_t opt = CVT_INT_BLANK_NULL) {
  return scan<int32_t>(t, [&](const char *f, int32_t w, int32_t *r) { return cvt_text_to_integer(f, w, opt, r); });
}
std::pair<int64_t, int> read64(const std::string &t, uint32_t opt = CVT_INT_BLANK_NULL) {
  return scan<int64_t>(t,
                       [&](const char *f, int32_t w, int64_t *r) { return cvt_text_to_integer64(f, w, opt, r); });
}
std::pair<uint32_t, int> readu32(const std::string &t, int32_t radix, uint32_t opt = CVT_INT_BLANK_NULL) {
  return scan<uint32_t>(
      t, [&](const char *f, int32_t w, uint32_t *r) { return cvt_text_to_unsigned(f, w, radix, opt, r); });
}
std::pair<uint64_t, int> readu64(const std::string &t, int32_t radix, uint32_t opt = CVT_INT_BLANK_NULL) {
  return scan<uint64_t>(
      t, [&](const char *f, int32_t w, uint64_t *r) { return cvt_text_to_unsigned64(f, w, radix, opt, r); });
}

// ---- Output -------------------------------------------------------------

TEST(IntegerToText, TableExamples) {
  EXPECT_EQ(itext(7, 3).text, "  7");
  EXPECT_EQ(itext(-12, 3).text, "-12");
  EXPECT_EQ(itext(999, 3).text, "999");
  Out big = itext(1000, 3);
  EXPECT_EQ(big.text, "***");
  EXPECT_EQ(big.status, CVT_INT_OVERFLOW);
  EXPECT_EQ(itext(-100, 3).text, "***");
  EXPECT_EQ(itext(0, 2, 1).text, " 0");
  EXPECT_EQ(itext(0, 2, 0).text, "  ");
  EXPECT_EQ(itext(0, 2, 0).status, CVT_INT_OK);
}

TEST(IntegerToText, CaseNumberFieldsFillExactly) {
  for (int v = 1; v <= 999; ++v) {
    int w = v < 10 ? 1 : v < 100 ? 2 : 3;
    Out o = itext(v, w);
    EXPECT_EQ(o.text, std::to_string(v));
    EXPECT_EQ(o.status, CVT_INT_OK);
  }
  Out ten = itext(10, 1);
  EXPECT_EQ(ten.text, "*");
  EXPECT_EQ(ten.status, CVT_INT_OVERFLOW);
}

TEST(IntegerToText, MinimumDigitsAndSigns) {
  EXPECT_EQ(itext(7, 4, 3).text, " 007");
  EXPECT_EQ(itext(-7, 4, 3).text, "-007");
  EXPECT_EQ(itext(-7, 3, 3).text, "***");
  EXPECT_EQ(itext(5, 3, 4).text, "***");  // m wider than the field
  EXPECT_EQ(itext(0, 5, 3).text, "  000");
  EXPECT_EQ(itext(5, 3, 1, CVT_INT_PLUS).text, " +5");
  EXPECT_EQ(itext(5, 1, 1, CVT_INT_PLUS).text, "*");
  EXPECT_EQ(itext(0, 3, 1, CVT_INT_PLUS).text, " +0");
  Out plus_zero = itext(0, 3, 0, CVT_INT_PLUS);  // the sign goes with the digits
  EXPECT_EQ(plus_zero.text, "   ");
  EXPECT_EQ(plus_zero.status, CVT_INT_OK);
  EXPECT_EQ(itext(-5, 3, 0).text, " -5");
}

TEST(IntegerToText, StatusesAndTheirOrder) {
  // w = 0 succeeds without writing, even with arguments that are otherwise
  // refused.
  EXPECT_EQ(itext(123456, 0).status, CVT_INT_OK);
  EXPECT_EQ(itext(1, 0, -1, 99).status, CVT_INT_OK);
  EXPECT_EQ(utext(1, 0, 99).status, CVT_INT_OK);
  // Refused calls leave the field alone.
  Out neg_w = edit(4, [](char *f) { return cvt_integer_to_text(1, -4, 1, 0, f); });
  EXPECT_EQ(neg_w.status, CVT_INT_NEGATIVE);
  EXPECT_EQ(neg_w.text, "####");
  Out neg_m = itext(1, 4, -1);
  EXPECT_EQ(neg_m.status, CVT_INT_NEGATIVE);
  EXPECT_EQ(neg_m.text, "####");
  Out opt = itext(1, 4, 1, 17);
  EXPECT_EQ(opt.status, CVT_INT_BAD_OPTION);
  EXPECT_EQ(opt.text, "####");
  EXPECT_EQ(itext(1, 4, -1, 17).status, CVT_INT_NEGATIVE);
  for (uint32_t o = 0; o <= 16; ++o) EXPECT_EQ(itext(1, 4, 1, o).status, CVT_INT_OK) << o;
  EXPECT_EQ(itext(1, 4, 1, 15).text, "   1");
  Out radix = utext(1, 4, 17);
  EXPECT_EQ(radix.status, CVT_INT_BAD_RADIX);
  EXPECT_EQ(radix.text, "####");
  EXPECT_EQ(utext(1, 4, 1).status, CVT_INT_BAD_RADIX);
  EXPECT_EQ(utext(1, -1, 1).status, CVT_INT_NEGATIVE);
}

TEST(IntegerToText, ExtremeValues) {
  EXPECT_EQ(itext(INT32_MIN, 11).text, "-2147483648");
  EXPECT_EQ(itext(INT32_MIN, 10).text, "**********");
  EXPECT_EQ(itext(INT32_MAX, 10).text, "2147483647");
  EXPECT_EQ(itext64(INT64_MIN, 20).text, "-9223372036854775808");
  EXPECT_EQ(itext64(INT64_MAX, 20, 1, CVT_INT_PLUS).text, "+9223372036854775807");
  EXPECT_EQ(itext64(INT64_MIN, 19).status, CVT_INT_OVERFLOW);
  EXPECT_EQ(utext64(UINT64_MAX, 20, 10).text, "18446744073709551615");
  EXPECT_EQ(utext64(UINT64_MAX, 64, 2).text, std::string(64, '1'));
  EXPECT_EQ(utext64(UINT64_MAX, 63, 2).text, std::string(63, '*'));
  EXPECT_EQ(utext(UINT32_MAX, 8, 16).text, "FFFFFFFF");
}

// Wide fields cross the block sizes of the fill; compare with printf.
TEST(IntegerToText, WideFieldsMatchPrintf) {
  std::mt19937 rng(7);
  for (int32_t w = 1; w <= 300; ++w) {
    for (int32_t m : {0, 1, 5, 15, 16, 17, 40, 96, 97, 150}) {
      int32_t v = (int32_t)rng() >> (rng() % 32);
      for (int64_t value : {(int64_t)v, (int64_t)-v, (int64_t)0}) {
        char want[512];
        int n = snprintf(want, sizeof want, "%*.*lld", w, m, (long long)value);
        Out o = itext64(value, w, m);
        if (n > w) {
          EXPECT_EQ(o.text, std::string((size_t)w, '*')) << w << " " << m << " " << value;
          EXPECT_EQ(o.status, CVT_INT_OVERFLOW);
        } else {
          EXPECT_EQ(o.text, want) << w << " " << m << " " << value;
          EXPECT_EQ(o.status, CVT_INT_OK);
        }
      }
    }
  }
}

TEST(IntegerToText, RandomValuesMatchPrintf) {
  std::mt19937_64 rng(11);
  for (int i = 0; i < 20000; ++i) {
    int64_t v64 = (int64_t)(rng() >> (rng() % 64));
    if (rng() & 1) v64 = -v64;
    int32_t v32 = (int32_t)v64;
    int32_t w = (int32_t)(rng() % 24) + 1;
    int32_t m = (int32_t)(rng() % 12);
    bool plus = (rng() & 1) != 0 && !(m == 0);
    char want[64];
    int n = snprintf(want, sizeof want, plus ? "%+*.*d" : "%*.*d", w, m, v32);
    Out o = itext(v32, w, m, plus ? CVT_INT_PLUS : 0);
    EXPECT_EQ(o.text, n > w ? std::string((size_t)w, '*') : std::string(want)) << v32 << " " << w << " " << m;
    n = snprintf(want, sizeof want, plus ? "%+*.*lld" : "%*.*lld", w, m, (long long)v64);
    o = itext64(v64, w, m, plus ? CVT_INT_PLUS : 0);
    EXPECT_EQ(o.text, n > w ? std::string((size_t)w, '*') : std::string(want)) << v64 << " " << w << " " << m;
  }
}

TEST(IntegerToText, UnsignedRadixes) {
  EXPECT_EQ(utext(255, 4, 16).text, "  FF");
  EXPECT_EQ(utext(8, 3, 8).text, " 10");
  EXPECT_EQ(utext(5, 5, 2, 4).text, " 0101");
  EXPECT_EQ(utext(0, 3, 16, 0).text, "   ");
  EXPECT_EQ(utext(0, 3, 2).text, "  0");
  EXPECT_EQ(utext(35, 3, 3).text, "***");  // 35 is 1022 in radix 3
  EXPECT_EQ(utext(35, 4, 3).text, "1022");
  // Every radix round-trips through strtoull.
  std::mt19937_64 rng(5);
  for (int32_t radix = 2; radix <= 16; ++radix) {
    for (int i = 0; i < 500; ++i) {
      uint64_t v = rng() >> (rng() % 64);
      Out o = utext64(v, 70, radix);
      ASSERT_EQ(o.status, CVT_INT_OK);
      EXPECT_EQ(strtoull(o.text.c_str(), nullptr, radix), v) << radix << " " << o.text;
      EXPECT_EQ(o.text.find_first_of("abcdef"), std::string::npos);
      Out o32 = utext((uint32_t)v, 40, radix);
      EXPECT_EQ(strtoull(o32.text.c_str(), nullptr, radix), (uint32_t)v);
    }
  }
}

// ---- Input --------------------------------------------------------------

TEST(TextToInteger, TableExamples) {
  EXPECT_EQ(read32("     5"), std::make_pair(5, CVT_INT_OK));
  EXPECT_EQ(read32("  1 2 "), std::make_pair(12, CVT_INT_OK));
  EXPECT_EQ(read32("  1 2 ", CVT_INT_BLANK_ZERO), std::make_pair(1020, CVT_INT_OK));
  EXPECT_EQ(read32("-7    "), std::make_pair(-7, CVT_INT_OK));
  EXPECT_EQ(read32("      "), std::make_pair(0, CVT_INT_OK));
  EXPECT_EQ(read32("12a   "), std::make_pair(0, CVT_INT_INVALID));
  EXPECT_EQ(read32("2147483648"), std::make_pair(0, CVT_INT_RANGE));
  EXPECT_EQ(read32("-2147483648"), std::make_pair(INT32_MIN, CVT_INT_OK));
}

TEST(TextToInteger, EmptyAndSignOnlyFields) {
  EXPECT_EQ(read32(""), std::make_pair(0, CVT_INT_OK));
  EXPECT_EQ(read32("+"), std::make_pair(0, CVT_INT_OK));
  EXPECT_EQ(read32("  -   "), std::make_pair(0, CVT_INT_OK));
  EXPECT_EQ(read32("- 5", 0), std::make_pair(-5, CVT_INT_OK));
  EXPECT_EQ(read32("+-5"), std::make_pair(0, CVT_INT_INVALID));
  EXPECT_EQ(read32("5-"), std::make_pair(0, CVT_INT_INVALID));
}

TEST(TextToInteger, BlanksTabsUnderscores) {
  // Without blank-null or blank-zero a blank after the digits is invalid.
  EXPECT_EQ(read32("5 ", 0), std::make_pair(0, CVT_INT_INVALID));
  EXPECT_EQ(read32("  5", 0), std::make_pair(5, CVT_INT_OK));
  // Blank-zero wins over blank-null.
  EXPECT_EQ(read32("1 ", CVT_INT_BLANK_NULL | CVT_INT_BLANK_ZERO), std::make_pair(10, CVT_INT_OK));
  EXPECT_EQ(read32("-1 ", CVT_INT_BLANK_ZERO), std::make_pair(-10, CVT_INT_OK));
  // Tabs: invalid unless bit 0, anywhere.
  EXPECT_EQ(read32("1\t2"), std::make_pair(0, CVT_INT_INVALID));
  EXPECT_EQ(read32("\t12"), std::make_pair(0, CVT_INT_INVALID));
  EXPECT_EQ(read32("\t1\t2", CVT_INT_TAB_BLANK), std::make_pair(12, CVT_INT_OK));
  EXPECT_EQ(read32("-\t7", CVT_INT_TAB_BLANK), std::make_pair(-7, CVT_INT_OK));
  // Underscores only with bit 4.
  EXPECT_EQ(read32("1_000"), std::make_pair(0, CVT_INT_INVALID));
  EXPECT_EQ(read32("1_000", CVT_INT_UNDERSCORE), std::make_pair(1000, CVT_INT_OK));
  EXPECT_EQ(read32("1_0 0", CVT_INT_UNDERSCORE | CVT_INT_BLANK_ZERO), std::make_pair(1000, CVT_INT_OK));
}

TEST(TextToInteger, StatusesStoreZero) {
  auto r = scan<int32_t>("5", [](const char *f, int32_t, int32_t *out) { return cvt_text_to_integer(f, -1, 2, out); });
  EXPECT_EQ(r, std::make_pair(0, CVT_INT_NEGATIVE));
  for (uint32_t bit = 0; bit < 32; ++bit) {
    uint32_t opt = 1u << bit;
    bool known = opt == 1 || opt == 2 || opt == 16 || opt == 64 || opt == 8192;
    EXPECT_EQ(read32("5", opt), std::make_pair(known ? 5 : 0, known ? CVT_INT_OK : CVT_INT_BAD_OPTION)) << opt;
  }
  EXPECT_EQ(readu32("5", 1), std::make_pair(0u, CVT_INT_BAD_RADIX));
  EXPECT_EQ(readu32("5", 17), std::make_pair(0u, CVT_INT_BAD_RADIX));
  // Only w bytes are read: what follows the field does not matter.
  int32_t v = 1;
  EXPECT_EQ(cvt_text_to_integer("12x", 2, 2, &v), CVT_INT_OK);
  EXPECT_EQ(v, 12);
}

TEST(TextToInteger, RangeLimits) {
  EXPECT_EQ(read32("2147483647").first, INT32_MAX);
  EXPECT_EQ(read32("-2147483649"), std::make_pair(0, CVT_INT_RANGE));
  EXPECT_EQ(read32("00000000000000000000000000042"), std::make_pair(42, CVT_INT_OK));
  EXPECT_EQ(read64("9223372036854775807"), std::make_pair(INT64_MAX, CVT_INT_OK));
  EXPECT_EQ(read64("-9223372036854775808"), std::make_pair(INT64_MIN, CVT_INT_OK));
  EXPECT_EQ(read64("9223372036854775808"), std::make_pair((int64_t)0, CVT_INT_RANGE));
  EXPECT_EQ(read64("-9223372036854775809"), std::make_pair((int64_t)0, CVT_INT_RANGE));
  EXPECT_EQ(read64("18446744073709551616"), std::make_pair((int64_t)0, CVT_INT_RANGE));
  // The accumulator overflows before the bad character is seen.
  EXPECT_EQ(read64("99999999999999999999x"), std::make_pair((int64_t)0, CVT_INT_RANGE));
  EXPECT_EQ(readu64("18446744073709551615", 10), std::make_pair(UINT64_MAX, CVT_INT_OK));
  EXPECT_EQ(readu64("18446744073709551616", 10), std::make_pair((uint64_t)0, CVT_INT_RANGE));
  EXPECT_EQ(readu32("4294967295", 10), std::make_pair(UINT32_MAX, CVT_INT_OK));
  EXPECT_EQ(readu32("4294967296", 10), std::make_pair(0u, CVT_INT_RANGE));
  EXPECT_EQ(readu32("-0", 10), std::make_pair(0u, CVT_INT_OK));
  EXPECT_EQ(readu32("-1", 10), std::make_pair(0u, CVT_INT_RANGE));
}

TEST(TextToInteger, UnsignedRadixDigits) {
  EXPECT_EQ(readu32("  ff", 16), std::make_pair(255u, CVT_INT_OK));
  EXPECT_EQ(readu32("FfFfFfFf", 16), std::make_pair(UINT32_MAX, CVT_INT_OK));
  EXPECT_EQ(readu32("101", 2), std::make_pair(5u, CVT_INT_OK));
  EXPECT_EQ(readu32("102", 2), std::make_pair(0u, CVT_INT_INVALID));
  EXPECT_EQ(readu32("g", 16), std::make_pair(0u, CVT_INT_INVALID));
  EXPECT_EQ(readu32("a", 10), std::make_pair(0u, CVT_INT_INVALID));
  EXPECT_EQ(readu32("1 1", 8, CVT_INT_BLANK_ZERO), std::make_pair(65u, CVT_INT_OK));
  EXPECT_EQ(readu64(std::string(64, '1'), 2), std::make_pair(UINT64_MAX, CVT_INT_OK));
  EXPECT_EQ(readu64(std::string(65, '1'), 2), std::make_pair((uint64_t)0, CVT_INT_RANGE));
  EXPECT_EQ(read32("ff"), std::make_pair(0, CVT_INT_INVALID));
}

TEST(TextToInteger, RoundTripsOutput) {
  std::mt19937_64 rng(3);
  for (int i = 0; i < 20000; ++i) {
    int64_t v = (int64_t)(rng() >> (rng() % 64));
    if (rng() & 1) v = -v;
    Out o = itext64(v, 22, 1, (rng() & 1) ? CVT_INT_PLUS : 0);
    ASSERT_EQ(o.status, CVT_INT_OK);
    EXPECT_EQ(read64(o.text), std::make_pair(v, CVT_INT_OK));
    int32_t v32 = (int32_t)v;
    o = itext(v32, 12);
    EXPECT_EQ(read32(o.text), std::make_pair(v32, CVT_INT_OK));
  }
}

}  // namespace
