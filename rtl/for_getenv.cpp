// The value of an environment variable, as a blank-padded character value.
#include <string.h>
#include <unistd.h>

#include "rtl/for_rtl.h"

namespace {

// The value of the variable whose name is name[0, n), or null.  The
// environment is searched in place, so a name of any length needs no copy;
// a name holding '=' or NUL names no variable.
const char *lookup(const char *name, int64_t n) {
  if (n <= 0 || memchr(name, '=', static_cast<size_t>(n)) || memchr(name, '\0', static_cast<size_t>(n)))
    return nullptr;
  for (char **e = environ; e && *e; ++e) {
    if (strncmp(*e, name, static_cast<size_t>(n)) == 0 && (*e)[n] == '=') return *e + n + 1;
  }
  return nullptr;
}

}  // namespace

// Trailing blanks of the name are dropped.  The value is copied into
// value[0, value_length), blank-filled, and *length receives its full
// length (which may exceed value_length); an unset variable and an empty
// one alike give 0 and an all-blank value.
extern "C" void for_getenv(const char *name, char *value, int32_t *length, int64_t name_length,
                           int64_t value_length) {
  const int64_t capacity = static_cast<int32_t>(value_length);  // only the low 32 bits count
  while (name_length > 0 && name[name_length - 1] == ' ') --name_length;
  const char *v = lookup(name, name_length);
  const size_t full = v ? strlen(v) : 0;
  if (value && capacity > 0) {
    const size_t copied = full < static_cast<size_t>(capacity) ? full : static_cast<size_t>(capacity);
    if (copied) memcpy(value, v, copied);
    memset(value + copied, ' ', static_cast<size_t>(capacity) - copied);
  }
  if (length) *length = full > INT32_MAX ? INT32_MAX : static_cast<int32_t>(full);
}
