// F editing of binary32 and binary64 values: layout rules, flag and option
// bits, the digit generators, and differential runs against the C library's
// "%.*f", which prints the exact binary value rounded in the current rounding
// mode.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "cvt/cvt.h"
#include "cvt/cvtas_pow_ten_128.h"
#include "cvt/cvtas_pow_ten_64.h"
#include "cvt/cvtas_work_buffer.h"
#include "tests/cvt/edit_testing.h"

namespace {

using namespace edit_testing;

constexpr uint32_t kF = CVT_ROUND_VALID | CVT_EDIT_F;  // what the dispatcher passes

template <class T>
Out edit(T value, int32_t w, int16_t d, uint32_t flags = kF, uint64_t options = 0, int8_t k = 0,
         int32_t limit = -1) {
  return guarded(value, w, k, d, limit < 0 ? w : limit, 0, flags, options);
}

Out f(float x, int32_t w, int16_t d, uint32_t flags = kF, uint64_t options = 0, int8_t k = 0) {
  return edit(x, w, d, flags, options, k);
}

uint32_t float_bits(float x) {
  uint32_t b;
  memcpy(&b, &x, sizeof b);
  return b;
}

// What Fw.d must show for a finite x, derived from printf's exact digits: a
// rounded zero loses its minus sign, the zero before the point goes when the
// field has no room for it, d = 0 keeps the point, and anything still too
// wide is asterisks.
std::string expected_f(double x, int w, int d) {
  std::vector<char> buf(2048 + (size_t)d);
  int n = snprintf(buf.data(), buf.size(), "%.*f", d, x);
  std::string s(buf.data(), (size_t)n);
  if (d == 0) s += '.';
  if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  if ((int)s.size() > w && d > 0) {
    size_t z = s[0] == '-' ? 1 : 0;
    if (s.compare(z, 2, "0.") == 0) s.erase(z, 1);
  }
  if ((int)s.size() > w) return std::string((size_t)w, '*');
  return std::string((size_t)w - s.size(), ' ') + s;
}

template <class T>
void expect_like_printf(T x, int w, int d, uint32_t flags = kF) {
  std::string want = expected_f((double)x, w, d);
  Out got = edit(x, w, (int16_t)d, flags);
  ASSERT_EQ(got.text, want) << "F" << w << "." << d << " of " << std::hexfloat << (double)x;
  ASSERT_EQ(got.status, want[0] == '*' ? CVT_STARS : CVT_OK);
}

// ---- Layout -------------------------------------------------------------

TEST(FEditing, WorkedExamplesF10_4) {
  struct Case {
    float x;
    const char *text;
  } cases[] = {
      {0.3048f, "    0.3048"},   {-0.3048f, "   -0.3048"},  {1.0f, "    1.0000"},
      {-10.0f, "  -10.0000"},    {0.05f, "    0.0500"},    {0.0f, "    0.0000"},
      {-0.0f, "    0.0000"},     {-0.00004f, "    0.0000"}, {0.03125f, "    0.0312"},
      {0.09375f, "    0.0938"},  {99999.99f, "99999.9922"}, {12345.678f, "12345.6777"},
      {-1234.5678f, "-1234.5677"}, {0.99996f, "    1.0000"}, {100.0f, "  100.0000"},
  };
  for (const Case &c : cases) {
    Out o = f(c.x, 10, 4);
    EXPECT_EQ(o.text, c.text) << c.x;
    EXPECT_EQ(o.status, CVT_OK) << c.x;
  }
  Out wide = f(-12345.67f, 10, 4);
  EXPECT_EQ(wide.text, "**********");
  EXPECT_EQ(wide.status, CVT_STARS);
  EXPECT_EQ(f(__builtin_inff(), 10, 4).text, "  Infinity");
  EXPECT_EQ(f(__builtin_inff(), 10, 4).status, CVT_INFINITY);
  EXPECT_EQ(f(-__builtin_inff(), 10, 4).text, " -Infinity");
  EXPECT_EQ(f(__builtin_nanf(""), 10, 4).text, "       NaN");
  EXPECT_EQ(f(-__builtin_nanf(""), 10, 4).text, "       NaN");
  EXPECT_EQ(f(__builtin_nanf(""), 10, 4).status, CVT_NAN);
}

TEST(FEditing, OptionalZeroAndNarrowFields) {
  EXPECT_EQ(f(0.5f, 5, 4).text, ".5000");
  EXPECT_EQ(f(-0.5f, 6, 4).text, "-.5000");
  EXPECT_EQ(f(0.5f, 6, 4).text, "0.5000");
  EXPECT_EQ(f(0.4f, 3, 0).text, " 0.");
  EXPECT_EQ(f(0.4f, 2, 0).text, "0.");
  EXPECT_EQ(f(0.6f, 2, 0).text, "1.");
  EXPECT_EQ(f(2.5f, 3, 0).text, " 2.");  // tie to even
  EXPECT_EQ(f(-0.4f, 3, 0).text, " 0.");
  EXPECT_EQ(f(-0.6f, 2, 0).text, "**");
  EXPECT_EQ(f(0.0f, 5, 4).text, ".0000");
  EXPECT_EQ(f(0.25f, 2, 1).text, ".2");
  EXPECT_EQ(f(-0.25f, 3, 1).text, "-.2");
  EXPECT_EQ(f(-0.25f, 2, 1).text, "**");
  Out one = f(0.0f, 1, 0);
  EXPECT_EQ(one.text, "*");
  EXPECT_EQ(one.status, CVT_STARS);
  EXPECT_EQ(f(__builtin_nanf(""), 1, 0).text, "*");
  EXPECT_EQ(f(1e10f, 10, 4).text, "**********");
  EXPECT_EQ(f(99999.99f, 9, 4).text, "*********");
  EXPECT_EQ(f(9.99996f, 6, 4).text, "******");  // rounds up to 10.0000
}

TEST(FEditing, DigitLimitBeforeThePoint) {
  EXPECT_EQ(edit(123.0f, 10, 4, kF, 0, 0, 2).text, "**********");
  EXPECT_EQ(edit(123.0f, 10, 4, kF, 0, 0, 3).text, "  123.0000");
  EXPECT_EQ(edit(123.0f, 10, 4, kF, 0, 0, 0).text, "  123.0000");  // 0: no limit
  EXPECT_EQ(edit(0.5f, 10, 4, kF, 0, 0, 1).text, "    0.5000");
}

TEST(FEditing, PlusSign) {
  uint32_t sp = kF | CVT_EDIT_SP;
  EXPECT_EQ(f(0.3048f, 10, 4, sp).text, "   +0.3048");
  EXPECT_EQ(f(-0.3048f, 10, 4, sp).text, "   -0.3048");
  EXPECT_EQ(f(0.0f, 10, 4, sp).text, "   +0.0000");
  EXPECT_EQ(f(0.5f, 6, 4, sp).text, "+.5000");
  EXPECT_EQ(f(0.5f, 5, 4, sp).text, "*****");
  EXPECT_EQ(f(__builtin_inff(), 10, 4, sp).text, " +Infinity");
  EXPECT_EQ(f(__builtin_nanf(""), 10, 4, sp).text, "       NaN");
  // Negative values that round to zero take no sign unless asked for.
  EXPECT_EQ(f(-0.0f, 10, 4, sp).text, "    0.0000");
  EXPECT_EQ(f(-0.00004f, 10, 4, sp).text, "    0.0000");
}

TEST(FEditing, NegativeZeroOptions) {
  EXPECT_EQ(f(-0.0f, 10, 4, kF, CVT_OPT_MINUS_ZERO).text, "   -0.0000");
  EXPECT_EQ(f(-0.00004f, 10, 4, kF, CVT_OPT_MINUS_ZERO).text, "    0.0000");
  EXPECT_EQ(f(-0.00004f, 10, 4, kF, CVT_OPT_MINUS_ROUNDS_TO_ZERO).text, "   -0.0000");
  EXPECT_EQ(f(-0.0f, 10, 4, kF, CVT_OPT_MINUS_ROUNDS_TO_ZERO).text, "    0.0000");
  EXPECT_EQ(f(0.00004f, 10, 4, kF, CVT_OPT_MINUS_ZERO | CVT_OPT_MINUS_ROUNDS_TO_ZERO).text, "    0.0000");
  EXPECT_EQ(f(-0.0f, 6, 4, kF, CVT_OPT_MINUS_ZERO).text, "-.0000");
  EXPECT_EQ(f(-0.0f, 5, 4, kF, CVT_OPT_MINUS_ZERO).text, "*****");
  EXPECT_EQ(f(-0.4f, 3, 0, kF, CVT_OPT_MINUS_ROUNDS_TO_ZERO).text, "-0.");
  // The status of a zero result is plain success.
  EXPECT_EQ(f(-0.0f, 10, 4, kF, CVT_OPT_MINUS_ZERO).status, CVT_OK);
}

TEST(FEditing, DecimalCommaAndOptionalZeroOptions) {
  EXPECT_EQ(f(-1234.5678f, 10, 4, kF, CVT_OPT_DECIMAL_COMMA).text, "-1234,5677");
  EXPECT_EQ(f(0.4f, 3, 0, kF, CVT_OPT_DECIMAL_COMMA).text, " 0,");
  EXPECT_EQ(f(0.3048f, 10, 4, kF, CVT_OPT_NO_LEADING_ZERO).text, "     .3048");
  EXPECT_EQ(f(-0.3048f, 10, 4, kF, CVT_OPT_NO_LEADING_ZERO2).text, "    -.3048");
  EXPECT_EQ(f(0.0f, 10, 4, kF, CVT_OPT_NO_LEADING_ZERO).text, "     .0000");
  EXPECT_EQ(f(0.4f, 3, 0, kF, CVT_OPT_NO_LEADING_ZERO).text, " 0.");  // d = 0 keeps it
  EXPECT_EQ(f(1.5f, 10, 4, kF, CVT_OPT_NO_LEADING_ZERO).text, "    1.5000");
  // The lower half of the option word does not act on F editing.
  EXPECT_EQ(f(-0.0f, 10, 4, kF, 0xFFFFFFFFull).text, "    0.0000");
}

TEST(FEditing, MinimalWidth) {
  uint32_t f0 = kF | CVT_EDIT_MINIMAL;
  EXPECT_EQ(f(12.5f, 10, 2, f0).text, "12.50     ");
  EXPECT_EQ(f(-0.3048f, 10, 4, f0).text, "-.3048    ");
  EXPECT_EQ(f(0.0f, 10, 4, f0).text, ".0000     ");
  EXPECT_EQ(f(0.4f, 6, 0, f0).text, "0.    ");
  EXPECT_EQ(f(-__builtin_inff(), 12, 4, f0).text, "-Infinity   ");
  EXPECT_EQ(f(__builtin_nanf(""), 5, 4, f0).text, "NaN  ");
  EXPECT_EQ(f(123456.0f, 6, 1, f0).text, "******");
}

TEST(FEditing, NonFiniteInNarrowFields) {
  float inf = __builtin_inff();
  EXPECT_EQ(f(inf, 8, 4).text, "Infinity");
  EXPECT_EQ(f(inf, 7, 4).text, "    Inf");
  EXPECT_EQ(f(inf, 3, 4).text, "Inf");
  EXPECT_EQ(f(-inf, 9, 4).text, "-Infinity");
  EXPECT_EQ(f(-inf, 8, 4).text, "    -Inf");
  EXPECT_EQ(f(-inf, 4, 4).text, "-Inf");
  EXPECT_EQ(f(__builtin_nanf(""), 3, 1).text, "NaN");
  // A field too narrow for the text is a field of asterisks and reports it.
  Out narrow_inf = f(-inf, 3, 4);
  EXPECT_EQ(narrow_inf.text, "***");
  EXPECT_EQ(narrow_inf.status, CVT_STARS);
  Out narrow_nan = f(__builtin_nanf(""), 2, 0);
  EXPECT_EQ(narrow_nan.text, "**");
  EXPECT_EQ(narrow_nan.status, CVT_STARS);
  EXPECT_EQ(f(inf, 2, 0).status, CVT_STARS);
}

TEST(FEditing, ScaleFactor) {
  EXPECT_EQ(f(1234.5f, 10, 4, kF, 0, -6).text, "    0.0012");
  EXPECT_EQ(f(1.5f, 10, 4, kF, 0, 2).text, "  150.0000");
  EXPECT_EQ(f(0.5f, 10, 4, kF, 0, -2).text, "    0.0050");
  EXPECT_EQ(f(0.5f, 10, 4, kF, 0, -5).text, "    0.0000");
  EXPECT_EQ(f(-0.5f, 10, 4, kF, 0, -5).text, "    0.0000");
  EXPECT_EQ(f(5e9f, 10, 4, kF, 0, -10).text, "    0.5000");
  EXPECT_EQ(f(99999.0f, 10, 4, kF, 0, 1).text, "**********");
  EXPECT_EQ(f(1.0f, 12, 0, kF, 0, 10).text, "10000000000.");
}

TEST(FEditing, RoundingModes) {
  struct Case {
    float x;
    int mode;
    const char *text;
  } cases[] = {
      {0.03125f, CVT_ROUND_NEAREST, "0.0312"}, {0.03125f, CVT_ROUND_AWAY, "0.0313"},
      {0.03125f, CVT_ROUND_ZERO, "0.0312"},    {0.03125f, CVT_ROUND_UP, "0.0313"},
      {0.03125f, CVT_ROUND_DOWN, "0.0312"},    {-0.03125f, CVT_ROUND_AWAY, "-0.0313"},
      {-0.03125f, CVT_ROUND_UP, "-0.0312"},    {-0.03125f, CVT_ROUND_DOWN, "-0.0313"},
      {-0.03125f, CVT_ROUND_ZERO, "-0.0312"},  {0.00001f, CVT_ROUND_UP, "0.0001"},
      {-0.00001f, CVT_ROUND_DOWN, "-0.0001"},  {-0.00001f, CVT_ROUND_UP, "0.0000"},
      {0.99999f, CVT_ROUND_ZERO, "0.9999"},    {0.99999f, CVT_ROUND_UP, "1.0000"},
      {2.5f, 3, "2.5000"},                     {0.09375f, 7, "0.0938"},
  };
  for (const Case &c : cases) {
    Out o = f(c.x, 7, 4, kF | rounding(c.mode));
    EXPECT_EQ(o.text, std::string(7 - strlen(c.text), ' ') + c.text) << c.x << " mode " << c.mode;
  }
  // Rounding bits without the valid bit are ignored.
  EXPECT_EQ(f(0.03125f, 6, 4, CVT_EDIT_F | rounding(CVT_ROUND_UP)).text, "0.0312");
  // Ties away from zero on d = 0.
  EXPECT_EQ(f(2.5f, 3, 0, kF | rounding(CVT_ROUND_AWAY)).text, " 3.");
  EXPECT_EQ(f(-0.5f, 3, 0, kF | rounding(CVT_ROUND_AWAY)).text, "-1.");
  EXPECT_EQ(f(-0.5f, 3, 0, kF).text, " 0.");
}

TEST(FEditing, EditingKindsNotProvided) {
  for (uint32_t flags : {0u, CVT_ROUND_VALID, CVT_ROUND_VALID | CVT_EDIT_E, kF | CVT_EDIT_E}) {
    Out o = f(1.0f, 10, 4, flags);
    EXPECT_EQ(o.text, "**********") << flags;
    EXPECT_EQ(o.status, CVT_NO_KIND) << flags;
  }
  // The entry without an option word ignores nothing else.
  float x = -0.3048f;
  char field[10];
  EXPECT_EQ(cvt_ieee_s_to_text(&x, 10, 0, 4, 10, 0, kF, field), CVT_OK);
  EXPECT_EQ(std::string(field, 10), "   -0.3048");
  EXPECT_EQ(cvt_ieee_s_to_text(&x, 10, 0, 4, 10, 0, CVT_EDIT_E, field), CVT_NO_KIND);
  double y = -0.3048;
  EXPECT_EQ(cvt_ieee_t_to_text(&y, 10, 0, 4, 10, 0, kF, field), CVT_OK);
  EXPECT_EQ(std::string(field, 10), "   -0.3048");
  // Refused arguments: no width, negative d.
  EXPECT_EQ(edit(1.0f, 0, 4).status, CVT_STARS);
  Out neg_d = f(1.0f, 6, -1);
  EXPECT_EQ(neg_d.text, "******");
  EXPECT_EQ(neg_d.status, CVT_STARS);
}

// ---- The larger work buffer -----------------------------------------------

struct CountingMemory {
  static inline int obtained = 0;
  static inline int released = 0;
  static inline size_t last_size = 0;
  static inline void *last_block = nullptr;
  static inline bool fail = false;
  static void *obtain(size_t bytes) {
    ++obtained;
    last_size = bytes;
    if (fail) return nullptr;
    last_block = malloc(bytes);
    return last_block;
  }
  static void release(void *block) {
    ++released;
    EXPECT_EQ(block, last_block);
    free(block);
  }
  CountingMemory() {
    obtained = released = 0;
    fail = false;
    cvtas__set_work_memory(obtain, release);
  }
  ~CountingMemory() { cvtas__set_work_memory(nullptr, nullptr); }
};

TEST(FEditing, LargeFieldsUseAReleasedHeapBuffer) {
  CountingMemory memory;
  EXPECT_EQ(f(0.3048f, 61, 4).text, std::string(55, ' ') + "0.3048");
  EXPECT_EQ(memory.obtained, 0);
  EXPECT_EQ(f(0.3048f, 61, 62).status, CVT_STARS);
  EXPECT_EQ(memory.obtained, 0);

  expect_like_printf(0.3048f, 62, 4);
  EXPECT_EQ(memory.obtained, 1);
  EXPECT_EQ(memory.last_size, (size_t)(62 + 2) * 2 + 4);
  expect_like_printf(1e-30f, 80, 63);
  EXPECT_EQ(memory.obtained, 2);
  EXPECT_EQ(memory.last_size, (size_t)(80 + 2) * 2 + 4);
  expect_like_printf(1e-30f, 20, 70);  // d alone asks for it: asterisks
  EXPECT_EQ(memory.last_size, (size_t)(70 + 2) * 2 + 4);
  expect_like_printf(3e38f, 2000, 1000);
  expect_like_printf(-1.5e-45f, 200, 150);
  EXPECT_EQ(memory.released, memory.obtained);

  memory.fail = true;
  Out untouched = f(0.3048f, 62, 4);
  EXPECT_EQ(untouched.status, CVT_STARS);
  EXPECT_EQ(untouched.text, std::string(62, kGuard));
  EXPECT_EQ(memory.released, memory.obtained - 1);
}

// ---- Digit generators ---------------------------------------------------------

struct Digits {
  std::string digits;
  int32_t exponent, sign, status;
};

template <class T>
Digits digits_of(T x, int32_t max_digits, int32_t fd, uint32_t flags = CVTAS_FIXED | CVTAS_REPORT_SPECIAL,
                 int32_t size = 1200) {
  std::vector<char> buf((size_t)size + 1, kGuard);
  int32_t first = -7, last = -7, exponent = -7, sign = -7, status = -7;
  int ret;
  if constexpr (sizeof(T) == 4)
    ret = cvtas_s_to_a(max_digits, fd, flags, buf.data(), size, &first, &last, &x, &exponent, &sign, &status);
  else
    ret = cvtas_t_to_a(max_digits, fd, flags, buf.data(), size, &first, &last, &x, &exponent, &sign, &status);
  EXPECT_EQ(ret, status);
  EXPECT_EQ(buf[(size_t)size], kGuard);
  std::string d = last >= first && first >= 0 ? std::string(buf.data() + first, (size_t)(last - first + 1)) : "";
  return {d, exponent, sign, status};
}

TEST(DigitGenerator, StatusesAndSignCodes) {
  Digits d = digits_of(0.03125f, 9, 4);
  EXPECT_EQ(d.digits, "312");
  EXPECT_EQ(d.exponent, -1);
  EXPECT_EQ(d.sign, CVTAS_SIGN_NORMAL);
  EXPECT_EQ(d.status, CVTAS_DIGITS);
  EXPECT_EQ(digits_of(-1.0f, 9, 4).sign, -CVTAS_SIGN_NORMAL);
  EXPECT_EQ(digits_of(1.0f, 9, 4).exponent, 1);
  EXPECT_EQ(digits_of(0.5f, 9, 4).exponent, 0);
  EXPECT_EQ(digits_of(bits_to_float(1), 9, 4).sign, CVTAS_SIGN_SUBNORMAL);
  EXPECT_EQ(digits_of(-bits_to_float(1), 9, 4).sign, -CVTAS_SIGN_SUBNORMAL);
  Digits zero = digits_of(-0.0f, 9, 4);
  EXPECT_EQ(zero.status, CVTAS_DIGITS_ZERO);
  EXPECT_EQ(zero.sign, -CVTAS_SIGN_ZERO);
  EXPECT_EQ(zero.digits, "0");
  Digits tiny = digits_of(-0.00004f, 9, 4);
  EXPECT_EQ(tiny.status, CVTAS_DIGITS_ZERO);
  EXPECT_EQ(tiny.sign, -CVTAS_SIGN_NORMAL);
  Digits inf = digits_of(-__builtin_inff(), 9, 4);
  EXPECT_EQ(inf.status, CVTAS_DIGITS_INFINITY);
  EXPECT_EQ(inf.sign, -CVTAS_SIGN_INFINITY);
  EXPECT_EQ(inf.digits, "Infinity");
  Digits nan = digits_of(-__builtin_nan(""), 9, 4);
  EXPECT_EQ(nan.status, CVTAS_DIGITS_NAN);
  EXPECT_EQ(nan.sign, 0);
  EXPECT_EQ(nan.digits, "NaN");
  // Without the report bit the special results are plain digits.
  EXPECT_EQ(digits_of(0.0f, 9, 4, CVTAS_FIXED).status, CVTAS_DIGITS);
  EXPECT_EQ(digits_of(__builtin_nanf(""), 9, 4, CVTAS_FIXED).status, CVTAS_DIGITS);
  EXPECT_EQ(digits_of(__builtin_inff(), 9, 4, CVTAS_FIXED).digits, "Infinity");
  EXPECT_EQ(digits_of(__builtin_inff(), 9, 4, CVTAS_FIXED, 3).digits, "Inf");
  // No room, or no mode bit.
  EXPECT_EQ(digits_of(1.0f, 0, 4).status, CVTAS_NO_ROOM);
  EXPECT_EQ(digits_of(__builtin_nanf(""), -3, 4).status, CVTAS_NO_ROOM);
  EXPECT_EQ(digits_of(1.0f, 9, 4, CVTAS_FIXED, 0).status, CVTAS_NO_ROOM);
  EXPECT_EQ(digits_of(1.0f, 9, 4, CVTAS_REPORT_SPECIAL).status, CVTAS_NO_MODE);
}

TEST(DigitGenerator, DigitLimitKeepsTheExponent) {
  Digits d = digits_of(12345.678f, 3, 4);
  EXPECT_EQ(d.digits, "123");
  EXPECT_EQ(d.exponent, 5);
  d = digits_of(12355.0f, 3, 4);  // rounded once, at the last digit kept
  EXPECT_EQ(d.digits, "124");
  d = digits_of(9999.99f, 2, 4);
  EXPECT_EQ(d.digits, "10");
  EXPECT_EQ(d.exponent, 5);
  d = digits_of(99.5, 2, 1);
  EXPECT_EQ(d.digits, "10");
  EXPECT_EQ(d.exponent, 3);
  d = digits_of(1e300, 5, 10);
  EXPECT_EQ(d.digits, "10000");
  EXPECT_EQ(d.exponent, 301);
  d = digits_of(0.5f, 40, 30);  // exact digits, then zeros
  EXPECT_EQ(d.digits, "5" + std::string(29, '0'));
  d = digits_of(0.03125f, 9, 4, CVTAS_FIXED, 2);  // size limits as max_digits does
  EXPECT_EQ(d.digits, "31");
  EXPECT_EQ(d.exponent, -1);
}

TEST(DigitGenerator, NegativeFractionDigits) {
  Digits d = digits_of(1234.5f, 9, -2);
  EXPECT_EQ(d.digits, "12");
  EXPECT_EQ(d.exponent, 4);
  d = digits_of(1250.0f, 9, -2);
  EXPECT_EQ(d.digits, "12");  // tie to even
  d = digits_of(1350.0f, 9, -2);
  EXPECT_EQ(d.digits, "14");
  d = digits_of(9999.0f, 9, -2);
  EXPECT_EQ(d.digits, "100");
  EXPECT_EQ(d.exponent, 5);
  d = digits_of(99.5, 2, -1);  // the carry fills the digit limit exactly
  EXPECT_EQ(d.digits, "10");
  EXPECT_EQ(d.exponent, 3);
  d = digits_of(600.0f, 9, -3);
  EXPECT_EQ(d.digits, "1");
  EXPECT_EQ(d.exponent, 4);
  EXPECT_EQ(digits_of(400.0f, 9, -3).status, CVTAS_DIGITS_ZERO);
  EXPECT_EQ(digits_of(500.0f, 9, -3).status, CVTAS_DIGITS_ZERO);
  d = digits_of(400.0f, 9, -5, CVTAS_FIXED | CVTAS_REPORT_SPECIAL | CVT_ROUND_VALID | rounding(CVT_ROUND_UP));
  EXPECT_EQ(d.digits, "1");
  EXPECT_EQ(d.exponent, 6);
  EXPECT_EQ(digits_of(3e38f, 9, -40).status, CVTAS_DIGITS_ZERO);
}

// ---- Differential runs ----------------------------------------------------

struct Format {
  int w, d;
};
const Format kFormats[] = {{10, 4}, {8, 2}, {12, 6}, {3, 1}, {15, 0}, {20, 10}, {45, 30}, {60, 45}, {61, 50}};

float nearest_float(double v) { return (float)v; }

TEST(FEditingDifferential, BandsAroundPowersOfTen) {
  for (int p = -45; p <= 38; ++p) {
    uint32_t centre = float_bits(nearest_float(std::pow(10.0, p)));
    for (int32_t delta = -64; delta <= 64; ++delta) {
      float x = bits_to_float(centre + (uint32_t)delta);
      if (!std::isfinite(x)) continue;
      for (const Format &fm : kFormats) {
        expect_like_printf(x, fm.w, fm.d);
        expect_like_printf(-x, fm.w, fm.d);
      }
    }
  }
}

TEST(FEditingDifferential, RoundingBoundariesOfF10_4) {
  std::mt19937_64 rng(20240601);
  // Boundaries j + 1/2 units of 10^-4 over every magnitude below 10^5, with
  // the exact ties among them (the odd multiples of 1/32).
  for (int i = 0; i < 4000; ++i) {
    uint64_t j = rng() % (1000000000ull >> (rng() % 30));
    uint32_t centre = float_bits(nearest_float(((double)j + 0.5) * 1e-4));
    for (int32_t delta = -8; delta <= 8; ++delta) {
      float x = bits_to_float(centre + (uint32_t)delta);
      expect_like_printf(x, 10, 4);
      expect_like_printf(-x, 10, 4);
    }
  }
  for (int t = 1; t < 64000; t += 2) {
    float tie = (float)t / 32.0f;
    expect_like_printf(tie, 10, 4);
    expect_like_printf(-tie, 10, 4);
  }
}

TEST(FEditingDifferential, RandomBinary32) {
  std::mt19937 rng(12345);
  for (int i = 0; i < 150000; ++i) {
    float x = bits_to_float((uint32_t)rng());
    if (!std::isfinite(x)) continue;
    expect_like_printf(x, 10, 4);
    const Format &fm = kFormats[i % (sizeof kFormats / sizeof kFormats[0])];
    expect_like_printf(x, fm.w, fm.d);
  }
  // Magnitudes below 10^5, where F10.4 shows digits.
  std::uniform_real_distribution<double> mag(-5.0, 5.0);
  for (int i = 0; i < 150000; ++i) {
    float x = (float)std::pow(10.0, mag(rng));
    if (rng() & 1) x = -x;
    expect_like_printf(x, 10, 4);
    expect_like_printf(x, 10, 2);
  }
}

TEST(FEditingDifferential, DirectedRoundingMatchesPrintf) {
  const std::vector<float> values = directed_values(99, 32.0f);
  for (const DirectedMode &m : kDirectedModes) {
    ASSERT_EQ(fesetround(m.fe), 0);
    for (float x : values) {
      std::string want[3] = {expected_f(x, 10, 4), expected_f(x, 12, 6), expected_f(x, 60, 45)};
      uint32_t flags = kF | rounding(m.cvt);
      Out got[3] = {f(x, 10, 4, flags), f(x, 12, 6, flags), f(x, 60, 45, flags)};
      fesetround(FE_TONEAREST);
      for (int i = 0; i < 3; ++i) EXPECT_EQ(got[i].text, want[i]) << "mode " << m.cvt << " " << std::hexfloat << x;
      fesetround(m.fe);
    }
    fesetround(FE_TONEAREST);
  }
}

// Ties away from zero differs from ties to even only at exact ties.
TEST(FEditingDifferential, NearestAwayDiffersOnlyAtTies) {
  std::mt19937 rng(4);
  for (int i = 0; i < 30000; ++i) {
    float x = i % 2 == 0 ? bits_to_float((uint32_t)rng()) : (float)(int)(rng() % 200000 * 2 + 1) / 32.0f;
    if (!std::isfinite(x)) continue;
    Out even = f(x, 12, 4);
    Out away = f(x, 12, 4, kF | rounding(CVT_ROUND_AWAY));
    char exact[256];
    snprintf(exact, sizeof exact, "%.60f", (double)x);
    std::string tail = strchr(exact, '.') + 5;
    bool tie = tail.find_first_not_of('0', 1) == std::string::npos && tail[0] == '5';
    if (!tie) {
      EXPECT_EQ(away.text, even.text) << x;
    } else {
      ASSERT_EQ(fesetround(std::signbit(x) ? FE_DOWNWARD : FE_UPWARD), 0);
      std::string want = expected_f(x, 12, 4);
      fesetround(FE_TONEAREST);
      EXPECT_EQ(away.text, want) << x;
    }
  }
}

TEST(FEditingDifferential, Binary64) {
  const Format formats[] = {{10, 4}, {25, 17}, {30, 0}, {40, 22}, {60, 38}, {330, 10}, {1100, 1075}};
  std::mt19937_64 rng(777);
  std::vector<double> values = {0.1, 0.3048, -0.3048, 1e22, 1e23, 5e-324, -5e-324, 1.7976931348623157e308,
                                2.2250738585072014e-308, 0.5, 0.125, 2.5, 1e-5, 123456789.125};
  for (int p = -320; p <= 308; p += 7) values.push_back(std::pow(10.0, p));
  for (int i = 0; i < 20000; ++i) {
    double x = bits_to_double(rng());
    if (std::isfinite(x)) values.push_back(x);
    values.push_back(std::ldexp((double)(rng() >> 11), (int)(rng() % 80) - 70));
  }
  for (size_t i = 0; i < values.size(); ++i) {
    double x = values[i];
    expect_like_printf(x, 10, 4);
    expect_like_printf(x, 25, 17);
    const Format &fm = formats[i % (sizeof formats / sizeof formats[0])];
    if (fm.w > 60 && i % 16 != 0) continue;  // the widest forms on a sample only
    expect_like_printf(x, fm.w, fm.d);
  }
}

// binary32 F editing with d <= 9 takes a short path of its own; the same
// value as a binary64 takes the general one.  Every layout option, sign and
// limit must give the same field on both.
TEST(FEditingDifferential, ShortPathAgreesWithTheGeneralPath) {
  const uint64_t option_bits[] = {CVT_OPT_MINUS_ZERO, CVT_OPT_DECIMAL_COMMA, CVT_OPT_NO_LEADING_ZERO,
                                  CVT_OPT_NO_LEADING_ZERO2, CVT_OPT_MINUS_ROUNDS_TO_ZERO};
  std::mt19937_64 rng(8128);
  for (int i = 0; i < 400000; ++i) {
    float x = i % 3 == 0 ? bits_to_float((uint32_t)rng())
                         : (float)std::ldexp((double)(rng() % 100000), (int)(rng() % 48) - 40);
    if (rng() % 2) x = -x;
    if (i % 97 == 0) x = i % 2 ? 0.0f : -0.0f;
    int32_t w = 2 + (int32_t)(rng() % 20);
    int16_t d = (int16_t)(rng() % 10);
    int32_t limit = rng() % 4 == 0 ? (int32_t)(rng() % 6) : w;
    uint32_t flags = kF | (rng() % 4 == 0 ? CVT_EDIT_SP : 0);
    uint64_t options = 0;
    for (uint64_t bit : option_bits) options |= rng() % 4 == 0 ? bit : 0;
    Out single = edit(x, w, d, flags, options, 0, limit);
    Out wide = edit((double)x, w, d, flags, options, 0, limit);
    ASSERT_EQ(single.text, wide.text) << "F" << w << "." << d << " limit " << limit << " flags " << std::hex << flags
                                      << " options " << options << " of " << std::hexfloat << x;
    ASSERT_EQ(single.status, wide.status) << std::hexfloat << x;
  }
}

TEST(PowerOfTenTables, RecomputedByMultiplication) {
  uint64_t p64 = 1;
  for (int k = 0; k < CVTAS_POW_TEN_64_COUNT; ++k) {
    EXPECT_EQ(cvtas_pow_ten_64[k], p64) << k;
    if (k + 1 < CVTAS_POW_TEN_64_COUNT) p64 *= 10;
  }
  EXPECT_GT(p64, UINT64_MAX / 10);  // the next power does not fit
  unsigned __int128 p128 = 1;
  for (int k = 0; k < CVTAS_POW_TEN_128_COUNT; ++k) {
    EXPECT_EQ(cvtas_pow_ten_128[k].hi, (uint64_t)(p128 >> 64)) << k;
    EXPECT_EQ(cvtas_pow_ten_128[k].lo, (uint64_t)p128) << k;
    if (k + 1 < CVTAS_POW_TEN_128_COUNT) p128 *= 10;
  }
  EXPECT_GT(p128, ~(unsigned __int128)0 / 10);
}

}  // namespace
