// Run-time operands of format items (values of variable format expressions).
#include <cstring>

#include "fmt/for_fmt.h"
#include "fmt/for_fmt_diag.h"

namespace {

constexpr uint8_t kKindVariable = 3;   // slot: address of the variable
constexpr uint8_t kKindFunction = 10;  // slot pair: 0, address of the function
constexpr uint8_t kTypeInt32 = 9;
constexpr uint8_t kTypeInt64 = 11;

}  // namespace

// A reference is (index: 16 bits, kind, type).
int64_t get_vfe_value(const uint64_t *slots, const uint8_t *reference) {
  const uint16_t index = (uint16_t)(reference[0] | reference[1] << 8);
  const uint8_t kind = reference[2], type = reference[3];
  if (slots && (type == kTypeInt32 || type == kTypeInt64)) {
    if (kind == kKindVariable && slots[index] != 0) {
      const void *address = reinterpret_cast<const void *>((uintptr_t)slots[index]);
      if (type == kTypeInt32) {
        int32_t v;
        memcpy(&v, address, sizeof v);
        return v;
      }
      int64_t v;
      memcpy(&v, address, sizeof v);
      return v;
    }
    if (kind == kKindFunction && slots[index] == 0 && slots[index + 1] != 0) {
      const uintptr_t function = (uintptr_t)slots[index + 1];
      if (type == kTypeInt32) return reinterpret_cast<int32_t (*)()>(function)();
      return reinterpret_cast<int64_t (*)()>(function)();
    }
  }
  for__fmt_consistency_failure("for_fmt_vfe.cpp", __LINE__);
  return 0;
}
