// The format interpreter driven the way the transfer statements drive it:
// repeat counts, literals, record marks, format end and reversion, trailing
// items, and the control items it performs itself.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fmt/for_fmt.h"
#include "fmt/for_fmt_diag.h"
#include "fmt/for_record.h"
#include "rtl/for_lub.h"
#include "rtl/for_rtl.h"
#include "rtl/for_stmt.h"
#include "tests/fmt/compiled_format.h"

namespace {

// A pack assembled item by item.
struct builder {
  std::vector<uint8_t> b;
  builder &u8(uint8_t v) { b.push_back(v); return *this; }
  builder &u16(uint16_t v) { return u8((uint8_t)v).u8((uint8_t)(v >> 8)); }
  builder &u32(uint32_t v) { return u16((uint16_t)v).u16((uint16_t)(v >> 16)); }
  builder &u64(uint64_t v) { return u32((uint32_t)v).u32((uint32_t)(v >> 32)); }
  builder &compact(uint8_t code, uint8_t b1 = 0, uint16_t v = 0) { return u8(code).u8(b1).u16(v); }
  builder &full(uint8_t code, uint32_t r, uint32_t w, uint8_t d = 0, uint8_t e = 0,
                uint8_t flags = 0) {
    return u8(code).u8(flags).u8(e).u8(d).u32(r).u32(w);
  }
  builder &wide(uint8_t code, uint64_t r, uint64_t w, uint8_t d = 0, uint8_t e = 0,
                uint8_t flags = 0) {
    return u8(code).u8(flags | 0x10).u8(e).u8(d).u32(0).u64(r).u64(w);
  }
  builder &ref(uint16_t index, uint8_t kind, uint8_t type) { return u16(index).u8(kind).u8(type); }
  builder &start() { return compact(54); }
  builder &end() { return compact(55); }
  const uint8_t *data() const { return b.data(); }
};

// Mnemonic of the descriptor just returned, with the operands its class uses.
std::string mnemonic(const for_fmt_cursor &c) {
  static const char *const kNames[52] = {
      "?", "(", ")", "g", ")", "BN", "BZ", "SP", "SS", "S", "P", "X", "T", "TL", "TR", "Q",
      "$", ":", "/", "A", "D", "E", "F", "G", "I", "L", "O", "Z", "'", "A", "D", "E",
      "E", "F", "G", "G", "I", "I", "L", "O", "O", "Z", "Z", "B", "B", "B", "EN", "EN",
      "EN", "ES", "ES", "ES"};
  std::string s = c.desc < 52 ? kNames[c.desc] : "R";
  const int layout = fmt_cat[c.desc].layout;
  if (layout >= 3) s += std::to_string(c.width);
  if (layout >= 4) s += "." + std::to_string(c.digits);
  if (layout >= 5) s += "E" + std::to_string(c.exp_digits);
  return s;
}

// A formatted output statement over `items` items, following the callers'
// contract: a descriptor with two or more repeats left is reused, literals
// are written, '/' and the format end with items left end the record
// (shown as " /" and " |"), and after the last item the trailing literals
// and record marks are performed up to a data descriptor, ':' or the format
// end.  The trace lists the edited descriptors; "!n" ends it on an error.
std::string drive(const uint8_t *pack, int items, for_recpos *rec = nullptr) {
  for_fmt_cursor c;
  for__fmt_reset(&c, pack, rec);
  std::string trace;
  bool have = false;  // the last descriptor returned is a data descriptor
  auto next = [&](bool trailing) -> int {
    for (;;) {
      if (have && c.repeat >= 2) {
        if (trailing) return 0;
        c.repeat--;
        c.width = c.saved_width;
        return 1;
      }
      int s = for__interp_fmt_cursor(&c);
      if (s != 0) {
        trace += " !" + std::to_string(s);
        return -1;
      }
      have = fmt_is_data_desc(c.desc);
      if (have) return trailing ? 0 : 1;
      switch (c.desc) {
        case FD_LITERAL:
          trace += " '" + std::string(c.literal, (size_t)c.width) + "'";
          if (rec) rec->pos += c.width;
          break;
        case FD_SLASH:
          for (uint64_t k = 0; k < (c.repeat ? c.repeat : 1); ++k) trace += " /";
          break;
        case FD_END:
          if (trailing) return 0;
          if (!c.data_seen) {
            trace += " !105";
            return -1;
          }
          trace += " |";
          break;
        case FD_COLON:
          if (trailing) return 0;
          break;
        default:
          break;
      }
    }
  };
  for (int i = 0; i < items; ++i) {
    if (next(false) < 0) return trace.substr(trace.empty() ? 0 : 1);
    trace += " " + mnemonic(c);
    if (rec) rec->pos += c.width;
  }
  next(true);
  return trace.substr(trace.empty() ? 0 : 1);
}

// Records the format layer's own diagnostics instead of issuing them.
std::vector<int> g_diagnostics;
void record_diagnostic(int32_t message, const char *, int64_t) { g_diagnostics.push_back(message); }
struct diagnostic_sink {
  diagnostic_sink() {
    g_diagnostics.clear();
    for__fmt_diag = record_diagnostic;
  }
  ~diagnostic_sink() { for__fmt_diag = nullptr; }
};

int first_status(const uint8_t *pack, int calls = 8) {
  for_fmt_cursor c;
  for__fmt_reset(&c, pack, nullptr);
  for (int i = 0; i < calls; ++i) {
    int s = for__interp_fmt_cursor(&c);
    if (s != 0) return s;
  }
  return 0;
}

TEST(FormatInterpreter, ProgramFormatsOverTheirItems) {
  EXPECT_EQ(drive(for_pack_A, 3), "A | A | A");
  EXPECT_EQ(drive(for_pack_3F10_4, 4), "F10.4 F10.4 F10.4 | F10.4");
  EXPECT_EQ(drive(for_pack_3F10_4_3X, 6), "F10.4 F10.4 F10.4 F10.4 F10.4 F10.4");
  EXPECT_EQ(drive(for_pack_rcfilename, 1), "' RCfilename = ' A");
  EXPECT_EQ(drive(for_pack_rcfilename, 2), "' RCfilename = ' A | ' RCfilename = ' A");
  EXPECT_EQ(drive(for_pack_I3, 1), "I3");
  EXPECT_EQ(drive(for_pack_F12_4, 1), "F12.4");

  // The second record begins at the group, which runs both passes again.
  compiled nested("(I2,2(I3,I4))");
  EXPECT_EQ(drive(nested.pack, 9), "I2.1 I3.1 I4.1 I3.1 I4.1 | I3.1 I4.1 I3.1 I4.1");
}

TEST(FormatInterpreter, ReversionGoesToTheLastOuterGroup) {
  compiled last("(I1,2(I2),3(I3,I4))");
  EXPECT_EQ(drive(last.pack, 12), "I1.1 I2.1 I2.1 I3.1 I4.1 I3.1 I4.1 I3.1 I4.1 | I3.1 I4.1 I3.1");
  // An inner group is not a reversion point; its level-1 group is.
  compiled inner("(I1,2(I2,2(I3)))");
  EXPECT_EQ(drive(inner.pack, 9), "I1.1 I2.1 I3.1 I3.1 I2.1 I3.1 I3.1 | I2.1 I3.1");
  // Repeat counts of a returned descriptor are consumed by the caller.
  compiled repeated("(2I5,3(2A3))");
  EXPECT_EQ(drive(repeated.pack, 9), "I5.1 I5.1 A3 A3 A3 A3 A3 A3 | A3");
}

TEST(FormatInterpreter, LiteralsRecordMarksAndTrailingItems) {
  compiled text("('a',I1,'b',/,2/,'c')");
  EXPECT_EQ(drive(text.pack, 1), "'a' I1.1 'b' / / / 'c'");
  compiled colon("(I1,:,' more')");
  EXPECT_EQ(drive(colon.pack, 1), "I1.1");
  EXPECT_EQ(drive(colon.pack, 2), "I1.1 ' more' | I1.1");
  compiled quoted("('it''s',3Habc)");
  EXPECT_EQ(drive(quoted.pack, 0), "'it's' 'abc'");
  // A literal does not count as a data descriptor: reverting into a group
  // without one stops the statement.
  compiled no_data("(I1,2('x'))");
  EXPECT_EQ(drive(no_data.pack, 2), "I1.1 'x' 'x' !105");
}

TEST(FormatInterpreter, EmptyFormatAndDataSeen) {
  compiled empty("()");
  for_fmt_cursor c;
  for__fmt_reset(&c, empty.pack, nullptr);
  ASSERT_EQ(for__interp_fmt_cursor(&c), 0);
  EXPECT_EQ(c.desc, FD_END);
  EXPECT_TRUE(c.empty_format);
  EXPECT_FALSE(c.data_seen);
  EXPECT_EQ(drive(empty.pack, 1), "!105");

  for__fmt_reset(&c, for_pack_A, nullptr);
  ASSERT_EQ(for__interp_fmt_cursor(&c), 0);
  EXPECT_FALSE(c.empty_format);
  EXPECT_TRUE(c.data_seen);
  ASSERT_EQ(for__interp_fmt_cursor(&c), 0);
  EXPECT_EQ(c.desc, FD_END);
  EXPECT_TRUE(c.data_seen);
  ASSERT_EQ(for__interp_fmt_cursor(&c), 0);  // format start again
  EXPECT_EQ(c.desc, FD_A0);

  // A group start clears data seen.
  compiled group("(I1,2(BN),'x')");
  for__fmt_reset(&c, group.pack, nullptr);
  ASSERT_EQ(for__interp_fmt_cursor(&c), 0);
  EXPECT_TRUE(c.data_seen);
  ASSERT_EQ(for__interp_fmt_cursor(&c), 0);
  EXPECT_EQ(c.desc, FD_LITERAL);
  EXPECT_FALSE(c.data_seen);
}

TEST(FormatInterpreter, ModesAndScaleFactor) {
  compiled modes("(BZ,SP,RU,DC,I1,BN,SS,RD,DP,I1,S,RP,I1,3P,F5.1,-128P,F5.1,0P,F5.1)");
  for_fmt_cursor c;
  for__fmt_reset(&c, modes.pack, nullptr);
  c.rounding = 3;  // bits 0-1 belong to someone else
  struct expect {
    uint8_t modes, rounding, decimal;
    int scale;
  } rows[] = {
      {FMT_MODE_BZ | FMT_MODE_SP, 3 | FMT_ROUND_RU, FMT_DECIMAL_DC, 0},
      {FMT_MODE_BN | FMT_MODE_SS, 3 | FMT_ROUND_RD, FMT_DECIMAL_DP, 0},
      {FMT_MODE_BN | FMT_MODE_S, 3 | FMT_ROUND_RP, FMT_DECIMAL_DP, 0},
      {FMT_MODE_BN | FMT_MODE_S, 3 | FMT_ROUND_RP, FMT_DECIMAL_DP, 3},
      {FMT_MODE_BN | FMT_MODE_S, 3 | FMT_ROUND_RP, FMT_DECIMAL_DP, -128},
      {FMT_MODE_BN | FMT_MODE_S, 3 | FMT_ROUND_RP, FMT_DECIMAL_DP, 0},
  };
  for (const expect &e : rows) {
    ASSERT_EQ(for__interp_fmt_cursor(&c), 0);
    EXPECT_EQ(c.modes, e.modes);
    EXPECT_EQ(c.rounding, e.rounding);
    EXPECT_EQ(c.decimal, e.decimal);
    EXPECT_EQ(c.scale, e.scale);
  }

  // P takes the low 8 bits of w as signed, in either form.
  builder b;
  b.start().compact(63, 0, 0x01FE).full(33, 1, 5, 1).full(10, 1, 0x17F).full(33, 1, 5, 1).end();
  for__fmt_reset(&c, b.data(), nullptr);
  ASSERT_EQ(for__interp_fmt_cursor(&c), 0);
  EXPECT_EQ(c.scale, -2);
  ASSERT_EQ(for__interp_fmt_cursor(&c), 0);
  EXPECT_EQ(c.scale, 127);

  // Statement start: no modes, scale 0, level 0.
  for__fmt_reset(&c, modes.pack, nullptr);
  EXPECT_EQ(c.modes | c.rounding | c.decimal, 0);
  EXPECT_EQ(c.scale, 0);
  EXPECT_EQ(c.level, 0);
  EXPECT_EQ(c.base, modes.pack);
}

TEST(FormatInterpreter, DigitsAndDecodedOperands) {
  // I, L, O, Z and B forms without m report one digit; Lw and Iw.m keep theirs.
  builder b;
  b.start().compact(77, 0, 1).compact(86, 2, 7).full(36, 1, 4).compact(88, 1, 3)
      .compact(87, 1, 0x0305).compact(93, 0, 1).full(44, 1, 9).full(42, 1, 6, 4)
      .full(32, 2, 12, 5, 3).compact(97, 1, 0x030A).end();
  for_fmt_cursor c;
  for__fmt_reset(&c, b.data(), nullptr);
  struct expect {
    uint8_t desc;
    uint64_t repeat;
    int64_t width;
    uint16_t digits, exp;
  } rows[] = {{FD_I0, 1, 0, 1, 0},  {FD_I, 2, 7, 1, 0},  {FD_I, 1, 4, 1, 0},   {FD_L, 1, 3, 0, 0},
              {FD_IM, 1, 5, 3, 0},  {FD_B0, 1, 0, 1, 0}, {FD_B, 1, 9, 1, 0},   {FD_ZM, 1, 6, 4, 0},
              {FD_EE, 2, 12, 5, 3}, {FD_EN, 1, 10, 3, 0}};
  for (const expect &e : rows) {
    ASSERT_EQ(for__interp_fmt_cursor(&c), 0);
    EXPECT_EQ(c.desc, e.desc);
    EXPECT_EQ(c.repeat, e.repeat);
    EXPECT_EQ(c.width, e.width);
    EXPECT_EQ(c.saved_width, e.width);
    EXPECT_EQ(c.digits, e.digits);
    EXPECT_EQ(c.exp_digits, e.exp);
  }

  // The 24-byte form carries 64-bit r and w.
  builder w;
  w.start().wide(29, 5000000000ull, 6000000000ull).end();
  for__fmt_reset(&c, w.data(), nullptr);
  ASSERT_EQ(for__interp_fmt_cursor(&c), 0);
  EXPECT_EQ(c.desc, FD_A);
  EXPECT_EQ(c.repeat, 5000000000ull);
  EXPECT_EQ(c.width, 6000000000ll);
  ASSERT_EQ(for__interp_fmt_cursor(&c), 0);
  EXPECT_EQ(c.desc, FD_END);

  // Fields beyond the class are not operands.
  builder x;
  x.start().full(24, 3, 99, 9, 9).end();
  for__fmt_reset(&c, x.data(), nullptr);
  ASSERT_EQ(for__interp_fmt_cursor(&c), 0);
  EXPECT_EQ(c.width, 0);
  EXPECT_EQ(c.exp_digits, 0);
}

// Output record of 20 columns starting at column `start` of a blank buffer.
struct out_record {
  char buf[40];
  for_recpos rp;
  explicit out_record(int64_t start = 0, int64_t size = 20) {
    memset(buf, ' ', sizeof buf);
    rp.buf = buf;
    rp.size = size;
    rp.start = rp.pos = start;
  }
};

// Positions at which each data descriptor is met, the caller advancing by
// its width.
std::vector<int64_t> positions(const char *format, for_recpos *rp, int items, int *status) {
  compiled f(format);
  for_fmt_cursor c;
  for__fmt_reset(&c, f.pack, rp);
  std::vector<int64_t> at;
  *status = 0;
  for (int i = 0; i < items; ++i) {
    if ((*status = for__interp_fmt_cursor(&c)) != 0) break;
    if (!fmt_is_data_desc(c.desc)) break;
    at.push_back(rp->pos);
    if (!rp->bounded || rp->pos + c.width <= rp->end) rp->pos += c.width;
  }
  return at;
}

TEST(FormatInterpreter, PositioningOnOutput) {
  int status;
  out_record r;
  EXPECT_EQ(positions("(I1,5X,I1,T3,I1,TL10,I1,TR2,I1,T20,I1)", &r.rp, 6, &status),
            (std::vector<int64_t>{0, 6, 2, 0, 3, 19}));
  EXPECT_EQ(status, 0);
  // T counts from the record start; TL stops there.
  out_record s(4, 30);
  EXPECT_EQ(positions("(T3,I1,TL9,I1,T1,I2)", &s.rp, 3, &status), (std::vector<int64_t>{6, 4, 4}));
  // Moves in a repeated group are repeated.
  out_record g;
  EXPECT_EQ(positions("(3(1X),I1)", &g.rp, 1, &status), (std::vector<int64_t>{3}));
  // The 3X of the program's six-value row is stored as TR3.
  for_fmt_cursor c;
  char wide[80];
  for_recpos rp;
  rp.buf = wide;
  rp.size = sizeof wide;
  for__fmt_reset(&c, for_pack_3F10_4_3X, &rp);
  ASSERT_EQ(for__interp_fmt_cursor(&c), 0);
  rp.pos = 30;
  ASSERT_EQ(for__interp_fmt_cursor(&c), 0);
  EXPECT_EQ(rp.pos, 33);
}

TEST(FormatInterpreter, BoundedPositioningOnReads) {
  // A 5-column record read with bounded positioning.
  out_record r(0, 5);
  r.rp.end = 5;
  r.rp.bounded = true;
  compiled f("(T3,A1,TR10,A1,TL4,A1,TL6,A1,T8,A1,TR1,A1,T2,A1,TL9,A1)");
  for_fmt_cursor c;
  for__fmt_reset(&c, f.pack, &r.rp);
  struct expect {
    int64_t pos, pending;
  } rows[] = {{2, 0}, {5, 8}, {5, 4}, {3, 0}, {5, 2}, {5, 3}, {1, 0}, {0, 0}};
  for (const expect &e : rows) {
    ASSERT_EQ(for__interp_fmt_cursor(&c), 0);
    ASSERT_EQ(c.desc, FD_A);
    EXPECT_EQ(r.rp.pos, e.pos);
    EXPECT_EQ(r.rp.pending, e.pending);
    if (r.rp.pos < r.rp.end) r.rp.pos++;  // the field read
  }
  // Moves far past the end saturate the pending count instead of wrapping.
  builder b;
  b.start().wide(11, UINT64_MAX, 0).wide(14, 0, (uint64_t)INT64_MAX).compact(81, 1, 1).end();
  out_record big(0, 5);
  big.rp.end = 5;
  big.rp.bounded = true;
  EXPECT_EQ(first_status(b.data(), 1), 0);
  for__fmt_reset(&c, b.data(), &big.rp);
  ASSERT_EQ(for__interp_fmt_cursor(&c), 0);
  EXPECT_EQ(big.rp.pos, 5);
  EXPECT_EQ(big.rp.pending, INT64_MAX);
}

TEST(FormatInterpreter, RightMovesGrowTheRecordBuffer) {
  // A unit's record buffer grows by max(n, 512) when a move passes its end.
  for_lub lub{};
  lub.recl = 132;
  ASSERT_EQ(for__begin_record(&lub), 0);
  for_recpos &rp = lub.rp;
  const int64_t initial = rp.size;
  ASSERT_GE(initial, 133);
  int status;
  EXPECT_EQ(positions("(I1,130X,I1,10X,I1)", &rp, 3, &status),
            (std::vector<int64_t>{0, 131, 142}));
  EXPECT_EQ(status, 0);
  EXPECT_GE(rp.size, initial + 512);
  EXPECT_EQ(rp.buf[initial + 100], ' ');  // columns skipped stay blank
  const int64_t before = rp.size;
  rp.pos = rp.size - 1;
  EXPECT_EQ(positions("(1000X,I1)", &rp, 1, &status), (std::vector<int64_t>{before - 1 + 1000}));
  EXPECT_GE(rp.size, before + 1000);
  EXPECT_EQ(rp.buf, lub.rbuf);
  rp.pos = 0;
  EXPECT_EQ(positions("(T4000,I1)", &rp, 1, &status), (std::vector<int64_t>{3999}));
  free(lub.rbuf);

  // A buffer that cannot grow: moving to its end is fine, past it is 66.
  out_record fixed(0, 12);
  EXPECT_EQ(positions("(I6,6X,I1)", &fixed.rp, 2, &status), (std::vector<int64_t>{0, 12}));
  EXPECT_EQ(status, 0);
  out_record over(0, 12);
  EXPECT_EQ(positions("(I6,7X,I1)", &over.rp, 2, &status), (std::vector<int64_t>{0}));
  EXPECT_EQ(status, 66);
  EXPECT_EQ(over.rp.pos, 6);
  out_record tab(0, 12);
  positions("(T14,I1)", &tab.rp, 1, &status);
  EXPECT_EQ(status, 66);
  builder b;
  b.start().wide(11, UINT64_MAX, 0).end();
  out_record huge(0, 12);
  for_fmt_cursor c;
  for__fmt_reset(&c, b.data(), &huge.rp);
  EXPECT_EQ(for__interp_fmt_cursor(&c), 66);
  EXPECT_EQ(huge.rp.pos, 0);
}

int64_t g_function_value = 0;
int64_t function64() { return g_function_value; }
int32_t function32() { return (int32_t)g_function_value; }

TEST(FormatInterpreter, RunTimeOperands) {
  int32_t w32 = 12;
  int64_t r64 = 3;
  uint64_t slots[6] = {(uint64_t)(uintptr_t)&w32, (uint64_t)(uintptr_t)&r64, 0,
                       (uint64_t)(uintptr_t)&function64, 0, (uint64_t)(uintptr_t)&function32};
  // F with r, w and d at run time: r from a 64-bit variable, w from a 32-bit
  // one, d from a function; e is not an operand of F.
  builder b;
  b.start().full(33, 0, 0, 0, 0, 0x0F).ref(1, 3, 11).ref(0, 3, 9).ref(2, 10, 11).ref(0, 0, 0).end();
  for_fmt_cursor c;
  auto run = [&](const builder &p) {
    for__fmt_reset(&c, p.data(), nullptr);
    c.operands = slots;
    return for__interp_fmt_cursor(&c);
  };
  g_function_value = 4;
  {
    diagnostic_sink sink;
    ASSERT_EQ(run(b), 0);
    EXPECT_TRUE(g_diagnostics.empty());
  }
  EXPECT_EQ(c.desc, FD_F);
  EXPECT_EQ(c.repeat, 3u);
  EXPECT_EQ(c.width, 12);
  EXPECT_EQ(c.saved_width, 12);
  EXPECT_EQ(c.digits, 4);
  ASSERT_EQ(for__interp_fmt_cursor(&c), 0);
  EXPECT_EQ(c.desc, FD_END);  // the 16 bytes of references were passed over

  // Range checks: r > 0, w >= 0, 0 <= d <= 32767.
  r64 = 0;
  EXPECT_EQ(run(b), 68);
  r64 = 1;
  w32 = -1;
  EXPECT_EQ(run(b), 68);
  w32 = 0;
  g_function_value = 32768;
  EXPECT_EQ(run(b), 68);
  g_function_value = 32767;
  EXPECT_EQ(run(b), 0);

  // X may move by 0; e at most 255; P between -128 and 127.
  builder x;
  x.start().full(11, 0, 0, 0, 0, 0x01).ref(1, 3, 11).ref(0, 0, 0).ref(0, 0, 0).ref(0, 0, 0).end();
  r64 = 0;
  EXPECT_EQ(run(x), 0);
  EXPECT_EQ(c.desc, FD_END);
  r64 = -1;
  EXPECT_EQ(run(x), 68);
  builder e;
  e.start().full(32, 1, 10, 3, 0, 0x08).ref(0, 0, 0).ref(0, 0, 0).ref(0, 0, 0).ref(4, 10, 9).end();
  g_function_value = 255;
  EXPECT_EQ(run(e), 0);
  EXPECT_EQ(c.exp_digits, 255);
  g_function_value = 256;
  EXPECT_EQ(run(e), 68);
  builder p;
  p.start().full(10, 1, 0, 0, 0, 0x02).ref(0, 0, 0).ref(0, 3, 9).ref(0, 0, 0).ref(0, 0, 0)
      .compact(72, 0, 1).end();
  w32 = -128;
  EXPECT_EQ(run(p), 0);
  EXPECT_EQ(c.scale, -128);
  w32 = 128;
  EXPECT_EQ(run(p), 68);

  // The 24-byte form puts its references after 24 bytes.
  builder wide;
  wide.start().wide(29, 0, 7, 0, 0, 0x01).ref(1, 3, 11).ref(0, 0, 0).ref(0, 0, 0).ref(0, 0, 0)
      .end();
  r64 = 9;
  EXPECT_EQ(run(wide), 0);
  EXPECT_EQ(c.repeat, 9u);
  EXPECT_EQ(c.width, 7);

  // An unknown kind or type is an internal consistency failure yielding 0.
  diagnostic_sink sink;
  const uint8_t bad_kind[4] = {0, 0, 7, 9}, bad_type[4] = {0, 0, 3, 12};
  EXPECT_EQ(get_vfe_value(slots, bad_kind), 0);
  EXPECT_EQ(get_vfe_value(slots, bad_type), 0);
  EXPECT_EQ(get_vfe_value(nullptr, bad_type), 0);
  EXPECT_EQ(g_diagnostics, (std::vector<int>{8, 8, 8}));
  const uint8_t good[4] = {0, 0, 3, 9};
  w32 = -5;
  EXPECT_EQ(get_vfe_value(slots, good), -5);
}

TEST(FormatInterpreter, ErrorsOnNonsense) {
  // No format: 40.
  for_fmt_cursor c;
  for__fmt_reset(&c, nullptr, nullptr);
  EXPECT_EQ(for__interp_fmt_cursor(&c), 40);

  auto one = [](std::initializer_list<uint8_t> item) {
    builder b;
    b.start();
    for (uint8_t v : item) b.u8(v);
    return b.end();
  };
  // Descriptor 0, in its full and compact forms.
  EXPECT_EQ(first_status(one({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}).data()), 62);
  EXPECT_EQ(first_status(one({53, 0, 0, 0}).data()), 62);
  // Derived-type items are not supported.
  EXPECT_EQ(first_status(one({116, 0, 0, 0}).data()), 62);
  // Gw.dEe with w = 0 and e != 0.
  EXPECT_EQ(first_status(builder().start().full(35, 1, 0, 2, 2).end().data(), 1), 62);
  EXPECT_EQ(first_status(builder().start().full(35, 1, 0, 2, 0).end().data(), 1), 0);
  EXPECT_EQ(first_status(builder().start().full(35, 1, 8, 2, 2).end().data(), 1), 0);
  // A group end outside any group; a group repeated 0 times; a second start.
  EXPECT_EQ(first_status(one({57, 0, 0, 0}).data()), 62);
  EXPECT_EQ(first_status(builder().start().compact(56, 0, 0).compact(72, 0, 1).compact(57).end().data()), 62);
  EXPECT_EQ(first_status(one({54, 0, 0, 0}).data()), 62);
  // A 64-bit width beyond the signed range.
  EXPECT_EQ(first_status(builder().start().wide(29, 1, UINT64_MAX).end().data()), 62);

  // Seven nested groups are fine, an eighth is one level too many.
  for (int groups : {7, 8}) {
    builder b;
    b.start();
    for (int i = 0; i < groups; ++i) b.compact(56, 0, 1);
    b.compact(72, 0, 1);
    for (int i = 0; i < groups; ++i) b.compact(57);
    b.end();
    EXPECT_EQ(first_status(b.data(), 1), groups == 7 ? 0 : 62) << groups;
  }

  // Restart offsets are 16-bit: a group starting past 65,535 bytes is 62.
  builder far;
  far.start();
  while (far.b.size() < 0x10000) far.compact(58);
  far.compact(56, 0, 2).compact(72, 0, 1).compact(57).end();
  EXPECT_EQ(first_status(far.data(), 1), 62);

  // Codes without a class: diagnostic 8, then 62.
  diagnostic_sink sink;
  EXPECT_EQ(first_status(one({52, 0, 0, 0}).data()), 62);
  EXPECT_EQ(first_status(one({127, 0, 0, 0}).data()), 62);
  EXPECT_EQ(first_status(one({200, 0, 0, 0}).data()), 62);
  EXPECT_EQ(g_diagnostics, (std::vector<int>{8, 8, 8}));
}

TEST(FormatInterpreter, GroupsWithoutEffectDoNotSpin) {
  // Passes that neither return an item nor move the position change nothing,
  // so 4e9 x 4e9 passes of BN cost one pass each.
  compiled idle("(4000000000(4000000000(BN),SP),I1)");
  EXPECT_EQ(drive(idle.pack, 2), "I1.1 | I1.1");
  for_fmt_cursor c;
  for__fmt_reset(&c, idle.pack, nullptr);
  ASSERT_EQ(for__interp_fmt_cursor(&c), 0);
  EXPECT_EQ(c.modes, FMT_MODE_BN | FMT_MODE_SP);
  // Groups that return items keep all their passes.
  compiled busy("(3(2(I1),'x'))");
  EXPECT_EQ(drive(busy.pack, 6), "I1.1 I1.1 'x' I1.1 I1.1 'x' I1.1 I1.1 'x'");
}

TEST(FormatInterpreter, StatementForm) {
  for_stmt_block block;
  block.word[0] = 0;
  for_stmt *st = for__stmt_begin(&block, FOR_STMT_WRITE_INT_FMT);
  for__fmt_reset(&st->fmt, for_pack_3F10_4, nullptr);
  ASSERT_EQ(for__interp_fmt(st), 0);
  EXPECT_EQ(st->fmt.desc, FD_F);
  EXPECT_EQ(st->fmt.repeat, 3u);
  EXPECT_EQ(st->fmt.width, 10);
  EXPECT_EQ(st->fmt.digits, 4);
  EXPECT_EQ(st->fmt.current, for_pack_3F10_4 + 16);
  st->fmt.current = nullptr;
  EXPECT_EQ(for__interp_fmt(st), 40);
  for__stmt_end(st);
}

}  // namespace
