/* Entries of the input-value dispatcher for real items: the scanner with the
 * fixed options of this system, the value always stored, the status reduced
 * to success (0) or failure (1). */
#include "cvt/cvt.h"

namespace {

/* Skip white space, blank mode zero, INF/NAN, report overflow, reject
 * leftovers; 0x04000000 is a binary64/binary128 option. */
constexpr uint32_t kFixedFlags = 0x0400A0E0u;

inline uint32_t entry_flags(uint32_t flags, uint64_t options)
{
    flags |= kFixedFlags;
    if (options & CVT_OPT_DECIMAL_COMMA)
        flags |= CVTAS_DECIMAL_COMMA;
    return flags;
}

} // namespace

extern "C" int cvt_text_to_ieee_s_ex(const char *text, int32_t length, int8_t scale, int16_t digits,
                                     uint32_t flags, float *result, uint64_t options)
{
    if (length == 0) {
        *result = 0.0f;
        return 0;
    }
    int32_t status = CVTAS_OK;
    *result = cvtas_a_to_s(text, length, entry_flags(flags, options), digits, scale, nullptr, &status);
    return status != CVTAS_OK;
}

extern "C" int cvt_text_to_ieee_t_ex(const char *text, int32_t length, int8_t scale, int16_t digits,
                                     uint32_t flags, double *result, uint64_t options)
{
    if (length == 0) {
        *result = 0.0;
        return 0;
    }
    int32_t status = CVTAS_OK;
    *result = cvtas_a_to_t(text, length, entry_flags(flags, options), digits, scale, nullptr, &status);
    return status != CVTAS_OK;
}
