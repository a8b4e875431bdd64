// Typical control-file numbers (1 to 9 significant digits, some with
// exponents) through cvtas_a_to_s, std::from_chars<float> and strtof.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cvt/cvt.h"

namespace {

const std::vector<std::string> &numbers()
{
    static const std::vector<std::string> n = {
        "0.0",     "-10.0",    "1.5",        "288.15",     "101325.0",  "0.785398", "1.0E-5",
        "3.5E+02", "12",       "-0.125",     "6.02214E23", "0.0001",    "1",        "-1",
        "45.0",    "0.5",      "1.225",      "340.29",     "-2.5E-3",   "9.80665",  "1234.5678",
        "0.3048",  "2.0",      "-90.0",      "1.4E-45",    "3.4E38",    "0.001225", "100.0",
        "7.5",     "-0.00625", "1.23456789", "25.4",       "0.0",       "5.0E-1",   "60.0",
        "0.1",     "-180.0",   "1.0",        "3",          "273.15"};
    return n;
}

constexpr uint32_t kFlags = 0x0400A0E0u | CVTAS_ROUND_VALID;

void BM_cvtas_a_to_s(benchmark::State &state)
{
    const auto &n = numbers();
    for (auto _ : state) {
        for (const auto &s : n) {
            int32_t status;
            float v = cvtas_a_to_s(s.data(), (int32_t)s.size(), kFlags, 0, 0, nullptr, &status);
            benchmark::DoNotOptimize(v);
            benchmark::DoNotOptimize(status);
        }
    }
    state.SetItemsProcessed(state.iterations() * (int64_t)n.size());
}
BENCHMARK(BM_cvtas_a_to_s);

void BM_from_chars_float(benchmark::State &state)
{
    const auto &n = numbers();
    for (auto _ : state) {
        for (const auto &s : n) {
            float v;
            auto r = std::from_chars(s.data(), s.data() + s.size(), v);
            benchmark::DoNotOptimize(v);
            benchmark::DoNotOptimize(r);
        }
    }
    state.SetItemsProcessed(state.iterations() * (int64_t)n.size());
}
BENCHMARK(BM_from_chars_float);

void BM_strtof(benchmark::State &state)
{
    const auto &n = numbers();
    for (auto _ : state) {
        for (const auto &s : n) {
            char *end;
            float v = strtof(s.c_str(), &end);
            benchmark::DoNotOptimize(v);
            benchmark::DoNotOptimize(end);
        }
    }
    state.SetItemsProcessed(state.iterations() * (int64_t)n.size());
}
BENCHMARK(BM_strtof);

} // namespace

BENCHMARK_MAIN();
