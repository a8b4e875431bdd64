// The format interpreter: walks a format pack one item at a time, performs
// the control items (groups, modes, scale factor, positioning) and stops at
// every item its caller must act on (data descriptors, literals, record
// marks, the format end).
//
// A pack has no length, so the walk relies on each item's own size; what it
// does check is everything that would otherwise index cursor state or move
// outside the pack's 16-bit offsets: nesting beyond level 7, a group end
// outside a group, a second format start, offsets past 65,535 bytes.
#include <cstring>

#include "fmt/for_fmt.h"
#include "fmt/for_fmt_diag.h"
#include "fmt/for_fmt_move.h"
#include "rtl/for_stmt.h"

namespace {

constexpr int kErrNoFormat = 40;
constexpr int kErrSyntax = 62;
constexpr int kErrOperand = 68;
constexpr int kMaxLevel = 7;
constexpr uint64_t kMaxOffset = 0xFFFF;

constexpr uint8_t kFlagOperands = 0x0F;  // r, w, d, e computed at run time
constexpr uint8_t kFlagWide = 0x10;      // 64-bit r and w
constexpr uint8_t kAllLevels = 0xFF;

uint16_t load16(const uint8_t *p) { return (uint16_t)(p[0] | p[1] << 8); }
uint32_t load32(const uint8_t *p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
uint64_t load64(const uint8_t *p) { return (uint64_t)load32(p) | (uint64_t)load32(p + 4) << 32; }

// Operands of one item, decoded by its layout class.
struct operands {
  uint64_t r = 0;
  uint64_t w = 0;
  uint16_t d = 0;
  uint16_t e = 0;
  size_t size = 4;
};

// Full forms (classes 1-5): the class says how many of r, w, d, e are used.
// Run-time operands replace the flagged ones that the class uses.
int decode_full(const for_fmt_cursor *c, const uint8_t *p, int layout, uint8_t desc,
                operands *o) {
  const uint8_t flags = p[1];
  size_t fixed = 12;
  if (flags & kFlagWide) {
    o->r = load64(p + 8);
    o->w = load64(p + 16);
    fixed = 24;
  } else {
    o->r = load32(p + 4);
    o->w = load32(p + 8);
  }
  o->e = p[2];
  o->d = p[3];
  o->size = fixed;
  if (layout < 5) o->e = 0;
  if (layout < 4) o->d = 0;
  if (layout < 3) o->w = 0;
  if (layout < 2) o->r = 0;
  if (o->w > (uint64_t)INT64_MAX) return kErrSyntax;
  if (!(flags & kFlagOperands)) return 0;

  const uint8_t *refs = p + fixed;
  o->size = fixed + 16;
  if ((flags & 1) && layout >= 2) {
    int64_t v = get_vfe_value(c->operands, refs);
    bool may_be_zero = desc == FD_X || desc == FD_TL || desc == FD_TR;
    if (v < (may_be_zero ? 0 : 1)) return kErrOperand;
    o->r = (uint64_t)v;
  }
  if ((flags & 2) && layout >= 3) {
    int64_t v = get_vfe_value(c->operands, refs + 4);
    if (desc == FD_P ? (v < -128 || v > 127) : v < 0) return kErrOperand;
    o->w = (uint64_t)v;  // a negative k of P comes back as a negative width
  }
  if ((flags & 4) && layout >= 4) {
    int64_t v = get_vfe_value(c->operands, refs + 8);
    if (v < 0 || v > 32767) return kErrOperand;
    o->d = (uint16_t)v;
  }
  if ((flags & 8) && layout >= 5) {
    int64_t v = get_vfe_value(c->operands, refs + 12);
    if (v < 0 || v > 255) return kErrOperand;
    o->e = (uint16_t)v;
  }
  return 0;
}

int decode(const for_fmt_cursor *c, const uint8_t *p, int layout, uint8_t desc, operands *o) {
  switch (layout) {
    case 1: case 2: case 3: case 4: case 5:
      return decode_full(c, p, layout, desc, o);
    case 6:
      return 0;
    case 7:
      o->r = load16(p + 2);
      return 0;
    case 8:
      o->w = load16(p + 2);
      return 0;
    case 9:
      o->r = p[1];
      o->w = load16(p + 2);
      return 0;
    case 10:
      o->r = p[1];
      o->w = p[2];
      o->d = p[3];
      return 0;
    default:  // 11, 12: derived-type items are not supported
      return kErrSyntax;
  }
}

// I, L, O, Z and B forms without m.
bool takes_default_digits(uint8_t desc) {
  switch (desc) {
    case FD_I0: case FD_L0: case FD_O0: case FD_Z0:
    case FD_I: case FD_O: case FD_Z: case FD_B0: case FD_B:
      return true;
    default:
      return false;
  }
}

// X, TR, TL, T.  A move that changes the position counts as an effect of the
// enclosing group passes.
int move(for_fmt_cursor *c, uint8_t desc, const operands &o) {
  for_recpos *rp = c->rec;
  if (!rp) return 0;
  const int64_t pos = rp->pos, pending = rp->pending;
  int status;
  switch (desc) {
    case FD_X: status = for__fmt_move_right(rp, o.r); break;
    case FD_TR: status = for__fmt_move_right(rp, o.w); break;
    case FD_TL: status = for__fmt_move_left(rp, o.w); break;
    default: status = for__fmt_move_to(rp, o.w); break;
  }
  if (rp->pos != pos || rp->pending != pending) c->pass_effect = kAllLevels;
  return status;
}

}  // namespace

// The per-level arrays need no reset: a group start sets its level's entries
// before anything reads them.
void for__fmt_reset(for_fmt_cursor *c, const uint8_t *pack, for_recpos *rec) {
  c->base = pack;
  c->current = pack;
  c->repeat = 0;
  c->width = c->saved_width = 0;
  c->digits = c->exp_digits = 0;
  c->literal = nullptr;
  c->scale = 0;
  c->level = 0;
  c->desc = 0;
  c->modes = c->rounding = c->decimal = 0;
  c->data_seen = c->empty_format = false;
  c->reversion = 0;
  c->pass_effect = 0;
  c->operands = nullptr;
  c->rec = rec;
}

int for__interp_fmt(for_stmt *st) { return for__interp_fmt_cursor(&st->fmt); }

int for__interp_fmt_cursor(for_fmt_cursor *c) {
  if (!c->current) return kErrNoFormat;
  for (;;) {
    const uint8_t *p = c->current;
    const fmt_cat_entry cat = p[0] < 128 ? fmt_cat[p[0]] : fmt_cat_entry{0, 0};
    c->desc = cat.desc;
    if (cat.layout < 1 || cat.layout > 12) {
      for__fmt_consistency_failure("for_intrp_fmt.cpp", __LINE__);
      return kErrSyntax;
    }

    operands o;
    int status = decode(c, p, cat.layout, cat.desc, &o);
    if (status != 0) return status;
    c->repeat = o.r;
    c->width = (int64_t)o.w;
    c->saved_width = c->width;
    c->digits = o.d;
    c->exp_digits = o.e;
    c->literal = nullptr;

    const uint64_t offset = (uint64_t)(p - c->base);
    const uint8_t desc = cat.desc;
    switch (desc) {
      case FD_START:
        if (p != c->base) return kErrSyntax;
        c->reversion = 0;
        c->data_seen = false;
        c->empty_format = fmt_is_end_item(p + o.size);
        break;

      case FD_GROUP: {
        const uint64_t restart = offset + o.size;
        if (c->level >= kMaxLevel || o.r == 0 || restart > kMaxOffset) return kErrSyntax;
        const int level = ++c->level;
        c->data_seen = false;
        if (level == 1) c->reversion = (uint16_t)offset;
        c->restart[level] = (uint16_t)restart;
        c->counter[level] = o.r;
        c->pass_effect &= (uint8_t)~(1u << level);
        break;
      }

      case FD_GROUP_END: {
        if (c->level <= 0) return kErrSyntax;
        const int level = c->level;
        const uint8_t bit = (uint8_t)(1u << level);
        // A pass that neither returned an item nor moved the position leaves
        // the same state behind; its further passes would change nothing.
        if (c->counter[level] <= 1 || !(c->pass_effect & bit)) {
          c->level--;
          break;
        }
        c->counter[level]--;
        c->pass_effect &= (uint8_t)~bit;
        c->current = c->base + c->restart[level];
        continue;
      }

      case FD_BN: case FD_BZ:
        c->modes = (uint8_t)((c->modes & ~(FMT_MODE_BN | FMT_MODE_BZ)) |
                             (desc == FD_BN ? FMT_MODE_BN : FMT_MODE_BZ));
        break;
      case FD_SP: case FD_SS: case FD_S: {
        const uint8_t bit = desc == FD_SP ? FMT_MODE_SP : desc == FD_SS ? FMT_MODE_SS : FMT_MODE_S;
        c->modes = (uint8_t)((c->modes & ~(FMT_MODE_SP | FMT_MODE_SS | FMT_MODE_S)) | bit);
        break;
      }
      case FD_RU: case FD_RD: case FD_RZ: case FD_RN: case FD_RC: case FD_RP:
        c->rounding = (uint8_t)((c->rounding & 3) | (1u << (2 + desc - FD_RU)));
        break;
      case FD_DC: case FD_DP:
        c->decimal = desc == FD_DC ? FMT_DECIMAL_DC : FMT_DECIMAL_DP;
        break;

      case FD_P:
        c->scale = (int8_t)(uint8_t)(o.w & 0xFF);
        break;

      case FD_X: case FD_T: case FD_TL: case FD_TR:
        status = move(c, desc, o);
        if (status != 0) return status;
        break;

      case FD_LITERAL:
        c->literal = reinterpret_cast<const char *>(p + 4);
        c->current = p + 4 + ((o.w + 3) & ~(uint64_t)3);
        c->pass_effect = kAllLevels;
        return 0;

      case FD_Q: case FD_DOLLAR: case FD_COLON: case FD_SLASH:
        c->current = p + o.size;
        c->pass_effect = kAllLevels;
        return 0;

      case FD_END:
        c->current = c->base + c->reversion;
        c->level = 0;
        c->pass_effect = kAllLevels;
        return 0;

      default:
        if (!fmt_is_data_desc(desc)) return kErrSyntax;
        if (desc == FD_GE && o.w == 0 && o.e != 0) return kErrSyntax;
        if (takes_default_digits(desc)) c->digits = 1;
        c->data_seen = true;
        c->current = p + o.size;
        c->pass_effect = kAllLevels;
        return 0;
    }
    c->current = p + o.size;
  }
}
