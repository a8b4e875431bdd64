#include "rtl/for_sys.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>

namespace {
int sys_open(const char *path, int flags, mode_t mode) { return ::open(path, flags, mode); }
int sys_fstat(int fd, struct stat *st) { return ::fstat(fd, st); }
}  // namespace

extern "C" const for_sys_calls for__sys_default = {
    sys_open, ::close, ::read, ::write, ::lseek, ::ftruncate, sys_fstat, ::unlink, ::mkstemp, ::getcwd,
};
for_sys_calls for__sys = for__sys_default;

int for__sys_open(const char *path, int flags, mode_t mode) {
  int fd;
  do fd = for__sys.open(path, flags | O_CLOEXEC, mode);
  while (fd < 0 && errno == EINTR);
  return fd;
}

// close is not retried: after EINTR the descriptor is already released.
int for__sys_close(int fd) { return for__sys.close(fd); }

ssize_t for__sys_read(int fd, void *buf, size_t count) {
  ssize_t n;
  do n = for__sys.read(fd, buf, count);
  while (n < 0 && errno == EINTR);
  return n;
}

ssize_t for__sys_write(int fd, const void *buf, size_t count) {
  ssize_t n;
  do n = for__sys.write(fd, buf, count);
  while (n < 0 && errno == EINTR);
  return n;
}

off_t for__sys_lseek(int fd, off_t offset, int whence) { return for__sys.lseek(fd, offset, whence); }

int for__sys_ftruncate(int fd, off_t length) {
  int r;
  do r = for__sys.ftruncate(fd, length);
  while (r < 0 && errno == EINTR);
  return r;
}

int for__sys_fstat(int fd, struct stat *st) { return for__sys.fstat(fd, st); }
