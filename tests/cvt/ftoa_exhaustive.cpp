// Every binary32 of magnitude below 10^5, both signs, under F10.4, against
// the C library's "%.4f" of the value widened to double (exact, ties to even).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "cvt/cvt.h"

namespace {

constexpr uint32_t kF = CVT_ROUND_VALID | CVT_EDIT_F;

// F10.4 from printf's digits: a rounded zero loses its minus sign; a value
// wider than ten characters is asterisks.  Below 10^5 the zero before the
// point always has room.
void expected(float x, char out[10]) {
  char s[64];
  int n = snprintf(s, sizeof s, "%.4f", (double)x);
  const char *p = s;
  if (s[0] == '-' && strcmp(s, "-0.0000") == 0) {
    ++p;
    --n;
  }
  if (n > 10) {
    memset(out, '*', 10);
    return;
  }
  memset(out, ' ', 10);
  memcpy(out + 10 - n, p, (size_t)n);
}

void sweep(uint32_t sign) {
  float limit = 1e5f;
  uint32_t end;
  memcpy(&end, &limit, sizeof end);
  uint64_t mismatches = 0;
  for (uint32_t b = 0; b < end; ++b) {
    uint32_t bits = b | sign;
    float x;
    memcpy(&x, &bits, sizeof x);
    char got[10], want[10];
    int status = cvt_ieee_s_to_text_ex(&x, 10, 0, 4, 10, 0, kF, got, 0);
    expected(x, want);
    bool stars = want[0] == '*';
    if (memcmp(got, want, 10) != 0 || status != (stars ? CVT_STARS : CVT_OK)) {
      if (++mismatches <= 10)
        ADD_FAILURE() << std::hexfloat << x << ": [" << std::string(got, 10) << "] status " << status
                      << ", expected [" << std::string(want, 10) << "]";
    }
  }
  EXPECT_EQ(mismatches, 0u);
}

TEST(FEditingExhaustive, PositiveBelow1e5) { sweep(0); }
TEST(FEditingExhaustive, NegativeAboveMinus1e5) { sweep(0x80000000u); }

}  // namespace
