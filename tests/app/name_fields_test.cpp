// Names at the edges of their fields: a control-file name argument of up to
// 4096 bytes is echoed whole with its suffix (and a longer one cut there),
// and a manifest name is used whole or not at all: one byte too long for
// the system fails at OPEN instead of naming a shorter file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/app/control_text.h"
#include "tests/support/testkit.h"

namespace {

using testkit::Outcome;
using testkit::TempDir;
using namespace tavo_text;

const std::string kControl = "T\nNROTOR\n 1\nSFRAME\n 1\nU\n 2.0 0 0 0 0 0\n";

// A path of exactly `length` bytes: `prefix` (ending in a slash), "./"
// repeated (and one more slash when the room is odd), then `last`.
std::string padded(const std::string &prefix, size_t length, const std::string &last) {
  std::string s = prefix;
  const size_t room = length - prefix.size() - last.size();
  if (room % 2) s += "/";
  for (size_t i = 0; i < room / 2; ++i) s += "./";
  return s + last;
}

// A relative name of exactly `length` bytes: "./" repeated, then "c" or "cc".
std::string relative(size_t length) {
  std::string s;
  for (size_t i = 0; i < (length - 1) / 2; ++i) s += "./";
  return s + (length % 2 ? "c" : "cc");
}

// Every such name is too long for the system once the directory is put in
// front of it; what matters is the echo, which shows the name as kept.
TEST(NameFields, ControlFileNamesUpTo4096BytesAreKeptWhole) {
  struct {
    size_t length;
    size_t kept;  // bytes of the argument in the echo, before ".inp"
  } cases[] = {{4094, 4094}, {4095, 4095}, {4096, 4096}, {4097, 4096}, {4200, 4096}};
  for (const auto &c : cases) {
    TempDir dir;
    testkit::write_file(dir / "c.inp", kControl);
    const std::string name = relative(c.length);
    const Outcome o = tavo(dir, {"1", name});
    EXPECT_EQ(o.out, kEcho + name.substr(0, c.kept) + ".inp\n") << c.length;
    EXPECT_EQ(o.status, 43) << c.length;
    EXPECT_EQ(testkit::list_dir(dir.path()), std::vector<std::string>{"c.inp"}) << c.length;
  }
}

TEST(NameFields, AManifestNameIsUsedWholeOrNotAtAll) {
  // 4095 bytes: the longest path the system takes.
  {
    TempDir dir;
    testkit::write_file(dir / "c.inp", kControl);
    const std::string name = padded(dir.path() + "/", 4095, "cases.csv");
    const Outcome o = tavo(dir, {"1", "c"}, name);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(testkit::list_dir(dir.path()),
              (std::vector<std::string>{"c.inp", "cases.csv", "job1TAVO.inp", "job2TAVO.inp"}));
  }
  // 4096 bytes: refused by the system, not cut to a name it takes.
  {
    TempDir dir;
    testkit::write_file(dir / "c.inp", kControl);
    const std::string name = padded(dir.path() + "/", 4096, "cases.csv");
    const Outcome o = tavo(dir, {"1", "c"}, name);
    EXPECT_EQ(o.status, 43);
    EXPECT_EQ(o.err.substr(0, 27), "forrtl: File name too long\n");
    EXPECT_EQ(testkit::list_dir(dir.path()), std::vector<std::string>{"c.inp"});
  }
  // Case numbers start at 1: a manifest named like a case 0 is no clash.
  {
    TempDir dir;
    testkit::write_file(dir / "c.inp", kControl);
    const Outcome o = tavo(dir, {"1", "c"}, "job0TAVO.inp");
    EXPECT_EQ(o.status, 0) << o.out << o.err;
    EXPECT_EQ(testkit::list_dir(dir.path()),
              (std::vector<std::string>{"c.inp", "job0TAVO.inp", "job1TAVO.inp", "job2TAVO.inp"}));
  }
}

}  // namespace
