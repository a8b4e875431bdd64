#include "fmt/for_int_fmt.h"

#include "fmt/for_fmt_xfer.h"
#include "rtl/for_lub.h"
#include "rtl/for_msg.h"

namespace {
const char kReadName[] = "Internal Formatted Read";
const char kWriteName[] = "Internal Formatted Write";
}  // namespace

int32_t for__internal_begin(for_stmt *st, uint64_t options, const uint8_t **descriptors, const uint8_t **arguments,
                            const uint8_t *format) {
  const bool input = st->kind == FOR_STMT_READ_INT_FMT;
  int r = for__acquire_lun(-5, &st->lub, FOR_INTENT_OPEN);
  if (!st->lub) {
    for__stmt_end(st);
    return for__unit_error(-5, options, r);
  }
  for_lub *lub = st->lub;
  lub->kwbits = for__kwbits(options);
  lub->name = const_cast<char *>(input ? kReadName : kWriteName);
  lub->name_length = static_cast<int16_t>(input ? sizeof kReadName - 1 : sizeof kWriteName - 1);
  lub->name_borrowed = true;
  lub->form = FOR_FORM_FORMATTED;
  if (r) return for__fmt_fail(st, r);

  for_item var;
  r = for__desc_ret_item(descriptors, arguments, &var);
  if (r != 0 || var.type != FOR_TYPE_CHARACTER) return for__fmt_fail(st, FOR_E_BAD_ARGUMENT);
  st->ivar = static_cast<char *>(var.address);
  st->irec_length = var.length;
  st->ivar_length = var.length * var.count;
  for__internal_record(st, 0);
  for__fmt_reset(&st->fmt, format, &lub->rp);
  if (input) st->fmt.modes = FMT_MODE_BN;
  return 0;
}
