#include "for_arch_scan.h"

#include <arm_neon.h>

#include <cstring>

namespace {

// Four bits per character of the 16 at text, all set where it is not a
// blank.
inline uint64_t non_blanks(const char *text, uint8x16_t blanks) {
  const uint8x16_t other = vmvnq_u8(vceqq_u8(vld1q_u8(reinterpret_cast<const uint8_t *>(text)), blanks));
  return vget_lane_u64(vreinterpret_u64_u8(vshrn_n_u16(vreinterpretq_u16_u8(other), 4)), 0);
}

// The same scan a word of eight characters at a time: a byte of w ^ blanks
// is non-zero where the character is not a blank.
int32_t last_nonblank_words(const char *text, int64_t text_length) {
  constexpr uint64_t kBlanks = 0x2020202020202020ull;
  int64_t i = text_length;
  while (i >= 8) {
    uint64_t w;
    memcpy(&w, text + i - 8, 8);
    if (const uint64_t other = w ^ kBlanks) return static_cast<int32_t>(i - 8 + (63 - __builtin_clzll(other)) / 8 + 1);
    i -= 8;
  }
  while (i >= 1 && text[i - 1] == ' ') --i;
  return static_cast<int32_t>(i);
}

bool always() { return true; }

}  // namespace

// From the end, 64 characters at a time while they are all blanks, then 16
// at a time; the last non-blank of the first group that holds one ends the
// scan, and fewer than 16 are left to the word scan.
int32_t for__last_nonblank_neon(const char *text, int64_t text_length) {
  const uint8x16_t blanks = vdupq_n_u8(' ');
  const uint8_t *p = reinterpret_cast<const uint8_t *>(text);
  int64_t i = text_length;
  while (i >= 64) {
    const uint8x16_t all = vandq_u8(vandq_u8(vceqq_u8(vld1q_u8(p + i - 64), blanks), vceqq_u8(vld1q_u8(p + i - 48), blanks)),
                                    vandq_u8(vceqq_u8(vld1q_u8(p + i - 32), blanks), vceqq_u8(vld1q_u8(p + i - 16), blanks)));
    if (vminvq_u8(all) != 0xFF) break;
    i -= 64;
  }
  while (i >= 16) {
    if (const uint64_t bits = non_blanks(text + i - 16, blanks))
      return static_cast<int32_t>(i - 16 + (63 - __builtin_clzll(bits)) / 4 + 1);
    i -= 16;
  }
  return last_nonblank_words(text, i);
}

const for_blank_scan for__blank_scans[] = {
    {"neon", for__last_nonblank_neon, always},
    {"words", last_nonblank_words, always},
};
const int for__blank_scan_count = 2;
