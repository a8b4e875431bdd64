// When a statement may take its unit straight from the table: not while
// another statement on the unit is unfinished (error 40), only inside the
// directly indexed range (a unit past it shares a slot with others), and
// the whole-record read only on units whose records end at a line feed.
#include <string>
#include <vector>

#include "tests/rtl/units_kit.h"

namespace {

using namespace units;
using testkit::read_file;
using testkit::write_file;

class UnitClaim : public UnitsTest {};

// The first item of a two-item statement: the start call returns with the
// statement unfinished and its unit held.
struct Unfinished {
  for_stmt_block block;
  char text[3] = {'o', 'n', 'e'};
  char var[8];
  float number = 0;
  std::vector<uint64_t> args;
  Unfinished() { block.word[0] = 0; }
};

const uint8_t kCharNext[] = {FOR_TYPE_CHARACTER, FOR_PASS_LENADDR, FOR_DESC_NEXT, 0};
const uint8_t kCharEnd[] = {FOR_TYPE_CHARACTER, FOR_PASS_LENADDR, FOR_DESC_END, 0};
const uint8_t kRealNext[] = {FOR_TYPE_REAL4, FOR_PASS_ADDRESS, FOR_DESC_NEXT, 0};
const uint8_t kRealEnd[] = {FOR_TYPE_REAL4, FOR_PASS_ADDRESS, FOR_DESC_END, 0};

enum class Kind { WriteFmt, ReadFmt, WriteLis, ReadLis };
const char *name_of(Kind k) {
  switch (k) {
    case Kind::WriteFmt: return "formatted WRITE";
    case Kind::ReadFmt: return "formatted READ";
    case Kind::WriteLis: return "list-directed WRITE";
    case Kind::ReadLis: return "list-directed READ";
  }
  return "?";
}

// The character slots of a write (the text) or a formatted read (the
// variable); a list-directed read takes a real.
struct Slots {
  uint64_t slot[2];
};
Slots slots_of(Kind k, Unfinished &u) {
  switch (k) {
    case Kind::WriteFmt: case Kind::WriteLis: return {{3, reinterpret_cast<uint64_t>(u.text)}};
    case Kind::ReadFmt: return {{sizeof u.var, reinterpret_cast<uint64_t>(u.var)}};
    case Kind::ReadLis: return {{reinterpret_cast<uint64_t>(&u.number), 0}};
  }
  return {};
}

int32_t start(Kind k, int32_t unit, Unfinished &u) {
  const Slots s = slots_of(k, u);
  switch (k) {
    case Kind::WriteFmt: return for_write_seq_fmt(&u.block, unit, kErr, kCharNext, s.slot, for_pack_A);
    case Kind::ReadFmt: return for_read_seq_fmt(&u.block, unit, kErr, kCharNext, s.slot, for_pack_A);
    case Kind::WriteLis: return for_write_seq_lis(&u.block, unit, kErr, kCharNext, s.slot);
    case Kind::ReadLis: return for_read_seq_lis(&u.block, unit, kErr, kRealNext, s.slot);
  }
  return -1;
}

int32_t finish(Kind k, Unfinished &u) {
  const Slots s = slots_of(k, u);
  switch (k) {
    case Kind::WriteFmt: return for_write_seq_fmt_xmit(&u.block, kCharEnd, s.slot);
    case Kind::ReadFmt: return for_read_seq_fmt_xmit(&u.block, kCharEnd, s.slot);
    case Kind::WriteLis: return for_write_seq_lis_xmit(&u.block, kCharEnd, s.slot);
    case Kind::ReadLis: return for_read_seq_lis_xmit(&u.block, kRealEnd, s.slot);
  }
  return -1;
}

// A whole second statement on the same unit, with an error return.
int32_t nested(Kind k, int32_t unit) {
  char var[8];
  float number;
  switch (k) {
    case Kind::WriteFmt: return forio::write_fmt(unit, kErr, for_pack_A, {forio::chars("nested")});
    case Kind::ReadFmt: return forio::read_fmt(unit, kErr, for_pack_A, {forio::ref(var, sizeof var)});
    case Kind::WriteLis: return forio::write_lis(unit, kErr, {forio::chars("nested")});
    case Kind::ReadLis: return forio::read_lis(unit, kErr, {forio::ref(&number)});
  }
  return -1;
}

// Every pairing of an unfinished statement and a second one on its unit, on
// units opened buffered and not (the whole-statement paths need a block
// buffer): the second is refused with 40, holds nothing afterwards, and the
// first still finishes as if nothing had happened.
TEST_F(UnitClaim, AStatementOnAHeldUnitIsError40) {
  const Kind kinds[] = {Kind::WriteFmt, Kind::ReadFmt, Kind::WriteLis, Kind::ReadLis};
  const std::string f = path("held.txt");
  for (const char *buffered : {"YES", "NO"}) {
    for (Kind first : kinds) {
      for (Kind second : kinds) {
        const std::string label = std::string(name_of(first)) + " then " + name_of(second) + ", BUFFERED=" + buffered;
        write_file(f, "1.5\n2.5\n3.5\n4.5\n");
        Keywords kw;
        kw.text(FOR_KW_FILE, f).text(FOR_KW_STATUS, "old").text(FOR_KW_BUFFERED, buffered);
        ASSERT_EQ(open_kw(40, kProgram, kw), 0) << label;
        // The unit's paths warmed up: a read and a write under (A) before.
        std::string line;
        if (first == Kind::ReadFmt || first == Kind::ReadLis) {
          ASSERT_EQ(read_line(40, line), 0);
        } else {
          ASSERT_EQ(write_line(40, "w0"), 0);
        }
        Unfinished u;
        ASSERT_EQ(start(first, 40, u), 0) << label;
        EXPECT_EQ(nested(second, 40), 40) << label;
        EXPECT_EQ(nested(second, 40), 40) << label << " (again)";
        EXPECT_EQ(forio::backspace(40, kErr), 40) << label;
        ASSERT_EQ(finish(first, u), 0) << label;
        // Released: the unit takes statements again.
        EXPECT_EQ(write_line(40, "after"), 0) << label;
        ASSERT_EQ(close_unit(40), 0) << label;
        const std::string got = read_file(f);
        switch (first) {
          case Kind::WriteFmt: EXPECT_EQ(got, "w0\none\none\nafter\n") << label; break;
          case Kind::WriteLis: EXPECT_EQ(got, "w0\n oneone\nafter\n") << label; break;
          case Kind::ReadFmt:
            EXPECT_EQ(std::string(u.var, 8), "3.5     ") << label;
            EXPECT_EQ(got, "1.5\n2.5\n3.5\nafter\n") << label;
            break;
          case Kind::ReadLis:
            EXPECT_EQ(u.number, 3.5f) << label;
            EXPECT_EQ(got, "1.5\n2.5\n3.5\nafter\n") << label;
            break;
        }
      }
    }
  }
}

// Units on both sides of the edge of the directly indexed range, and units
// whose hashed slot is the first one past it: each WRITE lands in its own
// unit's file, the first and every later one.
TEST_F(UnitClaim, EachUnitWritesItsOwnFileAcrossTheDirectRange) {
  // 515 and 1036 hash to the first slot after the direct range, 100 is the
  // first unit past it; -4 and 0 are its lowest ordinary units.
  const int32_t units[] = {515, 1036, 100, 99, 98, 101, 0, -4};
  for (const char *buffered : {"YES", "NO"}) {
    for (int32_t u : units) {
      Keywords kw;
      kw.text(FOR_KW_FILE, path("u" + std::to_string(u))).text(FOR_KW_STATUS, "replace").text(FOR_KW_BUFFERED,
                                                                                           buffered);
      ASSERT_EQ(open_kw(u, kProgram, kw), 0) << u;
    }
    for (int round = 0; round < 3; ++round)
      for (int32_t u : units) ASSERT_EQ(write_line(u, "unit " + std::to_string(u)), 0) << u;
    for (int32_t u : units) ASSERT_EQ(close_unit(u), 0) << u;
    for (int32_t u : units) {
      const std::string l = "unit " + std::to_string(u) + "\n";
      EXPECT_EQ(read_file(path("u" + std::to_string(u))), l + l + l) << "unit " << u << ", BUFFERED=" << buffered;
    }
  }
}

// Records under each record type, read with the program's (A) into a
// variable wider than any of them: a carriage-return record may hold a line
// feed, which the line-feed search of the whole read would cut at.
TEST_F(UnitClaim, RecordTypesDecideWhereTheWholeReadCuts) {
  struct {
    const char *type;
    std::string bytes;
    std::vector<std::string> records;
  } cases[] = {
      {"STREAM_CR", "ab\ncd\rEF\rx\n\r", {"ab\ncd", "EF", "x\n"}},
      {"STREAM_CR", "\n\n\r\r", {"\n\n", ""}},
      // Long enough for the whole read's search in groups of 16.
      {"STREAM_CR", "a\r0123456789\n0123456789abcdef\rz\r" + std::string(40, 'L') + "\n\r",
       {"a", "0123456789\n0123456789abcdef", "z", std::string(40, 'L') + "\n"}},
      {"STREAM_LF", "a\n0123456789\r0123456789abcdef\r\nz\n", {"a", "0123456789\r0123456789abcdef", "z"}},
      {"STREAM_LF", "ab\r\ncd\n\rq\n", {"ab", "cd", "\rq"}},
      {"STREAM_CRLF", "ab\r\ncd\nef\r\n", {"ab", "cd", "ef"}},
      {"STREAM", "a\rb\nc\r\n", {"a\rb", "c"}},
  };
  const std::string f = path("rt.txt");
  for (const auto &c : cases) {
    write_file(f, c.bytes);
    Keywords kw;
    kw.text(FOR_KW_FILE, f).text(FOR_KW_STATUS, "old").text(FOR_KW_RECORDTYPE, c.type);
    ASSERT_EQ(open_kw(41, kProgram, kw), 0) << c.type;
    // Twice through: once to meet the pack, once on the unit's own copy.
    for (const std::string &want : c.records) {
      std::string var;
      ASSERT_EQ(read_var(41, var, 100), 0) << c.type;
      EXPECT_EQ(rtrim(var), want) << c.type << " in " << testing::PrintToString(c.bytes);
    }
    std::string var;
    EXPECT_EQ(read_var(41, var, 100, kEnd), -1) << c.type << " in " << testing::PrintToString(c.bytes);
    ASSERT_EQ(close_unit(41), 0);
  }
}

}  // namespace
