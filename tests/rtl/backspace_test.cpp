// BACKSPACE on sequential files: within the input buffer, by reading the
// bytes before it, after writing, and what a WRITE after it leaves.
#include <unistd.h>

#include "tests/rtl/units_kit.h"

namespace {

using namespace units;
using testkit::read_file;
using testkit::write_file;

class Backspace : public UnitsTest {};

std::string join(const std::vector<std::string> &lines) {
  std::string s;
  for (const auto &l : lines) s += l + "\n";
  return s;
}

// Calls that reach the file: a BACKSPACE that finds the record in the
// buffer makes none.
int reads_seen = 0;
off_t counting_lseek(int fd, off_t offset, int whence) {
  ++reads_seen;
  return for__sys_default.lseek(fd, offset, whence);
}
ssize_t counting_read(int fd, void *buf, size_t n) {
  ++reads_seen;
  return ::read(fd, buf, n);
}

off_t os_offset(int32_t unit) { return lseek(lub_of(unit)->fd, 0, SEEK_CUR); }

TEST_F(Backspace, AtTheStartAndAfterTheFirstRecord) {
  const std::string f = path("b.txt");
  write_file(f, "one\ntwo\nthree\n");
  ASSERT_EQ(open_file(30, f, "old"), 0);
  // Right after OPEN: nothing happens.
  ASSERT_EQ(forio::backspace(30, kProgram), 0);
  ASSERT_EQ(forio::backspace(30, kProgram), 0);
  std::string line;
  ASSERT_EQ(read_line(30, line), 0);
  EXPECT_EQ(line, "one");
  // After the first READ: rewound to offset 0.
  ASSERT_EQ(forio::backspace(30, kProgram), 0);
  EXPECT_EQ(os_offset(30), 0);
  EXPECT_EQ(lub_of(30)->recnum, 1);
  ASSERT_EQ(read_line(30, line), 0);
  EXPECT_EQ(line, "one");
  ASSERT_EQ(read_line(30, line), 0);
  EXPECT_EQ(line, "two");
  ASSERT_EQ(close_unit(30), 0);
}

// Lines of irregular lengths, numbered so that a wrong record shows.
std::vector<std::string> irregular_lines(int count) {
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) {
    std::string l = std::to_string(i) + ":";
    l += std::string(static_cast<size_t>((i * 37) % 211), static_cast<char>('a' + i % 26));
    lines.push_back(l);
  }
  return lines;
}

TEST_F(Backspace, TheNextReadReturnsTheSameRecordAgain) {
  SysGuard guard;
  const std::string f = path("k.txt");
  // About 300 lines over roughly four 8192-byte buffers: some records lie in
  // the buffer, some began before its start.
  const auto lines = irregular_lines(300);
  write_file(f, join(lines));
  int in_buffer = 0, read_back = 0;
  for (size_t k = 1; k <= lines.size(); ++k) {
    ASSERT_EQ(open_file(31, f, "old"), 0);
    std::string line;
    for (size_t i = 0; i < k; ++i) ASSERT_EQ(read_line(31, line), 0);
    reads_seen = 0;
    for__sys.read = counting_read;
    for__sys.lseek = counting_lseek;
    ASSERT_EQ(forio::backspace(31, kProgram), 0) << k;
    for__sys = for__sys_default;
    (reads_seen ? read_back : in_buffer) += 1;
    EXPECT_EQ(lub_of(31)->recnum, static_cast<int64_t>(k));
    ASSERT_EQ(read_line(31, line), 0);
    EXPECT_EQ(line, rtrim(lines[k - 1].substr(0, 120))) << k;
    if (k >= 2) {
      // Twice: the record before it.
      ASSERT_EQ(forio::backspace(31, kProgram), 0);
      ASSERT_EQ(forio::backspace(31, kProgram), 0);
      ASSERT_EQ(read_line(31, line), 0);
      EXPECT_EQ(line, rtrim(lines[k - 2].substr(0, 120))) << k;
      ASSERT_EQ(read_line(31, line), 0);
    }
    if (k < lines.size()) {
      ASSERT_EQ(read_line(31, line), 0);
      EXPECT_EQ(line, rtrim(lines[k].substr(0, 120))) << k;
    }
    ASSERT_EQ(close_unit(31), 0);
  }
  EXPECT_GT(in_buffer, 100);
  EXPECT_GE(read_back, 3);
}

TEST_F(Backspace, TerminatorsOtherThanAPlainLineFeed) {
  const std::string f = path("t.txt");
  write_file(f, "a\r\nbb\r\n\nccc\r\nlast without line feed");
  ASSERT_EQ(open_file(32, f, "old"), 0);
  std::string line;
  for (int i = 0; i < 5; ++i) ASSERT_EQ(read_line(32, line), 0);
  EXPECT_EQ(line, "last without line feed");
  const char *back[] = {"last without line feed", "ccc", "", "bb"};
  for (const char *want : back) {
    ASSERT_EQ(forio::backspace(32, kProgram), 0);
    ASSERT_EQ(read_line(32, line), 0);
    EXPECT_EQ(line, want);
    ASSERT_EQ(forio::backspace(32, kProgram), 0);
  }
  ASSERT_EQ(close_unit(32), 0);
}

// The record just read is found again wherever it began, however long it
// is; only a walk further back over a record longer than the transfer size
// that is no longer in the buffer is error 23.
TEST_F(Backspace, LongRecordNoLongerInTheBuffer) {
  const std::string f = path("long.txt");
  write_file(f, "first\n" + std::string(20000, 'L') + "\nthird\n");
  ASSERT_EQ(open_file(33, f, "old"), 0);
  std::string line;
  ASSERT_EQ(read_line(33, line), 0);
  ASSERT_EQ(read_line(33, line), 0);
  ASSERT_EQ(forio::backspace(33, kErr), 0);
  ASSERT_EQ(read_line(33, line), 0);
  EXPECT_EQ(line.substr(0, 3), "LLL");
  ASSERT_EQ(read_line(33, line), 0);
  EXPECT_EQ(line, "third");
  ASSERT_EQ(forio::backspace(33, kErr), 0);
  EXPECT_EQ(forio::backspace(33, kErr), 23);  // over the long record: not in the buffer
  ASSERT_NE(lub_of(33), nullptr);
  EXPECT_TRUE(lub_of(33)->open);
  ASSERT_EQ(close_unit(33), 0);

  auto r = child([&] {
    UNITS_REQUIRE(open_file(33, f, "old") == 0);
    std::string l;
    UNITS_REQUIRE(read_line(33, l) == 0 && read_line(33, l) == 0 && read_line(33, l) == 0);
    UNITS_REQUIRE(forio::backspace(33, kProgram) == 0);
    return forio::backspace(33, kProgram);
  });
  EXPECT_EQ(r.status, 23);
  EXPECT_EQ(r.err, diag(23, "BACKSPACE error, unit 33, file " + f));
}

TEST_F(Backspace, WriteAfterBackspaceEndsTheFile) {
  const std::string f = path("w.txt");
  const auto lines = irregular_lines(200);
  // In the buffer, and begun before it.
  for (size_t k : {3u, 60u, 61u, 62u, 150u}) {
    write_file(f, join(lines));
    ASSERT_EQ(open_file(34, f, "old"), 0);
    std::string line;
    for (size_t i = 0; i < k; ++i) ASSERT_EQ(read_line(34, line), 0);
    ASSERT_EQ(forio::backspace(34, kProgram), 0);
    ASSERT_EQ(write_line(34, "replacement"), 0);
    ASSERT_EQ(close_unit(34), 0);
    std::vector<std::string> want(lines.begin(), lines.begin() + static_cast<long>(k - 1));
    want.push_back("replacement");
    EXPECT_EQ(read_file(f), join(want)) << k;
  }
}

TEST_F(Backspace, AfterWriting) {
  const std::string f = path("aw.txt");
  for (const char *buffered : {"no", "yes"}) {
    Keywords kw;
    kw.text(FOR_KW_FILE, f).text(FOR_KW_STATUS, "replace").text(FOR_KW_BUFFERED, buffered);
    ASSERT_EQ(open_kw(35, kProgram, kw), 0);
    for (const char *l : {"w1", "w2", "w3"}) ASSERT_EQ(write_line(35, l), 0);
    // The record just written is read back.
    ASSERT_EQ(forio::backspace(35, kProgram), 0) << buffered;
    std::string line;
    ASSERT_EQ(read_line(35, line), 0);
    EXPECT_EQ(line, "w3") << buffered;
    ASSERT_EQ(forio::backspace(35, kProgram), 0);
    ASSERT_EQ(forio::backspace(35, kProgram), 0);
    ASSERT_EQ(read_line(35, line), 0);
    EXPECT_EQ(line, "w2") << buffered;
    ASSERT_EQ(close_unit(35), 0);
    EXPECT_EQ(read_file(f), "w1\nw2\nw3\n");
  }

  // Read every record, write, step back: the new record, not the old bytes
  // still in the input buffer.
  write_file(f, "a\nb\n");
  ASSERT_EQ(open_file(35, f, "old"), 0);
  std::string line;
  ASSERT_EQ(read_line(35, line), 0);
  ASSERT_EQ(read_line(35, line), 0);
  ASSERT_EQ(write_line(35, "c"), 0);
  ASSERT_EQ(forio::backspace(35, kProgram), 0);
  ASSERT_EQ(read_line(35, line), 0);
  EXPECT_EQ(line, "c");
  ASSERT_EQ(forio::backspace(35, kProgram), 0);
  ASSERT_EQ(forio::backspace(35, kProgram), 0);
  ASSERT_EQ(read_line(35, line), 0);
  EXPECT_EQ(line, "b");
  ASSERT_EQ(close_unit(35), 0);
  EXPECT_EQ(read_file(f), "a\nb\nc\n");

  // The record before is empty: its terminator is the first byte read back.
  ASSERT_EQ(open_file(35, f, "replace"), 0);
  ASSERT_EQ(write_line(35, ""), 0);
  ASSERT_EQ(write_line(35, "w"), 0);
  ASSERT_EQ(forio::backspace(35, kProgram), 0);
  ASSERT_EQ(read_line(35, line), 0);
  EXPECT_EQ(line, "w");
  ASSERT_EQ(close_unit(35), 0);

  // Write, rewind by BACKSPACE, read: the first record.
  ASSERT_EQ(open_file(35, f, "replace"), 0);
  ASSERT_EQ(write_line(35, "only"), 0);
  ASSERT_EQ(forio::backspace(35, kProgram), 0);
  ASSERT_EQ(read_line(35, line), 0);
  EXPECT_EQ(line, "only");
  ASSERT_EQ(close_unit(35), 0);
}

}  // namespace
