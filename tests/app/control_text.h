// Pieces of control files and of the files tavo writes, shared by the tests
// that run the binary.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/support/testkit.h"

namespace tavo_text {

// The echo line's text before the control file's name.
inline const std::string kEcho = " RCfilename = ";
// Zero in an F10.4 field.
inline const std::string Z = "    0.0000";

// A row of three F10.4 fields, and the six-field row with three blanks.
inline std::string row3(const std::string &a, const std::string &b, const std::string &c) { return a + b + c + "\n"; }
inline std::string row6(const std::string &a, const std::string &b, const std::string &c, const std::string &d,
                        const std::string &e, const std::string &f) {
  return a + b + c + "   " + d + e + f + "\n";
}

// Frame 1, foot units, flow speed 2: the default velocity sweep is
// -0.3048 .. 0.3048 in one step, giving -0.30479997 and 0.30480003, so the
// first component is written as 1.6952 and 2.3048.
inline const std::string kFrame1Head = "Test case one\n";
inline const std::string kFrame1Body =
    "NROTOR\n"
    " 0 1\n"
    "SFRAME\n"
    " 1\n"
    "U V W P Q R\n"
    " 2.0 0.0 0.0 0.0 0.0 0.0\n"
    "END\n";
inline const std::string kFrame1 = kFrame1Head + kFrame1Body;

// A generated copy of kFrame1 (after `head` instead of its first line) whose
// value row is `row`.
inline std::string frame1_case(const std::string &row, const std::string &head = kFrame1Head) {
  return head + "NROTOR\n 0 1\nSFRAME\n 1\nU V W P Q R\n" + row + "END\n";
}

// The whole file `name` of directory dir.
inline std::string file(const testkit::TempDir &dir, const std::string &name) {
  return testkit::read_file(dir / name);
}

// Runs tavo in dir; diagnostics as their single line, a manifest only when
// named.
inline testkit::Outcome tavo(const testkit::TempDir &dir, const std::vector<std::string> &args,
                             const std::string &manifest = "") {
  std::vector<std::string> argv = {testkit::built("app/tavo")};
  argv.insert(argv.end(), args.begin(), args.end());
  testkit::RunOptions opts;
  opts.cwd = dir.path();
  opts.env["FOR_DISABLE_STACK_TRACE"] = "1";
  opts.env["TAVO_MANIFEST"] = manifest.empty() ? std::nullopt : std::optional<std::string>(manifest);
  opts.stdin_null = true;
  opts.timeout_seconds = 30;
  return testkit::run_program(argv, opts);
}

}  // namespace tavo_text
