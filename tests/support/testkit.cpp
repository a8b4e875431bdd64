#include "tests/support/testkit.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testkit {

TempDir::TempDir() {
  const char *base = getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/tavo-test-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  // Restore permissions a test may have taken away so removal succeeds.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_symlink(ec)) chmod(it->path().c_str(), 0700);
  }
  std::filesystem::remove_all(path_, ec);
}

std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const std::string &path, const std::string &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool file_exists(const std::string &path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
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
  std::sort(names.begin(), names.end());
  return names;
}

namespace {

void drain(int out_fd, int err_fd, pid_t pid, Outcome &o, int timeout_seconds) {
  struct pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  int open_fds = 2;
  struct timespec start;
  clock_gettime(CLOCK_MONOTONIC, &start);
  char buf[65536];
  while (open_fds > 0) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    long elapsed_ms = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
    long left = timeout_seconds * 1000L - elapsed_ms;
    if (left <= 0) {
      o.timed_out = true;
      kill(pid, SIGKILL);
      break;
    }
    int r = poll(fds, 2, static_cast<int>(std::min(left, 1000L)));
    if (r < 0 && errno == EINTR) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        (i == 0 ? o.out : o.err).append(buf, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        fds[i].fd = -1;
        --open_fds;
      }
    }
  }
  int st = 0;
  while (waitpid(pid, &st, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(st)) o.status = WEXITSTATUS(st);
  if (WIFSIGNALED(st)) o.signal = WTERMSIG(st);
}

Outcome spawn(const std::function<void()> &child, const RunOptions &options) {
  int out_pipe[2], err_pipe[2], in_pipe[2];
  if (pipe(out_pipe) || pipe(err_pipe) || pipe(in_pipe)) throw std::runtime_error("pipe failed");
  fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    if (options.stdin_null) {
      int fd = open("/dev/null", O_RDONLY);
      dup2(fd, 0);
    } else {
      dup2(in_pipe[0], 0);
    }
    for (int fd : {out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1], in_pipe[0], in_pipe[1]})
      close(fd);
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(125);
    for (const auto &[name, value] : options.env) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
    signal(SIGPIPE, SIG_DFL);
    child();
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  close(in_pipe[0]);
  if (!options.stdin_bytes.empty()) {
    signal(SIGPIPE, SIG_IGN);
    const char *p = options.stdin_bytes.data();
    size_t left = options.stdin_bytes.size();
    while (left > 0) {
      ssize_t n = write(in_pipe[1], p, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      p += n;
      left -= static_cast<size_t>(n);
    }
  }
  close(in_pipe[1]);
  Outcome o;
  drain(out_pipe[0], err_pipe[0], pid, o, options.timeout_seconds);
  close(out_pipe[0]);
  close(err_pipe[0]);
  return o;
}

}  // namespace

Outcome run_child(const std::function<int()> &fn, const RunOptions &options) {
  return spawn([&] {
    int rc = fn();
    fflush(nullptr);
    _exit(rc);
  }, options);
}

Outcome run_program(const std::vector<std::string> &argv, const RunOptions &options) {
  return spawn([&] { exec_program(argv); }, options);
}

namespace {

// The emulator of a cross build (the command and its options, separated by
// blanks in TAVO_TEST_EMULATOR), empty in a native one.
std::vector<std::string> emulator_command() {
  const std::string emulator = TAVO_TEST_EMULATOR;
  std::vector<std::string> command;
  for (size_t from = 0; from < emulator.size();) {
    const size_t end = std::min(emulator.find(' ', from), emulator.size());
    if (end > from) command.push_back(emulator.substr(from, end - from));
    from = end + 1;
  }
  return command;
}

}  // namespace

std::string process_name(const std::string &program) {
  const std::vector<std::string> emulator = emulator_command();
  const std::string &run = emulator.empty() ? program : emulator[0];
  return run.substr(run.rfind('/') + 1).substr(0, 15);
}

void exec_program(const std::vector<std::string> &argv) {
  std::vector<std::string> command = emulator_command();
  command.insert(command.end(), argv.begin(), argv.end());
  std::vector<char *> args;
  for (const auto &a : command) args.push_back(const_cast<char *>(a.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(126);
}

std::string built(const std::string &relative) { return std::string(TAVO_BINARY_DIR) + "/" + relative; }
std::string source(const std::string &relative) { return std::string(TAVO_SOURCE_DIR) + "/" + relative; }

}  // namespace testkit
