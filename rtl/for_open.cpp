// The OPEN statement.
#include "rtl/for_open.h"

#include "rtl/for_lub.h"
#include "rtl/for_msg.h"
#include "rtl/for_rtl.h"

// A unit number that OPEN and CLOSE accept: the standard units -4..-1 and
// every non-negative number (the internal unit and NEWUNIT numbers are not).
bool for__valid_unit(int64_t unit) { return unit >= -4; }

// Reports an error that arises before the unit's block can be held.
int32_t for__unit_error(int64_t unit, uint64_t options, int32_t error) {
  for_lub scratch{};
  scratch.unit = unit;
  scratch.fd = -1;
  scratch.name = const_cast<char *>(for__unknown_name);
  scratch.kwbits = static_cast<uint8_t>(options & FOR_OPT_ERR);
  return for__io_return(0, error, 0, &scratch);
}

extern "C" int32_t for_open(for_stmt_block *, int32_t unit, uint64_t options, const uint8_t *keywords,
                            const void *arguments) {
  for_open_kw kw;
  const int decoded = for__decode_keywords(keywords, arguments, &kw, FOR_E_OPEN_KEYWORD, nullptr);
  if (!for__valid_unit(unit)) return for__unit_error(unit, options, FOR_E_BAD_UNIT);

  for_lub *lub;
  int r = for__acquire_lun(unit, &lub, FOR_INTENT_OPEN);
  if (r) return for__unit_error(unit, options, r);
  lub->kwbits = static_cast<uint8_t>(options & FOR_OPT_ERR);
  if (decoded) return for__io_return(1, decoded, 0, lub);

  if (lub->open) {
    r = for__reopen_file(&kw, lub);
  } else {
    r = for__open_proc(&kw, lub);
  }
  // A failed OPEN leaves the unit closed: its block is discarded.
  return for__io_return(r ? 2 : 1, r, 0, lub);
}
