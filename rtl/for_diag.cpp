// Emitting diagnostics: the "forrtl" header, the catalogue text, the
// optional traceback and log file, and the run-down after a severe error.
#include "rtl/for_diag.h"

#include <nl_types.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "rtl/for_msg.h"
#include "rtl/for_rtl.h"
#include "rtl/for_state.h"
#include "rtl/tbk.h"

namespace {

constexpr size_t kTextBuffer = 16384;
constexpr size_t kEnvLimit = 261;

nl_catd catalog = reinterpret_cast<nl_catd>(-1);
bool catalog_tried = false;
bool fort0_done = false;
bool abort_on_exit = false;
for_user_error_handler user_handler = nullptr;

// Copies one conversion specification [spec, end) with its arguments.
size_t emit_conversion(char *out, size_t cap, const char *spec, size_t spec_len, int *argc,
                       va_list *ap) {
  char one[32];
  if (spec_len >= sizeof one) return 0;
  memcpy(one, spec, spec_len);
  one[spec_len] = '\0';
  char conv = spec[spec_len - 1];
  int stars = 0;
  bool is_long = false;
  for (size_t i = 1; i + 1 < spec_len; ++i) {
    if (spec[i] == '*') ++stars;
    if (spec[i] == 'l' || spec[i] == 'z' || spec[i] == 'j' || spec[i] == 't') is_long = true;
  }
  int needed = stars + 1;
  if (*argc < needed) {  // not enough arguments: the text stands as it is
    size_t n = spec_len < cap ? spec_len : cap - 1;
    memcpy(out, spec, n);
    out[n] = '\0';
    return n;
  }
  *argc -= needed;
  int star_values[2] = {0, 0};
  for (int i = 0; i < stars && i < 2; ++i) star_values[i] = va_arg(*ap, int);
  int r = 0;
  switch (conv) {
    case 'd':
    case 'i':
    case 'c':
      if (is_long) {
        long v = va_arg(*ap, long);
        r = stars == 0 ? snprintf(out, cap, one, v)
            : stars == 1 ? snprintf(out, cap, one, star_values[0], v)
                         : snprintf(out, cap, one, star_values[0], star_values[1], v);
      } else {
        int v = va_arg(*ap, int);
        r = stars == 0 ? snprintf(out, cap, one, v)
            : stars == 1 ? snprintf(out, cap, one, star_values[0], v)
                         : snprintf(out, cap, one, star_values[0], star_values[1], v);
      }
      break;
    case 'u':
    case 'x':
    case 'X':
    case 'o':
      if (is_long) {
        unsigned long v = va_arg(*ap, unsigned long);
        r = stars == 0 ? snprintf(out, cap, one, v)
            : stars == 1 ? snprintf(out, cap, one, star_values[0], v)
                         : snprintf(out, cap, one, star_values[0], star_values[1], v);
      } else {
        unsigned v = va_arg(*ap, unsigned);
        r = stars == 0 ? snprintf(out, cap, one, v)
            : stars == 1 ? snprintf(out, cap, one, star_values[0], v)
                         : snprintf(out, cap, one, star_values[0], star_values[1], v);
      }
      break;
    case 's': {
      const char *v = va_arg(*ap, const char *);
      if (!v) v = "";
      r = stars == 0 ? snprintf(out, cap, one, v)
          : stars == 1 ? snprintf(out, cap, one, star_values[0], v)
                       : snprintf(out, cap, one, star_values[0], star_values[1], v);
      break;
    }
    case 'p': {
      void *v = va_arg(*ap, void *);
      r = snprintf(out, cap, "%p", v);
      break;
    }
    default:
      r = 0;
      break;
  }
  if (r < 0) r = 0;
  return static_cast<size_t>(r) < cap ? static_cast<size_t>(r) : cap - 1;
}

// The sequence of conversion letters of a text, for comparing catalogue
// texts.  A catalogue file is outside data: however many stars a conversion
// holds, room is left for its letter and the terminator.
void conversion_signature(const char *text, char *sig, size_t cap) {
  size_t n = 0;
  for (const char *p = text; *p && n + 1 < cap; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == '%') continue;
    while (*p && !strchr("diouxXcspfeEgG", *p)) {
      if (*p == '*' && n + 2 < cap) sig[n++] = '*';
      ++p;
    }
    if (!*p) break;
    sig[n++] = *p;
  }
  sig[n] = '\0';
}

bool env_text(const char *name, char *out, size_t cap) {
  const char *v = getenv(name);
  if (!v || !*v) return false;
  size_t n = strlen(v);
  if (n >= kEnvLimit || n >= cap) return false;
  memcpy(out, v, n + 1);
  return true;
}

void run_down() { for__exit_handler(0, 0); }

[[noreturn]] void end_process(int status) {
  if (for__rtl.in_signal_handler) _exit(status);
  exit(status);
}

}  // namespace

char *for__iomsg_buffer = nullptr;
int64_t for__iomsg_length = 0;

void for__fill_iomsg(const char *text) {
  if (!for__iomsg_buffer || for__iomsg_length <= 0) return;
  int64_t n = static_cast<int64_t>(strlen(text));
  if (n > for__iomsg_length) n = for__iomsg_length;
  memcpy(for__iomsg_buffer, text, static_cast<size_t>(n));
  memset(for__iomsg_buffer + n, ' ', static_cast<size_t>(for__iomsg_length - n));
}

size_t for__format_text(char *out, size_t cap, const char *text, int argc, va_list *ap) {
  if (cap == 0) return 0;
  size_t n = 0;
  for (const char *p = text; *p && n + 1 < cap;) {
    if (*p != '%') {
      out[n++] = *p++;
      continue;
    }
    if (p[1] == '%') {
      out[n++] = '%';
      p += 2;
      continue;
    }
    const char *q = p + 1;
    while (*q && strchr("-+ #0123456789.*hlzjtL", *q)) ++q;
    if (!*q) {  // a dangling '%': copy the rest as it stands
      while (*p && n + 1 < cap) out[n++] = *p++;
      break;
    }
    size_t spec_len = static_cast<size_t>(q - p) + 1;
    n += emit_conversion(out + n, cap - n, p, spec_len, &argc, ap);
    p = q + 1;
  }
  out[n] = '\0';
  return n;
}

const char *for__msg_text(int32_t number, int32_t *severity) {
  const for_msg_row *row = for__msg_lookup(number);
  *severity = row->severity;
  if (!catalog_tried) {
    catalog_tried = true;
    catalog = catopen("tavortl", NL_CAT_LOCALE);
  }
  if (catalog == reinterpret_cast<nl_catd>(-1)) return row->text;
  const char *external = catgets(catalog, 1, row->number, row->text);
  if (!external || external == row->text) return row->text;
  // An external text must take the same arguments as the built-in one.
  char a[32], b[32];
  conversion_signature(row->text, a, sizeof a);
  conversion_signature(external, b, sizeof b);
  return strcmp(a, b) == 0 ? external : row->text;
}

extern "C" void for__message_catalog_close(void) {
  if (catalog != reinterpret_cast<nl_catd>(-1)) catclose(catalog);
  catalog = reinterpret_cast<nl_catd>(-1);
  catalog_tried = false;
}

extern "C" for_user_error_handler for__establish_user_error_handler(for_user_error_handler handler) {
  for_user_error_handler old = user_handler;
  user_handler = handler;
  return old;
}

extern "C" const char *for__get_msg(int32_t message, int32_t argc, ...) {
  static char text[kTextBuffer];
  int32_t severity;
  const char *format = for__msg_text(message, &severity);
  va_list ap;
  va_start(ap, argc);
  for__format_text(text, sizeof text, format, argc, &ap);
  va_end(ap);
  return text;
}

extern "C" int32_t for__issue_diagnostic(int32_t message, int32_t argc, ...) {
  // 1. Switches.
  const bool debugger =
      for_check_env_name("FOR__IS_DEBUGGER_PRESENT") || for_check_env_name("FOR_DEBUGGER_IS_PRESENT");
  const bool disable_trace = for_check_env_name("FOR_DISABLE_STACK_TRACE");
  const bool force_trace = for_check_env_name("FOR_FORCE_STACK_TRACE");

  // 2. Severity and text.
  int32_t severity;
  const char *format = for__msg_text(message, &severity);
  if (severity < 0 || severity > FOR_SEV_SEVERE) severity = FOR_SEV_SEVERE;

  // 3. The text buffer.  Inside the signal handler a static one: the signal
  // may have arrived inside malloc.
  static char signal_text[kTextBuffer];
  const bool in_handler = for__rtl.in_signal_handler != 0;
  char *text = in_handler ? signal_text : static_cast<char *>(malloc(kTextBuffer));
  if (!text) {
    const char *t = for__msg_lookup(FOR_M_NO_TEXT_BUFFER)->text;
    if (write(2, t, strlen(t)) < 0 || write(2, "\n", 1) < 0) {
    }
  }

  // 4. Standard error redirected once per process.
  if (!fort0_done) {
    fort0_done = true;
    char path[kEnvLimit];
    if (env_text("FORT0", path, sizeof path)) {
      if (!freopen(path, "a", stderr)) {
      }
    }
  }

  size_t length = 0;
  if (text) {
    // 5. Header, message, line feed.
    length = static_cast<size_t>(snprintf(text, kTextBuffer, severity_table[severity], message));
    if (length >= kTextBuffer) length = kTextBuffer - 1;
    size_t body = length;
    va_list ap;
    va_start(ap, argc);
    if (argc > 0) {
      length += for__format_text(text + length, kTextBuffer - length, format, argc, &ap);
    } else {
      length += static_cast<size_t>(snprintf(text + length, kTextBuffer - length, "%s", format));
      if (length >= kTextBuffer) length = kTextBuffer - 1;
    }
    va_end(ap);
    if (length + 1 < kTextBuffer) {
      text[length++] = '\n';
      text[length] = '\0';
    }
    if (for__iomsg_buffer) {
      char saved = text[length - 1];
      text[length - 1] = '\0';
      for__fill_iomsg(text + body);
      text[length - 1] = saved;
    }

    // 6. A user handler may take over.
    if (user_handler &&
        user_handler(message, severity < FOR_SEV_SEVERE, text, static_cast<int64_t>(length)) != 0) {
      if (!in_handler) free(text);
      return severity;
    }

    // 7. Traceback.
    const bool caught = for__rtl.exception && for__rtl.exception->caught;
    if (force_trace || (!debugger && !disable_trace &&
                        (severity >= FOR_SEV_ERROR || caught || (message >= 404 && message <= 407)))) {
      void *context = caught ? for__rtl.exception->context : nullptr;
      length = static_cast<size_t>(
          tbk_stack_trace(context, text, static_cast<int64_t>(length), static_cast<int64_t>(kTextBuffer), 0));
    }

    // 8. Log file.
    char path[kEnvLimit];
    if (env_text("FOR_DIAGNOSTIC_LOG_FILE", path, sizeof path)) {
      if (FILE *log = fopen(path, "a")) {
        fprintf(log, "%s", text);
        fclose(log);
      }
    }

    // 9. Standard error.
    if (!for_check_env_name("FOR_DISABLE_DIAGNOSTIC_DISPLAY")) {
      if (in_handler) {
        // write(2) rather than stdio, which the signal may have interrupted.
        for (size_t done = 0; done < length;) {
          ssize_t n = write(fileno(stderr), text + done, length - done);
          if (n <= 0) break;
          done += static_cast<size_t>(n);
        }
      } else {
        fprintf(stderr, "%s", text);
        fflush(stderr);
      }
    }
    if (!in_handler) free(text);
  }

  // 10. Hand control to a debugger for errors.
  if (debugger && severity == FOR_SEV_ERROR) raise(SIGINT);

  // 11. Core dump on request, whatever the severity.
  if (for_check_env_name("FOR_DUMP_CORE_FILE") || abort_on_exit) {
    run_down();
    if (debugger) raise(SIGABRT);
    signal(SIGABRT, SIG_DFL);
    abort();
  }

  // 12. Severe: run down and end with the message number.  While the exit
  // handler itself runs, the process is already ending: report and return.
  if (severity == FOR_SEV_SEVERE && !for__rtl.exit_in_progress) {
    run_down();
    if (debugger) raise(SIGABRT);
    end_process(message);
  }
  return severity;
}
