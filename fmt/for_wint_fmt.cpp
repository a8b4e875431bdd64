// Internal WRITE: the record is a character variable, blank-filled first.
#include "fmt/for_fmt_xfer.h"
#include "fmt/for_int_fmt.h"

extern "C" int32_t for_write_int_fmt(for_stmt_block *block, uint64_t options, const uint8_t *descriptors,
                                     const void *arguments, const uint8_t *format) {
  for_stmt *st = for__stmt_begin(block, FOR_STMT_WRITE_INT_FMT);
  const uint8_t *a = static_cast<const uint8_t *>(arguments);
  if (int32_t r = for__internal_begin(st, options, &descriptors, &a, format)) return r;
  if (st->active != FOR_STMT_ACTIVE) return 0;
  return for__fmt_xfer(st, descriptors, a);
}

extern "C" int32_t for_write_int_fmt_xmit(for_stmt_block *block, const uint8_t *descriptors,
                                          const void *arguments) {
  return for__fmt_xfer(for__stmt_of(block), descriptors, arguments);
}
