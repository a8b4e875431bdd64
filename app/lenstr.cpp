#include "app/tavo.h"
#include "for_arch_scan.h"

// Only the blank (code 32) counts as blank, as in the blank-extended
// comparison of one character with the empty text.
extern "C" int32_t lenstr(const char *text, int64_t text_length) { return for__last_nonblank(text, text_length); }
