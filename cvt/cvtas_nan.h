/* Texts of the non-finite values in edited output. */
#ifndef TAVO_CVT_CVTAS_NAN_H
#define TAVO_CVT_CVTAS_NAN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct cvtas_text {
  const char *chars;
  int32_t length;
};

extern const struct cvtas_text cvtas_text_nan;      /* "NaN"                 */
extern const struct cvtas_text cvtas_text_infinity; /* "Infinity"            */
extern const struct cvtas_text cvtas_text_inf;      /* "Inf", narrow fields  */

#ifdef __cplusplus
}
#endif

#endif
