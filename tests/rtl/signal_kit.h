// Helpers shared by the signal tests: children that start the run-time and
// then fault or send themselves a signal, and the outcome each must have.
#pragma once

#include <gtest/gtest.h>
#include <fenv.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "fmt/for_fmt.h"
#include "fmt/for_statements.h"
#include "rtl/for_rtl.h"
#include "rtl/for_signal.h"
#include "tests/support/testkit.h"

namespace sigkit {

inline constexpr int kCaught[] = {SIGFPE, SIGILL, SIGSEGV, SIGABRT, SIGTERM, SIGQUIT, SIGINT};
inline constexpr char kBriefHeader[] =
    "Image              PC                Routine            Line        Source             \n";

// The switches that change what a diagnostic looks like, cleared so that the
// caller's environment cannot leak into a child.
inline testkit::RunOptions options(std::map<std::string, std::optional<std::string>> env = {}) {
  testkit::RunOptions o;
  for (const char *name :
       {"FOR_IGNORE_EXCEPTIONS", "FOR_DISABLE_STACK_TRACE", "FOR_FORCE_STACK_TRACE", "FOR_DUMP_EXCEPTION_INFO",
        "TBK_ENABLE_VERBOSE_STACK_TRACE", "FOR_ENABLE_VERBOSE_STACK_TRACE", "FOR_DISABLE_DIAGNOSTIC_DISPLAY",
        "FOR_DIAGNOSTIC_LOG_FILE", "FOR_DUMP_CORE_FILE", "FOR__IS_DEBUGGER_PRESENT", "FOR_DEBUGGER_IS_PRESENT",
        "FORT0", "FORT_BUFFERED"})
    o.env[name] = std::nullopt;
  for (auto &[name, value] : env) o.env[name] = value;
  return o;
}

// Start-up as the process entry does it; aborting children leave no core.
inline void start_rtl() {
  struct rlimit none = {0, 0};
  setrlimit(RLIMIT_CORE, &none);
  static char name[] = "signal_test";
  static char *argv[] = {name, nullptr};
  int32_t argc = 1;
  for_rtl_init_(&argc, argv);
}

inline testkit::Outcome run_started(const std::function<void()> &body, const testkit::RunOptions &o = options()) {
  return testkit::run_child(
      [&] {
        start_rtl();
        body();
        return 0;
      },
      o);
}

// Opens a block-buffered unit on path and writes two lines: the first goes
// straight to the file (it truncates the file after it), the second stays in
// the unit's buffer.  Ends the child with 90 if that one reached the file.
inline constexpr char kFirst[] = "first line\n";
inline constexpr char kBoth[] = "first line\nkept line\n";

inline void buffered_line(const std::string &path) {
  // An earlier, longer file: the first record cuts it, so that record goes
  // out at once and the second waits in the block buffer.
  testkit::write_file(path, "an earlier file, longer than both lines together\n");
  const std::string status = "unknown";
  if (forio::open(10, FOR_OPTS_PROGRAM, path.data(), static_cast<int64_t>(path.size()), status.data(),
                  static_cast<int64_t>(status.size())) != 0)
    _exit(89);
  forio::write_fmt(10, FOR_OPTS_PROGRAM, for_pack_A, {forio::chars("first line")});
  forio::write_fmt(10, FOR_OPTS_PROGRAM, for_pack_A, {forio::chars("kept line")});
  if (testkit::read_file(path) != kFirst) _exit(90);
}

inline void *no_access_page() {
  void *p = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

inline float with_traps(int excepts, const std::function<float()> &op) {
  feclearexcept(FE_ALL_EXCEPT);
  feenableexcept(excepts);
  return op();
}

// Sends this process a signal with a chosen si_code.
inline void queue_to_self(int sig, int code) {
  siginfo_t info;
  memset(&info, 0, sizeof info);
  info.si_signo = sig;
  info.si_code = code;
  syscall(SYS_rt_sigqueueinfo, getpid(), sig, &info);
}

inline std::string first_line(const std::string &s) { return s.substr(0, s.find('\n') + 1); }
inline std::string second_line(const std::string &s) {
  size_t a = s.find('\n');
  if (a == std::string::npos) return "";
  size_t b = s.find('\n', a + 1);
  return s.substr(a + 1, b == std::string::npos ? std::string::npos : b - a);
}

struct Expected {
  int status;      // exit status, or -1 when ended by a signal
  int signal;      // terminating signal, or 0
  std::string line;
};

inline void expect_outcome(const testkit::Outcome &r, const Expected &e, const char *what) {
  SCOPED_TRACE(what);
  EXPECT_EQ(r.status, e.status) << r.err;
  EXPECT_EQ(r.signal, e.signal) << r.err;
  EXPECT_EQ(first_line(r.err), e.line);
  EXPECT_EQ(second_line(r.err), kBriefHeader);
}

inline Expected error_abort(int number, const std::string &text) {
  return {-1, SIGABRT, "forrtl: error (" + std::to_string(number) + "): " + text + "\n"};
}
inline Expected severe(int number, const std::string &text) {
  return {number, 0, "forrtl: severe (" + std::to_string(number) + "): " + text + "\n"};
}

}  // namespace sigkit
