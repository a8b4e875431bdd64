// A block-buffered unit without a threshold keeps records in its block
// buffer: a record that does not fit what is left sends the buffer out and
// starts it again, it is not written through on its own.  FORT_BUFFERED
// does not reach the standard streams.
#include <string>

#include "tests/rtl/units_kit.h"

namespace {

using namespace units;

class BlockBufferCalls : public UnitsTest {};

int writes = 0;
ssize_t counting_write(int fd, const void *buf, size_t n) {
  ++writes;
  return for__sys_default.write(fd, buf, n);
}

TEST_F(BlockBufferCalls, RecordsThatDoNotFitRefillTheBuffer) {
  SysGuard guard;
  const std::string f = path("b.txt");
  Keywords kw;
  kw.text(FOR_KW_FILE, f).text(FOR_KW_STATUS, "replace").text(FOR_KW_BUFFERED, "YES");
  ASSERT_EQ(open_kw(64, kProgram, kw), 0);
  const int64_t block = lub_of(64)->blocksize * lub_of(64)->buffercount;
  ASSERT_GT(block, 1000);
  // Records of a third of the block and a little more: every third one does
  // not fit.
  const std::string record(static_cast<size_t>(block / 3 + 7), 'r');
  std::string expect;
  for__sys.write = counting_write;
  for (int k = 0; k < 30; ++k) {
    ASSERT_EQ(write_line(64, record), 0);
    expect += record + "\n";
  }
  ASSERT_EQ(close_unit(64), 0);
  for__sys.write = for__sys_default.write;
  EXPECT_EQ(testkit::read_file(f), expect);
  // Two records per block: about 15 block writes, not one per record.
  EXPECT_LE(writes, 17);
}

// Each record on standard output or standard error is out before the next
// statement, FORT_BUFFERED or not: a process that ends without its run-down
// loses none of them.
TEST_F(BlockBufferCalls, StandardStreamsStayUnbufferedUnderFortBuffered) {
  for (int32_t unit : {6, -1, 0}) {
    testkit::RunOptions options;
    options.env["FORT_BUFFERED"] = "yes";
    static int32_t which;
    which = unit;
    const testkit::Outcome o = child([] {
      UNITS_REQUIRE(write_line(which, "kept") == 0);
      _exit(0);
    }, options);
    EXPECT_EQ(o.status, 0) << unit;
    EXPECT_EQ(unit == 0 ? o.err : o.out, "kept\n") << unit;
  }
}

}  // namespace
