// The scratch directory of a benchmark program: made on first use under
// $TMPDIR (or /tmp), removed with its contents at the end of main.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

inline const std::string &bench_scratch_dir() {
  static const std::string dir = [] {
    const char *base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tavo-bench-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) abort();
    return std::string(buf.data());
  }();
  return dir;
}

// Removes the directory and its files; false when that failed.
inline bool remove_bench_scratch() {
  std::error_code e;
  std::filesystem::remove_all(bench_scratch_dir(), e);
  return !e;
}
