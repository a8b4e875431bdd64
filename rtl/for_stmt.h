// The state of one I/O statement, kept in the caller's statement block from
// the start call to the call that ends the statement.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <new>

#include "fmt/for_fmt.h"
#include "rtl/for_rtl.h"

struct for_lub;

// One item of the I/O list, decoded from its descriptor entry and slots.
struct for_item {
  uint8_t type;      // FOR_TYPE_*
  uint8_t mode;      // FOR_PASS_*
  void *address;     // first element (for mode 1: the argument slot itself)
  int64_t length;    // bytes of one element (characters for CHARACTER)
  int64_t count;     // elements (1 unless mode 5)
};

// Kinds of statement.
enum for_stmt_kind : uint8_t {
  FOR_STMT_WRITE_SEQ_FMT = 1,
  FOR_STMT_READ_SEQ_FMT,
  FOR_STMT_WRITE_INT_FMT,
  FOR_STMT_READ_INT_FMT,
  FOR_STMT_WRITE_SEQ_LIS,
  FOR_STMT_READ_SEQ_LIS
};

// Marks word[0] of a statement block while its statement is under way.
constexpr uint64_t FOR_STMT_ACTIVE = 0x544156'4F53544DULL;

// The members every statement uses have their initial values here; the rest
// belong to some kinds of statement only and are set by their start calls
// (the format cursor by for__fmt_reset, an internal file's variable by the
// internal start, the list-directed output state by its first record).
struct for_stmt {
  uint64_t active = FOR_STMT_ACTIVE;  // FOR_STMT_ACTIVE while the statement runs
  for_lub *lub = nullptr;     // the unit held by the statement
  uint8_t kind = 0;           // for_stmt_kind
  bool dollar = false;        // `$` seen: the last record keeps no terminator
  int32_t deferred = 0;       // deferred status (63), reported at the end
  for_fmt_cursor fmt;         // format cursor (formatted statements)
  // Internal files: the variable and its records.
  char *ivar;
  int64_t ivar_length;        // total bytes of the variable
  int64_t irec_length;        // bytes of one record (element)
  int64_t irec_index;         // current record, 0-based
  // List-directed output state.
  int64_t lis_remaining;      // columns left in the current record
  bool lis_leading_blank;     // set at the start of every record
  uint8_t lis_prev_type;      // type code of the previous item, 0 at start
};
static_assert(sizeof(for_stmt) <= sizeof(for_stmt_block), "statement state exceeds the block");
static_assert(alignof(for_stmt) <= alignof(uint64_t), "statement state alignment");

// The statement state inside a caller's block.  Start calls construct it;
// item calls find it there.
inline for_stmt *for__stmt_begin(for_stmt_block *block, uint8_t kind) {
  // Default-initialised: only the members every statement uses are set.
  for_stmt *st = new (static_cast<void *>(block)) for_stmt;
  st->kind = kind;
  st->fmt.current = nullptr;
  return st;
}
inline for_stmt *for__stmt_of(for_stmt_block *block) {
  return std::launder(reinterpret_cast<for_stmt *>(block));
}
inline void for__stmt_end(for_stmt *st) { st->active = 0; }

// Decodes the next entry of an item descriptor string.  Returns 0 with *out
// filled for an item, FOR_DESC_END or FOR_DESC_NEXT for the control entries
// (entries of code 65 are skipped), or 48 for an unknown passing mode.
int for__desc_ret_item(const uint8_t **descriptors, const uint8_t **arguments, for_item *out);

// The descriptor string of one character value passed by length and
// address, and nothing more.
inline constexpr uint8_t for__one_character_string[] = {FOR_TYPE_CHARACTER, FOR_PASS_LENADDR, FOR_DESC_END, 0};

// Whether a descriptor string is one character value passed by length and
// address, and nothing more (the first two entries tested as one word).
inline bool for__one_character(const uint8_t *descriptors) {
  static_assert(std::endian::native == std::endian::little, "the word is read little-endian");
  uint16_t head;
  memcpy(&head, descriptors, 2);
  return head == (FOR_TYPE_CHARACTER | FOR_PASS_LENADDR << 8) && descriptors[2] == FOR_DESC_END;
}

// A character value passed by length and address (two argument slots): its
// address in *address, its length (0 for a negative one) returned.
inline int64_t for__char_argument(const void *slots, void **address) {
  int64_t length;
  memcpy(&length, slots, 8);
  memcpy(address, static_cast<const char *>(slots) + 8, 8);
  return length < 0 ? 0 : length;
}

// for__desc_ret_item with its commonest entries inline: a character value by
// length and address, and a four-byte value in its slot.
inline int for__next_item(const uint8_t **descriptors, const uint8_t **arguments, for_item *out) {
  const uint8_t type = (*descriptors)[0], mode = (*descriptors)[1];
  if (type == FOR_TYPE_CHARACTER && mode == FOR_PASS_LENADDR) {
    out->length = for__char_argument(*arguments, &out->address);
    *descriptors += 2;
    *arguments += 16;
    out->type = type;
    out->mode = mode;
    out->count = 1;
    return 0;
  }
  if ((type == FOR_TYPE_REAL4 || type == FOR_TYPE_INTEGER4) && mode == FOR_PASS_VALUE) {
    out->type = type;
    out->mode = mode;
    out->address = const_cast<uint8_t *>(*arguments);
    out->length = 4;
    out->count = 1;
    *descriptors += 2;
    *arguments += 8;
    return 0;
  }
  return for__desc_ret_item(descriptors, arguments, out);
}

// Size in bytes of one element of a type code, 0 when unknown.
int64_t for__type_size(uint8_t type);
