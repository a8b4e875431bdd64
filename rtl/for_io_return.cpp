// The end of every failing I/O statement: the error goes back to the caller
// when the statement asked for it, otherwise it becomes a diagnostic.
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "rtl/for_diag.h"
#include "rtl/for_lub.h"
#include "rtl/for_msg.h"
#include "rtl/for_rtl.h"
#include "rtl/for_state.h"
#include "rtl/for_sys.h"

namespace {

constexpr size_t kNameBuffer = 4096 + 512;

bool is_eof_code(int32_t g) { return g == 24 || g == -1 || g == 613; }
bool is_eor_code(int32_t g) { return g == 268 || g == -2 || g == 758; }

void apply_release(int32_t action, for_lub *lub) {
  if (!lub) return;
  switch (action) {
    case 1:
      for__release(lub);
      break;
    case 2:
      for__discard_lub(lub);
      for__release(lub);
      break;
    case 3:
      for__close_default(lub);
      for__reset_lub(lub);
      for__release(lub);
      break;
    default:
      break;
  }
}

// So that the diagnostic starts on a fresh line, end a partial output line
// pending on the first of the units 6, -2, 0 and -1 that has one.
void end_partial_line() {
  static const int64_t units[] = {6, -2, 0, -1};
  for (int64_t u : units) {
    for_lub *l = for__find_lub(u);
    if (!l || !l->open || !(l->form & FOR_FORM_FORMATTED) || !l->partial_line) continue;
    l->partial_line = false;
    if (for__sys_write(l->fd, "\n", 1) != 1) perror("forrtl");
    return;
  }
}

}  // namespace

extern "C" int32_t for__io_return(int32_t action, int32_t error, int32_t secondary, for_lub *lub) {
  if (error == 0) {
    apply_release(action, lub);
    return 0;
  }
  // 1. The file name, copied before the release action can free it.
  char name[kNameBuffer];
  if (lub && lub->name_length > 0) {
    snprintf(name, sizeof name, "%s", lub->name);
  } else {
    snprintf(name, sizeof name, "\"%s\"", for__msg_lookup(FOR_M_UNKNOWN)->text);
  }
  if (lub && lub->show_position) {
    size_t n = strlen(name);
    snprintf(name + n, sizeof name - n, "%s", for__get_msg(FOR_M_POSITION, 2, "0", 0));
    lub->show_position = false;
  }
  const int64_t unit = lub ? lub->unit : 0;

  // 2. A failed formatted statement leaves no pending line behind.
  if (lub && (lub->form & FOR_FORM_FORMATTED) && error != FOR_E_OUTPUT_CONVERSION) lub->partial_line = false;

  // 3. Remember the error for later inquiry.
  for__rtl.last_error = error;
  for__rtl.last_unit = unit;
  for__rtl.last_errno = lub ? lub->saved_errno : 0;

  // 4. Back to the caller when the statement asked for it.
  const uint8_t bits = lub ? lub->kwbits : 0;
  if ((bits & FOR_KWB_ERR) && !is_eof_code(error) && !is_eor_code(error)) {
    if (lub) lub->saved_errno = 0;
    apply_release(action, lub);
    return secondary ? secondary : error;
  }
  if (lub && lub->ignore_output_conversion && error == FOR_E_OUTPUT_CONVERSION) {
    apply_release(action, lub);
    return error;
  }
  if ((bits & FOR_KWB_END) && is_eof_code(error)) {
    lub->saved_errno = 0;
    lub->eof = true;
    apply_release(action, lub);
    return -1;
  }
  if ((bits & FOR_KWB_EOR) && is_eor_code(error)) {
    lub->saved_errno = 0;
    apply_release(action, lub);
    return -2;
  }

  // 5. The fatal path.
  end_partial_line();
  if (lub && lub->saved_errno) {
    errno = static_cast<int>(lub->saved_errno);
    perror("forrtl");
    lub->saved_errno = 0;
  }
  int32_t shown = error == 127 && secondary ? secondary : error;
  if (for__iomsg_buffer) for__fill_iomsg(for__get_msg(shown, 2, static_cast<int>(unit), name));
  apply_release(action, lub);
  for__issue_diagnostic(shown, 2, static_cast<int>(unit), name);
  return shown;
}
