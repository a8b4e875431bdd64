// ES editing of binary32 and binary64 values: the layout (exponent forms,
// signs, zero, non-finite values, minimal width, asterisks), and differential
// runs against the C library's "%.*e", which prints the exact binary value
// rounded to d + 1 significant digits in the current rounding mode.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "cvt/cvt.h"
#include "tests/cvt/edit_testing.h"

namespace {

using namespace edit_testing;

constexpr uint32_t kES = CVT_ROUND_VALID | CVT_EDIT_E | CVT_EDIT_SCIENTIFIC;

template <class T>
Out es(T value, int32_t w, int16_t d, int32_t e = 0, uint32_t flags = kES, uint64_t options = 0) {
  return guarded(value, w, 0, d, w, e, flags, options);
}

// What ESw.dEe must show for a finite x, from printf's exact digits: the
// exponent rewritten in the ES forms, no minus sign on a zero, and
// asterisks when it does not fit.
std::string expected_es(double x, int w, int d, int e = 0) {
  std::vector<char> buf(64 + (size_t)d);
  snprintf(buf.data(), buf.size(), "%.*e", d, x);
  std::string s(buf.data());
  size_t at = s.find('e');
  long x10 = strtol(s.c_str() + at + 1, nullptr, 10);
  s.erase(at);
  if (x == 0) {
    x10 = 0;
    if (s[0] == '-') s.erase(0, 1);
  }
  if (d == 0) s += '.';
  long a = std::labs(x10);
  char exp[32];
  if (e > 0) {
    snprintf(exp, sizeof exp, "E%c%0*ld", x10 < 0 ? '-' : '+', e, a);
    if ((int)strlen(exp) > e + 2) return std::string((size_t)w, '*');
  } else if (a <= 99) {
    snprintf(exp, sizeof exp, "E%c%02ld", x10 < 0 ? '-' : '+', a);
  } else {
    snprintf(exp, sizeof exp, "%c%03ld", x10 < 0 ? '-' : '+', a);
  }
  s += exp;
  if ((int)s.size() > w) return std::string((size_t)w, '*');
  return std::string((size_t)w - s.size(), ' ') + s;
}

template <class T>
void expect_like_printf(T x, int w, int d, int e = 0, uint32_t flags = kES) {
  std::string want = expected_es((double)x, w, d, e);
  Out got = es(x, w, (int16_t)d, e, flags);
  ASSERT_EQ(got.text, want) << "ES" << w << "." << d << "E" << e << " of " << std::hexfloat << (double)x;
  ASSERT_EQ(got.status, want[0] == '*' ? CVT_STARS : CVT_OK);
}

// ---- Layout -------------------------------------------------------------

TEST(ESEditing, WorkedExamples) {
  struct Case {
    float x;
    int w, d, e;
    const char *text;
  } cases[] = {
      {-0.30479997f, 15, 8, 0, "-3.04799974E-01"}, {0.1f, 15, 8, 0, " 1.00000001E-01"},
      {0.0f, 15, 8, 0, " 0.00000000E+00"},         {-0.0f, 15, 8, 0, " 0.00000000E+00"},
      {9.9996f, 10, 3, 0, " 1.000E+01"},            {1e-10f, 15, 3, 3, "     1.000E-010"},
      {12345.67f, 10, 0, 0, "    1.E+04"},          {0.125f, 10, 1, 0, "   1.2E-01"},
      {0.375f, 10, 1, 0, "   3.8E-01"},             {3e38f, 15, 8, 0, " 3.00000001E+38"},
      {1e-45f, 15, 8, 0, " 1.40129846E-45"},        {0.0f, 11, 2, 4, " 0.00E+0000"},
      {5.0f, 9, 2, 1, "  5.00E+0"},                 {-1.5f, 9, 2, 0, "-1.50E+00"},
  };
  for (const Case &c : cases) {
    Out o = es(c.x, c.w, (int16_t)c.d, c.e);
    EXPECT_EQ(o.text, c.text) << c.x;
    EXPECT_EQ(o.status, CVT_OK) << c.x;
  }
  EXPECT_EQ(es(1e-300, 15, 8).text, " 1.00000000-300");
  EXPECT_EQ(es(4.9e-324, 15, 8).text, " 4.94065646-324");
  EXPECT_EQ(es(1.7976931348623157e308, 25, 16).text, "   1.7976931348623157+308");
  EXPECT_EQ(es(1e100, 12, 2, 3).text, "   1.00E+100");
}

TEST(ESEditing, FieldsTooNarrowAndExponentsTooWide) {
  Out narrow = es(-1.5f, 8, 3);
  EXPECT_EQ(narrow.text, "********");
  EXPECT_EQ(narrow.status, CVT_STARS);
  EXPECT_EQ(es(1e10f, 15, 3, 1).text, "***************");
  EXPECT_EQ(es(1e10f, 15, 3, 1).status, CVT_STARS);
  EXPECT_EQ(es(1e-10, 15, 3, 1).text, "***************");
  EXPECT_EQ(es(1e100, 15, 3, 2).text, "***************");
  EXPECT_EQ(es(1e9, 15, 3, 1).text, "       1.000E+9");
  EXPECT_EQ(es(1.0f, 30, 3, 20).text, "   1.000E+" + std::string(20, '0'));
  EXPECT_EQ(es(0.1f, 1, 3).text, "*");
  EXPECT_EQ(es(0.1f, 8, -1).status, CVT_STARS);
}

TEST(ESEditing, SignsZeroAndDecimalComma) {
  uint32_t sp = kES | CVT_EDIT_SP;
  EXPECT_EQ(es(0.3048f, 12, 4, 0, sp).text, " +3.0480E-01");
  EXPECT_EQ(es(-0.3048f, 12, 4, 0, sp).text, " -3.0480E-01");
  EXPECT_EQ(es(0.0f, 12, 4, 0, sp).text, " +0.0000E+00");
  EXPECT_EQ(es(-0.0f, 12, 4, 0, sp).text, "  0.0000E+00");
  EXPECT_EQ(es(-0.0f, 12, 4, 0, kES, CVT_OPT_MINUS_ZERO).text, " -0.0000E+00");
  EXPECT_EQ(es(-0.00004f, 12, 4, 0, kES, CVT_OPT_MINUS_ROUNDS_TO_ZERO).text, " -4.0000E-05");
  EXPECT_EQ(es(-1234.5678f, 12, 4, 0, kES, CVT_OPT_DECIMAL_COMMA).text, " -1,2346E+03");
  EXPECT_EQ(es(0.3048f, 11, 4, 0, sp).text, "+3.0480E-01");
  EXPECT_EQ(es(0.3048f, 10, 4, 0, sp).text, "**********");
}

TEST(ESEditing, NonFiniteValues) {
  float inf = __builtin_inff();
  EXPECT_EQ(es(inf, 10, 3).text, "  Infinity");
  EXPECT_EQ(es(inf, 10, 3).status, CVT_INFINITY);
  EXPECT_EQ(es(-inf, 8, 3).text, "    -Inf");
  EXPECT_EQ(es(-inf, 3, 3).text, "***");
  EXPECT_EQ(es(inf, 10, 3, 0, kES | CVT_EDIT_SP).text, " +Infinity");
  EXPECT_EQ(es(__builtin_nanf(""), 10, 3).text, "       NaN");
  EXPECT_EQ(es(__builtin_nan(""), 10, 3).status, CVT_NAN);
  EXPECT_EQ(es(__builtin_nanf(""), 2, 3).text, "**");
}

TEST(ESEditing, MinimalWidth) {
  uint32_t es0 = kES | CVT_EDIT_MINIMAL;
  EXPECT_EQ(es(-0.30479997f, 15, 8, 0, es0).text, "-3.04799974E-01");
  EXPECT_EQ(es(0.1f, 15, 8, 0, es0).text, "1.00000001E-01 ");
  EXPECT_EQ(es(0.0f, 15, 8, 0, es0).text, "0.00000000E+00 ");
  EXPECT_EQ(es(0.1f, 15, 8, 0, es0 | CVT_EDIT_SP).text, "+1.00000001E-01");
  EXPECT_EQ(es(1e-300, 16, 8, 0, es0).text, "1.00000000-300  ");
  EXPECT_EQ(es(-__builtin_inff(), 15, 8, 0, es0).text, "-Infinity      ");
  EXPECT_EQ(es(__builtin_nanf(""), 15, 8, 0, es0).text, "NaN            ");
  EXPECT_EQ(es(-0.30479997f, 14, 8, 0, es0).text, "**************");
}

TEST(ESEditing, RoundingModes) {
  struct Case {
    float x;
    int mode;
    const char *text;
  } cases[] = {
      {0.125f, CVT_ROUND_NEAREST, "1.2E-01"}, {0.125f, CVT_ROUND_AWAY, "1.3E-01"},
      {0.125f, CVT_ROUND_ZERO, "1.2E-01"},    {0.125f, CVT_ROUND_UP, "1.3E-01"},
      {-0.125f, CVT_ROUND_UP, "-1.2E-01"},    {-0.125f, CVT_ROUND_DOWN, "-1.3E-01"},
      {9.96f, CVT_ROUND_UP, "1.0E+01"},       {9.96f, CVT_ROUND_ZERO, "9.9E+00"},
      {-9.96f, CVT_ROUND_DOWN, "-1.0E+01"},   {1e20f, CVT_ROUND_UP, "1.1E+20"},
  };
  for (const Case &c : cases) {
    Out o = es(c.x, 8, 1, 0, kES | rounding(c.mode));
    EXPECT_EQ(o.text, std::string(8 - strlen(c.text), ' ') + c.text) << c.x << " mode " << c.mode;
  }
  // Rounding bits without the valid bit are ignored.
  EXPECT_EQ(es(0.125f, 8, 1, 0, (kES & ~CVT_ROUND_VALID) | rounding(CVT_ROUND_UP)).text, " 1.2E-01");
}

TEST(ESEditing, OtherEFamilyFormsAreNotProvided) {
  for (uint32_t flags : {CVT_ROUND_VALID | CVT_EDIT_E, kES | CVT_EDIT_F, CVT_ROUND_VALID | CVT_EDIT_SCIENTIFIC}) {
    Out o = es(1.0f, 10, 4, 0, flags);
    EXPECT_EQ(o.text, "**********") << flags;
    EXPECT_EQ(o.status, CVT_NO_KIND) << flags;
  }
}

// ---- The significant-digit generator ---------------------------------------

TEST(SignificantDigits, CarryAndBufferSize) {
  char buf[8];
  int32_t first, last, exponent, sign, status;
  float x = 9.9996f;
  cvtas_s_to_a(3, 0, CVTAS_SIGNIFICANT, buf, 8, &first, &last, &x, &exponent, &sign, &status);
  EXPECT_EQ(std::string(buf + first, (size_t)(last - first + 1)), "100");
  EXPECT_EQ(exponent, 2);
  x = 123456.0f;
  cvtas_s_to_a(20, 0, CVTAS_SIGNIFICANT, buf, 4, &first, &last, &x, &exponent, &sign, &status);
  EXPECT_EQ(std::string(buf + first, (size_t)(last - first + 1)), "1235");
  EXPECT_EQ(exponent, 6);
  x = 0.0f;
  cvtas_s_to_a(5, 0, CVTAS_SIGNIFICANT | CVTAS_REPORT_SPECIAL, buf, 8, &first, &last, &x, &exponent, &sign,
               &status);
  EXPECT_EQ(status, CVTAS_DIGITS_ZERO);
  EXPECT_EQ(std::string(buf + first, (size_t)(last - first + 1)), "0");
}

// ---- Differential runs ----------------------------------------------------

// Binades that reach each path of the generator at nine significant digits,
// with a power of ten inside: a 128-bit product (the first place tried is one
// too fine above 10), a division (above 10^9), and, every ninth value, the
// multi-word path (tiny values) and 0.1.  ES15.8 of these finite non-zero
// values is printf's "%15.8E", whose exponents are all E+dd or E-dd.
TEST(ESEditingDifferential, WholeBinadesAtNineDigits) {
  for (int b : {3, 30, -4, -100}) {
    uint32_t start = (uint32_t)(b + 127) << 23;
    uint32_t step = b > 0 ? 1 : 9;
    for (uint32_t bits = start; bits < start + (1u << 23); bits += step) {
      float x = bits_to_float(bits);
      char want[32], got[16];
      snprintf(want, sizeof want, "%15.8E", (double)x);
      int status = cvt_ieee_s_to_text_ex(&x, 15, 0, 8, 15, 0, kES, got, 0);
      if (status != CVT_OK || memcmp(want, got, 15) != 0)
        FAIL() << std::hexfloat << x << " [" << std::string(got, 15) << "] status " << status;
    }
  }
}

TEST(ESEditingDifferential, BandsAroundPowersOfTen) {
  const int ds[] = {0, 1, 3, 6, 8, 12, 20, 40};
  for (int p = -45; p <= 38; ++p) {
    float centre = (float)std::pow(10.0, p);
    uint32_t bits;
    memcpy(&bits, &centre, sizeof bits);
    for (int32_t delta = -40; delta <= 40; ++delta) {
      float x = bits_to_float(bits + (uint32_t)delta);
      if (!std::isfinite(x)) continue;
      for (int d : ds) {
        expect_like_printf(x, d + 8, d);
        expect_like_printf(-x, d + 8, d);
      }
    }
  }
  for (int p = -323; p <= 308; ++p) {
    double centre = std::pow(10.0, p);
    uint64_t bits;
    memcpy(&bits, &centre, sizeof bits);
    for (int64_t delta = -3; delta <= 3; ++delta) {
      double x = bits_to_double(bits + (uint64_t)delta);
      if (!std::isfinite(x)) continue;
      for (int d : ds) expect_like_printf(x, d + 9, d);
    }
  }
}

TEST(ESEditingDifferential, RandomValuesAndExponentWidths) {
  std::mt19937_64 rng(31337);
  for (int i = 0; i < 200000; ++i) {
    float x = bits_to_float((uint32_t)rng());
    if (!std::isfinite(x)) continue;
    int d = (int)(rng() % 50);
    int e = (int)(rng() % 4);
    expect_like_printf(x, d + 7 + (int)(rng() % 4), d, e);
  }
  for (int i = 0; i < 100000; ++i) {
    double x = bits_to_double(rng());
    if (!std::isfinite(x)) continue;
    int d = (int)(rng() % 40);
    expect_like_printf(x, d + 8, d, (int)(rng() % 5));
  }
  // Values of few significant bits, where exact ties occur.
  for (int i = 0; i < 50000; ++i) {
    double x = std::ldexp((double)(rng() % 4096), (int)(rng() % 40) - 20);
    int d = (int)(rng() % 5);
    expect_like_printf((float)x, 12, d);
    expect_like_printf(x, 12, d);
  }
}

TEST(ESEditingDifferential, DirectedRoundingMatchesPrintf) {
  const std::vector<float> values = directed_values(7, 8.0f);
  for (const DirectedMode &m : kDirectedModes) {
    for (float x : values) {
      ASSERT_EQ(fesetround(m.fe), 0);
      std::string want[3] = {expected_es(x, 15, 8), expected_es(x, 8, 1), expected_es(x, 30, 22)};
      fesetround(FE_TONEAREST);
      uint32_t flags = kES | rounding(m.cvt);
      Out got[3] = {es(x, 15, 8, 0, flags), es(x, 8, 1, 0, flags), es(x, 30, 22, 0, flags)};
      for (int i = 0; i < 3; ++i) ASSERT_EQ(got[i].text, want[i]) << "mode " << m.cvt << " " << std::hexfloat << x;
    }
  }
}

}  // namespace
