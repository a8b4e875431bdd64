// Access to the command line that start-up captured.
#include <string.h>

#include "rtl/for_rtl.h"
#include "rtl/for_state.h"

namespace {

// Copies argument k into buffer[0, n), blank-filled; the argument's full
// length, or -1 when k is out of range (then the buffer is all blanks).
int64_t copy_argument(int64_t k, char *buffer, int64_t n) {
  const bool in_range = k >= 0 && k < for__rtl.argc && for__rtl.argv && for__rtl.argv[k];
  const char *arg = in_range ? for__rtl.argv[k] : "";
  const int64_t full = static_cast<int64_t>(strlen(arg));
  if (buffer && n >= 1) {
    const int64_t copied = full < n ? full : n;
    memcpy(buffer, arg, static_cast<size_t>(copied));
    memset(buffer + copied, ' ', static_cast<size_t>(n - copied));
  }
  return in_range ? full : -1;
}

// Only the low 32 bits of a hidden length are significant.
int64_t significant(int64_t length) { return static_cast<int32_t>(length); }

}  // namespace

extern "C" int32_t for_iargc(void) { return for__rtl.argc - 1; }
extern "C" int32_t for_nargs(void) { return for__rtl.argc; }
extern "C" int32_t nargs_(void) { return for__rtl.argc; }
extern "C" int32_t iargc_(void) { return for__rtl.argc - 1; }
extern "C" int32_t iarg_(void) { return for__rtl.argc - 1; }
extern "C" int32_t numarg_(void) { return for__rtl.argc - 1; }

extern "C" void for_getarg(const int32_t *number, char *buffer, int32_t *status, int64_t length) {
  int64_t full = copy_argument(number ? *number : -1, buffer, significant(length));
  if (status) *status = full > INT32_MAX ? INT32_MAX : static_cast<int32_t>(full);
}

extern "C" void getarg_(const int32_t *number, char *buffer, int64_t length) {
  copy_argument(number ? *number : -1, buffer, significant(length));
}

extern "C" void for_getarg_i2(const int16_t *number, char *buffer, int16_t *status, int64_t length) {
  int64_t full = copy_argument(number ? *number : -1, buffer, significant(length));
  if (status) *status = full > INT16_MAX ? INT16_MAX : static_cast<int16_t>(full);
}

extern "C" void for_getcmd_arg(const int32_t *number, char *buffer, int32_t *arg_length, int32_t *status,
                               int64_t length) {
  const int64_t n = significant(length);
  int64_t full = copy_argument(number ? *number : -1, buffer, n);
  if (arg_length) *arg_length = full < 0 ? 0 : (full > INT32_MAX ? INT32_MAX : static_cast<int32_t>(full));
  if (status) *status = full < 0 ? 1 : (buffer && full > n ? -1 : 0);
}
