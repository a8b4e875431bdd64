// L input, which the program never uses: the first letter after blanks and
// an optional period decides (anything else is error 64).

#include "fmt/for_statements.h"
#include "tests/fmt/compiled_format.h"

namespace {

constexpr uint64_t kProgram = FOR_OPTS_PROGRAM;
constexpr uint64_t kErr = FOR_OPTS_PROGRAM | FOR_OPT_ERR;

TEST(LogicalInput, TheFirstLetterAfterBlanksAndAPeriod) {
  struct {
    const char *field;
    int32_t status;
    int32_t value;  // stored (true is all ones); untouched on error
  } cases[] = {
      {"  T", 0, -1}, {"  F", 0, 0},   {".t ", 0, -1}, {" .f", 0, 0},  {"Fxx", 0, 0},  {"TRU", 0, -1},
      {"  X", 64, 7}, {"   ", 64, 7},  {"..T", 64, 7}, {" 1 ", 64, 7}, {"f  ", 0, 0},  {"tF ", 0, -1},
  };
  compiled pack("(L3)");
  for (const auto &c : cases) {
    int32_t v = 7;
    const forio::Item item{FOR_TYPE_LOGICAL4, FOR_PASS_ADDRESS, 1, {forio::address_slot(&v), 0, 0}};
    EXPECT_EQ(forio::read_internal(c.field, 3, kErr, pack.pack, {item}), c.status) << '"' << c.field << '"';
    EXPECT_EQ(v, c.value) << '"' << c.field << '"';
  }
}

}  // namespace
