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

// The directory of a key's path (everything up to its last slash), looked
// up once.
bool directory_of(for_file_key *key, const char *slash) {
  if (key->directory < 0) {
    const size_t n = static_cast<size_t>(slash - key->path) + 1;
    char dir[PATH_MAX];
    struct stat st;
    key->directory = 0;
    if (n < sizeof dir) {
      memcpy(dir, key->path, n);
      dir[n] = '\0';
      if (stat(dir, &st) == 0) {
        key->directory = 1;
        key->directory_dev = st.st_dev;
        key->directory_ino = st.st_ino;
      }
    }
  }
  return key->directory == 1;
}

}  // namespace

// An ordinary file or a name not yet created costs one lstat; a symbolic
// link is followed to what it names or, dangling, to what creating it would
// create.
extern "C" void for__file_key(const char *name, int64_t length, for_file_key *key) {
  *key = for_file_key{};
  key->directory = -1;
  key->path = resolve(name, length);
  if (!key->path) return;
  struct stat st;
  if (lstat(key->path, &st) != 0) return;
  if (S_ISLNK(st.st_mode)) {
    key->path = creation_target(key->path);
    if (stat(key->path, &st) != 0) return;
  }
  key->exists = 1;
  key->dev = st.st_dev;
  key->ino = st.st_ino;
}

// The same path, the same existing file, or the same last component in one
// directory: the rule that still holds when neither file exists yet ("./x"
// and "d/../x").
extern "C" int32_t for__same_key(for_file_key *a, for_file_key *b) {
  if (!a->path || !b->path) return 0;
  if (strcmp(a->path, b->path) == 0) return 1;
  if (a->exists && b->exists) return a->dev == b->dev && a->ino == b->ino;
  const char *sa = strrchr(a->path, '/'), *sb = strrchr(b->path, '/');
  if (!sa || !sb || sa[1] == '\0' || strcmp(sa + 1, sb + 1) != 0) return 0;
  return directory_of(a, sa) && directory_of(b, sb) && a->directory_dev == b->directory_dev &&
         a->directory_ino == b->directory_ino;
}

extern "C" void for__free_file_key(for_file_key *key) {
  free(key->path);
  key->path = nullptr;
}

extern "C" int32_t for__same_file(const char *a, int64_t a_length, const char *b, int64_t b_length) {
  for_file_key ka, kb;
  for__file_key(a, a_length, &ka);
  for__file_key(b, b_length, &kb);
  const int32_t same = for__same_key(&ka, &kb);
  for__free_file_key(&ka);
  for__free_file_key(&kb);
  return same;
}
