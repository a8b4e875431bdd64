// Diagnostics that the format layer issues itself rather than through a
// statement's error path: 8 (internal consistency check failure) and 58
// (format syntax error).  Both go through one sink so that tests and fuzz
// targets can observe them without ending the run; the default sink (null)
// issues the run-time diagnostic.
#pragma once

#include <cstdint>

// message 8: text = source file, value = line; message 58: text = the
// format text at the error, value = its length.
using for_fmt_diag_sink = void (*)(int32_t message, const char *text, int64_t value);
extern for_fmt_diag_sink for__fmt_diag;

void for__fmt_consistency_failure(const char *file, int line);
void for__fmt_syntax_report(const char *at, int64_t length);
