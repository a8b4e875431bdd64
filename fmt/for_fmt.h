// Format packs and the format interpreter: the compiled form of a format
// specification, the category table that decodes it, and the per-statement
// cursor that walks it.
#pragma once

#include <cstdint>

struct for_stmt;

// Descriptors (the second byte of fmt_cat; a full-form item's code).
enum for_desc : uint8_t {
  FD_INVALID = 0,
  FD_START = 1,
  FD_END = 2,
  FD_GROUP = 3,
  FD_GROUP_END = 4,
  FD_BN = 5,
  FD_BZ = 6,
  FD_SP = 7,
  FD_SS = 8,
  FD_S = 9,
  FD_P = 10,
  FD_X = 11,
  FD_T = 12,
  FD_TL = 13,
  FD_TR = 14,
  FD_Q = 15,
  FD_DOLLAR = 16,
  FD_COLON = 17,
  FD_SLASH = 18,
  FD_A0 = 19,  // A, D, E, F, G, I, L, O, Z without a width
  FD_D0 = 20,
  FD_E0 = 21,
  FD_F0 = 22,
  FD_G0 = 23,
  FD_I0 = 24,
  FD_L0 = 25,
  FD_O0 = 26,
  FD_Z0 = 27,
  FD_LITERAL = 28,
  FD_A = 29,
  FD_D = 30,
  FD_E = 31,
  FD_EE = 32,
  FD_F = 33,
  FD_G = 34,
  FD_GE = 35,
  FD_I = 36,
  FD_IM = 37,
  FD_L = 38,
  FD_O = 39,
  FD_OM = 40,
  FD_Z = 41,
  FD_ZM = 42,
  FD_B0 = 43,
  FD_B = 44,
  FD_BM = 45,
  FD_EN0 = 46,
  FD_EN = 47,
  FD_ENE = 48,
  FD_ES0 = 49,
  FD_ES = 50,
  FD_ESE = 51,
  FD_RU = 108,
  FD_RD = 109,
  FD_RZ = 110,
  FD_RN = 111,
  FD_RC = 112,
  FD_RP = 113,
  FD_DC = 114,
  FD_DP = 115,
  FD_DT = 116
};

// Blank and sign mode bits of the cursor.
enum : uint8_t { FMT_MODE_BN = 1, FMT_MODE_BZ = 2, FMT_MODE_SP = 4, FMT_MODE_SS = 8, FMT_MODE_S = 16 };
// Rounding mode bits (bits 2-7; one at a time).
enum : uint8_t {
  FMT_ROUND_RU = 1 << 2,
  FMT_ROUND_RD = 1 << 3,
  FMT_ROUND_RZ = 1 << 4,
  FMT_ROUND_RN = 1 << 5,
  FMT_ROUND_RC = 1 << 6,
  FMT_ROUND_RP = 1 << 7
};
enum : uint8_t { FMT_DECIMAL_DC = 1, FMT_DECIMAL_DP = 2 };

// Category table: layout class and descriptor of each of the 128 item codes.
struct fmt_cat_entry {
  uint8_t layout;
  uint8_t desc;
};
extern "C" const fmt_cat_entry fmt_cat[128];
// The item at p is the format end.
inline bool fmt_is_end_item(const uint8_t *p) {
  return p[0] < 128 && fmt_cat[p[0]].layout != 0 && fmt_cat[p[0]].desc == FD_END;
}
// A data edit descriptor: one that the interpreter hands out for an item of
// the list.
inline bool fmt_is_data_desc(uint8_t desc) { return desc >= FD_A0 && desc <= FD_ESE && desc != FD_LITERAL; }
// Run-time compiler check table: number of operands a code requires, and the
// code to use instead when more were given.
struct fmt_check_entry {
  uint8_t count;
  uint8_t promote;
};
// fmt_check count of the codes the compiler never starts from.
constexpr uint8_t FMT_CHECK_NONE = 0xFF;
extern "C" const fmt_check_entry fmt_check[128];

struct for_lub;

// Record positions of the statement's current record, as offsets into buf.
// On output buf is the unit's record buffer (owned by the unit block `owner`,
// which may grow) or an internal file's variable; on input it holds the
// record just read.
struct for_recpos {
  char *buf = nullptr;   // buffer start
  int64_t size = 0;      // buffer end (offset)
  int64_t start = 0;     // record start
  int64_t pos = 0;       // current position
  int64_t hwm = -1;      // furthest position written in this record; -1 empty
  int64_t end = 0;       // input: one past the record's last character
  int64_t pending = 0;   // columns past the end (bounded positioning)
  bool bounded = false;  // input: positioning never passes the record end
  for_lub *owner = nullptr; // non-null: buf is owner->rbuf and may grow
};

// Enlarges the owner's record buffer by at least `by` bytes and updates buf
// and size; 0, or 66 when there is no owner or no memory.
int for__rec_grow(for_recpos *rp, int64_t by);

// Per-statement state of the interpreter.
struct for_fmt_cursor {
  const uint8_t *base;      // format-start item
  const uint8_t *current;   // next item to interpret; null: no format
  uint64_t repeat;          // r of the descriptor just returned
  int64_t width;            // w of the descriptor just returned
  int64_t saved_width;      // w restored when a repeated descriptor is reused
  uint16_t digits;          // d (or m)
  uint16_t exp_digits;      // e
  const char *literal;      // text of the literal just returned (length: width)
  int8_t scale;             // current kP
  int8_t level;             // group nesting level, 0 outside groups
  uint8_t desc;             // descriptor of the item just returned
  uint8_t modes;            // FMT_MODE_*
  uint8_t rounding;         // FMT_ROUND_*
  uint8_t decimal;          // FMT_DECIMAL_*
  bool data_seen;
  bool empty_format;
  uint16_t reversion;       // offset of the reversion point from base
  uint16_t restart[8];      // per level 1..7: offset of the group's first item
  uint64_t counter[8];      // per level 1..7: passes left
  uint8_t pass_effect;      // bit L: the current pass of level L returned an
                            // item or moved the position
  const uint64_t *operands; // run-time operand slots, or null
  for_recpos *rec;          // positions moved by X, T, TL, TR
  const struct fmt_plan *plan;  // the pack's plan, or null: decode the bytes
  uint16_t step;            // with a plan: the step at `current`
};

// Resets the cursor on a pack for a new statement: level 0, no modes, scale
// factor 0, no run-time operand slots.  rec may be null (positioning items
// then leave no trace); a READ sets its blank mode afterwards.
void for__fmt_reset(for_fmt_cursor *c, const uint8_t *pack, for_recpos *rec);
// Advances to the next item the caller must act on; 0 or an error number.
int for__interp_fmt(for_stmt *st);
// Cursor-level form of the interpreter, for callers without a statement.
int for__interp_fmt_cursor(for_fmt_cursor *c);

// One run-time operand through a 4-byte operand reference (index 16-bit,
// kind, type); an unknown kind or type, or a missing slot table or variable,
// issues diagnostic 8 and yields 0.
int64_t get_vfe_value(const uint64_t *slots, const uint8_t *reference);

// The program's packs (read-only constant data).
extern "C" const uint8_t for_pack_A[];           // (A)
extern "C" const uint8_t for_pack_3F10_4[];      // (3F10.4)
extern "C" const uint8_t for_pack_3F10_4_3X[];   // (3F10.4,3X,3F10.4)
extern "C" const uint8_t for_pack_I1[];          // (I1)
extern "C" const uint8_t for_pack_I2[];          // (I2)
extern "C" const uint8_t for_pack_I3[];          // (I3)
extern "C" const uint8_t for_pack_F12_4[];       // (F12.4)
extern "C" const uint8_t for_pack_rcfilename[];  // (' RCfilename = ',A)
extern "C" const uint8_t for_pack_I6[];          // (I6)
