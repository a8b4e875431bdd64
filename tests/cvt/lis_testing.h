// Helpers of the list-directed tests: connecting units by hand through the
// OPEN keyword protocol, and running one READ or WRITE statement over a
// list of items, one item per call as compiled code does.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "rtl/for_rtl.h"

namespace listest {

inline void init_runtime() {
  static bool done = false;
  if (done) return;
  done = true;
  setenv("FOR_IGNORE_EXCEPTIONS", "1", 1);
  int32_t argc = 0;
  for_rtl_init_(&argc, nullptr);
}

struct Keyword {
  uint8_t code;
  std::string text;  // character value
  int64_t number;    // integer value (text empty)
};

// OPEN(unit, FILE=path, STATUS=status, further keywords); the status result.
inline int32_t open_unit(int32_t unit, const std::string &path, const std::string &status = "old",
                         const std::vector<Keyword> &more = {}, uint64_t options = FOR_OPTS_PROGRAM | FOR_OPT_ERR) {
  std::vector<Keyword> all = {{FOR_KW_FILE, path, 0}, {FOR_KW_STATUS, status, 0}};
  all.insert(all.end(), more.begin(), more.end());
  std::vector<uint8_t> list;
  std::vector<uint64_t> slots;
  for (const Keyword &k : all) {
    if (k.text.empty()) {
      list.insert(list.end(), {FOR_KW_KIND_INT, 4, k.code, 0});
      slots.push_back(static_cast<uint64_t>(k.number));
    } else {
      list.insert(list.end(), {FOR_KW_KIND_CHAR, 4, k.code, 0});
      slots.push_back(k.text.size());
      slots.push_back(reinterpret_cast<uint64_t>(k.text.data()));
    }
  }
  list.insert(list.end(), {FOR_KW_KIND_END, 0, 0, 0});
  for_stmt_block b;
  b.word[0] = 0;
  return for_open(&b, unit, options, list.data(), slots.data());
}

inline int32_t close_unit(int32_t unit) {
  static const uint8_t end[] = {FOR_KW_KIND_END, 0, 0, 0};
  for_stmt_block b;
  b.word[0] = 0;
  return for_close(&b, unit, FOR_OPTS_PROGRAM | FOR_OPT_ERR, end, nullptr);
}

// One I/O list item.
struct Item {
  uint8_t type;
  uint8_t mode;
  void *address;
  int64_t length;  // mode 4: characters; mode 5: bytes
};

inline Item i4(int32_t *p) { return {FOR_TYPE_INTEGER4, FOR_PASS_ADDRESS, p, 0}; }
inline Item i8(int64_t *p) { return {FOR_TYPE_INTEGER8, FOR_PASS_ADDRESS, p, 0}; }
inline Item r4(float *p) { return {FOR_TYPE_REAL4, FOR_PASS_ADDRESS, p, 0}; }
inline Item r8(double *p) { return {FOR_TYPE_REAL8, FOR_PASS_ADDRESS, p, 0}; }
inline Item l4(int32_t *p) { return {FOR_TYPE_LOGICAL4, FOR_PASS_ADDRESS, p, 0}; }
inline Item ch(char *p, int64_t n) { return {FOR_TYPE_CHARACTER, FOR_PASS_LENADDR, p, n}; }
inline Item chc(const char *p) { return ch(const_cast<char *>(p), static_cast<int64_t>(strlen(p))); }
template <class T>
Item array(uint8_t type, T *p, int64_t count) {
  return {type, FOR_PASS_ARRAY, p, static_cast<int64_t>(sizeof(T)) * count};
}

using StartFn = int32_t (*)(for_stmt_block *, int32_t, uint64_t, const uint8_t *, const void *);
using XmitFn = int32_t (*)(for_stmt_block *, const uint8_t *, const void *);

// Runs one statement: the start call with the first item, an item call for
// each further one.  Returns the first non-zero status, else 0.
inline int32_t statement(StartFn start, XmitFn xmit, int32_t unit, uint64_t options, const std::vector<Item> &items) {
  for_stmt_block b;
  b.word[0] = 0;
  if (items.empty()) {
    static const uint8_t end[] = {FOR_DESC_END, 0};
    return start(&b, unit, options, end, nullptr);
  }
  for (size_t i = 0; i < items.size(); ++i) {
    const Item &it = items[i];
    const uint8_t desc[] = {it.type, it.mode, static_cast<uint8_t>(i + 1 == items.size() ? FOR_DESC_END : FOR_DESC_NEXT),
                            0};
    uint64_t slots[2];
    if (it.mode == FOR_PASS_ADDRESS) {
      slots[0] = reinterpret_cast<uint64_t>(it.address);
    } else {
      slots[0] = static_cast<uint64_t>(it.length);
      slots[1] = reinterpret_cast<uint64_t>(it.address);
    }
    const int32_t r = i == 0 ? start(&b, unit, options, desc, slots) : xmit(&b, desc, slots);
    if (r) return r;
  }
  return 0;
}

constexpr uint64_t kErr = FOR_OPTS_PROGRAM | FOR_OPT_ERR;
constexpr uint64_t kErrEnd = FOR_OPTS_PROGRAM | FOR_OPT_ERR | FOR_OPT_END;

inline int32_t read_list(int32_t unit, const std::vector<Item> &items, uint64_t options = kErr) {
  return statement(for_read_seq_lis, for_read_seq_lis_xmit, unit, options, items);
}
inline int32_t write_list(int32_t unit, const std::vector<Item> &items, uint64_t options = kErr) {
  return statement(for_write_seq_lis, for_write_seq_lis_xmit, unit, options, items);
}

}  // namespace listest
