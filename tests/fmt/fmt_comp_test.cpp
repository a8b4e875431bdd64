// The run-time format compiler: the codes it assigns, its literals and
// layouts, its refusals, and the equivalence of its output with the
// program's constant packs under the interpreter.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fmt/for_fmt.h"
#include "fmt/for_fmt_diag.h"
#include "rtl/for_rtl.h"

namespace {

struct item {
  uint8_t code, flags, e, d;
  uint64_t r, w;
  std::string text;  // literal
  bool operator==(const item &) const = default;
};

uint64_t load(const uint8_t *p, int n) {
  uint64_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

// Compiles text; the items of the pack, or an empty list with *status set.
std::vector<item> compile(const std::string &text, int *status = nullptr) {
  uint8_t *pack = reinterpret_cast<uint8_t *>(1);
  int s = for__format_compiler(text.data(), (int64_t)text.size(), &pack, 0);
  if (status) *status = s;
  std::vector<item> items;
  if (s != 0) {
    EXPECT_EQ(pack, nullptr);
    return items;
  }
  for (const uint8_t *p = pack;;) {
    item it{p[0], p[1], p[2], p[3], 0, 0, {}};
    if (p[0] == FD_LITERAL) {
      const size_t n = load(p + 2, 2);
      it.e = it.d = 0;
      it.w = n;
      it.text.assign(reinterpret_cast<const char *>(p + 4), n);
      for (size_t k = n; k % 4; ++k) EXPECT_EQ(p[4 + k], 0);  // padding
      p += 4 + ((n + 3) & ~size_t{3});
    } else if (p[1] & 0x10) {
      it.r = load(p + 8, 8);
      it.w = load(p + 16, 8);
      EXPECT_EQ(load(p + 4, 4), 0u);
      p += 24;
    } else {
      it.r = load(p + 4, 4);
      it.w = load(p + 8, 4);
      p += 12;
    }
    items.push_back(it);
    if (it.code == FD_END) break;
  }
  for__format_free(pack);
  return items;
}

// The single item of "(text)".
item only(const std::string &descriptor) {
  std::vector<item> items = compile("(" + descriptor + ")");
  EXPECT_EQ(items.size(), 3u) << descriptor;
  if (items.size() != 3) return {};
  EXPECT_EQ(items[0], (item{FD_START, 0, 0, 0, 0, 0, {}}));
  EXPECT_EQ(items[2], (item{FD_END, 0, 0, 0, 0, 0, {}}));
  return items[1];
}

TEST(FormatCompiler, CodeAssignments) {
  struct row {
    const char *text;
    item expected;
  } rows[] = {
      {"F", {22, 0, 0, 0, 1, 0, {}}},          {"F10.4", {33, 0, 0, 4, 1, 10, {}}},
      {"3F10.4", {33, 0, 0, 4, 3, 10, {}}},    {"E", {21, 0, 0, 0, 1, 0, {}}},
      {"E10.4", {31, 0, 0, 4, 1, 10, {}}},     {"E10.4E2", {32, 0, 2, 4, 1, 10, {}}},
      {"G", {23, 0, 0, 0, 1, 0, {}}},          {"G12.5", {34, 0, 0, 5, 1, 12, {}}},
      {"G12.5E3", {35, 0, 3, 5, 1, 12, {}}},   {"EN", {46, 0, 0, 0, 1, 0, {}}},
      {"EN9.2", {47, 0, 0, 2, 1, 9, {}}},      {"EN9.2E1", {48, 0, 1, 2, 1, 9, {}}},
      {"ES", {49, 0, 0, 0, 1, 0, {}}},         {"2ES9.2", {50, 0, 0, 2, 2, 9, {}}},
      {"ES9.2E4", {51, 0, 4, 2, 1, 9, {}}},    {"D20.10", {30, 0, 0, 10, 1, 20, {}}},
      {"I", {24, 0, 0, 0, 1, 0, {}}},          {"I5", {37, 0, 0, 1, 1, 5, {}}},
      {"I5.3", {37, 0, 0, 3, 1, 5, {}}},       {"O7", {40, 0, 0, 1, 1, 7, {}}},
      {"Z4.4", {42, 0, 0, 4, 1, 4, {}}},       {"B8", {45, 0, 0, 1, 1, 8, {}}},
      {"B", {43, 0, 0, 0, 1, 0, {}}},          {"A", {19, 0, 0, 0, 1, 0, {}}},
      {"A12", {29, 0, 0, 0, 1, 12, {}}},       {"L", {25, 0, 0, 0, 1, 0, {}}},
      {"4L2", {38, 0, 0, 0, 4, 2, {}}},        {"3X", {11, 0, 0, 0, 3, 0, {}}},
      {"T5", {12, 0, 0, 0, 1, 5, {}}},         {"TL2", {13, 0, 0, 0, 1, 2, {}}},
      {"TR3", {14, 0, 0, 0, 1, 3, {}}},        {"2P", {10, 0, 0, 0, 1, 2, {}}},
      {"-2P", {10, 0, 0, 0, 1, 0xFE, {}}},     {"+0P", {10, 0, 0, 0, 1, 0, {}}},
      {"/", {18, 0, 0, 0, 1, 0, {}}},          {"3/", {18, 0, 0, 0, 3, 0, {}}},
      {":", {17, 0, 0, 0, 0, 0, {}}},          {"$", {16, 0, 0, 0, 0, 0, {}}},
      {"\\", {16, 0, 0, 0, 0, 0, {}}},         {"Q", {15, 0, 0, 0, 0, 0, {}}},
      {"BN", {5, 0, 0, 0, 0, 0, {}}},          {"BZ", {6, 0, 0, 0, 0, 0, {}}},
      {"SP", {7, 0, 0, 0, 0, 0, {}}},          {"SS", {8, 0, 0, 0, 0, 0, {}}},
      {"S", {9, 0, 0, 0, 0, 0, {}}},           {"RU", {108, 0, 0, 0, 0, 0, {}}},
      {"RP", {113, 0, 0, 0, 0, 0, {}}},        {"DC", {114, 0, 0, 0, 0, 0, {}}},
      {"dp", {115, 0, 0, 0, 0, 0, {}}},        {"f8.3", {33, 0, 0, 3, 1, 8, {}}},
  };
  for (const row &r : rows) EXPECT_EQ(only(r.text), r.expected) << r.text;

  // Groups: repeat count in r, then the group end.
  EXPECT_EQ(compile("(2(I1))"),
            (std::vector<item>{{FD_START, 0, 0, 0, 0, 0, {}}, {FD_GROUP, 0, 0, 0, 2, 0, {}},
                               {37, 0, 0, 1, 1, 1, {}}, {FD_GROUP_END, 0, 0, 0, 0, 0, {}},
                               {FD_END, 0, 0, 0, 0, 0, {}}}));
  EXPECT_EQ(compile("()"), (std::vector<item>{{FD_START, 0, 0, 0, 0, 0, {}},
                                              {FD_END, 0, 0, 0, 0, 0, {}}}));
}

TEST(FormatCompiler, LiteralsLayoutsAndCaps) {
  EXPECT_EQ(only("'it''s'").text, "it's");
  EXPECT_EQ(only("\"say \"\"hi\"\"\"").text, "say \"hi\"");
  EXPECT_EQ(only("'a\"b'").text, "a\"b");
  EXPECT_EQ(only("5H(,'x)").text, "(,'x)");
  EXPECT_EQ(only("''"), (item{FD_LITERAL, 0, 0, 0, 0, 0, {}}));
  EXPECT_EQ(only("' RCfilename = '").w, 14u);

  // r or w beyond 32 bits: the 24-byte layout; e and d capped at 255.
  EXPECT_EQ(only("5000000000X"), (item{11, 0x10, 0, 0, 5000000000ull, 0, {}}));
  EXPECT_EQ(only("A4294967296"), (item{29, 0x10, 0, 0, 1, 4294967296ull, {}}));
  EXPECT_EQ(only("A4294967295"), (item{29, 0, 0, 0, 1, 4294967295ull, {}}));
  EXPECT_EQ(only("E10.300E999"), (item{32, 0, 255, 255, 1, 10, {}}));
  EXPECT_EQ(only("E10.256E256"), (item{32, 0, 255, 255, 1, 10, {}}));
  EXPECT_EQ(only("E10.255E254"), (item{32, 0, 254, 255, 1, 10, {}}));
  EXPECT_EQ(only("18446744073709551615X").r, UINT64_MAX);
}

TEST(FormatCompiler, SyntaxRules) {
  // Commas may be left out around '/' and ':' and after kP; blanks between
  // items are ignored.
  EXPECT_EQ(compile("(I1/I2)").size(), 5u);
  EXPECT_EQ(compile("(I1//I2:I3)").size(), 8u);
  EXPECT_EQ(compile("(1PE12.4)").size(), 4u);
  EXPECT_EQ(compile("  ( I1 , 2( A3 , 1X ) , 'x' )  ").size(), 8u);
  EXPECT_EQ(compile("(2(I1)/)").size(), 6u);
  // Eight levels counting the outer pair, not nine.
  EXPECT_EQ(compile("(((((((( I1 ))))))))").size(), 17u);

  const char *bad[] = {
      "",           "I5",          "(I5",         "(I5))",       "(I5,)",
      "(,I5)",      "(I5,,I6)",    "(I5 I6)",     "(2(I1)I2)",   "(F10)",
      "(F10.4E2)",  "(E10)",       "(A5.2)",      "(L2.1)",      "(I5.2E1)",
      "(0X)",       "(X)",         "(T0)",        "(T)",         "(TL)",
      "(0I5)",      "(0(I5))",     "(2())",       "('abc)",      "(4H12)",
      "(0H)",       "(128P)",      "(-129P)",     "(P)",         "(-3I5)",
      "(DT)",       "(K5)",        "(RX)",        "(3BN)",       "(2'a')",
      "(2:)",       "(I5)x",       "(F.4)",       "(F10.)",      "(I 5)",
      "(I99999999999999999999)",   "((((((((( I1 )))))))))",      "(<n>I5)",
  };
  for (const char *text : bad) {
    int status = 0;
    compile(text, &status);
    EXPECT_EQ(status, 62) << text;
  }
  uint8_t *pack = nullptr;
  EXPECT_EQ(for__format_compiler(nullptr, 0, &pack, 0), 62);
  EXPECT_EQ(for__format_compiler("(I1)", -1, &pack, 0), 62);
  EXPECT_EQ(for__format_compiler("(I1)", 4, nullptr, 0), 48);
  // Only `length` characters count.
  EXPECT_EQ(for__format_compiler("(I1)junk", 4, &pack, 0), 0);
  for__format_free(pack);
}

TEST(FormatCompiler, PackSizeLimit) {
  int status;
  EXPECT_EQ(compile("('" + std::string(65000, 'x') + "')", &status).size(), 3u);
  EXPECT_EQ(status, 0);
  compile("('" + std::string(65520, 'x') + "')", &status);
  EXPECT_EQ(status, 62);
  std::string many = "(";
  for (int i = 0; i < 6000; ++i) many += "I1,";
  many += "I1)";
  compile(many, &status);
  EXPECT_EQ(status, 62);
}

std::vector<std::pair<int, std::string>> g_reports;
void record_report(int32_t message, const char *text, int64_t value) {
  g_reports.emplace_back(message, std::string(text, (size_t)value));
}

TEST(FormatCompiler, SyntaxReport) {
  g_reports.clear();
  for__fmt_diag = record_report;
  uint8_t *pack = nullptr;
  const char text[] = "(I5,F10,A)";
  EXPECT_EQ(for__format_compiler(text, (int64_t)strlen(text), &pack, 1), 62);
  EXPECT_EQ(for__format_compiler(text, (int64_t)strlen(text), &pack, 0), 62);
  const char fine[] = "(I5)";
  EXPECT_EQ(for__format_compiler(fine, 4, &pack, 1), 0);
  for__format_free(pack);
  for__fmt_diag = nullptr;
  ASSERT_EQ(g_reports.size(), 1u);
  EXPECT_EQ(g_reports[0].first, 58);
  EXPECT_EQ(g_reports[0].second, ",A)");
}

// What the interpreter hands out, step by step, over `calls` calls, with the
// record position after each call.  Iw.m with m = 1 is shown as Iw: the
// compiler gives every I a default m of 1, the program's packs use Iw, and
// the interpreter reports one digit for both.
std::vector<std::string> steps(const uint8_t *pack, int calls) {
  char buf[200];
  for_recpos rp;
  rp.buf = buf;
  rp.size = sizeof buf;
  for_fmt_cursor c;
  for__fmt_reset(&c, pack, &rp);
  std::vector<std::string> out;
  for (int i = 0; i < calls; ++i) {
    int s = for__interp_fmt_cursor(&c);
    const int desc = c.desc == FD_IM && c.digits == 1 ? (int)FD_I : (int)c.desc;
    std::string step = std::to_string(s) + ":" + std::to_string(desc) + " r" +
                       std::to_string(c.repeat) + " w" + std::to_string(c.width) + " d" +
                       std::to_string(c.digits) + " e" + std::to_string(c.exp_digits) + " @" +
                       std::to_string(rp.pos);
    if (c.desc == FD_LITERAL) step += " '" + std::string(c.literal, (size_t)c.width) + "'";
    out.push_back(step);
    if (s != 0) break;
    if (c.desc != FD_END) rp.pos += c.width * (int64_t)(c.repeat ? c.repeat : 1);
  }
  return out;
}

TEST(FormatCompiler, ProgramFormatsMatchTheirPacks) {
  struct row {
    const char *text;
    const uint8_t *pack;
  } rows[] = {
      {"(A)", for_pack_A},
      {"(3F10.4)", for_pack_3F10_4},
      {"(3F10.4,3X,3F10.4)", for_pack_3F10_4_3X},
      {"(3F10.4,TR3,3F10.4)", for_pack_3F10_4_3X},
      {"(I1)", for_pack_I1},
      {"(I2)", for_pack_I2},
      {"(I3)", for_pack_I3},
      {"(F12.4)", for_pack_F12_4},
      {"(' RCfilename = ',A)", for_pack_rcfilename},
      {"(I6)", for_pack_I6},
  };
  for (const row &r : rows) {
    uint8_t *pack = nullptr;
    ASSERT_EQ(for__format_compiler(r.text, (int64_t)strlen(r.text), &pack, 0), 0) << r.text;
    EXPECT_EQ(steps(pack, 7), steps(r.pack, 7)) << r.text;
    for__format_free(pack);
  }
}

}  // namespace
