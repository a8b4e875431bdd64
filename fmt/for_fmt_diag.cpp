// The format layer's own diagnostics, through a replaceable sink.
#include "fmt/for_fmt_diag.h"

#include "rtl/for_rtl.h"

for_fmt_diag_sink for__fmt_diag = nullptr;

void for__fmt_consistency_failure(const char *file, int line) {
  if (for__fmt_diag) {
    for__fmt_diag(8, file, line);
    return;
  }
  for__issue_diagnostic(8, 2, file, line);
}

// The "%.*s" of message 58 takes an int precision, so the excerpt is capped.
void for__fmt_syntax_report(const char *at, int64_t length) {
  if (length < 0) length = 0;
  if (length > 64) length = 64;
  if (for__fmt_diag) {
    for__fmt_diag(58, at, length);
    return;
  }
  for__issue_diagnostic(58, 2, (int)length, at);
}
