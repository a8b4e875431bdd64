// Whether two file names reach the same file, each resolved as OPEN would
// resolve it (blank trimming, tilde, working directory).
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "rtl/for_lub.h"
#include "rtl/for_open.h"
#include "rtl/for_rtl.h"

namespace {

bool blank(const char *s, int64_t n) {
  for (int64_t i = 0; i < n; ++i)
    if (s[i] != ' ' && s[i] != '\0') return false;
  return true;
}

// The path OPEN would use for FILE = name, or null.
char *resolve(const char *name, int64_t length) {
  if (blank(name, length)) return nullptr;  // would prompt: never the same
  for_lub scratch{};
  scratch.unit = -7;
  scratch.fd = -1;
  scratch.name = const_cast<char *>(for__unknown_name);
  for_open_kw kw{};
  kw.file = name;
  kw.file_length = length;
  kw.file_given = true;
  char *path = nullptr;
  int std_fd = -1, scratch_fd = -1;
  const int r = for__compute_filename(&scratch, &kw, &path, &std_fd, &scratch_fd);
  if (scratch.name != for__unknown_name) free(scratch.name);
  return r == 0 ? path : nullptr;
}

}  // namespace

extern "C" int32_t for__same_file(const char *a, int64_t a_length, const char *b, int64_t b_length) {
  char *pa = resolve(a, a_length), *pb = resolve(b, b_length);
  int32_t same = 0;
  if (pa && pb) {
    struct stat sa, sb;
    same = strcmp(pa, pb) == 0 ||
           (stat(pa, &sa) == 0 && stat(pb, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino);
  }
  free(pa);
  free(pb);
  return same;
}
