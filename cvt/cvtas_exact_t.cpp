/* Exact decimal to binary64 rounding in fixed-size big-integer arithmetic.
 *
 * The value D * 10^P is brought to a quotient q of 66 or 67 bits and a
 * binary exponent b with value = (q + f) * 2^b, 0 <= f < 1, and a sticky bit
 * saying whether f is nonzero; q then rounds to the 53 (or, for subnormal
 * results, fewer) bits of the result with an exact remainder test.
 *
 * Only the first 800 significant digits are kept; when a nonzero digit
 * follows, the digit 1 is appended instead.  A midpoint between two binary64
 * values has at most 767 significant digits, so it cannot lie strictly
 * between the kept prefix and the prefix plus one unit of its last digit:
 * the substitute and the true value round alike. */
#include "cvt/cvtas_exact_t.h"

#include "cvt/cvt.h"

namespace {

constexpr int32_t kMaxDigits = 800;
/* Largest operand: 10^1125 (P >= -323 - 801) shifted by 67 bits, under
 * 3810 bits. */
constexpr int32_t kLimbs = 128;
constexpr int32_t kQuotientBits = 66;

struct big {
    uint32_t w[kLimbs]; /* little-endian limbs                 */
    int32_t size;       /* limbs in use; w[size-1] != 0 or 0   */
};

void big_set(big &a, uint32_t v)
{
    a.w[0] = v;
    a.size = v != 0;
}

void big_trim(big &a)
{
    while (a.size > 0 && a.w[a.size - 1] == 0)
        a.size--;
}

/* a = a * m + add */
void big_mul_add(big &a, uint32_t m, uint32_t add)
{
    uint64_t carry = add;
    for (int32_t i = 0; i < a.size; i++) {
        const uint64_t t = (uint64_t)a.w[i] * m + carry;
        a.w[i] = (uint32_t)t;
        carry = t >> 32;
    }
    if (carry)
        a.w[a.size++] = (uint32_t)carry;
}

void big_mul_pow10(big &a, int32_t k)
{
    for (; k >= 9; k -= 9)
        big_mul_add(a, 1000000000u, 0);
    static const uint32_t small[9] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
    if (k > 0)
        big_mul_add(a, small[k], 0);
}

int32_t big_bitlen(const big &a)
{
    if (a.size == 0)
        return 0;
    return (a.size - 1) * 32 + (32 - __builtin_clz(a.w[a.size - 1]));
}

void big_shl(big &a, int32_t bits)
{
    if (a.size == 0 || bits == 0)
        return;
    const int32_t limbs = bits / 32, rest = bits % 32;
    int32_t size = a.size + limbs + 1;
    for (int32_t i = size - 1; i >= limbs; i--) {
        const int32_t j = i - limbs;
        uint32_t hi = j < a.size ? a.w[j] : 0;
        uint32_t lo = (j >= 1 && j - 1 < a.size) ? a.w[j - 1] : 0;
        a.w[i] = rest ? (hi << rest) | (lo >> (32 - rest)) : hi;
    }
    for (int32_t i = 0; i < limbs; i++)
        a.w[i] = 0;
    a.size = size;
    big_trim(a);
}

void big_shr1(big &a)
{
    for (int32_t i = 0; i < a.size; i++)
        a.w[i] = (a.w[i] >> 1) | (i + 1 < a.size ? a.w[i + 1] << 31 : 0);
    big_trim(a);
}

int big_cmp(const big &a, const big &b)
{
    if (a.size != b.size)
        return a.size < b.size ? -1 : 1;
    for (int32_t i = a.size - 1; i >= 0; i--)
        if (a.w[i] != b.w[i])
            return a.w[i] < b.w[i] ? -1 : 1;
    return 0;
}

/* a -= b, a >= b */
void big_sub(big &a, const big &b)
{
    int64_t borrow = 0;
    for (int32_t i = 0; i < a.size; i++) {
        int64_t t = (int64_t)a.w[i] - (i < b.size ? b.w[i] : 0) - borrow;
        borrow = t < 0;
        a.w[i] = (uint32_t)(t + (borrow << 32));
    }
    big_trim(a);
}

/* Bits [from, to) of a as an integer, to - from <= 128. */
unsigned __int128 big_bits(const big &a, int32_t from, int32_t to)
{
    unsigned __int128 r = 0;
    for (int32_t i = to - 1; i >= from; i--)
        r = r << 1 | ((a.w[i / 32] >> (i % 32)) & 1);
    return r;
}

bool big_any_below(const big &a, int32_t bit)
{
    for (int32_t i = 0; i < bit / 32 && i < a.size; i++)
        if (a.w[i])
            return true;
    return bit / 32 < a.size && (a.w[bit / 32] & ((UINT32_C(1) << (bit % 32)) - 1)) != 0;
}

/* q = num / den, num keeps the remainder; the quotient fits 128 bits. */
unsigned __int128 big_divide(big &num, big &den)
{
    const int32_t shift = big_bitlen(num) - big_bitlen(den);
    if (shift < 0)
        return 0;
    big_shl(den, shift);
    unsigned __int128 q = 0;
    for (int32_t i = shift; i >= 0; i--) {
        q <<= 1;
        if (big_cmp(num, den) >= 0) {
            big_sub(num, den);
            q |= 1;
        }
        big_shr1(den);
    }
    return q;
}

int32_t bitlen128(unsigned __int128 v)
{
    const uint64_t hi = (uint64_t)(v >> 64);
    if (hi)
        return 128 - __builtin_clzll(hi);
    const uint64_t lo = (uint64_t)v;
    return lo ? 64 - __builtin_clzll(lo) : 0;
}

/* (q + f) * 2^b to binary64 bits, nearest with ties to even. */
uint64_t round_t(unsigned __int128 q, int32_t b, bool sticky)
{
    const int32_t bl = bitlen128(q);
    const int32_t e2 = bl - 1 + b;
    if (e2 > 1023)
        return UINT64_C(0x7FF0000000000000);
    const bool normal = e2 >= -1022;
    const int32_t keep = normal ? 53 : e2 + 1075;
    if (keep < 0)
        return 0;
    const int32_t shift = bl - keep;
    uint64_t r;
    if (shift <= 0) {
        r = (uint64_t)(q << -shift);
    } else {
        r = (uint64_t)(q >> shift);
        const unsigned __int128 rest = q & (((unsigned __int128)1 << shift) - 1);
        const unsigned __int128 half = (unsigned __int128)1 << (shift - 1);
        if (rest > half || (rest == half && (sticky || (r & 1))))
            r++;
    }
    /* A carry out of the significand moves into the exponent field. */
    const uint64_t bits = normal ? ((uint64_t)(e2 + 1022) << 52) + r : r;
    return bits > UINT64_C(0x7FF0000000000000) ? UINT64_C(0x7FF0000000000000) : bits;
}

} // namespace

uint64_t cvtas__exact_t(const char *begin, const char *end, uint32_t flags, int64_t e)
{
    const bool blank_zero = !(flags & CVTAS_BLANK_NULL) && (flags & CVTAS_BLANK_ZERO);

    big num;
    big_set(num, 0);
    int32_t kept = 0, dropped = 0, chunk_digits = 0;
    uint32_t chunk = 0;
    bool sticky = false;
    for (const char *p = begin; p < end; p++) {
        unsigned d = (unsigned char)*p - '0';
        if (d > 9) {
            if (*p == ' ' && blank_zero)
                d = 0;
            else
                continue; /* the decimal symbol or a skipped blank */
        }
        if (kept == 0 && chunk_digits == 0 && d == 0)
            continue;
        if (kept + chunk_digits < kMaxDigits) {
            chunk = chunk * 10 + d;
            if (++chunk_digits == 9) {
                big_mul_add(num, 1000000000u, chunk);
                kept += 9;
                chunk = 0;
                chunk_digits = 0;
            }
        } else {
            dropped++;
            sticky |= d != 0;
        }
    }
    if (chunk_digits) {
        big_mul_pow10(num, chunk_digits);
        big_mul_add(num, 1, chunk);
        kept += chunk_digits;
    }
    int64_t p10 = e + dropped;
    if (sticky) {
        big_mul_add(num, 10, 1);
        p10--;
    }

    if (p10 >= 0) {
        big_mul_pow10(num, (int32_t)p10);
        const int32_t bl = big_bitlen(num);
        const int32_t b = bl > kQuotientBits ? bl - kQuotientBits : 0;
        const unsigned __int128 q = big_bits(num, b, bl);
        return round_t(q, b, big_any_below(num, b));
    }
    big den;
    big_set(den, 1);
    big_mul_pow10(den, (int32_t)-p10);
    const int32_t s = kQuotientBits + big_bitlen(den) - big_bitlen(num);
    if (s >= 0)
        big_shl(num, s);
    else
        big_shl(den, -s);
    const unsigned __int128 q = big_divide(num, den);
    return round_t(q, -s, num.size != 0);
}
