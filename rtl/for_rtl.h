/* The run-time layer's entry points, as compiled code calls them.
 *
 * Every entry has C linkage and the name that compiled code expects.  Character
 * values travel as an address and a length (no terminator).  I/O entries take a
 * caller-owned statement block whose first word the caller zeroes before the
 * start call, an options word, an item descriptor string of 2-byte entries
 * (type code, passing mode) and an argument block of 8-byte slots. */
#ifndef TAVO_RTL_FOR_RTL_H
#define TAVO_RTL_FOR_RTL_H

#include <stddef.h>
#include <stdint.h>

#include "cvt/cvt.h"
#include "fmt/cvt_int.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__cplusplus)
#define FOR_NORETURN [[noreturn]]
#else
#define FOR_NORETURN _Noreturn
#endif

/* ---- Options word ----------------------------------------------------- */
#define FOR_OPT_ERR ((uint64_t)0x1)              /* ERR= or IOSTAT= given   */
#define FOR_OPT_END ((uint64_t)0x2)              /* END= given              */
#define FOR_OPT_EOR ((uint64_t)1 << 21)          /* EOR= given              */
#define FOR_OPT_STOP_MESSAGE ((uint64_t)1 << 27) /* STOP prints 521/522     */
#define FOR_OPT_UPPER_VALID ((uint64_t)1 << 31)  /* upper half carries bits */
#define FOR_OPT_IEEE_REPORT ((uint64_t)1 << 38)  /* STOP reports IEEE flags */
#define FOR_OPT_KEYWORD_LIST ((uint64_t)0x10 << 32)
#define FOR_OPT_STRICT_TYPING ((uint64_t)0x20 << 32)
/* The word the program passes with every statement, and with END=. */
#define FOR_OPTS_PROGRAM ((uint64_t)0x1208384FF00)
#define FOR_OPTS_PROGRAM_END ((uint64_t)0x1208384FF02)

/* ---- Item descriptor strings ------------------------------------------ */
#define FOR_DESC_END 1  /* the I/O list ends in this call  */
#define FOR_DESC_NEXT 2 /* another item call follows       */
#define FOR_DESC_SKIP 65

enum for_type_code {
  FOR_TYPE_LOGICAL1 = 3,
  FOR_TYPE_LOGICAL2 = 4,
  FOR_TYPE_LOGICAL4 = 5,
  FOR_TYPE_LOGICAL8 = 6,
  FOR_TYPE_INTEGER1 = 7,
  FOR_TYPE_INTEGER2 = 8,
  FOR_TYPE_INTEGER4 = 9,
  FOR_TYPE_INTEGER8 = 10,
  FOR_TYPE_REAL4 = 26,
  FOR_TYPE_REAL8 = 48,
  FOR_TYPE_CHARACTER = 56
};

enum for_pass_mode {
  FOR_PASS_VALUE = 1,   /* one slot: the value itself              */
  FOR_PASS_ADDRESS = 3, /* one slot: the item's address            */
  FOR_PASS_LENADDR = 4, /* two slots: length (64-bit), address     */
  FOR_PASS_ARRAY = 5    /* two slots: byte length, address         */
};

/* Caller-owned state of one I/O statement.  Zero word[0] before the start
 * call; pass the same block to every call of the statement. */
typedef struct for_stmt_block {
  uint64_t word[96];
} for_stmt_block;

/* ---- OPEN / CLOSE keyword lists --------------------------------------- */
/* Each item is 4 bytes: value kind, flags (4), keyword code, 0. */
#define FOR_KW_KIND_END 1
#define FOR_KW_KIND_INT 9   /* one slot: the 64-bit value               */
#define FOR_KW_KIND_CHAR 56 /* two slots: length (64-bit), address       */
enum for_kw_code {
  FOR_KW_ACCESS = 2,
  FOR_KW_BLANK = 6,
  FOR_KW_CARRIAGECONTROL = 8,
  FOR_KW_DEFAULTFILE = 10,
  FOR_KW_DISPOSE = 12,
  FOR_KW_FILE = 13,
  FOR_KW_FORM = 15,
  FOR_KW_ORGANIZATION = 18,
  FOR_KW_RECL = 22,
  FOR_KW_RECORDTYPE = 23,
  FOR_KW_STATUS = 26,
  FOR_KW_NAME = 43,
  FOR_KW_CONVERT = 52,
  FOR_KW_ACTION = 58,
  FOR_KW_DELIM = 59,
  FOR_KW_PAD = 60,
  FOR_KW_POSITION = 61,
  FOR_KW_MODE = 67,
  FOR_KW_SHARE = 68,
  FOR_KW_BUFFERED = 71,
  FOR_KW_ASYNCHRONOUS = 75,
  FOR_KW_IOMSG = 78,
  FOR_KW_ROUND = 81,
  FOR_KW_DECIMAL = 82,
  FOR_KW_SIGN = 83,
  FOR_KW_ENCODING = 84,
  FOR_KW_NEWUNIT = 86
};

/* ---- Start-up and termination ----------------------------------------- */
void MAIN__(void); /* the main program, supplied by the application */
void for_rtl_init_(int32_t *argc, char **argv);
int32_t for_rtl_finish_(void);
int32_t for_set_reentrancy(const int32_t *mode);
FOR_NORETURN void for_stop_core(const char *text, int64_t length, uint64_t options, int32_t code,
                                int32_t code_given);
FOR_NORETURN void for_stop(const char *text, int64_t length, uint64_t flags);
FOR_NORETURN void for_abort(const char *text, int64_t length, uint64_t flags);
FOR_NORETURN void for_exit(const int32_t *status);
int32_t for__exit_handler(int32_t a, int32_t b);
int32_t for__decl_exit_hand(void);
void for__fpe_exit_handler(void);
int32_t for_check_env_name(const char *name);
void for__default_io_sizes_env_init(void);
double for__process_start_time(void);

/* ---- Command line and character values -------------------------------- */
int32_t for_iargc(void);
int32_t for_nargs(void);
int32_t nargs_(void);
int32_t iargc_(void);
int32_t iarg_(void);
int32_t numarg_(void);
void for_getarg(const int32_t *number, char *buffer, int32_t *status, int64_t length);
void getarg_(const int32_t *number, char *buffer, int64_t length);
void for_getarg_i2(const int16_t *number, char *buffer, int16_t *status, int64_t length);
void for_getcmd_arg(const int32_t *number, char *buffer, int32_t *arg_length, int32_t *status,
                    int64_t length);

/* The value of the environment variable named by name (trailing blanks
 * dropped), blank-padded into value; *length gets its full length, 0 when
 * the variable is unset or empty. */
void for_getenv(const char *name, char *value, int32_t *length, int64_t name_length, int64_t value_length);

void for_cpystr(char *target, int64_t target_length, const char *source, int64_t source_length,
                int32_t fill);
int32_t for_cpstr(const char *a, int64_t a_length, const char *b, int64_t b_length, int32_t relation);
int32_t for_cpstr_eq(const char *a, int64_t a_length, const char *b, int64_t b_length);
int32_t for_cpstr_ne(const char *a, int64_t a_length, const char *b, int64_t b_length);
int32_t for_cpstr_gt(const char *a, int64_t a_length, const char *b, int64_t b_length);
int32_t for_cpstr_lt(const char *a, int64_t a_length, const char *b, int64_t b_length);
int32_t for_cpstr_ge(const char *a, int64_t a_length, const char *b, int64_t b_length);
int32_t for_cpstr_le(const char *a, int64_t a_length, const char *b, int64_t b_length);

enum for_relation { FOR_REL_GT = 0, FOR_REL_LT = 1, FOR_REL_EQ = 2, FOR_REL_NE = 3, FOR_REL_GE = 4, FOR_REL_LE = 5 };

typedef struct for_strpair {
  const char *address;
  int64_t length;
} for_strpair;
void for_concat(const for_strpair *pairs, int64_t count, char *target, int64_t target_length);

/* ---- Diagnostics ------------------------------------------------------ */
struct for_lub;
int32_t for__io_return(int32_t action, int32_t error, int32_t secondary, struct for_lub *lub);
int32_t for__issue_diagnostic(int32_t message, int32_t argc, ...);
const char *for__get_msg(int32_t message, int32_t argc, ...);
void for__message_catalog_close(void);

/* ---- Units ------------------------------------------------------------- */
int32_t for_open(for_stmt_block *block, int32_t unit, uint64_t options, const uint8_t *keywords,
                 const void *arguments);
int32_t for_close(for_stmt_block *block, int32_t unit, uint64_t options, const uint8_t *keywords,
                  const void *arguments);
int32_t for_backspace(for_stmt_block *block, int32_t unit, uint64_t options);

/* Whether two file names, each resolved as OPEN resolves FILE, reach the
 * same file: the same path, the same existing file through a link, or, for
 * files that need not exist yet, the same last component in the same
 * directory (a dangling symbolic link stands for its target).  1 or 0. */
int32_t for__same_file(const char *a, int64_t a_length, const char *b, int64_t b_length);

/* One name of such a test, resolved once, so that a name compared with many
 * others is looked up once: its path (null when blank or unresolvable), the
 * identity of the file it names if that exists, and the identity of its
 * directory, looked up only when a comparison needs it.  A key costs one
 * status call (more only for a symbolic link) and must be freed. */
typedef struct for_file_key {
  char *path;
  int32_t exists;
  int32_t directory;  /* -1 not looked up yet, 0 not a directory, 1 known */
  uint64_t dev, ino;
  uint64_t directory_dev, directory_ino;
} for_file_key;
void for__file_key(const char *name, int64_t length, for_file_key *key);
int32_t for__same_key(for_file_key *a, for_file_key *b);
void for__free_file_key(for_file_key *key);

/* ---- Formatted sequential and internal transfer ----------------------- */
int32_t for_write_seq_fmt(for_stmt_block *block, int32_t unit, uint64_t options,
                          const uint8_t *descriptors, const void *arguments, const uint8_t *format);
int32_t for_write_seq_fmt_xmit(for_stmt_block *block, const uint8_t *descriptors,
                               const void *arguments);
int32_t for_read_seq_fmt(for_stmt_block *block, int32_t unit, uint64_t options,
                         const uint8_t *descriptors, const void *arguments, const uint8_t *format);
int32_t for_read_seq_fmt_xmit(for_stmt_block *block, const uint8_t *descriptors,
                              const void *arguments);
int32_t for_read_int_fmt(for_stmt_block *block, uint64_t options, const uint8_t *descriptors,
                         const void *arguments, const uint8_t *format);
int32_t for_read_int_fmt_xmit(for_stmt_block *block, const uint8_t *descriptors,
                              const void *arguments);
int32_t for_write_int_fmt(for_stmt_block *block, uint64_t options, const uint8_t *descriptors,
                          const void *arguments, const uint8_t *format);
int32_t for_write_int_fmt_xmit(for_stmt_block *block, const uint8_t *descriptors,
                               const void *arguments);

/* ---- List-directed transfer ------------------------------------------- */
int32_t for_read_seq_lis(for_stmt_block *block, int32_t unit, uint64_t options,
                         const uint8_t *descriptors, const void *arguments);
int32_t for_read_seq_lis_xmit(for_stmt_block *block, const uint8_t *descriptors,
                              const void *arguments);
int32_t for_write_seq_lis(for_stmt_block *block, int32_t unit, uint64_t options,
                          const uint8_t *descriptors, const void *arguments);
int32_t for_write_seq_lis_xmit(for_stmt_block *block, const uint8_t *descriptors,
                               const void *arguments);

/* ---- Format packs ------------------------------------------------------ */
int32_t for__format_compiler(const char *text, int64_t length, uint8_t **pack, int32_t report);
void for__format_free(uint8_t *pack);

#ifdef __cplusplus
}
#endif

#endif
