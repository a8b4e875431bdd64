// Records on STREAM_LF units: how input is cut into records, how output
// records reach the file (write calls, pieces, block buffering, truncation),
// end of file, and failing or interrupted system calls.
#include <fcntl.h>
#include <unistd.h>

#include <fstream>

#include "tests/rtl/units_kit.h"

namespace {

using namespace units;
using testkit::read_file;
using testkit::write_file;

class Records : public UnitsTest {};

// ---- System calls seen through the table ----------------------------------

struct Calls {
  int fd = -1;                 // the descriptor watched
  std::vector<size_t> writes;  // sizes asked of each write call on it
  int truncates = 0;
  int reads = 0;
  int interrupt_every = 0;     // every k-th call fails with EINTR
  size_t at_most = 0;          // short transfers: at most this many bytes
  int fail_errno = 0;          // every write (or read) fails with this errno
  int calls = 0;
  bool interrupt() { return interrupt_every > 0 && ++calls % interrupt_every == 0; }
};
Calls g;

ssize_t seam_write(int fd, const void *buf, size_t n) {
  if (fd != g.fd) return ::write(fd, buf, n);
  g.writes.push_back(n);
  if (g.fail_errno) {
    errno = g.fail_errno;
    return -1;
  }
  if (g.interrupt()) {
    errno = EINTR;
    return -1;
  }
  return ::write(fd, buf, g.at_most && n > g.at_most ? g.at_most : n);
}
ssize_t seam_read(int fd, void *buf, size_t n) {
  if (fd != g.fd) return ::read(fd, buf, n);
  ++g.reads;
  if (g.fail_errno) {
    errno = g.fail_errno;
    return -1;
  }
  if (g.interrupt()) {
    errno = EINTR;
    return -1;
  }
  return ::read(fd, buf, g.at_most && n > g.at_most ? g.at_most : n);
}
int seam_ftruncate(int fd, off_t length) {
  if (fd == g.fd) {
    ++g.truncates;
    if (g.fail_errno) {
      errno = g.fail_errno;
      return -1;
    }
  }
  return ::ftruncate(fd, length);
}

// Watches the descriptor of an open unit.
void watch(int32_t unit, Calls calls = {}) {
  g = calls;
  g.fd = lub_of(unit)->fd;
  for__sys.write = seam_write;
  for__sys.read = seam_read;
  for__sys.ftruncate = seam_ftruncate;
}

std::string lines_of(const std::vector<std::string> &lines) {
  std::string s;
  for (const auto &l : lines) s += l + "\n";
  return s;
}

// ---- Input -----------------------------------------------------------------

TEST_F(Records, InputIsCutAtLineFeeds) {
  const std::string f = path("in.txt");
  write_file(f, "lf\ncrlf\r\n\r\nin\rside\ntwo cr\r\r\n\ttab\n" + std::string(130, 'w') + "\nfive!\nno lf at end");
  ASSERT_EQ(open_file(10, f, "old"), 0);
  std::string line;
  for (const char *want : {"lf", "crlf", "", "in\rside", "two cr\r", "\ttab"}) {
    ASSERT_EQ(read_line(10, line), 0);
    EXPECT_EQ(line, want);
  }
  // 130 characters into 120: the first 120; 5 characters: 115 blanks after.
  ASSERT_EQ(read_var(10, line), 0);
  EXPECT_EQ(line, std::string(120, 'w'));
  ASSERT_EQ(read_var(10, line), 0);
  EXPECT_EQ(line, "five!" + std::string(115, ' '));
  // The last line has no line feed and is still a record.
  ASSERT_EQ(read_line(10, line), 0);
  EXPECT_EQ(line, "no lf at end");
  // END=: -1, the variable untouched, and again at the next READ.
  ASSERT_EQ(read_var(10, line, 120, kEnd), -1);
  EXPECT_EQ(line, std::string(120, '#'));
  EXPECT_TRUE(lub_of(10)->eof);
  EXPECT_EQ(read_var(10, line, 120, kEnd), -1);
  ASSERT_EQ(close_unit(10), 0);

  // An empty file has no records; a file of one line feed has one.
  write_file(f, "");
  ASSERT_EQ(open_file(10, f, "old"), 0);
  EXPECT_EQ(read_line(10, line, kEnd), -1);
  ASSERT_EQ(close_unit(10), 0);
  write_file(f, "\n");
  ASSERT_EQ(open_file(10, f, "old"), 0);
  EXPECT_EQ(read_line(10, line, kEnd), 0);
  EXPECT_EQ(line, "");
  EXPECT_EQ(read_line(10, line, kEnd), -1);
  ASSERT_EQ(close_unit(10), 0);
}

TEST_F(Records, EndOfFileWithoutEndBranchEndsTheRun) {
  const std::string f = path("short.txt");
  write_file(f, "only\n");
  auto r = child([&] {
    UNITS_REQUIRE(open_file(99, f, "old") == 0);
    std::string line;
    UNITS_REQUIRE(read_line(99, line) == 0);
    read_line(99, line);
    return 0;
  });
  EXPECT_EQ(r.status, 24);
  EXPECT_EQ(r.err, diag(24, "end-of-file during read, unit 99, file " + f));
  EXPECT_EQ(r.out, "");
}

TEST_F(Records, HugeLineIsReadWhole) {
  const std::string f = path("huge.txt");
  const size_t n = 50u << 20;
  std::string big(n, ' ');
  for (size_t i = 0; i < n; ++i) big[i] = static_cast<char>('a' + (i * 7 + i / 8191) % 26);
  write_file(f, big + "\nafter\n");
  ASSERT_EQ(open_file(11, f, "old"), 0);
  std::string var;
  ASSERT_EQ(read_var(11, var, static_cast<int64_t>(n + 10)), 0);
  EXPECT_TRUE(var.compare(0, n, big) == 0);
  EXPECT_EQ(var.substr(n), std::string(10, ' '));
  std::string line;
  ASSERT_EQ(read_line(11, line), 0);
  EXPECT_EQ(line, "after");
  EXPECT_EQ(read_line(11, line, kEnd), -1);
  ASSERT_EQ(close_unit(11), 0);
}

TEST_F(Records, LargeFileOfOrdinaryLinesNeverGrowsTheInputBuffer) {
  const std::string f = path("large.txt");
  const int64_t total = 100 << 20;
  {
    std::ofstream out(f, std::ios::binary);
    std::string chunk;
    int64_t written = 0;
    for (int64_t i = 0; written < total; ++i) {
      std::string l = "record " + std::to_string(i) + " " + std::string(static_cast<size_t>(i % 97), '.');
      chunk += l + "\n";
      written += static_cast<int64_t>(l.size()) + 1;
      if (chunk.size() > (1u << 20)) {
        out << chunk;
        chunk.clear();
      }
    }
    out << chunk;
  }
  ASSERT_EQ(open_file(12, f, "old"), 0);
  std::string line;
  int64_t count = 0;
  bool all_match = true;
  int r;
  while ((r = read_line(12, line, kEnd)) == 0) {
    std::string want = "record " + std::to_string(count) + " " + std::string(static_cast<size_t>(count % 97), '.');
    if (line != rtrim(want.substr(0, 120))) all_match = false;
    ++count;
  }
  EXPECT_EQ(r, -1);
  EXPECT_TRUE(all_match);
  EXPECT_GT(count, 1000000);
  EXPECT_EQ(lub_of(12)->ibuf_size, 8192);
  ASSERT_EQ(close_unit(12), 0);
}

TEST_F(Records, InterruptedAndShortReadsAreRepeated) {
  SysGuard guard;
  const std::string f = path("slow.txt");
  std::vector<std::string> lines;
  for (int i = 0; i < 1000; ++i)
    lines.push_back(std::string(static_cast<size_t>(i % 50), static_cast<char>('a' + i % 26)));
  write_file(f, lines_of(lines));
  ASSERT_EQ(open_file(13, f, "old"), 0);
  Calls c;
  c.interrupt_every = 2;
  c.at_most = 3;
  watch(13, c);
  std::string line;
  for (const auto &want : lines) {
    ASSERT_EQ(read_line(13, line), 0);
    EXPECT_EQ(line, want);
  }
  EXPECT_EQ(read_line(13, line, kEnd), -1);
  EXPECT_GT(static_cast<size_t>(g.reads), lines_of(lines).size() / 3);
  ASSERT_EQ(close_unit(13), 0);
}

TEST_F(Records, FailedReads) {
  // A directory opened for reading.
  Keywords kw;
  kw.text(FOR_KW_FILE, dir_.path()).text(FOR_KW_STATUS, "old").text(FOR_KW_ACTION, "read");
  auto r = child([&] {
    UNITS_REQUIRE(open_kw(14, kProgram, kw) == 0);
    std::string line;
    return read_line(14, line);
  });
  EXPECT_EQ(r.status, 39);
  EXPECT_EQ(r.err, "forrtl: Is a directory\n" + diag(39, "error during read, unit 14, file " + dir_.path()));

  // A read call that fails, with an error return.
  SysGuard guard;
  const std::string f = path("r.txt");
  write_file(f, "x\n");
  ASSERT_EQ(open_file(14, f, "old"), 0);
  Calls c;
  c.fail_errno = EIO;
  watch(14, c);
  std::string line;
  EXPECT_EQ(read_line(14, line, kErr), 39);
  for__sys = for__sys_default;
  // The unit is still open and usable.
  EXPECT_EQ(read_line(14, line), 0);
  EXPECT_EQ(line, "x");
  ASSERT_EQ(close_unit(14), 0);
}

// ---- Output ----------------------------------------------------------------

TEST_F(Records, OneWriteCallPerRecord) {
  SysGuard guard;
  const std::string f = path("out.txt");
  write_file(f, std::string(5000, 'o'));  // longer than what is written
  ASSERT_EQ(open_file(15, f, "unknown"), 0);
  watch(15);
  std::vector<std::string> lines = {"", "short", std::string(132, 'x'), std::string(133, 'y'), std::string(2000, 'z'),
                                    "after a long one"};
  for (const auto &l : lines) ASSERT_EQ(write_line(15, l), 0);
  ASSERT_EQ(g.writes.size(), lines.size());
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(g.writes[i], lines[i].size() + 1);
  // The first record cut the file after it; only that one truncates.
  EXPECT_EQ(g.truncates, 1);
  ASSERT_EQ(close_unit(15), 0);
  EXPECT_EQ(read_file(f), lines_of(lines));
}

TEST_F(Records, LongRecordsGoOutInPiecesOfAtMost128KiB) {
  SysGuard guard;
  const std::string f = path("long.txt");
  ASSERT_EQ(open_file(16, f, "unknown"), 0);
  watch(16);
  std::string big(300000, 'L');
  for (size_t i = 0; i < big.size(); i += 1000) big[i] = 'M';
  ASSERT_EQ(write_line(16, big), 0);
  EXPECT_EQ(g.writes, (std::vector<size_t>{131072, 131072, 300001 - 2 * 131072}));
  ASSERT_EQ(close_unit(16), 0);
  EXPECT_EQ(read_file(f), big + "\n");
}

TEST_F(Records, ShortAndInterruptedWritesAreRepeated) {
  SysGuard guard;
  const std::string f = path("chunks.txt");
  ASSERT_EQ(open_file(17, f, "unknown"), 0);
  Calls c;
  c.at_most = 5;
  c.interrupt_every = 3;
  watch(17, c);
  std::vector<std::string> lines = {"a record cut into five-byte pieces", "", "x", std::string(400, 'q')};
  for (const auto &l : lines) ASSERT_EQ(write_line(17, l), 0);
  ASSERT_EQ(close_unit(17), 0);
  EXPECT_EQ(read_file(f), lines_of(lines));
}

TEST_F(Records, BlockBufferingGroupsRecordsWithoutChangingBytes) {
  SysGuard guard;
  const std::string plain = path("plain.txt"), grouped = path("grouped.txt");
  std::vector<std::string> lines;
  for (int i = 0; i < 2000; ++i)
    lines.push_back("row " + std::to_string(i) + std::string(static_cast<size_t>(i % 150), '-'));
  lines.push_back(std::string(20000, 'B'));  // larger than the block
  lines.push_back("tail");

  ASSERT_EQ(open_file(18, plain, "unknown"), 0);
  watch(18);
  for (const auto &l : lines) ASSERT_EQ(write_line(18, l), 0);
  const size_t unbuffered_calls = g.writes.size();
  ASSERT_EQ(close_unit(18), 0);

  write_file(grouped, std::string(1 << 20, '?'));  // cut after the first record
  Keywords kw;
  kw.text(FOR_KW_FILE, grouped).text(FOR_KW_STATUS, "unknown").text(FOR_KW_BUFFERED, "YES");
  ASSERT_EQ(open_kw(19, kProgram, kw), 0);
  ASSERT_TRUE(lub_of(19)->buffered);
  watch(19);
  for (const auto &l : lines) ASSERT_EQ(write_line(19, l), 0);
  ASSERT_EQ(close_unit(19), 0);
  EXPECT_EQ(unbuffered_calls, lines.size());
  EXPECT_LT(g.writes.size() * 20, lines.size());
  for (size_t n : g.writes) EXPECT_LE(n, 131072u);
  EXPECT_EQ(read_file(grouped), read_file(plain));
  EXPECT_EQ(read_file(plain), lines_of(lines));

  // A threshold sends records at or above it straight out, in order.
  testkit::RunOptions o;
  o.env["FORT_BUFFERED"] = "true";
  o.env["FORT_BUFFERING_THRESHOLD"] = "50";
  auto r = child(
      [&] {
        UNITS_REQUIRE(open_file(20, grouped, "unknown") == 0);
        UNITS_REQUIRE(lub_of(20)->threshold == 50);
        for (const auto &l : lines) UNITS_REQUIRE(write_line(20, l) == 0);
        return close_unit(20);
      },
      o);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(read_file(grouped), read_file(plain));
}

TEST_F(Records, WritingOverALongerFileLeavesExactlyWhatWasWritten) {
  const std::string f = path("ten.txt");
  std::vector<std::string> ten;
  for (int i = 1; i <= 10; ++i) ten.push_back("old line " + std::to_string(i));
  write_file(f, lines_of(ten));
  ASSERT_EQ(open_file(98, f, "unknown"), 0);
  for (const char *l : {"new 1", "new 2", "new 3"}) ASSERT_EQ(write_line(98, l), 0);
  ASSERT_EQ(close_unit(98), 0);
  EXPECT_EQ(read_file(f), "new 1\nnew 2\nnew 3\n");

  // The same block-buffered.
  write_file(f, lines_of(ten));
  Keywords kw;
  kw.text(FOR_KW_FILE, f).text(FOR_KW_STATUS, "unknown").text(FOR_KW_BUFFERED, "yes");
  ASSERT_EQ(open_kw(98, kProgram, kw), 0);
  for (const char *l : {"new 1", "new 2", "new 3"}) ASSERT_EQ(write_line(98, l), 0);
  ASSERT_EQ(close_unit(98), 0);
  EXPECT_EQ(read_file(f), "new 1\nnew 2\nnew 3\n");

  // After reading two records a WRITE replaces the rest of the file.
  write_file(f, lines_of(ten));
  ASSERT_EQ(open_file(98, f, "old"), 0);
  std::string line;
  ASSERT_EQ(read_line(98, line), 0);
  ASSERT_EQ(read_line(98, line), 0);
  ASSERT_EQ(write_line(98, "third"), 0);
  ASSERT_EQ(write_line(98, "fourth"), 0);
  ASSERT_EQ(close_unit(98), 0);
  EXPECT_EQ(read_file(f), "old line 1\nold line 2\nthird\nfourth\n");

  // Opened with POSITION='APPEND': nothing is cut.
  Keywords app;
  app.text(FOR_KW_FILE, f).text(FOR_KW_POSITION, "append");
  ASSERT_EQ(open_kw(98, kProgram, app), 0);
  ASSERT_EQ(write_line(98, "fifth"), 0);
  ASSERT_EQ(close_unit(98), 0);
  EXPECT_EQ(read_file(f), "old line 1\nold line 2\nthird\nfourth\nfifth\n");
}

TEST_F(Records, FailedWrites) {
  // A device that is full: the system's text, then error 38.
  auto r = child([] {
    UNITS_REQUIRE(open_file(21, "/dev/full", "unknown") == 0);
    return write_line(21, "no room");
  });
  EXPECT_EQ(r.status, 38);
  EXPECT_EQ(r.err, "forrtl: No space left on device\n" + diag(38, "error during write, unit 21, file /dev/full"));

  SysGuard guard;
  const std::string f = path("w.txt");
  ASSERT_EQ(open_file(21, f, "unknown"), 0);
  Calls c;
  c.fail_errno = ENOSPC;
  watch(21, c);
  EXPECT_EQ(write_line(21, "lost", kErr), 38);
  EXPECT_EQ(lub_of(21)->saved_errno, 0);
  for__sys = for__sys_default;
  ASSERT_EQ(write_line(21, "kept"), 0);
  ASSERT_EQ(close_unit(21), 0);
  EXPECT_EQ(read_file(f), "kept\n");

  // A truncation that fails is a write error, unless the file cannot be cut.
  r = child([&] {
    UNITS_REQUIRE(open_file(22, f, "unknown") == 0);
    Calls t;
    t.fail_errno = EIO;
    watch(22, t);
    for__sys.write = for__sys_default.write;
    return write_line(22, "cut fails");
  });
  EXPECT_EQ(r.status, 38);
  EXPECT_EQ(r.err, "forrtl: Input/output error\n" + diag(38, "error during write, unit 22, file " + f));
  r = child([&] {
    UNITS_REQUIRE(open_file(22, f, "unknown") == 0);
    Calls t;
    t.fail_errno = EINVAL;
    watch(22, t);
    for__sys.write = for__sys_default.write;
    UNITS_REQUIRE(write_line(22, "cut ignored") == 0);
    return close_unit(22);
  });
  EXPECT_EQ(r.status, 0) << r.out << r.err;
}

}  // namespace
