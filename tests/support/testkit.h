// Test helpers: temporary directories, whole files, and child processes whose
// standard output, standard error and exit status are captured.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testkit {

// A fresh directory under $TMPDIR (or /tmp), removed with its contents.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  const std::string &path() const { return path_; }
  std::string operator/(const std::string &name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &bytes);
bool file_exists(const std::string &path);
// Names of the entries of a directory, sorted, without "." and "..".
std::vector<std::string> list_dir(const std::string &path);

struct Outcome {
  std::string out;     // standard output
  std::string err;     // standard error
  int status = -1;     // exit status when exited, else -1
  int signal = 0;      // terminating signal, else 0
  bool timed_out = false;
};

struct RunOptions {
  std::string cwd;                                   // empty: inherit
  std::map<std::string, std::optional<std::string>> env;  // nullopt: unset
  std::string stdin_bytes;                           // fed to standard input
  bool stdin_null = false;                           // /dev/null instead
  int timeout_seconds = 60;
};

// Runs fn in a forked child; its exit status is fn's result unless fn ends
// the process itself.  Output is captured through pipes.
Outcome run_child(const std::function<int()> &fn, const RunOptions &options = {});

// Runs a program with arguments (argv[0] included) in a child.
Outcome run_program(const std::vector<std::string> &argv, const RunOptions &options = {});

// Replaces this process with the program of argv (argv[0] its path); a
// program built for another processor runs under the build's emulator.
// Exits with 126 when exec fails.
[[noreturn]] void exec_program(const std::vector<std::string> &argv);
// The name the system gives a process that runs program (the emulator's in
// a cross build): the base name of what is executed, cut to 15 characters.
std::string process_name(const std::string &program);

// Path of a built program (relative to the build directory), e.g. "app/tavo".
std::string built(const std::string &relative);
// Path of a file in the source tree, e.g. "examples/wing.inp".
std::string source(const std::string &relative);

}  // namespace testkit
