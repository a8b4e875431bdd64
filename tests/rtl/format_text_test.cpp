// Diagnostic text building with widths and precisions taken from the
// arguments ('*'), checked against the C library's own formatting.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "rtl/for_diag.h"

namespace {

std::string format(const char *text, int argc, ...) {
  char out[256];
  va_list ap;
  va_start(ap, argc);
  for__format_text(out, sizeof out, text, argc, &ap);
  va_end(ap);
  return out;
}

std::string library(const char *text, ...) {
  char out[256];
  va_list ap;
  va_start(ap, text);
  vsnprintf(out, sizeof out, text, ap);
  va_end(ap);
  return out;
}

TEST(FormatText, StarWidthsAndPrecisionsTakeTheirArguments) {
  const long big = 12345678901L;
  // Each argument counts, the star ones included.
  EXPECT_EQ(format("[%*d]", 2, 6, 42), library("[%*d]", 6, 42));
  EXPECT_EQ(format("[%-*d]", 2, 6, -42), library("[%-*d]", 6, -42));
  EXPECT_EQ(format("[%*.*d]", 3, 8, 5, 42), library("[%*.*d]", 8, 5, 42));
  EXPECT_EQ(format("[%*ld]", 2, 14, big), library("[%*ld]", 14, big));
  EXPECT_EQ(format("[%-*ld]", 2, 14, -big), library("[%-*ld]", 14, -big));
  EXPECT_EQ(format("[%*.*ld]", 3, 16, 13, big), library("[%*.*ld]", 16, 13, big));
  EXPECT_EQ(format("[%ld] [%*d]", 3, big, 4, 7), library("[%ld] [%*d]", big, 4, 7));
  EXPECT_EQ(format("[%*x] [%*lx]", 4, 6, 255u, 12, 0xABCDEF012UL), library("[%*x] [%*lx]", 6, 255u, 12, 0xABCDEF012UL));
  // Too few arguments: the conversion stands as it is.
  EXPECT_EQ(format("[%*d]", 1, 6), "[%*d]");
}

}  // namespace
