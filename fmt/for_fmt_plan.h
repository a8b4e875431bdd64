// Plans: the items of a format pack decoded once.  A pack is constant data,
// so a flat pack (no groups, no run-time operands) is decoded on its first
// use into an array of steps, and every later statement on it walks the
// steps instead of decoding the bytes again.
#pragma once

#include <sys/single_threaded.h>

#include <cstdint>
#include <cstring>

#include "fmt/for_fmt.h"

// One decoded item: what the interpreter acts on.
struct fmt_step {
  uint64_t repeat;        // r
  uint64_t width;         // w (P: k in the low byte; literal: text length)
  const uint8_t *item;    // the item's first byte in the pack
  const uint8_t *next;    // the item after it
  uint16_t digits;        // d (or m; 1 for the forms that default it)
  uint16_t exp_digits;    // e
  uint8_t desc;           // FD_*
  bool next_is_end;       // the item after this one is the format end
};

// The decoded form of one flat pack.  Plans are never changed or freed once
// made, so a cursor may keep pointing at one for as long as it likes.
struct fmt_plan {
  static constexpr int kMaxSteps = 24;
  static constexpr int kMaxBytes = 384;
  const uint8_t *pack;            // the pack's address
  uint16_t bytes;                 // its length, format end included
  uint16_t count;                 // steps, format end included
  bool single_a;                  // (A) or (Aw): one A descriptor, repeat 1
  bool constant;                  // the pack lies in the program's read-only
                                  // image: its bytes cannot change
  uint8_t copy[kMaxBytes];        // its bytes when the plan was made
  fmt_step steps[kMaxSteps];
};

// Hands out a data descriptor step, as the interpreter does: the cursor
// takes its operands and moves past it.
inline void for__fmt_take_data(for_fmt_cursor *c, const fmt_step &s) {
  c->desc = s.desc;
  c->repeat = s.repeat;
  c->width = static_cast<int64_t>(s.width);
  c->saved_width = c->width;
  c->digits = s.digits;
  c->exp_digits = s.exp_digits;
  c->literal = nullptr;
  c->data_seen = true;
  c->current = s.next;
  c->step += 1;
  c->pass_effect = 0xFF;
}

// Decodes the item at p (run-time operands from slots, which may be null
// when the item has none).  0, or the error the interpreter reports for it.
int for__fmt_decode(const uint64_t *slots, const uint8_t *p, fmt_step *s);

// The plan of a pack, or null when the pack is not flat, is too long, holds
// an item the interpreter would refuse, or no plan slot is free.  Plans are
// only made and used while the process has a single thread.
const fmt_plan *for__fmt_plan(const uint8_t *pack);

// The plan table, probed from the slot of a pack's address.
constexpr int FOR_FMT_PLAN_SLOTS = 32;
extern fmt_plan for__fmt_plans[FOR_FMT_PLAN_SLOTS];

inline size_t for__fmt_plan_slot(const uint8_t *pack) {
  return static_cast<size_t>((reinterpret_cast<uintptr_t>(pack) >> 2) * 0x9E3779B97F4A7C15ull >> 59);
}

// Whether the pack at the plan's address still holds the planned bytes.  The
// words are compared in order and the walk stops at the first difference:
// while they agree the pack has the planned items, so no read leaves it.
inline bool for__fmt_plan_unchanged(const fmt_plan &plan, const uint8_t *pack) {
  // Every pack holds at least a start and an end: 8 bytes.  The last word
  // is read from the end, overlapping the words before it.
  const int64_t last = plan.bytes - 8;
  uint64_t a, b;
  memcpy(&a, pack, 8);
  memcpy(&b, plan.copy, 8);
  if (a != b) return false;
  for (int64_t i = 8; i < last; i += 8) {
    memcpy(&a, pack + i, 8);
    memcpy(&b, plan.copy + i, 8);
    if (a != b) return false;
  }
  memcpy(&a, pack + last, 8);
  memcpy(&b, plan.copy + last, 8);
  return a == b;
}

// The plan lookup of every formatted statement: a pack met before is found
// in its home slot; everything else takes the out-of-line search.
[[gnu::always_inline]] inline const fmt_plan *for__fmt_plan_of(const uint8_t *pack) {
  const fmt_plan &home = for__fmt_plans[for__fmt_plan_slot(pack)];
  if (home.pack == pack && __libc_single_threaded && (home.constant || for__fmt_plan_unchanged(home, pack)))
    return &home;
  return for__fmt_plan(pack);
}

// The field width of a pack that is (A) or (Aw), for the whole-statement
// paths: true with *width set (-1: the item's length), false for any other
// pack and for none.  A connection keeps the last such pack it met, with
// its width, in *cached and *cached_width.
bool for__single_a_lookup(const uint8_t *pack, const uint8_t **cached, int64_t *cached_width, int64_t *width);
[[gnu::always_inline]] inline bool for__single_a(const uint8_t *pack, const uint8_t **cached,
                                                int64_t *cached_width, int64_t *width) {
  if (pack && pack == *cached) {
    *width = *cached_width;
    return true;
  }
  return for__single_a_lookup(pack, cached, cached_width, width);
}

// for__fmt_reset, inline for the statement starts.  The per-level arrays need
// no reset: a group start sets its level's entries before anything reads
// them.  On a plan the format start is taken at once: it has no effect but
// on the cursor.
inline void for__fmt_start(for_fmt_cursor *c, const uint8_t *pack, for_recpos *rec) {
  const fmt_plan *plan = pack ? for__fmt_plan_of(pack) : nullptr;
  const bool started = plan && plan->steps[0].desc == FD_START;
  c->base = pack;
  c->current = started ? plan->steps[0].next : pack;
  c->repeat = 0;
  c->width = c->saved_width = 0;
  c->digits = c->exp_digits = 0;
  c->literal = nullptr;
  c->scale = 0;
  c->level = 0;
  c->desc = started ? FD_START : 0;
  c->modes = c->rounding = c->decimal = 0;
  c->data_seen = false;
  c->empty_format = started && plan->steps[0].next_is_end;
  c->reversion = 0;
  c->pass_effect = 0;
  c->operands = nullptr;
  c->rec = rec;
  c->plan = plan;
  c->step = started ? 1 : 0;
}
