// Plans stand for the bytes of their pack: a pack rewritten in place at the
// same address is decoded again, so a statement never runs on a stale plan.
#include <cstring>
#include <string>

#include "fmt/for_fmt_plan.h"
#include "fmt/for_statements.h"
#include "tests/fmt/compiled_format.h"

namespace {

constexpr uint64_t kProgram = FOR_OPTS_PROGRAM;

std::string write_with(const uint8_t *pack, forio::Item item) {
  char text[8];
  EXPECT_EQ(forio::write_internal(text, sizeof text, kProgram, pack, {item}), 0);
  return std::string(text, sizeof text);
}

TEST(FormatPlans, APackRewrittenInPlaceIsPlannedAgain) {
  compiled a("(A8)"), i("(I8)"), f("(F8.2)");
  // The three compile to packs of one size: each can take another's place.
  std::vector<uint8_t> pack(a.pack, a.pack + 36);
  ASSERT_EQ(memcmp(a.pack + 36 - 12, i.pack + 36 - 12, 12), 0);  // both end there
  EXPECT_EQ(write_with(pack.data(), forio::chars("abc")), "     abc");
  ASSERT_NE(for__fmt_plan(pack.data()), nullptr);
  memcpy(pack.data(), i.pack, 36);
  EXPECT_EQ(write_with(pack.data(), forio::value(int32_t{42})), "      42");
  memcpy(pack.data(), f.pack, 36);
  EXPECT_EQ(write_with(pack.data(), forio::value(2.5f)), "    2.50");
  // A pack in writable memory is compared byte for byte on every use; the
  // program's own packs lie in its read-only image and are not.
  EXPECT_FALSE(for__fmt_plan(pack.data())->constant);
  EXPECT_TRUE(for__fmt_plan(for_pack_A)->constant);
}

}  // namespace
