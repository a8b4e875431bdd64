// Random frame-1 and frame-2 control files, selectors and sweeps, run through
// the tavo binary and checked against the program's rules worked out here in
// single precision: the number of cases, every rewritten value, and the
// sweep value, base value and written field of every manifest line.  The values are decimals of at most four
// places and below 1000, so no arithmetic here meets a subnormal and the
// program's flush-to-zero changes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/app/control_text.h"
#include "tests/support/testkit.h"

namespace {

using testkit::TempDir;

// Decimal text and the single-precision value that reading it gives.
struct Decimal {
  std::string text;
  float value;
};

class Draw {
 public:
  explicit Draw(uint32_t seed) : rng_(seed) {}
  uint32_t below(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }
  // A decimal with a point, |value| < limit, with 0 to 4 places.
  Decimal decimal(int limit, bool may_be_negative = true) {
    const int places = static_cast<int>(below(5));
    int64_t scale = 1;
    for (int i = 0; i < places; ++i) scale *= 10;
    int64_t units = static_cast<int64_t>(below(static_cast<uint32_t>(limit * scale)));
    if (may_be_negative && below(2)) units = -units;
    return make(units, places);
  }
  static Decimal make(int64_t units, int places) {
    int64_t scale = 1;
    for (int i = 0; i < places; ++i) scale *= 10;
    const int64_t whole = std::llabs(units) / scale, frac = std::llabs(units) % scale;
    char text[32];
    snprintf(text, sizeof text, "%s%lld.%0*lld", units < 0 ? "-" : "", static_cast<long long>(whole), places,
             static_cast<long long>(frac));
    if (places == 0) snprintf(text, sizeof text, "%s%lld.", units < 0 ? "-" : "", static_cast<long long>(whole));
    return {text, std::strtof(text, nullptr)};
  }

 private:
  std::mt19937 rng_;
};

// A value in an F10.4 field: no minus sign when every digit shown is zero.
std::string f10_4(float v) {
  char field[32];
  snprintf(field, sizeof field, "%10.4f", static_cast<double>(v));
  std::string s = field;
  if (s.find_first_of("123456789") == std::string::npos) {
    const size_t minus = s.find('-');
    if (minus != std::string::npos) s = " " + s.erase(minus, 1);
  }
  return s;
}

std::string row(const float *v, int n) {
  std::string s;
  for (int k = 0; k < n; ++k) s += (k == 3 ? "   " : "") + f10_4(v[k]);
  return s + "\n";
}

// One random run: the control file, the arguments, and what must come out.
struct Trial {
  std::string control;
  std::vector<std::string> args;
  std::string prefix = "job";
  int selector = 1;
  int frame = 1;
  float base = 0;                     // the selected value before the shift
  std::vector<float> sweep;           // the sweep values, in order
  std::vector<std::string> values;    // the selected field of each case, as written
  std::vector<std::string> expected;  // the generated files, in order
};

// Values on one line, a blank before the first and blanks or commas between.
std::string joined(const std::vector<Decimal> &values, Draw &draw) {
  static const char *const separators[] = {" ", ",", "  ", ", "};
  std::string line;
  for (const Decimal &d : values) line += (line.empty() ? " " : separators[draw.below(4)]) + d.text;
  return line + "\n";
}

Trial make_trial(Draw &draw) {
  Trial t;
  const int frame = t.frame = 1 + static_cast<int>(draw.below(2));
  t.selector = 1 + static_cast<int>(draw.below(6));
  // Rotor lines and whether they give foot units.
  static const struct {
    const char *line;
    bool feet;
  } rotors[] = {{" 1", false}, {" 0 1", true}, {" 2 0", false}, {" 1,1", true}, {" 3*1", true}, {" 2*", false}};
  const auto &rotor = rotors[draw.below(6)];

  // Flight values 1 to 6; the flow vector (small, or large enough for the
  // default velocity sweep to grow past its minimum half-width).
  std::vector<Decimal> flight(6), wind(3);
  for (Decimal &d : flight) d = draw.decimal(999);
  for (Decimal &d : wind) d = draw.decimal(draw.below(2) ? 2 : 200);
  const std::string head = "Trial\nNROTOR\n" + std::string(rotor.line) + "\nSFRAME\n " + std::to_string(frame) + "\n";
  std::string before_rows;  // the copied lines before the first rewritten one
  float w[3];
  if (frame == 1) {
    for (int k = 0; k < 3; ++k) flight[k] = wind[k];  // the velocity line holds both
    before_rows = head + "U V W P Q R\n";
    t.control = before_rows + joined(flight, draw) + "END\n";
    for (int k = 0; k < 3; ++k) w[k] = -flight[k].value;
  } else {
    const std::vector<Decimal> vac(flight.begin(), flight.begin() + 3), rates(flight.begin() + 3, flight.end());
    before_rows = head + "WIND\n" + joined(wind, draw) + "YAW PITCH ROLL\n";
    t.control = before_rows + " 0 0 0\nVEHICLE\n" + joined(vac, draw) + "RATES\n" + joined(rates, draw) + "END\n";
    for (int k = 0; k < 3; ++k) w[k] = wind[k].value - vac[k].value;
  }

  // The sweep: given (a start, an end some steps on, a step), or the default.
  float start, end, step;
  t.args = {std::to_string(t.selector), "c"};
  if (draw.below(10) < 7) {
    static const char *const prefixes[] = {"j", "run_", "x-"};
    t.prefix = prefixes[draw.below(3)];
    const Decimal s = draw.decimal(500);
    const Decimal st = Draw::make(1 + draw.below(999), static_cast<int>(draw.below(4)));
    const double steps = static_cast<double>(draw.below(9)) - 1 + (static_cast<double>(draw.below(5)) - 2) * 0.2;
    char e[32];
    snprintf(e, sizeof e, "%.4f", static_cast<double>(s.value) + steps * static_cast<double>(st.value));
    t.args.insert(t.args.end(), {t.prefix, s.text, e, st.text});
    start = s.value;
    end = std::strtof(e, nullptr);
    step = st.value;
  } else if (t.selector >= 4) {
    start = -0.1f, end = 0.1f, step = 0.2f;
  } else {
    const float speed = std::sqrt((w[0] * w[0] + w[1] * w[1]) + w[2] * w[2]);
    const float e = 0.0873f * speed, s = -0.0873f * speed, m = rotor.feet ? 0.3048f : 1.0f;
    end = e > m ? e : m;
    start = s < -m ? s : -m;
    step = end - start;
  }

  // The loop's own accumulation and stop test, then each case's file.
  for (float v = start - step;;) {
    v = v + step;
    if (v > end + step * 0.5f) break;
    t.sweep.push_back(v);
  }
  t.base = flight[t.selector - 1].value;
  for (float v : t.sweep) {
    float f[6];
    for (int k = 0; k < 6; ++k) f[k] = flight[k].value;
    f[t.selector - 1] = f[t.selector - 1] + v;
    const std::string field = f10_4(f[t.selector - 1]);
    t.values.push_back(field.substr(field.find_first_not_of(' ')));
    const float attitude[3] = {0.0f, 0.0f, 0.0f};
    if (frame == 1) {
      t.expected.push_back(before_rows + row(f, 6) + "END\n");
    } else {
      t.expected.push_back(before_rows + row(attitude, 3) + "VEHICLE\n" + row(f, 3) + "RATES\n" + row(f + 3, 3) +
                           "END\n");
    }
  }
  return t;
}

// The manifest's sweep and base values: 9 significant digits in ES form,
// reading back to the same single-precision value.
void expect_es_form(const std::string &text, float value, const char *column) {
  static const std::regex form("-?[0-9]\\.[0-9]{8}E[-+][0-9]{2}");
  EXPECT_TRUE(std::regex_match(text, form)) << column << " " << text;
  const float read_back = std::strtof(text.c_str(), nullptr);
  EXPECT_EQ(std::memcmp(&read_back, &value, sizeof read_back), 0)
      << column << " " << text << " reads back as " << read_back << ", not " << value;
}

TEST(SweepProperty, RandomControlFilesSelectorsAndSweeps) {
  Draw draw(20261209);
  int runs_with_cases = 0;
  for (int trial = 0; trial < 200; ++trial) {
    const Trial t = make_trial(draw);
    SCOPED_TRACE("trial " + std::to_string(trial) + ": tavo " + [&] {
      std::string a;
      for (const auto &s : t.args) a += s + " ";
      return a;
    }() + "\n" + t.control);
    TempDir dir;
    testkit::write_file(dir / "c.inp", t.control);
    testkit::RunOptions opts;
    opts.cwd = dir.path();
    opts.stdin_null = true;
    opts.env = {{"FOR_DISABLE_STACK_TRACE", "1"}, {"TAVO_MANIFEST", "m.csv"}};
    std::vector<std::string> argv = {testkit::built("app/tavo")};
    argv.insert(argv.end(), t.args.begin(), t.args.end());
    const testkit::Outcome o = testkit::run_program(argv, opts);
    ASSERT_EQ(o.status, 0) << o.out << o.err;
    ASSERT_EQ(o.err, "");

    std::vector<std::string> names = {"c.inp", "m.csv"};
    std::stringstream manifest(tavo_text::file(dir, "m.csv"));
    std::string line;
    std::getline(manifest, line);
    EXPECT_EQ(line, "case,file,quantity,sweep,frame,base,value");
    for (size_t k = 0; k < t.sweep.size(); ++k) {
      const std::string name = t.prefix + std::to_string(k + 1) + "TAVO.inp";
      names.push_back(name);
      EXPECT_EQ(tavo_text::file(dir, name), t.expected[k]) << name;
      ASSERT_TRUE(std::getline(manifest, line)) << "no manifest line for " << name;
      const std::string lead = std::to_string(k + 1) + "," + name + "," + "UVWPQR"[t.selector - 1] + ",";
      ASSERT_EQ(line.substr(0, lead.size()), lead);
      std::vector<std::string> rest;
      std::stringstream columns(line.substr(lead.size()));
      for (std::string c; std::getline(columns, c, ',');) rest.push_back(c);
      ASSERT_EQ(rest.size(), 4u) << line;
      expect_es_form(rest[0], t.sweep[k], "sweep");
      EXPECT_EQ(rest[1], std::to_string(t.frame));
      expect_es_form(rest[2], t.base, "base");
      EXPECT_EQ(rest[3], t.values[k]) << "value";
    }
    EXPECT_FALSE(std::getline(manifest, line)) << "a manifest line too many: " << line;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(testkit::list_dir(dir.path()), names);
    EXPECT_EQ(tavo_text::file(dir, "c.inp"), t.control);
    if (!t.sweep.empty()) ++runs_with_cases;
  }
  EXPECT_GT(runs_with_cases, 150);
}

}  // namespace
