// Random fields and flag words into the text-to-real scanners: no crash, no
// read past the field, statuses consistent with the value, and agreement with
// the reference evaluation (binary32) and with strtod (binary64) for plain
// numbers.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cvt/cvt.h"
#include "tests/cvt/atof_reference.h"

namespace {

void check(bool ok, const char *what)
{
    if (!ok) {
        fprintf(stderr, "atof_fuzz: %s\n", what);
        abort();
    }
}

bool plain_comparable(const std::string &text, uint32_t flags)
{
    if (flags & CVTAS_DECIMAL_COMMA)
        return false;
    if ((flags & CVTAS_NO_DQ_EXP) && text.find_first_of("dDqQ") != std::string::npos)
        return false;
    return atof_ref::parse(text).has_value();
}

void check_status(int32_t status, bool is_inf, bool is_nan, bool is_zero, uint32_t flags, int32_t length)
{
    switch (status) {
    case CVTAS_OK:
        check(!is_nan || (flags & CVTAS_INF_NAN), "NaN without the INF/NAN flag");
        check(!is_inf || (flags & CVTAS_INF_NAN) || !(flags & CVTAS_REPORT_OVERFLOW), "unreported infinity");
        break;
    case CVTAS_INVALID:
        check(flags & CVTAS_NO_LEFTOVER, "invalid without the leftover flag");
        check(is_zero || (is_inf && (flags & CVTAS_INF_NAN)), "invalid gives a value");
        break;
    case CVTAS_EMPTY:
        check(length <= 0 && is_zero, "empty status");
        break;
    case CVTAS_OVERFLOW:
        check(is_inf && (flags & CVTAS_REPORT_OVERFLOW), "overflow status");
        break;
    case CVTAS_UNDERFLOW:
        check(is_zero && (flags & CVTAS_REPORT_UNDERFLOW), "underflow status");
        break;
    default:
        check(false, "unknown status");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 7)
        return 0;
    uint32_t flags;
    int16_t digits;
    memcpy(&flags, data, 4);
    memcpy(&digits, data + 4, 2);
    const int8_t scale = (int8_t)data[6];
    // Keep the decimal exponent arithmetic in the ranges the callers use.
    digits = (int16_t)(digits % 64);
    const size_t length = size - 7;
    char *field = new char[length ? length : 1];
    memcpy(field, data + 7, length);
    const std::string text(field, length);

    const char *end = nullptr;
    int32_t status = -1;
    const float s = cvtas_a_to_s(field, (int32_t)length, flags, digits, scale, &end, &status);
    check(end >= field && end <= field + length, "end outside the field");
    const uint32_t sb = std::bit_cast<uint32_t>(s);
    check_status(status, std::isinf(s), std::isnan(s), (sb & 0x7FFFFFFFu) == 0, flags, (int32_t)length);
    if (std::isnan(s))
        check(sb == 0xFFC00000u || sb == 0x7FC00000u, "NaN bit pattern");

    int32_t status_t = -1;
    const double t = cvtas_a_to_t(field, (int32_t)length, flags, digits, scale, &end, &status_t);
    check(end >= field && end <= field + length, "end outside the field (binary64)");
    check_status(status_t, std::isinf(t), std::isnan(t), t == 0, flags, (int32_t)length);
    check((status == CVTAS_INVALID) == (status_t == CVTAS_INVALID), "binary32 and binary64 disagree on syntax");

    if (length > 0 && status != CVTAS_INVALID && plain_comparable(text, flags)) {
        auto p = atof_ref::parse(text);
        if (!((flags & CVTAS_SCALE_WITH_EXP) && p->exponent && scale != 0)) {
            const auto want = atof_ref::evaluate(*p, digits, scale);
            check(sb == want.bits, "binary32 differs from the evaluation");
        }
        if (digits == 0 && scale == 0 && text.find_first_of("dDqQ") == std::string::npos) {
            const double nearest = strtod(text.c_str(), nullptr);
            check(std::bit_cast<uint64_t>(t) == std::bit_cast<uint64_t>(nearest), "binary64 is not the nearest");
        }
    }
    delete[] field;
    return 0;
}
