// The copy loop's bytes do not depend on how the records reach the file: the
// same control file, with lines of every shape and records that straddle the
// input buffer's refills, is copied in the default mode (one write call per
// record), block-buffered, and block-buffered with tiny blocks, and each
// generated file must be the copy worked out here line by line.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tests/app/control_text.h"
#include "tests/support/testkit.h"

namespace {

using testkit::TempDir;
using namespace tavo_text;

// What the copy makes of one line: the carriage return before its line feed
// dropped, cut to 120 characters, trailing blanks removed.
std::string copied(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  line.resize(std::min<size_t>(line.size(), 120));
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

TEST(CopyPaths, EveryOutputModeWritesTheSameCopy) {
  std::mt19937 rng(20261209);
  std::vector<std::string> lines = {"Copy paths"};
  const std::string shapes = "abc xyz,1.5";
  for (int i = 0; i < 3000; ++i) {
    std::string line;
    switch (rng() % 8) {
      case 0: break;                                             // empty
      case 1: line = std::string(1 + rng() % 200, ' '); break;   // blanks only
      case 2: line = std::string(rng() % 300, 'L') + "  "; break;  // long, cut
      case 3: line = "crlf " + std::to_string(i) + "  \r"; break;
      default:
        for (size_t n = rng() % 140; n > 0; --n) line += shapes[rng() % shapes.size()];
    }
    lines.push_back(line);
  }
  const std::vector<std::string> block = {"NROTOR", " 0 1", "SFRAME", " 1", "U V W P Q R",
                                          " 2.0 0.0 0.0 0.0 0.0 0.0"};
  lines.insert(lines.end(), block.begin(), block.end());
  std::string control, expect_head;
  for (const std::string &l : lines) control += l + "\n";
  for (size_t i = 0; i + 1 < lines.size(); ++i) expect_head += copied(lines[i]) + "\n";
  control += "last line without its line feed  \r";  // dropped CR, kept line
  const std::string tail = "last line without its line feed\n";

  const std::map<std::string, std::optional<std::string>> modes[] = {
      {},
      {{"FORT_BUFFERED", "yes"}},
      {{"FORT_BUFFERED", "yes"}, {"FORT_BLOCKSIZE", "512"}},
  };
  for (const auto &env : modes) {
    TempDir dir;
    testkit::write_file(dir / "c.inp", control);
    testkit::RunOptions opts;
    opts.cwd = dir.path();
    opts.env = env;
    opts.env["FOR_DISABLE_STACK_TRACE"] = "1";
    opts.stdin_null = true;
    const auto o = testkit::run_program({testkit::built("app/tavo"), "1", "c", "j", "-1.", "1.", "1."}, opts);
    ASSERT_EQ(o.status, 0) << o.err;
    for (int k = 1; k <= 3; ++k) {
      const std::string value = k == 1 ? "    1.0000" : k == 2 ? "    2.0000" : "    3.0000";
      EXPECT_EQ(file(dir, "j" + std::to_string(k) + "TAVO.inp"), expect_head + row6(value, Z, Z, Z, Z, Z) + tail)
          << "case " << k << (env.empty() ? "" : ", block-buffered");
    }
  }
}

}  // namespace
