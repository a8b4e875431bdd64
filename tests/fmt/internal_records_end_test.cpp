// An internal file has as many records as its variable holds: a READ or
// WRITE that goes past the last one ends there (end of file, or too many
// records), and nothing beyond the variable is read or written.
#include <cstring>
#include <string>

#include "fmt/for_statements.h"
#include "tests/fmt/compiled_format.h"

namespace {

constexpr uint64_t kEnd = FOR_OPTS_PROGRAM | FOR_OPT_END;
constexpr uint64_t kErr = FOR_OPTS_PROGRAM | FOR_OPT_ERR;

TEST(InternalRecords, ReadingPastTheLastRecordIsTheEndOfFile) {
  struct {
    const char *format;
    int32_t status;
  } cases[] = {{"(A)", -1}, {"(A,/,A)", -1}, {"(/,A)", -1}, {"(A,A)", 0}};
  for (const auto &c : cases) {
    compiled pack(c.format);
    // One record of three characters, with other characters after it.
    const char memory[] = "abcXYZ";
    char first[3], second[3];
    memset(first, '#', 3);
    memset(second, '#', 3);
    const int32_t r = forio::read_internal(memory, 3, kEnd, pack.pack,
                                           {forio::ref(first, 3), forio::ref(second, 3)});
    EXPECT_EQ(r, c.status) << c.format;
    if (r == 0) {
      EXPECT_EQ(std::string(second, 3), "   ") << c.format;
    }
  }
}

TEST(InternalRecords, WritingPastTheLastRecordIsRefused) {
  compiled pack("(A,/,A)");
  char memory[7];
  memcpy(memory, "......", 7);
  EXPECT_NE(forio::write_internal(memory, 3, kErr, pack.pack, {forio::chars("ab"), forio::chars("cd")}), 0);
  EXPECT_EQ(std::string(memory + 3, 3), "...");
}

}  // namespace
