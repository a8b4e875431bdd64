// Decoding the interrupted instruction: prefixes, REX, VEX and EVEX, the
// opcode map, ModRM, SIB and displacement.  Only what the arithmetic trap
// checks need; anything else is reported as not understood.
#include "for_signal_insn.h"

#include <string.h>

#include "rtl/tbk_internal.h"

namespace {

// gregs index of each register number (ModRM / SIB encoding order).
constexpr int kGreg[16] = {REG_RAX, REG_RCX, REG_RDX, REG_RBX, REG_RSP, REG_RBP, REG_RSI, REG_RDI,
                           REG_R8,  REG_R9,  REG_R10, REG_R11, REG_R12, REG_R13, REG_R14, REG_R15};

bool is_legacy_prefix(uint8_t b) {
  switch (b) {
    case 0x66: case 0x67: case 0xF0: case 0xF2: case 0xF3:
    case 0x26: case 0x2E: case 0x36: case 0x3E: case 0x64: case 0x65:
      return true;
    default:
      return false;
  }
}

// 0F-map opcodes without a ModRM byte.
bool map1_without_modrm(uint8_t op) {
  if (op >= 0x80 && op <= 0x8F) return true;  // Jcc rel32
  if (op >= 0xC8 && op <= 0xCF) return true;  // BSWAP
  if (op >= 0x30 && op <= 0x37) return true;  // WRMSR .. GETSEC
  switch (op) {
    case 0x05: case 0x06: case 0x07: case 0x08: case 0x09: case 0x0B: case 0x0E:
    case 0x77: case 0xA0: case 0xA1: case 0xA2: case 0xA8: case 0xA9: case 0xAA:
      return true;
    default:
      return false;
  }
}

// Bytes of immediate data after ModRM and displacement.
int immediate_size(const for_insn *in, bool operand16) {
  if (in->map == 3) return 1;
  if (in->map == 1) {
    switch (in->opcode) {
      case 0x70: case 0x71: case 0x72: case 0x73: case 0xA4: case 0xAC:
      case 0xBA: case 0xC2: case 0xC4: case 0xC5: case 0xC6:
        return 1;
      default:
        return 0;
    }
  }
  if (in->map == 0 && (in->opcode == 0xF6 || in->opcode == 0xF7) && (in->reg & 7) <= 1)  // TEST r/m, imm
    return in->opcode == 0xF6 ? 1 : (operand16 ? 2 : 4);
  return 0;
}

int64_t signed_bytes(const uint8_t *p, int n) {
  if (n == 1) return static_cast<int8_t>(p[0]);
  int32_t v;
  memcpy(&v, p, 4);
  return v;
}

}  // namespace

bool for__decode_insn(const uint8_t *code, size_t n, uintptr_t rip, const greg_t *gregs, for_insn *out) {
  *out = for_insn{};
  if (n > 15) n = 15;  // the architectural limit of one instruction
  size_t i = 0;
  bool operand16 = false, address32 = false, segment = false;
  while (i < n && is_legacy_prefix(code[i])) {
    operand16 |= code[i] == 0x66;
    address32 |= code[i] == 0x67;
    segment |= code[i] == 0x64 || code[i] == 0x65;
    ++i;
  }
  unsigned r = 0, x = 0, b = 0, r2 = 0;
  bool evex = false;
  if (i < n && (code[i] & 0xF0) == 0x40) {
    r = (code[i] >> 2) & 1;
    x = (code[i] >> 1) & 1;
    b = code[i] & 1;
    ++i;
  }
  if (i >= n) return false;
  if (code[i] == 0xC5) {  // two-byte VEX: R vvvv L pp, map 0F
    if (i + 1 >= n) return false;
    r = ((code[i + 1] >> 7) & 1) ^ 1;
    out->vvvv = static_cast<uint8_t>((~code[i + 1] >> 3) & 15);
    out->vex = true;
    out->map = 1;
    i += 2;
  } else if (code[i] == 0xC4 || code[i] == 0x62) {  // three-byte VEX or EVEX
    evex = code[i] == 0x62;
    const size_t size = evex ? 4 : 3;
    if (i + size > n) return false;
    const uint8_t p0 = code[i + 1], p1 = code[i + 2];
    r = ((p0 >> 7) & 1) ^ 1;
    x = ((p0 >> 6) & 1) ^ 1;
    b = ((p0 >> 5) & 1) ^ 1;
    if (evex) r2 = ((p0 >> 4) & 1) ^ 1;
    out->map = static_cast<uint8_t>(p0 & (evex ? 0x07 : 0x1F));
    out->vvvv = static_cast<uint8_t>((~p1 >> 3) & 15);
    out->vex = true;
    i += size;
  } else if (code[i] == 0x0F) {
    if (++i >= n) return false;
    out->map = 1;
    if (code[i] == 0x38 || code[i] == 0x3A) {
      out->map = code[i] == 0x38 ? 2 : 3;
      ++i;
    }
  }
  if (out->map > 3 || i >= n) return false;
  out->opcode = code[i++];

  if (out->map == 0) {
    out->modrm = (out->opcode >= 0xD8 && out->opcode <= 0xDF) || out->opcode == 0xF6 || out->opcode == 0xF7;
  } else {
    out->modrm = !(out->map == 1 && !out->vex && map1_without_modrm(out->opcode));
  }
  if (!out->modrm) return true;

  if (i >= n) return false;
  const uint8_t m = code[i++];
  out->mod = m >> 6;
  out->reg = static_cast<uint8_t>(((m >> 3) & 7) | (r << 3) | (r2 << 4));
  out->rm = static_cast<uint8_t>((m & 7) | (b << 3));
  if (out->mod == 3) return true;

  // Memory operand: [base + index * scale + displacement] or [rip + disp32].
  int base = -1, index = -1, scale = 0, disp_size = out->mod == 1 ? 1 : out->mod == 2 ? 4 : 0;
  bool rip_relative = false;
  if ((m & 7) == 4) {
    if (i >= n) return false;
    const uint8_t sib = code[i++];
    scale = sib >> 6;
    index = static_cast<int>(((sib >> 3) & 7) | (x << 3));
    if (index == 4) index = -1;  // no index
    base = static_cast<int>((sib & 7) | (b << 3));
    if ((sib & 7) == 5 && out->mod == 0) {
      base = -1;
      disp_size = 4;
    }
  } else if ((m & 7) == 5 && out->mod == 0) {
    rip_relative = true;
    disp_size = 4;
  } else {
    base = out->rm;
  }
  if (i + static_cast<size_t>(disp_size) > n) return false;
  const int64_t disp = disp_size ? signed_bytes(code + i, disp_size) : 0;
  i += static_cast<size_t>(disp_size);
  const size_t length = i + static_cast<size_t>(immediate_size(out, operand16));
  if (length > n) return false;

  // EVEX scales an 8-bit displacement by the operand size, which depends on
  // the opcode; FS and GS bases are not in the context.
  if (segment || (evex && disp_size == 1) || !gregs) return true;
  uint64_t address = static_cast<uint64_t>(disp);
  if (rip_relative) address += rip + length;
  if (base >= 0) address += static_cast<uint64_t>(gregs[kGreg[base]]);
  if (index >= 0) address += static_cast<uint64_t>(gregs[kGreg[index]]) << scale;
  if (address32) address &= 0xFFFFFFFFu;
  out->memory = true;
  out->address = static_cast<uintptr_t>(address);
  return true;
}

bool for__decode_context_insn(const ucontext_t *uc, for_insn *out) {
  if (!uc) return false;
  const greg_t *g = uc->uc_mcontext.gregs;
  const uintptr_t rip = static_cast<uintptr_t>(g[REG_RIP]);
  uint8_t code[15];
  const size_t n = tbk_safe_read(rip, code, sizeof code);
  return n > 0 && for__decode_insn(code, n, rip, g, out);
}

bool for__is_divide(const for_insn *insn) {
  return insn->map == 0 && !insn->vex && insn->modrm && (insn->opcode == 0xF6 || insn->opcode == 0xF7) &&
         ((insn->reg & 7) == 6 || (insn->reg & 7) == 7);
}
