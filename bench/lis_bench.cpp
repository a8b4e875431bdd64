// List-directed READ of six REAL*4 values per statement (one start call and
// five item calls, as compiled code makes them) over a file of 200,000 rows,
// against std::ifstream >> float over the same file.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <string>

#include "rtl/for_rtl.h"

namespace {

constexpr int kRows = 200000;
constexpr int32_t kUnit = 99;

struct Data {
  std::string path;
  Data() {
    setenv("FOR_IGNORE_EXCEPTIONS", "1", 1);
    int32_t argc = 0;
    for_rtl_init_(&argc, nullptr);
    const char *tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/lis_bench_XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) abort();
    path = pattern;
    FILE *f = fdopen(fd, "w");
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> value(-500.0f, 500.0f);
    for (int r = 0; r < kRows; ++r) {
      // Rows as the program's control files hold them: F10.4 fields, each
      // with a leading blank.
      for (int c = 0; c < 6; ++c) fprintf(f, "%10.4f", static_cast<double>(value(rng)));
      fputc('\n', f);
    }
    fclose(f);
  }
  ~Data() { unlink(path.c_str()); }
};

const Data &data() {
  static Data d;
  return d;
}

int32_t open_unit(const std::string &path) {
  static const char status[] = "old";
  const uint8_t list[] = {FOR_KW_KIND_CHAR, 4, FOR_KW_FILE, 0, FOR_KW_KIND_CHAR, 4, FOR_KW_STATUS, 0,
                          FOR_KW_KIND_END,  0, 0,           0};
  const uint64_t slots[] = {path.size(), reinterpret_cast<uint64_t>(path.data()), sizeof status - 1,
                            reinterpret_cast<uint64_t>(status)};
  for_stmt_block b;
  b.word[0] = 0;
  return for_open(&b, kUnit, FOR_OPTS_PROGRAM, list, slots);
}

void close_unit() {
  static const uint8_t end[] = {FOR_KW_KIND_END, 0, 0, 0};
  for_stmt_block b;
  b.word[0] = 0;
  for_close(&b, kUnit, FOR_OPTS_PROGRAM, end, nullptr);
}

void BM_ListDirectedRead(benchmark::State &state) {
  const std::string &path = data().path;
  static const uint8_t next[] = {FOR_TYPE_REAL4, FOR_PASS_ADDRESS, FOR_DESC_NEXT, 0};
  static const uint8_t last[] = {FOR_TYPE_REAL4, FOR_PASS_ADDRESS, FOR_DESC_END, 0};
  float v[6];
  uint64_t slot[6];
  for (int k = 0; k < 6; ++k) slot[k] = reinterpret_cast<uint64_t>(&v[k]);
  double sum = 0;
  for (auto _ : state) {
    if (open_unit(path)) state.SkipWithError("open failed");
    for (int r = 0; r < kRows; ++r) {
      for_stmt_block b;
      b.word[0] = 0;
      for_read_seq_lis(&b, kUnit, FOR_OPTS_PROGRAM, next, &slot[0]);
      for (int k = 1; k < 5; ++k) for_read_seq_lis_xmit(&b, next, &slot[k]);
      for_read_seq_lis_xmit(&b, last, &slot[5]);
      sum += v[0] + v[5];
    }
    close_unit();
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations() * kRows * 6);
}
BENCHMARK(BM_ListDirectedRead)->Unit(benchmark::kMillisecond);

void BM_IfstreamFloat(benchmark::State &state) {
  const std::string &path = data().path;
  double sum = 0;
  for (auto _ : state) {
    std::ifstream in(path);
    float v[6];
    for (int r = 0; r < kRows; ++r) {
      for (int k = 0; k < 6; ++k) in >> v[k];
      sum += v[0] + v[5];
    }
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations() * kRows * 6);
}
BENCHMARK(BM_IfstreamFloat)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
