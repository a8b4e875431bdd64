// The two layouts of a traceback frame.
#include "rtl/tbk_internal.h"

bool tbk_put_brief_row(tbk_text *t, const char *image, uintptr_t pc, const char *routine, const char *line,
                       const char *source) {
  const int64_t mark = t->used;
  const bool ok = tbk_put_field(t, image, 17, true) && tbk_puts(t, "  ") && tbk_put_hex(t, pc, 16, true) &&
                  tbk_puts(t, "  ") && tbk_put_field(t, routine, 17, true) && tbk_puts(t, "  ") &&
                  tbk_put_field(t, line, 10, false) && tbk_puts(t, "  ") && tbk_puts(t, source) &&
                  tbk_puts(t, "\n");
  if (!ok) tbk_truncate(t, mark);
  return ok;
}

bool tbk_put_long_frame(tbk_text *t, int64_t number, const char *image, uintptr_t pc, const char *routine,
                        const char *source, const char *line) {
  const int64_t mark = t->used;
  const bool ok = tbk_puts(t, "--------- Frame # ") && tbk_put_dec(t, number) &&
                  tbk_puts(t, " ---------------------------------------\n\nImage:         ") && tbk_puts(t, image) &&
                  tbk_puts(t, "\nPC:            0x") && tbk_put_hex(t, pc, 16, false) &&
                  tbk_puts(t, "\nRoutine name:  ") && tbk_puts(t, routine) && tbk_puts(t, "\nSource file:   ") &&
                  tbk_puts(t, source) && tbk_puts(t, "\nLine number:   ") && tbk_puts(t, line) && tbk_puts(t, "\n\n");
  if (!ok) tbk_truncate(t, mark);
  return ok;
}
