// Format text through the run-time compiler, and random but structurally
// plausible packs (random codes and operands, each item as long as its class
// says, ending in a format end), interpreted for a bounded number of steps
// over a record buffer with guard bytes.  The first input byte chooses.
// Checked: no crash, no read outside the pack (it lives in an allocation of
// exactly its size), no position outside the record, no write outside it,
// and a compiler that emits only full forms and literals.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fmt/for_fmt.h"
#include "fuzz/fuzz_input.h"
#include "fmt/for_fmt_diag.h"
#include "rtl/for_rtl.h"

namespace {

void check(bool ok, const char *what) {
  if (!ok) {
    fprintf(stderr, "fmt_fuzz: %s\n", what);
    abort();
  }
}

void ignore_diagnostic(int32_t, const char *, int64_t) {}


// Run-time operand slots: variables, function pairs, and entries that make
// a reference invalid.
int64_t g_value32, g_value64;
int32_t value32() { return (int32_t)g_value32; }
int64_t value64() { return g_value64; }
// 8 bytes each, so that a 64-bit read of either stays inside.
int64_t g_var32, g_var64;
uint64_t g_slots[8];
const uint8_t kRefs[][4] = {
    {0, 0, 3, 9}, {1, 0, 3, 11}, {2, 0, 10, 9}, {4, 0, 10, 11},  // valid
    {6, 0, 3, 9}, {0, 0, 3, 12}, {0, 0, 7, 9},  {3, 0, 10, 9},   // diagnostic 8
};

void put(std::vector<uint8_t> &b, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) b.push_back((uint8_t)(v >> (8 * i)));
}

// A small repeat count for groups, so that passes with moves stay cheap.
uint64_t group_count(uint8_t v) { return v % 4; }

// One item of the class its code has.
void random_item(fuzz_input &in, std::vector<uint8_t> &b) {
  uint8_t code = in.byte();
  if (code >= 128 && (code & 0x40) == 0) code &= 0x7F;  // codes past the table, now and then
  const int layout = code < 128 ? fmt_cat[code].layout : 0;
  const uint8_t desc = code < 128 ? fmt_cat[code].desc : 0;
  if (layout >= 1 && layout <= 5) {
    const uint8_t flags = in.byte() & 0x1F;
    b.push_back(code);
    b.push_back(flags);
    b.push_back(in.byte());  // e
    b.push_back(in.byte());  // d
    uint64_t r = in.byte() & 0x80 ? in.u32() : in.byte() % 8;
    uint64_t w = in.byte() & 0x80 ? in.u32() : in.byte() % 40;
    if (desc == FD_GROUP) r = group_count((uint8_t)r);
    if (flags & 0x10) {
      if (in.byte() & 1) w |= (uint64_t)in.u32() << 32;
      put(b, 0, 4);
      put(b, r, 8);
      put(b, w, 8);
    } else {
      put(b, r, 4);
      put(b, w, 4);
    }
    if (flags & 0x0F)
      for (int k = 0; k < 4; ++k) {
        const uint8_t *ref = kRefs[in.byte() % (sizeof kRefs / sizeof kRefs[0])];
        if (k == 0 && desc == FD_GROUP) ref = kRefs[0];  // the small variable
        b.insert(b.end(), ref, ref + 4);
      }
    return;
  }
  b.push_back(code);
  if (code == FD_LITERAL) {
    const uint16_t length = in.byte() % 40;
    b.push_back(0);
    put(b, length, 2);
    for (uint16_t k = 0; k < length; ++k) b.push_back(in.byte());
    while (b.size() % 4) b.push_back(0);
    return;
  }
  uint8_t b1 = in.byte(), b2 = in.byte(), b3 = in.byte();
  if (desc == FD_GROUP && layout == 7) {
    b2 = (uint8_t)group_count(b2);
    b3 = 0;
  }
  b.push_back(b1);
  b.push_back(b2);
  b.push_back(b3);
}

// Length of a compiled pack, walked by the sizes of full forms and literals.
size_t compiled_length(const uint8_t *pack) {
  const uint8_t *p = pack;
  for (;;) {
    const uint8_t code = p[0];
    check(code < 128, "compiled code outside the table");
    if (code == FD_LITERAL) {
      const size_t n = (size_t)(p[2] | p[3] << 8);
      p += 4 + ((n + 3) & ~size_t{3});
      continue;
    }
    const int layout = fmt_cat[code].layout;
    check(layout >= 1 && layout <= 5 && fmt_cat[code].desc == code, "compact or unknown code compiled");
    check((p[1] & ~0x10) == 0, "compiled flags");
    p += p[1] & 0x10 ? 24 : 12;
    if (code == FD_END) return (size_t)(p - pack);
  }
}

// Interprets a pack (in an allocation of exactly `length` bytes) the way an
// output or bounded input statement does.
void interpret(const uint8_t *source, size_t length, fuzz_input &in) {
  uint8_t *pack = static_cast<uint8_t *>(malloc(length));
  memcpy(pack, source, length);

  constexpr int kGuard = 16, kRoom = 64;
  uint8_t memory[kGuard + kRoom + kGuard];
  memset(memory, 0xA5, sizeof memory);
  char *buf = reinterpret_cast<char *>(memory + kGuard);
  for_recpos rp;
  rp.buf = buf;
  rp.size = in.byte() % (kRoom + 1);
  rp.start = rp.size ? in.byte() % (rp.size + 1) : 0;
  rp.end = rp.start + (rp.size - rp.start ? in.byte() % (rp.size - rp.start + 1) : 0);
  rp.pos = rp.start;
  rp.bounded = in.byte() & 1;

  g_var32 = in.byte() % 6 - 1;  // small: it may count group passes
  g_var64 = (int16_t)in.u16();
  g_value32 = (int16_t)in.u16();
  g_value64 = (int16_t)in.u16();
  g_slots[0] = (uint64_t)(uintptr_t)&g_var32;
  g_slots[1] = (uint64_t)(uintptr_t)&g_var64;
  g_slots[2] = 0;
  g_slots[3] = (uint64_t)(uintptr_t)&value32;
  g_slots[4] = 0;
  g_slots[5] = (uint64_t)(uintptr_t)&value64;
  g_slots[6] = 0;
  g_slots[7] = 0;

  for_fmt_cursor c;
  for__fmt_reset(&c, pack, &rp);
  c.operands = g_slots;
  unsigned sum = 0;
  for (int step = 0; step < 256; ++step) {
    if (for__interp_fmt_cursor(&c) != 0) break;
    check(c.current >= pack && c.current < pack + length, "cursor left the pack");
    check(c.level >= 0 && c.level <= 7, "nesting level");
    check(rp.start <= rp.pos && rp.pos <= rp.size, "position outside the record");
    check(rp.pending >= 0, "negative pending count");
    check(!rp.bounded || rp.pos <= rp.end, "bounded position past the end");
    int64_t w = c.width > 0 ? c.width : 0;
    if (c.desc == FD_LITERAL) {
      const uint8_t *text = reinterpret_cast<const uint8_t *>(c.literal);
      check(text >= pack && w <= pack + length - text, "literal outside the pack");
    } else if (!fmt_is_data_desc(c.desc)) {
      continue;
    }
    // Edit or read the field as a caller would, within the record.
    if (rp.bounded) {
      // Widths may be as large as an int64_t: compare them with the room.
      const int64_t room = rp.end > rp.pos ? rp.end - rp.pos : 0;
      const int64_t n = w <= room ? w : room;
      for (int64_t k = 0; k < n; ++k) sum += (unsigned char)buf[rp.pos + k];
      rp.pos += n;
    } else {
      const int64_t n = w <= rp.size - rp.pos ? w : rp.size - rp.pos;
      if (c.desc == FD_LITERAL)
        memcpy(buf + rp.pos, c.literal, (size_t)n);
      else
        memset(buf + rp.pos, 'x', (size_t)n);
      rp.pos += n;
      if (rp.pos > rp.hwm) rp.hwm = rp.pos;
    }
  }
  for (int k = 0; k < kGuard; ++k) {
    check(memory[k] == 0xA5, "write before the record buffer");
    check(memory[kGuard + kRoom + k] == 0xA5, "write after the record buffer");
  }
  (void)sum;
  free(pack);
}

void fuzz_compiler(fuzz_input &in) {
  const size_t length = in.n / 2;
  const char *text = reinterpret_cast<const char *>(in.p);
  in.p += length;
  in.n -= length;
  uint8_t *pack = nullptr;
  const int status = for__format_compiler(text, (int64_t)length, &pack, 1);
  check(status == 0 || status == 62 || status == 41, "compiler status");
  check((status == 0) == (pack != nullptr), "pack without success");
  if (!pack) return;
  const size_t n = compiled_length(pack);
  check(n <= 0xFFFF, "compiled pack too long");
  interpret(pack, n, in);
  for__format_free(pack);
}

void fuzz_pack(fuzz_input &in) {
  std::vector<uint8_t> b;
  if (in.byte() & 1) {
    put(b, 54, 4);
  } else {
    put(b, 1, 4);
    put(b, 0, 8);
  }
  const int items = in.byte() % 48;
  for (int i = 0; i < items && in.n > 0; ++i) random_item(in, b);
  put(b, 55, 4);
  interpret(b.data(), b.size(), in);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  for__fmt_diag = ignore_diagnostic;
  fuzz_input in{data, size};
  if (in.byte() & 1)
    fuzz_pack(in);
  else
    fuzz_compiler(in);
  return 0;
}
