// System calls of the run-time, reached through one table so that tests can
// inject failures (short writes, ENOSPC, EINTR).  The for__sys_* wrappers
// retry calls interrupted by a signal.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

struct for_sys_calls {
  int (*open)(const char *path, int flags, mode_t mode);
  int (*close)(int fd);
  ssize_t (*read)(int fd, void *buf, size_t count);
  ssize_t (*write)(int fd, const void *buf, size_t count);
  off_t (*lseek)(int fd, off_t offset, int whence);
  int (*ftruncate)(int fd, off_t length);
  int (*fstat)(int fd, struct stat *st);
  int (*unlink)(const char *path);
  int (*mkstemp)(char *tmpl);
  char *(*getcwd)(char *buf, size_t size);
};

extern "C" for_sys_calls for__sys;
// The table as the process started, for tests that restore it.
extern "C" const for_sys_calls for__sys_default;

int for__sys_open(const char *path, int flags, mode_t mode);
int for__sys_close(int fd);
ssize_t for__sys_read(int fd, void *buf, size_t count);
ssize_t for__sys_write(int fd, const void *buf, size_t count);
off_t for__sys_lseek(int fd, off_t offset, int whence);
int for__sys_ftruncate(int fd, off_t length);
int for__sys_fstat(int fd, struct stat *st);
