// The message catalogue: one row per message, in ascending number order.
// Texts with "%d" and "%s" take the unit number and the file name.
#include "rtl/for_msg.h"

#define SEVERE(n, text) {n, FOR_SEV_SEVERE, text},
#define ERROR(n, text) {n, FOR_SEV_ERROR, text},
#define WARNING(n, text) {n, FOR_SEV_WARNING, text},
#define INFO(n, text) {n, FOR_SEV_INFO, text},
#define PLAIN(n, text) {n, FOR_SEV_PLAIN, text},

const for_msg_row for__msg_catalog[] = {
    PLAIN(0, "not an error")
    SEVERE(1, "not a run-time error: an operating-system failure")
    SEVERE(6, "undetermined error")
    SEVERE(8, "internal consistency check failure, file %s, line %d")
    SEVERE(9, "permission to access file denied, unit %d, file %s")
    SEVERE(10, "cannot overwrite existing file, unit %d, file %s")
    SEVERE(22, "input record too long, unit %d, file %s")
    SEVERE(23, "BACKSPACE error, unit %d, file %s")
    SEVERE(24, "end-of-file during read, unit %d, file %s")
    SEVERE(27, "too many records in I/O statement, unit %d, file %s")
    SEVERE(28, "CLOSE error, unit %d, file %s")
    SEVERE(29, "file not found, unit %d, file %s")
    SEVERE(30, "open failure, unit %d, file %s")
    SEVERE(32, "invalid logical unit number, unit %d, file %s")
    SEVERE(38, "error during write, unit %d, file %s")
    SEVERE(39, "error during read, unit %d, file %s")
    SEVERE(40, "recursive I/O operation, unit %d, file %s")
    SEVERE(41, "insufficient virtual memory")
    SEVERE(42, "no such device, unit %d, file %s")
    SEVERE(43, "file name specification error, unit %d, file %s")
    SEVERE(45, "keyword value error in OPEN statement, unit %d, file %s")
    SEVERE(46, "inconsistent OPEN/CLOSE parameters, unit %d, file %s")
    SEVERE(47, "write to READONLY file, unit %d, file %s")
    SEVERE(48, "invalid argument passed to the run-time layer, unit %d, file %s")
    SEVERE(58, "format syntax error at or near %.*s")
    SEVERE(59, "list-directed I/O syntax error, unit %d, file %s")
    SEVERE(61, "format/variable-type mismatch, unit %d, file %s")
    SEVERE(62, "syntax error in format, unit %d, file %s")
    ERROR(63, "output conversion error, unit %d, file %s")
    SEVERE(64, "input conversion error, unit %d, file %s")
    ERROR(65, "floating invalid")
    SEVERE(66, "output statement overflows record, unit %d, file %s")
    SEVERE(67, "input statement requires too much data, unit %d, file %s")
    SEVERE(68, "variable format expression value error, unit %d, file %s")
    ERROR(69, "process interrupted (SIGINT)")
    SEVERE(70, "integer overflow")
    SEVERE(71, "integer divide by zero")
    ERROR(72, "floating overflow")
    ERROR(73, "floating divide by zero")
    ERROR(74, "floating underflow")
    ERROR(75, "floating point exception")
    ERROR(76, "Abort trap signal")
    ERROR(78, "process killed (SIGTERM)")
    ERROR(79, "process quit (SIGQUIT)")
    SEVERE(97, "write exceeds the record length of the file, unit %d, file %s")
    SEVERE(98, "no memory for the record buffer, unit %d, file %s")
    SEVERE(99, "FORT_FMT_RECL environment variable has erroneous syntax")
    SEVERE(100, "FORT_UFMT_RECL environment variable has erroneous syntax")
    SEVERE(105, "there is no data-edit-descriptor to match a data-item in the I/O list")
    SEVERE(106, "FORT_BLOCKSIZE environment variable has erroneous syntax")
    SEVERE(107, "FORT_BUFFERCOUNT environment variable has erroneous syntax")
    SEVERE(108, "cannot stat file, unit %d, file %s")
    SEVERE(113, "BACKSPACE of a stream-access unformatted file, unit %d, file %s")
    SEVERE(115, "keyword value error in a CLOSE statement, unit %d, file %s")
    SEVERE(119, "The FORT_BUFFERING_THRESHOLD environment variable has erroneous syntax")
    SEVERE(120, "operation requires seek ability, unit %d, file %s")
    SEVERE(138, "array index out of bounds (SIGTRAP)")
    ERROR(140, "floating inexact")
    SEVERE(152, "unresolved contention for a run-time lock")
    SEVERE(154, "array index out of bounds")
    SEVERE(168, "Program Exception - illegal instruction")
    SEVERE(174, "SIGSEGV, %s")
    ERROR(182, "floating invalid - possible uninitialized real/complex variable.")
    SEVERE(201, "run-time support failure")
    SEVERE(257, "list-directed transfer on a unit connected for unformatted transfers, unit %d, file %s")
    SEVERE(258, "list-directed transfer on a unit connected for keyed access, unit %d, file %s")
    SEVERE(259, "list-directed transfer on a unit connected for direct access, unit %d, file %s")
    SEVERE(261, "invalid operation for the unit's connection, unit %d, file %s")
    SEVERE(264, "operation requires file to be on disk or tape, unit %d, file %s")
    SEVERE(265, "operation requires sequential file organization and access, unit %d, file %s")
    SEVERE(266, "operation not available on this connection, unit %d, file %s")
    SEVERE(268, "end of record during read, unit %d, file %s")
    SEVERE(276, "operation not allowed during a child data transfer, unit %d, file %s")
    INFO(296, "%d floating inexact traps")
    INFO(297, "%d floating invalid traps")
    INFO(298, "%d floating overflow traps")
    INFO(299, "%d floating divide-by-zero traps")
    INFO(300, "%d floating underflow traps")
    PLAIN(400, "%s")
    INFO(401, "%s")
    WARNING(402, "%s")
    ERROR(403, "%s")
    SEVERE(404, "%s")
    SEVERE(405, "%s")
    SEVERE(406, "%s")
    SEVERE(407, "%s")
    SEVERE(408, "%s")
    PLAIN(450, "forrtl: ")
    PLAIN(451, "forrtl: info (%i): ")
    PLAIN(452, "forrtl: warning (%i): ")
    PLAIN(453, "forrtl: error (%i): ")
    PLAIN(454, "forrtl: severe (%i): ")
    PLAIN(455, "forrtl: ")
    PLAIN(500, "Message not found")
    PLAIN(501, "message catalogue could not be opened")
    PLAIN(502, "message catalogue text could not be read")
    PLAIN(503, "no memory for the diagnostic text")
    PLAIN(505, "diagnostic text truncated")
    PLAIN(512, "run-time message")
    INFO(513, "Unknown")
    INFO(514, ", line %s, position %d")
    PLAIN(521, "Stop - Program terminated.")
    PLAIN(522, "Return code ")
    PLAIN(523, "File name missing or blank - please enter file name")
    PLAIN(524, "UNIT %d? ")
    WARNING(525, "Floating invalid exception flag is signalling")
    WARNING(526, "Floating divide-by-zero exception flag is signalling")
    WARNING(527, "Floating overflow exception flag is signalling")
    WARNING(528, "Floating underflow exception flag is signalling")
    INFO(529, "Attempt to close unit %d, which was not open.")
    SEVERE(603, "too many open files")
};

const int for__msg_catalog_size = sizeof for__msg_catalog / sizeof for__msg_catalog[0];

const char *const severity_table[5] = {
    "forrtl: ", "forrtl: info (%i): ", "forrtl: warning (%i): ", "forrtl: error (%i): ",
    "forrtl: severe (%i): ",
};

// A linear search, as the table is small and diagnostics are rare.
const for_msg_row *for__msg_lookup(int32_t number) {
  const for_msg_row *not_found = nullptr;
  for (int i = 0; i < for__msg_catalog_size; ++i) {
    if (for__msg_catalog[i].number == number) return &for__msg_catalog[i];
    if (for__msg_catalog[i].number == FOR_M_NOT_FOUND) not_found = &for__msg_catalog[i];
  }
  return not_found;
}
