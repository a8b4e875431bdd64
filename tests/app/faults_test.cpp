// The tavo binary under faults of its surroundings: full devices, missing
// directories, over-long names, control files that are directories, FIFOs or
// unreadable, too few descriptors, SIGINT in the middle of a sweep, huge
// lines and huge files, and the largest sweeps.  Every run is also checked
// for what must never happen whatever the fault: a crash, a hang, a changed
// control file, or a damaged file of an earlier case.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/app/control_text.h"
#include "tests/support/testkit.h"

namespace {

using testkit::TempDir;
using namespace tavo_text;

constexpr uid_t kNobody = 65534;

// ---- Running the program ---------------------------------------------------

struct Result {
  int status = -1;  // exit status, or -1
  int signal = 0;   // terminating signal, or 0
  bool timed_out = false;
  std::string out, err;
  long peak_kb = 0;  // the program's own peak resident memory (VmHWM)
};

struct Launch {
  std::vector<std::string> args;  // after the program name
  std::string cwd;
  std::map<std::string, std::string> env;
  rlim_t open_files = 0;  // RLIMIT_NOFILE for the program; 0 leaves it
  std::string stdout_path;  // standard output there instead of a capture file
  bool as_nobody = false;
  int timeout_seconds = 60;
  // Called every few milliseconds while the program runs.
  std::function<void(pid_t)> watch;
};

// The peak resident memory of a running tavo, or 0 before its exec: the
// forked child's figure before the exec is its parent's.
long program_peak_kb(pid_t pid) {
  FILE *f = fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
  if (!f) return 0;
  char line[256];
  bool program = false;
  long kb = 0;
  while (fgets(line, sizeof line, f)) {
    if (line == "Name:\t" + testkit::process_name(testkit::built("app/tavo")) + "\n") program = true;
    if (strncmp(line, "VmHWM:", 6) == 0) kb = strtol(line + 6, nullptr, 10);
  }
  fclose(f);
  return program ? kb : 0;
}

// Runs tavo in a child with standard output and error in files, diagnostics
// as the single message line, and the limits and identity asked for.
Result launch(const Launch &l) {
  TempDir capture;
  const std::string out_path = capture / "out", err_path = capture / "err";
  const std::string program = testkit::built("app/tavo");
  std::vector<std::string> argv_s = {program};
  argv_s.insert(argv_s.end(), l.args.begin(), l.args.end());

  fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return Result{};
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = l.stdout_path.empty() ? open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644)
                                          : open(l.stdout_path.c_str(), O_WRONLY);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) _exit(120);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    closefrom(3);
    if (chdir(l.cwd.c_str()) != 0) _exit(121);
    if (l.open_files) {
      struct rlimit r = {l.open_files, l.open_files};
      if (setrlimit(RLIMIT_NOFILE, &r) != 0) _exit(122);
    }
    if (l.as_nobody && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(123);
    for (const char *v : {"FORT0", "FORT98", "FORT99", "FORT_BUFFERED", "FOR_DIAGNOSTIC_LOG_FILE",
                          "FOR_DISABLE_DIAGNOSTIC_DISPLAY", "FOR_IGNORE_EXCEPTIONS", "FOR_FORCE_STACK_TRACE", "TAVO_MANIFEST"})
      unsetenv(v);
    setenv("FOR_DISABLE_STACK_TRACE", "1", 1);
    for (const auto &[name, value] : l.env) setenv(name.c_str(), value.c_str(), 1);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGINT, SIG_DFL);
    signal(SIGPIPE, SIG_DFL);
    testkit::exec_program(argv_s);
  }

  Result r;
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  struct timespec start, now;
  clock_gettime(CLOCK_MONOTONIC, &start);
  int st = 0;
  for (;;) {
    // The peak only grows, so the last reading before the exit is the
    // closest; it is read before reaping, while the process exists.
    r.peak_kb = std::max(r.peak_kb, program_peak_kb(pid));
    if (waitpid(pid, &st, WNOHANG) == pid) break;
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (now.tv_sec - start.tv_sec >= l.timeout_seconds) {
      kill(pid, SIGKILL);
      waitpid(pid, &st, 0);
      r.timed_out = true;
      break;
    }
    if (l.watch) l.watch(pid);
    const int wait_ms = l.watch ? 2 : 100;
    if (pidfd >= 0) {
      struct pollfd p = {pidfd, POLLIN, 0};
      poll(&p, 1, wait_ms);
    } else {
      usleep(static_cast<useconds_t>(wait_ms) * 1000);
    }
  }
  if (pidfd >= 0) close(pidfd);
  if (!r.timed_out && WIFEXITED(st)) r.status = WEXITSTATUS(st);
  if (!r.timed_out && WIFSIGNALED(st)) r.signal = WTERMSIG(st);
  r.out = testkit::read_file(out_path);
  r.err = testkit::read_file(err_path);
  return r;
}

Result tavo(const TempDir &dir, std::vector<std::string> args, std::map<std::string, std::string> env = {}) {
  Launch l;
  l.args = std::move(args);
  l.cwd = dir.path();
  l.env = std::move(env);
  return launch(l);
}

// What must hold after every run: it ended by itself, and the control file
// is as it was.
void expect_sound(const Result &r, const std::string &control_path, const std::string &control) {
  EXPECT_FALSE(r.timed_out) << "no end within the time limit";
  EXPECT_EQ(r.signal, 0) << r.err;
  EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
  EXPECT_EQ(testkit::read_file(control_path), control) << "the control file changed";
}

// ---- Control files -----------------------------------------------------------

const std::string &kHead = kFrame1Head;
const std::string &kBody = kFrame1Body;
const std::string &kControl = kFrame1;

std::string copy_with(const std::string &head, const std::string &first) {
  return frame1_case(row6(first, Z, Z, Z, Z, Z), head);
}
const std::string kCase1 = copy_with(kHead, "    1.6952");
const std::string kCase2 = copy_with(kHead, "    2.3048");

// A rotation-rate sweep writes its value into the fourth field.
const std::string kRates = "T\nNROTOR\n 1\nSFRAME\n 1\nU\n 0 0 0 0 0 0\n";
std::string rate_case(int k) {
  char field[16];
  snprintf(field, sizeof field, "%10.4f", static_cast<double>(k));
  return "T\nNROTOR\n 1\nSFRAME\n 1\nU\n" + row6(Z, Z, Z, field, Z, Z);
}

// A 64-bit hash and the size of a whole file, read in large pieces, for
// files too large to hold: eight bytes at a time, the tail zero-padded.
struct Digest {
  uint64_t hash = 0, size = 0;
  bool operator==(const Digest &o) const { return hash == o.hash && size == o.size; }
};

Digest digest(const std::string &path) {
  Digest d;
  d.hash = 1469598103934665603ull;
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) return Digest{};
  std::vector<unsigned char> buf(1 << 20);
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), f)) > 0) {
    for (size_t i = 0; i < n; i += 8) {
      uint64_t w = 0;
      memcpy(&w, buf.data() + i, n - i < 8 ? n - i : 8);
      d.hash = (d.hash ^ w) * 1099511628211ull;
      d.hash ^= d.hash >> 29;
    }
    d.size += n;
  }
  fclose(f);
  return d;
}

// Writes head, then block `count` times, then tail, without holding the
// whole file.
void write_repeated(const std::string &path, const std::string &head, const std::string &block, size_t count,
                    const std::string &tail) {
  FILE *f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fwrite(head.data(), 1, head.size(), f);
  const size_t per_chunk = (1u << 20) / block.size() + 1;
  std::string chunk;
  for (size_t i = 0; i < per_chunk; ++i) chunk += block;
  for (size_t left = count; left > 0;) {
    const size_t n = left < per_chunk ? left : per_chunk;
    ASSERT_EQ(fwrite(chunk.data(), block.size(), n, f), n);
    left -= n;
  }
  fwrite(tail.data(), 1, tail.size(), f);
  ASSERT_EQ(fclose(f), 0);
}

// ---- Full device -------------------------------------------------------------

// The second generated file is a link to the full device: the write of its
// first record fails with the system's text first, the run ends with 38, and
// the first case's file is whole.  Block-buffered output meets the same
// failure when its buffer is written.
TEST(Faults, GeneratedFileOnAFullDevice) {
  for (const char *buffered : {"no", "yes"}) {
    TempDir dir;
    testkit::write_file(dir / "c.inp", kControl);
    ASSERT_EQ(symlink("/dev/full", (dir / "job2TAVO.inp").c_str()), 0);
    Result r = tavo(dir, {"1", "c"}, {{"FORT_BUFFERED", buffered}});
    expect_sound(r, dir / "c.inp", kControl);
    EXPECT_EQ(r.out, kEcho + "c.inp\n");
    EXPECT_EQ(r.err, "forrtl: No space left on device\nforrtl: severe (38): error during write, unit 98, file " +
                         dir.path() + "/job2TAVO.inp\n")
        << buffered;
    EXPECT_EQ(r.status, 38);
    EXPECT_EQ(file(dir, "job1TAVO.inp"), kCase1);
    EXPECT_EQ(testkit::list_dir(dir.path()), (std::vector<std::string>{"c.inp", "job1TAVO.inp", "job2TAVO.inp"}));
  }
}

// Standard output on a full device: the echo of the control file's name
// fails, and the run ends with 38 for the default output unit before any
// case is written, instead of going on without its listing.
TEST(Faults, StandardOutputOnAFullDevice) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", kControl);
  Launch l;
  l.args = {"1", "c"};
  l.cwd = dir.path();
  l.stdout_path = "/dev/full";
  Result r = launch(l);
  expect_sound(r, dir / "c.inp", kControl);
  const std::string head = "forrtl: No space left on device\nforrtl: severe (38): error during write, unit -1, file ";
  EXPECT_EQ(r.err.substr(0, head.size()), head) << r.err;
  EXPECT_EQ(r.status, 38);
  EXPECT_EQ(testkit::list_dir(dir.path()), std::vector<std::string>{"c.inp"});
}

// ---- Names -----------------------------------------------------------------------

TEST(Faults, PrefixInADirectoryThatDoesNotExist) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", kControl);
  Result r = tavo(dir, {"1", "c", "nodir/j"});
  expect_sound(r, dir / "c.inp", kControl);
  EXPECT_EQ(r.out, kEcho + "c.inp\n");
  EXPECT_EQ(r.err, "forrtl: No such file or directory\nforrtl: severe (29): file not found, unit 98, file " +
                       dir.path() + "/nodir/j1TAVO.inp\n");
  EXPECT_EQ(r.status, 29);
  EXPECT_EQ(testkit::list_dir(dir.path()), std::vector<std::string>{"c.inp"});
}

// A component longer than the system allows fails in the system call; a
// whole path longer than 4096 bytes is refused before it.
TEST(Faults, NamesLongerThanTheSystemAllows) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", kControl);
  const std::string component(300, 'p');
  Result r = tavo(dir, {"1", "c", component});
  expect_sound(r, dir / "c.inp", kControl);
  EXPECT_EQ(r.err, "forrtl: File name too long\nforrtl: severe (43): file name specification error, unit 98, file " +
                       dir.path() + "/" + component + "1TAVO.inp\n");
  EXPECT_EQ(r.status, 43);

  std::string deep;
  for (int i = 0; i < 2040; ++i) deep += "./";
  deep += "j";
  r = tavo(dir, {"1", "c", deep});
  expect_sound(r, dir / "c.inp", kControl);
  EXPECT_EQ(r.err, "forrtl: severe (43): file name specification error, unit 98, file " + dir.path() + "/" + deep +
                       "1TAVO.inp\n");
  EXPECT_EQ(r.status, 43);
  EXPECT_EQ(testkit::list_dir(dir.path()), std::vector<std::string>{"c.inp"});
}

// ---- The control file ------------------------------------------------------------

TEST(Faults, ControlFileIsADirectory) {
  TempDir dir;
  ASSERT_EQ(mkdir((dir / "d.inp").c_str(), 0755), 0);
  Result r = tavo(dir, {"1", "d"});
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.out, kEcho + "d.inp\n");
  EXPECT_EQ(r.err, "forrtl: Is a directory\nforrtl: severe (30): open failure, unit 99, file " + dir.path() +
                       "/d.inp\n");
  EXPECT_EQ(r.status, 30);
  EXPECT_EQ(testkit::list_dir(dir.path()), std::vector<std::string>{"d.inp"});
}

// Feeds a FIFO from a child process: each time a reader has it open, one
// session writes the bytes and closes, so that the reader meets end of file.
// Gives up at the deadline.
pid_t feed_fifo(const std::string &fifo, const std::string &bytes, int sessions, int deadline_seconds) {
  fflush(nullptr);
  const pid_t pid = fork();
  if (pid != 0) return pid;
  signal(SIGPIPE, SIG_IGN);
  struct timespec start, now;
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (int s = 0; s < sessions; ++s) {
    int fd = -1;
    while (fd < 0) {
      fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      clock_gettime(CLOCK_MONOTONIC, &now);
      if (fd < 0 && now.tv_sec - start.tv_sec >= deadline_seconds) _exit(1);
      if (fd < 0) usleep(2000);
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    size_t at = 0;
    while (at < bytes.size()) {
      const ssize_t n = write(fd, bytes.data() + at, bytes.size() - at);
      if (n <= 0) break;
      at += static_cast<size_t>(n);
    }
    close(fd);
    // Let the reader see the end of this session before the next begins.
    usleep(200000);
  }
  _exit(0);
}

void end_feeder(pid_t feeder) {
  kill(feeder, SIGKILL);
  waitpid(feeder, nullptr, 0);
}

bool is_fifo(const std::string &path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

// A FIFO fed once per OPEN (the scan and each case) is read like the file.
// The rotor line holds one entry: no BACKSPACE is needed.
// Runs "tavo 1 f" in dir on the FIFO f.inp, which a feeder fills with
// `control` for each of `sessions` opens.
Result run_on_fifo(const TempDir &dir, const std::string &control, int sessions, int timeout_seconds) {
  EXPECT_EQ(mkfifo((dir / "f.inp").c_str(), 0600), 0);
  const pid_t feeder = feed_fifo(dir / "f.inp", control, sessions, 15);
  Launch l;
  l.args = {"1", "f"};
  l.cwd = dir.path();
  l.timeout_seconds = timeout_seconds;
  Result r = launch(l);
  end_feeder(feeder);
  return r;
}

TEST(Faults, ControlFileIsAFifoWithAWriter) {
  const std::string control = kHead + "NROTOR\n 1\nSFRAME\n 1\nU V W P Q R\n 2.0 0.0 0.0 0.0 0.0 0.0\nEND\n";
  TempDir dir;
  Result r = run_on_fifo(dir, control, 3, 8);
  EXPECT_FALSE(r.timed_out) << "the program never met the end of the FIFO's data";
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(is_fifo(dir / "f.inp"));
  // Metric units, speed 2: half-width 1.0.
  const std::string head = kHead + "NROTOR\n 1\nSFRAME\n 1\nU V W P Q R\n";
  EXPECT_EQ(file(dir, "job1TAVO.inp"), head + row6("    1.0000", Z, Z, Z, Z, Z) + "END\n");
  EXPECT_EQ(file(dir, "job2TAVO.inp"), head + row6("    3.0000", Z, Z, Z, Z, Z) + "END\n");
}

// The rotor line's re-read needs BACKSPACE, which a FIFO cannot do.
TEST(Faults, ControlFileIsAFifoAndTheRotorLineIsReRead) {
  TempDir dir;
  Result r = run_on_fifo(dir, kControl, 1, 15);
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.err, "forrtl: severe (23): BACKSPACE error, unit 99, file " + dir.path() + "/f.inp\n");
  EXPECT_EQ(r.status, 23);
  EXPECT_EQ(testkit::list_dir(dir.path()), std::vector<std::string>{"f.inp"});
}

// With no writer the program waits for one; SIGINT ends the wait.
TEST(Faults, ControlFileIsAFifoWithNoWriter) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "f.inp").c_str(), 0600), 0);
  Launch l;
  l.args = {"1", "f"};
  l.cwd = dir.path();
  l.timeout_seconds = 15;
  struct timespec start;
  clock_gettime(CLOCK_MONOTONIC, &start);
  bool sent = false;
  l.watch = [&](pid_t pid) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long ms = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
    if (!sent && ms >= 500) {
      kill(pid, SIGINT);
      sent = true;
    }
  };
  Result r = launch(l);
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.out, kEcho + "f.inp\n");
  EXPECT_EQ(r.err, "forrtl: error (69): process interrupted (SIGINT)\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(testkit::list_dir(dir.path()), std::vector<std::string>{"f.inp"});
}

// File modes bind only a user other than root, so the program runs as
// nobody (uid 65534) in a directory that nobody owns; as another user it
// runs as that user.
struct Unprivileged {
  TempDir base;
  std::string dir;
  bool drop = geteuid() == 0;
  Unprivileged() {
    chmod(base.path().c_str(), 0755);
    dir = base / "w";
    mkdir(dir.c_str(), 0755);
    if (drop) {
      EXPECT_EQ(chown(dir.c_str(), kNobody, kNobody), 0);
    }
  }
  std::string path(const std::string &name) const { return dir + "/" + name; }
  void make(const std::string &name, const std::string &bytes, mode_t mode) const {
    testkit::write_file(path(name), bytes);
    if (drop) {
      EXPECT_EQ(chown(path(name).c_str(), kNobody, kNobody), 0);
    }
    chmod(path(name).c_str(), mode);
  }
  Result run(std::vector<std::string> args) const {
    Launch l;
    l.args = std::move(args);
    l.cwd = dir;
    l.as_nobody = drop;
    return launch(l);
  }
};

// An unreadable control file is error 9; a read-only one is read; a
// generated file that cannot be created, or that exists read-only, is
// error 9 or 47 on unit 98.
TEST(Faults, PermissionsOfTheControlAndGeneratedFiles) {
  {
    Unprivileged u;
    u.make("c.inp", kControl, 0000);
    Result r = u.run({"1", "c"});
    ASSERT_NE(r.status, 123) << "cannot run as nobody";
    expect_sound(r, u.path("c.inp"), kControl);
    EXPECT_EQ(r.err, "forrtl: Permission denied\nforrtl: severe (9): permission to access file denied, unit 99, file " +
                         u.path("c.inp") + "\n");
    EXPECT_EQ(r.status, 9);
    EXPECT_EQ(testkit::list_dir(u.dir), std::vector<std::string>{"c.inp"});
  }
  {
    Unprivileged u;
    u.make("c.inp", kControl, 0444);
    Result r = u.run({"1", "c"});
    expect_sound(r, u.path("c.inp"), kControl);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(testkit::read_file(u.path("job1TAVO.inp")), kCase1);
    EXPECT_EQ(testkit::read_file(u.path("job2TAVO.inp")), kCase2);
  }
  {
    Unprivileged u;
    u.make("c.inp", kControl, 0644);
    u.make("job2TAVO.inp", "old\n", 0444);
    Result r = u.run({"1", "c"});
    expect_sound(r, u.path("c.inp"), kControl);
    EXPECT_EQ(r.err, "forrtl: severe (47): write to READONLY file, unit 98, file " + u.path("job2TAVO.inp") + "\n");
    EXPECT_EQ(r.status, 47);
    EXPECT_EQ(testkit::read_file(u.path("job1TAVO.inp")), kCase1);
    EXPECT_EQ(testkit::read_file(u.path("job2TAVO.inp")), "old\n");
  }
  {
    Unprivileged u;
    u.make("c.inp", kControl, 0644);
    chmod(u.dir.c_str(), 0555);
    Result r = u.run({"1", "c"});
    expect_sound(r, u.path("c.inp"), kControl);
    EXPECT_EQ(r.err, "forrtl: Permission denied\nforrtl: severe (9): permission to access file denied, unit 98, file " +
                         u.path("job1TAVO.inp") + "\n");
    EXPECT_EQ(r.status, 9);
    EXPECT_EQ(testkit::list_dir(u.dir), std::vector<std::string>{"c.inp"});
  }
}

// ---- Descriptors -------------------------------------------------------------------

// Four descriptors: the standard three and the control file's, so the
// generated file cannot be opened.
TEST(Faults, TooManyOpenFiles) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", kControl);
  Launch l;
  l.args = {"1", "c"};
  l.cwd = dir.path();
  l.open_files = 4;
  Result r = launch(l);
  expect_sound(r, dir / "c.inp", kControl);
  EXPECT_EQ(r.out, kEcho + "c.inp\n");
  EXPECT_EQ(r.err, "forrtl: Too many open files\nforrtl: severe (603): too many open files\n");
  EXPECT_EQ(r.status, 603 & 255);
  EXPECT_EQ(testkit::list_dir(dir.path()), std::vector<std::string>{"c.inp"});
}

// ---- Interruption ---------------------------------------------------------------------

// A large control file and many cases, interrupted once the first files
// exist: the cases before the current one are exactly what a complete run
// writes for them, and the current one is a beginning of its file.
// A rotation-rate control file of 3000 more lines, long enough for a signal
// to land in the middle of a case.
std::string long_control() {
  std::string control = "T\nNROTOR\n 1\nSFRAME\n 1\nU\n 0 0 0 0 0 0\n";
  char line[128];
  for (int i = 0; i < 3000; ++i) {
    snprintf(line, sizeof line, "FILL %06d %s", i, std::string(88, static_cast<char>('a' + i % 26)).c_str());
    control += std::string(line) + "\n";
  }
  return control;
}

// A 2000-case sweep of that control file, written into dir, run in dir.
Launch long_sweep(const TempDir &dir, const std::string &control) {
  testkit::write_file(dir / "c.inp", control);
  Launch l;
  l.args = {"4", "c", "j", "1.", "2000.", "1."};
  l.cwd = dir.path();
  return l;
}

TEST(Faults, SigintInTheMiddleOfASweep) {
  const std::string control = long_control();
  TempDir dir;
  Launch l = long_sweep(dir, control);
  bool sent = false;
  l.watch = [&](pid_t pid) {
    if (!sent && testkit::file_exists(dir / "j3TAVO.inp")) {
      kill(pid, SIGINT);
      sent = true;
    }
  };
  Result r = launch(l);
  expect_sound(r, dir / "c.inp", control);
  ASSERT_TRUE(sent);
  EXPECT_EQ(r.out, kEcho + "c.inp\n");
  EXPECT_EQ(r.err, "forrtl: error (69): process interrupted (SIGINT)\n");
  EXPECT_EQ(r.status, 1);

  int last = 0;
  while (testkit::file_exists(dir / ("j" + std::to_string(last + 1) + "TAVO.inp"))) ++last;
  ASSERT_GE(last, 3);
  ASSERT_LT(last, 2000) << "the run ended before the signal";
  EXPECT_EQ(testkit::list_dir(dir.path()).size(), static_cast<size_t>(last) + 1);

  TempDir whole;
  testkit::write_file(whole / "c.inp", control);
  Result reference = tavo(whole, {"4", "c", "j", "1.", std::to_string(last) + ".", "1."});
  ASSERT_EQ(reference.status, 0) << reference.err;
  for (int k = 1; k <= last; ++k) {
    const std::string name = "j" + std::to_string(k) + "TAVO.inp";
    const std::string got = file(dir, name), want = file(whole, name);
    if (k < last) {
      EXPECT_EQ(got, want) << name;
    } else {
      EXPECT_EQ(got, want.substr(0, got.size())) << name << " is not a beginning of its file";
    }
  }
}

// Killed outright while the fourth file is being written, with the generated
// files block-buffered: the manifest, never buffered, lists every case
// finished before the current one, and each file it lists is whole.
TEST(Faults, ManifestAfterSigkill) {
  const std::string control = long_control();
  TempDir dir;
  Launch l = long_sweep(dir, control);
  l.env = {{"FORT_BUFFERED", "yes"}, {"TAVO_MANIFEST", "m.csv"}};
  bool sent = false;
  l.watch = [&](pid_t pid) {
    struct stat st;
    if (!sent && stat((dir / "j4TAVO.inp").c_str(), &st) == 0 && st.st_size > 0) {
      kill(pid, SIGKILL);
      sent = true;
    }
  };
  Result r = launch(l);
  ASSERT_TRUE(sent);
  EXPECT_EQ(r.signal, SIGKILL);
  int last = 0;
  while (testkit::file_exists(dir / ("j" + std::to_string(last + 1) + "TAVO.inp"))) ++last;
  ASSERT_LT(last, 2000) << "the run ended before the signal";

  TempDir whole;
  testkit::write_file(whole / "c.inp", control);
  ASSERT_EQ(tavo(whole, {"4", "c", "j", "1.", std::to_string(last) + ".", "1."}).status, 0);
  std::stringstream manifest(file(dir, "m.csv"));
  std::string line;
  std::getline(manifest, line);
  EXPECT_EQ(line, "case,file,quantity,sweep,frame,base,value");
  int listed = 0;
  while (std::getline(manifest, line)) {
    ++listed;
    const std::string name = "j" + std::to_string(listed) + "TAVO.inp";
    EXPECT_EQ(line.rfind(std::to_string(listed) + "," + name + ",P,", 0), 0u) << line;
    EXPECT_TRUE(file(dir, name) == file(whole, name)) << name << " is listed but not whole";
  }
  EXPECT_GE(listed, last - 1) << "complete files missing from the manifest";
}

// ---- Size -----------------------------------------------------------------------------

// One line of 100 MB among the others: copied cut to 120 characters.  The
// record is held whole, so the peak memory is about its size.
TEST(Faults, ControlFileWithALineOf100Megabytes) {
  TempDir dir;
  std::string piece(4096, 'h');
  piece[0] = '|';
  write_repeated(dir / "c.inp", kHead, piece, 25600, "\n" + kBody);
  const Digest control = digest(dir / "c.inp");
  Result r = tavo(dir, {"1", "c"});
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.signal, 0);
  EXPECT_TRUE(digest(dir / "c.inp") == control) << "the control file changed";
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  const std::string head = kHead + (piece + piece).substr(0, 120) + "\n";
  EXPECT_EQ(file(dir, "job1TAVO.inp"), copy_with(head, "    1.6952"));
  EXPECT_EQ(file(dir, "job2TAVO.inp"), copy_with(head, "    2.3048"));
  RecordProperty("peak_kb", std::to_string(r.peak_kb));
  EXPECT_LT(r.peak_kb, 400L << 10);
}

// A control file of 1 GB is streamed: the program's peak resident memory
// is that of a 64 MB file with the same lines.  Lines of several lengths up
// to 20000 characters make the record reader refill and shift its buffer.
TEST(Heavy, OneGigabyteControlFileStreamsInFlatMemory) {
  const std::string block = std::string(10, 'a') + "\n" + std::string(200, 'b') + "   \n" + std::string(5000, 'c') +
                            "\n" + std::string(20000, 'd') + "\r\n";
  const std::string copied = std::string(10, 'a') + "\n" + std::string(120, 'b') + "\n" + std::string(120, 'c') +
                             "\n" + std::string(120, 'd') + "\n";
  const size_t big = (size_t{1} << 30) / block.size();
  const size_t small = (size_t{1} << 26) / block.size();
  struct statvfs fs;
  TempDir probe;
  ASSERT_EQ(statvfs(probe.path().c_str(), &fs), 0);
  if (static_cast<double>(fs.f_bavail) * fs.f_frsize < 4.0 * (1u << 30))
    GTEST_SKIP() << "less than 4 GB free under " << probe.path() << " for the 1 GB control file";

  long peak[2] = {0, 0};
  const size_t counts[2] = {small, big};
  for (int run = 0; run < 2; ++run) {
    TempDir dir;
    write_repeated(dir / "c.inp", kHead, block, counts[run], kBody);
    const Digest control = digest(dir / "c.inp");
    Launch l;
    l.args = {"1", "c"};
    l.cwd = dir.path();
    l.watch = [](pid_t) {};  // samples the memory every few milliseconds
    Result r = launch(l);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(digest(dir / "c.inp") == control) << "the control file changed";
    std::string head = kHead;
    head.reserve(kHead.size() + copied.size() * counts[run]);
    for (size_t i = 0; i < counts[run]; ++i) head += copied;
    EXPECT_TRUE(file(dir, "job1TAVO.inp") == copy_with(head, "    1.6952")) << "job1TAVO.inp differs";
    EXPECT_TRUE(file(dir, "job2TAVO.inp") == copy_with(head, "    2.3048")) << "job2TAVO.inp differs";
    peak[run] = r.peak_kb;
  }
  RecordProperty("peak_kb_64mb", std::to_string(peak[0]));
  RecordProperty("peak_kb_1gb", std::to_string(peak[1]));
  EXPECT_GT(peak[0], 0);
  EXPECT_LT(peak[1], peak[0] + 1024) << "memory grows with the file";
}

// ---- The largest sweeps ------------------------------------------------------------------

TEST(Faults, FiveThousandCases) {
  TempDir dir;
  testkit::write_file(dir / "c.inp", kRates);
  Result r = tavo(dir, {"4", "c", "j", "1.", "5000.", "1."});
  expect_sound(r, dir / "c.inp", kRates);
  EXPECT_EQ(r.out, kEcho + "c.inp\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  std::vector<std::string> names = {"c.inp"};
  for (int k = 1; k <= 5000; ++k) names.push_back("j" + std::to_string(k) + "TAVO.inp");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(testkit::list_dir(dir.path()), names);
  int wrong = 0;
  for (int k = 1; k <= 5000; ++k)
    if (file(dir, "j" + std::to_string(k) + "TAVO.inp") != rate_case(k) && ++wrong <= 5)
      ADD_FAILURE() << "case " << k << ": " << file(dir, "j" + std::to_string(k) + "TAVO.inp");
  EXPECT_EQ(wrong, 0);
}

}  // namespace
