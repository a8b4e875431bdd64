// Stack traceback, appended to diagnostics.
#pragma once

#include <cstdint>

// Appends a traceback of the current stack to buffer (which holds a
// NUL-terminated text of `used` bytes and has room for `capacity` bytes in
// all); returns the new length.  context is the machine context of a caught
// signal, or null.  mode 0 is the ordinary form.
extern "C" int64_t tbk_stack_trace(void *context, char *buffer, int64_t used, int64_t capacity,
                                   int32_t mode);
