// Whether a statement may trust what it knows of a format pack: a pack in
// writable static data may be rewritten in place, so neither its plan nor a
// unit's note of it as (A) may outlive its bytes; and only (A) and (Aw) of
// one item are edited as a plain field by the whole-statement paths.
#include <cstring>
#include <string>
#include <vector>

#include "fmt/for_fmt_plan.h"
#include "tests/fmt/compiled_format.h"
#include "tests/rtl/units_kit.h"

namespace {

using namespace units;
using testkit::read_file;
using testkit::write_file;

// Packs in the test program's writable data: one zero-filled, one with an
// initial value (so in .bss and in .data).
uint8_t bss_pack[fmt_plan::kMaxBytes];
uint8_t data_pack[fmt_plan::kMaxBytes] = {1};

class PlanValidity : public UnitsTest {};

// The bytes of a compiled flat pack, format end included, found by walking
// its items.
std::vector<uint8_t> bytes_of(const char *text) {
  compiled c(text);
  const uint8_t *p = c.pack;
  fmt_step s{};
  do {
    if (for__fmt_decode(nullptr, p, &s) != 0) {
      ADD_FAILURE() << text;
      return {};
    }
    p = s.next;
  } while (s.desc != FD_END);
  return std::vector<uint8_t>(static_cast<const uint8_t *>(c.pack), p);
}

// The same static address holds one pack after another, each used by a
// WRITE to a unit (buffered and not, so through the whole-statement paths
// and the step-by-step ones) and by an internal WRITE: every statement is
// edited under the bytes the pack holds at that moment.
TEST_F(PlanValidity, AStaticPackRewrittenInPlaceIsNeverTrustedStale) {
  struct Step {
    const char *format;
    std::string edited;  // "ab" under it
  };
  const Step sequence[] = {
      {"(A)", "ab"}, {"(A3)", " ab"}, {"(A)", "ab"},        {"(A1)", "a"},       {"(A)", "ab"},
      {"(A)", "ab"}, {"(A4)", "  ab"}, {"(1X,A)", " ab"},  {"(A)", "ab"},
  };
  for (uint8_t *pack : {bss_pack, data_pack}) {
    for (const char *buffered : {"YES", "NO"}) {
      const std::string f = path("w.txt");
      Keywords kw;
      kw.text(FOR_KW_FILE, f).text(FOR_KW_STATUS, "replace").text(FOR_KW_BUFFERED, buffered);
      ASSERT_EQ(open_kw(50, kProgram, kw), 0);
      std::string expect;
      for (const Step &s : sequence) {
        const std::vector<uint8_t> b = bytes_of(s.format);
        memcpy(pack, b.data(), b.size());
        // Twice: once to meet the pack, once with what was kept of it.
        for (int twice = 0; twice < 2; ++twice) {
          ASSERT_EQ(forio::write_fmt(50, kProgram, pack, {forio::chars("ab")}), 0) << s.format;
          expect += s.edited + "\n";
          char text[6];
          ASSERT_EQ(forio::write_internal(text, sizeof text, kProgram, pack, {forio::chars("ab")}), 0);
          EXPECT_EQ(rtrim(std::string(text, sizeof text)), s.edited) << s.format << " internal";
        }
      }
      ASSERT_EQ(close_unit(50), 0);
      EXPECT_EQ(read_file(f), expect) << "BUFFERED=" << buffered << (pack == bss_pack ? ", zero-filled" : ", initialised");
    }
  }
  // The same for READ: the record under each pack in turn.
  std::string records, expect;
  for (int i = 0; i < 18; ++i) records += "r" + std::to_string(i) + "xyz\n";
  write_file(path("r.txt"), records);
  ASSERT_EQ(open_file(51, path("r.txt"), "old"), 0);
  int i = 0;
  for (const Step &s : sequence) {
    const std::vector<uint8_t> b = bytes_of(s.format);
    memcpy(data_pack, b.data(), b.size());
    for (int twice = 0; twice < 2; ++twice, ++i) {
      char var[5];
      ASSERT_EQ(forio::read_fmt(51, kProgram, data_pack, {forio::ref(var, sizeof var)}), 0) << s.format;
      const std::string rec = "r" + std::to_string(i) + "xyz";
      std::string want;
      const std::string f = s.format;
      if (f == "(A)") want = rec.substr(0, 5);
      else if (f == "(1X,A)") want = rec.substr(1, 5);
      else {
        const size_t w = static_cast<size_t>(f[2] - '0');
        want = rec.substr(0, w);
      }
      want.resize(5, ' ');
      EXPECT_EQ(std::string(var, 5), want) << s.format << " on " << rec;
    }
  }
  ASSERT_EQ(close_unit(51), 0);
}

// One character item under packs that begin like (A): only (A) and (Aw)
// itself may be edited as a plain field; a literal, a slash or a position
// after it (or before it) must still act.
TEST_F(PlanValidity, OnlyAPlainAIsEditedAsAField) {
  struct {
    const char *format;
    std::string written;  // "ab" under it, records with their line feeds
  } writes[] = {
      {"(A)", "ab\n"},       {"(A3)", " ab\n"},          {"(A,'xyz')", "abxyz\n"}, {"(A,/)", "ab\n\n"},
      {"('>',A)", ">ab\n"},  {"(1X,A)", " ab\n"},        {"(A,'<',/)", "ab<\n\n"}, {"(2A)", "ab\n"},
      {"(A,A)", "ab\n"},     {"(A3,'|')", " ab|\n"},     {"(A,:,'x')", "ab\n"},
  };
  for (const char *buffered : {"YES", "NO"}) {
    for (const auto &c : writes) {
      compiled pack(c.format);
      const std::string f = path("w.txt");
      Keywords kw;
      kw.text(FOR_KW_FILE, f).text(FOR_KW_STATUS, "replace").text(FOR_KW_BUFFERED, buffered);
      ASSERT_EQ(open_kw(52, kProgram, kw), 0);
      ASSERT_EQ(write_line(52, "first"), 0);  // the block buffer exists
      for (int k = 0; k < 3; ++k) ASSERT_EQ(forio::write_fmt(52, kProgram, pack.pack, {forio::chars("ab")}), 0);
      ASSERT_EQ(close_unit(52), 0);
      EXPECT_EQ(read_file(f), "first\n" + c.written + c.written + c.written) << c.format << ", BUFFERED=" << buffered;
    }
  }
  // READ of five characters, then the next record under (A).
  struct {
    const char *format;
    std::string var, next;
  } reads[] = {
      {"(A)", "one  ", "two"},  {"(A2)", "on   ", "two"}, {"(A,/)", "one  ", "three"}, {"(/,A)", "two  ", "three"},
      {"(1X,A)", "ne   ", "two"}, {"(T3,A)", "e    ", "two"}, {"(A,//)", "one  ", "four"}, {"(2A)", "one  ", "two"},
  };
  write_file(path("r.txt"), "one\ntwo\nthree\nfour\n");
  for (const auto &c : reads) {
    compiled pack(c.format);
    ASSERT_EQ(open_file(53, path("r.txt"), "old"), 0);
    char var[5];
    ASSERT_EQ(forio::read_fmt(53, kProgram, pack.pack, {forio::ref(var, sizeof var)}), 0) << c.format;
    EXPECT_EQ(std::string(var, 5), c.var) << c.format;
    std::string line;
    ASSERT_EQ(read_line(53, line), 0) << c.format;
    EXPECT_EQ(line, c.next) << c.format;
    ASSERT_EQ(close_unit(53), 0);
  }
}

}  // namespace
