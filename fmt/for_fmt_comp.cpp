// The run-time format compiler: format text to a newly allocated pack of
// full-form items (never compact forms) and literals.
//
// Syntax accepted (letters in either case; blanks only between items,
// separators and parentheses):
//   format  := '(' [ list ] ')'
//   list    := item { [','] item }   the comma may be left out only before or
//                                    after '/' and ':' and after kP
//   item    := [r] '(' list ')' | [r] data | [r] '/' | ':' | nX | [+-]kP
//            | T n | TL n | TR n | BN | BZ | SP | SS | S | RU | RD | RZ | RN
//            | RC | RP | DC | DP | Q | '$' | '\' | 'text' | "text" | nHtext
//   data    := A [w] | L [w] | I|O|Z|B [w[.m]] | F|D [w.d] | E|G|EN|ES [w.d[Ee]]
// Repeat counts, n and w are positive where given (w and m may be 0); k lies
// in -128..127; quotes inside a quoted literal are doubled.  Derived-type
// items and run-time operands are not accepted.
#include <cstdlib>
#include <cstring>

#include "fmt/for_fmt.h"
#include "fmt/for_fmt_diag.h"
#include "rtl/for_rtl.h"

namespace {

constexpr int kErrMemory = 41;
constexpr int kErrArgument = 48;
constexpr int kErrSyntax = 62;
constexpr size_t kStep = 512;
constexpr size_t kMaxPack = 0xFFFF;  // offsets inside a pack are 16-bit
constexpr int kMaxDepth = 8;         // counting the outer parentheses

// The pack being built, grown in 512-byte steps.
struct pack_buffer {
  uint8_t *data = nullptr;
  size_t used = 0;
  size_t capacity = 0;
  int status = 0;

  // n zeroed bytes at the end, or null (status set) when the pack would
  // pass 65,535 bytes or memory is exhausted.
  uint8_t *room(size_t n) {
    if (status != 0) return nullptr;
    if (n > kMaxPack - used) {
      status = kErrSyntax;
      return nullptr;
    }
    if (used + n > capacity) {
      size_t want = (used + n + kStep - 1) / kStep * kStep;
      void *grown = realloc(data, want);
      if (!grown) {
        status = kErrMemory;
        return nullptr;
      }
      data = static_cast<uint8_t *>(grown);
      capacity = want;
    }
    uint8_t *p = data + used;
    memset(p, 0, n);
    used += n;
    return p;
  }
};

void store32(uint8_t *p, uint64_t v) {
  for (int i = 0; i < 4; ++i) p[i] = (uint8_t)(v >> (8 * i));
}
void store64(uint8_t *p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = (uint8_t)(v >> (8 * i));
}

// One full-form item; e and d are capped at 255, and r or w beyond 32 bits
// selects the 24-byte layout.
void emit_comp_fmt(pack_buffer *out, uint8_t code, uint64_t r, uint64_t w, uint64_t d,
                   uint64_t e) {
  const bool wide = r > UINT32_MAX || w > UINT32_MAX;
  uint8_t *p = out->room(wide ? 24 : 12);
  if (!p) return;
  p[0] = code;
  p[1] = wide ? 0x10 : 0;
  p[2] = (uint8_t)(e > 255 ? 255 : e);
  p[3] = (uint8_t)(d > 255 ? 255 : d);
  if (wide) {
    store64(p + 8, r);
    store64(p + 16, w);
  } else {
    store32(p + 4, r);
    store32(p + 8, w);
  }
}

// Literal header (28, 0, length) and room for the text, zero-padded to a
// multiple of 4; null when it cannot be had.
char *emit_hollerith(pack_buffer *out, size_t length) {
  if (length > 0xFFFF) {
    out->status = kErrSyntax;
    return nullptr;
  }
  uint8_t *p = out->room(4 + ((length + 3) & ~(size_t)3));
  if (!p) return nullptr;
  p[0] = FD_LITERAL;
  p[2] = (uint8_t)length;
  p[3] = (uint8_t)(length >> 8);
  return reinterpret_cast<char *>(p + 4);
}

enum item_kind { K_GROUP, K_SLASH, K_COLON, K_P, K_OTHER };

struct parser {
  const char *text = nullptr;
  size_t length = 0;
  size_t i = 0;
  pack_buffer out;

  int raw() const { return i < length ? (unsigned char)text[i] : -1; }
  int upper() const {
    int c = raw();
    return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
  }
  bool digit() const { return raw() >= '0' && raw() <= '9'; }
  // The next character after blanks.
  int peek() {
    while (raw() == ' ') ++i;
    return upper();
  }
  // Decimal digits at i; false on none or overflow of 64 bits.
  bool number(uint64_t *v) {
    if (!digit()) return false;
    uint64_t n = 0;
    while (digit()) {
      unsigned dv = (unsigned)(raw() - '0');
      if (n > (UINT64_MAX - dv) / 10) return false;
      n = n * 10 + dv;
      ++i;
    }
    *v = n;
    return true;
  }

  bool data(uint8_t base, uint64_t r);
  bool quoted();
  bool item(item_kind *kind);
};

// A data descriptor after its letters: count the numbers given (the repeat
// count first) and follow fmt_check's promotions from the letter's code.
bool parser::data(uint8_t base, uint64_t r) {
  uint64_t w = 0, d = 0, e = 0;
  int count = 1;
  if (digit()) {
    if (!number(&w)) return false;
    ++count;
    if (raw() == '.') {
      ++i;
      if (!number(&d)) return false;
      ++count;
      if (upper() == 'E' && i + 1 < length && text[i + 1] >= '0' && text[i + 1] <= '9') {
        ++i;
        if (!number(&e)) return false;
        ++count;
      }
    }
  }
  const bool integer = base == FD_I0 || base == FD_O0 || base == FD_Z0 || base == FD_B0;
  if (integer && count == 2) {  // default m = 1
    d = 1;
    count = 3;
  }
  uint8_t code = base;
  while (count != fmt_check[code].count) {
    if (count < fmt_check[code].count || fmt_check[code].promote == 0) return false;
    code = fmt_check[code].promote;
  }
  emit_comp_fmt(&out, code, r, w, d, e);
  return true;
}

// A quoted literal at i; a doubled quote stands for one.
bool parser::quoted() {
  const char quote = text[i++];
  size_t length = 0, j = i;
  for (;; ++j, ++length) {
    if (j >= this->length) return false;
    if (text[j] == quote) {
      if (j + 1 < this->length && text[j + 1] == quote) {
        ++j;
        continue;
      }
      break;
    }
  }
  char *p = emit_hollerith(&out, length);
  if (!p) return false;
  for (size_t k = 0; k < length; ++k, ++i) {
    if (text[i] == quote) ++i;
    p[k] = text[i];
  }
  ++i;  // closing quote
  return true;
}

bool parser::item(item_kind *kind) {
  *kind = K_OTHER;
  int sign = 0;
  if (upper() == '+' || upper() == '-') {
    sign = upper() == '-' ? -1 : 1;
    ++i;
  }
  uint64_t n = 0;
  const bool has_n = digit();
  if (has_n && !number(&n)) return false;
  if (sign != 0 && (!has_n || upper() != 'P')) return false;
  const int c = upper();
  if (c < 0) return false;
  ++i;
  const uint64_t r = has_n ? n : 1;
  if (has_n && n == 0 && c != 'P') return false;

  // Items that take a leading number of their own, or none.
  switch (c) {
    case '(':
      *kind = K_GROUP;
      emit_comp_fmt(&out, FD_GROUP, r, 0, 0, 0);
      return true;
    case '/':
      *kind = K_SLASH;
      emit_comp_fmt(&out, FD_SLASH, r, 0, 0, 0);
      return true;
    case 'P': {
      if (!has_n || n > (sign < 0 ? 128u : 127u)) return false;
      const int k = sign < 0 ? -(int)n : (int)n;
      *kind = K_P;
      emit_comp_fmt(&out, FD_P, 1, (uint64_t)(k & 0xFF), 0, 0);
      return true;
    }
    case 'X':
      if (!has_n) return false;
      emit_comp_fmt(&out, FD_X, n, 0, 0, 0);
      return true;
    case 'H': {
      if (!has_n || n > length - i) return false;
      char *p = emit_hollerith(&out, n);
      if (!p) return false;
      memcpy(p, text + i, n);
      i += n;
      return true;
    }
    default:
      break;
  }

  // Descriptors that take a repeat count: the data descriptors.
  switch (c) {
    case 'A': return data(FD_A0, r);
    case 'F': return data(FD_F0, r);
    case 'G': return data(FD_G0, r);
    case 'I': return data(FD_I0, r);
    case 'L': return data(FD_L0, r);
    case 'O': return data(FD_O0, r);
    case 'Z': return data(FD_Z0, r);
    case 'B':
      if (upper() == 'N' || upper() == 'Z') break;
      return data(FD_B0, r);
    case 'D':
      if (upper() == 'C' || upper() == 'P' || upper() == 'T') break;
      return data(FD_D0, r);
    case 'E':
      if (upper() == 'N' || upper() == 'S') {
        const uint8_t base = upper() == 'N' ? FD_EN0 : FD_ES0;
        ++i;
        return data(base, r);
      }
      return data(FD_E0, r);
    default:
      break;
  }

  // The rest take no leading number.
  if (has_n) return false;
  const int next = upper();
  uint8_t code;
  switch (c) {
    case '\'': case '"':
      --i;
      return quoted();
    case ':':
      *kind = K_COLON;
      emit_comp_fmt(&out, FD_COLON, 0, 0, 0, 0);
      return true;
    case '$': case '\\': code = FD_DOLLAR; break;
    case 'Q': code = FD_Q; break;
    case 'B': code = next == 'N' ? FD_BN : FD_BZ; ++i; break;
    case 'D':
      if (next == 'T') return false;  // derived-type items are not supported
      code = next == 'C' ? FD_DC : FD_DP;
      ++i;
      break;
    case 'S':
      code = next == 'P' ? FD_SP : next == 'S' ? FD_SS : FD_S;
      if (code != FD_S) ++i;
      break;
    case 'R': {
      static const char kRounding[] = "UDZNCP";
      const char *at = next > 0 ? strchr(kRounding, next) : nullptr;
      if (!at) return false;
      code = (uint8_t)(FD_RU + (at - kRounding));
      ++i;
      break;
    }
    case 'T': {
      code = next == 'L' ? FD_TL : next == 'R' ? FD_TR : FD_T;
      if (code != FD_T) ++i;
      uint64_t count;
      if (!number(&count) || count == 0) return false;
      emit_comp_fmt(&out, code, 1, count, 0, 0);
      return true;
    }
    default:
      return false;
  }
  emit_comp_fmt(&out, code, 0, 0, 0, 0);
  return true;
}

// Compiles the whole text; on failure i is at or just past the fault.
int compile(parser *ps) {
  if (ps->peek() != '(') return kErrSyntax;
  ++ps->i;
  emit_comp_fmt(&ps->out, FD_START, 0, 0, 0, 0);
  int depth = 1;
  bool after_open = true;     // just past '(' (an item or ')' must follow)
  bool after_comma = false;   // just past ',' (an item must follow)
  bool need_comma = false;    // the previous item needs a separator
  for (;;) {
    if (ps->out.status != 0) return ps->out.status;
    const int c = ps->peek();
    if (c < 0) return kErrSyntax;
    if (c == ')') {
      if (after_comma || (after_open && depth > 1)) return kErrSyntax;
      ++ps->i;
      if (depth == 1) {
        emit_comp_fmt(&ps->out, FD_END, 0, 0, 0, 0);
        break;
      }
      emit_comp_fmt(&ps->out, FD_GROUP_END, 0, 0, 0, 0);
      --depth;
      after_open = false;
      need_comma = true;
      continue;
    }
    if (c == ',') {
      if (after_open || after_comma) return kErrSyntax;
      ++ps->i;
      after_comma = true;
      need_comma = false;
      continue;
    }
    const size_t start = ps->i;
    const bool separated = !need_comma;
    item_kind kind;
    if (!ps->item(&kind)) return ps->out.status != 0 ? ps->out.status : kErrSyntax;
    if (!separated && kind != K_SLASH && kind != K_COLON) {
      ps->i = start;
      return kErrSyntax;
    }
    after_open = after_comma = false;
    if (kind == K_GROUP) {
      if (++depth > kMaxDepth) return kErrSyntax;
      after_open = true;
      need_comma = false;
    } else {
      need_comma = kind == K_OTHER;
    }
  }
  if (ps->out.status != 0) return ps->out.status;
  return ps->peek() < 0 ? 0 : kErrSyntax;
}

}  // namespace

extern "C" int32_t for__format_compiler(const char *text, int64_t length, uint8_t **pack,
                                        int32_t report) {
  if (!pack) return kErrArgument;
  *pack = nullptr;
  if (length < 0 || (!text && length > 0)) return kErrSyntax;
  parser ps;
  ps.text = text;
  ps.length = (size_t)length;
  int status = compile(&ps);
  if (status != 0) {
    free(ps.out.data);
    if (status == kErrSyntax && report) {
      size_t at = ps.i < ps.length ? ps.i : ps.length;
      for__fmt_syntax_report(text ? text + at : "", (int64_t)(ps.length - at));
    }
    return status;
  }
  *pack = ps.out.data;
  return 0;
}

extern "C" void for__format_free(uint8_t *pack) { free(pack); }
