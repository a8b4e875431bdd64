// How a formatted statement ends once its list is exhausted: straight away
// when the format end comes next, otherwise only after the trailing
// literals and positioning up to a `:` or the format end; over several item
// calls; with a repeat count left over; on internal files; and for READ.
#include <cstring>
#include <string>

#include "tests/fmt/compiled_format.h"
#include "tests/rtl/units_kit.h"

namespace {

using namespace units;
using testkit::read_file;
using testkit::write_file;

class StatementEnd : public UnitsTest {};

// WRITE (unit, format) with the given character items, one item call each.
int32_t write_items(int32_t unit, const uint8_t *pack, std::initializer_list<forio::Item> items) {
  return forio::write_fmt(unit, kProgram, pack, items);
}

TEST_F(StatementEnd, TrailingItemsAreStillPerformedAfterTheLastItem) {
  const std::string f = path("out.txt");
  ASSERT_EQ(open_file(30, f, "unknown"), 0);
  compiled literal("(A,' end')"), colon("(A,:,' more')"), moved("(A,3X,'|')"), slash("(A,/)"),
      three("(3A)"), two_records("(A)");
  EXPECT_EQ(write_items(30, literal.pack, {forio::chars("one")}), 0);
  EXPECT_EQ(write_items(30, colon.pack, {forio::chars("two")}), 0);
  EXPECT_EQ(write_items(30, colon.pack, {forio::chars("a"), forio::chars("b")}), 0);
  EXPECT_EQ(write_items(30, moved.pack, {forio::chars("x")}), 0);
  EXPECT_EQ(write_items(30, slash.pack, {forio::chars("s")}), 0);
  // A repeat count left over, and a list that runs through the format end.
  EXPECT_EQ(write_items(30, three.pack, {forio::chars("p"), forio::chars("q")}), 0);
  EXPECT_EQ(write_items(30, two_records.pack, {forio::chars("r1"), forio::chars("r2")}), 0);
  EXPECT_EQ(write_items(30, for_pack_rcfilename, {forio::chars("name")}), 0);
  ASSERT_EQ(close_unit(30), 0);
  EXPECT_EQ(read_file(f),
            "one end\n"
            "two\n"
            "a more\n"
            "b\n"
            "x   |\n"
            "s\n"
            "\n"
            "pq\n"
            "r1\n"
            "r2\n"
            " RCfilename = name\n");
}

TEST_F(StatementEnd, ListEndingInALaterItemCall) {
  const std::string f = path("calls.txt");
  ASSERT_EQ(open_file(31, f, "unknown"), 0);
  // One item per call: the first calls end with the next-call entry.
  const float row[3] = {1.5f, -2.25f, 12.5f};
  EXPECT_EQ(forio::write_fmt(31, kProgram, for_pack_3F10_4,
                             {forio::value(row[0]), forio::value(row[1]), forio::value(row[2])}),
            0);
  EXPECT_EQ(forio::write_fmt(31, kProgram, for_pack_3F10_4, {forio::value(row[0])}), 0);
  ASSERT_EQ(close_unit(31), 0);
  EXPECT_EQ(read_file(f), "    1.5000   -2.2500   12.5000\n    1.5000\n");
}

TEST_F(StatementEnd, InternalWritesAndReads) {
  char cfile[12];
  EXPECT_EQ(forio::write_internal(cfile, sizeof cfile, kProgram, for_pack_I3, {forio::value(int32_t{42})}), 0);
  EXPECT_EQ(std::string(cfile, sizeof cfile), " 42         ");
  compiled trailing("(I2,' items')");
  EXPECT_EQ(forio::write_internal(cfile, sizeof cfile, kProgram, trailing.pack, {forio::value(int32_t{7})}), 0);
  EXPECT_EQ(std::string(cfile, sizeof cfile), " 7 items    ");
  float v = 0;
  const char text[12] = {'5', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  EXPECT_EQ(forio::read_internal(text, sizeof text, kProgram, for_pack_F12_4, {forio::ref(&v)}), 0);
  EXPECT_FLOAT_EQ(v, 0.0005f);
}

TEST_F(StatementEnd, ReadsPassOverTheRestOfTheRecord) {
  const std::string f = path("in.txt");
  write_file(f, "first line\nsecond\n" + std::string(130, 'z') + "\nlast\n");
  ASSERT_EQ(open_file(32, f, "old"), 0);
  std::string line;
  ASSERT_EQ(read_var(32, line, 5), 0);
  EXPECT_EQ(line, "first");
  ASSERT_EQ(read_line(32, line), 0);
  EXPECT_EQ(line, "second");
  ASSERT_EQ(read_line(32, line), 0);
  EXPECT_EQ(line, std::string(120, 'z'));
  ASSERT_EQ(read_line(32, line, kEnd), 0);
  EXPECT_EQ(line, "last");
  EXPECT_EQ(read_line(32, line, kEnd), -1);
  ASSERT_EQ(close_unit(32), 0);
}

}  // namespace
