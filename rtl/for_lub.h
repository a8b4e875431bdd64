// Unit blocks and the unit table: the per-unit state of a connection and the
// map from unit numbers to it.
#pragma once

#include <pthread.h>
#include <sys/single_threaded.h>

#include "rtl/for_lock.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fmt/for_fmt.h"

struct for_ldr_state;

// Access codes (ACCESS keyword table).
constexpr uint8_t FOR_ACC_SEQUENTIAL = 1;
constexpr uint8_t FOR_ACC_DIRECT = 2;
constexpr uint8_t FOR_ACC_APPEND = 3;
constexpr uint8_t FOR_ACC_KEYED = 4;
constexpr uint8_t FOR_ACC_STREAM = 5;
// Form bits.
constexpr uint8_t FOR_FORM_FORMATTED = 1;
constexpr uint8_t FOR_FORM_UNFORMATTED = 2;
constexpr uint8_t FOR_FORM_BINARY = 4;
// Record types.
constexpr uint8_t FOR_RT_FIXED = 1;
constexpr uint8_t FOR_RT_VARIABLE = 2;
constexpr uint8_t FOR_RT_SEGMENTED = 3;
constexpr uint8_t FOR_RT_STREAM = 5;
constexpr uint8_t FOR_RT_STREAM_LF = 6;
constexpr uint8_t FOR_RT_STREAM_CR = 7;
constexpr uint8_t FOR_RT_STREAM_CRLF = 8;
// Carriage control.
constexpr uint8_t FOR_CC_COLUMN1 = 1;
constexpr uint8_t FOR_CC_LIST = 2;
constexpr uint8_t FOR_CC_NONE = 3;
// STATUS codes.
constexpr uint8_t FOR_ST_OLD = 1;
constexpr uint8_t FOR_ST_NEW = 2;
constexpr uint8_t FOR_ST_SCRATCH = 3;
constexpr uint8_t FOR_ST_UNKNOWN = 4;
constexpr uint8_t FOR_ST_REPLACE = 5;
// ACTION codes.
constexpr uint8_t FOR_ACT_READ = 1;
constexpr uint8_t FOR_ACT_READWRITE = 2;
constexpr uint8_t FOR_ACT_WRITE = 3;
// Statement keyword bits.
constexpr uint8_t FOR_KWB_ERR = 1;
constexpr uint8_t FOR_KWB_END = 2;
constexpr uint8_t FOR_KWB_EOR = 4;
// Acquire intents.
constexpr int32_t FOR_INTENT_OPEN = 1;
constexpr int32_t FOR_INTENT_CLOSE = 2;
constexpr int32_t FOR_INTENT_READ = 3;
constexpr int32_t FOR_INTENT_WRITE = 4;

// The file name shown for a unit that has no file.
extern "C" const char for__unknown_name[]; // "\"Unknown\"" (length 0 in the block)

struct for_lub {
  // Serialises statements on the unit; a nested statement is error 40.
  for_lock mutex;
  pthread_t owner;
  // held, being_deleted and open are adjacent, with is_static after them: a
  // statement tests the three as one word.
  bool held;
  bool being_deleted;
  bool open;
  bool is_static;           // one of the seven standard blocks

  for_lub *next;            // chain link within the table slot
  int64_t unit;
  int32_t fd;

  char *name;               // resolved path (owned), or for__unknown_name
  int16_t name_length;
  bool name_borrowed;       // name is constant text that the block does not own

  uint8_t access;
  uint8_t form;
  uint8_t rectype;
  uint8_t carriage;
  uint8_t preconnection;    // 0 ordinary, 1 standard stream, 2 FORT<n> file
  uint8_t action;
  uint8_t kwbits;           // statement keyword bits (FOR_KWB_*)

  bool readonly;
  bool writeonly;
  bool scratch;
  bool dispose_delete;
  bool dispose_print;
  bool dispose_submit;
  bool regular;             // seekable regular file
  bool is_tty;
  bool truncate_next;       // the next record written truncates the file
  bool buffered;            // output collected in the block buffer
  bool eof;                 // a READ returned the end-of-file status
  bool closed_at_exit;
  bool no_wrap_margin;
  bool show_position;
  bool ignore_output_conversion;
  bool blank_zero;          // BLANK='ZERO'
  bool pad;                 // short input records padded with blanks
  bool partial_line;        // an output line without its terminator is pending
  bool std_stream;          // descriptor inherited: 0, 1 or 2

  int64_t recl;             // maximum record length in characters
  int64_t recnum;           // record about to be read or written (1 after OPEN)
  int64_t saved_errno;      // errno of the last failed system call
  char *iomsg;
  int64_t iomsg_length;

  // Record buffer (formatted output) and the statement's record positions.
  char *rbuf;
  int64_t rbuf_size;
  int64_t rbuf_dirty;       // bytes of rbuf that may hold non-blanks
  for_recpos rp;

  // Block buffer for buffered output.
  char *bbuf;
  int64_t bbuf_size;
  int64_t bbuf_used;
  int64_t threshold;        // FORT_BUFFERING_THRESHOLD, 0 when unset
  int64_t blocksize;
  int32_t buffercount;

  // Input buffer: a stretch of the file read ahead of the logical position.
  char *ibuf;
  int64_t ibuf_size;
  int64_t ibuf_offset;      // file offset of ibuf[0]
  int64_t icur;             // start of the next record to read
  int64_t ivalid;           // bytes of valid data in ibuf
  bool readahead_valid;     // the OS offset lies beyond the logical position
  int64_t transfer_size;    // bytes asked of one read or write call
  int64_t irec_offset;      // the file offset where the record read last began
  bool last_was_read;       // the last record passed was read: BACKSPACE can
                            // go straight back to irec_offset

  int32_t lis_width;        // list-directed output line width
  for_ldr_state *ldr;       // list-directed input state, while a statement runs

  bool in_lf_table;
  for_lub *lf_next;         // line-feed sharing table membership

  uint8_t fast;             // FOR_FAST_*: set when the unit is connected

  // The (A) or (Aw) packs last met by the whole-statement paths of this
  // connection, and their field width (-1: the item's length).  Only packs
  // in the program's read-only image are kept: their plans cannot change.
  // An empty entry (null, width 0) matches no statement under (A), not even
  // one without a format.
  const uint8_t *read_a_pack;
  int64_t read_a_width;
  const uint8_t *write_a_pack;
  int64_t write_a_width;
};

// What the statement fast paths may rely on for the whole connection (these
// settings are fixed when the unit is connected):
// read: formatted, not direct access, readable, line-feed records;
// write: also block-buffered without threshold, records ended by a line feed.
constexpr uint8_t FOR_FAST_READ = 1;
constexpr uint8_t FOR_FAST_WRITE = 2;
inline uint8_t for__fast_paths(const for_lub *lub) {
  if (!(lub->form & FOR_FORM_FORMATTED) || lub->access == FOR_ACC_DIRECT) return 0;
  const bool line_feed = lub->rectype != FOR_RT_STREAM_CR && lub->rectype != FOR_RT_STREAM_CRLF;
  uint8_t fast = 0;
  if (!lub->writeonly && lub->rectype != FOR_RT_STREAM_CR) fast |= FOR_FAST_READ;
  if (!lub->readonly && lub->buffered && lub->threshold <= 0 && lub->carriage != FOR_CC_NONE && line_feed)
    fast |= FOR_FAST_WRITE;
  return fast;
}

// The unit table: 627 slots; units -6..99 have slots of their own.
constexpr int FOR_LUB_SLOTS = 627;
constexpr int FOR_LUB_DIRECT = 106;
constexpr int FOR_LUB_HASH = 521;
int for__lub_slot(int64_t unit);

struct for_lub_slot {
  for_lock lock;
  for_lub *head;
};
extern "C" for_lub_slot for__lub_table[FOR_LUB_SLOTS];

// The seven standard units.
extern "C" for_lub lub_read, lub_accept, lub_type, lub_print, lub_stderr, lub_read_5, lub_print_6;
extern "C" void for__preconnected_units_create(void);

// Finds the unit's block and takes its lock.  Open intent creates a block;
// close intent does not (error 32 without one); read and write intents create
// it and connect the unit by default when it is not open.  0 or an error.
extern "C" int for__acquire_lun(int64_t unit, for_lub **out, int32_t intent);
extern "C" void for__release_lun(int64_t unit);
void for__release(for_lub *lub);

// Whether a unit is open and neither held nor being deleted: the three flags
// read as one word (the fourth byte, is_static, masked off).
inline bool for__claimable(const for_lub *lub) {
  static_assert(std::endian::native == std::endian::little, "the word is read little-endian");
  static_assert(offsetof(for_lub, being_deleted) == offsetof(for_lub, held) + 1 &&
                    offsetof(for_lub, open) == offsetof(for_lub, held) + 2 &&
                    offsetof(for_lub, is_static) == offsetof(for_lub, held) + 3,
                "held, being_deleted, open and is_static are adjacent");
  uint32_t flags;
  memcpy(&flags, &lub->held, 4);
  return (flags & 0xFFFFFFu) == 0x010000u;
}

// The unit lookup of every transfer statement.  While the process has one
// thread, an open unit of the direct range that no statement holds is found
// by its index and taken with a few stores; null for everything else (a
// first use, a held unit, a unit being deleted, another thread), which
// for__acquire_lun handles.  The owner is left as it was: a statement that
// is over when its start call returns needs none, since while the process
// has one thread a held unit is held by that thread.
inline for_lub *for__claim_unit(int64_t unit) {
  const uint64_t index = static_cast<uint64_t>(unit + 6);
  if (index >= static_cast<uint64_t>(FOR_LUB_DIRECT) || !__libc_single_threaded) return nullptr;
  // A direct slot holds blocks of its own unit only.
  for_lub *lub = for__lub_table[index].head;
  if (!lub || !for__claimable(lub)) return nullptr;
  lub->mutex.word = 1;
  // Nothing the lock guards may be touched before the word is set.
  __atomic_signal_fence(__ATOMIC_SEQ_CST);
  lub->held = true;
  return lub;
}

// for__claim_unit for a statement that may go on past its start call.
inline for_lub *for__take_unit(int64_t unit) {
  for_lub *lub = for__claim_unit(unit);
  if (lub) lub->owner = pthread_self();
  return lub;
}

inline int for__acquire_unit(int64_t unit, for_lub **out, int32_t intent) {
  if (for_lub *lub = for__take_unit(unit)) {
    *out = lub;
    return 0;
  }
  return for__acquire_lun(unit, out, intent);
}

// Releases a unit that the caller knows it holds.
inline void for__unclaim_unit(for_lub *lub) {
  lub->held = false;
  for__unlock(&lub->mutex);
}

// Releases a unit held by a statement (for__release, inline).
inline void for__release_unit(for_lub *lub) {
  if (!lub || !lub->held) return;
  lub->held = false;
  for__unlock(&lub->mutex);
}
// The block of a unit, or null; no lock taken.
for_lub *for__find_lub(int64_t unit);

extern "C" int for__open_default(for_lub *lub, int32_t access, int32_t status, int32_t form);
// Closes with the default disposition (keep, or delete for scratch).
extern "C" int for__close_default(for_lub *lub);
// Closes the descriptor, frees names and buffers, resets the block.
void for__discard_lub(for_lub *lub);
// Frees an ordinary block that is no longer in the table.
void for__free_lub(for_lub *lub);
// Walks every open unit at exit: closes it, reports close errors, frees it.
void for__close_all_units(void);

// Resets a block to its unconnected state (name, buffers and state freed;
// lock, chain link, unit number and preconnection state kept).
void for__reset_lub(for_lub *lub);
// Unlinks an ordinary block from its slot and frees it.
void for__lub_remove(for_lub *lub);
// Start-up: a standard block's first initialisation and its slot.
void for__lub_init_block(for_lub *lub, int64_t unit);
void for__lub_insert_static(for_lub *lub);
// A unit number that OPEN, CLOSE and BACKSPACE accept.
bool for__valid_unit(int64_t unit);
// Reports an error met before the unit's block could be held.
int32_t for__unit_error(int64_t unit, uint64_t options, int32_t error);

// Sets the file name (owned copy).  Returns false when memory is exhausted.
bool for__set_lub_name(for_lub *lub, const char *name, int64_t length);

// Line-feed sharing table of formatted units.
void for__add_to_lf_table(for_lub *lub);
void for__remove_from_lf_table(for_lub *lub);
