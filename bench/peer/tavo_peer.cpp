// A plain stdio program that writes the same files as tavo for the control
// files the end-to-end benchmark uses (the frame 1 and frame 2 layouts,
// values written as plain numbers), so that tavo's cost can be set against
// what a straightforward implementation pays.  It is not a second
// implementation of the run-time: repeat counts, null values and the
// refusals of odd sweeps are left out.
//
// usage: tavo_peer SELECTOR CONTROL [JOB [START END STEP]]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>

#include "for_arch_fenv.h"

namespace {

constexpr size_t kLine = 120;

struct Reader {
  FILE *f = nullptr;
  char *buf = nullptr;
  size_t cap = 0;
  std::string line;  // the last line: at most 120 characters, no terminator

  explicit Reader(const char *name) : f(std::fopen(name, "r")) {}
  ~Reader() {
    if (f) std::fclose(f);
    std::free(buf);
  }
  // The next line without its line feed (and one carriage return before
  // it), cut to 120 characters; false at the end of the file.
  bool next() {
    ssize_t n = getline(&buf, &cap, f);
    if (n <= 0) return false;
    if (buf[n - 1] == '\n') --n;
    if (n > 0 && buf[n - 1] == '\r') --n;
    if (static_cast<size_t>(n) > kLine) n = kLine;
    line.assign(buf, static_cast<size_t>(n));
    return true;
  }
  bool starts_with(const char *key) const { return line.compare(0, std::strlen(key), key) == 0; }
};

[[noreturn]] void fail(const char *what) {
  std::fprintf(stderr, "tavo_peer: %s\n", what);
  std::exit(1);
}

bool is_separator(char c) { return c == ' ' || c == ','; }

// Reads `count` numbers separated by blanks or commas, from as many lines as
// they take; the rest of the last line is dropped.
template <typename T>
void read_values(Reader &in, T *out, int count) {
  int got = 0;
  while (got < count) {
    if (!in.next()) fail("end of file while reading values");
    const char *p = in.line.c_str();
    while (got < count) {
      while (is_separator(*p)) ++p;
      if (!*p) break;
      char *end;
      if constexpr (std::is_floating_point_v<T>) {
        out[got++] = std::strtof(p, &end);
      } else {
        out[got++] = static_cast<T>(std::strtol(p, &end, 10));
      }
      if (end == p) fail("not a number");
      p = end;
    }
  }
}

int count_entries(const std::string &s) {
  int count = 0;
  bool after = true;
  for (char c : s) {
    if (!is_separator(c) && after) {
      ++count;
      after = false;
    } else if (is_separator(c)) {
      after = true;
    }
  }
  return count;
}

// F10.4: ten characters, asterisks when the value does not fit, no minus
// sign on a value that rounds to zero.
void f10_4(char *field, float v) {
  if (std::isnan(v)) {
    std::memcpy(field, "       NaN", 10);
    return;
  }
  if (std::isinf(v)) {
    std::memcpy(field, v < 0 ? " -Infinity" : "  Infinity", 10);
    return;
  }
  char text[64];
  int n = std::snprintf(text, sizeof text, "%.4f", static_cast<double>(v));
  const char *digits = text;
  if (text[0] == '-' && std::strspn(text + 1, "0.") == static_cast<size_t>(n - 1)) {
    ++digits;
    --n;
  }
  if (n > 10) {
    std::memset(field, '*', 10);
    return;
  }
  std::memset(field, ' ', static_cast<size_t>(10 - n));
  std::memcpy(field + 10 - n, digits, static_cast<size_t>(n));
}

void write_row(FILE *out, const float *v, int count, int gap_after) {
  char row[80];
  size_t at = 0;
  for (int i = 0; i < count; ++i) {
    f10_4(row + at, v[i]);
    at += 10;
    if (i + 1 == gap_after) {
      std::memcpy(row + at, "   ", 3);
      at += 3;
    }
  }
  row[at++] = '\n';
  std::fwrite(row, 1, at, out);
}

void copy_line(FILE *out, const std::string &line) {
  size_t n = line.size();
  while (n > 0 && line[n - 1] == ' ') --n;
  std::fwrite(line.data(), 1, n, out);
  std::fputc('\n', out);
}

// "(F12.4)": a value without a decimal point has four implied decimals.
float sweep_argument(const char *text) {
  std::string s(text, std::strlen(text) > 12 ? 12 : std::strlen(text));
  if (s.find_first_of(".eEdD") == std::string::npos) s += "e-4";
  return std::strtof(s.c_str(), nullptr);
}

}  // namespace

int main(int argc, char **argv) {
  for__set_program_fp_mode();
  const int nargs = argc - 1;
  if (nargs < 2 || nargs == 4 || nargs == 5) fail("usage: tavo_peer SELECTOR CONTROL [JOB [START END STEP]]");
  const int selector = argv[1][0] - '0';
  if (selector < 1 || selector > 6) fail("the selector must be 1 to 6");
  std::string control = argv[2];
  while (!control.empty() && control.back() == ' ') control.pop_back();
  if (control.size() < 4 || control.compare(control.size() - 4, 4, ".inp") != 0) control += ".inp";
  std::printf(" RCfilename = %s\n", control.c_str());
  std::fflush(stdout);
  std::string job = nargs >= 3 ? argv[3] : "job";
  while (!job.empty() && job.back() == ' ') job.pop_back();

  // The scan: units flag, frame and flow vector.
  int units = 0, sframe = 0;
  float wind[3] = {0, 0, 0};
  {
    Reader in(control.c_str());
    if (!in.f) fail("cannot open the control file");
    if (!in.next()) fail("empty control file");
    do
      if (!in.next()) fail("no NROTOR");
    while (!in.starts_with("NROTOR"));
    if (!in.next()) fail("no rotor line");
    const int entries = count_entries(in.line);
    if (entries >= 2) {
      int pair[2];
      const char *p = in.line.c_str();
      char *end;
      pair[0] = static_cast<int>(std::strtol(p, &end, 10));
      while (is_separator(*end)) ++end;
      pair[1] = static_cast<int>(std::strtol(end, nullptr, 10));
      units = pair[1];
    }
    do
      if (!in.next()) fail("no SFRAME");
    while (!in.starts_with("SFRAME"));
    read_values(in, &sframe, 1);
    if (!in.next()) fail("no line after the frame");
    read_values(in, wind, 3);
    if (sframe == 1) {
      for (float &w : wind) w = -w;
    } else if (sframe == 2) {
      do
        if (!in.next()) fail("no YAW");
      while (!in.starts_with("YAW"));
      float att[3];
      read_values(in, att, 3);
      if ((att[0] * att[0] + att[1] * att[1]) + att[2] * att[2] > 0.0f) fail("non-zero attitude");
      if (!in.next()) fail("no line after the attitude");
      float vac[3];
      read_values(in, vac, 3);
      for (int k = 0; k < 3; ++k) wind[k] = wind[k] - vac[k];
    }
  }

  float start, end, step;
  if (nargs >= 6) {
    start = sweep_argument(argv[4]);
    end = sweep_argument(argv[5]);
    step = sweep_argument(argv[6]);
  } else if (selector >= 4) {
    start = -0.1f;
    end = 0.1f;
    step = 0.2f;
  } else {
    const float speed = std::sqrt((wind[0] * wind[0] + wind[1] * wind[1]) + wind[2] * wind[2]);
    const float e = 0.0873f * speed, s = -0.0873f * speed;
    const float m = units == 1 ? 0.3048f : 1.0f;
    end = e > m ? e : m;
    start = s < -m ? s : -m;
    step = end - start;
  }
  if (!(step > 0.0f)) fail("the sweep step must be greater than zero");

  float sweep = start - step;
  float flight[6] = {0, 0, 0, 0, 0, 0};
  for (int number = 1;; ++number) {
    sweep = sweep + step;
    if (sweep > end + step * 0.5f) break;
    const std::string name = job + std::to_string(number) + "TAVO.inp";
    Reader in(control.c_str());
    FILE *out = std::fopen(name.c_str(), "w");
    if (!in.f || !out) fail("cannot open a file");
    while (in.next()) {
      copy_line(out, in.line);
      if (sframe == 1 && in.starts_with("SFRAME")) {
        for (int twice = 0; twice < 2; ++twice) {
          if (!in.next()) fail("end of file in the frame block");
          copy_line(out, in.line);
        }
        read_values(in, flight, 6);
        flight[selector - 1] = flight[selector - 1] + sweep;
        write_row(out, flight, 6, 3);
      }
      if (sframe == 2 && in.starts_with("YAW")) {
        float att[3];
        read_values(in, att, 3);
        write_row(out, att, 3, 0);
        if (!in.next()) fail("end of file in the attitude block");
        copy_line(out, in.line);
        read_values(in, flight, 3);
        if (selector <= 3) flight[selector - 1] = flight[selector - 1] + sweep;
        write_row(out, flight, 3, 0);
        if (!in.next()) fail("end of file in the attitude block");
        copy_line(out, in.line);
        read_values(in, flight + 3, 3);
        if (selector >= 4) flight[selector - 1] = flight[selector - 1] + sweep;
        write_row(out, flight + 3, 3, 0);
      }
    }
    if (std::fclose(out) != 0) fail("cannot write a file");
  }
  return 0;
}
