// The whole program under random control files and command lines.  The
// program ends its own process, so each input runs the built tavo (the
// sanitizer build) as a child in a fresh directory, and the harness checks
// what the child left behind:
//   - no signal death, no sanitizer report, no run past the time limit;
//   - an exit status that the program documents;
//   - the control file byte for byte unchanged;
//   - after a complete run (status 0 or 63), exactly the files of cases 1..N
//     (N = 2 for a default sweep), each a faithful copy of the control file:
//     its lines can be walked against the control file's records by the copy
//     loop's own rules for frame 1 or 2 (below); after a run-time error or a
//     non-zero attitude met while writing (status 2), the same holds for
//     every case before the last, whose file is a prefix of such a copy;
//   - after a refusal or an early stop, no generated file at all.
//
// The child's binary: $TAVO_BINARY, else ../app/tavo next to this program.
// The harness links nothing of the run-time layer.  TAVO_FUZZ_VERBOSE=1
// prints each run's command line and outcome, =2 its control file too.
//
// Input layout (all bytes optional; missing bytes read as 0):
//   byte 0  bits 0-1 control-file source: 1 a skeleton with line edits,
//                    2 grammar lines, 0 and 3 the raw rest of the input;
//           bit 2 CR LF line ends; bit 3 no final line feed;
//           bit 4 FORT_BUFFERED; bit 5 keep the traceback;
//           bit 6 FOR_IGNORE_EXCEPTIONS; bit 7 append a very long line
//   byte 1  bits 0-2 argument count 0..7; bits 3-5 prefix kind;
//           bits 6-7 control-file name kind
//   byte 2  bits 0-6 selector kind; bit 7 leak checking in the child (slow:
//           the check at exit costs several times a whole run)
//   byte 3  bits 0-2 directory fixture; bits 3-4 skeleton; bits 5-7 the
//           long line's length class
//   then    the raw prefix (a length byte and the bytes) for prefix kind 4,
//           one byte per sweep argument (with raw bytes for kind 5),
//           and the rest: the raw control file, or the grammar program.
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "fuzz/fuzz_input.h"

namespace {

// A 9999-case sweep of a 40-line file takes about 20 s under the sanitizers
// with both cores busy, and the sweep is capped at 9999 cases: a run of a
// minute is a hang.
constexpr int kTimeLimitSeconds = 60;
// Bounds on the control file so that one input cannot flood the disk: with
// sweep arguments (up to 9999 cases) the file is kept short.
constexpr size_t kMaxBytes = 64 * 1024;
constexpr size_t kMaxLines = 2000;
constexpr size_t kMaxLinesWithSweep = 32;
constexpr size_t kLine = 120;  // the program's line buffer
constexpr long kWalkBudget = 4000000;

// ---- Outcome features --------------------------------------------------------

// Coverage of the child does not reach libFuzzer, so the kinds of outcome are
// fed back as extra counters: inputs that end differently count as new.
__attribute__((used, section("__libfuzzer_extra_counters"))) uint8_t outcome_counters[512];

void feature(size_t slot) {
  uint8_t &c = outcome_counters[slot % sizeof outcome_counters];
  if (c < 255) ++c;
}

// ---- Control-file grammar ------------------------------------------------------

const char *const kNrotor[] = {"NROTOR", "NROTOR      UNITS  (0 = metres, 1 = feet)", "NROTORS", " NROTOR", "nrotor",
                               "NROTO", "NROTOR\t1", "NROTOR,"};
const char *const kSframe[] = {"SFRAME", "SFRAME      (1 = body axes, 2 = inertial frame)", "SFRAMEX", " SFRAME",
                               "sframe", "SFRAM", "SFRAME 1", "SFRAME/"};
const char *const kYaw[] = {"YAW", "YAW         PITCH    ROLL", "YAWN", " YAW", "yaw", "YA", "YAW=0", "YAW\t"};
const char *const kSmallReal[] = {"0.0", "2.0", "-3.0", "1.5", "68.03", "5.95", "0.", ".5", "-0.0", "100.",
                                  "0.3048", "985.0", "-168.8", "1", "-1", "+4.25"};
const char *const kExponent[] = {"1e5",  "1.E-3", "2.5D1",  "1E39",  "1e-46", "1.5e+2", "1q2",   "1E",
                                 "3E-39", "1.e38", "-2E-45", "1d-40", "7E0",   "1.0E+",  "1E+300", "9.9e-1"};
const char *const kSpecial[] = {"NaN", "Inf", "-Infinity", "nan", "+inf", "NaN()", "Infinity", "-NaN"};
const char *const kGarbage[] = {"abc", "1.2.3", "+-1", "--", "0x10", "T", ".TRUE.", "F", "1,5", "e5", ".", "+",
                                "'1'", "\"2\"", "(1,2)", "1-2"};
const char *const kBig[] = {"123456.", "99999.9999", "1e30", "-99999.99", "12345.6789", "-1234.56789", "3.4e38",
                            "99999.99995"};
const char *const kSeparator[] = {" ", ",", ", ", "   ", "\t", ",,", " , ", "  ,"};

std::string value(fuzz_input &r) {
  const uint8_t v = r.byte();
  const uint8_t h = v >> 4;
  switch (v % 16) {
    case 0: return std::to_string(static_cast<int>(h) - 3);
    case 1: return kSmallReal[h];
    case 2: return kExponent[h];
    case 3: return std::to_string(h % 5) + "*" + kSmallReal[h];
    case 4: return std::to_string(h % 4) + "*";
    case 5: return "";
    case 6: return "/";
    case 7: return kSpecial[h % 8];
    case 8: return h & 1 ? "'a b'" : "\"x\"";
    case 9: return kGarbage[h];
    case 10: return kBig[h % 8];
    case 11: return "\t" + std::string(kSmallReal[h]);
    case 12: return "0." + std::string(h * 4, '0') + "1";
    case 13: return std::string(1 + h * 3, '9') + ".";
    case 14: return "*" + std::to_string(h);
    default: return "0";
  }
}

std::string value_line(fuzz_input &r, int count) {
  const uint8_t s = r.byte();
  std::string line = s & 0x80 ? "" : " ";
  for (int i = 0; i < count; ++i) {
    if (i) line += kSeparator[(s + i * (s >> 3)) % 8];
    line += value(r);
  }
  return line;
}

std::string keyword(fuzz_input &r, const char *const (&table)[8]) {
  const uint8_t b = r.byte();
  std::string line = table[b % 8];
  if (b & 0x80) line += "   trailing text";
  return line;
}

std::string rotor_line(fuzz_input &r) {
  static const char *const kRotor[] = {" 0 1", " 0", " 1 1", " 0,1", "", " 3*0", " 2*", " *5", " 1,,2", " 0 0",
                                       " 3*1", " a 1", " x*1", " 0 1 extra", " 2 1", "    "};
  return kRotor[r.byte() % 16];
}

// Frame values: mostly zero attitudes, so that frame-2 runs go on.
std::string frame_line(fuzz_input &r) {
  static const char *const kFrame[] = {" 1", " 2", " 3", " 0", " -1", " 1.", " x", "", " 1 2", " 2,", " 1/"};
  const uint8_t b = r.byte();
  return b < 96 ? " 1" : b < 192 ? " 2" : kFrame[b % 11];
}

void skeleton_frame1(fuzz_input &r, std::vector<std::string> &out) {
  out.push_back("Grammar case, body axes");
  out.push_back(keyword(r, kNrotor));
  out.push_back(rotor_line(r));
  out.push_back(keyword(r, kSframe));
  out.push_back(frame_line(r));
  out.push_back("U V W P Q R");
  out.push_back(value_line(r, 1 + r.byte() % 7));
  out.push_back("END");
}

void skeleton_frame2(fuzz_input &r, std::vector<std::string> &out) {
  out.push_back("Grammar case, inertial frame");
  out.push_back("NROTOR");
  out.push_back(rotor_line(r));
  out.push_back("SFRAME");
  out.push_back(" 2");
  out.push_back("U V W");
  out.push_back(value_line(r, 3));
  out.push_back(keyword(r, kYaw));
  out.push_back(r.byte() < 200 ? " 0 0 0" : value_line(r, 3));
  out.push_back("VEH");
  out.push_back(value_line(r, 3));
  out.push_back("RATES");
  out.push_back(value_line(r, 3));
  out.push_back("END");
}

// One production of the line grammar; it may add several lines.
void grammar_lines(fuzz_input &r, std::vector<std::string> &out) {
  const uint8_t op = r.byte();
  switch (op % 16) {
    case 0: out.push_back(keyword(r, kNrotor)); break;
    case 1: out.push_back(keyword(r, kSframe)); break;
    case 2: out.push_back(keyword(r, kYaw)); break;
    case 3: out.push_back(value_line(r, r.byte() % 8)); break;
    case 4: out.push_back(rotor_line(r)); break;
    case 5: out.push_back(""); break;
    case 6: out.push_back(std::string(1 + op / 16, ' ')); break;
    case 7: out.push_back(r.bytes(r.byte() % 64)); break;  // any bytes, CR and LF included
    case 8: out.push_back(std::string((1 + r.byte()) * 61, static_cast<char>("x 1,*/"[op / 16 % 6]))); break;
    case 9: skeleton_frame1(r, out); break;
    case 10: skeleton_frame2(r, out); break;
    case 11: out.push_back("! comment " + std::to_string(op)); break;
    case 12:  // values spread over lines
      out.push_back(value_line(r, 2) + ",");
      out.push_back("");
      out.push_back(value_line(r, 4));
      break;
    case 13: out.push_back(" 3*0.0 2* 1*5 /"); break;
    case 14: out.push_back(frame_line(r)); break;
    default: out.push_back("END"); break;
  }
}

const char *const kSkeletons[4] = {
    "Transport wing-body, body axes, SI units\nMESH\n wingbody.grid\nNROTOR      UNITS\n 0          0\n"
    "SFRAME      (1 = body axes, 2 = inertial frame)\n 1\nU_INF V_INF W_INF P_RATE Q_RATE R_RATE\n"
    " 68.03      0.0      5.95     0.0      0.0      0.0\nFORCES\n            50       forces.dat\nEND\n",
    "Slender missile, foot units\nNROTOR\n 0,1\nSFRAME\n 1\nU V W P Q R\n 985.0, 0.0, 34.4,\n"
    " 0.0, 0.0, 0.0\nEND\n",
    "Rotor in forward flight, inertial frame\nNROTOR\n 1          1\nSFRAME\n 2\nU_INF V_INF W_INF\n"
    " 0.0        0.0      0.0\nYAW         PITCH    ROLL\n 0.0        0.0      0.0\nVEH_U VEH_V VEH_W\n"
    " -168.8     0.0      -4.2\nP_RATE Q_RATE R_RATE\n 0.0        0.0      0.0\nEND\n",
    "Other frame\nNROTOR\n 1\nSFRAME\n 3\nU\n 2.0 0 0\nYAW\n 1 2 3\nEND\n",
};

std::vector<std::string> split_lines(std::string_view text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t lf = text.find('\n', at);
    if (lf == std::string_view::npos) lf = text.size();
    lines.emplace_back(text.substr(at, lf - at));
    at = lf + 1;
  }
  return lines;
}

// Line edits on a skeleton: replace, insert, delete, duplicate, cut, swap.
void edit_lines(fuzz_input &r, std::vector<std::string> &lines) {
  while (!r.done() && lines.size() < kMaxLines) {
    const uint8_t op = r.byte();
    const size_t at = lines.empty() ? 0 : r.byte() % lines.size();
    std::vector<std::string> made;
    switch (op % 6) {
      case 0:
        grammar_lines(r, made);
        if (!lines.empty()) lines.erase(lines.begin() + static_cast<long>(at));
        lines.insert(lines.begin() + static_cast<long>(at), made.begin(), made.end());
        break;
      case 1:
        grammar_lines(r, made);
        lines.insert(lines.begin() + static_cast<long>(at), made.begin(), made.end());
        break;
      case 2:
        if (!lines.empty()) lines.erase(lines.begin() + static_cast<long>(at));
        break;
      case 3:
        if (!lines.empty()) lines.insert(lines.begin() + static_cast<long>(at), lines[at]);
        break;
      case 4:
        if (!lines.empty()) lines[at].resize(lines[at].size() * (op >> 3) / 32);
        break;
      default:
        if (at + 1 < lines.size()) std::swap(lines[at], lines[at + 1]);
        break;
    }
  }
}

// ---- Command line ----------------------------------------------------------

const char *const kPoint[] = {"0.",  "1.",  "-1.", "0.1",  "-0.1", "2.",  ".5",    "-.5",  "0.25", "10.",  "-2.",
                              "5.",  "0.3", "1.5", "100.", "-100.", "0.01", "3.",   "0.05", "-0.3", "20.",  "50.",
                              "7.",  "1000.", "0.2", "-5.", "+1.",  "4.",  "0.001", "9999.", "5000.", "-10."};
const char *const kNoPoint[] = {"0",  "1",     "-1",  "5",   "-12",  "10000",        "12",  "100",
                                "-2", "2",     "99999999", "123456789012", "+3", "-0", "50", "1000"};
const char *const kExpArg[] = {"1E2",  "1.E2", "1.5E-1", "1D1",  "-1.e1", "1e",    "1E+2",   "2.5e0",
                               "1e-5", "1.E-2", "3E4",   "1E20", "1.E39", "1.E-39", "1.e-45", "-1.E38"};
const char *const kOddArg[] = {"NaN", "Inf", "Infinity", "-Inf", "", "  ", "x", "1.2.3", "+", "-", ".", "1,5",
                               "1 .", "T", "'1'", " 1.", "1. ", "\t1.", "nan", "inf", "1.0Q0", "0.5E", "1.E+",
                               "-.E1"};
const char *const kLongArg[] = {"123456789.123", "0.0000000001", "1234567890123", "-99999999999.", "1.          x"};

std::string sweep_argument(fuzz_input &r) {
  const uint8_t s = r.byte();
  const uint8_t i = s & 31;
  switch (s >> 5) {
    case 0: return kPoint[i];
    case 1: return kNoPoint[i % 16];
    case 2: return kExpArg[i % 16];
    case 3: return kOddArg[i % 24];
    case 4: return kLongArg[i % 5];
    case 5: return r.bytes(i % 16);
    case 6: return std::to_string(i * i * 10) + ".";
    default: return std::string("-") + kPoint[i];
  }
}

// What a run is judged by (prefix, sweep_given) comes from args as cut to
// the argument count, and from the directory the harness makes; never from
// a choice in the input that the cut dropped.
struct Case {
  std::vector<std::string> args;  // without the program name
  std::string control_name;       // the file written, e.g. c.inp
  std::string prefix;             // the job prefix as the program takes it
  std::string subdir;             // a directory the harness creates, or empty
  int fixture = 0;
  std::string control;            // the control file's bytes
  bool sweep_given = false;       // start, end and step on the command line
  bool leak_check = false;
  std::vector<std::string> env;
};

// Directory fixtures, made before the run under the default prefix's names.
constexpr int kFixtureStale = 1, kFixtureLinkToControl = 2, kFixtureHardLink = 3, kFixtureFull = 4,
              kFixtureDirectory = 5, kFixtureDangling = 6;

std::string fixture_name(int fixture) { return fixture == kFixtureLinkToControl ? "job2TAVO.inp" : "job1TAVO.inp"; }

std::string decode_control(fuzz_input &r, uint8_t flags, uint8_t layout, size_t max_lines) {
  std::vector<std::string> lines;
  switch (flags & 3) {
    case 1:
      lines = split_lines(kSkeletons[(layout >> 3) & 3]);
      edit_lines(r, lines);
      break;
    case 2:
      while (!r.done() && lines.size() < kMaxLines) grammar_lines(r, lines);
      break;
    default: lines = split_lines(r.bytes(kMaxBytes)); break;
  }
  if (flags & 0x80) {
    static const size_t kLong[] = {121, 4095, 8191, 8193, 20000, 65536, 100000, 250000};
    const size_t length = kLong[layout >> 5];
    lines.insert(lines.begin() + static_cast<long>(lines.size() / 2), std::string(length, 'L'));
  }
  // The bounds apply to the final lines (a raw line may hold line feeds).
  std::string text;
  for (const auto &l : lines) text += l + "\n";
  std::vector<std::string> final_lines = split_lines(text);
  if (final_lines.size() > max_lines) final_lines.resize(max_lines);
  text.clear();
  for (const auto &l : final_lines) {
    if (text.size() >= kMaxBytes + 250000) break;
    text += l;
    text += (flags & 4) ? "\r\n" : "\n";
  }
  if ((flags & 8) && !text.empty()) text.pop_back();
  return text;
}

Case decode(const uint8_t *data, size_t size) {
  fuzz_input r{data, size};
  const uint8_t flags = r.byte(), cmd = r.byte(), sel = r.byte(), layout = r.byte();
  Case c;
  const int argc = cmd & 7;
  const int prefix_kind = (cmd >> 3) & 7;
  const int name_kind = cmd >> 6;
  c.fixture = layout & 7;
  if (c.fixture > kFixtureDangling) c.fixture = 0;

  // No first argument here is one the program answers alone (--help, -h,
  // --version), so a run of one argument is always the count refusal.
  static const char *const kSelector[] = {"1", "2", "3", "4", "5", "6", "41", "0", "", "7", " 1", "6x"};
  const std::string selector = kSelector[(sel & 0x7f) % 12];
  c.leak_check = (sel & 0x80) != 0;

  // The last name's file is not written: c.inp is there instead.
  static const char *const kNames[] = {"c", "c.inp", "job1TAVO", "nofile"};
  static const char *const kFiles[] = {"c.inp", "c.inp", "job1TAVO.inp", "c.inp"};
  const std::string name = kNames[name_kind];
  c.control_name = kFiles[name_kind];

  std::string prefix;
  switch (prefix_kind) {
    case 0: prefix = "job"; break;
    case 1: prefix = "j"; break;
    case 2: prefix = ""; break;
    case 3: prefix = " a b"; break;
    case 4: {
      prefix = r.bytes(r.byte() % 25);
      // No path may leave the working directory, and argv cannot hold NUL.
      for (char &ch : prefix)
        if (ch == '/' || ch == '\0') ch = '_';
      break;
    }
    case 5: prefix = "sub/j"; c.subdir = "sub"; break;  // the directory is made even when the prefix is cut
    case 6: prefix = "nodir/j"; break;
    default: prefix = std::string(300, 'p'); break;
  }

  std::vector<std::string> all = {selector, name, prefix};
  for (int k = 0; k < 3; ++k) all.push_back(sweep_argument(r));
  all.push_back("extra");
  c.args.assign(all.begin(), all.begin() + argc);
  c.prefix = c.args.size() >= 3 ? c.args[2] : "job";
  c.sweep_given = c.args.size() >= 6;

  c.control = decode_control(r, flags, layout, c.sweep_given ? kMaxLinesWithSweep : kMaxLines);
  if (fixture_name(c.fixture) == c.control_name) c.fixture = 0;
  if (flags & 0x10) c.env.push_back("FORT_BUFFERED=yes");
  if (!(flags & 0x20)) c.env.push_back("FOR_DISABLE_STACK_TRACE=1");
  if (flags & 0x40) c.env.push_back("FOR_IGNORE_EXCEPTIONS=1");
  return c;
}

// ---- Running the child -------------------------------------------------------

std::string tavo_binary;
std::string home;  // the harness's own directory
std::string work;  // the child's working directory, emptied per input

struct Outcome {
  int status = -1;
  int signal = 0;
  bool timed_out = false;
  std::string out, err;
};

std::string read_file(const std::string &path) {
  std::string s;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return s;
  char buf[65536];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<size_t>(n));
  close(fd);
  return s;
}

bool write_file(const std::string &path, const std::string &bytes) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t at = 0;
  while (at < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + at, bytes.size() - at);
    if (n <= 0) break;
    at += static_cast<size_t>(n);
  }
  close(fd);
  return at == bytes.size();
}

int remove_entry(const char *path, const struct stat *, int, struct FTW *) { return remove(path); }

void empty_work() {
  nftw(work.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
  mkdir(work.c_str(), 0755);
}

Outcome run(const Case &c) {
  std::vector<std::string> argv_s = {tavo_binary};
  argv_s.insert(argv_s.end(), c.args.begin(), c.args.end());
  std::vector<char *> argv;
  for (auto &a : argv_s) argv.push_back(a.data());
  argv.push_back(nullptr);
  // A clean environment: nothing may redirect a unit or standard error, and
  // a leading tilde in a name stays inside the working directory.
  std::vector<std::string> env_s = {"HOME=" + work, "PATH=/usr/bin:/bin",
                                    c.leak_check ? "ASAN_OPTIONS=exitcode=86:detect_leaks=1"
                                                 : "ASAN_OPTIONS=exitcode=86:detect_leaks=0",
                                    "UBSAN_OPTIONS=halt_on_error=1:exitcode=86:print_stacktrace=1"};
  env_s.insert(env_s.end(), c.env.begin(), c.env.end());
  std::vector<char *> envp;
  for (auto &e : env_s) envp.push_back(e.data());
  envp.push_back(nullptr);

  const std::string out_path = home + "/stdout", err_path = home + "/stderr";
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addchdir_np(&fa, work.c_str());
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&fa, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  Outcome o;
  const int e = posix_spawn(&pid, tavo_binary.c_str(), &fa, &attr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&fa);
  posix_spawnattr_destroy(&attr);
  if (e != 0) {
    fprintf(stderr, "tavo_fuzz: cannot start %s: %s\n", tavo_binary.c_str(), strerror(e));
    abort();
  }
  // Waits on a process descriptor when the kernel has them, else polls.
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  struct timespec start, now;
  clock_gettime(CLOCK_MONOTONIC, &start);
  long pause_us = 100;
  int st = 0;
  for (;;) {
    const pid_t w = waitpid(pid, &st, WNOHANG);
    if (w == pid) break;
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (now.tv_sec - start.tv_sec >= kTimeLimitSeconds) {
      kill(pid, SIGKILL);
      waitpid(pid, &st, 0);
      o.timed_out = true;
      break;
    }
    if (pidfd >= 0) {
      struct pollfd pfd = {pidfd, POLLIN, 0};
      poll(&pfd, 1, 1000);
    } else {
      usleep(static_cast<useconds_t>(pause_us));
      if (pause_us < 20000) pause_us *= 2;
    }
  }
  if (pidfd >= 0) close(pidfd);
  if (!o.timed_out) {
    if (WIFEXITED(st)) o.status = WEXITSTATUS(st);
    if (WIFSIGNALED(st)) o.signal = WTERMSIG(st);
  }
  o.out = read_file(out_path);
  o.err = read_file(err_path);
  return o;
}

// ---- The copy loop's shape ---------------------------------------------------

// The records of a control file as the record reader cuts them: at each line
// feed and at the end of the file (an unterminated last line is a record),
// one carriage return before the cut dropped.
std::vector<std::string_view> records(std::string_view text) {
  std::vector<std::string_view> out;
  size_t at = 0;
  while (at < text.size()) {
    size_t lf = text.find('\n', at);
    const size_t end = lf == std::string_view::npos ? text.size() : lf;
    std::string_view rec = text.substr(at, end - at);
    if (!rec.empty() && rec.back() == '\r') rec.remove_suffix(1);
    out.push_back(rec);
    at = end + 1;
  }
  return out;
}

// The copy of a record: its first 120 characters without trailing blanks.
std::string_view copied(std::string_view rec) {
  if (rec.size() > kLine) rec = rec.substr(0, kLine);
  while (!rec.empty() && rec.back() == ' ') rec.remove_suffix(1);
  return rec;
}

// Keyword test on the blank-padded 120-character line buffer.
bool begins(std::string_view rec, std::string_view keyword) {
  return rec.substr(0, keyword.size()) == keyword;
}

// One F10.4 field: ten asterisks, a right-aligned number with four
// decimals, or a right-aligned NaN or infinity.
bool field_ok(std::string_view f) {
  if (f.find_first_not_of('*') == std::string_view::npos) return true;
  size_t b = f.find_first_not_of(' ');
  if (b == std::string_view::npos) return false;
  std::string_view t = f.substr(b);
  if (t == "NaN" || t == "Infinity" || t == "-Infinity" || t == "+Infinity" || t == "Inf" || t == "-Inf") return true;
  if (t[0] == '-' || t[0] == '+') t.remove_prefix(1);
  const size_t point = t.find('.');
  if (point == std::string_view::npos || t.size() - point != 5) return false;
  for (size_t i = 0; i < t.size(); ++i)
    if (i != point && (t[i] < '0' || t[i] > '9')) return false;
  return true;
}

bool row_ok(std::string_view line, int fields) {
  const size_t width = fields == 6 ? 63 : 30;
  if (line.size() != width) return false;
  for (int i = 0; i < fields; ++i) {
    const size_t at = static_cast<size_t>(i) * 10 + (i >= 3 ? 3 : 0);
    if (!field_ok(line.substr(at, 10))) return false;
  }
  return fields != 6 || line.substr(30, 3) == "   ";
}

// Walks a generated file against the control file by the copy loop's rules:
// each record is copied, and after a keyword line of the frame the rewrite
// steps follow (copies, and rows that stand for one or more records, since a
// list-directed read takes whole records).  The frame and the number of
// records each read takes are not known here, so every choice is tried.
class Walk {
 public:
  Walk(const std::vector<std::string_view> &rec, const std::vector<std::string_view> &gen, int frame, bool partial)
      : rec_(rec), gen_(gen), frame_(frame), partial_(partial) {}
  // 1 matches, 0 does not, -1 undecided (too many choices).
  int result() {
    const bool ok = loop(0, 0);
    return budget_ < 0 ? -1 : ok ? 1 : 0;
  }

 private:
  enum Step { COPY, ROW3, ROW6, END };
  static constexpr Step kFrame1[] = {COPY, COPY, ROW6, END};
  static constexpr Step kFrame2[] = {ROW3, COPY, ROW3, COPY, ROW3, END};

  uint64_t key(int tag, size_t i, size_t k) const { return (static_cast<uint64_t>(tag) << 56) ^ (i << 28) ^ k; }

  bool loop(size_t i, size_t k) {
    for (;;) {
      if (--budget_ < 0) return false;
      if (k == gen_.size()) return i == rec_.size() || partial_;
      if (i == rec_.size()) return false;
      if (gen_[k] != copied(rec_[i])) return false;
      const std::string_view line = rec_[i];
      ++i;
      ++k;
      if (frame_ == 1 && begins(line, "SFRAME")) return steps(kFrame1, 0, i, k);
      if (frame_ == 2 && begins(line, "YAW")) return steps(kFrame2, 0, i, k);
    }
  }

  bool steps(const Step *seq, int at, size_t i, size_t k) {
    if (--budget_ < 0) return false;
    if (k == gen_.size() && partial_) return true;
    const uint64_t id = key(seq == kFrame1 ? 1 + at : 16 + at, i, k);
    if (failed_.count(id)) return false;
    bool ok = false;
    switch (seq[at]) {
      case END: ok = loop(i, k); break;
      case COPY:
        ok = k < gen_.size() && i < rec_.size() && gen_[k] == copied(rec_[i]) && steps(seq, at + 1, i + 1, k + 1);
        break;
      case ROW3:
      case ROW6:
        if (k < gen_.size() && i < rec_.size() && row_ok(gen_[k], seq[at] == ROW6 ? 6 : 3))
          for (size_t t = i + 1; t <= rec_.size() && !ok && budget_ >= 0; ++t) ok = steps(seq, at + 1, t, k + 1);
        break;
    }
    if (!ok) failed_.insert(id);
    return ok;
  }

  const std::vector<std::string_view> &rec_, &gen_;
  int frame_;
  bool partial_;
  long budget_ = kWalkBudget;
  std::unordered_set<uint64_t> failed_;
};

// ---- Checks --------------------------------------------------------------------

const Case *current = nullptr;
const Outcome *current_outcome = nullptr;

std::string printable(std::string_view s, size_t limit = 400) {
  std::string out;
  for (unsigned char ch : s.substr(0, limit)) {
    if (ch == '\n') out += "\\n";
    else if (ch < 32 || ch > 126) {
      char b[8];
      snprintf(b, sizeof b, "\\x%02x", ch);
      out += b;
    } else out += static_cast<char>(ch);
  }
  if (s.size() > limit) out += "...";
  return out;
}

[[noreturn]] void fail(const std::string &what) {
  fprintf(stderr, "tavo_fuzz: %s\n", what.c_str());
  if (current) {
    fprintf(stderr, "  command:");
    for (const auto &a : current->args) fprintf(stderr, " [%s]", printable(a, 80).c_str());
    fprintf(stderr, "\n  environment:");
    for (const auto &e : current->env) fprintf(stderr, " %s", e.c_str());
    fprintf(stderr, "\n  directory, kept: %s\n  fixture: %d\n  control file (%zu bytes): %s\n", work.c_str(),
            current->fixture, current->control.size(), printable(current->control, 2000).c_str());
  }
  if (current_outcome) {
    fprintf(stderr, "  status %d, signal %d, timed out %d\n  stdout: %s\n  stderr: %s\n", current_outcome->status,
            current_outcome->signal, current_outcome->timed_out, printable(current_outcome->out, 2000).c_str(),
            printable(current_outcome->err, 4000).c_str());
  }
  abort();
}

bool contains(std::string_view s, std::string_view part) { return s.find(part) != std::string_view::npos; }

// Exit statuses the program documents, and the run-time errors its paths can
// reach with these inputs (603 is seen as 603 mod 256).
constexpr int kStatuses[] = {0, 2, 63, 9, 23, 24, 29, 30, 38, 43, 59, 64, 603 & 255};
constexpr int kStatusCount = sizeof kStatuses / sizeof kStatuses[0];

// Index into kStatuses, or -1.
int status_slot(int status) {
  for (int i = 0; i < kStatusCount; ++i)
    if (kStatuses[i] == status) return i;
  return -1;
}

const char *const kAttitudeFirst = " ??? You can run with SFRAME=2 but you must set ???\n";

enum class Said { TooFew, Refusal, Attitude, Echo, Other };

Said classify(const Case &c, const Outcome &o) {
  if (o.out == "  ??? tavo requires at least 2 command line entries ???\n" ||
      o.out == "  ??? tavo requires only 3 entries or 4, 5 ahd 6 ???\n")
    return Said::TooFew;
  if (o.out == "  ??? tavo: the first entry must be a derivative selector 1 to 6 ???\n") return Said::Refusal;
  std::string name = c.args.size() > 1 ? c.args[1] : "";
  // The echo shows the name as given, up to its last non-blank, plus ".inp".
  while (!name.empty() && name.back() == ' ') name.pop_back();
  if (name.size() < 4 || name.compare(name.size() - 4, 4, ".inp") != 0) name += ".inp";
  const std::string echo = " RCfilename = " + name + "\n";
  if (o.out.compare(0, echo.size(), echo) != 0) return Said::Other;
  const std::string_view rest = std::string_view(o.out).substr(echo.size());
  if (rest.empty()) return Said::Echo;
  if (rest.substr(0, 12) == "  ??? tavo: " && rest.substr(rest.size() - 5) == " ???\n" &&
      rest.find('\n') == rest.size() - 1)
    return Said::Refusal;
  if (rest == std::string(kAttitudeFirst) + " ??? YAW = PITCH = ROLL = 0.0 to force the run  ???\n" +
                  " ??? to be performed in body axes to use the    ???\n" +
                  " ??? stability derivative utility               ???\n")
    return Said::Attitude;
  return Said::Other;
}

// The name of case k as the OPEN sees it: leading blanks dropped.
std::string case_name(const std::string &prefix, int k) {
  std::string p = prefix;
  while (!p.empty() && p.back() == ' ') p.pop_back();
  std::string name = p + std::to_string(k) + "TAVO.inp";
  size_t b = name.find_first_not_of(' ');
  return name.substr(b);
}

struct Generated {
  int number;
  std::string path;
};

// The case number of a directory entry, or 0 when it is not a generated name.
int case_number(const std::string &prefix, const std::string &entry) {
  for (int digits = 1; digits <= 4; ++digits) {
    std::string stem = case_name(prefix, 1);
    const size_t head = stem.size() - 1 - 8;  // where the digit goes
    if (entry.size() != head + static_cast<size_t>(digits) + 8) continue;
    if (entry.compare(0, head, stem, 0, head) != 0 || entry.compare(entry.size() - 8, 8, "TAVO.inp") != 0) continue;
    const std::string number = entry.substr(head, static_cast<size_t>(digits));
    if (number[0] == '0' || number.find_first_not_of("0123456789") != std::string::npos) continue;
    return std::stoi(number);
  }
  return 0;
}

std::vector<std::string> list_dir(const std::string &path) {
  std::vector<std::string> names;
  if (DIR *d = opendir(path.c_str())) {
    while (dirent *e = readdir(d)) {
      std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
  }
  return names;
}

const std::string kStale(10000, 'o');

void make_fixture(const Case &c) {
  if (!c.subdir.empty()) mkdir((work + "/" + c.subdir).c_str(), 0755);
  const std::string at = work + "/" + fixture_name(c.fixture);
  switch (c.fixture) {
    case kFixtureStale: write_file(at, kStale + "\n"); break;
    case kFixtureLinkToControl: symlink(c.control_name.c_str(), at.c_str()); break;
    case kFixtureHardLink: link((work + "/" + c.control_name).c_str(), at.c_str()); break;
    case kFixtureFull: symlink("/dev/full", at.c_str()); break;
    case kFixtureDirectory: mkdir(at.c_str(), 0755); break;
    case kFixtureDangling: symlink("gone/x", at.c_str()); break;
    default: break;
  }
}

// The generated files left by the run, by case number; fails on any other
// new entry.  A prefix with a slash puts them in its directory, under the
// part after the slash; the harness's own subdirectory otherwise stays empty.
std::vector<Generated> generated_files(const Case &c) {
  std::vector<Generated> found;
  auto take = [&](const std::string &dir, const std::string &prefix, const std::string &entry) {
    const int k = case_number(prefix, entry);
    if (k == 0) fail("unexpected directory entry [" + printable(entry) + "]");
    found.push_back({k, dir + "/" + entry});
  };
  const size_t slash = c.prefix.rfind('/');
  const std::string into = slash == std::string::npos ? "" : c.prefix.substr(0, slash);
  const std::string stem = c.prefix.substr(slash + 1);
  for (const auto &entry : list_dir(work)) {
    if (entry == c.control_name || (!c.subdir.empty() && entry == c.subdir)) continue;
    // The stale file counts once the run has replaced it.
    if (c.fixture && entry == fixture_name(c.fixture) &&
        (c.fixture != kFixtureStale || read_file(work + "/" + entry) == kStale + "\n"))
      continue;
    if (!into.empty()) fail("unexpected directory entry [" + printable(entry) + "]");
    take(work, c.prefix, entry);
  }
  if (!into.empty()) {
    for (const auto &entry : list_dir(work + "/" + into)) take(work + "/" + into, stem, entry);
  } else if (!c.subdir.empty()) {
    for (const auto &entry : list_dir(work + "/" + c.subdir))
      fail("unexpected entry [" + printable(entry) + "] in " + c.subdir);
  }
  std::sort(found.begin(), found.end(), [](const Generated &a, const Generated &b) { return a.number < b.number; });
  for (size_t i = 0; i < found.size(); ++i)
    if (found[i].number != static_cast<int>(i) + 1)
      fail("generated files are not cases 1.." + std::to_string(found.size()) + ": found case " +
           std::to_string(found[i].number));
  return found;
}

std::vector<std::string_view> file_lines(const std::string &bytes, const std::string &name) {
  if (!bytes.empty() && bytes.back() != '\n') fail(name + " does not end with a line feed");
  std::vector<std::string_view> lines;
  size_t at = 0;
  while (at < bytes.size()) {
    const size_t lf = bytes.find('\n', at);
    lines.push_back(std::string_view(bytes).substr(at, lf - at));
    at = lf + 1;
  }
  return lines;
}

// Which frames (bit 1: frame 1, bit 2: frame 2) explain the file; both
// when the walk is undecided.  Any other frame is refused before a file is
// written, so a plain copy explains nothing.
unsigned frames_matching(const std::vector<std::string_view> &rec, const std::vector<std::string_view> &gen,
                         bool partial) {
  unsigned mask = 0;
  for (int frame = 1; frame <= 2; ++frame) {
    const int r = Walk(rec, gen, frame, partial).result();
    if (r != 0) mask |= 1u << frame;
    if (r < 0) feature(300);
  }
  return mask;
}

void check_files(const Case &c, const Outcome &o, Said said) {
  const std::vector<Generated> files = generated_files(c);
  const bool complete = (o.status == 0 || o.status == 63) && said == Said::Echo;
  const bool may_write = said == Said::Echo || (said == Said::Attitude && o.status == 2);
  if (!may_write && !files.empty()) fail("a generated file exists after a refusal or an early stop");
  if (complete && !c.sweep_given && files.size() != 2)
    fail("a default sweep wrote " + std::to_string(files.size()) + " files");
  feature(24 + (files.size() > 9 ? 6 : files.size() > 2 ? 5 : files.size()));
  if (files.empty()) return;

  const std::vector<std::string_view> rec = records(c.control);
  unsigned frames = 6;
  std::vector<std::string> contents;
  for (size_t i = 0; i < files.size(); ++i) {
    contents.push_back(read_file(files[i].path));
    const bool last = i + 1 == files.size();
    const std::vector<std::string_view> gen = file_lines(contents.back(), files[i].path);
    frames &= frames_matching(rec, gen, last && !complete);
    if (!frames) fail(files[i].path + " is not a copy of the control file under any frame");
  }
  feature(32 + frames);
  // Every case reads the same records, so complete files differ only in
  // their rewritten rows.
  const size_t whole = complete ? files.size() : files.size() - 1;
  for (size_t i = 1; i < whole; ++i) {
    const auto a = file_lines(contents[0], files[0].path), b = file_lines(contents[i], files[i].path);
    if (a.size() != b.size()) fail(files[i].path + " and " + files[0].path + " differ in length");
    for (size_t l = 0; l < a.size(); ++l)
      if (a[l] != b[l] && !(row_ok(a[l], 6) && row_ok(b[l], 6)) && !(row_ok(a[l], 3) && row_ok(b[l], 3)))
        fail(files[i].path + " differs from " + files[0].path + " outside a rewritten row, line " +
             std::to_string(l + 1));
  }
}

void check(const Case &c, const Outcome &o) {
  if (o.timed_out) fail("no end within the time limit");
  if (o.signal) fail("killed by signal " + std::to_string(o.signal));
  for (const char *report : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                             "UndefinedBehaviorSanitizer", "AddressSanitizer:DEADLYSIGNAL"})
    if (contains(o.err, report)) fail(std::string("sanitizer report: ") + report);
  if (status_slot(o.status) < 0) fail("undocumented exit status " + std::to_string(o.status));
  if (read_file(work + "/" + c.control_name) != c.control) fail("the control file changed");

  const Said said = classify(c, o);
  if (said == Said::Other) fail("unexpected standard output");
  if (said == Said::TooFew && o.status != 2) fail("argument-count refusal with a status other than 2");
  if (said == Said::Refusal && o.status != 2) fail("refusal with a status other than 2");
  if (said == Said::Attitude && o.status != 2) fail("attitude refusal with status " + std::to_string(o.status));
  if (o.status == 2 && said != Said::Refusal && said != Said::Attitude && said != Said::TooFew)
    fail("status 2 without a refusal");
  if (o.status == 0 && contains(o.err, "forrtl")) fail("status 0 after a diagnostic");
  if (o.status == 63 && !contains(o.err, "forrtl: error (63): output conversion error, unit 98, file "))
    fail("status 63 without its diagnostic");
  if (o.status != 0 && o.status != 2 && o.status != 63 && !contains(o.err, "forrtl: severe ("))
    fail("a run-time error status without its diagnostic");

  const int slot = status_slot(o.status);
  feature(slot);
  feature(16 + static_cast<int>(said));
  feature(64 + slot * 8 + static_cast<int>(said));
  const size_t diag = o.err.find("): ");
  if (diag != std::string::npos) feature(200 + std::hash<std::string>{}(o.err.substr(0, diag)) % 64);
  check_files(c, o, said);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***argv) {
  const char *given = getenv("TAVO_BINARY");
  if (given && *given) {
    tavo_binary = given;
  } else {
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string((*argv)[0]);
    tavo_binary = path.substr(0, path.rfind('/') + 1) + "../app/tavo";
  }
  if (access(tavo_binary.c_str(), X_OK) != 0) {
    fprintf(stderr, "tavo_fuzz: no program at %s (set TAVO_BINARY)\n", tavo_binary.c_str());
    exit(1);
  }
  const char *tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tavo_fuzz_XXXXXX";
  if (!mkdtemp(pattern.data())) {
    fprintf(stderr, "tavo_fuzz: cannot create a directory under %s\n", tmp && *tmp ? tmp : "/tmp");
    exit(1);
  }
  home = pattern;
  work = home + "/work";
  atexit([] { nftw(home.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const Case c = decode(data, size);
  empty_work();
  if (!write_file(work + "/" + c.control_name, c.control)) fail("cannot write the control file");
  make_fixture(c);
  current = &c;
  const Outcome o = run(c);
  current_outcome = &o;
  if (const char *verbose = getenv("TAVO_FUZZ_VERBOSE")) {
    fprintf(stderr, "tavo_fuzz: status %d, signal %d;", o.status, o.signal);
    for (const auto &a : c.args) fprintf(stderr, " [%s]", printable(a, 40).c_str());
    fprintf(stderr, "; %zu entries; stdout %s; stderr %s\n", list_dir(work).size(), printable(o.out, 200).c_str(),
            printable(o.err, 300).c_str());
    if (verbose[0] == '2') fprintf(stderr, "  control: %s\n", printable(c.control, 1000).c_str());
  }
  check(c, o);
  current = nullptr;
  current_outcome = nullptr;
  return 0;
}
