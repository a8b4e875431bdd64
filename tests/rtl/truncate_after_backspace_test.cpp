// A WRITE after BACKSPACE ends the file after the record it writes, on
// every path a WRITE can take: block-buffered units whose block buffer
// already exists (the whole-statement path), unbuffered ones, after records
// written or read, back to the first record or not.
#include <string>
#include <vector>

#include "tests/rtl/units_kit.h"

namespace {

using namespace units;
using testkit::read_file;
using testkit::write_file;

class TruncateAfterBackspace : public UnitsTest {};

std::string numbered(int i) { return "record " + std::to_string(i) + std::string(static_cast<size_t>(i % 4), '.'); }

TEST_F(TruncateAfterBackspace, TheFileEndsAfterTheRecordWritten) {
  struct {
    int existing;    // records already in the file
    int read;        // records read after OPEN
    int written;     // then records written
    int backspaces;  // then BACKSPACE statements
  } cases[] = {
      {0, 0, 1, 1}, {0, 0, 2, 1}, {0, 0, 3, 1}, {0, 0, 3, 2}, {0, 0, 3, 3}, {0, 0, 5, 5},
      {4, 2, 0, 1}, {4, 2, 0, 2}, {4, 1, 0, 1}, {4, 4, 0, 3}, {4, 2, 1, 1}, {4, 2, 2, 3},
  };
  const std::string f = path("t.txt");
  for (const char *buffered : {"YES", "NO"}) {
    for (const auto &c : cases) {
      std::vector<std::string> model;
      std::string bytes;
      for (int i = 0; i < c.existing; ++i) {
        model.push_back("old " + numbered(i));
        bytes += model.back() + "\n";
      }
      write_file(f, bytes);
      Keywords kw;
      kw.text(FOR_KW_FILE, f).text(FOR_KW_STATUS, "old").text(FOR_KW_BUFFERED, buffered);
      ASSERT_EQ(open_kw(60, kProgram, kw), 0);
      size_t at = 0;  // records before the position
      std::string line;
      for (int i = 0; i < c.read; ++i, ++at) ASSERT_EQ(read_line(60, line), 0);
      for (int i = 0; i < c.written; ++i, ++at) {
        ASSERT_EQ(write_line(60, numbered(i)), 0);
        model.resize(at);
        model.push_back(numbered(i));
      }
      for (int i = 0; i < c.backspaces; ++i, --at) ASSERT_EQ(forio::backspace(60, kProgram), 0);
      // The record after the new one must be gone, however long it was.
      ASSERT_EQ(write_line(60, "x"), 0);
      ASSERT_EQ(write_line(60, "y"), 0);
      model.resize(at);
      model.push_back("x");
      model.push_back("y");
      ASSERT_EQ(close_unit(60), 0);
      std::string want;
      for (const auto &m : model) want += m + "\n";
      EXPECT_EQ(read_file(f), want) << "existing " << c.existing << ", read " << c.read << ", written " << c.written
                                    << ", backspaces " << c.backspaces << ", BUFFERED=" << buffered;
    }
  }
}

}  // namespace

namespace {

// A first record of no bytes at all (no carriage control, empty value)
// still ends the file where it stands: at its start.
TEST_F(TruncateAfterBackspace, ARecordOfNoBytesStillEndsTheFile) {
  struct {
    const char *buffered;
    std::string value;
    std::string left;
  } cases[] = {{"NO", "", ""}, {"YES", "", ""}, {"NO", "ab", "ab"}, {"YES", "ab", "ab"}};
  const std::string f = path("n.txt");
  for (const auto &c : cases) {
    write_file(f, "an older and longer file\n");
    Keywords kw;
    kw.text(FOR_KW_FILE, f).text(FOR_KW_STATUS, "old").text(FOR_KW_BUFFERED, c.buffered).text(
        FOR_KW_CARRIAGECONTROL, "NONE");
    ASSERT_EQ(open_kw(61, kProgram, kw), 0);
    ASSERT_EQ(write_line(61, c.value), 0);
    ASSERT_EQ(close_unit(61), 0);
    EXPECT_EQ(read_file(f), c.left) << "\"" << c.value << "\", BUFFERED=" << c.buffered;
  }
}

}  // namespace
