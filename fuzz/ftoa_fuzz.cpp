// F editing under random value bits, widths, digit counts, scale factors,
// flags and options: no crash, no write outside the field, statuses that
// agree with the field, and printed digits within rounding distance of the
// exact value.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cvt/cvt.h"

namespace {

constexpr char kGuard = '\x5a';
constexpr size_t kGuardBytes = 32;

[[noreturn]] void fail(const char *what, const std::string &field) {
  fprintf(stderr, "ftoa_fuzz: %s: [%s]\n", what, field.c_str());
  abort();
}

bool all_of(const std::string &s, char c) { return s.find_first_not_of(c) == std::string::npos; }

// Checks a successful numeric field: its form, and that the number it shows
// lies within rounding distance of value * 10^k.
void check_number(const std::string &field, long double exact, int d, int mode, bool minimal, uint64_t options) {
  char point = (options & CVT_OPT_DECIMAL_COMMA) != 0 ? ',' : '.';
  size_t begin = field.find_first_not_of(' ');
  size_t end = field.find_last_not_of(' ') + 1;
  if (begin == std::string::npos) fail("blank field", field);
  if (!minimal && end != field.size()) fail("not right-justified", field);
  if (minimal && begin != 0) fail("minimal field not at the left", field);
  std::string text = field.substr(begin, end - begin);
  size_t at = text.find(point);
  if (at == std::string::npos || text.find(point, at + 1) != std::string::npos) fail("decimal symbol", field);
  if ((int)(text.size() - at - 1) != d) fail("fraction digit count", field);
  size_t digits = text[0] == '-' || text[0] == '+' ? 1 : 0;
  if (text.find_first_not_of("0123456789", digits) != at ||
      text.find_first_not_of("0123456789", at + 1) != std::string::npos)
    fail("characters", field);
  if (d == 0 && at == digits) fail("no digit before the point for d = 0", field);
  text[at] = '.';
  long double shown = strtold(text.c_str(), nullptr);
  long double unit = powl(10.0L, -d);
  long double limit = mode == CVT_ROUND_NEAREST || mode == CVT_ROUND_AWAY ? unit / 2 : unit;
  long double slack = fabsl(exact) * 0x1p-58L + unit * 1e-9L;
  long double error = shown - exact;
  if (fabsl(error) > limit + slack) fail("value not within rounding distance", field);
  if (mode == CVT_ROUND_ZERO && fabsl(shown) > fabsl(exact) + slack) fail("rounded away from zero", field);
  if (mode == CVT_ROUND_UP && shown < exact - slack) fail("rounded down", field);
  if (mode == CVT_ROUND_DOWN && shown > exact + slack) fail("rounded up", field);
  if (shown != 0 && (text[0] == '-') != (exact < 0)) fail("sign", field);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FuzzedDataProvider in(data, size);
  bool wide = in.ConsumeBool();
  uint64_t bits = in.ConsumeIntegral<uint64_t>();
  int32_t w = in.ConsumeIntegralInRange<int32_t>(-2, in.ConsumeBool() ? 400 : 24);
  int16_t d = in.ConsumeIntegralInRange<int16_t>(-2, in.ConsumeBool() ? 1100 : 12);
  int8_t k = in.ConsumeBool() ? in.ConsumeIntegral<int8_t>() : 0;
  int32_t limit = in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(0, 40) : w;
  uint32_t flags = in.ConsumeIntegral<uint32_t>() &
                   (CVT_EDIT_E | CVT_EDIT_F | CVT_EDIT_SP | CVT_EDIT_MINIMAL | CVT_ROUND_MASK | CVT_ROUND_VALID);
  if (in.ConsumeBool()) flags = (flags & ~CVT_EDIT_E) | CVT_EDIT_F;
  uint64_t options = (uint64_t)in.ConsumeIntegral<uint8_t>() << 32 | in.ConsumeIntegral<uint32_t>();

  size_t room = w > 0 ? (size_t)w : 0;
  std::vector<char> buf(room + 2 * kGuardBytes, kGuard);
  char *field = buf.data() + kGuardBytes;
  float s;
  double t;
  uint32_t low = (uint32_t)bits;
  memcpy(&s, &low, sizeof s);
  memcpy(&t, &bits, sizeof t);
  int status = wide ? cvt_ieee_t_to_text_ex(&t, w, k, d, limit, 0, flags, field, options)
                    : cvt_ieee_s_to_text_ex(&s, w, k, d, limit, 0, flags, field, options);
  double value = wide ? t : (double)s;

  for (size_t i = 0; i < kGuardBytes; ++i)
    if (buf[i] != kGuard || buf[kGuardBytes + room + i] != kGuard) fail("write outside the field", "");
  std::string text(field, room);
  if (room == 0) {
    if (status != CVT_STARS) fail("status for an empty field", text);
    return 0;
  }
  bool f_kind = (flags & (CVT_EDIT_E | CVT_EDIT_F)) == CVT_EDIT_F;
  switch (status) {
    case CVT_NO_KIND:
      if (f_kind || !all_of(text, '*')) fail("status 4", text);
      break;
    case CVT_STARS:
      if (!f_kind || !all_of(text, '*')) fail("status 2", text);
      break;
    case CVT_NAN:
      if (!std::isnan(value) || text.find("NaN") == std::string::npos) fail("status 10", text);
      break;
    case CVT_INFINITY:
      if (!std::isinf(value) || text.find("Inf") == std::string::npos) fail("status 12", text);
      if ((text.find('-') != std::string::npos) != (value < 0)) fail("infinity sign", text);
      break;
    case CVT_OK: {
      if (!f_kind || !std::isfinite(value)) fail("status 0", text);
      int mode = CVT_ROUND_NEAREST;
      if ((flags & CVT_ROUND_VALID) != 0) {
        int m = (int)((flags & CVT_ROUND_MASK) >> CVT_ROUND_SHIFT);
        if (m == CVT_ROUND_ZERO || m == CVT_ROUND_DOWN || m == CVT_ROUND_UP || m == CVT_ROUND_AWAY) mode = m;
      }
      check_number(text, (long double)value * powl(10.0L, k), d, mode, (flags & CVT_EDIT_MINIMAL) != 0, options);
      break;
    }
    default:
      fail("unknown status", text);
  }
  return 0;
}
