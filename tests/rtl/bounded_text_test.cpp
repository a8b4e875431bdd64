// The bounded text of the signal handler and the traceback at its edge:
// every put appends all of its bytes and the NUL, or nothing at all.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "rtl/tbk_text.h"

namespace {

TEST(BoundedText, APutFitsWithItsNulOrLeavesTheTextAsItWas) {
  struct {
    std::string first, second;
    bool fits;  // whether the second put fits in 8 bytes with the first
  } cases[] = {
      {"", "1234567", true},  {"", "12345678", false}, {"abcd", "efg", true}, {"abcd", "efgh", false},
      {"abcd", "efghijklmn", false}, {"abcdefg", "", true}, {"abcdefg", "h", false}, {"a", "bcdefgh", false},
      {"a", "bcdefg", true},
  };
  for (const auto &c : cases) {
    char buf[8 + 16];
    memset(buf, '#', sizeof buf);
    tbk_text t{buf, 0, 8};
    ASSERT_TRUE(tbk_put(&t, c.first.data(), c.first.size())) << c.first;
    EXPECT_EQ(tbk_put(&t, c.second.data(), c.second.size()), c.fits) << c.first << "+" << c.second;
    const std::string want = c.fits ? c.first + c.second : c.first;
    EXPECT_EQ(t.used, static_cast<int64_t>(want.size())) << c.first << "+" << c.second;
    EXPECT_EQ(std::string(buf), want) << c.first << "+" << c.second;
    // Nothing past the capacity is touched.
    EXPECT_EQ(std::string(buf + 8, 16), std::string(16, '#')) << c.first << "+" << c.second;
  }
}

}  // namespace
