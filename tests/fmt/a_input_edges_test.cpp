// A input where the record runs out: the field is the record's characters
// padded with blanks to w, and a variable shorter than w takes the field's
// last characters.  Nothing beyond the record's end (its terminator, the
// next record, the bytes after an internal record) may leak in.
#include <string>
#include <vector>

#include "tests/fmt/compiled_format.h"
#include "tests/rtl/units_kit.h"

namespace {

using namespace units;
using testkit::write_file;

class AInputEdges : public UnitsTest {};

struct Row {
  const char *format;
  std::string record;
  int64_t n;           // the variable's length
  std::string expect;  // what it receives
};

// Worked out by hand: (A8) into 3 takes columns 6 to 8 of the field.
const Row kRows[] = {
    {"(A8)", "", 3, "   "},
    {"(A8)", "abcd", 3, "   "},
    {"(A8)", "abcde", 3, "   "},
    {"(A8)", "abcdef", 3, "f  "},
    {"(A8)", "abcdefg", 3, "fg "},
    {"(A8)", "abcdefgh", 3, "fgh"},
    {"(A8)", "abcdefghij", 3, "fgh"},
    {"(A8)", "abcdefg", 7, "bcdefg "},
    {"(A8)", "abcdefg", 1, " "},
    {"(A8)", "abcdefgh", 1, "h"},
    {"(A2)", "a", 1, " "},
    {"(A2)", "ab", 1, "b"},
    {"(A1)", "", 1, " "},
    // w at or below the variable: the field, then blanks.
    {"(A8)", "abcde", 8, "abcde   "},
    {"(A8)", "abcde", 10, "abcde     "},
    {"(A3)", "abcde", 5, "abc  "},
    {"(A)", "abc", 5, "abc  "},
    {"(A)", "abcdefgh", 5, "abcde"},
};

std::string label(const Row &r) {
  return std::string(r.format) + " of \"" + r.record + "\" into " + std::to_string(r.n);
}

// Every row as a record of a file, with each terminator after it and a
// record after that, through the whole READ (line-feed records) and the
// step-by-step one (carriage-return records).
TEST_F(AInputEdges, ShortVariableAndRecordEndingInsideTheField) {
  struct {
    const char *type;
    const char *terminator;
  } ends[] = {{"STREAM_LF", "\n"}, {"STREAM_LF", "\r\n"}, {"STREAM_CR", "\r"}, {"STREAM_CRLF", "\r\n"}};
  for (const auto &e : ends) {
    std::string bytes;
    for (const Row &r : kRows) bytes += r.record + e.terminator + "zzzzzzzzzz" + e.terminator;
    write_file(path("a.txt"), bytes);
    Keywords kw;
    kw.text(FOR_KW_FILE, path("a.txt")).text(FOR_KW_STATUS, "old").text(FOR_KW_RECORDTYPE, e.type);
    ASSERT_EQ(open_kw(70, kProgram, kw), 0);
    for (const Row &r : kRows) {
      compiled pack(r.format);
      std::string var(static_cast<size_t>(r.n), '#');
      ASSERT_EQ(forio::read_fmt(70, kProgram, pack.pack, {forio::ref(var.data(), r.n)}), 0) << label(r);
      EXPECT_EQ(var, r.expect) << label(r) << ", " << e.type << " " << testing::PrintToString(e.terminator);
      std::string next;
      ASSERT_EQ(read_line(70, next), 0);
      EXPECT_EQ(next, "zzzzzzzzzz") << label(r);
    }
    ASSERT_EQ(close_unit(70), 0);
  }
}

// The same rows as internal records, with other characters right after the
// record in memory.
TEST_F(AInputEdges, InternalRecordsEndAtTheirLength) {
  for (const Row &r : kRows) {
    compiled pack(r.format);
    const std::string memory = r.record + "QQQQQQQQQQQQ";
    std::string var(static_cast<size_t>(r.n), '#');
    ASSERT_EQ(forio::read_internal(memory.data(), static_cast<int64_t>(r.record.size()), kProgram, pack.pack,
                                   {forio::ref(var.data(), r.n)}),
              0)
        << label(r);
    EXPECT_EQ(var, r.expect) << label(r) << ", internal";
  }
}

}  // namespace
