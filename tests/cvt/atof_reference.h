// Reference evaluation of the binary32 text-to-real conversion, written apart
// from the code under test: its own parser for the plain syntax
// [sign] digits [. digits] [letter [sign] digits], exact big-integer powers of
// ten, and a software replay of every binary64 operation of the evaluation
// (each exactly rounded, nearest with ties to even), so the result does not
// depend on the processor's rounding or flush-to-zero settings.
#ifndef TAVO_TESTS_CVT_ATOF_REFERENCE_H
#define TAVO_TESTS_CVT_ATOF_REFERENCE_H

#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace atof_ref {

// Unsigned big integer, little-endian 32-bit limbs, no leading zero limbs.
struct Big {
    std::vector<uint32_t> w;

    static Big of(uint64_t v)
    {
        Big b;
        while (v) {
            b.w.push_back((uint32_t)v);
            v >>= 32;
        }
        return b;
    }
    static Big pow10(int k)
    {
        Big b = of(1);
        for (int i = 0; i < k; i++)
            b.mul(10);
        return b;
    }
    void mul(uint32_t m)
    {
        uint64_t carry = 0;
        for (auto &x : w) {
            uint64_t t = (uint64_t)x * m + carry;
            x = (uint32_t)t;
            carry = t >> 32;
        }
        if (carry)
            w.push_back((uint32_t)carry);
    }
    int bitlen() const { return w.empty() ? 0 : (int)(w.size() - 1) * 32 + 32 - __builtin_clz(w.back()); }
    bool bit(int i) const { return i / 32 < (int)w.size() && ((w[i / 32] >> (i % 32)) & 1); }
    bool any_below(int i) const
    {
        for (int j = 0; j < i; j++)
            if (bit(j))
                return true;
        return false;
    }
    Big shl(int n) const
    {
        Big r;
        r.w.assign(w.size() + n / 32 + 1, 0);
        for (int i = 0; i < bitlen(); i++)
            if (bit(i))
                r.w[(i + n) / 32] |= 1u << ((i + n) % 32);
        r.trim();
        return r;
    }
    void trim()
    {
        while (!w.empty() && w.back() == 0)
            w.pop_back();
    }
    int cmp(const Big &o) const
    {
        if (w.size() != o.w.size())
            return w.size() < o.w.size() ? -1 : 1;
        for (size_t i = w.size(); i-- > 0;)
            if (w[i] != o.w[i])
                return w[i] < o.w[i] ? -1 : 1;
        return 0;
    }
    void sub(const Big &o)
    {
        int64_t borrow = 0;
        for (size_t i = 0; i < w.size(); i++) {
            int64_t t = (int64_t)w[i] - (i < o.w.size() ? (int64_t)o.w[i] : 0) - borrow;
            borrow = t < 0;
            w[i] = (uint32_t)(t + (borrow << 32));
        }
        trim();
    }
};

// A positive binary64 value m * 2^e with 2^52 <= m < 2^53 (m == 0: zero).
struct Soft {
    uint64_t m = 0;
    int e = 0;
};

inline int bitlen128(unsigned __int128 v)
{
    int n = 0;
    while (v) {
        v >>= 1;
        n++;
    }
    return n;
}

// (v + (sticky ? a fraction in (0,1) : 0)) * 2^e rounded to 53 bits.
inline Soft round53(unsigned __int128 v, int e, bool sticky)
{
    if (v == 0)
        return {};
    int bl = bitlen128(v);
    if (bl <= 53)
        return {(uint64_t)(v << (53 - bl)), e - (53 - bl)};
    int shift = bl - 53;
    uint64_t r = (uint64_t)(v >> shift);
    unsigned __int128 rest = v & (((unsigned __int128)1 << shift) - 1);
    unsigned __int128 half = (unsigned __int128)1 << (shift - 1);
    if (rest > half || (rest == half && (sticky || (r & 1))))
        r++;
    e += shift;
    if (r == (uint64_t)1 << 53) {
        r >>= 1;
        e++;
    }
    return {r, e};
}

// Exactly rounded 10^k, from big integers.
inline Soft pow10_soft(int k)
{
    if (k >= 0) {
        Big n = Big::pow10(k);
        int bl = n.bitlen();
        if (bl <= 64) {
            uint64_t v = 0;
            for (int i = bl - 1; i >= 0; i--)
                v = v << 1 | n.bit(i);
            return round53(v, 0, false);
        }
        unsigned __int128 top = 0;
        for (int i = bl - 1; i >= bl - 64; i--)
            top = top << 1 | n.bit(i);
        return round53(top, bl - 64, n.any_below(bl - 64));
    }
    // 2^s / 10^-k with a quotient of 64 or 65 bits.
    Big den = Big::pow10(-k);
    int s = den.bitlen() + 64;
    Big num = Big::of(1).shl(s);
    int shift = num.bitlen() - den.bitlen();
    Big d = den.shl(shift);
    unsigned __int128 q = 0;
    for (int i = shift; i >= 0; i--) {
        q <<= 1;
        if (num.cmp(d) >= 0) {
            num.sub(d);
            q |= 1;
        }
        // d >>= 1, by rebuilding from den
        if (i > 0)
            d = den.shl(i - 1);
    }
    return round53(q, -s, !num.w.empty());
}

inline Soft soft_of(uint64_t v) { return round53(v, 0, false); }

inline Soft soft_mul(Soft a, Soft b)
{
    if (!a.m || !b.m)
        return {};
    return round53((unsigned __int128)a.m * b.m, a.e + b.e, false);
}

inline Soft soft_add(Soft a, Soft b)
{
    if (!a.m)
        return b;
    if (!b.m)
        return a;
    if (a.e < b.e)
        std::swap(a, b);
    int d = a.e - b.e;
    if (d > 70) // b lies below half an ulp of a
        return a;
    return round53(((unsigned __int128)a.m << d) + b.m, b.e, false);
}

inline Soft soft_from_bits(uint64_t bits)
{
    int be = (int)(bits >> 52);
    return {(bits & ((1ull << 52) - 1)) | (1ull << 52), be - 1075};
}

inline uint64_t soft_bits(Soft a)
{
    if (!a.m)
        return 0;
    return (uint64_t)(a.e + 1075) << 52 | (a.m & ((1ull << 52) - 1));
}

inline int soft_cmp(Soft a, Soft b)
{
    if (!a.m || !b.m)
        return a.m ? 1 : b.m ? -1 : 0;
    if (a.e != b.e)
        return a.e < b.e ? -1 : 1;
    return a.m < b.m ? -1 : a.m > b.m ? 1 : 0;
}

// IEEE rounding of a positive binary64 to binary32 with gradual underflow.
inline uint32_t soft_to_float_bits(Soft a)
{
    int eb = a.e + 52; // a in [2^eb, 2^(eb+1))
    int keep = eb >= -126 ? 24 : 24 - (-126 - eb);
    if (keep < 0)
        return 0;
    int shift = 53 - keep;
    uint64_t r = a.m >> shift;
    uint64_t rest = a.m & ((1ull << shift) - 1);
    uint64_t half = 1ull << (shift - 1);
    if (rest > half || (rest == half && (r & 1)))
        r++;
    if (eb < -126)
        return (uint32_t)r; // a carry to 2^23 is the smallest normal
    return (uint32_t)((uint64_t)(eb + 126) << 23) + (uint32_t)r;
}

// Whether a positive binary64 lies exactly halfway between two binary32.
inline bool soft_is_float_tie(Soft a)
{
    int eb = a.e + 52;
    int keep = eb >= -126 ? 24 : 24 - (-126 - eb);
    if (keep < 0 || keep > 52)
        return false;
    int shift = 53 - keep;
    return (a.m & ((1ull << shift) - 1)) == 1ull << (shift - 1);
}

// Tiny powers and the map, in the order the evaluation lists them.
inline const std::vector<int> &tiny_powers()
{
    static const std::vector<int> t = {22, 45, 66, 85, 107, 127, 150, 173, 187,
                                       206, 220, 243, 266, 289, 305, 306, 307};
    return t;
}
inline const std::vector<int> &tiny_map()
{
    // Map entry g -> index into tiny_powers(), by the listed g ranges.
    static const std::vector<int> m = {0,  0,  0,  1,  1,  1,  2,  2,  2,  3,  3,  4,  4,  4,
                                       5,  5,  6,  6,  6,  7,  7,  7,  8,  8,  9,  9,  10, 10,
                                       11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 15, 16};
    return m;
}

constexpr uint64_t kOverflowBits = 0x47EFFFFFEFFFFFFFull;
constexpr uint64_t kUnderflowBits = 0x3690000000000001ull;

struct Result {
    uint32_t bits = 0;
    int status = 0; // 0, 8 overflow (reported), 9 underflow (reported only on request)
    bool underflow = false;
};

// Components of a plain number.
struct Parsed {
    bool negative = false;
    bool point = false;
    bool exponent = false;
    bool exp_negative = false;
    std::string digits;     // every significand digit, leading zeros too
    int frac = 0;           // digits after the point
    std::string exp_digits; // exponent digits as written
};

inline std::optional<Parsed> parse(std::string_view s)
{
    Parsed p;
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        p.negative = s[i++] == '-';
    for (; i < s.size(); i++) {
        char c = s[i];
        if (c >= '0' && c <= '9') {
            p.digits += c;
            p.frac += p.point;
        } else if (c == '.' && !p.point) {
            p.point = true;
        } else {
            break;
        }
    }
    if (i < s.size() && s[i] != 0 && std::strchr("eEdDqQ", s[i])) {
        p.exponent = true;
        i++;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            p.exp_negative = s[i++] == '-';
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; i++)
            p.exp_digits += s[i];
    }
    if (i != s.size())
        return std::nullopt;
    return p;
}

inline Result overflow(bool neg) { return {neg ? 0xFF800000u : 0x7F800000u, 8, false}; }
inline Result underflow(bool neg) { return {neg ? 0x80000000u : 0u, 0, true}; }

// 10^k exactly rounded, computed once per k.
inline Soft p10(int k)
{
    static std::map<int, Soft> cache;
    auto it = cache.find(k);
    if (it == cache.end())
        it = cache.emplace(k, pow10_soft(k)).first;
    return it->second;
}

// Outcome of the evaluation before the final rounding.
struct Core {
    enum Kind { Zero, NegZero, Over, Under, Value } kind;
    Soft m;
};

inline Core core(const Parsed &p, int d, int k)
{
    size_t first = p.digits.find_first_not_of('0');
    if (first == std::string::npos)
        return {(p.negative && !p.digits.empty()) ? Core::NegZero : Core::Zero, {}};
    std::string sig = p.digits.substr(first);
    long long x = -k;
    if (p.exponent) {
        size_t nz = p.exp_digits.find_first_not_of('0');
        std::string e = nz == std::string::npos ? "" : p.exp_digits.substr(nz);
        if (e.size() > 6)
            return {p.exp_negative ? Core::Under : Core::Over, {}};
        x = e.empty() ? 0 : std::stoll(e);
        if (p.exp_negative)
            x = -x;
    }
    long long E = x - (p.point ? p.frac : d);
    if (sig.size() > 38) {
        E += (long long)sig.size() - 38;
        sig.resize(38);
    }
    long long L = (long long)sig.size() + E;
    if (L < -45)
        return {Core::Under, {}};
    if (L > 39)
        return {Core::Over, {}};

    Soft m = soft_of(std::stoull(sig.substr(0, 19)));
    if (sig.size() > 19) {
        std::string low = sig.substr(19);
        m = soft_add(soft_mul(m, p10((int)low.size())), soft_of(std::stoull(low)));
    }
    if (E > -47) {
        m = soft_mul(m, p10((int)E));
    } else {
        size_t g = (size_t)(-E / 8);
        int t = tiny_powers()[tiny_map()[g]];
        if (t < -E)
            t = tiny_powers()[tiny_map()[g + 1]];
        m = soft_mul(m, soft_mul(p10(-t), p10((int)E + t)));
    }
    return {Core::Value, m};
}

// The evaluation of the binary32 conversion for a parsed field, with the
// implied decimal digits d and scale factor k (not applied to an exponent).
inline Result evaluate(const Parsed &p, int d = 0, int k = 0)
{
    Core c = core(p, d, k);
    switch (c.kind) {
    case Core::Zero:
        return {0u, 0, false};
    case Core::NegZero:
        return {0x80000000u, 0, false};
    case Core::Over:
        return overflow(p.negative);
    case Core::Under:
        return underflow(p.negative);
    case Core::Value:
        break;
    }
    if (soft_cmp(c.m, soft_from_bits(kOverflowBits)) > 0)
        return overflow(p.negative);
    if (soft_cmp(c.m, soft_from_bits(kUnderflowBits)) < 0)
        return underflow(p.negative);
    return {soft_to_float_bits(c.m) | (p.negative ? 0x80000000u : 0u), 0, false};
}

} // namespace atof_ref

#endif
