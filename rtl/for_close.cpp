// The CLOSE statement.
#include "rtl/for_lub.h"
#include "rtl/for_msg.h"
#include "rtl/for_open.h"
#include "rtl/for_rtl.h"

extern "C" int32_t for_close(for_stmt_block *, int32_t unit, uint64_t options, const uint8_t *keywords,
                             const void *arguments) {
  static const int allowed[] = {FOR_KW_DISPOSE, FOR_KW_IOMSG, 0};
  for_open_kw kw;
  const int decoded = for__decode_keywords(keywords, arguments, &kw, FOR_E_CLOSE_KEYWORD, allowed);
  if (!for__valid_unit(unit)) return for__unit_error(unit, options, FOR_E_BAD_UNIT);

  for_lub *lub;
  int r = for__acquire_lun(unit, &lub, FOR_INTENT_CLOSE);
  if (r == FOR_E_BAD_UNIT) return 0;  // never referenced: nothing to close
  if (r) return for__unit_error(unit, options, r);
  lub->kwbits = static_cast<uint8_t>(options & FOR_OPT_ERR);
  if (decoded) return for__io_return(1, decoded, 0, lub);

  r = lub->open ? for__close_proc(&kw, lub) : 0;
  const int32_t result = for__io_return(1, r, 0, lub);
  // Closed or not, the unit is reset; an ordinary block is freed.
  for__reset_lub(lub);
  if (!lub->is_static) for__lub_remove(lub);
  return result;
}
