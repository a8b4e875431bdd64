// Helpers shared by the unit-layer tests: statements issued through the
// run-time's entries, keyword lists built by hand, children whose
// diagnostics are a single line, and a guard over the system-call table.
#pragma once

#include <gtest/gtest.h>
#include <grp.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "fmt/for_fmt.h"
#include "fmt/for_statements.h"
#include "rtl/for_lub.h"
#include "rtl/for_rtl.h"
#include "rtl/for_sys.h"
#include "tests/support/testkit.h"

namespace units {

constexpr uint64_t kProgram = FOR_OPTS_PROGRAM;
constexpr uint64_t kErr = FOR_OPTS_PROGRAM | FOR_OPT_ERR;
constexpr uint64_t kEnd = FOR_OPTS_PROGRAM | FOR_OPT_END;

// A keyword list and its argument slots, built item by item.
class Keywords {
 public:
  Keywords &text(uint8_t code, const std::string &value) {
    values_.push_back(value);
    items_.insert(items_.end(), {FOR_KW_KIND_CHAR, 4, code, 0});
    pending_.push_back({code, static_cast<int>(values_.size() - 1), 0});
    return *this;
  }
  Keywords &number(uint8_t code, uint64_t value) {
    items_.insert(items_.end(), {FOR_KW_KIND_INT, 4, code, 0});
    pending_.push_back({code, -1, value});
    return *this;
  }
  // The list ends here; the slots point into this object.
  void build() {
    list_ = items_;
    list_.insert(list_.end(), {FOR_KW_KIND_END, 0, 0, 0});
    args_.clear();
    for (const auto &p : pending_) {
      if (p.text < 0) {
        args_.push_back(p.value);
      } else {
        const std::string &v = values_[static_cast<size_t>(p.text)];
        args_.push_back(v.size());
        args_.push_back(reinterpret_cast<uint64_t>(v.data()));
      }
    }
  }
  const uint8_t *list() {
    build();
    return list_.data();
  }
  const void *args() const { return args_.empty() ? nullptr : args_.data(); }

 private:
  struct Pending {
    uint8_t code;
    int text;
    uint64_t value;
  };
  std::vector<std::string> values_;
  std::vector<uint8_t> items_, list_;
  std::vector<Pending> pending_;
  std::vector<uint64_t> args_;
};

inline int32_t open_kw(int32_t unit, uint64_t options, Keywords &kw) {
  for_stmt_block block;
  block.word[0] = 0;
  const uint8_t *list = kw.list();
  return for_open(&block, unit, options, list, kw.args());
}

inline int32_t close_kw(int32_t unit, uint64_t options, Keywords &kw) {
  for_stmt_block block;
  block.word[0] = 0;
  const uint8_t *list = kw.list();
  return for_close(&block, unit, options, list, kw.args());
}

inline int32_t open_file(int32_t unit, const std::string &file, const std::string &status,
                         uint64_t options = kProgram) {
  return forio::open(unit, options, file.data(), static_cast<int64_t>(file.size()), status.data(),
                     static_cast<int64_t>(status.size()));
}

inline int32_t close_unit(int32_t unit, uint64_t options = kProgram) { return forio::close(unit, options); }

// WRITE (unit, '(A)') line
inline int32_t write_line(int32_t unit, const std::string &line, uint64_t options = kProgram) {
  return forio::write_fmt(unit, options, for_pack_A, {forio::chars(line.data(), static_cast<int64_t>(line.size()))});
}

// READ (unit, '(A)') into a blank-padded variable of `width` characters.
inline int32_t read_var(int32_t unit, std::string &var, int64_t width = 120, uint64_t options = kProgram) {
  var.assign(static_cast<size_t>(width), '#');
  return forio::read_fmt(unit, options, for_pack_A, {forio::ref(var.data(), width)});
}

inline std::string rtrim(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// READ into a 120-character variable, trailing blanks removed.
inline int32_t read_line(int32_t unit, std::string &line, uint64_t options = kProgram) {
  int32_t r = read_var(unit, line, 120, options);
  line = rtrim(line);
  return r;
}

inline for_lub *lub_of(int32_t unit) { return for__find_lub(unit); }

inline std::string real_path(const std::string &p) {
  char buf[PATH_MAX];
  return realpath(p.c_str(), buf) ? std::string(buf) : p;
}

inline std::string diag(int number, const std::string &text) {
  return "forrtl: severe (" + std::to_string(number) + "): " + text + "\n";
}

// Inside a child: a failed condition is reported on standard output and
// ends the child with status 100.
#define UNITS_REQUIRE(cond)                                                   \
  do {                                                                        \
    if (!(cond)) {                                                            \
      printf("child check failed: %s (line %d)\n", #cond, __LINE__);          \
      return 100;                                                             \
    }                                                                         \
  } while (0)

// A child whose diagnostics are the bare header-and-message line.
inline testkit::Outcome child(const std::function<int()> &fn, testkit::RunOptions options = {}) {
  options.env.emplace("FOR_DISABLE_STACK_TRACE", "yes");
  return testkit::run_child(fn, options);
}

// Restores the system-call table when a test ends.
struct SysGuard {
  SysGuard() { for__sys = for__sys_default; }
  ~SysGuard() { for__sys = for__sys_default; }
};

// Makes the calling child the unprivileged user 'nobody' when it is root,
// so that file modes apply.  False when that fails.
inline bool become_nobody() {
  if (geteuid() != 0) return true;
  return setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0;
}

// Every test starts the run-time once per process.
class UnitsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { for_rtl_init_(nullptr, nullptr); }
  void SetUp() override { for__sys = for__sys_default; }
  void TearDown() override { for__sys = for__sys_default; }
  testkit::TempDir dir_;
  std::string path(const std::string &name) const { return real_path(dir_.path()) + "/" + name; }
};

}  // namespace units
