/* Integer text conversion for the I edit descriptor: signed and unsigned,
 * 32- and 64-bit, into and out of fields of exactly w characters. */
#ifndef TAVO_FMT_CVT_INT_H
#define TAVO_FMT_CVT_INT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Statuses. */
#define CVT_INT_OK 0
#define CVT_INT_OVERFLOW 2   /* value does not fit the field (output)     */
#define CVT_INT_INVALID 3    /* character not allowed (input)             */
#define CVT_INT_BAD_OPTION 4 /* unknown option bit                        */
#define CVT_INT_BAD_RADIX 5  /* radix outside 2..16                       */
#define CVT_INT_NEGATIVE 6   /* negative width or digit count             */
#define CVT_INT_RANGE 8      /* value out of range of the result (input)  */

/* Output option bits. */
#define CVT_INT_PLUS 16u
/* Input option bits. */
#define CVT_INT_TAB_BLANK 1u
#define CVT_INT_BLANK_NULL 2u
#define CVT_INT_UNDERSCORE 16u
#define CVT_INT_BLANK_ZERO 64u
#define CVT_INT_ACCEPTED 8192u

int cvt_integer_to_text(int32_t value, int32_t w, int32_t m, uint32_t options, char *field);
int cvt_integer64_to_text(int64_t value, int32_t w, int32_t m, uint32_t options, char *field);
int cvt_unsigned_to_text(uint32_t value, int32_t w, int32_t radix, int32_t m, char *field);
int cvt_unsigned64_to_text(uint64_t value, int32_t w, int32_t radix, int32_t m, char *field);
int cvt_text_to_integer(const char *field, int32_t w, uint32_t options, int32_t *result);
int cvt_text_to_integer64(const char *field, int32_t w, uint32_t options, int64_t *result);
int cvt_text_to_unsigned(const char *field, int32_t w, int32_t radix, uint32_t options, uint32_t *result);
int cvt_text_to_unsigned64(const char *field, int32_t w, int32_t radix, uint32_t options,
                           uint64_t *result);

#ifdef __cplusplus
}
#endif

#endif
