// Environment switches and the default I/O sizes.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "rtl/for_rtl.h"
#include "rtl/for_state.h"

namespace {

struct EnvGuard {
  explicit EnvGuard(const char *n) : name(n) {}
  ~EnvGuard() { unsetenv(name); }
  void set(const std::string &v) { setenv(name, v.c_str(), 1); }
  const char *name;
};

TEST(CheckEnvName, TrueForYesLettersAndNonZeroDigits) {
  EnvGuard g("TAVO_TEST_SWITCH");
  unsetenv(g.name);
  EXPECT_EQ(for_check_env_name(g.name), 0);
  for (const char *yes : {"T", "true", "Yes", "y", "1", "0042", "99999999999999999999999"}) {
    g.set(yes);
    EXPECT_EQ(for_check_env_name(g.name), 1) << yes;
  }
  for (const char *no : {"", "0", "000", "N", "no", "false", "1x", " 1", "-1", "+1"}) {
    g.set(no);
    EXPECT_EQ(for_check_env_name(g.name), 0) << '[' << no << ']';
  }
  g.set(std::string(260, '1'));
  EXPECT_EQ(for_check_env_name(g.name), 1);
  g.set(std::string(261, '1'));  // longer than the 260-byte limit
  EXPECT_EQ(for_check_env_name(g.name), 0);
}

class DefaultSizes : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char *n : {"FORT_BLOCKSIZE", "FORT_BUFFERCOUNT", "FORT_FMT_RECL", "FORT_UFMT_RECL"}) unsetenv(n);
    saved_ = for__rtl;
  }
  void TearDown() override {
    for (const char *n : {"FORT_BLOCKSIZE", "FORT_BUFFERCOUNT", "FORT_FMT_RECL", "FORT_UFMT_RECL"}) unsetenv(n);
    for__rtl.blocksize = saved_.blocksize;
    for__rtl.buffercount = saved_.buffercount;
    for__rtl.fmt_recl = saved_.fmt_recl;
    for__rtl.ufmt_recl = saved_.ufmt_recl;
  }
  void read_sizes() {
    for__rtl.blocksize = for__rtl.buffercount = for__rtl.fmt_recl = for__rtl.ufmt_recl = 0;
    for__default_io_sizes_env_init();
  }
  for_rtl_state saved_;
};

TEST_F(DefaultSizes, UnsetVariablesAreMinusOne) {
  read_sizes();
  EXPECT_EQ(for__rtl.blocksize, FOR_SIZE_UNSET);
  EXPECT_EQ(for__rtl.buffercount, FOR_SIZE_UNSET);
  EXPECT_EQ(for__rtl.fmt_recl, FOR_SIZE_UNSET);
  EXPECT_EQ(for__rtl.ufmt_recl, FOR_SIZE_UNSET);
}

TEST_F(DefaultSizes, BlockSizeRoundsUpToMultiplesOf512) {
  struct {
    const char *text;
    int32_t stored;
  } cases[] = {{"1000", 1024}, {"512", 512}, {"1", 512}, {"0", 0}, {"2147467264", 2147467264},
               {"2147467265", FOR_SIZE_INVALID}, {"-5", FOR_SIZE_INVALID}, {"8k", FOR_SIZE_INVALID},
               {"", FOR_SIZE_INVALID}};
  for (const auto &c : cases) {
    setenv("FORT_BLOCKSIZE", c.text, 1);
    read_sizes();
    EXPECT_EQ(for__rtl.blocksize, c.stored) << c.text;
  }
}

TEST_F(DefaultSizes, BufferCountAndRecordLengths) {
  setenv("FORT_BUFFERCOUNT", "127", 1);
  setenv("FORT_FMT_RECL", "80", 1);
  setenv("FORT_UFMT_RECL", "x", 1);
  read_sizes();
  EXPECT_EQ(for__rtl.buffercount, 127);
  EXPECT_EQ(for__rtl.fmt_recl, 80);
  EXPECT_EQ(for__rtl.ufmt_recl, FOR_SIZE_INVALID);
  setenv("FORT_BUFFERCOUNT", "128", 1);
  setenv("FORT_FMT_RECL", "-1", 1);
  read_sizes();
  EXPECT_EQ(for__rtl.buffercount, FOR_SIZE_INVALID);
  EXPECT_EQ(for__rtl.fmt_recl, FOR_SIZE_INVALID);
  setenv("FORT_FMT_RECL", std::string(300, '1').c_str(), 1);  // beyond the 260-byte buffer
  read_sizes();
  EXPECT_EQ(for__rtl.fmt_recl, FOR_SIZE_INVALID);
}

TEST_F(DefaultSizes, ReadOnlyWhileAllFourAreUninitialised) {
  read_sizes();
  setenv("FORT_BLOCKSIZE", "1024", 1);
  for__default_io_sizes_env_init();  // already initialised: nothing changes
  EXPECT_EQ(for__rtl.blocksize, FOR_SIZE_UNSET);
}

}  // namespace
