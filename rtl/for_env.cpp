// Environment switches and the default I/O sizes read at start-up.
#include <stdlib.h>
#include <string.h>

#include "rtl/for_rtl.h"
#include "rtl/for_state.h"

namespace {

constexpr size_t kEnvLimit = 260;

// A decimal integer with an optional sign; false when malformed or when it
// does not fit 64 bits.
bool parse_integer(const char *text, int64_t *value) {
  const char *p = text;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (!*p) return false;
  uint64_t v = 0;
  for (; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    uint64_t d = static_cast<uint64_t>(*p - '0');
    if (v > (UINT64_C(0x7FFFFFFFFFFFFFFF) - d) / 10) return false;
    v = v * 10 + d;
  }
  *value = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
  return true;
}

// Reads one size variable: -1 when unset, -2 when the value is malformed,
// out of [low, high], or longer than the 260-byte buffer it is read through.
int32_t size_variable(const char *name, int64_t low, int64_t high, int64_t *out) {
  const char *v = getenv(name);
  if (!v) return FOR_SIZE_UNSET;
  if (strlen(v) >= kEnvLimit) return FOR_SIZE_INVALID;
  int64_t value;
  if (!parse_integer(v, &value) || value < low || value > high) return FOR_SIZE_INVALID;
  *out = value;
  return 0;
}

}  // namespace

extern "C" int32_t for_check_env_name(const char *name) {
  const char *v = getenv(name);
  if (!v || !*v || strlen(v) > kEnvLimit) return 0;
  if (*v == 'T' || *v == 't' || *v == 'Y' || *v == 'y') return 1;
  bool nonzero = false;
  for (const char *p = v; *p; ++p) {
    if (*p < '0' || *p > '9') return 0;
    if (*p != '0') nonzero = true;
  }
  return nonzero ? 1 : 0;
}

extern "C" void for__default_io_sizes_env_init(void) {
  for_rtl_state &s = for__rtl;
  if (s.blocksize != 0 || s.buffercount != 0 || s.fmt_recl != 0 || s.ufmt_recl != 0) return;
  int64_t v = 0;
  int32_t r = size_variable("FORT_BLOCKSIZE", 0, 0x7FFFC000, &v);
  s.blocksize = r ? r : static_cast<int32_t>((v + 511) / 512 * 512);
  r = size_variable("FORT_BUFFERCOUNT", 0, 127, &v);
  s.buffercount = r ? r : static_cast<int32_t>(v);
  r = size_variable("FORT_FMT_RECL", 0, INT32_MAX, &v);
  s.fmt_recl = r ? r : static_cast<int32_t>(v);
  r = size_variable("FORT_UFMT_RECL", 0, INT32_MAX, &v);
  s.ufmt_recl = r ? r : static_cast<int32_t>(v);
}
