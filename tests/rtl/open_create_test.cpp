// OPEN of a file it may create: a name that does not exist yet costs one
// open and no status call, a name that exists is opened and inspected as
// before, and what ends up in the file does not depend on which happened.
#include <fcntl.h>

#include <string>

#include "tests/rtl/units_kit.h"

namespace {

using namespace units;

class OpenCreate : public UnitsTest {};

int opens = 0, exclusive = 0, fstats = 0, truncates = 0;
int counting_open(const char *p, int flags, mode_t mode) {
  ++opens;
  if (flags & O_EXCL) ++exclusive;
  return for__sys_default.open(p, flags, mode);
}
int counting_fstat(int fd, struct stat *st) {
  ++fstats;
  return for__sys_default.fstat(fd, st);
}
int counting_ftruncate(int fd, off_t n) {
  ++truncates;
  return for__sys_default.ftruncate(fd, n);
}

TEST_F(OpenCreate, NewNamesCostOneOpenAndExistingOnesAreInspected) {
  SysGuard guard;
  for__sys.open = counting_open;
  for__sys.fstat = counting_fstat;
  for__sys.ftruncate = counting_ftruncate;
  const std::string old_text = "an older and longer file\nof two records\n";
  testkit::write_file(path("e1"), old_text);
  testkit::write_file(path("e2"), old_text);
  testkit::write_file(path("empty"), "");
  testkit::write_file(path("r1"), old_text);
  testkit::write_file(path("r2"), old_text);
  ASSERT_EQ(symlink(path("target").c_str(), path("dangling").c_str()), 0);
  struct Row {
    const char *name, *status;
    int opens, fstats;
    bool cut;    // the file held more than is written: truncate_next
    int cuts;    // ftruncate calls at OPEN
  } rows[] = {
      {"n1", "unknown", 1, 0, false, 0},  // created exclusively: nothing to ask
      {"n2", "replace", 1, 0, false, 0},  // nor to cut
      {"e1", "unknown", 2, 1, true, 0},   // exists: one failed exclusive open
      {"e2", "unknown", 1, 1, true, 0},   // and after that an ordinary open
      {"n3", "unknown", 1, 1, false, 0},  // found empty: try exclusively again
      {"n4", "unknown", 1, 0, false, 0},
      {"dangling", "unknown", 2, 1, false, 0},  // creates the link's target
      {"empty", "unknown", 2, 1, false, 0},
      {"n5", "unknown", 1, 0, false, 0},
      {"r1", "replace", 2, 1, false, 1},  // cut at OPEN, so found empty,
      {"r2", "replace", 1, 1, false, 1},  // which does not re-arm the try
  };
  const mode_t mask = umask(022);
  umask(mask);
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    const bool existed = testkit::file_exists(path(row.name));
    opens = fstats = truncates = 0;
    ASSERT_EQ(open_file(20, path(row.name), row.status), 0);
    EXPECT_EQ(opens, row.opens);
    EXPECT_EQ(fstats, row.fstats);
    EXPECT_EQ(lub_of(20)->truncate_next, row.cut);
    EXPECT_TRUE(lub_of(20)->regular);
    EXPECT_FALSE(lub_of(20)->is_tty);
    EXPECT_EQ(truncates, row.cuts);  // only REPLACE of an existing file is cut at OPEN
    ASSERT_EQ(write_line(20, "new"), 0);
    ASSERT_EQ(close_unit(20), 0);
    EXPECT_EQ(testkit::read_file(path(row.name)), "new\n");
    // Whichever open created it, a new file gets the usual mode.
    if (!existed) {
      struct stat st;
      ASSERT_EQ(stat(path(row.name).c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
    }
  }
  EXPECT_EQ(testkit::read_file(path("target")), "new\n");
  struct stat st;
  ASSERT_EQ(lstat(path("dangling").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

// REPLACE cuts an existing file at OPEN: a failed cut fails the OPEN, except
// on a file that cannot be cut at all (EINVAL: a FIFO, a device).
int cut_errno = 0;
int failing_ftruncate(int, off_t) {
  errno = cut_errno;
  return -1;
}

TEST_F(OpenCreate, ReplaceFailsWhenTheCutFails) {
  SysGuard guard;
  for (const int e : {EIO, EPERM, EINVAL}) {
    SCOPED_TRACE(e);
    testkit::write_file(path("old"), "old text\n");
    cut_errno = e;
    for__sys.ftruncate = failing_ftruncate;
    const int32_t r = open_file(20, path("old"), "replace", kErr);
    for__sys.ftruncate = for__sys_default.ftruncate;
    if (e == EINVAL) {
      EXPECT_EQ(r, 0);
      close_unit(20);
    } else {
      EXPECT_EQ(r, 30);
    }
  }
}

// With the standard input closed a new file may get descriptor 0: it is
// the unit's descriptor, not a leaked one followed by a second open.
TEST_F(OpenCreate, DescriptorZeroIsAnOpenedFile) {
  const std::string f = path("zero");
  const testkit::Outcome o = child([f] {
    close(0);
    opens = 0;
    for__sys.open = counting_open;
    UNITS_REQUIRE(open_file(20, f, "unknown") == 0);
    UNITS_REQUIRE(lub_of(20)->fd == 0);
    UNITS_REQUIRE(opens == 1);
    UNITS_REQUIRE(write_line(20, "zero") == 0);
    UNITS_REQUIRE(close_unit(20) == 0);
    return 0;
  });
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(testkit::read_file(f), "zero\n");
}

}  // namespace
