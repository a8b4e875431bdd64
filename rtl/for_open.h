// Decoded keywords of one OPEN or CLOSE statement, and the keyword tables.
#pragma once

#include <cstdint>

struct for_lub;

constexpr int FOR_KW_CODES = 87;

struct for_open_kw {
  uint64_t value[FOR_KW_CODES]; // table code or integer per keyword, 0 = not given
  const char *file;
  int64_t file_length;
  bool file_given;
  const char *defaultfile;
  int64_t defaultfile_length;
  bool defaultfile_given;
  char *iomsg;
  int64_t iomsg_length;
};

// One entry of a keyword value table.
struct for_kw_entry {
  uint8_t code;
  const char *text;
  uint8_t length;
};

// The value table of a keyword code, or null when it takes no table value.
const for_kw_entry *for__kw_table(int code, int *count);
// Looks a character value up in a table: folded to upper case, trailing
// blanks removed (the first character always kept).  0 when no entry matches.
int for__kw_lookup(const for_kw_entry *table, int count, const char *text, int64_t length);

// Decodes a keyword list and its arguments.  `allowed` (when not null) lists
// the codes accepted, ending in 0.  0, 45 (no table match) or 48.
int for__decode_keywords(const uint8_t *list, const void *arguments, for_open_kw *kw, int bad_value_error,
                         const int *allowed);

// Resolves the path of a connection.  On success *path is a malloc'd string
// (or null for a standard stream, with *std_fd its descriptor) and *scratch_fd
// the descriptor of a created scratch file, else -1.
int for__compute_filename(for_lub *lub, const for_open_kw *kw, char **path, int *std_fd, int *scratch_fd);
// Relative names are resolved against the working directory as it was first
// looked up; a caller that changes the directory calls this first.
void for__forget_working_directory(void);
int for__open_proc(const for_open_kw *kw, for_lub *lub);
int for__reopen_file(const for_open_kw *kw, for_lub *lub);
// The work of CLOSE (kw may be null); the block keeps its name for a
// diagnostic and is reset by the caller.  0 or an error number.
int for__close_proc(const for_open_kw *kw, for_lub *lub);
// Flushes the block buffer and any pending output of a unit; 0 or 38.
int for__flush_unit(for_lub *lub);
