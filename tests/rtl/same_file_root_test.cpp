// Names of files not yet created directly under the root directory: the
// directory of "/x" is "/" itself, however the name is spelled.
#include <gtest/gtest.h>

#include <string>

#include "rtl/for_rtl.h"

namespace {

bool same(const std::string &a, const std::string &b) {
  return for__same_file(a.data(), static_cast<int64_t>(a.size()), b.data(), static_cast<int64_t>(b.size())) != 0;
}

TEST(SameFileAtTheRoot, NamesOfFilesNotYetCreatedInTheRootDirectory) {
  const std::string f = "/tavo-no-such-file-7Q3.inp";
  for (const char *other : {"/tmp/../tavo-no-such-file-7Q3.inp", "/./tavo-no-such-file-7Q3.inp",
                            "//tavo-no-such-file-7Q3.inp"}) {
    EXPECT_TRUE(same(f, other)) << other;
    EXPECT_TRUE(same(other, f)) << other;
  }
  EXPECT_FALSE(same(f, "/tmp/tavo-no-such-file-7Q3.inp"));
  EXPECT_FALSE(same(f, "/tavo-no-such-file-7Q4.inp"));
}

}  // namespace
