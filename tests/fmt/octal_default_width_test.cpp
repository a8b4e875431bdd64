// O without a width takes the default field of the item's length: room for
// every octal digit of the value, however many it has.
#include <string>

#include "fmt/for_statements.h"
#include "tests/fmt/compiled_format.h"

namespace {

TEST(OctalOutput, ODefaultFieldHoldsEveryDigit) {
  struct {
    int32_t value;
    std::string field;  // the default field of a four-byte item: 11 characters
  } cases[] = {
      {0, "          0"},         {8, "         10"},         {2097151, "    7777777"},
      {2097152, "   10000000"},   {-1, "37777777777"},        {INT32_MIN, "20000000000"},
  };
  compiled pack("(O)");
  for (const auto &c : cases) {
    char text[16];
    ASSERT_EQ(forio::write_internal(text, sizeof text, FOR_OPTS_PROGRAM, pack.pack, {forio::value(c.value)}), 0)
        << c.value;
    EXPECT_EQ(std::string(text, sizeof text), c.field + "     ") << c.value;
  }
}

}  // namespace
