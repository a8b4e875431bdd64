// Random file contents read through random list-directed item lists: no
// crash, no access outside the unit's buffers or the items, and every
// statement ends with values, end of file, or one of the list-directed
// errors (59, 64).
//
// Input layout: byte 0 selects strict typing (bit 0) and how many times the
// body is repeated (bits 1-3, to reach long records); byte 1 holds the item
// count (1-8); then two bytes per item (type selector, element count); the
// rest is the file.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "rtl/for_rtl.h"

namespace {

constexpr int32_t kUnit = 50;
constexpr int kMaxStatements = 64;

std::string path;

void check(bool ok, const char *what, int32_t status) {
  if (!ok) {
    fprintf(stderr, "lis_fuzz: %s (status %d)\n", what, status);
    abort();
  }
}

void remove_file() { unlink(path.c_str()); }

void setup() {
  setenv("FOR_IGNORE_EXCEPTIONS", "1", 1);
  int32_t argc = 0;
  for_rtl_init_(&argc, nullptr);
  const char *tmp = getenv("TMPDIR");
  path = std::string(tmp && *tmp ? tmp : "/tmp") + "/lis_fuzz_" + std::to_string(getpid()) + ".txt";
  atexit(remove_file);
}

int32_t open_unit() {
  static const char status[] = "old";
  const uint8_t list[] = {FOR_KW_KIND_CHAR, 4, FOR_KW_FILE, 0, FOR_KW_KIND_CHAR, 4, FOR_KW_STATUS, 0,
                          FOR_KW_KIND_END,  0, 0,           0};
  const uint64_t slots[] = {path.size(), reinterpret_cast<uint64_t>(path.data()), sizeof status - 1,
                            reinterpret_cast<uint64_t>(status)};
  for_stmt_block b;
  b.word[0] = 0;
  return for_open(&b, kUnit, FOR_OPTS_PROGRAM | FOR_OPT_ERR, list, slots);
}

void close_unit() {
  static const uint8_t end[] = {FOR_KW_KIND_END, 0, 0, 0};
  for_stmt_block b;
  b.word[0] = 0;
  for_close(&b, kUnit, FOR_OPTS_PROGRAM | FOR_OPT_ERR, end, nullptr);
}

struct Item {
  uint8_t type;
  uint8_t mode;
  int64_t count;     // elements
  int64_t element;   // bytes of one element
  std::vector<char> storage;
};

Item make_item(uint8_t selector, uint8_t count_byte) {
  static const struct {
    uint8_t type;
    int64_t size;
  } kinds[] = {{FOR_TYPE_INTEGER4, 4}, {FOR_TYPE_REAL4, 4},    {FOR_TYPE_REAL8, 8},     {FOR_TYPE_LOGICAL4, 4},
               {FOR_TYPE_INTEGER8, 8}, {FOR_TYPE_INTEGER2, 2}, {FOR_TYPE_CHARACTER, 0}};
  const auto &k = kinds[selector % (sizeof kinds / sizeof kinds[0])];
  Item it{};
  it.type = k.type;
  if (k.type == FOR_TYPE_CHARACTER) {
    it.mode = FOR_PASS_LENADDR;
    it.count = 1;
    it.element = count_byte % 41;
  } else {
    const bool array = (selector & 0x80) != 0;
    it.mode = array ? FOR_PASS_ARRAY : FOR_PASS_ADDRESS;
    it.count = array ? count_byte % 6 : 1;
    it.element = k.size;
  }
  // Exactly the item's bytes, so that a stray store is caught.
  it.storage.assign(static_cast<size_t>(it.count * it.element), '\x55');
  return it;
}

int32_t run_statement(std::vector<Item> &items, uint64_t options) {
  for_stmt_block b;
  b.word[0] = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    Item &it = items[i];
    const uint8_t desc[] = {it.type, it.mode, static_cast<uint8_t>(i + 1 == items.size() ? FOR_DESC_END : FOR_DESC_NEXT),
                            0};
    uint64_t slots[2];
    char *data = it.storage.empty() ? nullptr : it.storage.data();
    if (it.mode == FOR_PASS_ADDRESS) {
      slots[0] = reinterpret_cast<uint64_t>(data);
    } else {
      slots[0] = static_cast<uint64_t>(it.mode == FOR_PASS_ARRAY ? it.count * it.element : it.element);
      slots[1] = reinterpret_cast<uint64_t>(data);
    }
    const int32_t r = i == 0 ? for_read_seq_lis(&b, kUnit, options, desc, slots) : for_read_seq_lis_xmit(&b, desc, slots);
    if (r) return r;
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool ready = false;
  if (!ready) {
    setup();
    ready = true;
  }
  if (size < 2) return 0;
  const bool strict = (data[0] & 1) != 0;
  const int copies = 1 + ((data[0] >> 1) & 7) * 8;
  const int n = 1 + data[1] % 8;
  size_t at = 2;
  std::vector<Item> items;
  for (int i = 0; i < n && at + 1 < size; ++i, at += 2) items.push_back(make_item(data[at], data[at + 1]));
  if (items.empty()) return 0;

  FILE *f = fopen(path.c_str(), "wb");
  if (!f) return 0;
  for (int c = 0; c < copies; ++c) fwrite(data + at, 1, size - at, f);
  fclose(f);

  if (open_unit() != 0) return 0;
  uint64_t options = FOR_OPT_ERR | FOR_OPT_END;
  if (strict) options |= FOR_OPTS_PROGRAM;
  for (int s = 0; s < kMaxStatements; ++s) {
    const int32_t r = run_statement(items, options);
    check(r == 0 || r == -1 || r == 59 || r == 64, "unexpected status", r);
    if (r == -1) break;
  }
  close_unit();
  return 0;
}
