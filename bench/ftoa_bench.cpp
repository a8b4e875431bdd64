// F10.4 of binary32 values below 10^4 in magnitude, and I3 of case numbers:
// the run-time conversions against std::to_chars (padded to the field) and
// snprintf in the same run.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "cvt/cvt.h"
#include "fmt/cvt_int.h"

namespace {

constexpr uint32_t kF = CVT_ROUND_VALID | CVT_EDIT_F;
constexpr size_t kCount = 4096;  // a power of two: the index wraps by masking

const std::vector<float> &values() {
  static const std::vector<float> v = [] {
    std::mt19937 rng(2024);
    std::uniform_real_distribution<float> dist(-1e4f, 1e4f);
    std::vector<float> out(kCount);
    for (float &x : out) x = dist(rng);
    return out;
  }();
  return v;
}

const std::vector<int32_t> &case_numbers() {
  static const std::vector<int32_t> v = [] {
    std::mt19937 rng(7);
    std::vector<int32_t> out(kCount);
    for (int32_t &n : out) n = (int32_t)(rng() % 999) + 1;
    return out;
  }();
  return v;
}

void BM_F10_4_cvt_ieee_s_to_text_ex(benchmark::State &state) {
  const std::vector<float> &v = values();
  char field[10];
  size_t i = 0;
  for (auto _ : state) {
    int status = cvt_ieee_s_to_text_ex(&v[i++ & (kCount - 1)], 10, 0, 4, 10, 0, kF, field, 0);
    benchmark::DoNotOptimize(status);
    benchmark::DoNotOptimize(field);
  }
}
BENCHMARK(BM_F10_4_cvt_ieee_s_to_text_ex);

void BM_F10_4_to_chars_padded(benchmark::State &state) {
  const std::vector<float> &v = values();
  char field[10];
  size_t i = 0;
  for (auto _ : state) {
    char buf[48];
    auto r = std::to_chars(buf, buf + sizeof buf, v[i++ & (kCount - 1)], std::chars_format::fixed, 4);
    size_t n = (size_t)(r.ptr - buf);
    if (n > 10) {
      memset(field, '*', 10);
    } else {
      memset(field, ' ', 10 - n);
      memcpy(field + 10 - n, buf, n);
    }
    benchmark::DoNotOptimize(field);
  }
}
BENCHMARK(BM_F10_4_to_chars_padded);

void BM_F10_4_snprintf(benchmark::State &state) {
  const std::vector<float> &v = values();
  char field[16];
  size_t i = 0;
  for (auto _ : state) {
    int n = snprintf(field, sizeof field, "%10.4f", (double)v[i++ & (kCount - 1)]);
    benchmark::DoNotOptimize(n);
    benchmark::DoNotOptimize(field);
  }
}
BENCHMARK(BM_F10_4_snprintf);

void BM_I3_cvt_integer_to_text(benchmark::State &state) {
  const std::vector<int32_t> &v = case_numbers();
  char field[3];
  size_t i = 0;
  for (auto _ : state) {
    int status = cvt_integer_to_text(v[i++ & (kCount - 1)], 3, 1, 0, field);
    benchmark::DoNotOptimize(status);
    benchmark::DoNotOptimize(field);
  }
}
BENCHMARK(BM_I3_cvt_integer_to_text);

void BM_I3_snprintf(benchmark::State &state) {
  const std::vector<int32_t> &v = case_numbers();
  char field[8];
  size_t i = 0;
  for (auto _ : state) {
    int n = snprintf(field, sizeof field, "%3d", v[i++ & (kCount - 1)]);
    benchmark::DoNotOptimize(n);
    benchmark::DoNotOptimize(field);
  }
}
BENCHMARK(BM_I3_snprintf);

}  // namespace

BENCHMARK_MAIN();
