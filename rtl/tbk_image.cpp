// Which image holds an address (the process's memory map) and which routine
// (the dynamic linker's symbol lookup).
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include "rtl/tbk_internal.h"

namespace {

constexpr size_t kNameCap = 256;

// The last mapping found; consecutive frames usually share an image.
struct {
  bool valid;
  uintptr_t low, high;
  char name[kNameCap];
} cache;

// Parses /proc/<pid>/maps one byte at a time, so that lines of any length
// (paths up to PATH_MAX) need no line buffer.  Each line reads
// "low-high perms offset dev inode   path"; the path may be absent.
struct maps_parser {
  int field;           // 0 range, 1 perms, 2 offset, 3 dev, 4 inode, 5 path
  bool in_high;        // field 0: past the '-'
  bool between;        // in the blanks after a field
  uintptr_t low, high;
  bool is_file;        // the path starts with '/'
  bool path_started;
  size_t name_length;  // bytes of the path after its last '/'
  char name[kNameCap];  // cut at kNameCap - 1 bytes
};

void start_line(maps_parser *p) {
  p->field = 0;
  p->in_high = false;
  p->between = false;
  p->low = p->high = 0;
  p->is_file = false;
  p->path_started = false;
  p->name_length = 0;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void feed(maps_parser *p, char c) {
  if (p->field == 5) {
    if (!p->path_started) {
      p->path_started = true;
      p->is_file = c == '/';
    }
    if (c == '/') {
      p->name_length = 0;
    } else if (p->name_length + 1 < kNameCap) {
      p->name[p->name_length++] = c;
    }
    return;
  }
  if (c == ' ') {
    p->between = true;
    return;
  }
  if (p->between) {
    p->between = false;
    ++p->field;
    if (p->field == 5) {
      feed(p, c);
      return;
    }
  }
  if (p->field == 0) {
    if (c == '-') {
      p->in_high = true;
      return;
    }
    int d = hex_digit(c);
    if (d < 0) return;
    uintptr_t &v = p->in_high ? p->high : p->low;
    v = (v << 4) | static_cast<uintptr_t>(d);
  }
}

void copy_name(char *out, size_t cap, const char *name) {
  size_t n = strlen(name);
  if (n + 1 > cap) n = cap - 1;
  memcpy(out, name, n);
  out[n] = '\0';
}

// Looks the address up in the map; true when a line contains it.
bool find_mapping(uintptr_t address) {
  char path[40] = "/proc/";
  tbk_text t = {path, 6, sizeof path};
  tbk_put_dec(&t, getpid());
  tbk_puts(&t, "/maps");
  int fd;
  do {
    fd = open(path, O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  static char chunk[4096];
  static maps_parser p;
  start_line(&p);
  bool found = false;
  while (!found) {
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    for (ssize_t i = 0; i < n && !found; ++i) {
      if (chunk[i] != '\n') {
        feed(&p, chunk[i]);
        continue;
      }
      if (address >= p.low && address < p.high) {
        found = true;
        cache.valid = true;
        cache.low = p.low;
        cache.high = p.high;
        p.name[p.name_length] = '\0';
        copy_name(cache.name, sizeof cache.name, p.is_file && p.name_length > 0 ? p.name : "Unknown");
      }
      start_line(&p);
    }
  }
  close(fd);
  return found;
}

}  // namespace

void tbk_image_cache_reset(void) { cache.valid = false; }

void tbk_image_name(uintptr_t address, char *out, size_t cap) {
  if (cap == 0) return;
  if (!(cache.valid && address >= cache.low && address < cache.high) && !find_mapping(address)) {
    copy_name(out, cap, "Unknown");
    return;
  }
  copy_name(out, cap, cache.name);
}

const char *tbk_routine_name(uintptr_t address) {
  Dl_info info;
  if (dladdr(reinterpret_cast<void *>(address), &info) != 0 && info.dli_sname && *info.dli_sname)
    return info.dli_sname;
  return "Unknown";
}
