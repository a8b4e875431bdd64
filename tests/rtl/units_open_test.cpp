// OPEN: file-name resolution, STATUS and ACTION, the standard units, the
// errors of a failed open and the settings read from the environment.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "rtl/for_state.h"
#include "tests/rtl/units_kit.h"

namespace {

using namespace units;
using testkit::file_exists;
using testkit::read_file;
using testkit::write_file;

std::string padded(const std::string &s, size_t width) { return s + std::string(width - s.size(), ' '); }

class Open : public UnitsTest {};

TEST_F(Open, MissingFileWithStatusOldEndsTheRunNamingUnitAndAbsolutePath) {
  testkit::RunOptions o;
  o.cwd = dir_.path();
  // A 40-character FILE value: the blanks go, the relative name is made absolute.
  auto r = child([] { return open_file(99, padded("nofile.inp", 40), "old"); }, o);
  EXPECT_EQ(r.status, 29);
  EXPECT_EQ(r.err, "forrtl: No such file or directory\n" +
                       diag(29, "file not found, unit 99, file " + path("nofile.inp")));
  EXPECT_EQ(r.out, "");

  // With an error return the status comes back and the unit stays closed.
  EXPECT_EQ(open_file(99, path("nofile.inp"), "old", kErr), 29);
  for_lub *l = lub_of(99);
  EXPECT_TRUE(l == nullptr || !l->open);
  EXPECT_FALSE(file_exists(path("nofile.inp")));
}

TEST_F(Open, RelativeNamesAndBlanks) {
  write_file(path("data.txt"), "first\n");
  testkit::RunOptions o;
  o.cwd = dir_.path();
  auto r = child(
      [] {
        // Leading blanks and trailing blanks and NULs are trimmed.
        std::string name = std::string("  data.txt  ") + std::string(3, '\0') + "  ";
        UNITS_REQUIRE(open_file(10, name, "old") == 0);
        printf("%s\n", lub_of(10)->name);
        std::string line;
        UNITS_REQUIRE(read_line(10, line) == 0 && line == "first");
        UNITS_REQUIRE(close_unit(10) == 0);
        return 0;
      },
      o);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out, path("data.txt") + "\n");
}

TEST_F(Open, StatusValues) {
  const std::string f = path("s.txt");
  // Case-insensitive, trailing blanks ignored.
  ASSERT_EQ(open_file(10, f, "UnKnOwN  "), 0);
  ASSERT_EQ(write_line(10, "one"), 0);
  ASSERT_EQ(close_unit(10), 0);
  ASSERT_EQ(open_file(10, f, "oLd "), 0);
  ASSERT_EQ(close_unit(10), 0);
  EXPECT_EQ(read_file(f), "one\n");

  // A misspelt value, a leading blank, an empty value.
  for (const char *bad : {"unknwn", " old", "", "OLDE"}) {
    EXPECT_EQ(open_file(10, f, bad, kErr), 45) << '"' << bad << '"';
    for_lub *l = lub_of(10);
    EXPECT_TRUE(l == nullptr || !l->open);
  }
  auto r = child([&] { return open_file(10, f, "unknwn"); });
  EXPECT_EQ(r.status, 45);
  EXPECT_EQ(r.err.rfind("forrtl: severe (45): keyword value error in OPEN statement, unit 10, file ", 0), 0u)
      << r.err;

  // NEW on an existing file; NEW on a missing one creates it.
  EXPECT_EQ(open_file(10, f, "new", kErr), 10);
  r = child([&] { return open_file(10, f, "new"); });
  EXPECT_EQ(r.status, 10);
  EXPECT_EQ(r.err, "forrtl: File exists\n" + diag(10, "cannot overwrite existing file, unit 10, file " + f));
  ASSERT_EQ(open_file(10, path("fresh.txt"), "new"), 0);
  ASSERT_EQ(close_unit(10), 0);
  EXPECT_TRUE(file_exists(path("fresh.txt")));

  // REPLACE truncates at OPEN; UNKNOWN does not (the first write does).
  write_file(f, "a long earlier content\n");
  ASSERT_EQ(open_file(10, f, "unknown"), 0);
  ASSERT_EQ(close_unit(10), 0);
  EXPECT_EQ(read_file(f), "a long earlier content\n");
  ASSERT_EQ(open_file(10, f, "replace"), 0);
  EXPECT_EQ(read_file(f), "");
  ASSERT_EQ(write_line(10, "x"), 0);
  ASSERT_EQ(close_unit(10), 0);
  EXPECT_EQ(read_file(f), "x\n");
  ASSERT_EQ(open_file(10, path("made-by-replace.txt"), "replace"), 0);
  ASSERT_EQ(close_unit(10), 0);
  EXPECT_TRUE(file_exists(path("made-by-replace.txt")));

  // UNKNOWN with ACTION=READ does not create the file.
  Keywords kw;
  kw.text(FOR_KW_FILE, path("absent.txt")).text(FOR_KW_STATUS, "unknown").text(FOR_KW_ACTION, "read");
  EXPECT_EQ(open_kw(10, kErr, kw), 29);
  EXPECT_FALSE(file_exists(path("absent.txt")));
}

TEST_F(Open, ScratchFilesLiveInTheTemporaryDirectoryUntilClose) {
  const std::string a = path("fort-tmp"), b = path("tmp");
  mkdir(a.c_str(), 0700);
  mkdir(b.c_str(), 0700);
  auto scratch_in = [&](testkit::RunOptions o) {
    o.cwd = dir_.path();
    return child(
        [] {
          Keywords kw;
          kw.text(FOR_KW_STATUS, "SCRATCH");
          UNITS_REQUIRE(open_kw(30, kProgram, kw) == 0);
          std::string name = lub_of(30)->name;
          UNITS_REQUIRE(file_exists(name));
          UNITS_REQUIRE(write_line(30, "kept until close") == 0);
          UNITS_REQUIRE(close_unit(30) == 0);
          UNITS_REQUIRE(!file_exists(name));
          printf("%s\n", name.c_str());
          return 0;
        },
        o);
  };
  auto dir_of = [](const std::string &out) {
    std::string name = out.substr(0, out.size() - 1);
    size_t slash = name.rfind('/');
    EXPECT_EQ(name.substr(slash + 1, 4), "fort");
    EXPECT_EQ(name.size() - slash - 1, 10u);
    return name.substr(0, slash);
  };
  testkit::RunOptions o;
  o.env["FORT_TMPDIR"] = a;
  o.env["TMPDIR"] = b;
  auto r = scratch_in(o);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(dir_of(r.out), a);
  // FORT_TMPDIR that is not a directory: TMPDIR.
  o.env["FORT_TMPDIR"] = path("no-such-dir");
  r = scratch_in(o);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(dir_of(r.out), b);
  // Neither: the working directory.
  o.env["FORT_TMPDIR"] = std::nullopt;
  o.env["TMPDIR"] = std::nullopt;
  r = scratch_in(o);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(dir_of(r.out), real_path(dir_.path()));
  EXPECT_EQ(testkit::list_dir(a).size() + testkit::list_dir(b).size(), 0u);
}

TEST_F(Open, UnitsWithoutFileAreNamedByTheirVariableOrFortDotN) {
  testkit::RunOptions o;
  o.cwd = dir_.path();
  o.env["FORT12"] = path("twelve.dat");
  o.env["FORT14"] = path("fourteen.dat");
  auto r = child(
      [] {
        Keywords none;
        none.text(FOR_KW_STATUS, "unknown");
        UNITS_REQUIRE(open_kw(12, kProgram, none) == 0);
        UNITS_REQUIRE(write_line(12, "by FORT12") == 0);
        UNITS_REQUIRE(open_kw(15, kProgram, none) == 0);
        UNITS_REQUIRE(write_line(15, "by default name") == 0);
        // A unit used before any OPEN is connected by default.
        UNITS_REQUIRE(write_line(14, "default open, FORT14") == 0);
        UNITS_REQUIRE(write_line(13, "default open, fort.13") == 0);
        for (int u : {12, 13, 14, 15}) {
          printf("%s\n", lub_of(u)->name);
          UNITS_REQUIRE(close_unit(u) == 0);
        }
        // A READ on a unit never opened needs its file: STATUS OLD.
        std::string line;
        UNITS_REQUIRE(read_line(16, line, kErr) == 29);
        UNITS_REQUIRE(!file_exists("fort.16"));
        return 0;
      },
      o);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out, path("twelve.dat") + "\n" + path("fort.13") + "\n" + path("fourteen.dat") + "\n" +
                       path("fort.15") + "\n");
  EXPECT_EQ(read_file(path("twelve.dat")), "by FORT12\n");
  EXPECT_EQ(read_file(path("fort.13")), "default open, fort.13\n");
  EXPECT_EQ(read_file(path("fourteen.dat")), "default open, FORT14\n");
  EXPECT_EQ(read_file(path("fort.15")), "by default name\n");
}

TEST_F(Open, StandardUnitsUseTheirStreams) {
  testkit::RunOptions o;
  o.stdin_bytes = "from standard input\nsecond line\n";
  auto r = child(
      [] {
        std::string line;
        UNITS_REQUIRE(read_line(5, line) == 0 && line == "from standard input");
        UNITS_REQUIRE(read_line(5, line) == 0 && line == "second line");
        Keywords none;
        UNITS_REQUIRE(open_kw(-4, kProgram, none) == 0);
        UNITS_REQUIRE(write_line(6, "unit 6") == 0);
        UNITS_REQUIRE(write_line(-1, "unit -1") == 0);
        UNITS_REQUIRE(write_line(0, "unit 0") == 0);
        // A standard unit is not writable the wrong way round.
        UNITS_REQUIRE(write_line(5, "no", kErr) == 47);
        std::string names;
        for (int u : {5, -4, 6, -1, 0}) names += std::string(lub_of(u)->name) + "\n";
        const std::string pid = std::to_string(getpid());
        std::string want;
        for (int fd : {0, 0, 1, 1, 2}) want += "/proc/" + pid + "/fd/" + std::to_string(fd) + "\n";
        UNITS_REQUIRE(names == want);
        // Closing a standard unit leaves its stream open.
        UNITS_REQUIRE(close_unit(6) == 0);
        UNITS_REQUIRE(write_line(6, "unit 6 again") == 0);
        return 0;
      },
      o);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "unit 6\nunit -1\nunit 6 again\n");
  EXPECT_EQ(r.err, "unit 0\n");

  // FORT6 and FOR_PRINT send units 6 and -1 to files.
  o.env["FORT6"] = path("six.txt");
  o.env["FOR_PRINT"] = path("print.txt");
  r = child(
      [] {
        UNITS_REQUIRE(write_line(6, "to FORT6") == 0);
        UNITS_REQUIRE(write_line(-1, "to FOR_PRINT") == 0);
        UNITS_REQUIRE(close_unit(6) == 0 && close_unit(-1) == 0);
        return 0;
      },
      o);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(read_file(path("six.txt")), "to FORT6\n");
  EXPECT_EQ(read_file(path("print.txt")), "to FOR_PRINT\n");
}

TEST_F(Open, BlankNameIsAskedFor) {
  testkit::RunOptions o;
  o.cwd = dir_.path();
  o.stdin_bytes = "  given.txt \nnot read\n";
  auto r = child(
      [] {
        UNITS_REQUIRE(open_file(20, std::string(40, ' '), "unknown") == 0);
        UNITS_REQUIRE(write_line(20, "named interactively") == 0);
        UNITS_REQUIRE(close_unit(20) == 0);
        return 0;
      },
      o);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "File name missing or blank - please enter file name\r\nUNIT 20? ");
  EXPECT_EQ(read_file(path("given.txt")), "named interactively\n");
}

TEST_F(Open, TildeAndDefaultFile) {
  const std::string sub = path("sub");
  mkdir(sub.c_str(), 0700);
  testkit::RunOptions o;
  o.cwd = dir_.path();
  o.env["HOME"] = sub;
  auto named = [](Keywords &kw) -> std::string {
    if (open_kw(40, kErr, kw) != 0) return "(failed)";
    std::string n = lub_of(40)->name;
    close_unit(40);
    return n;
  };
  auto r = child(
      [&] {
        Keywords a, b, c, d, e, f, g;
        a.text(FOR_KW_FILE, "~/t.txt");
        b.text(FOR_KW_FILE, "~t.txt");
        c.text(FOR_KW_FILE, "f.txt").text(FOR_KW_DEFAULTFILE, "  " + sub + "  ");
        d.text(FOR_KW_FILE, "f.txt").text(FOR_KW_DEFAULTFILE, sub + "/");
        e.text(FOR_KW_FILE, "/" + std::string("dev/null")).text(FOR_KW_DEFAULTFILE, sub);
        f.text(FOR_KW_FILE, "g.txt").text(FOR_KW_DEFAULTFILE, "sub");
        g.text(FOR_KW_FILE, "h.txt").text(FOR_KW_DEFAULTFILE, "   ");
        for (Keywords *k : {&a, &b, &c, &d, &e, &f, &g}) printf("%s\n", named(*k).c_str());
        unsetenv("HOME");
        Keywords h;
        h.text(FOR_KW_FILE, "~/u.txt");
        printf("%s\n", named(h).c_str());
        return 0;
      },
      o);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  const std::string cwd = real_path(dir_.path());
  // A relative or blank DEFAULTFILE is itself taken from the working
  // directory, so that every stored name is absolute.
  EXPECT_EQ(r.out, sub + "/t.txt\n" + cwd + "/~t.txt\n" + sub + "/f.txt\n" + sub + "/f.txt\n/dev/null\n" + sub +
                       "/g.txt\n" + cwd + "/h.txt\n(failed)\n");
}

TEST_F(Open, NamesThatCannotBeOpened) {
  // A directory opened as a file.
  auto r = child([&] { return open_file(41, dir_.path(), "old"); });
  EXPECT_EQ(r.status, 30);
  EXPECT_EQ(r.err, "forrtl: Is a directory\n" + diag(30, "open failure, unit 41, file " + dir_.path()));

  // A name component longer than the system allows.
  const std::string longname = path(std::string(300, 'n'));
  r = child([&] { return open_file(42, longname, "unknown"); });
  EXPECT_EQ(r.status, 43);
  EXPECT_EQ(r.err, "forrtl: File name too long\n" +
                       diag(43, "file name specification error, unit 42, file " + longname));
  EXPECT_EQ(open_file(42, longname, "unknown", kErr), 43);

  // A whole path longer than 4096 bytes.
  std::string deep = path("");
  while (deep.size() <= 4100) deep += "d/";
  deep += "x";
  EXPECT_EQ(open_file(42, deep, "unknown", kErr), 43);

  // A component that is a file, not a directory.
  write_file(path("plain"), "");
  EXPECT_EQ(open_file(42, path("plain") + "/x", "unknown", kErr), 43);
  for_lub *l = lub_of(42);
  EXPECT_TRUE(l == nullptr || !l->open);
}

TEST_F(Open, TooManyOpenFiles) {
  const std::string f = path("one-too-many.txt");
  auto r = child([&] {
    struct rlimit lim;
    getrlimit(RLIMIT_NOFILE, &lim);
    lim.rlim_cur = 16;
    UNITS_REQUIRE(setrlimit(RLIMIT_NOFILE, &lim) == 0);
    static std::vector<int> fillers;
    for (int fd; (fd = open("/dev/null", O_RDONLY)) >= 0;) fillers.push_back(fd);
    // The process needs descriptors again while it exits.
    atexit([] {
      for (int fd : fillers) close(fd);
    });
    return open_file(50, f, "unknown");
  });
  EXPECT_EQ(r.status, 603 & 0xFF);
  EXPECT_EQ(r.err, "forrtl: Too many open files\n" + diag(603, "too many open files"));
  EXPECT_FALSE(file_exists(f));
}

// File modes bind only an unprivileged user.
TEST_F(Open, PermissionsAsAnUnprivilegedUser) {
  const std::string home = path("nobody");
  mkdir(home.c_str(), 0755);
  ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
  const std::string ro = home + "/readonly.txt";
  write_file(ro, "may not be written\n");
  ASSERT_EQ(chmod(ro.c_str(), 0444), 0);
  ASSERT_EQ(chown(home.c_str(), 65534, 65534), 0);
  ASSERT_EQ(chown(ro.c_str(), 65534, 65534), 0);

  // Opened without ACTION: read-only, readable; the first WRITE is error 47.
  auto r = child([&] {
    UNITS_REQUIRE(become_nobody());
    UNITS_REQUIRE(open_file(60, ro, "unknown") == 0);
    UNITS_REQUIRE(lub_of(60)->readonly);
    std::string line;
    UNITS_REQUIRE(read_line(60, line) == 0 && line == "may not be written");
    return write_line(60, "refused");
  });
  EXPECT_EQ(r.status, 47) << r.out;
  EXPECT_EQ(r.err, diag(47, "write to READONLY file, unit 60, file " + ro));
  EXPECT_EQ(read_file(ro), "may not be written\n");

  // Asking for write access explicitly is refused at OPEN.
  r = child([&] {
    UNITS_REQUIRE(become_nobody());
    Keywords kw;
    kw.text(FOR_KW_FILE, ro).text(FOR_KW_ACTION, "write");
    return open_kw(61, kProgram, kw);
  });
  EXPECT_EQ(r.status, 9) << r.out;
  EXPECT_EQ(r.err, "forrtl: Permission denied\n" + diag(9, "permission to access file denied, unit 61, file " + ro));

  // A directory that may not be written, a missing file, STATUS unknown.
  ASSERT_EQ(chmod(home.c_str(), 0555), 0);
  const std::string missing = home + "/missing.txt";
  r = child([&] {
    UNITS_REQUIRE(become_nobody());
    return open_file(62, missing, "unknown");
  });
  EXPECT_EQ(r.status, 9) << r.out;
  EXPECT_EQ(r.err, "forrtl: Permission denied\n" +
                       diag(9, "permission to access file denied, unit 62, file " + missing));
  EXPECT_FALSE(file_exists(missing));
}

TEST_F(Open, ReopenOfAnOpenUnit) {
  const std::string a = path("a.txt"), b = path("b.txt");
  write_file(a, "a1\na2\na3\n");
  write_file(b, "b1\nb2\n");
  std::string line;
  ASSERT_EQ(open_file(70, a, "old"), 0);
  ASSERT_EQ(read_line(70, line), 0);
  // The same file: the connection and its position stay.
  ASSERT_EQ(open_file(70, padded(a, a.size() + 5), "old"), 0);
  ASSERT_EQ(read_line(70, line), 0);
  EXPECT_EQ(line, "a2");
  // Another file: the first is closed, the second opened at its start.
  ASSERT_EQ(open_file(70, b, "old"), 0);
  EXPECT_EQ(lub_of(70)->name, b);
  EXPECT_EQ(lub_of(70)->recnum, 1);
  ASSERT_EQ(read_line(70, line), 0);
  EXPECT_EQ(line, "b1");
  ASSERT_EQ(close_unit(70), 0);
  // After CLOSE an OPEN starts afresh.
  ASSERT_EQ(open_file(70, b, "old"), 0);
  ASSERT_EQ(read_line(70, line), 0);
  EXPECT_EQ(line, "b1");
  // Re-OPEN onto a missing file: error, and the unit is closed.
  EXPECT_EQ(open_file(70, path("gone.txt"), "old", kErr), 29);
  for_lub *l = lub_of(70);
  EXPECT_TRUE(l == nullptr || !l->open);
  // Re-OPEN of a scratch unit elsewhere deletes the scratch file.
  Keywords s;
  s.text(FOR_KW_FILE, path("scratch.txt")).text(FOR_KW_STATUS, "scratch");
  ASSERT_EQ(open_kw(71, kProgram, s), 0);
  EXPECT_TRUE(file_exists(path("scratch.txt")));
  ASSERT_EQ(open_file(71, a, "old"), 0);
  EXPECT_FALSE(file_exists(path("scratch.txt")));
  ASSERT_EQ(close_unit(71), 0);
}

TEST_F(Open, FifoIsReadAsItArrives) {
  const std::string fifo = path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    int fd = open(fifo.c_str(), O_WRONLY);
    const char text[] = "through\nthe pipe\nunterminated";
    ssize_t n = write(fd, text, sizeof text - 1);
    _exit(n == static_cast<ssize_t>(sizeof text - 1) ? 0 : 1);
  }
  Keywords kw;
  kw.text(FOR_KW_FILE, fifo).text(FOR_KW_STATUS, "old").text(FOR_KW_ACTION, "read");
  ASSERT_EQ(open_kw(72, kProgram, kw), 0);
  EXPECT_FALSE(lub_of(72)->regular);
  std::string line;
  EXPECT_EQ(read_line(72, line), 0);
  EXPECT_EQ(line, "through");
  EXPECT_EQ(read_line(72, line), 0);
  EXPECT_EQ(line, "the pipe");
  EXPECT_EQ(read_line(72, line), 0);
  EXPECT_EQ(line, "unterminated");
  EXPECT_EQ(read_line(72, line, kEnd), -1);
  // BACKSPACE needs a disk file: 23, or 264 to an IOSTAT variable.
  EXPECT_EQ(forio::backspace(72, kErr), 264);
  EXPECT_EQ(close_unit(72), 0);
  int st = 0;
  waitpid(writer, &st, 0);
  EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
}

// The four size variables are read once at start-up; the child reads them
// again after changing them.
int open_after_startup_sizes(const std::string &file, bool buffered) {
  for__rtl.blocksize = for__rtl.buffercount = for__rtl.fmt_recl = for__rtl.ufmt_recl = 0;
  for__default_io_sizes_env_init();
  Keywords kw;
  kw.text(FOR_KW_FILE, file).text(FOR_KW_STATUS, "unknown");
  if (buffered) kw.text(FOR_KW_BUFFERED, "yes");
  return open_kw(80, kProgram, kw);
}

TEST_F(Open, MalformedEnvironmentSettings) {
  const std::string f = path("env.txt");
  struct Case {
    const char *variable, *value;
    bool buffered;
    int error;
    const char *text;
  } cases[] = {
      {"FORT_FMT_RECL", "12x", false, 99, "FORT_FMT_RECL environment variable has erroneous syntax"},
      {"FORT_FMT_RECL", "-1", false, 99, "FORT_FMT_RECL environment variable has erroneous syntax"},
      {"FORT_BLOCKSIZE", "big", false, 106, "FORT_BLOCKSIZE environment variable has erroneous syntax"},
      {"FORT_BLOCKSIZE", "2147467265", false, 106, "FORT_BLOCKSIZE environment variable has erroneous syntax"},
      {"FORT_BUFFERCOUNT", "128", false, 107, "FORT_BUFFERCOUNT environment variable has erroneous syntax"},
      {"FORT_BUFFERCOUNT", "", false, 107, "FORT_BUFFERCOUNT environment variable has erroneous syntax"},
      {"FORT_BUFFERING_THRESHOLD", "0", true, 119,
       "The FORT_BUFFERING_THRESHOLD environment variable has erroneous syntax"},
      {"FORT_BUFFERING_THRESHOLD", "4k", true, 119,
       "The FORT_BUFFERING_THRESHOLD environment variable has erroneous syntax"},
  };
  for (const Case &c : cases) {
    testkit::RunOptions o;
    o.env[c.variable] = c.value;
    auto r = child([&] { return open_after_startup_sizes(f, c.buffered); }, o);
    EXPECT_EQ(r.status, c.error) << c.variable << "=" << c.value;
    EXPECT_EQ(r.err, diag(c.error, c.text)) << c.variable << "=" << c.value;
  }
  // The threshold is only looked at for a block-buffered unit, and valid
  // values open normally.
  testkit::RunOptions o;
  o.env["FORT_BUFFERING_THRESHOLD"] = "junk";
  o.env["FORT_BLOCKSIZE"] = "1000";
  o.env["FORT_BUFFERCOUNT"] = "2";
  o.env["FORT_FMT_RECL"] = "80";
  auto r = child([&] {
    UNITS_REQUIRE(open_after_startup_sizes(f, false) == 0);
    for_lub *l = lub_of(80);
    UNITS_REQUIRE(l->blocksize == 1024 && l->buffercount == 2 && l->recl == 80);
    UNITS_REQUIRE(l->transfer_size == 2048);
    return close_unit(80);
  }, o);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
}

TEST_F(Open, InvalidUnitNumbers) {
  EXPECT_EQ(open_file(-5, path("x"), "unknown", kErr), 32);
  EXPECT_EQ(open_file(-7, path("x"), "unknown", kErr), 32);
  auto r = child([&] { return open_file(-9, path("x"), "unknown"); });
  EXPECT_EQ(r.status, 32);
  EXPECT_EQ(r.err, diag(32, "invalid logical unit number, unit -9, file \"Unknown\""));
  // Large unit numbers live in the hashed slots.
  for (int u : {100, 100 + 521, 2000000000}) {
    ASSERT_EQ(open_file(u, path("big" + std::to_string(u)), "unknown"), 0) << u;
    ASSERT_EQ(write_line(u, std::to_string(u)), 0);
  }
  for (int u : {100, 100 + 521, 2000000000}) {
    EXPECT_EQ(lub_of(u)->unit, u);
    ASSERT_EQ(close_unit(u), 0);
    EXPECT_EQ(read_file(path("big" + std::to_string(u))), std::to_string(u) + "\n");
  }
}

}  // namespace
