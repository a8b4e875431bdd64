// Item descriptor strings: decoding one entry and its argument slots.
#include <string.h>

#include "rtl/for_msg.h"
#include "rtl/for_stmt.h"

namespace {
uint64_t take_slot(const uint8_t **arguments) {
  uint64_t v;
  memcpy(&v, *arguments, sizeof v);
  *arguments += sizeof v;
  return v;
}
}  // namespace

int64_t for__type_size(uint8_t type) {
  switch (type) {
    case FOR_TYPE_LOGICAL1:
    case FOR_TYPE_INTEGER1:
    case FOR_TYPE_CHARACTER: return 1;
    case FOR_TYPE_LOGICAL2:
    case FOR_TYPE_INTEGER2: return 2;
    case FOR_TYPE_LOGICAL4:
    case FOR_TYPE_INTEGER4:
    case FOR_TYPE_REAL4: return 4;
    case FOR_TYPE_LOGICAL8:
    case FOR_TYPE_INTEGER8:
    case FOR_TYPE_REAL8: return 8;
    default: return 0;
  }
}

// Passing modes: 1 the value in one slot; 3 the address; 4 length then
// address; 5 an array as byte length then address (for CHARACTER arrays the
// element length comes first: element length, byte length, address).
int for__desc_ret_item(const uint8_t **descriptors, const uint8_t **arguments, for_item *out) {
  for (;;) {
    const uint8_t type = (*descriptors)[0], mode = (*descriptors)[1];
    *descriptors += 2;
    if (type == FOR_DESC_SKIP) continue;
    if (type == FOR_DESC_END || type == FOR_DESC_NEXT) return type;
    const int64_t size = for__type_size(type);
    if (size == 0) return FOR_E_BAD_ARGUMENT;
    out->type = type;
    out->mode = mode;
    out->count = 1;
    out->length = size;
    switch (mode) {
      case FOR_PASS_VALUE:
        if (type == FOR_TYPE_CHARACTER) return FOR_E_BAD_ARGUMENT;
        out->address = const_cast<uint8_t *>(*arguments);
        *arguments += 8;
        return 0;
      case FOR_PASS_ADDRESS:
        if (type == FOR_TYPE_CHARACTER) return FOR_E_BAD_ARGUMENT;
        out->address = reinterpret_cast<void *>(take_slot(arguments));
        return 0;
      case FOR_PASS_LENADDR: {
        const int64_t length = static_cast<int64_t>(take_slot(arguments));
        out->address = reinterpret_cast<void *>(take_slot(arguments));
        if (type == FOR_TYPE_CHARACTER) out->length = length < 0 ? 0 : length;
        return 0;
      }
      case FOR_PASS_ARRAY: {
        if (type == FOR_TYPE_CHARACTER) {
          const int64_t element = static_cast<int64_t>(take_slot(arguments));
          out->length = element < 0 ? 0 : element;
        }
        const int64_t bytes = static_cast<int64_t>(take_slot(arguments));
        out->address = reinterpret_cast<void *>(take_slot(arguments));
        out->count = out->length > 0 && bytes > 0 ? bytes / out->length : 0;
        return 0;
      }
      default: return FOR_E_BAD_ARGUMENT;
    }
  }
}
