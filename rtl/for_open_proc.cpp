// Connecting a unit: open flags by STATUS, the read-only retry, the errno
// mapping, record and buffering defaults, descriptor inspection, POSITION.
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>

#include "rtl/for_lub.h"
#include "rtl/for_msg.h"
#include "rtl/for_open.h"
#include "rtl/for_rtl.h"
#include "rtl/for_state.h"
#include "rtl/for_sys.h"

namespace {

constexpr int64_t kDefaultRecl = 132;
constexpr int64_t kDefaultBlock = 8192;

// Whether the next OPEN that may create its file tries creating it
// exclusively first (a hint only: either way the same file is opened).
std::atomic<bool> create_first{true};

int errno_to_error(int e) {
  switch (e) {
    case ENOENT: return FOR_E_NOT_FOUND;
    case ENXIO: return FOR_E_NO_DEVICE;
    case EACCES:
    case EROFS: return FOR_E_PERMISSION;
    case EEXIST: return FOR_E_EXISTS;
    case ENOTDIR:
    case ENAMETOOLONG: return FOR_E_FILE_NAME;
    case EMFILE: return FOR_E_TOO_MANY_FILES;
    default: return FOR_E_OPEN;
  }
}

// A positive decimal integer, or false.
bool positive_integer(const char *v, int64_t *out) {
  if (!v || !*v) return false;
  int64_t n = 0;
  for (const char *p = v; *p; ++p) {
    if (*p < '0' || *p > '9' || n > (INT64_MAX - 9) / 10) return false;
    n = n * 10 + (*p - '0');
  }
  if (n <= 0) return false;
  *out = n;
  return true;
}

// Units that write to the standard output and may be block-buffered there.
bool stdout_bufferable(int64_t unit) { return unit == -2 || unit == -1 || unit == 6; }

// Record, buffering and descriptor state of a freshly opened unit; known is
// the descriptor's status when the caller has already taken it, or null.
int finish_connection(const for_open_kw *kw, for_lub *lub, const struct stat *known) {
  // 8. Record length, carriage control, record type.
  const uint64_t recl = kw->value[FOR_KW_RECL];
  lub->recl = recl ? static_cast<int64_t>(recl) : (for__rtl.fmt_recl >= 0 ? for__rtl.fmt_recl : kDefaultRecl);
  lub->lis_width = recl ? static_cast<int32_t>(recl) : 80;
  lub->carriage = kw->value[FOR_KW_CARRIAGECONTROL] ? static_cast<uint8_t>(kw->value[FOR_KW_CARRIAGECONTROL])
                                                   : FOR_CC_LIST;
  lub->rectype = kw->value[FOR_KW_RECORDTYPE] ? static_cast<uint8_t>(kw->value[FOR_KW_RECORDTYPE])
                                             : FOR_RT_STREAM_LF;
  lub->blank_zero = kw->value[FOR_KW_BLANK] == 2;
  lub->pad = kw->value[FOR_KW_PAD] != 1;
  lub->no_wrap_margin = for_check_env_name("FORT_FMT_NO_WRAP_MARGIN");

  // 9. Buffering.
  lub->blocksize = for__rtl.blocksize > 0 ? for__rtl.blocksize : kDefaultBlock;
  lub->buffercount = for__rtl.buffercount > 0 ? for__rtl.buffercount : 1;
  const int64_t block = static_cast<int64_t>(lub->buffercount) * lub->blocksize;
  lub->transfer_size = block > lub->recl + 4 ? block : lub->recl + 4;
  const uint64_t buffered = kw->value[FOR_KW_BUFFERED];
  if (lub->fd == 1 || lub->fd == 2) {
    lub->buffered = lub->fd == 1 && stdout_bufferable(lub->unit) && for_check_env_name("FORT_BUFFER_STDOUT");
  } else {
    lub->buffered = buffered == 2 || (buffered == 0 && for_check_env_name("FORT_BUFFERED"));
  }
  if (lub->buffered) {
    if (const char *t = getenv("FORT_BUFFERING_THRESHOLD")) {
      if (!positive_integer(t, &lub->threshold)) return FOR_E_THRESHOLD_SYNTAX;
    }
  }

  // 10. What the descriptor is.
  struct stat st;
  if (known) {
    st = *known;
  } else if (for__sys_fstat(lub->fd, &st) != 0) {
    if (errno != ENOTSUP) {
      lub->saved_errno = errno;
      return FOR_E_STAT;
    }
    memset(&st, 0, sizeof st);
  }
  // A new file that an ordinary open found empty may well have been
  // created by it: the next OPEN tries creating exclusively again.  After
  // REPLACE every file is empty, so that says nothing.
  if (!known && kw->value[FOR_KW_STATUS] != FOR_ST_REPLACE && S_ISREG(st.st_mode) && st.st_size == 0)
    create_first = true;
  if (S_ISFIFO(st.st_mode)) {
    struct timespec pause = {0, 50}, left;
    while (nanosleep(&pause, &left) != 0 && errno == EINTR) pause = left;
  }
  // Only a character device can be a terminal: a regular file needs no ioctl.
  lub->is_tty = (st.st_mode == 0 || S_ISCHR(st.st_mode)) && isatty(lub->fd);
  lub->regular = st.st_nlink != 0 && !S_ISFIFO(st.st_mode) && !S_ISSOCK(st.st_mode) && !lub->is_tty;

  // 11. Formatted units share line feeds on terminals.
  if (lub->form & FOR_FORM_FORMATTED) for__add_to_lf_table(lub);

  // 12. POSITION.
  if (kw->value[FOR_KW_POSITION] == 1 || lub->access == FOR_ACC_APPEND) {
    if (for__sys_lseek(lub->fd, 0, SEEK_END) < 0) {
      lub->saved_errno = errno;
      return FOR_E_NO_SEEK;
    }
  }

  // 13. Writing into a file cuts it after the new records.  An empty file
  // has nothing to cut: its first record need not go out on its own, and no
  // truncation follows it.
  const bool empty = S_ISREG(st.st_mode) && st.st_size == 0;
  if (lub->regular && !empty && ((lub->form & FOR_FORM_FORMATTED) || lub->access != FOR_ACC_STREAM) &&
      lub->access != FOR_ACC_APPEND)
    lub->truncate_next = true;
  lub->recnum = 1;
  lub->fast = for__fast_paths(lub);
  lub->open = true;
  for__rtl.exit_armed = true;
  return 0;
}

}  // namespace

int for__open_proc(const for_open_kw *kw, for_lub *lub) {
  // Settings read at start-up that every formatted connection depends on.
  if (for__rtl.fmt_recl == FOR_SIZE_INVALID) return FOR_E_FMT_RECL_SYNTAX;
  if (for__rtl.blocksize == FOR_SIZE_INVALID) return FOR_E_BLOCKSIZE_SYNTAX;
  if (for__rtl.buffercount == FOR_SIZE_INVALID) return FOR_E_BUFFERCOUNT_SYNTAX;

  const uint64_t status = kw->value[FOR_KW_STATUS] ? kw->value[FOR_KW_STATUS] : FOR_ST_UNKNOWN;
  uint64_t action = kw->value[FOR_KW_ACTION] ? kw->value[FOR_KW_ACTION] : kw->value[FOR_KW_MODE];
  lub->access = kw->value[FOR_KW_ACCESS] ? static_cast<uint8_t>(kw->value[FOR_KW_ACCESS]) : FOR_ACC_SEQUENTIAL;
  lub->form = kw->value[FOR_KW_FORM] ? static_cast<uint8_t>(kw->value[FOR_KW_FORM]) : FOR_FORM_FORMATTED;
  lub->action = action ? static_cast<uint8_t>(action) : FOR_ACT_READWRITE;
  if (lub->access == FOR_ACC_DIRECT || lub->access == FOR_ACC_KEYED || lub->form != FOR_FORM_FORMATTED)
    return FOR_E_BAD_ARGUMENT;  // transfers of these kinds are not provided

  struct stat opened;
  const struct stat *known = nullptr;

  // 5. The path.
  char *path = nullptr;
  int std_fd = -1, scratch_fd = -1;
  int r = for__compute_filename(lub, kw, &path, &std_fd, &scratch_fd);
  if (r) return r;
  if (!for__set_lub_name(lub, path, static_cast<int64_t>(strlen(path)))) {
    free(path);
    if (scratch_fd >= 0) for__sys_close(scratch_fd);
    return FOR_E_NO_MEMORY;
  }
  free(path);

  if (std_fd >= 0) {
    // A standard unit on its stream uses the inherited descriptor.
    lub->fd = std_fd;
    lub->std_stream = true;
    lub->readonly = std_fd == 0;
    lub->writeonly = std_fd != 0;
  } else if (scratch_fd >= 0) {
    lub->fd = scratch_fd;
    lub->scratch = true;
    lub->dispose_delete = true;
  } else {
    // 4., 6. Open flags by ACTION and STATUS.
    int mode = action == FOR_ACT_READ ? O_RDONLY : action == FOR_ACT_WRITE ? O_WRONLY : O_RDWR;
    // An existing FIFO opened read-write would hold its own write end, so
    // that reading it never meets the end of file: read it only.  The status
    // of an existing regular file taken here also stands for its descriptor's,
    // so that opening it costs one status call, not two.
    if (!action && status == FOR_ST_OLD && stat(lub->name, &opened) == 0) {
      if (S_ISFIFO(opened.st_mode)) mode = O_RDONLY;
      if (S_ISREG(opened.st_mode)) known = &opened;
    }
    int flags = mode;
    if (status == FOR_ST_NEW) flags |= O_CREAT | O_EXCL;
    if ((status == FOR_ST_UNKNOWN || status == FOR_ST_REPLACE || status == FOR_ST_SCRATCH) && action != FOR_ACT_READ)
      flags |= O_CREAT;
    // A file this OPEN creates is known without asking: empty and regular.
    // Creating it exclusively first says whether it was created; any failure
    // takes the ordinary open, with that open's own errors.  After a name
    // that already existed the next OPEN goes straight to the ordinary open,
    // so that a sweep over the files of an earlier run pays no failed call
    // per file.
    const bool may_create = (status == FOR_ST_UNKNOWN || status == FOR_ST_REPLACE) && action != FOR_ACT_READ;
    bool created = false;
    int fd = -1;
    if (may_create && create_first) {
      fd = for__sys_open(lub->name, flags | O_EXCL, 0666);
      created = fd >= 0;
      create_first = created;
    }
    if (created) {
      memset(&opened, 0, sizeof opened);
      opened.st_mode = S_IFREG;
      opened.st_nlink = 1;
      known = &opened;
    } else {
      fd = for__sys_open(lub->name, flags, 0666);
    }
    if (fd < 0 && !action && (errno == EPERM || errno == EACCES || errno == EROFS)) {
      const int first = errno;
      fd = for__sys_open(lub->name, (flags & ~(O_ACCMODE | O_CREAT | O_EXCL)) | O_RDONLY, 0666);
      if (fd >= 0) lub->readonly = true;
      else errno = first;
    }
    if (fd < 0) {
      lub->saved_errno = errno;
      return errno_to_error(errno);
    }
    lub->fd = fd;
    if (mode == O_RDONLY) lub->readonly = true;
    if (mode == O_WRONLY) lub->writeonly = true;
    if (status == FOR_ST_REPLACE && !created && !lub->readonly && for__sys_ftruncate(fd, 0) != 0 && errno != EINVAL) {
      lub->saved_errno = errno;
      return FOR_E_OPEN;
    }
    if (status == FOR_ST_SCRATCH) {
      lub->scratch = true;
      lub->dispose_delete = true;
    }
  }

  const uint64_t dispose = kw->value[FOR_KW_DISPOSE];
  if (dispose == 2 || dispose == 5 || dispose == 6) lub->dispose_delete = true;
  if (dispose == 3 || dispose == 5) lub->dispose_print = true;
  if (dispose == 4 || dispose == 6) lub->dispose_submit = true;
  return finish_connection(kw, lub, known);
}

int for__reopen_file(const for_open_kw *kw, for_lub *lub) {
  int r = for__flush_unit(lub);
  if (r) return r;
  char *path = nullptr;
  int std_fd = -1, scratch_fd = -1;
  const bool scratch = kw->value[FOR_KW_STATUS] == FOR_ST_SCRATCH;
  if (!scratch) {
    r = for__compute_filename(lub, kw, &path, &std_fd, &scratch_fd);
    if (r) return r;
    const bool same = path && strcmp(path, lub->name) == 0;
    free(path);
    if (same) {
      // Only what may change on a connected unit is applied.
      if (kw->value[FOR_KW_BLANK]) lub->blank_zero = kw->value[FOR_KW_BLANK] == 2;
      if (kw->value[FOR_KW_PAD]) lub->pad = kw->value[FOR_KW_PAD] != 1;
      return 0;
    }
  }
  // The statement's keyword bits survive the reset: a failure of the new
  // connection still goes back to a caller that asked for it.
  const uint8_t bits = lub->kwbits;
  r = for__close_default(lub);
  for__reset_lub(lub);
  lub->kwbits = bits;
  if (r) return r;
  return for__open_proc(kw, lub);
}

extern "C" int for__open_default(for_lub *lub, int32_t access, int32_t status, int32_t form) {
  for_open_kw kw{};
  kw.value[FOR_KW_ACCESS] = static_cast<uint64_t>(access);
  kw.value[FOR_KW_STATUS] = static_cast<uint64_t>(status);
  kw.value[FOR_KW_FORM] = static_cast<uint64_t>(form);
  int r = for__open_proc(&kw, lub);
  if (r) {
    // A failed connection leaves the unit closed, with its name kept for the
    // diagnostic that follows.
    if (lub->fd >= 0 && !lub->std_stream) for__sys_close(lub->fd);
    lub->fd = -1;
    lub->open = false;
    if (lub->in_lf_table) for__remove_from_lf_table(lub);
  }
  return r;
}
