// Typed helpers that issue one whole I/O statement through the run-time's
// call protocol, as compiled code would: a start call with the first item,
// then one item call per further item, each with its own descriptor string
// and argument block.  They never bypass the run-time.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "rtl/for_rtl.h"

namespace forio {

// One item of an I/O list: its descriptor entry and argument slots.
struct Item {
  uint8_t type = 0;
  uint8_t mode = 0;
  int slots = 0;
  uint64_t slot[3] = {0, 0, 0};
};

inline uint64_t address_slot(const void *p) { return reinterpret_cast<uint64_t>(p); }

// A character value (address and length).
inline Item chars(const char *p, int64_t n) {
  return {FOR_TYPE_CHARACTER, FOR_PASS_LENADDR, 2, {static_cast<uint64_t>(n), address_slot(p), 0}};
}
inline Item chars(const char *text) { return chars(text, static_cast<int64_t>(std::strlen(text))); }
// Values passed by value.
inline Item value(int32_t v) {
  Item it{FOR_TYPE_INTEGER4, FOR_PASS_VALUE, 1, {0, 0, 0}};
  std::memcpy(&it.slot[0], &v, sizeof v);
  return it;
}
inline Item value(float v) {
  Item it{FOR_TYPE_REAL4, FOR_PASS_VALUE, 1, {0, 0, 0}};
  std::memcpy(&it.slot[0], &v, sizeof v);
  return it;
}
inline Item value(double v) {
  Item it{FOR_TYPE_REAL8, FOR_PASS_VALUE, 1, {0, 0, 0}};
  std::memcpy(&it.slot[0], &v, sizeof v);
  return it;
}
// Variables passed by address (the targets of READ).
inline Item ref(int32_t *p) { return {FOR_TYPE_INTEGER4, FOR_PASS_ADDRESS, 1, {address_slot(p), 0, 0}}; }
inline Item ref(int64_t *p) { return {FOR_TYPE_INTEGER8, FOR_PASS_ADDRESS, 1, {address_slot(p), 0, 0}}; }
inline Item ref(float *p) { return {FOR_TYPE_REAL4, FOR_PASS_ADDRESS, 1, {address_slot(p), 0, 0}}; }
inline Item ref(double *p) { return {FOR_TYPE_REAL8, FOR_PASS_ADDRESS, 1, {address_slot(p), 0, 0}}; }
inline Item ref(char *p, int64_t n) { return chars(p, n); }
// Contiguous arrays.
inline Item array(float *p, int64_t count) {
  return {FOR_TYPE_REAL4, FOR_PASS_ARRAY, 2, {static_cast<uint64_t>(count * 4), address_slot(p), 0}};
}
inline Item array(int32_t *p, int64_t count) {
  return {FOR_TYPE_INTEGER4, FOR_PASS_ARRAY, 2, {static_cast<uint64_t>(count * 4), address_slot(p), 0}};
}

namespace detail {

// The descriptor string and argument block of one call: optional leading
// entries (an internal file's variable), the item, then the end or
// next-call entry.  Without leading entries the item's own slots are the
// argument block, so nothing is copied (and nothing is read back wider than
// it was written, which would stall the loads); with them, the slots of both
// are copied one by one into `args`.
struct Call {
  uint8_t desc[6];
  uint64_t args[6];
  const void *block;
  void build(const Item *lead, const Item *item, bool last) {
    int d = 0, a = 0;
    block = item ? item->slot : args;
    if (lead) {
      for (const Item *it : {lead, item}) {
        if (!it) continue;
        for (int s = 0; s < it->slots; ++s) args[a++] = it->slot[s];
      }
      block = args;
      desc[d++] = lead->type;
      desc[d++] = lead->mode;
    }
    if (item) {
      desc[d++] = item->type;
      desc[d++] = item->mode;
    }
    desc[d++] = last ? FOR_DESC_END : FOR_DESC_NEXT;
    desc[d++] = 0;
  }
};

// Inline, so that each statement's item list is known where it is issued:
// a one-item statement becomes one start call with its own slots.
template <typename Start, typename Xmit>
[[gnu::always_inline]] inline int32_t run(std::initializer_list<Item> items, const Item *lead, Start start, Xmit xmit) {
  for_stmt_block block;
  block.word[0] = 0;
  Call call;
  if (items.size() == 0) {
    call.build(lead, nullptr, true);
    return start(&block, call.desc, call.block);
  }
  const Item *it = items.begin();
  if (items.size() == 1 && !lead) {
    // One item: its slots are the argument block.  They are copied out of
    // the item so that nothing else of it has to be stored.
    const uint8_t desc[4] = {it->type, it->mode, FOR_DESC_END, 0};
    if (it->slots <= 2) {
      const uint64_t slots[2] = {it->slot[0], it->slot[1]};
      return start(&block, desc, slots);
    }
    return start(&block, desc, it->slot);
  }
  call.build(lead, it, items.size() == 1);
  int32_t r = start(&block, call.desc, call.block);
  for (++it; r == 0 && it != items.end(); ++it) {
    call.build(nullptr, it, it + 1 == items.end());
    r = xmit(&block, call.desc, call.block);
  }
  return r;
}

}  // namespace detail

[[gnu::always_inline]] inline int32_t write_fmt(int32_t unit, uint64_t options, const uint8_t *pack, std::initializer_list<Item> items) {
  return detail::run(
      items, nullptr,
      [&](for_stmt_block *b, const uint8_t *d, const void *a) { return for_write_seq_fmt(b, unit, options, d, a, pack); },
      for_write_seq_fmt_xmit);
}

[[gnu::always_inline]] inline int32_t read_fmt(int32_t unit, uint64_t options, const uint8_t *pack, std::initializer_list<Item> items) {
  return detail::run(
      items, nullptr,
      [&](for_stmt_block *b, const uint8_t *d, const void *a) { return for_read_seq_fmt(b, unit, options, d, a, pack); },
      for_read_seq_fmt_xmit);
}

// Internal files: the character variable is the record.
[[gnu::always_inline]] inline int32_t write_internal(char *var, int64_t length, uint64_t options, const uint8_t *pack,
                              std::initializer_list<Item> items) {
  const Item lead = chars(var, length);
  return detail::run(
      items, &lead,
      [&](for_stmt_block *b, const uint8_t *d, const void *a) { return for_write_int_fmt(b, options, d, a, pack); },
      for_write_int_fmt_xmit);
}

[[gnu::always_inline]] inline int32_t read_internal(const char *var, int64_t length, uint64_t options, const uint8_t *pack,
                             std::initializer_list<Item> items) {
  const Item lead = chars(var, length);
  return detail::run(
      items, &lead,
      [&](for_stmt_block *b, const uint8_t *d, const void *a) { return for_read_int_fmt(b, options, d, a, pack); },
      for_read_int_fmt_xmit);
}

[[gnu::always_inline]] inline int32_t read_lis(int32_t unit, uint64_t options, std::initializer_list<Item> items) {
  return detail::run(
      items, nullptr,
      [&](for_stmt_block *b, const uint8_t *d, const void *a) { return for_read_seq_lis(b, unit, options, d, a); },
      for_read_seq_lis_xmit);
}

[[gnu::always_inline]] inline int32_t write_lis(int32_t unit, uint64_t options, std::initializer_list<Item> items) {
  return detail::run(
      items, nullptr,
      [&](for_stmt_block *b, const uint8_t *d, const void *a) { return for_write_seq_lis(b, unit, options, d, a); },
      for_write_seq_lis_xmit);
}

// OPEN with FILE and STATUS, and BUFFERED when given, as character values.
inline int32_t open(int32_t unit, uint64_t options, const char *file, int64_t file_length, const char *status,
                    int64_t status_length, const char *buffered = nullptr) {
  uint8_t keywords[] = {FOR_KW_KIND_CHAR, 4, FOR_KW_FILE,     0, FOR_KW_KIND_CHAR, 4, FOR_KW_STATUS, 0,
                        FOR_KW_KIND_CHAR, 4, FOR_KW_BUFFERED, 0, FOR_KW_KIND_END,  0, 0,             0};
  // Without BUFFERED the list ends where its entry stands.
  if (!buffered) std::memcpy(keywords + 8, keywords + 12, 4);
  const uint64_t args[] = {static_cast<uint64_t>(file_length),   address_slot(file),
                           static_cast<uint64_t>(status_length), address_slot(status),
                           buffered ? std::strlen(buffered) : 0, address_slot(buffered)};
  for_stmt_block block;
  block.word[0] = 0;
  return for_open(&block, unit, options, keywords, args);
}

inline int32_t close(int32_t unit, uint64_t options) {
  const uint8_t keywords[] = {FOR_KW_KIND_END, 0, 0, 0};
  for_stmt_block block;
  block.word[0] = 0;
  return for_close(&block, unit, options, keywords, nullptr);
}

inline int32_t backspace(int32_t unit, uint64_t options) {
  for_stmt_block block;
  block.word[0] = 0;
  return for_backspace(&block, unit, options);
}

}  // namespace forio
