// A slash ends as many records as its repeat count says; a slash item with
// no count (0 in the pack, as a pack built by hand may have it) ends one.
#include <cstring>
#include <string>

#include "tests/rtl/units_kit.h"

namespace {

using namespace units;

class SlashRepeat : public UnitsTest {};

TEST_F(SlashRepeat, ASlashEndsItsCountOfRecordsAndOneWithoutACount) {
  struct {
    uint8_t repeat;
    std::string written;  // "ab" under (A, r/)
  } cases[] = {{0, "ab\n\n"}, {1, "ab\n\n"}, {2, "ab\n\n\n"}, {3, "ab\n\n\n\n"}};
  for (const auto &c : cases) {
    // (A, r/) in the 12-byte item form of the format compiler.
    const uint8_t pack[] = {
        1,  0, 0, 0, 0,        0, 0, 0, 0, 0, 0, 0,  // start
        19, 0, 0, 0, 1,        0, 0, 0, 0, 0, 0, 0,  // A
        18, 0, 0, 0, c.repeat, 0, 0, 0, 0, 0, 0, 0,  // r/
        2,  0, 0, 0, 0,        0, 0, 0, 0, 0, 0, 0,  // end
    };
    const std::string f = path("s.txt");
    ASSERT_EQ(open_file(62, f, "replace"), 0);
    for (int k = 0; k < 2; ++k)
      ASSERT_EQ(forio::write_fmt(62, kProgram, pack, {forio::chars("ab")}), 0) << int{c.repeat};
    ASSERT_EQ(close_unit(62), 0);
    EXPECT_EQ(testkit::read_file(f), c.written + c.written) << "repeat " << int{c.repeat};
  }
}

}  // namespace
