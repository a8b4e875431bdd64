// Whether two file names reach the same file, each resolved as OPEN would
// resolve it (blank trimming, tilde, working directory).
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Replaces the absolute path p, while it is a symbolic link whose target does
// not exist, by that target: the file that creating p would create.  At most
// eight links are followed, as a bound against loops.
char *creation_target(char *p) {
  for (int hop = 0; hop < 8; ++hop) {
    struct stat st;
    if (lstat(p, &st) != 0 || !S_ISLNK(st.st_mode) || stat(p, &st) == 0) break;
    char target[PATH_MAX];
    const ssize_t n = readlink(p, target, sizeof target - 1);
    if (n <= 0) break;
    target[n] = '\0';
    const char *slash = strrchr(p, '/');
    const size_t dir = target[0] == '/' ? 0 : static_cast<size_t>(slash - p) + 1;
    char *q = static_cast<char *>(malloc(dir + static_cast<size_t>(n) + 1));
    if (!q) break;
    memcpy(q, p, dir);
    memcpy(q + dir, target, static_cast<size_t>(n) + 1);
    free(p);
    p = q;
  }
  return p;
}

bool same_inode(const char *a, const char *b) {
  struct stat sa, sb;
  return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// Same last component, and the directories before it are one directory: the
// rule that still holds when neither file exists yet ("./x" and "d/../x").
bool same_entry(char *a, char *b) {
  char *sa = strrchr(a, '/'), *sb = strrchr(b, '/');
  if (!sa || !sb || sa[1] == '\0' || strcmp(sa + 1, sb + 1) != 0) return false;
  const char ka = sa[1], kb = sb[1];
  sa[1] = sb[1] = '\0';  // a and b now end in their directories' slash
  const bool same = same_inode(a, b);
  sa[1] = ka;
  sb[1] = kb;
  return same;
}

}  // namespace

extern "C" int32_t for__same_file(const char *a, int64_t a_length, const char *b, int64_t b_length) {
  char *pa = resolve(a, a_length), *pb = resolve(b, b_length);
  int32_t same = 0;
  if (pa && pb) {
    pa = creation_target(pa);
    pb = creation_target(pb);
    same = strcmp(pa, pb) == 0 || same_inode(pa, pb) || same_entry(pa, pb);
  }
  free(pa);
  free(pb);
  return same;
}
