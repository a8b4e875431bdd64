// Resolving the path of a connection: FILE, FORT<n>, the standard streams,
// "fort.<n>", blank trimming, the prompt, tilde, the directory prefix,
// and scratch files.
#include <dirent.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "rtl/for_lub.h"
#include "rtl/for_msg.h"
#include "rtl/for_open.h"
#include "rtl/for_rtl.h"
#include "rtl/for_sys.h"

namespace {

constexpr int64_t kPathMax = 4096;

struct text {
  char *p = nullptr;
  int64_t n = 0;
  bool ok = true;
  void append(const char *s, int64_t len) {
    if (!ok || len <= 0) return;
    char *q = static_cast<char *>(realloc(p, static_cast<size_t>(n + len + 1)));
    if (!q) {
      ok = false;
      return;
    }
    p = q;
    memcpy(p + n, s, static_cast<size_t>(len));
    n += len;
    p[n] = '\0';
  }
  void append(const char *s) { append(s, static_cast<int64_t>(strlen(s))); }
  char *release() {
    char *r = p;
    p = nullptr;
    n = 0;
    return r;
  }
  ~text() { free(p); }
};

// The standard stream of a standard unit connected by default: 0, 1, 2, or -1
// when the unit is not one or its variable names a file.
int standard_stream(int64_t unit) {
  switch (unit) {
    case -4: return getenv("FOR_READ") ? -1 : 0;
    case -3: return getenv("FOR_ACCEPT") ? -1 : 0;
    case -2: return getenv("FOR_TYPE") ? -1 : 1;
    case -1: return getenv("FOR_PRINT") ? -1 : 1;
    case 5: return 0;
    case 6: return 1;
    case 0: return 2;
    default: return -1;
  }
}

const char *standard_variable(int64_t unit) {
  switch (unit) {
    case -4: return getenv("FOR_READ");
    case -3: return getenv("FOR_ACCEPT");
    case -2: return getenv("FOR_TYPE");
    case -1: return getenv("FOR_PRINT");
    default: return nullptr;
  }
}

// The terminal's name, or /proc/<pid>/fd/<n>.
void stream_name(int fd, text &out) {
  if (isatty(fd)) {
    if (const char *t = ttyname(fd)) {
      out.append(t);
      return;
    }
  }
  char buf[64];
  snprintf(buf, sizeof buf, "/proc/%ld/fd/%d", static_cast<long>(getpid()), fd);
  out.append(buf);
}

// Trims leading blanks and trailing blanks and NULs.
void trim(const char *s, int64_t n, const char **start, int64_t *length) {
  int64_t a = 0;
  while (a < n && s[a] == ' ') ++a;
  while (n > a && (s[n - 1] == ' ' || s[n - 1] == '\0')) --n;
  *start = s + a;
  *length = n - a;
}

// Messages 523 and 524 on the standard output, then one line read from the
// standard input as the name.
void prompt_for_name(int64_t unit, text &out) {
  char line[128];
  int n = snprintf(line, sizeof line, "%s\r\n", for__msg_lookup(FOR_M_NAME_MISSING)->text);
  for_lub *six = for__find_lub(6);
  int ofd = six && six->open ? six->fd : 1;
  if (n > 0) for__sys_write(ofd, line, static_cast<size_t>(n));
  n = snprintf(line, sizeof line, for__msg_lookup(FOR_M_NAME_PROMPT)->text, static_cast<int>(unit));
  if (n > 0) for__sys_write(ofd, line, static_cast<size_t>(n));
  for_lub *five = for__find_lub(5);
  int ifd = five && five->open ? five->fd : 0;
  char c;
  while (for__sys_read(ifd, &c, 1) == 1 && c != '\n') out.append(&c, 1);
  if (out.n > 0 && out.p[out.n - 1] == '\r') out.p[--out.n] = '\0';
}

// The working directory, looked up once per process: the layer never changes
// it, and on a shared file system every lookup is a round trip to a server.
// Tried up to five times; "./" when it keeps failing, and then asked again at
// the next use.
char cached_directory[kPathMax + 1];

void working_directory(text &out) {
  if (cached_directory[0] == '\0') {
    for (int attempt = 0; attempt < 5; ++attempt) {
      if (for__sys.getcwd(cached_directory, sizeof cached_directory)) break;
      cached_directory[0] = '\0';
    }
  }
  out.append(cached_directory[0] != '\0' ? cached_directory : "./");
}

bool is_openable_directory(const char *path) {
  if (!path || !*path) return false;
  DIR *d = opendir(path);
  if (!d) return false;
  closedir(d);
  return true;
}

// The directory prefix of a relative name: DEFAULTFILE or the working
// directory.  A DEFAULTFILE that is blank or itself relative is taken from
// the working directory, so that every stored name is absolute.
void directory_prefix(const for_open_kw *kw, text &dir) {
  const char *d = nullptr;
  int64_t dn = 0;
  if (kw && kw->defaultfile_given) trim(kw->defaultfile, kw->defaultfile_length, &d, &dn);
  if (dn > 0 && d[0] == '/') {
    dir.append(d, dn);
    return;
  }
  working_directory(dir);
  if (dn > 0) {
    if (dir.n > 0 && dir.p[dir.n - 1] != '/') dir.append("/");
    dir.append(d, dn);
  }
}

}  // namespace

void for__forget_working_directory(void) { cached_directory[0] = '\0'; }

int for__compute_filename(for_lub *lub, const for_open_kw *kw, char **path, int *std_fd, int *scratch_fd) {
  *path = nullptr;
  *std_fd = -1;
  *scratch_fd = -1;
  const int64_t unit = lub->unit;
  const bool scratch = kw && kw->value[FOR_KW_STATUS] == FOR_ST_SCRATCH;

  if (scratch && !(kw && kw->file_given)) {
    // A unique file in FORT_TMPDIR, TMPDIR, or the directory of a relative name.
    text tmpl;
    const char *fort_tmp = getenv("FORT_TMPDIR"), *tmp = getenv("TMPDIR");
    if (is_openable_directory(fort_tmp)) tmpl.append(fort_tmp);
    else if (is_openable_directory(tmp)) tmpl.append(tmp);
    else directory_prefix(kw, tmpl);
    if (tmpl.n > 0 && tmpl.p[tmpl.n - 1] != '/') tmpl.append("/");
    tmpl.append("fortXXXXXX");
    if (!tmpl.ok) return FOR_E_NO_MEMORY;
    if (tmpl.n > kPathMax) return FOR_E_FILE_NAME;
    int fd = for__sys.mkstemp(tmpl.p);
    if (fd < 0) {
      lub->saved_errno = errno;
      for__set_lub_name(lub, tmpl.p, tmpl.n);
      return FOR_E_OPEN;
    }
    *scratch_fd = fd;
    *path = tmpl.release();
    return 0;
  }

  // 1. Where the name comes from.
  text name;
  char variable[16];
  snprintf(variable, sizeof variable, "FORT%d", static_cast<int>(unit));
  if (kw && kw->file_given) {
    name.append(kw->file, kw->file_length > kPathMax ? kPathMax : kw->file_length);
  } else if (const char *v = getenv(variable)) {
    name.append(v);
  } else if (const char *s = standard_variable(unit)) {
    name.append(s);
  } else if (int fd = standard_stream(unit); fd >= 0) {
    stream_name(fd, name);
    if (!name.ok) return FOR_E_NO_MEMORY;
    *std_fd = fd;
    *path = name.release();
    return 0;
  } else {
    char buf[32];
    snprintf(buf, sizeof buf, "fort.%d", static_cast<int>(unit));
    name.append(buf);
  }
  if (!name.ok) return FOR_E_NO_MEMORY;

  // 2. Trimmed; a blank name is asked for.
  const char *s = name.p ? name.p : "";
  int64_t n = name.n;
  trim(s, n, &s, &n);
  text asked;
  if (n == 0) {
    prompt_for_name(unit, asked);
    s = asked.p ? asked.p : "";
    trim(s, asked.n, &s, &n);
  }

  // 3.-4. Tilde, then the directory of a relative name.
  text full;
  if (n >= 2 && s[0] == '~' && s[1] == '/' && getenv("HOME")) {
    full.append(getenv("HOME"));
    full.append(s + 1, n - 1);
  } else if (n > 0 && s[0] == '/') {
    full.append(s, n);
  } else {
    directory_prefix(kw, full);
    if (full.n == 0 || full.p[full.n - 1] != '/') full.append("/");
    full.append(s, n);
  }
  if (!full.ok) return FOR_E_NO_MEMORY;

  // 5.
  if (full.n > kPathMax) {
    for__set_lub_name(lub, full.p, full.n);
    return FOR_E_FILE_NAME;
  }
  *path = full.release();
  return 0;
}
