// The fuzzer's input read as a stream of bytes; past its end every read
// gives zeros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct fuzz_input {
  const uint8_t *p;
  size_t n;
  uint8_t byte() {
    if (n == 0) return 0;
    --n;
    return *p++;
  }
  uint16_t u16() {
    const uint16_t low = byte();
    return static_cast<uint16_t>(low | byte() << 8);
  }
  uint32_t u32() {
    const uint32_t low = u16();
    return low | static_cast<uint32_t>(u16()) << 16;
  }
  // Up to count bytes, fewer at the end.
  std::string bytes(size_t count) {
    if (count > n) count = n;
    std::string s(reinterpret_cast<const char *>(p), count);
    p += count;
    n -= count;
    return s;
  }
  bool done() const { return n == 0; }
};
