/* Texts of the non-finite values in edited output. */
#include "cvt/cvtas_nan.h"

extern "C" {
const struct cvtas_text cvtas_text_nan = {"NaN", 3};
const struct cvtas_text cvtas_text_infinity = {"Infinity", 8};
const struct cvtas_text cvtas_text_inf = {"Inf", 3};
}
