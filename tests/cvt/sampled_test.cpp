// Ten million seeded samples each of F10.4 output and of text-to-real input,
// against references that do not depend on the processor: the C library's
// "%.4f" of the value widened to double (exact, ties to even), and the
// software replay of the binary32 evaluation.  Cheap enough to run on every
// build and under an emulator, where the machine layer underneath differs.
#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "cvt/cvt.h"
#include "tests/cvt/atof_reference.h"

namespace {

constexpr uint32_t kF = CVT_ROUND_VALID | CVT_EDIT_F;
// Flags of list-directed and F editing input.
constexpr uint32_t kEntry = 0x0400A0E0u | CVTAS_ROUND_VALID;
constexpr int kShards = 4;
constexpr int kPerShard = 2500000;

// F10.4 from printf's digits: a rounded zero loses its minus sign; a value
// wider than ten characters is asterisks.
void expected_f10_4(float x, char out[10]) {
  char s[64];
  int n = snprintf(s, sizeof s, "%.4f", static_cast<double>(x));
  const char *p = s;
  if (strcmp(s, "-0.0000") == 0) {
    ++p;
    --n;
  }
  if (n > 10) {
    memset(out, '*', 10);
    return;
  }
  memset(out, ' ', 10);
  memcpy(out + 10 - n, p, static_cast<size_t>(n));
}

// Values of every magnitude from 2^-40 to 2^24 (most of them fit F10.4,
// those from 10^5 up are asterisks), with random significands and signs.
float draw_float(std::mt19937_64 &rng) {
  const uint64_t r = rng();
  const uint32_t exponent = 127 - 40 + static_cast<uint32_t>((r >> 32) % 65);
  return std::bit_cast<float>(static_cast<uint32_t>(r & 0x807FFFFFu) | exponent << 23);
}

void f10_4_shard(int shard) {
  std::mt19937_64 rng(20261209 + static_cast<uint64_t>(shard));
  int mismatches = 0;
  for (int i = 0; i < kPerShard; ++i) {
    const float x = draw_float(rng);
    char got[10], want[10];
    const int status = cvt_ieee_s_to_text_ex(&x, 10, 0, 4, 10, 0, kF, got, 0);
    expected_f10_4(x, want);
    if (memcmp(got, want, 10) != 0 || status != (want[0] == '*' ? CVT_STARS : CVT_OK)) {
      if (++mismatches <= 10)
        ADD_FAILURE() << std::hexfloat << x << ": [" << std::string(got, 10) << "] status " << status
                      << ", expected [" << std::string(want, 10) << "]";
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// A decimal numeral: 1 to 12 digits, a point anywhere or none, sometimes
// an exponent, and a sign; its value stays within the normal range.
std::string draw_text(std::mt19937_64 &rng) {
  char text[40];
  int n = 0;
  const uint64_t r = rng();
  if (r & 1) text[n++] = (r & 2) ? '-' : '+';
  const int digits = 1 + static_cast<int>((r >> 2) % 12);
  const int point = static_cast<int>((r >> 8) % static_cast<uint64_t>(digits + 2)) - 1;  // -1: no point
  uint64_t d = rng();
  for (int k = 0; k < digits; ++k) {
    if (k == point) text[n++] = '.';
    text[n++] = static_cast<char>('0' + d % 10);
    d /= 10;
    if (k == 15) d = rng();
  }
  if (point == digits) text[n++] = '.';
  if ((r >> 16) & 1) n += snprintf(text + n, sizeof text - static_cast<size_t>(n), "E%d", static_cast<int>((r >> 20) % 51) - 25);
  return std::string(text, static_cast<size_t>(n));
}

void text_to_real_shard(int shard) {
  std::mt19937_64 rng(19700101 + static_cast<uint64_t>(shard));
  int mismatches = 0;
  for (int i = 0; i < kPerShard; ++i) {
    const std::string text = draw_text(rng);
    int32_t status = -1;
    const float got = cvtas_a_to_s(text.data(), static_cast<int32_t>(text.size()), kEntry, 0, 0, nullptr, &status);
    const atof_ref::Result want = atof_ref::evaluate(*atof_ref::parse(text));
    if (std::bit_cast<uint32_t>(got) != want.bits || status != want.status) {
      if (++mismatches <= 10)
        ADD_FAILURE() << text << ": " << std::hexfloat << got << " status " << status << ", expected "
                      << std::bit_cast<float>(want.bits) << " status " << want.status;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace

// Shards, so that a parallel run spreads them.
TEST(SampledF10_4, Shard0) { f10_4_shard(0); }
TEST(SampledF10_4, Shard1) { f10_4_shard(1); }
TEST(SampledF10_4, Shard2) { f10_4_shard(2); }
TEST(SampledF10_4, Shard3) { f10_4_shard(3); }
TEST(SampledTextToReal, Shard0) { text_to_real_shard(0); }
TEST(SampledTextToReal, Shard1) { text_to_real_shard(1); }
TEST(SampledTextToReal, Shard2) { text_to_real_shard(2); }
TEST(SampledTextToReal, Shard3) { text_to_real_shard(3); }
static_assert(kShards * kPerShard == 10000000);
