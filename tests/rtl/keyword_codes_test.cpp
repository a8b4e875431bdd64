// The keyword codes an OPEN list may hold: 2 to 86 (NEWUNIT the last);
// anything outside is a bad argument and the unit stays closed.
#include <string>

#include "rtl/for_msg.h"
#include "tests/rtl/units_kit.h"

namespace {

using namespace units;

class KeywordCodes : public UnitsTest {};

TEST_F(KeywordCodes, OnlyTheKnownRangeIsAccepted) {
  struct {
    uint8_t code;
    bool accepted;
  } cases[] = {{FOR_KW_NEWUNIT, true}, {FOR_KW_ENCODING, true}, {87, false}, {200, false}, {1, false}, {0, false}};
  for (const auto &c : cases) {
    Keywords kw;
    kw.text(FOR_KW_FILE, path("k.txt")).text(FOR_KW_STATUS, "replace").number(c.code, 0);
    const int32_t r = open_kw(63, kErr, kw);
    if (c.accepted) {
      EXPECT_EQ(r, 0) << int{c.code};
      EXPECT_EQ(close_unit(63), 0);
    } else {
      EXPECT_EQ(r, FOR_E_BAD_ARGUMENT) << int{c.code};
      EXPECT_TRUE(lub_of(63) == nullptr || !lub_of(63)->open) << int{c.code};
    }
  }
}

}  // namespace
