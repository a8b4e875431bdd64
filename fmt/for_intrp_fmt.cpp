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
#include "fmt/for_fmt_plan.h"
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

// Full forms (classes 1-5): the class says how many of r, w, d, e are used.
// Run-time operands replace the flagged ones that the class uses.
int decode_full(const uint64_t *slots, const uint8_t *p, int layout, uint8_t desc, fmt_step *o) {
  const uint8_t flags = p[1];
  size_t fixed = 12;
  if (flags & kFlagWide) {
    o->repeat = load64(p + 8);
    o->width = load64(p + 16);
    fixed = 24;
  } else {
    o->repeat = load32(p + 4);
    o->width = load32(p + 8);
  }
  o->exp_digits = p[2];
  o->digits = p[3];
  o->next = p + fixed;
  if (layout < 5) o->exp_digits = 0;
  if (layout < 4) o->digits = 0;
  if (layout < 3) o->width = 0;
  if (layout < 2) o->repeat = 0;
  if (o->width > (uint64_t)INT64_MAX) return kErrSyntax;
  if (!(flags & kFlagOperands)) return 0;

  const uint8_t *refs = p + fixed;
  o->next = p + fixed + 16;
  if ((flags & 1) && layout >= 2) {
    int64_t v = get_vfe_value(slots, refs);
    bool may_be_zero = desc == FD_X || desc == FD_TL || desc == FD_TR;
    if (v < (may_be_zero ? 0 : 1)) return kErrOperand;
    o->repeat = (uint64_t)v;
  }
  if ((flags & 2) && layout >= 3) {
    int64_t v = get_vfe_value(slots, refs + 4);
    if (desc == FD_P ? (v < -128 || v > 127) : v < 0) return kErrOperand;
    o->width = (uint64_t)v;  // a negative k of P comes back as a negative width
  }
  if ((flags & 4) && layout >= 4) {
    int64_t v = get_vfe_value(slots, refs + 8);
    if (v < 0 || v > 32767) return kErrOperand;
    o->digits = (uint16_t)v;
  }
  if ((flags & 8) && layout >= 5) {
    int64_t v = get_vfe_value(slots, refs + 12);
    if (v < 0 || v > 255) return kErrOperand;
    o->exp_digits = (uint16_t)v;
  }
  return 0;
}

int decode_operands(const uint64_t *slots, const uint8_t *p, int layout, uint8_t desc, fmt_step *o) {
  o->repeat = o->width = 0;
  o->digits = o->exp_digits = 0;
  o->next = p + 4;
  switch (layout) {
    case 1: case 2: case 3: case 4: case 5:
      return decode_full(slots, p, layout, desc, o);
    case 6:
      return 0;
    case 7:
      o->repeat = load16(p + 2);
      return 0;
    case 8:
      o->width = load16(p + 2);
      return 0;
    case 9:
      o->repeat = p[1];
      o->width = load16(p + 2);
      return 0;
    case 10:
      o->repeat = p[1];
      o->width = p[2];
      o->digits = p[3];
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
int move(for_fmt_cursor *c, uint8_t desc, const fmt_step &o) {
  for_recpos *rp = c->rec;
  if (!rp) return 0;
  const int64_t pos = rp->pos, pending = rp->pending;
  int status;
  switch (desc) {
    case FD_X: status = for__fmt_move_right(rp, o.repeat); break;
    case FD_TR: status = for__fmt_move_right(rp, o.width); break;
    case FD_TL: status = for__fmt_move_left(rp, o.width); break;
    default: status = for__fmt_move_to(rp, o.width); break;
  }
  if (rp->pos != pos || rp->pending != pending) c->pass_effect = kAllLevels;
  return status;
}

constexpr int kContinue = -1;

// Moves the cursor past the item: to the next byte and, on a plan, to the
// next step.
inline void pass(for_fmt_cursor *c, const fmt_step &s) {
  c->current = s.next;
  c->step += 1;
}

// Performs one decoded item.  Returns kContinue when the walk goes on to the
// next item, else the status the interpreter returns (0: an item for the
// caller).  Groups never occur on a plan.
inline int act(for_fmt_cursor *c, const fmt_step &s) {
  c->desc = s.desc;
  c->repeat = s.repeat;
  c->width = (int64_t)s.width;
  c->saved_width = c->width;
  c->digits = s.digits;
  c->exp_digits = s.exp_digits;
  c->literal = nullptr;
  const uint8_t desc = s.desc;
  switch (desc) {
    case FD_START:
      if (s.item != c->base) return kErrSyntax;
      c->reversion = 0;
      c->data_seen = false;
      c->empty_format = fmt_is_end_item(s.next);
      break;

    case FD_GROUP: {
      const uint64_t restart = (uint64_t)(s.next - c->base);
      if (c->level >= kMaxLevel || s.repeat == 0 || restart > kMaxOffset) return kErrSyntax;
      const int level = ++c->level;
      c->data_seen = false;
      if (level == 1) c->reversion = (uint16_t)(s.item - c->base);
      c->restart[level] = (uint16_t)restart;
      c->counter[level] = s.repeat;
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
      return kContinue;
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
      c->scale = (int8_t)(uint8_t)(s.width & 0xFF);
      break;

    case FD_X: case FD_T: case FD_TL: case FD_TR:
      if (int status = move(c, desc, s)) return status;
      break;

    case FD_LITERAL:
      c->literal = reinterpret_cast<const char *>(s.item + 4);
      pass(c, s);
      c->pass_effect = kAllLevels;
      return 0;

    case FD_Q: case FD_DOLLAR: case FD_COLON: case FD_SLASH:
      pass(c, s);
      c->pass_effect = kAllLevels;
      return 0;

    case FD_END:
      c->current = c->base + c->reversion;
      c->step = 0;  // a plan has no groups: it reverts to its start
      c->level = 0;
      c->pass_effect = kAllLevels;
      return 0;

    default:  // a data descriptor (decode refused everything else)
      for__fmt_take_data(c, s);
      return 0;
  }
  pass(c, s);
  return kContinue;
}

}  // namespace

int for__fmt_decode(const uint64_t *slots, const uint8_t *p, fmt_step *s) {
  const fmt_cat_entry cat = p[0] < 128 ? fmt_cat[p[0]] : fmt_cat_entry{0, 0};
  s->desc = cat.desc;
  s->item = p;
  if (cat.layout < 1 || cat.layout > 12) {
    for__fmt_consistency_failure("for_intrp_fmt.cpp", __LINE__);
    return kErrSyntax;
  }
  if (int status = decode_operands(slots, p, cat.layout, cat.desc, s)) return status;
  const uint8_t desc = cat.desc;
  if (desc == FD_LITERAL) {
    s->next = p + 4 + ((s->width + 3) & ~(uint64_t)3);
  } else if (desc >= FD_A0 || desc == FD_INVALID) {
    // Data descriptors; anything else in this range is nonsense.
    const bool control = desc >= FD_RU && desc <= FD_DP;
    if (!control) {
      if (!fmt_is_data_desc(desc)) return kErrSyntax;
      if (desc == FD_GE && s->width == 0 && s->exp_digits != 0) return kErrSyntax;
      if (takes_default_digits(desc)) s->digits = 1;
    }
  }
  s->next_is_end = false;  // only a plan knows what follows
  return 0;
}

void for__fmt_reset(for_fmt_cursor *c, const uint8_t *pack, for_recpos *rec) { for__fmt_start(c, pack, rec); }

int for__interp_fmt(for_stmt *st) { return for__interp_fmt_cursor(&st->fmt); }

int for__interp_fmt_cursor(for_fmt_cursor *c) {
  if (!c->current) return kErrNoFormat;
  if (const fmt_plan *plan = c->plan) {
    for (;;) {
      const int status = act(c, plan->steps[c->step]);
      if (status != kContinue) return status;
    }
  }
  for (;;) {
    fmt_step s;
    if (int status = for__fmt_decode(c->operands, c->current, &s)) {
      c->desc = s.desc;
      return status;
    }
    const int status = act(c, s);
    if (status != kContinue) return status;
  }
}
