// OPEN and CLOSE keyword lists: item decoding and the value tables.
#include <string.h>

#include "rtl/for_msg.h"
#include "rtl/for_open.h"
#include "rtl/for_rtl.h"

namespace {

#define KW(code, text) {code, text, sizeof(text) - 1}

const for_kw_entry status_table[] = {KW(1, "OLD"), KW(2, "NEW"), KW(3, "SCRATCH"), KW(4, "UNKNOWN"),
                                     KW(5, "REPLACE")};
const for_kw_entry access_table[] = {KW(1, "SEQUENTIAL"), KW(2, "DIRECT"), KW(3, "APPEND"), KW(4, "KEYED"),
                                     KW(5, "STREAM")};
const for_kw_entry form_table[] = {KW(1, "FORMATTED"), KW(2, "UNFORMATTED"), KW(4, "BINARY")};
const for_kw_entry action_table[] = {KW(1, "READ"), KW(2, "READWRITE"), KW(3, "WRITE")};
const for_kw_entry position_table[] = {KW(1, "APPEND"), KW(2, "ASIS"), KW(3, "REWIND")};
const for_kw_entry dispose_table[] = {KW(1, "SAVE"),         KW(1, "KEEP"),         KW(2, "DELETE"),
                                      KW(3, "PRINT"),        KW(4, "SUBMIT"),       KW(5, "PRINT/DELETE"),
                                      KW(6, "SUBMIT/DELETE")};
const for_kw_entry recordtype_table[] = {KW(1, "FIXED"),     KW(2, "VARIABLE"),  KW(3, "SEGMENTED"),
                                         KW(5, "STREAM"),    KW(6, "STREAM_LF"), KW(7, "STREAM_CR"),
                                         KW(8, "STREAM_CRLF")};
const for_kw_entry yes_no_table[] = {KW(1, "NO"), KW(2, "YES")};
const for_kw_entry blank_table[] = {KW(1, "NULL"), KW(2, "ZERO")};
const for_kw_entry carriage_table[] = {KW(1, "COLUMN1"), KW(2, "LIST"), KW(3, "NONE")};
const for_kw_entry convert_table[] = {KW(1, "NATIVE"), KW(2, "BIG_ENDIAN"), KW(3, "LITTLE_ENDIAN")};
const for_kw_entry delim_table[] = {KW(1, "APOSTROPHE"), KW(2, "QUOTE"), KW(3, "NONE")};
const for_kw_entry organization_table[] = {KW(1, "SEQUENTIAL"), KW(2, "RELATIVE"), KW(3, "INDEXED")};
const for_kw_entry share_table[] = {KW(1, "DENYRW"), KW(2, "DENYWR"), KW(3, "DENYRD"), KW(4, "DENYNONE")};
const for_kw_entry round_table[] = {KW(1, "UP"),      KW(2, "DOWN"),       KW(3, "ZERO"),
                                    KW(4, "NEAREST"), KW(5, "COMPATIBLE"), KW(6, "PROCESSOR_DEFINED")};
const for_kw_entry decimal_table[] = {KW(1, "POINT"), KW(2, "COMMA")};
const for_kw_entry sign_table[] = {KW(1, "PLUS"), KW(2, "SUPPRESS"), KW(3, "PROCESSOR_DEFINED")};
const for_kw_entry encoding_table[] = {KW(1, "DEFAULT"), KW(2, "UTF-8")};

#undef KW

struct table_ref {
  int code;
  const for_kw_entry *table;
  int count;
};

#define REF(code, t) {code, t, static_cast<int>(sizeof t / sizeof t[0])}
const table_ref tables[] = {
    REF(FOR_KW_STATUS, status_table),         REF(FOR_KW_ACCESS, access_table),
    REF(FOR_KW_FORM, form_table),             REF(FOR_KW_ACTION, action_table),
    REF(FOR_KW_MODE, action_table),           REF(FOR_KW_POSITION, position_table),
    REF(FOR_KW_DISPOSE, dispose_table),       REF(FOR_KW_RECORDTYPE, recordtype_table),
    REF(FOR_KW_BUFFERED, yes_no_table),       REF(FOR_KW_PAD, yes_no_table),
    REF(FOR_KW_ASYNCHRONOUS, yes_no_table),   REF(FOR_KW_BLANK, blank_table),
    REF(FOR_KW_CARRIAGECONTROL, carriage_table), REF(FOR_KW_CONVERT, convert_table),
    REF(FOR_KW_DELIM, delim_table),           REF(FOR_KW_ORGANIZATION, organization_table),
    REF(FOR_KW_SHARE, share_table),           REF(FOR_KW_ROUND, round_table),
    REF(FOR_KW_DECIMAL, decimal_table),       REF(FOR_KW_SIGN, sign_table),
    REF(FOR_KW_ENCODING, encoding_table),
};
#undef REF

uint64_t slot(const unsigned char *&p) {
  uint64_t v;
  memcpy(&v, p, sizeof v);
  p += sizeof v;
  return v;
}

}  // namespace

const for_kw_entry *for__kw_table(int code, int *count) {
  for (const auto &t : tables) {
    if (t.code == code) {
      *count = t.count;
      return t.table;
    }
  }
  *count = 0;
  return nullptr;
}

int for__kw_lookup(const for_kw_entry *table, int count, const char *text, int64_t length) {
  char folded[32];
  if (length < 0) length = 0;
  // Trailing blanks go, but the first character always stays.
  while (length > 1 && text[length - 1] == ' ') --length;
  if (length > static_cast<int64_t>(sizeof folded)) return 0;
  for (int64_t i = 0; i < length; ++i) {
    char c = text[i];
    folded[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  for (int i = 0; i < count; ++i)
    if (table[i].length == length && memcmp(table[i].text, folded, static_cast<size_t>(length)) == 0)
      return table[i].code;
  return 0;
}

int for__decode_keywords(const uint8_t *list, const void *arguments, for_open_kw *kw, int bad_value_error,
                         const int *allowed) {
  *kw = for_open_kw{};
  const unsigned char *args = static_cast<const unsigned char *>(arguments);
  int result = 0;
  for (const uint8_t *item = list; item; item += 4) {
    const uint8_t kind = item[0], code = item[2];
    if (kind == FOR_KW_KIND_END) break;
    if (code < 2 || code > 86) return FOR_E_BAD_ARGUMENT;
    if (allowed) {
      bool ok = false;
      for (const int *a = allowed; *a; ++a) ok = ok || *a == code;
      if (!ok) return FOR_E_BAD_ARGUMENT;
    }
    if (kind == FOR_KW_KIND_INT) {
      kw->value[code] = slot(args);
      continue;
    }
    if (kind != FOR_KW_KIND_CHAR) return FOR_E_BAD_ARGUMENT;
    const int64_t length = static_cast<int64_t>(slot(args));
    const char *text = reinterpret_cast<const char *>(slot(args));
    switch (code) {
      case FOR_KW_FILE:
      case FOR_KW_NAME:
        kw->file = text;
        kw->file_length = length < 0 ? 0 : length;
        kw->file_given = true;
        break;
      case FOR_KW_DEFAULTFILE:
        kw->defaultfile = text;
        kw->defaultfile_length = length < 0 ? 0 : length;
        kw->defaultfile_given = true;
        break;
      case FOR_KW_IOMSG:
        kw->iomsg = const_cast<char *>(text);
        kw->iomsg_length = length;
        break;
      default: {
        int count;
        const for_kw_entry *table = for__kw_table(code, &count);
        if (!table) return FOR_E_BAD_ARGUMENT;
        int value = for__kw_lookup(table, count, text, length);
        // Keep decoding so that a later malformed item still reports 48.
        if (value == 0 && result == 0) result = bad_value_error;
        kw->value[code] = static_cast<uint64_t>(value);
        break;
      }
    }
  }
  return result;
}
