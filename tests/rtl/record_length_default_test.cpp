// The record length a unit gets without RECL: 132 unless FORT_FMT_RECL sets
// one; set to 0 it is none, which leaves list-directed lines at their usual
// width even when FORT_FMT_NO_WRAP_MARGIN asks for lines as long as the
// record.
#include <algorithm>
#include <string>
#include <vector>

#include "rtl/for_state.h"
#include "tests/rtl/units_kit.h"

namespace {

using namespace units;

class RecordLengthDefault : public UnitsTest {};

// The longest line of a file.
size_t longest_line(const std::string &text) {
  size_t longest = 0, start = 0;
  for (size_t at; (at = text.find('\n', start)) != std::string::npos; start = at + 1)
    longest = std::max(longest, at - start);
  return longest;
}

TEST_F(RecordLengthDefault, ListDirectedLinesFollowTheRecordLengthOnlyWhenOneIsSet) {
  struct {
    const char *fmt_recl;  // null: unset
    int64_t recl;          // what the unit gets
    size_t longest;        // the longest line of 60 integers
  } cases[] = {{nullptr, 132, 132}, {"0", 0, 80}, {"40", 40, 40}, {"1000", 1000, 0}};
  const std::string f = path("lis.txt");
  for (const auto &c : cases) {
    testkit::RunOptions o;
    o.env["FORT_FMT_RECL"] = c.fmt_recl ? std::optional<std::string>(c.fmt_recl) : std::nullopt;
    o.env["FORT_FMT_NO_WRAP_MARGIN"] = "yes";
    auto r = child(
        [&] {
          for__rtl.blocksize = for__rtl.buffercount = for__rtl.fmt_recl = for__rtl.ufmt_recl = 0;
          for__default_io_sizes_env_init();
          UNITS_REQUIRE(open_file(81, f, "replace") == 0);
          UNITS_REQUIRE(lub_of(81)->recl == c.recl);
          std::vector<forio::Item> items;
          for (int32_t k = 1; k <= 60; ++k) items.push_back(forio::value(k * 1000));
          for_stmt_block block;
          block.word[0] = 0;
          const uint8_t next[] = {FOR_TYPE_INTEGER4, FOR_PASS_VALUE, FOR_DESC_NEXT, 0};
          const uint8_t end[] = {FOR_TYPE_INTEGER4, FOR_PASS_VALUE, FOR_DESC_END, 0};
          UNITS_REQUIRE(for_write_seq_lis(&block, 81, kProgram, next, items[0].slot) == 0);
          for (size_t k = 1; k < items.size(); ++k)
            UNITS_REQUIRE(for_write_seq_lis_xmit(&block, k + 1 == items.size() ? end : next, items[k].slot) == 0);
          return close_unit(81);
        },
        o);
    ASSERT_EQ(r.status, 0) << (c.fmt_recl ? c.fmt_recl : "unset") << r.out << r.err;
    const std::string text = testkit::read_file(f);
    const size_t want = c.longest ? c.longest : text.size() - 1;  // 0: all on one line
    EXPECT_LE(longest_line(text), want) << (c.fmt_recl ? c.fmt_recl : "unset");
    EXPECT_GT(longest_line(text), want - 13) << (c.fmt_recl ? c.fmt_recl : "unset");
  }
}

}  // namespace
