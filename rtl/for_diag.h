// Diagnostic text building, shared by the diagnostic entries.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

// Formats a catalogue text with at most argc arguments from ap into out
// (capacity cap, always NUL-terminated); conversions beyond the arguments are
// copied as they stand.  Returns the length written.
size_t for__format_text(char *out, size_t cap, const char *text, int argc, va_list *ap);

// The text of a message: from the external catalogue when one is open and
// its text takes the same conversions, else the built-in text.
const char *for__msg_text(int32_t number, int32_t *severity);

// The IOMSG buffer of the current statement (or none).
extern char *for__iomsg_buffer;
extern int64_t for__iomsg_length;
void for__fill_iomsg(const char *text);

typedef int32_t (*for_user_error_handler)(int32_t number, int32_t continue_flag, const char *text,
                                          int64_t length);
extern "C" for_user_error_handler for__establish_user_error_handler(for_user_error_handler handler);
