// The standard units: static blocks that exist before the program opens
// anything, connected to their standard streams on first use.
#include <stdlib.h>

#include "rtl/for_lub.h"

extern "C" {
for_lub lub_read, lub_accept, lub_type, lub_print, lub_stderr, lub_read_5, lub_print_6;
}
// The internal unit of character-variable statements.
for_lub lub_internal;

extern "C" void for__preconnected_units_create(void) {
  static const struct {
    for_lub *lub;
    int64_t unit;
  } standard[] = {{&lub_read, -4},   {&lub_accept, -3}, {&lub_type, -2},  {&lub_print, -1},
                  {&lub_stderr, 0},  {&lub_read_5, 5},  {&lub_print_6, 6}, {&lub_internal, -5}};
  for (const auto &s : standard) {
    if (s.lub->is_static) continue;  // already created
    for__lub_init_block(s.lub, s.unit);
    s.lub->is_static = true;
    if (s.unit >= 0) {
      const char name[] = {'F', 'O', 'R', 'T', static_cast<char>('0' + s.unit), '\0'};  // FORT0, FORT5, FORT6
      s.lub->preconnection = getenv(name) ? 2 : 1;
    } else {
      s.lub->preconnection = s.unit == -5 ? 0 : 1;
    }
    for__lub_insert_static(s.lub);
  }
}
