// Record throughput: every record of a large text file read through the
// formatted READ of "(A)" into a 120-character variable, and the same lines
// written to a block-buffered unit, each beside its standard-library peer.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_scratch.h"
#include "fmt/for_fmt.h"
#include "rtl/for_rtl.h"

namespace {

constexpr int64_t kFileBytes = 100 << 20;
constexpr int kLineLength = 60;  // line feed included

// The lines of the file: 59 printable characters each, numbered.
const std::vector<std::string> &lines() {
  static const std::vector<std::string> all = [] {
    std::vector<std::string> v;
    v.reserve(static_cast<size_t>(kFileBytes / kLineLength));
    for (int64_t i = 0; i < kFileBytes / kLineLength; ++i) {
      std::string l = "line " + std::to_string(i) + " ";
      l.resize(kLineLength - 1, static_cast<char>('a' + i % 26));
      v.push_back(std::move(l));
    }
    return v;
  }();
  return all;
}

const std::string &input_file() {
  static const std::string path = [] {
    std::string p = bench_scratch_dir() + "/input.txt";
    std::ofstream out(p, std::ios::binary);
    for (const auto &l : lines()) out << l << '\n';
    return p;
  }();
  return path;
}

void start_runtime() {
  static bool started = [] {
    for_rtl_init_(nullptr, nullptr);
    return true;
  }();
  (void)started;
}

struct Keywords {
  std::vector<uint8_t> items;
  std::vector<uint64_t> args;
  void text(uint8_t code, const std::string &value) {
    items.insert(items.end(), {FOR_KW_KIND_CHAR, 4, code, 0});
    args.push_back(value.size());
    args.push_back(reinterpret_cast<uint64_t>(value.data()));
  }
  const uint8_t *list() {
    items.insert(items.end(), {FOR_KW_KIND_END, 0, 0, 0});
    return items.data();
  }
};

int32_t open_unit(int32_t unit, const std::string &file, const std::string &status, const char *buffered) {
  Keywords kw;
  kw.text(FOR_KW_FILE, file);
  kw.text(FOR_KW_STATUS, status);
  const std::string b = buffered ? buffered : "";
  if (buffered) kw.text(FOR_KW_BUFFERED, b);
  for_stmt_block block;
  block.word[0] = 0;
  return for_open(&block, unit, FOR_OPTS_PROGRAM, kw.list(), kw.args.data());
}

void close_unit(int32_t unit) {
  const uint8_t none[] = {FOR_KW_KIND_END, 0, 0, 0};
  for_stmt_block block;
  block.word[0] = 0;
  for_close(&block, unit, FOR_OPTS_PROGRAM, none, nullptr);
}

void BM_read_records_rtl(benchmark::State &state) {
  start_runtime();
  const std::string &file = input_file();
  int64_t records = 0;
  for (auto _ : state) {
    if (open_unit(99, file, "old", nullptr) != 0) abort();
    char cmnt[120];
    const uint8_t desc[] = {FOR_TYPE_CHARACTER, FOR_PASS_LENADDR, FOR_DESC_END, 0};
    const uint64_t args[] = {sizeof cmnt, reinterpret_cast<uint64_t>(cmnt)};
    for (;;) {
      for_stmt_block block;
      block.word[0] = 0;
      if (for_read_seq_fmt(&block, 99, FOR_OPTS_PROGRAM_END, desc, args, for_pack_A) != 0) break;
      benchmark::DoNotOptimize(cmnt);
      ++records;
    }
    close_unit(99);
  }
  state.SetItemsProcessed(records);
  state.SetBytesProcessed(records * kLineLength);
}
BENCHMARK(BM_read_records_rtl)->Unit(benchmark::kMillisecond);

void BM_read_records_getline(benchmark::State &state) {
  const std::string &file = input_file();
  int64_t records = 0;
  for (auto _ : state) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
      benchmark::DoNotOptimize(line.data());
      ++records;
    }
  }
  state.SetItemsProcessed(records);
  state.SetBytesProcessed(records * kLineLength);
}
BENCHMARK(BM_read_records_getline)->Unit(benchmark::kMillisecond);

void BM_write_records_rtl_buffered(benchmark::State &state) {
  start_runtime();
  const std::string file = bench_scratch_dir() + "/out-rtl.txt";
  const auto &all = lines();
  int64_t records = 0;
  for (auto _ : state) {
    if (open_unit(98, file, "unknown", "YES") != 0) abort();
    const uint8_t desc[] = {FOR_TYPE_CHARACTER, FOR_PASS_LENADDR, FOR_DESC_END, 0};
    for (const auto &l : all) {
      const uint64_t args[] = {l.size(), reinterpret_cast<uint64_t>(l.data())};
      for_stmt_block block;
      block.word[0] = 0;
      if (for_write_seq_fmt(&block, 98, FOR_OPTS_PROGRAM, desc, args, for_pack_A) != 0) abort();
    }
    close_unit(98);
    records += static_cast<int64_t>(all.size());
  }
  state.SetItemsProcessed(records);
  state.SetBytesProcessed(records * kLineLength);
}
BENCHMARK(BM_write_records_rtl_buffered)->Unit(benchmark::kMillisecond);

void BM_write_records_fwrite(benchmark::State &state) {
  const std::string file = bench_scratch_dir() + "/out-stdio.txt";
  // The peer gets its lines with their line feeds ready: one call each.
  std::vector<std::string> all = lines();
  for (auto &l : all) l += '\n';
  int64_t records = 0;
  for (auto _ : state) {
    FILE *out = fopen(file.c_str(), "w");
    if (!out) abort();
    for (const auto &l : all) fwrite(l.data(), 1, l.size(), out);
    fclose(out);
    records += static_cast<int64_t>(all.size());
  }
  state.SetItemsProcessed(records);
  state.SetBytesProcessed(records * kLineLength);
}
BENCHMARK(BM_write_records_fwrite)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // The files are large: remove them.
  return remove_bench_scratch() ? 0 : 1;
}
