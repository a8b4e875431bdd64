// Message numbers of the run-time's diagnostics (the catalogue's keys, also
// the exit status after a severe error), and catalogue lookup.
#pragma once

#include <cstdint>

enum for_message : int32_t {
  FOR_E_INTERNAL = 8,
  FOR_E_PERMISSION = 9,
  FOR_E_EXISTS = 10,
  FOR_E_RECORD_TOO_LONG = 22,
  FOR_E_BACKSPACE = 23,
  FOR_E_EOF = 24,
  FOR_E_TOO_MANY_RECORDS = 27,
  FOR_E_CLOSE = 28,
  FOR_E_NOT_FOUND = 29,
  FOR_E_OPEN = 30,
  FOR_E_BAD_UNIT = 32,
  FOR_E_WRITE = 38,
  FOR_E_READ = 39,
  FOR_E_RECURSIVE = 40,
  FOR_E_NO_MEMORY = 41,
  FOR_E_NO_DEVICE = 42,
  FOR_E_FILE_NAME = 43,
  FOR_E_OPEN_KEYWORD = 45,
  FOR_E_INCONSISTENT = 46,
  FOR_E_READONLY = 47,
  FOR_E_BAD_ARGUMENT = 48,
  FOR_E_FORMAT_SYNTAX_AT = 58,
  FOR_E_LIST_SYNTAX = 59,
  FOR_E_TYPE_MISMATCH = 61,
  FOR_E_FORMAT_SYNTAX = 62,
  FOR_E_OUTPUT_CONVERSION = 63,
  FOR_E_INPUT_CONVERSION = 64,
  FOR_E_OVERFLOWS_RECORD = 66,
  FOR_E_TOO_MUCH_DATA = 67,
  FOR_E_VFE_VALUE = 68,
  FOR_E_RECL_EXCEEDED = 97,
  FOR_E_BUFFER_MEMORY = 98,
  FOR_E_FMT_RECL_SYNTAX = 99,
  FOR_E_UFMT_RECL_SYNTAX = 100,
  FOR_E_NO_DATA_EDIT = 105,
  FOR_E_BLOCKSIZE_SYNTAX = 106,
  FOR_E_BUFFERCOUNT_SYNTAX = 107,
  FOR_E_STAT = 108,
  FOR_E_STREAM_BACKSPACE = 113,
  FOR_E_CLOSE_KEYWORD = 115,
  FOR_E_THRESHOLD_SYNTAX = 119,
  FOR_E_NO_SEEK = 120,
  FOR_E_LIS_UNFORMATTED = 257,
  FOR_E_LIS_KEYED = 258,
  FOR_E_LIS_DIRECT = 259,
  FOR_E_NOT_DISK = 264,
  FOR_E_NOT_SEQUENTIAL = 265,
  FOR_E_EOR = 268,
  FOR_E_CHILD_TRANSFER = 276,
  FOR_M_NOT_FOUND = 500,
  FOR_M_NO_TEXT_BUFFER = 503,
  FOR_M_UNKNOWN = 513,
  FOR_M_POSITION = 514,
  FOR_M_STOP = 521,
  FOR_M_RETURN_CODE = 522,
  FOR_M_NAME_MISSING = 523,
  FOR_M_NAME_PROMPT = 524,
  FOR_M_NOT_OPEN = 529,
  FOR_E_TOO_MANY_FILES = 603
};

// Severity codes.
enum : int32_t { FOR_SEV_PLAIN = 0, FOR_SEV_INFO = 1, FOR_SEV_WARNING = 2, FOR_SEV_ERROR = 3, FOR_SEV_SEVERE = 4 };

struct for_msg_row {
  int32_t number;
  int32_t severity;
  const char *text;
};

// The built-in catalogue, in ascending number order.
extern const for_msg_row for__msg_catalog[];
extern const int for__msg_catalog_size;
// The row of a number; message 500's row when the number has none.
const for_msg_row *for__msg_lookup(int32_t number);
// Header that starts a diagnostic of a severity ("forrtl: severe (%i): ").
extern const char *const severity_table[5];
