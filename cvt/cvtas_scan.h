/* Field scanner shared by the text-to-real conversions: one left-to-right
 * pass that records the sign, the significant digits in two 19-digit groups
 * and the counts the decimal exponent is made of.  (A significand longer than
 * the fast path's run, or one with blanks, is read again digit by digit from
 * its start; nothing past it is read twice.)  Internal to cvt/. */
#ifndef TAVO_CVT_CVTAS_SCAN_H
#define TAVO_CVT_CVTAS_SCAN_H

#include <stdint.h>

#include "cvt/cvt.h"

/* What the field holds. */
#define CVTAS_KIND_NUMBER 0
#define CVTAS_KIND_INF 1
#define CVTAS_KIND_NAN 2

/* Significant digits kept in the two groups; further digits are counted. */
#define CVTAS_GROUP_DIGITS 19
#define CVTAS_KEPT_DIGITS 38

/* An exponent with more significant digits than this is out of any range. */
#define CVTAS_EXP_DIGITS_MAX 6

struct cvtas_scan {
    uint64_t high;          /* first 19 significant digits                */
    uint64_t low;           /* next 19 significant digits                 */
    int32_t n;              /* significant digits read, all of them       */
    int32_t frac;           /* digits after the decimal symbol, zeros too */
    int32_t exp_value;      /* exponent magnitude, its first 7 digits     */
    int32_t exp_digits;     /* significant digits of the exponent         */
    int32_t kind;           /* CVTAS_KIND_*                               */
    bool negative;          /* '-' written                                */
    bool plus;              /* '+' written                                */
    bool point;             /* decimal symbol seen                        */
    bool digit;             /* any significand digit seen, zeros too      */
    bool exponent;          /* exponent started                           */
    bool exp_negative;      /* exponent sign '-'                          */
    const char *sig_begin;  /* significand characters, for exact re-reads */
    const char *sig_end;
    const char *stop;       /* first character not taken                  */
};

static inline bool cvtas__is_white(unsigned char c) { return c == ' ' || (c >= 9 && c <= 13); }

/* Case-blind match of an upper-case word at p. */
static inline bool cvtas__match(const char *p, const char *end, const char *word, int32_t len)
{
    if (end - p < len)
        return false;
    for (int32_t i = 0; i < len; i++)
        if (((unsigned char)p[i] & 0xDF) != (unsigned char)word[i])
            return false;
    return true;
}

static inline bool cvtas__is_payload(unsigned char c)
{
    return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '_';
}

/* INF, INFINITY or NAN(payload) at p; on a match records the kind and
 * returns the position after the form.  Out of line, like the other rare
 * paths, to keep the common path short. */
__attribute__((noinline)) static inline const char *
cvtas__scan_special(const char *p, const char *end, uint32_t flags, struct cvtas_scan *s)
{
    if (cvtas__match(p, end, "INF", 3)) {
        s->kind = CVTAS_KIND_INF;
        p += 3;
        if (cvtas__match(p, end, "INITY", 5))
            p += 5;
    } else if (cvtas__match(p, end, "NAN", 3)) {
        s->kind = CVTAS_KIND_NAN;
        p += 3;
        while (p < end && cvtas__is_white((unsigned char)*p))
            p++;
        if (p < end && *p == '(') {
            const char *q = p + 1;
            while (q < end && cvtas__is_payload((unsigned char)*q))
                q++;
            if (q < end && *q == ')')
                p = q + 1;
        }
    } else {
        return nullptr;
    }
    if (flags & CVTAS_BLANK_NULL)
        while (p < end && *p == ' ')
            p++;
    return p;
}

/* A run of digits from p to at most limit as one integer in *high, passing
 * over one decimal symbol, whose place goes to *point_at unless one is there
 * already.  Returns where the run stopped.  (A run of more than 19 digits
 * wraps *high; the callers take such runs another way.) */
__attribute__((always_inline)) static inline const char *
cvtas__digit_run(const char *p, const char *limit, unsigned char point, uint64_t *high, const char **point_at)
{
    uint64_t h = *high;
    const char *at = *point_at;
    for (; p < limit; p++) {
        const uint64_t d = (uint64_t)(unsigned char)*p - '0';
        if (d <= 9)
            h = h * 10 + d;
        else if ((unsigned char)*p == point && !at)
            at = p;
        else
            break;
    }
    *high = h;
    *point_at = at;
    return p;
}

/* Adds one digit; leading zeros are not significant. */
static inline void cvtas__take_digit(unsigned d, uint64_t *high, uint64_t *low, int32_t *n)
{
    if (((unsigned)*n | d) == 0)
        return;
    if (*n < CVTAS_GROUP_DIGITS)
        *high = *high * 10 + d;
    else if (*n < CVTAS_KEPT_DIGITS)
        *low = *low * 10 + d;
    (*n)++;
}

/* The significand from p, digit by digit, with the blank modes and the
 * 19-digit groups: the path for long significands and fields with blanks. */
__attribute__((noinline)) static inline const char *
cvtas__significand(const char *p, const char *end, uint32_t flags, unsigned char point, struct cvtas_scan *s)
{
    const bool blank_skip = (flags & CVTAS_BLANK_NULL) != 0;
    const bool blank_zero = !blank_skip && (flags & CVTAS_BLANK_ZERO) != 0;
    s->high = s->low = 0;
    s->n = s->frac = 0;
    s->point = s->digit = false;
    for (; p < end; p++) {
        unsigned d = (unsigned char)*p - '0';
        if (d > 9) {
            if (*p == ' ' && blank_skip)
                continue;
            if (*p == ' ' && blank_zero) {
                d = 0;
            } else if ((unsigned char)*p == point && !s->point) {
                s->point = true;
                continue;
            } else {
                break;
            }
        }
        s->digit = true;
        s->frac += s->point;
        cvtas__take_digit(d, &s->high, &s->low, &s->n);
    }
    return p;
}

/* The exponent from p, the letter or sign that starts it included. */
__attribute__((noinline)) static inline const char *
cvtas__exponent_digits(const char *p, const char *end, uint32_t flags, bool letter, struct cvtas_scan *s)
{
    const bool blank_skip = (flags & CVTAS_BLANK_NULL) != 0;
    const bool blank_zero = !blank_skip && (flags & CVTAS_BLANK_ZERO) != 0;
    s->exponent = true;
    if (letter)
        p++;
    if (p < end && (*p == '+' || *p == '-')) {
        s->exp_negative = *p == '-';
        p++;
    }
    int32_t value = 0, count = 0;
    for (; p < end; p++) {
        unsigned d = (unsigned char)*p - '0';
        if (d > 9) {
            if (*p == ' ' && blank_skip)
                continue;
            if (*p == ' ' && blank_zero)
                d = 0;
            else
                break;
        }
        if (count == 0 && d == 0)
            continue;
        if (count <= CVTAS_EXP_DIGITS_MAX)
            value = value * 10 + (int32_t)d;
        count++;
    }
    s->exp_value = value;
    s->exp_digits = count;
    return p;
}

/* Scans [p, end).  The caller has rejected empty fields. */
__attribute__((always_inline)) static inline void cvtas__scan(const char *p, const char *end, uint32_t flags,
                                                              struct cvtas_scan *s)
{
    s->kind = CVTAS_KIND_NUMBER;
    s->negative = s->plus = s->exponent = s->exp_negative = false;
    s->exp_value = s->exp_digits = 0;
    s->low = 0;

    if (flags & CVTAS_SKIP_WHITE)
        while (p < end && cvtas__is_white((unsigned char)*p))
            p++;
    if (p < end && (*p == '+' || *p == '-')) {
        s->negative = *p == '-';
        s->plus = *p == '+';
        p++;
    }
    if (p < end && ((*p | 0x20) == 'i' || (*p | 0x20) == 'n') && (flags & CVTAS_INF_NAN)) {
        const char *q = cvtas__scan_special(p, end, flags, s);
        if (q) {
            s->point = s->digit = false;
            s->sig_begin = s->sig_end = p;
            s->stop = q;
            return;
        }
    }

    /* Fast path: leading zeros, then a run of digits and at most one
     * decimal symbol short enough for the high group.  A longer run, or a
     * blank in blank mode null or zero, takes the digit-by-digit path from
     * the start of the significand instead. */
    const unsigned char point = (flags & CVTAS_DECIMAL_COMMA) ? ',' : '.';
    s->sig_begin = p;
    const char *point_at = nullptr;
    while (p < end && *p == '0')
        p++;
    if (p < end && (unsigned char)*p == point) {
        point_at = p++;
        while (p < end && *p == '0')
            p++;
    }
    const char *first = p;
    const char *limit = end - p > CVTAS_GROUP_DIGITS ? p + CVTAS_GROUP_DIGITS : end;
    uint64_t high = 0;
    p = cvtas__digit_run(p, limit, point, &high, &point_at);
    if (p < end && ((p == limit && ((unsigned char)(*p - '0') <= 9 || (unsigned char)*p == point)) ||
                    (*p == ' ' && (flags & (CVTAS_BLANK_NULL | CVTAS_BLANK_ZERO))))) {
        p = cvtas__significand(s->sig_begin, end, flags, point, s);
    } else {
        s->high = high;
        s->n = (int32_t)(p - first) - (point_at && point_at >= first);
        s->point = point_at != nullptr;
        s->frac = point_at ? (int32_t)(p - point_at) - 1 : 0;
        s->digit = p - s->sig_begin > s->point;
    }
    s->sig_end = p;

    if (p < end) {
        const unsigned c = (unsigned char)*p | 0x20;
        const bool letter = c == 'e' || (!(flags & CVTAS_NO_DQ_EXP) && (c == 'd' || c == 'q'));
        if (letter || (!(flags & CVTAS_NO_SIGN_EXP) && (*p == '+' || *p == '-')))
            p = cvtas__exponent_digits(p, end, flags, letter, s);
    }
    s->stop = p;
}

/* Whether the characters after s->stop make the conversion fail. */
static inline bool cvtas__leftover(const struct cvtas_scan *s, const char *end, uint32_t flags)
{
    if (s->stop == end || !(flags & CVTAS_NO_LEFTOVER))
        return false;
    return !((flags & CVTAS_ROUND_VALID) && *s->stop == '\0');
}

/* Decimal exponent of the whole digit string (all n digits, not only the
 * kept ones): value = digits * 10^E.  Wide enough for any field length. */
static inline int64_t cvtas__exponent(const struct cvtas_scan *s, int16_t digits, int8_t scale,
                                      uint32_t flags)
{
    int64_t x;
    if (s->exponent) {
        x = s->exp_negative ? -(int64_t)s->exp_value : (int64_t)s->exp_value;
        if (flags & CVTAS_SCALE_WITH_EXP)
            x -= scale;
    } else {
        x = -(int64_t)scale;
    }
    return x - (s->point ? (int64_t)s->frac : (int64_t)digits);
}

#endif
