// The whole-statement paths of READ and WRITE under (A) and (Aw): the short
// byte moves they are built from, checked at every length against the C
// library, and whole files of records of every length read into and written
// from variables of every awkward length, against the editing rules worked
// out here.
#include <cstring>
#include <string>
#include <vector>

#include "fmt/for_bytes.h"
#include "tests/fmt/compiled_format.h"
#include "tests/rtl/units_kit.h"

namespace {

using namespace units;

constexpr int kGuard = 40;

// A buffer with guard bytes on both sides, which no move may touch; shift
// moves its start off the allocation's alignment.
struct Guarded {
  std::vector<char> bytes;
  int64_t start;
  explicit Guarded(int64_t n, char fill, int64_t shift = 0)
      : bytes(static_cast<size_t>(n + 2 * kGuard + shift), fill), start(kGuard + shift) {
    memset(bytes.data(), '#', static_cast<size_t>(start));
    memset(bytes.data() + start + n, '#', kGuard);
  }
  char *data() { return bytes.data() + start; }
};

TEST(ShortMoves, EveryLengthAgainstTheLibrary) {
  std::string source(400, ' ');
  for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<char>('!' + i % 90);
  for (int64_t shift = 0; shift < 16; ++shift) {
    for (int64_t n = 0; n <= 300; ++n) {
      Guarded moved(n, '.', shift), expect(n, '.', shift);
      for__move_exact(moved.data(), source.data() + 3 + shift, n);
      memcpy(expect.data(), source.data() + 3 + shift, static_cast<size_t>(n));
      ASSERT_EQ(moved.bytes, expect.bytes) << "move of " << n << " at shift " << shift;
      for (int64_t from = 0; from <= n; from += (n > 40 ? 7 : 1)) {
        Guarded blanked(n, 'x', shift), reference(n, 'x', shift);
        for__blank_tail(blanked.data(), from, n);
        memset(reference.data() + from, ' ', static_cast<size_t>(n - from));
        ASSERT_EQ(blanked.bytes, reference.bytes) << "blanks from " << from << " of " << n << " at shift " << shift;
      }
    }
  }
}

TEST(ShortMoves, SearchCopiesOnlyWhatFitsAndFindsTheFirstLineFeed) {
  for (int64_t shift = 0; shift < 16; ++shift) {
    for (int64_t at = 0; at < 100; ++at) {
      // Two more line feeds 5 and 20 bytes on: a group may hold two.
      std::string storage(160, 'r');
      char *text = storage.data() + shift;
      text[at] = '\n';
      text[at + 5] = '\n';
      text[at + 20] = '\n';
      for (int64_t room : {0, 1, 15, 16, 17, 31, 32, 48, 64, 120}) {
        for (int64_t n : {at, at + 1, at + 15, at + 16, int64_t{140}}) {
          Guarded to(room, '.', shift);
          const int64_t found = for__find_lf_copying(text, n, to.data(), room);
          const int64_t whole = n / 16 * 16;
          ASSERT_EQ(found, at < whole ? at : -1) << "line feed at " << at << ", " << n << " bytes";
          // Each group searched before the result is copied if it fits.
          const int64_t searched = found >= 0 ? (found | 15) + 1 : whole;
          Guarded expect(room, '.', shift);
          const int64_t copied = std::min(searched, room / 16 * 16);
          memcpy(expect.data(), text, static_cast<size_t>(copied));
          ASSERT_EQ(to.bytes, expect.bytes) << "line feed at " << at << ", room " << room << ", shift " << shift;
        }
      }
    }
  }
}

// What READ of a record into a variable of n characters gives under (Aw)
// (w < 0: under (A)).
std::string edited_in(const std::string &record, int64_t n, int64_t w) {
  if (w < 0) w = n;
  std::string field = record.substr(0, static_cast<size_t>(std::min<int64_t>(w, record.size())));
  field.resize(static_cast<size_t>(w), ' ');
  if (n < w) return field.substr(static_cast<size_t>(w - n));
  field.resize(static_cast<size_t>(n), ' ');
  return field;
}

// What WRITE of a value under (Aw) puts in the record.
std::string edited_out(const std::string &value, int64_t w) {
  const int64_t n = static_cast<int64_t>(value.size());
  if (w < 0 || w == n) return value;
  if (w < n) return value.substr(0, static_cast<size_t>(w));
  return std::string(static_cast<size_t>(w - n), ' ') + value;
}

const int64_t kLengths[] = {1, 2, 3, 4, 7, 8, 9, 15, 16, 17, 31, 32, 33, 47, 48, 63, 64, 65, 100, 120, 129, 200, 300};

std::string record_text(size_t i) {
  std::string r;
  for (size_t k = 0; k < i % 260; ++k) r += static_cast<char>('a' + (i + k) % 26);
  if (i % 7 == 3) r += "  ";  // trailing blanks belong to the record
  return r;
}

// The packs of the statements: mostly the program's (A), every third (A7),
// and now and then an (A) compiled at run time, outside the read-only image.
struct Packs {
  struct Pack {
    const uint8_t *pack;
    int64_t width;  // -1: the item's length
  };
  compiled a7{"(A7)"}, a_heap{"(A)"};
  Pack for_statement(size_t i) const {
    if (i % 3 == 2) return {a7.pack, 7};
    if (i % 11 == 4) return {a_heap.pack, -1};
    return {for_pack_A, -1};
  }
};

class WholeStatements : public UnitsTest {};

TEST_F(WholeStatements, ReadsGiveTheEditedRecordForEveryVariableLength) {
  const Packs packs;
  // More than one input buffer of records, some ending in a carriage return,
  // the last one without its line feed.
  std::vector<std::string> records;
  std::string file;
  for (size_t i = 0; file.size() < 40000; ++i) {
    records.push_back(record_text(i));
    file += records.back() + (i % 5 == 1 ? "\r\n" : "\n");
  }
  records.push_back("unterminated");
  file += records.back();
  testkit::write_file(path("in.txt"), file);
  ASSERT_EQ(open_file(31, path("in.txt"), "old"), 0);
  for (size_t i = 0; i < records.size(); ++i) {
    const Packs::Pack p = packs.for_statement(i);
    const int64_t n = kLengths[i % std::size(kLengths)];
    std::string var(static_cast<size_t>(n), '#');
    ASSERT_EQ(forio::read_fmt(31, kProgram, p.pack, {forio::ref(var.data(), n)}), 0) << "record " << i;
    ASSERT_EQ(var, edited_in(records[i], n, p.width)) << "record " << i << ", variable of " << n;
  }
  ASSERT_EQ(close_unit(31), 0);
}

TEST_F(WholeStatements, WritesGiveTheEditedValueForEveryLength) {
  const Packs packs;
  for (const char *buffered : {"YES", "NO"}) {
    ASSERT_EQ(open_file(32, path("out.txt"), "replace"), 0);
    ASSERT_EQ(close_unit(32), 0);
    ASSERT_EQ(forio::open(32, kProgram, path("out.txt").data(), static_cast<int64_t>(path("out.txt").size()), "old",
                          3, buffered),
              0);
    std::string expect;
    for (size_t i = 0; i < 3000; ++i) {
      const Packs::Pack p = packs.for_statement(i);
      std::string value = record_text(i * 13);
      value.resize(static_cast<size_t>(kLengths[i % std::size(kLengths)]), '-');
      ASSERT_EQ(forio::write_fmt(32, kProgram, p.pack,
                                 {forio::chars(value.data(), static_cast<int64_t>(value.size()))}),
                0);
      expect += edited_out(value, p.width) + "\n";
    }
    ASSERT_EQ(close_unit(32), 0);
    EXPECT_EQ(testkit::read_file(path("out.txt")), expect) << "BUFFERED=" << buffered;
  }
}

}  // namespace
