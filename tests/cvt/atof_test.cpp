// Text-to-real conversion: tables, scanning rules, flag bits, statuses and
// the binary64 evaluation of the binary32 result against an independent
// software replay (atof_reference.h); the binary64 conversion against the C
// library's correctly rounded strtod.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "cvt/cvt.h"
#include "cvt/cvtas_globals.h"
#include "for_arch_fenv.h"
#include "tests/cvt/atof_reference.h"

namespace {

// Flags of list-directed and F editing input: the entry's fixed bits plus
// the dispatcher's 0x80000000.
constexpr uint32_t kEntry = 0x0400A0E0u | CVTAS_ROUND_VALID;

struct Out {
    uint32_t bits;
    int32_t status;
    size_t stop;
};

Out to_s(const std::string &text, uint32_t flags = kEntry, int16_t d = 0, int8_t k = 0)
{
    // Exactly sized copy: a read past the field is caught by the sanitizer.
    std::vector<char> field(text.begin(), text.end());
    const char *end = nullptr;
    int32_t status = -1;
    float v = cvtas_a_to_s(field.data(), (int32_t)field.size(), flags, d, k, &end, &status);
    return {std::bit_cast<uint32_t>(v), status, (size_t)(end - field.data())};
}

struct OutT {
    uint64_t bits;
    int32_t status;
};

OutT to_t(const std::string &text, uint32_t flags = kEntry, int16_t d = 0, int8_t k = 0)
{
    std::vector<char> field(text.begin(), text.end());
    int32_t status = -1;
    double v = cvtas_a_to_t(field.data(), (int32_t)field.size(), flags, d, k, nullptr, &status);
    return {std::bit_cast<uint64_t>(v), status};
}

uint32_t fbits(float f) { return std::bit_cast<uint32_t>(f); }
uint64_t dbits(double d) { return std::bit_cast<uint64_t>(d); }

// The main program's floating-point mode (flush-to-zero and
// denormals-are-zero where the processor provides them for it) for the
// lifetime of the object.
class FlushToZero {
  public:
    FlushToZero() : saved_(for__fp_mode()) { for__set_program_fp_mode(); }
    ~FlushToZero() { for__set_fp_mode(saved_); }

  private:
    uint32_t saved_;
};

uint32_t ref_bits(const std::string &text, int d = 0, int k = 0)
{
    auto p = atof_ref::parse(text);
    EXPECT_TRUE(p.has_value()) << text;
    return atof_ref::evaluate(*p, d, k).bits;
}

TEST(AtofTables, PowersOfTenAreTheNearestDoubles)
{
    for (int k = -47; k <= 47; k++)
        EXPECT_EQ(dbits(cvtas_pten_t[k + CVTAS_PTEN_BIAS]), atof_ref::soft_bits(atof_ref::pow10_soft(k))) << k;
    EXPECT_EQ(dbits(cvtas_pten_t[95]), 0u);
    const auto &t = atof_ref::tiny_powers();
    ASSERT_EQ(t.size(), (size_t)CVTAS_TINY_PTEN_COUNT);
    for (size_t i = 0; i < t.size(); i++)
        EXPECT_EQ(dbits(cvtas_tiny_pten_t[i]), atof_ref::soft_bits(atof_ref::pow10_soft(-t[i]))) << t[i];
}

TEST(AtofTables, TinyMapSelectsAPowerWithinTheTable)
{
    const auto &m = atof_ref::tiny_map();
    ASSERT_EQ(m.size(), (size_t)CVTAS_TINY_MAP_COUNT);
    for (size_t g = 0; g < m.size(); g++) {
        EXPECT_EQ(cvtas_tiny_pten_t_map[g] >> CVTAS_TINY_MAP_SHIFT, atof_ref::tiny_powers()[m[g]]) << g;
        EXPECT_EQ(cvtas_tiny_pten_t_map[g] & CVTAS_TINY_MAP_INDEX, m[g]) << g;
    }
    for (int ne = 47; ne <= 319; ne++) {
        unsigned entry = cvtas_tiny_pten_t_map[ne / 8];
        if ((int)(entry >> CVTAS_TINY_MAP_SHIFT) < ne)
            entry = cvtas_tiny_pten_t_map[ne / 8 + 1];
        const int t = (int)(entry >> CVTAS_TINY_MAP_SHIFT);
        EXPECT_GE(t - ne, -47) << ne;
        EXPECT_LE(t - ne, 47) << ne;
    }
}

TEST(AtofTables, Thresholds)
{
    const double max_float = std::ldexp(double((1 << 24) - 1), 104);
    const double over_mid = max_float + std::ldexp(1.0, 103);
    EXPECT_EQ(std::nextafter(cvtas_globals_t.overflow_s, INFINITY), over_mid);
    EXPECT_EQ(dbits(cvtas_globals_t.overflow_s), CVTAS_OVERFLOW_S_BITS);
    EXPECT_EQ(cvtas_globals_t.normal_s, std::ldexp(1.0, -126) - std::ldexp(1.0, -151));
    EXPECT_EQ(std::nextafter(cvtas_globals_t.underflow_s, 0.0), std::ldexp(1.0, -150));
    EXPECT_EQ(cvtas_globals_t.nan_s, 0xFFC00000u);
    EXPECT_EQ(cvtas_globals_t.nan_s_plus, 0x7FC00000u);
}

TEST(AtofScan, WorkedExamples)
{
    EXPECT_EQ(to_s("1.5").bits, fbits(1.5f));
    for (const char *s : {"1.5E3", "1.5D3", "1.5Q3", "1.5+3", "1.5e+3", "1.5d+03", "1.5q3"}) {
        Out o = to_s(s);
        EXPECT_EQ(o.bits, fbits(1500.0f)) << s;
        EXPECT_EQ(o.status, 0) << s;
    }
    EXPECT_EQ(to_s("1.5-3").bits, fbits(0.0015f));
    EXPECT_EQ(to_s("1.5-3").bits, ref_bits("1.5E-3"));
    EXPECT_EQ(to_s("3.4028235E38").bits, 0x7F7FFFFFu);
    EXPECT_EQ(to_s("1.4E-45").bits, 1u);
    EXPECT_EQ(to_s("-1.4E-45").bits, 0x80000001u);
    EXPECT_EQ(to_s("1.1754942E-38").bits, 0x007FFFFFu);
    EXPECT_EQ(to_s("1.17549435E-38").bits, 0x00800000u);
}

TEST(AtofScan, ImpliedDecimalsAndScale)
{
    // F12.4: without a decimal symbol the last d digits are decimals.
    float v = -1;
    EXPECT_EQ(cvt_text_to_ieee_s_ex("           5", 12, 0, 4, CVTAS_ROUND_VALID | CVTAS_BLANK_NULL, &v, 0), 0);
    EXPECT_EQ(fbits(v), ref_bits("5", 4));
    EXPECT_EQ(fbits(v), fbits(0.0005f));
    EXPECT_EQ(to_s("-12", kEntry, 4).bits, fbits(-0.0012f));
    EXPECT_EQ(to_s("0.5", kEntry, 4).bits, fbits(0.5f));
    EXPECT_EQ(to_s("1E2", kEntry, 4).bits, fbits(0.01f));
    EXPECT_EQ(to_s("1.E2", kEntry, 4).bits, fbits(100.0f));
    // Trailing blanks: zeros in blank mode zero, nothing in blank mode null.
    EXPECT_EQ(to_s("15  ", kEntry, 4).bits, fbits(0.15f));
    EXPECT_EQ(to_s("15  ", kEntry | CVTAS_BLANK_NULL, 4).bits, fbits(0.0015f));
    EXPECT_EQ(to_s("1 5", kEntry | CVTAS_BLANK_NULL).bits, fbits(15.0f));
    EXPECT_EQ(to_s("1 5", kEntry).bits, fbits(105.0f));
    EXPECT_EQ(to_s("1.5E 2", kEntry).bits, fbits(1.5e2f));
    EXPECT_EQ(to_s("1.5E2 ", kEntry).bits, fbits(1.5e20f));
    // Neither blank mode: a blank ends the number.
    Out o = to_s("1 5", 0x8000);
    EXPECT_EQ(o.status, CVTAS_INVALID);
    EXPECT_EQ(o.stop, 1u);
    // Scale factor: applied without an exponent, with one only on 0x400.
    EXPECT_EQ(to_s("1.5", kEntry, 0, 2).bits, ref_bits("1.5", 0, 2));
    EXPECT_EQ(to_s("1.5", kEntry, 0, -2).bits, fbits(150.0f));
    EXPECT_EQ(to_s("1.5E3", kEntry, 0, 2).bits, fbits(1500.0f));
    EXPECT_EQ(to_s("1.5E3", kEntry | CVTAS_SCALE_WITH_EXP, 0, 2).bits, fbits(15.0f));
}

TEST(AtofScan, EmptyBlankSignAndZero)
{
    Out o = to_s("", kEntry);
    EXPECT_EQ(o.status, CVTAS_EMPTY);
    EXPECT_EQ(o.bits, 0u);
    for (const char *s : {"     ", "+", "-", " - ", "-.", ".", "E5", "-E5", "\t\n\v\f\r "}) {
        o = to_s(s, kEntry | CVTAS_BLANK_NULL);
        EXPECT_EQ(o.bits, 0u) << s;
        EXPECT_EQ(o.status, 0) << s;
    }
    for (const char *s : {"-0", "-0.00", "-.0", "-0E99999999", "-00000000000000000000000000000000000000000000"}) {
        o = to_s(s);
        EXPECT_EQ(o.bits, 0x80000000u) << s;
        EXPECT_EQ(o.status, 0) << s;
    }
    EXPECT_EQ(to_s("0E9999999").status, 0);
    float v = 7;
    EXPECT_EQ(cvt_text_to_ieee_s_ex("x", 0, 0, 0, CVTAS_ROUND_VALID, &v, 0), 0);
    EXPECT_EQ(fbits(v), 0u);
    v = 7;
    EXPECT_EQ(cvt_text_to_ieee_s_ex("x", -1, 0, 0, CVTAS_ROUND_VALID, &v, 0), 1);
    EXPECT_EQ(fbits(v), 0u);
}

TEST(AtofScan, InfinityAndNan)
{
    EXPECT_EQ(to_s("inf").bits, 0x7F800000u);
    EXPECT_EQ(to_s("-Infinity").bits, 0xFF800000u);
    EXPECT_EQ(to_s("+INF").bits, 0x7F800000u);
    EXPECT_EQ(to_s("infinity   ", kEntry | CVTAS_BLANK_NULL).status, 0);
    Out o = to_s("INFI");
    EXPECT_EQ(o.status, CVTAS_INVALID);
    EXPECT_EQ(o.bits, 0x7F800000u);
    EXPECT_EQ(o.stop, 3u);
    EXPECT_EQ(to_s("-INFINITYX").bits, 0xFF800000u);
    EXPECT_EQ(to_s("-INFINITYX").status, CVTAS_INVALID);
    EXPECT_EQ(to_s("nan").bits, 0xFFC00000u);
    EXPECT_EQ(to_s("-NaN").bits, 0xFFC00000u);
    EXPECT_EQ(to_s("+NaN").bits, 0x7FC00000u);
    EXPECT_EQ(to_s("NaN(abc_1)").bits, 0xFFC00000u);
    EXPECT_EQ(to_s("NaN (Q9)").status, 0);
    for (const char *s : {"NaN(a-b)", "NaN(ab", "NaNx", "1inf", "IN", "nana"}) {
        o = to_s(s);
        EXPECT_EQ(o.status, CVTAS_INVALID) << s;
        EXPECT_EQ(o.bits, 0u) << s;
    }
    // Without 0x80 the forms are ordinary leftovers.
    EXPECT_EQ(to_s("inf", kEntry & ~CVTAS_INF_NAN).status, CVTAS_INVALID);
    EXPECT_EQ(to_s("inf", 0).status, 0);
    EXPECT_EQ(to_s("inf", 0).stop, 0u);
    // Binary64 NaNs follow the same sign rule.
    EXPECT_EQ(to_t("nan").bits, 0xFFF8000000000000ull);
    EXPECT_EQ(to_t("+nan").bits, 0x7FF8000000000000ull);
    EXPECT_EQ(to_t("-infinity").bits, dbits(-INFINITY));
}

TEST(AtofScan, LeftoversAndDecimalSymbol)
{
    for (const char *s : {"1.2.3", "12abc", "1,5", "1.5x", "1.0E+-3", "1.5E3.", "\x80", "1e5e5"}) {
        Out o = to_s(s);
        EXPECT_EQ(o.status, CVTAS_INVALID) << s;
        EXPECT_EQ(o.bits, 0u) << s;
        float v = 7;
        EXPECT_EQ(cvt_text_to_ieee_s_ex(s, (int32_t)strlen(s), 0, 0, CVTAS_ROUND_VALID, &v, 0), 1) << s;
        EXPECT_EQ(fbits(v), 0u) << s;
    }
    // Without 0x8000 the value of the leading number stands; end says where.
    Out o = to_s("12abc", 0);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.bits, fbits(12.0f));
    EXPECT_EQ(o.stop, 2u);
    // A NUL leftover is ignored only with 0x80000000.
    std::string nul("1.5\0zz", 6);
    EXPECT_EQ(to_s(nul).status, 0);
    EXPECT_EQ(to_s(nul).bits, fbits(1.5f));
    EXPECT_EQ(to_s(nul, kEntry & ~CVTAS_ROUND_VALID).status, CVTAS_INVALID);
    // Decimal comma, from the flag or the entry's option word.
    EXPECT_EQ(to_s("1,5", kEntry | CVTAS_DECIMAL_COMMA).bits, fbits(1.5f));
    EXPECT_EQ(to_s("1.5", kEntry | CVTAS_DECIMAL_COMMA).status, CVTAS_INVALID);
    float v = 0;
    EXPECT_EQ(cvt_text_to_ieee_s_ex("-2,25", 5, 0, 0, CVTAS_ROUND_VALID, &v, CVT_OPT_DECIMAL_COMMA), 0);
    EXPECT_EQ(v, -2.25f);
    // Leading white space is skipped only with 0x20.
    EXPECT_EQ(to_s("\t 1.5").bits, fbits(1.5f));
    EXPECT_EQ(to_s("\t1.5", CVTAS_NO_LEFTOVER).status, CVTAS_INVALID);
    // Exponent starters that the flags switch off.
    EXPECT_EQ(to_s("1.5+3", kEntry | CVTAS_NO_SIGN_EXP).status, CVTAS_INVALID);
    EXPECT_EQ(to_s("1.5E+3", kEntry | CVTAS_NO_SIGN_EXP).bits, fbits(1500.0f));
    EXPECT_EQ(to_s("1.5D3", kEntry | CVTAS_NO_DQ_EXP).status, CVTAS_INVALID);
    EXPECT_EQ(to_s("1.5Q3", kEntry | CVTAS_NO_DQ_EXP).status, CVTAS_INVALID);
    // An exponent without digits is 0.
    for (const char *s : {"1.5E", "1.5E+", "1.5-", "1.5d-"})
        EXPECT_EQ(to_s(s).bits, fbits(1.5f)) << s;
}

TEST(AtofRange, OverflowAndUnderflow)
{
    for (const char *s : {"3.4028236E38", "1E39", "1E1000000", "340282356779733661637539395458142568448"}) {
        Out o = to_s(s);
        EXPECT_EQ(o.bits, 0x7F800000u) << s;
        EXPECT_EQ(o.status, CVTAS_OVERFLOW) << s;
        float v = 0;
        EXPECT_EQ(cvt_text_to_ieee_s_ex(s, (int32_t)strlen(s), 0, 0, CVTAS_ROUND_VALID, &v, 0), 1) << s;
        EXPECT_EQ(fbits(v), 0x7F800000u) << s;
    }
    EXPECT_EQ(to_s("-1E39").bits, 0xFF800000u);
    // M equal to the threshold still rounds to the largest single.
    EXPECT_EQ(to_s("340282356779733623858607532500980858880").bits, 0x7F7FFFFFu);
    // Overflow unreported without 0x2000.
    EXPECT_EQ(to_s("1E39", CVTAS_ROUND_VALID).status, 0);
    EXPECT_EQ(to_s("1E39", CVTAS_ROUND_VALID).bits, 0x7F800000u);
    for (const char *s : {"1E-46", "7E-46", "1E-1000000"}) {
        Out o = to_s(s);
        EXPECT_EQ(o.bits, 0u) << s;
        EXPECT_EQ(o.status, 0) << s;
        EXPECT_EQ(to_s(s, kEntry | CVTAS_REPORT_UNDERFLOW).status, CVTAS_UNDERFLOW) << s;
        float v = 1;
        EXPECT_EQ(cvt_text_to_ieee_s_ex(s, (int32_t)strlen(s), 0, 0, CVTAS_ROUND_VALID, &v, 0), 0);
        EXPECT_EQ(fbits(v), 0u);
    }
    EXPECT_EQ(to_s("0." + std::string(45, '0') + "1").bits, 0u);
    EXPECT_EQ(to_s("0." + std::string(44, '0') + "1").bits, ref_bits("1E-45"));
    EXPECT_EQ(to_s("-1E-46").bits, 0x80000000u);
    EXPECT_EQ(to_s("7.1E-46").bits, 1u);
    // Exponent digit counts: leading zeros do not count.
    EXPECT_EQ(to_s("1E-0000001").bits, fbits(0.1f));
    EXPECT_EQ(to_s("1E0000038").bits, fbits(1e38f));
    EXPECT_EQ(to_s("0.00001E-999999").status, 0);
}

TEST(AtofRange, SignificantDigitLimit)
{
    // 40 digits: the first 38 with the exponent raised by 2.
    EXPECT_EQ(to_s("1234567890123456789012345678901234567899").bits,
              to_s("12345678901234567890123456789012345678E2").bits);
    EXPECT_EQ(to_s("1.234567890123456789012345678901234567899E-30").bits,
              to_s("1.2345678901234567890123456789012345678E-30").bits);
    // The decimal position counts the kept digits with the raised exponent:
    // a 40-digit 1.0E38 is in range.
    EXPECT_EQ(to_s("1." + std::string(39, '0') + "E38").bits, ref_bits("1E38"));
    EXPECT_EQ(to_s("0." + std::string(44, '0') + "14" + std::string(45, '0')).bits, 1u);
    EXPECT_EQ(to_s(std::string(45, '9') + "E-84").bits, ref_bits(std::string(38, '9') + "E-77"));
}

// Strings of every shape the scanner takes, for agreement with the replay.
std::vector<std::string> generated_strings()
{
    std::vector<std::string> out;
    std::mt19937_64 rng(20240611);
    char buf[128];
    // Random digit strings: 1 to 45 significant digits, every decimal position
    // from below the underflow bound to above the overflow bound.
    for (int n = 1; n <= 45; n++) {
        for (int rep = 0; rep < 400; rep++) {
            std::string digits;
            digits += (char)('1' + rng() % 9);
            for (int i = 1; i < n; i++)
                digits += (char)('0' + rng() % 10);
            if (rng() % 4 == 0) // runs of nines and zeros are near the boundaries
                for (size_t i = 1 + rng() % n; i < digits.size(); i++)
                    digits[i] = rng() % 2 ? '9' : '0';
            const int position = -48 + (int)(rng() % 90); // L in -48..41
            const int point = (int)(rng() % (n + 1));
            std::string s = rng() % 5 == 0 ? "-" : "";
            const int zeros = (int)(rng() % 3);
            s += std::string(zeros, '0');
            s += digits.substr(0, point) + "." + digits.substr(point);
            const int e = position - point;
            snprintf(buf, sizeof buf, "%s%d", rng() % 2 ? "E" : "e", e);
            s += buf;
            out.push_back(s);
        }
    }
    // Exact decimal expansions near float midpoints and boundaries, cut to
    // various lengths: the double rounding of M shows up here.
    std::uniform_int_distribution<uint32_t> any(1, 0x7F7FFFFEu);
    for (int rep = 0; rep < 3000; rep++) {
        const uint32_t b = rep < 64 ? (uint32_t)rep + 1 : rep < 127 ? 0x7F7FFFC0u + (rep - 64) : any(rng);
        const double lo = std::bit_cast<float>(b), hi = std::bit_cast<float>(b + 1);
        const double mid = lo + (hi - lo) / 2;
        for (int p : {0, 3, 6, 8, 9, 12, 16, 17, 18, 19, 20, 25, 30, 37, 38, 39, 45}) {
            snprintf(buf, sizeof buf, "%.*e", p, mid);
            out.push_back(buf);
            snprintf(buf, sizeof buf, "%.*e", p, lo);
            out.push_back(buf);
        }
    }
    for (uint64_t t : {CVTAS_OVERFLOW_S_BITS, CVTAS_NORMAL_S_BITS, CVTAS_UNDERFLOW_S_BITS}) {
        for (int d = -3; d <= 3; d++) {
            const double v = std::bit_cast<double>(t + d);
            for (int p : {7, 8, 9, 16, 17, 20, 30, 37, 40, 44}) {
                snprintf(buf, sizeof buf, "%.*e", p, v);
                out.push_back(buf);
            }
        }
    }
    return out;
}

TEST(AtofEvaluation, AgreesWithTheReplay)
{
    const auto strings = generated_strings();
    std::vector<atof_ref::Result> expect;
    for (const auto &s : strings) {
        auto p = atof_ref::parse(s);
        ASSERT_TRUE(p.has_value()) << s;
        expect.push_back(atof_ref::evaluate(*p));
    }
    size_t differs_from_nearest = 0;
    for (int mode = 0; mode < 2; mode++) {
        std::unique_ptr<FlushToZero> ftz(mode ? new FlushToZero : nullptr);
        int failures = 0;
        for (size_t i = 0; i < strings.size() && failures < 20; i++) {
            Out o = to_s(strings[i], kEntry | (mode ? CVTAS_REPORT_UNDERFLOW : 0));
            const int want = expect[i].status ? expect[i].status : mode && expect[i].underflow ? 9 : 0;
            if (o.bits != expect[i].bits || o.status != want) {
                ADD_FAILURE() << strings[i] << " gives " << std::hex << o.bits << " status " << o.status
                              << ", expected " << expect[i].bits << " status " << want;
                failures++;
            }
        }
    }
    for (size_t i = 0; i < strings.size(); i++)
        differs_from_nearest += expect[i].bits != fbits(strtof(strings[i].c_str(), nullptr));
    // The double rounding must actually be exercised by this set.
    EXPECT_GT(differs_from_nearest, 0u);
    printf("%zu strings, %zu differ from the nearest binary32\n", strings.size(), differs_from_nearest);
}

// Short fields of every shape under every flag that acts on them, against
// the same field followed by a letter that only the full scan reads (and,
// without 0x8000, leaves over): value and status must agree.
TEST(AtofScan, ShortFieldsAgreeWithTheFullScan)
{
    std::mt19937_64 rng(4242);
    const uint32_t optional[] = {CVTAS_SKIP_WHITE, CVTAS_DECIMAL_COMMA, CVTAS_NO_DQ_EXP, CVTAS_NO_SIGN_EXP,
                                 CVTAS_SCALE_WITH_EXP, CVTAS_BLANK_NULL, CVTAS_REPORT_UNDERFLOW};
    auto digits = [&](int n) {
        std::string out;
        for (int i = 0; i < n; i++)
            out += (char)(rng() % 4 == 0 ? '0' : '0' + rng() % 10);
        return out;
    };
    int compared = 0;
    for (int rep = 0; rep < 200000; rep++) {
        uint32_t flags = CVTAS_REPORT_OVERFLOW | CVTAS_INF_NAN | CVTAS_ROUND_VALID;
        for (uint32_t bit : optional)
            flags |= rng() % 3 == 0 ? bit : 0;
        const char point = flags & CVTAS_DECIMAL_COMMA ? ',' : '.';
        std::string s = rng() % 8 == 0 ? " \t" : "";
        s += rng() % 3 == 0 ? (rng() % 2 ? "-" : "+") : "";
        s += digits((int)(rng() % 12));
        if (rng() % 3)
            s += point + digits((int)(rng() % 12));
        if (rng() % 2) {
            static const char *const kStarts[] = {"E", "e", "D", "q", "", "E+", "e-", "d-", "+", "-"};
            s += kStarts[rng() % 10];
            s += digits((int)(rng() % 6));
        }
        if (s.empty())
            continue;
        const int16_t d = (int16_t)(rng() % 10) - 2;
        const int8_t k = (int8_t)(rng() % 11) - 5;
        const Out whole = to_s(s, flags | CVTAS_NO_LEFTOVER, d, k);
        const Out full = to_s(s + "x", flags, d, k);
        if (whole.status == CVTAS_INVALID)
            continue;  // something was left over already
        ASSERT_EQ(whole.bits, full.bits) << "[" << s << "] flags " << std::hex << flags << std::dec << " d " << d
                                         << " k " << (int)k;
        ASSERT_EQ(whole.status, full.status) << "[" << s << "]";
        ASSERT_EQ(whole.stop, s.size()) << "[" << s << "]";
        compared++;
    }
    EXPECT_GT(compared, 100000);
}

TEST(AtofDouble, NearestDouble)
{
    auto strings = generated_strings();
    // Long significands and the binary64 range ends.
    std::mt19937_64 rng(77);
    char buf[1200];
    for (int rep = 0; rep < 2000; rep++) {
        const double v = std::bit_cast<double>(rng() % 0x7FEFFFFFFFFFFFFFull);
        const double next = std::nextafter(v, INFINITY);
        const int p = (int)(rng() % 1100);
        snprintf(buf, sizeof buf, "%.*e", p, v + (next - v) / 2);
        strings.push_back(buf);
        snprintf(buf, sizeof buf, "%.*e", (int)(rng() % 25), v);
        strings.push_back(buf);
    }
    for (const char *s : {"1.7976931348623157e308", "1.7976931348623158e308", "1.797693134862315807e308",
                          "4.9406564584124654e-324", "2.4703282292062327e-324", "2.4703282292062328e-324",
                          "2.2250738585072011e-308", "2.2250738585072014e-308", "1e-400", "1e400",
                          "9007199254740993", "123456789012345678901234567890"})
        strings.push_back(s);
    std::vector<uint64_t> expect;
    for (const auto &s : strings)
        expect.push_back(dbits(strtod(s.c_str(), nullptr)));
    for (int mode = 0; mode < 2; mode++) {
        std::unique_ptr<FlushToZero> ftz(mode ? new FlushToZero : nullptr);
        int failures = 0;
        for (size_t i = 0; i < strings.size() && failures < 20; i++) {
            OutT o = to_t(strings[i]);
            const uint64_t mag = expect[i] & ~(1ull << 63);
            const int want = mag == 0x7FF0000000000000ull ? 8 : 0;
            if (o.bits != expect[i] || o.status != want) {
                ADD_FAILURE() << strings[i] << " gives " << std::hex << o.bits << ", expected " << expect[i];
                failures++;
            }
        }
    }
    // Implied decimals, blanks and the entry.
    EXPECT_EQ(to_t("25", kEntry, 1).bits, dbits(2.5));
    EXPECT_EQ(to_t("2 5", kEntry | CVTAS_BLANK_NULL).bits, dbits(25.0));
    EXPECT_EQ(to_t("2 5.5", kEntry).bits, dbits(205.5));
    const std::string long_blank = "1" + std::string(30, ' ') + "." + std::string(800, '3') + "4";
    EXPECT_EQ(to_t(long_blank, kEntry).bits, dbits(strtod(("1" + std::string(30, '0') + "." +
                                                            std::string(800, '3') + "4").c_str(), nullptr)));
    double d = 0;
    EXPECT_EQ(cvt_text_to_ieee_t_ex("2,7", 3, 0, 0, CVTAS_ROUND_VALID, &d, CVT_OPT_DECIMAL_COMMA), 0);
    EXPECT_EQ(d, 2.7);
    EXPECT_EQ(cvt_text_to_ieee_t_ex("1e999", 5, 0, 0, CVTAS_ROUND_VALID, &d, 0), 1);
    EXPECT_EQ(d, INFINITY);
    EXPECT_EQ(cvt_text_to_ieee_t_ex("", 0, 0, 0, CVTAS_ROUND_VALID, &d, 0), 0);
    EXPECT_EQ(dbits(d), 0u);
    EXPECT_EQ(to_t("1e-400", kEntry | CVTAS_REPORT_UNDERFLOW).status, CVTAS_UNDERFLOW);
}

} // namespace
