// Formatted transfer throughput: a large text file copied line by line with
// "(A)" READ and trimmed "(A)" WRITE to a block-buffered unit, against cat of
// the same file; and six-value rows written with "(3F10.4,3X,3F10.4)"
// against the same rows built with snprintf and written with fwrite.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_scratch.h"
#include "fmt/for_fmt.h"
#include "fmt/for_statements.h"
#include "rtl/for_rtl.h"

namespace {

constexpr int kLines = 500000;

// Control-file-like lines: keywords, values, trailing blanks on some.
const std::string &input_file() {
  static const std::string path = [] {
    std::string p = bench_scratch_dir() + "/input.txt";
    std::ofstream out(p, std::ios::binary);
    std::mt19937 rng(7);
    for (int i = 0; i < kLines; ++i) {
      if (i % 2 == 0) out << "KEYWORD" << i % 97 << "     VALUE1   VALUE2   VALUE3";
      else out << " " << rng() % 10000 << ".25   " << rng() % 1000 << ".5   -" << rng() % 100 << ".125";
      if (i % 5 == 0) out << "        ";
      out << '\n';
    }
    return p;
  }();
  return path;
}

void start_runtime() {
  static bool started = [] {
    int32_t argc = 0;
    for_rtl_init_(&argc, nullptr);
    return true;
  }();
  (void)started;
}

// OPEN with FILE, STATUS and BUFFERED.
void open_unit(int32_t unit, const std::string &path, const char *status, bool buffered) {
  const uint8_t keywords[] = {FOR_KW_KIND_CHAR, 4, FOR_KW_FILE,     0, FOR_KW_KIND_CHAR, 4, FOR_KW_STATUS, 0,
                              FOR_KW_KIND_CHAR, 4, FOR_KW_BUFFERED, 0, FOR_KW_KIND_END,  0, 0,             0};
  const char *yes_no = buffered ? "YES" : "NO";
  const uint64_t args[] = {path.size(), reinterpret_cast<uint64_t>(path.data()), strlen(status),
                           reinterpret_cast<uint64_t>(status), strlen(yes_no), reinterpret_cast<uint64_t>(yes_no)};
  for_stmt_block block;
  block.word[0] = 0;
  if (for_open(&block, unit, FOR_OPTS_PROGRAM, keywords, args) != 0) abort();
}

int32_t trimmed(const char *text, int32_t n) {
  while (n > 0 && text[n - 1] == ' ') --n;
  return n;
}

void BM_copy_rtl(benchmark::State &state) {
  start_runtime();
  const std::string &in = input_file();
  const std::string out = bench_scratch_dir() + "/copy.txt";
  for (auto _ : state) {
    open_unit(99, in, "old", false);
    open_unit(98, out, "unknown", true);
    char line[120];
    while (forio::read_fmt(99, FOR_OPTS_PROGRAM_END, for_pack_A, {forio::ref(line, 120)}) == 0)
      forio::write_fmt(98, FOR_OPTS_PROGRAM, for_pack_A, {forio::chars(line, trimmed(line, 120))});
    forio::close(98, FOR_OPTS_PROGRAM);
    forio::close(99, FOR_OPTS_PROGRAM);
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_copy_rtl)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_copy_cat(benchmark::State &state) {
  const std::string command = "cat '" + input_file() + "' > '" + bench_scratch_dir() + "/cat.txt'";
  for (auto _ : state) {
    if (system(command.c_str()) != 0) abort();
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_copy_cat)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr int kRows = 200000;

std::vector<float> row_values() {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> d(-9999.0f, 9999.0f);
  std::vector<float> v(6 * kRows);
  for (auto &x : v) x = d(rng);
  return v;
}

void BM_rows_rtl(benchmark::State &state) {
  start_runtime();
  const std::vector<float> v = row_values();
  const std::string out = bench_scratch_dir() + "/rows.txt";
  for (auto _ : state) {
    open_unit(98, out, "unknown", true);
    for (int i = 0; i < kRows; ++i) {
      const float *f = &v[6 * static_cast<size_t>(i)];
      forio::write_fmt(98, FOR_OPTS_PROGRAM, for_pack_3F10_4_3X,
                       {forio::value(f[0]), forio::value(f[1]), forio::value(f[2]), forio::value(f[3]),
                        forio::value(f[4]), forio::value(f[5])});
    }
    forio::close(98, FOR_OPTS_PROGRAM);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_rows_rtl)->Unit(benchmark::kMillisecond);

void BM_rows_snprintf(benchmark::State &state) {
  const std::vector<float> v = row_values();
  const std::string out = bench_scratch_dir() + "/rows_snprintf.txt";
  for (auto _ : state) {
    FILE *f = fopen(out.c_str(), "w");
    char line[80];
    for (int i = 0; i < kRows; ++i) {
      const float *x = &v[6 * static_cast<size_t>(i)];
      int n = snprintf(line, sizeof line, "%10.4f%10.4f%10.4f   %10.4f%10.4f%10.4f\n", x[0], x[1], x[2], x[3], x[4],
                       x[5]);
      fwrite(line, 1, static_cast<size_t>(n), f);
    }
    fclose(f);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_rows_snprintf)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return remove_bench_scratch() ? 0 : 1;
}
