// Environment values as character values, and whether two names reach the
// same file.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "rtl/for_rtl.h"
#include "tests/support/testkit.h"

namespace {

std::string getenv_field(const std::string &name, int n, int32_t *length) {
  std::string buf(static_cast<size_t>(n), '#');
  for_getenv(name.data(), buf.data(), length, static_cast<int64_t>(name.size()), n);
  return buf;
}

TEST(GetEnv, ValuesAreBlankPaddedAndTheLengthIsWhole) {
  setenv("TAVO_TEST_VALUE", "abc", 1);
  setenv("TAVO_TEST_VALUE_LONGER", "wrong", 1);
  setenv("TAVO_TEST_EMPTY", "", 1);
  unsetenv("TAVO_TEST_UNSET");
  int32_t length = -1;
  // Trailing blanks of the name go; a longer variable sharing the prefix is
  // not taken for it.
  EXPECT_EQ(getenv_field("TAVO_TEST_VALUE   ", 6, &length), "abc   ");
  EXPECT_EQ(length, 3);
  EXPECT_EQ(getenv_field("TAVO_TEST_VALUE", 2, &length), "ab");
  EXPECT_EQ(length, 3);
  EXPECT_EQ(getenv_field("TAVO_TEST_VALU", 4, &length), "    ");
  EXPECT_EQ(length, 0);
  for (const char *none : {"TAVO_TEST_EMPTY", "TAVO_TEST_UNSET", "", "TAVO_TEST_VALUE=abc"}) {
    length = -1;
    EXPECT_EQ(getenv_field(none, 4, &length), "    ") << none;
    EXPECT_EQ(length, 0) << none;
  }
  unsetenv("TAVO_TEST_VALUE");
  unsetenv("TAVO_TEST_VALUE_LONGER");
  unsetenv("TAVO_TEST_EMPTY");
}

bool same(const std::string &a, const std::string &b) {
  return for__same_file(a.data(), static_cast<int64_t>(a.size()), b.data(), static_cast<int64_t>(b.size())) != 0;
}

// Files that do not exist yet are the same when their last components are
// equal and the directories before them are one directory, however spelled.
TEST(SameFile, NamesOfFilesNotYetCreated) {
  testkit::TempDir dir;
  ASSERT_EQ(mkdir((dir / "sub").c_str(), 0755), 0);
  ASSERT_EQ(symlink(dir.path().c_str(), (dir / "up").c_str()), 0);
  const std::string f = dir / "job1TAVO.inp";
  for (const std::string &other : {dir / "./job1TAVO.inp", dir / "sub/../job1TAVO.inp", dir / "up/job1TAVO.inp",
                                  "  " + f + "  "}) {
    EXPECT_TRUE(same(f, other)) << other;
    EXPECT_TRUE(same(other, f)) << other;
  }
  for (const std::string &other : {dir / "sub/job1TAVO.inp", dir / "job2TAVO.inp", dir / "job1TAVO.inp.x",
                                  dir / "nodir/../job1TAVO.inp", std::string("   ")}) {
    EXPECT_FALSE(same(f, other)) << other;
  }
  // Two directories that do not exist are not one directory.
  EXPECT_FALSE(same(dir / "nodir/job1TAVO.inp", dir / "gone/job1TAVO.inp"));
  // A dangling link stands for the file that creating it would make.
  ASSERT_EQ(symlink("sub/new.inp", (dir / "link").c_str()), 0);
  EXPECT_TRUE(same(dir / "link", dir / "sub/new.inp"));
  EXPECT_FALSE(same(dir / "link", dir / "new.inp"));
  ASSERT_EQ(symlink("loop", (dir / "loop").c_str()), 0);
  EXPECT_FALSE(same(dir / "loop", dir / "sub/new.inp"));
  EXPECT_TRUE(same(dir / "loop", dir / "./loop"));
}

TEST(SameFile, ExistingFilesThroughLinks) {
  testkit::TempDir dir;
  testkit::write_file(dir / "c.inp", "x\n");
  testkit::write_file(dir / "d.inp", "x\n");
  ASSERT_EQ(link((dir / "c.inp").c_str(), (dir / "hard").c_str()), 0);
  ASSERT_EQ(symlink("c.inp", (dir / "soft").c_str()), 0);
  EXPECT_TRUE(same(dir / "c.inp", dir / "hard"));
  EXPECT_TRUE(same(dir / "soft", dir / "c.inp"));
  EXPECT_FALSE(same(dir / "c.inp", dir / "d.inp"));
}

}  // namespace
