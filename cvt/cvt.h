/* Real number conversions: binary32/binary64 to F- or ES-edited text, and
 * text to binary32/binary64.  Pure functions over their arguments and constant
 * tables; no allocation on ordinary paths, status results, no exceptions. */
#ifndef TAVO_CVT_CVT_H
#define TAVO_CVT_CVT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Editing flag word of the real-to-text entries. */
#define CVT_EDIT_E 0x00000001u       /* E-family editing                 */
#define CVT_EDIT_F 0x00000002u       /* F editing                        */
#define CVT_EDIT_SCIENTIFIC 0x00000004u /* with CVT_EDIT_E: the ES layout */
#define CVT_EDIT_SP 0x00000010u      /* plus sign for positive values    */
#define CVT_EDIT_MINIMAL 0x00000100u /* F0.d: field as wide as contents  */
#define CVT_ROUND_SHIFT 22           /* 3 bits at 0x01C00000             */
#define CVT_ROUND_MASK 0x01C00000u
#define CVT_ROUND_VALID 0x80000000u
/* Rounding modes in the 3-bit field. */
#define CVT_ROUND_NEAREST 0
#define CVT_ROUND_ZERO 1
#define CVT_ROUND_DOWN 2
#define CVT_ROUND_UP 4
#define CVT_ROUND_AWAY 6
/* Upper-half bits of the editing option word (shifted by 32). */
#define CVT_OPT_MINUS_ZERO ((uint64_t)0x02 << 32)
#define CVT_OPT_DECIMAL_COMMA ((uint64_t)0x04 << 32)
#define CVT_OPT_NO_LEADING_ZERO ((uint64_t)0x08 << 32)
#define CVT_OPT_NO_LEADING_ZERO2 ((uint64_t)0x10 << 32)
#define CVT_OPT_MINUS_ROUNDS_TO_ZERO ((uint64_t)0x40 << 32)

/* Statuses of the real-to-text entries. */
#define CVT_OK 0
#define CVT_STARS 2
#define CVT_NO_KIND 4
#define CVT_NAN 10
#define CVT_ALL_ZERO 11
#define CVT_INFINITY 12

int cvt_ieee_s_to_text_ex(const float *value, int32_t w, int8_t k, int16_t d, int32_t limit, int32_t e,
                          uint32_t flags, char *field, uint64_t options);
int cvt_ieee_s_to_text(const float *value, int32_t w, int8_t k, int16_t d, int32_t limit, int32_t e,
                       uint32_t flags, char *field);
int cvt_ieee_t_to_text_ex(const double *value, int32_t w, int8_t k, int16_t d, int32_t limit, int32_t e,
                          uint32_t flags, char *field, uint64_t options);
int cvt_ieee_t_to_text(const double *value, int32_t w, int8_t k, int16_t d, int32_t limit, int32_t e,
                       uint32_t flags, char *field);

/* Flag bits of the digit generators (besides the rounding bits above). */
#define CVTAS_SIGNIFICANT 0x00000001u    /* max_digits significant digits    */
#define CVTAS_FIXED 0x00000002u          /* digits to a fixed fraction place */
#define CVTAS_REPORT_SPECIAL 0x40000000u /* statuses 10, 11, 12              */
#define CVTAS_EDIT_ADDS 0x44000002u      /* what the editing entries add     */

/* Statuses of the digit generators. */
#define CVTAS_DIGITS 0           /* digits produced                        */
#define CVTAS_NO_MODE 4          /* neither mode bit set                   */
#define CVTAS_NO_ROOM 6          /* max_digits (or size) below 1           */
#define CVTAS_DIGITS_NAN 10      /* NaN: the text "NaN"                    */
#define CVTAS_DIGITS_ZERO 11     /* every produced digit is 0              */
#define CVTAS_DIGITS_INFINITY 12 /* infinity: the text "Infinity"          */

/* Sign codes, negated for negative values; 0 for NaN. */
#define CVTAS_SIGN_ZERO 1
#define CVTAS_SIGN_SUBNORMAL 2
#define CVTAS_SIGN_NORMAL 3
#define CVTAS_SIGN_INFINITY 4

/* Digit generators, fixed mode (flag 0x2): the decimal digits of the exact
 * binary value rounded once at fraction_digits places after the point (a
 * negative count rounds to the left of it), under the rounding bits of flags
 * (nearest with ties to even when they are not valid).  At most
 * min(max_digits, size) digits are produced; when the value needs more, it is
 * rounded at the last digit produced and *exponent still counts every digit
 * before the point.  The digits land in buffer[*first..*last] without sign or
 * point, starting at the first non-zero digit; *exponent is the number of
 * digits before the point (1 for values from 1 up to 10).  A result of zero is
 * the single digit '0' with *exponent 0; NaN and infinity leave their texts
 * (cut to size).  Without CVTAS_REPORT_SPECIAL those three report status 0.
 * Significant-digit mode (flag 0x1, without 0x2): exactly min(max_digits,
 * size) digits, the exact value rounded once at the last of them (a carry
 * gives 1 and zeros with *exponent one higher); fraction_digits is ignored.
 * Returns the status, also stored in *status; every pointer must be valid. */
int cvtas_s_to_a(int32_t max_digits, int32_t fraction_digits, uint32_t flags, char *buffer, int32_t size,
                 int32_t *first, int32_t *last, const float *value, int32_t *exponent, int32_t *sign,
                 int32_t *status);
int cvtas_t_to_a(int32_t max_digits, int32_t fraction_digits, uint32_t flags, char *buffer, int32_t size,
                 int32_t *first, int32_t *last, const double *value, int32_t *exponent, int32_t *sign,
                 int32_t *status);

/* Conversion flag word of the text-to-real entries. */
#define CVTAS_BLANK_NULL 0x00000002u
#define CVTAS_SKIP_WHITE 0x00000020u
#define CVTAS_BLANK_ZERO 0x00000040u
#define CVTAS_INF_NAN 0x00000080u
#define CVTAS_SCALE_WITH_EXP 0x00000400u
#define CVTAS_NO_SIGN_EXP 0x00000800u
#define CVTAS_NO_DQ_EXP 0x00001000u
#define CVTAS_REPORT_OVERFLOW 0x00002000u
#define CVTAS_REPORT_UNDERFLOW 0x00004000u
#define CVTAS_NO_LEFTOVER 0x00008000u
#define CVTAS_DECIMAL_COMMA 0x08000000u
#define CVTAS_ROUND_VALID 0x80000000u

/* Conversion statuses of the text-to-real scanner. */
#define CVTAS_OK 0
#define CVTAS_INVALID 3
#define CVTAS_EMPTY 6
#define CVTAS_OVERFLOW 8
#define CVTAS_UNDERFLOW 9

float cvtas_a_to_s(const char *text, int32_t length, uint32_t flags, int16_t digits, int8_t scale,
                   const char **end, int32_t *status);
int cvt_text_to_ieee_s_ex(const char *text, int32_t length, int8_t scale, int16_t digits, uint32_t flags,
                          float *result, uint64_t options);
double cvtas_a_to_t(const char *text, int32_t length, uint32_t flags, int16_t digits, int8_t scale,
                    const char **end, int32_t *status);
int cvt_text_to_ieee_t_ex(const char *text, int32_t length, int8_t scale, int16_t digits, uint32_t flags,
                          double *result, uint64_t options);

#ifdef __cplusplus
}
#endif

#endif
