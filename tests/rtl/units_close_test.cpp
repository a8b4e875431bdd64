// CLOSE: dispositions, the errors of a failed close (the unit is reset all
// the same), and the walk over every open unit at STOP and after a severe
// error.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "rtl/for_open.h"
#include "tests/rtl/units_kit.h"

namespace {

using namespace units;
using testkit::file_exists;
using testkit::read_file;
using testkit::write_file;

class Close : public UnitsTest {};

TEST_F(Close, UnitsNeverOpenedCloseSilently) {
  EXPECT_EQ(close_unit(77), 0);
  EXPECT_EQ(lub_of(77), nullptr);
  auto r = child([] {
    UNITS_REQUIRE(close_unit(78) == 0);
    UNITS_REQUIRE(close_unit(6) == 0);  // a standard unit not used yet
    UNITS_REQUIRE(close_unit(78) == 0);
    return 0;
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out + r.err, "");
  // After a failed OPEN the unit is closed: CLOSE has nothing to do.
  EXPECT_EQ(open_file(79, path("missing"), "old", kErr), 29);
  EXPECT_EQ(close_unit(79), 0);
  EXPECT_EQ(lub_of(79), nullptr);
}

TEST_F(Close, Dispositions) {
  const std::string f = path("d.txt");
  Keywords del, keep;
  del.text(FOR_KW_DISPOSE, "Delete ");
  keep.text(FOR_KW_DISPOSE, "keep");

  ASSERT_EQ(open_file(20, f, "unknown"), 0);
  ASSERT_EQ(write_line(20, "doomed"), 0);
  ASSERT_EQ(close_kw(20, kProgram, del), 0);
  EXPECT_FALSE(file_exists(f));
  EXPECT_EQ(lub_of(20), nullptr);

  // DISPOSE at OPEN, overridden by STATUS at CLOSE, or applied by default.
  Keywords at_open;
  at_open.text(FOR_KW_FILE, f).text(FOR_KW_STATUS, "unknown").text(FOR_KW_DISPOSE, "DELETE");
  ASSERT_EQ(open_kw(20, kProgram, at_open), 0);
  ASSERT_EQ(close_kw(20, kProgram, keep), 0);
  EXPECT_TRUE(file_exists(f));
  ASSERT_EQ(open_kw(20, kProgram, at_open), 0);
  ASSERT_EQ(close_unit(20), 0);
  EXPECT_FALSE(file_exists(f));

  // A misspelt value: 115, and the unit stays open.
  ASSERT_EQ(open_file(20, f, "unknown"), 0);
  Keywords bad;
  bad.text(FOR_KW_DISPOSE, "remove");
  EXPECT_EQ(close_kw(20, kErr, bad), 115);
  ASSERT_NE(lub_of(20), nullptr);
  EXPECT_TRUE(lub_of(20)->open);
  auto r = child([&] { return close_kw(20, kProgram, bad); });
  EXPECT_EQ(r.status, 115);
  EXPECT_EQ(r.err, diag(115, "keyword value error in a CLOSE statement, unit 20, file " + f));
  // A keyword CLOSE does not take.
  Keywords foreign;
  foreign.text(FOR_KW_FORM, "formatted");
  EXPECT_EQ(close_kw(20, kErr, foreign), 48);
  ASSERT_EQ(close_unit(20), 0);
  EXPECT_TRUE(file_exists(f));
}

TEST_F(Close, ScratchUnitsCannotBeKept) {
  Keywords s, keep;
  s.text(FOR_KW_STATUS, "scratch").text(FOR_KW_DEFAULTFILE, dir_.path());
  keep.text(FOR_KW_DISPOSE, "KEEP");
  testkit::RunOptions o;
  o.env["FORT_TMPDIR"] = std::nullopt;
  o.env["TMPDIR"] = std::nullopt;
  auto r = child(
      [&] {
        UNITS_REQUIRE(open_kw(21, kProgram, s) == 0);
        printf("%s\n", lub_of(21)->name);
        fflush(stdout);
        return close_kw(21, kProgram, keep);
      },
      o);
  ASSERT_GT(r.out.size(), 1u);
  const std::string name = r.out.substr(0, r.out.size() - 1);
  EXPECT_EQ(r.status, 46);
  EXPECT_EQ(r.err, diag(46, "inconsistent OPEN/CLOSE parameters, unit 21, file " + name));
  // Nothing is left behind: the scratch file is gone even so.
  EXPECT_EQ(testkit::list_dir(dir_.path()), std::vector<std::string>{});

  // With an error return: 46, the unit reset, the file gone.
  r = child(
      [&] {
        UNITS_REQUIRE(open_kw(21, kProgram, s) == 0);
        std::string n = lub_of(21)->name;
        UNITS_REQUIRE(close_kw(21, kErr, keep) == 46);
        UNITS_REQUIRE(lub_of(21) == nullptr);
        UNITS_REQUIRE(!file_exists(n));
        UNITS_REQUIRE(open_kw(21, kProgram, s) == 0);
        UNITS_REQUIRE(close_unit(21) == 0);
        return 0;
      },
      o);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(testkit::list_dir(dir_.path()), std::vector<std::string>{});
}

TEST_F(Close, ReadOnlyFallbackRefusesDelete) {
  const std::string home = path("nobody");
  mkdir(home.c_str(), 0755);
  ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
  const std::string ro = home + "/ro.txt";
  write_file(ro, "x\n");
  ASSERT_EQ(chmod(ro.c_str(), 0444), 0);
  ASSERT_EQ(chown(home.c_str(), 65534, 65534), 0);
  ASSERT_EQ(chown(ro.c_str(), 65534, 65534), 0);
  auto r = child([&] {
    UNITS_REQUIRE(become_nobody());
    UNITS_REQUIRE(open_file(22, ro, "old") == 0);
    Keywords del;
    del.text(FOR_KW_DISPOSE, "delete");
    UNITS_REQUIRE(close_kw(22, kErr, del) == 46);
    UNITS_REQUIRE(lub_of(22) == nullptr);
    return 0;
  });
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(file_exists(ro));
}

int g_fail_errno = 0;
int failing_close(int fd) {
  ::close(fd);
  errno = g_fail_errno;
  return -1;
}
int failing_unlink(const char *) {
  errno = EACCES;
  return -1;
}

TEST_F(Close, FailedCloseStillResetsTheUnit) {
  SysGuard guard;
  const std::string f = path("c.txt");
  ASSERT_EQ(open_file(23, f, "unknown"), 0);
  ASSERT_EQ(write_line(23, "written"), 0);
  g_fail_errno = EIO;
  for__sys.close = failing_close;
  EXPECT_EQ(close_unit(23, kErr), 28);
  for__sys = for__sys_default;
  EXPECT_EQ(lub_of(23), nullptr);
  EXPECT_EQ(read_file(f), "written\n");
  // The unit opens again as new.
  ASSERT_EQ(open_file(23, f, "old"), 0);
  EXPECT_EQ(lub_of(23)->recnum, 1);
  ASSERT_EQ(close_unit(23), 0);

  auto r = child([&] {
    UNITS_REQUIRE(open_file(23, f, "old") == 0);
    for__sys.close = failing_close;
    return close_unit(23);
  });
  EXPECT_EQ(r.status, 28);
  EXPECT_EQ(r.err, "forrtl: Input/output error\n" + diag(28, "CLOSE error, unit 23, file " + f));

  // Deleting fails.
  r = child([&] {
    UNITS_REQUIRE(open_file(23, f, "old") == 0);
    for__sys.unlink = failing_unlink;
    Keywords del;
    del.text(FOR_KW_DISPOSE, "delete");
    return close_kw(23, kProgram, del);
  });
  EXPECT_EQ(r.status, 28);
  EXPECT_EQ(r.err, "forrtl: Permission denied\n" + diag(28, "CLOSE error, unit 23, file " + f));
  EXPECT_TRUE(file_exists(f));
}

// Lines that a block-buffered unit holds until it is closed.
std::string numbered_lines(int n) {
  std::string s;
  for (int i = 1; i <= n; ++i) s += "line " + std::to_string(i) + "\n";
  return s;
}

TEST_F(Close, ExitWalkFlushesBufferedUnits) {
  const std::string f = path("buffered.txt"), g = path("unbuffered.txt");
  testkit::RunOptions o;
  o.env["FORT_BUFFERED"] = "yes";
  auto writer = [&](bool severe) {
    return child(
        [&, severe] {
          // An earlier file, so that the first record cuts it.
          testkit::write_file(f, "an earlier file\n");
          UNITS_REQUIRE(open_file(30, f, "unknown") == 0);
          UNITS_REQUIRE(lub_of(30)->buffered);
          Keywords kw;
          kw.text(FOR_KW_FILE, g).text(FOR_KW_BUFFERED, "no");
          UNITS_REQUIRE(open_kw(31, kProgram, kw) == 0);
          UNITS_REQUIRE(!lub_of(31)->buffered);
          for (int i = 1; i <= 20; ++i) {
            UNITS_REQUIRE(write_line(30, "line " + std::to_string(i)) == 0);
            UNITS_REQUIRE(write_line(31, "line " + std::to_string(i)) == 0);
          }
          // Only the first record (it truncates the file) has gone out.
          printf("%zu %zu\n", read_file(f).size(), read_file(g).size());
          fflush(stdout);
          if (severe) open_file(32, path("missing"), "old");
          for_stop(nullptr, 0, 0);
        },
        o);
  };
  auto r = writer(false);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "7 " + std::to_string(numbered_lines(20).size()) + "\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(read_file(f), numbered_lines(20));

  r = writer(true);
  EXPECT_EQ(r.status, 29);
  EXPECT_EQ(r.err, "forrtl: No such file or directory\n" +
                       diag(29, "file not found, unit 32, file " + path("missing")));
  EXPECT_EQ(read_file(f), numbered_lines(20));
  EXPECT_EQ(read_file(g), numbered_lines(20));
}

}  // namespace

namespace {

// Write calls and truncations reaching the file before CLOSE, and the
// working-directory lookups of OPEN.
int writes_seen = 0, truncations_seen = 0, directory_lookups = 0;
ssize_t counting_write(int fd, const void *buf, size_t n) {
  ++writes_seen;
  return ::write(fd, buf, n);
}
int counting_ftruncate(int fd, off_t length) {
  ++truncations_seen;
  return ::ftruncate(fd, length);
}
char *counting_getcwd(char *buf, size_t size) {
  ++directory_lookups;
  return ::getcwd(buf, size);
}

// Only a file that has something to cut is cut: the first record written to
// a new or empty file waits in the block buffer like the others.  The file
// ends after the last record either way.
TEST_F(Close, OnlyAFileWithContentIsCutByItsFirstRecord) {
  const struct {
    const char *what;
    const char *before;  // null: no file
    const char *buffered;
    int writes, truncations;  // before CLOSE
  } rows[] = {
      {"new, buffered", nullptr, "yes", 0, 0},
      {"empty, buffered", "", "yes", 0, 0},
      {"longer, buffered", "an earlier and much longer file\n", "yes", 1, 1},
      {"new, unbuffered", nullptr, "no", 3, 0},
      {"longer, unbuffered", "an earlier and much longer file\n", "no", 3, 1},
  };
  for (const auto &row : rows) {
    SysGuard guard;
    const std::string f = path("cut.txt");
    unlink(f.c_str());
    if (row.before) write_file(f, row.before);
    Keywords kw;
    kw.text(FOR_KW_FILE, f).text(FOR_KW_STATUS, "unknown").text(FOR_KW_BUFFERED, row.buffered);
    ASSERT_EQ(open_kw(40, kProgram, kw), 0) << row.what;
    writes_seen = truncations_seen = 0;
    for__sys.write = counting_write;
    for__sys.ftruncate = counting_ftruncate;
    for (const char *line : {"a", "bb", "c"}) ASSERT_EQ(write_line(40, line), 0) << row.what;
    for__sys = for__sys_default;
    EXPECT_EQ(writes_seen, row.writes) << row.what;
    EXPECT_EQ(truncations_seen, row.truncations) << row.what;
    ASSERT_EQ(close_unit(40), 0) << row.what;
    EXPECT_EQ(read_file(f), "a\nbb\nc\n") << row.what;
  }
}

// The working directory is looked up once per process, not per OPEN.
TEST_F(Close, RelativeNamesDoNotLookUpTheDirectoryAgain) {
  SysGuard guard;
  const std::string relative = "tavo-relative-name-test.txt";
  Keywords del;
  del.text(FOR_KW_DISPOSE, "delete");
  ASSERT_EQ(open_file(41, relative, "unknown"), 0);
  ASSERT_EQ(close_kw(41, kProgram, del), 0);
  directory_lookups = 0;
  for__sys.getcwd = counting_getcwd;
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(open_file(41, relative, "unknown"), 0);
    EXPECT_NE(std::string(lub_of(41)->name).find("/" + relative), std::string::npos);
    ASSERT_EQ(close_kw(41, kProgram, del), 0);
  }
  EXPECT_EQ(directory_lookups, 0);
}

// The first lookup after the directory is forgotten: tried five times when
// it fails (the name then starts "./", whatever the failed call left in its
// buffer), once when it succeeds, even for the root directory.
char *failing_getcwd(char *buf, size_t size) {
  ++directory_lookups;
  if (size > 2) memcpy(buf, "/x", 3);
  errno = ERANGE;
  return nullptr;
}

TEST_F(Close, TheWorkingDirectoryIsLookedUpAgainOnlyWhenForgotten) {
  auto r = child([] {
    const struct {
      const char *cwd;
      char *(*lookup)(char *, size_t);
      int lookups;  // over two OPENs
      const char *prefix;
    } rows[] = {{"/", failing_getcwd, 10, "./"}, {"/", counting_getcwd, 1, "/"}, {"/tmp", counting_getcwd, 1, "/tmp/"}};
    for (const auto &row : rows) {
      UNITS_REQUIRE(chdir(row.cwd) == 0);
      for__forget_working_directory();
      directory_lookups = 0;
      for__sys.getcwd = row.lookup;
      for (int i = 0; i < 2; ++i) {
        Keywords kw;
        kw.text(FOR_KW_FILE, "tavo-cwd-test.txt").text(FOR_KW_STATUS, "scratch");
        UNITS_REQUIRE(open_kw(42, kProgram | FOR_OPT_ERR, kw) == 0 || row.lookup == failing_getcwd);
        if (for_lub *lub = lub_of(42)) {
          UNITS_REQUIRE(std::string(lub->name).rfind(row.prefix, 0) == 0);
          close_unit(42);
        }
      }
      for__sys = for__sys_default;
      UNITS_REQUIRE(directory_lookups == row.lookups);
    }
    return 0;
  });
  EXPECT_EQ(r.status, 0) << r.out << r.err;
}

}  // namespace
