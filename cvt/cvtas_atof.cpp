/* Text to binary32 and binary64.
 *
 * The binary32 conversion evaluates the kept digits M in binary64 with the
 * power-of-ten tables and then rounds M once more to binary32.  That second
 * rounding makes it differ from a correctly rounded conversion in rare cases;
 * the evaluation is fixed and must not be replaced by an exact one.  The
 * binary64 conversion is exact: a fast path for short significands and
 * small exponents, otherwise the big-integer rounding of cvtas_exact_t. */
#include <bit>
#include <stdint.h>

#include "cvt/cvt.h"
#include "cvt/cvtas_exact_t.h"
#include "cvt/cvtas_globals.h"
#include "cvt/cvtas_scan.h"

namespace {

/* Decimal positions outside these bounds are out of range before any
 * arithmetic: 10^(L-1) <= value < 10^L. */
constexpr int64_t kMaxPositionS = 39;
constexpr int64_t kMinPositionS = -45;
constexpr int64_t kMaxPositionT = 309;
constexpr int64_t kMinPositionT = -323;

/* Largest exponent for which 10^E is exact in binary64. */
constexpr int64_t kExactPowerT = 22;

inline double pten(int64_t e) { return cvtas_pten_t[e + CVTAS_PTEN_BIAS]; }

inline float signed_s(float v, bool negative) { return negative ? -v : v; }
inline double signed_t(double v, bool negative) { return negative ? -v : v; }

inline float overflow_s(const cvtas_scan &s, uint32_t flags, int32_t *status)
{
    if (flags & CVTAS_REPORT_OVERFLOW)
        *status = CVTAS_OVERFLOW;
    return signed_s(__builtin_inff(), s.negative);
}

inline float underflow_s(const cvtas_scan &s, uint32_t flags, int32_t *status)
{
    if (flags & CVTAS_REPORT_UNDERFLOW)
        *status = CVTAS_UNDERFLOW;
    return signed_s(0.0f, s.negative);
}

/* M = the kept digits times 10^E, each binary64 operation rounded to
 * nearest.  -83 <= E <= 38 here, so for E <= -47 the map index g is at most
 * 10 and E + t stays within the table. */
inline double evaluate_m(const cvtas_scan &s, int64_t e)
{
    double m = (double)s.high;
    if (s.n > CVTAS_GROUP_DIGITS) {
        const int32_t low_digits = (s.n < CVTAS_KEPT_DIGITS ? s.n : CVTAS_KEPT_DIGITS) - CVTAS_GROUP_DIGITS;
        m = m * pten(low_digits) + (double)s.low;
    }
    if (e > -CVTAS_PTEN_BIAS)
        return m * pten(e);
    const int64_t g = -e >> 3;
    uint32_t entry = cvtas_tiny_pten_t_map[g];
    if ((int64_t)(entry >> CVTAS_TINY_MAP_SHIFT) < -e)
        entry = cvtas_tiny_pten_t_map[g + 1];
    const int64_t t = entry >> CVTAS_TINY_MAP_SHIFT;
    const double tiny = cvtas_tiny_pten_t[entry & CVTAS_TINY_MAP_INDEX] * pten(e + t);
    return m * tiny;
}

/* M in [2^-150, 2^-126) to the nearest multiple of 2^-149, ties to even, on
 * the bits of M so that flush-to-zero and denormals-are-zero cannot act. */
inline uint32_t subnormal_bits(double m)
{
    const uint64_t bits = std::bit_cast<uint64_t>(m);
    const uint64_t mant = (bits & ((UINT64_C(1) << 52) - 1)) | (UINT64_C(1) << 52);
    const int32_t biased = (int32_t)(bits >> 52);
    /* M = mant * 2^(biased - 1075); shift lies in 30..53. */
    const int32_t shift = 1075 - 149 - biased;
    uint64_t q = mant >> shift;
    const uint64_t rest = mant & ((UINT64_C(1) << shift) - 1);
    const uint64_t half = UINT64_C(1) << (shift - 1);
    if (rest > half || (rest == half && (q & 1)))
        q++;
    return (uint32_t)q;
}

float value_s(const cvtas_scan &s, uint32_t flags, int16_t digits, int8_t scale, int32_t *status)
{
    if (s.kind == CVTAS_KIND_INF)
        return signed_s(__builtin_inff(), s.negative);
    if (s.kind == CVTAS_KIND_NAN)
        return std::bit_cast<float>(s.plus ? cvtas_globals_t.nan_s_plus : cvtas_globals_t.nan_s);
    if (s.n == 0)
        return signed_s(0.0f, s.negative && s.digit);
    if (s.exponent && s.exp_digits > CVTAS_EXP_DIGITS_MAX)
        return s.exp_negative ? underflow_s(s, flags, status) : overflow_s(s, flags, status);

    int64_t e = cvtas__exponent(&s, digits, scale, flags);
    int32_t n = s.n;
    if (n > CVTAS_KEPT_DIGITS) {
        e += n - CVTAS_KEPT_DIGITS;
        n = CVTAS_KEPT_DIGITS;
    }
    const int64_t position = n + e;
    if (position < kMinPositionS)
        return underflow_s(s, flags, status);
    if (position > kMaxPositionS)
        return overflow_s(s, flags, status);

    const double m = evaluate_m(s, e);
    if (m > cvtas_globals_t.overflow_s)
        return overflow_s(s, flags, status);
    if (m >= cvtas_globals_t.normal_s)
        return signed_s((float)m, s.negative);
    if (m < cvtas_globals_t.underflow_s)
        return underflow_s(s, flags, status);
    return signed_s(std::bit_cast<float>(subnormal_bits(m)), s.negative);
}

/* The common field in one pass, nothing stored: optional white space and
 * sign, 1 to 19 digits with at most one decimal symbol, an optional exponent
 * of at most 4 digits, and nothing after.  It reaches value_s's result by
 * value_s's own operations: the digits as one integer, one conversion to
 * double, one multiplication by cvtas_pten_t[E] (value_s's branch for
 * E > -47), one rounding to binary32.  value_s's decimal-position tests
 * need no repeating: an M from the normal to the overflow threshold has its
 * position within -37..39, inside their bounds; any other M, and every other
 * field, goes to the full scan.  False when it does not apply. */
inline bool short_s(const char *p, const char *end, uint32_t flags, int16_t digits, int8_t scale, float *out)
{
    if ((unsigned char)*p <= ' ' && (flags & CVTAS_SKIP_WHITE))
        while (p < end && cvtas__is_white((unsigned char)*p))
            p++;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+'))
        negative = *p++ == '-';

    // 1. The significand: its digits as one 64-bit integer, the decimal
    //    symbol passed over once.
    const unsigned char symbol = (flags & CVTAS_DECIMAL_COMMA) ? ',' : '.';
    const char *first = p;
    const char *point = nullptr;
    uint64_t high = 0;
    p = cvtas__digit_run(p, end, symbol, &high, &point);
    const int64_t count = (p - first) - (point != nullptr);
    if (count == 0 || count > CVTAS_GROUP_DIGITS)
        return false;
    const int64_t frac = point ? p - point - 1 : digits;

    // 2. The exponent part and the decimal exponent E, as cvtas__exponent.
    int64_t x = -(int64_t)scale;
    if (p < end) {
        const unsigned c = (unsigned char)*p | 0x20;
        const bool letter = c == 'e' || (!(flags & CVTAS_NO_DQ_EXP) && (c == 'd' || c == 'q'));
        if (!letter && ((flags & CVTAS_NO_SIGN_EXP) || (*p != '+' && *p != '-')))
            return false;
        p += letter;
        bool exp_negative = false;
        if (p < end && (*p == '+' || *p == '-'))
            exp_negative = *p++ == '-';
        const char *exp_first = p;
        int32_t value = 0;
        unsigned d;
        while (p < end && (d = (unsigned char)*p - '0') <= 9) {
            if (p - exp_first == 4)
                return false;
            value = value * 10 + (int32_t)d;
            p++;
        }
        if (p != end)
            return false;
        x = exp_negative ? -value : value;
        if (flags & CVTAS_SCALE_WITH_EXP)
            x -= scale;
    }
    const int64_t e = x - frac;

    // 3. The value: zero, or M when it is a normal binary32.
    if (high == 0) {
        *out = signed_s(0.0f, negative);
        return true;
    }
    if (e < 1 - CVTAS_PTEN_BIAS || e > kMaxPositionS)
        return false;
    const double m = (double)high * pten(e);
    if (m > cvtas_globals_t.overflow_s || !(m >= cvtas_globals_t.normal_s))
        return false;
    *out = signed_s((float)m, negative);
    return true;
}

inline double overflow_t(const cvtas_scan &s, uint32_t flags, int32_t *status)
{
    if (flags & CVTAS_REPORT_OVERFLOW)
        *status = CVTAS_OVERFLOW;
    return signed_t(__builtin_inf(), s.negative);
}

inline double underflow_t(const cvtas_scan &s, uint32_t flags, int32_t *status)
{
    if (flags & CVTAS_REPORT_UNDERFLOW)
        *status = CVTAS_UNDERFLOW;
    return signed_t(0.0, s.negative);
}

double value_t(const cvtas_scan &s, uint32_t flags, int16_t digits, int8_t scale, int32_t *status)
{
    if (s.kind == CVTAS_KIND_INF)
        return signed_t(__builtin_inf(), s.negative);
    if (s.kind == CVTAS_KIND_NAN)
        return std::bit_cast<double>(s.plus ? cvtas_globals_t.nan_t_plus : cvtas_globals_t.nan_t);
    if (s.n == 0)
        return signed_t(0.0, s.negative && s.digit);
    if (s.exponent && s.exp_digits > CVTAS_EXP_DIGITS_MAX)
        return s.exp_negative ? underflow_t(s, flags, status) : overflow_t(s, flags, status);

    const int64_t e = cvtas__exponent(&s, digits, scale, flags);
    const int64_t position = s.n + e;
    if (position < kMinPositionT)
        return underflow_t(s, flags, status);
    if (position > kMaxPositionT)
        return overflow_t(s, flags, status);

    /* Both operands exact: one correctly rounded operation. */
    if (s.n <= CVTAS_GROUP_DIGITS && s.high <= (UINT64_C(1) << 53) && e >= -kExactPowerT &&
        e <= kExactPowerT) {
        const double m = (double)s.high;
        return signed_t(e >= 0 ? m * pten(e) : m / pten(-e), s.negative);
    }
    const uint64_t bits = cvtas__exact_t(s.sig_begin, s.sig_end, flags, e);
    if (bits >= UINT64_C(0x7FF0000000000000))
        return overflow_t(s, flags, status);
    if (bits == 0)
        return underflow_t(s, flags, status);
    return signed_t(std::bit_cast<double>(bits), s.negative);
}

// The scan and the evaluation shared by both precisions: status 6 for an
// empty field, 3 (with +0.0, or the signed infinity after INF) for leftover
// characters.
template <typename T>
T convert(const char *text, int32_t length, uint32_t flags, int16_t digits, int8_t scale, const char **end,
          int32_t *status)
{
    int32_t st = CVTAS_OK;
    T v = 0;
    if (length <= 0) {
        st = CVTAS_EMPTY;
        if (end)
            *end = text;
    } else {
        cvtas_scan s;
        cvtas__scan(text, text + length, flags, &s);
        if (end)
            *end = s.stop;
        if (cvtas__leftover(&s, text + length, flags)) {
            st = CVTAS_INVALID;
            if constexpr (sizeof(T) == sizeof(float))
                v = s.kind == CVTAS_KIND_INF ? signed_s(__builtin_inff(), s.negative) : 0.0f;
            else
                v = s.kind == CVTAS_KIND_INF ? signed_t(__builtin_inf(), s.negative) : 0.0;
        } else {
            if constexpr (sizeof(T) == sizeof(float))
                v = value_s(s, flags, digits, scale, &st);
            else
                v = value_t(s, flags, digits, scale, &st);
        }
    }
    if (status)
        *status = st;
    return v;
}

// The full scan for binary32, out of line so that the short path keeps a
// small frame.
[[gnu::noinline]] float convert_s(const char *text, int32_t length, uint32_t flags, int16_t digits, int8_t scale,
                                  const char **end, int32_t *status)
{
    return convert<float>(text, length, flags, digits, scale, end, status);
}

} // namespace

extern "C" float cvtas_a_to_s(const char *text, int32_t length, uint32_t flags, int16_t digits, int8_t scale,
                              const char **end, int32_t *status)
{
    float v;
    if (length > 0 && short_s(text, text + length, flags, digits, scale, &v)) {
        if (end)
            *end = text + length;
        if (status)
            *status = CVTAS_OK;
        return v;
    }
    return convert_s(text, length, flags, digits, scale, end, status);
}

extern "C" double cvtas_a_to_t(const char *text, int32_t length, uint32_t flags, int16_t digits, int8_t scale,
                               const char **end, int32_t *status)
{
    return convert<double>(text, length, flags, digits, scale, end, status);
}
