// The record layer under every formatted transfer: reading the next record
// of a unit into its input buffer, and ending and writing output records.
#pragma once

#include <cstdint>

struct for_lub;

// Reads the next record; the unit's rp then describes it (buf, start 0,
// end = its length).  0, 24 (end of file), 39 (read error, errno saved) or
// 98 (no memory).  An unterminated last line is still a record.
int for__get_s(for_lub *lub);
// One read call (retried when interrupted).  0 or 39.
int for__read_input(int fd, char *buffer, int64_t size, int64_t *count, for_lub *lub);

// Begins an output record: rp on the unit's record buffer, blank-filled.
// 0 or 98.
int for__begin_record(for_lub *lub);
// Ends the current output record and passes it to the file.  0, 38 or 98.
int for__put_sf(for_lub *lub);
// Writes bytes to the unit's descriptor in pieces, repeating short writes.
// 0 or 38 (errno saved).
int for__write_output(for_lub *lub, const char *bytes, int64_t count);
// Readies a unit for a sequential write: refuses a read-only unit (47) and
// discards read-ahead.  0, 38 or 47.
int for__prepare_write(for_lub *lub);
// Discards read-ahead data and sets the file offset to the logical position
// plus extra.  0 or 38.
int for__flush_readahead(for_lub *lub, int64_t extra);

// Writes one whole record of text to a unit (acquire, record, release).
int for__write_record(int64_t unit, const char *text, int64_t length);
