// tavo: the stability-derivative utility.  Reads a flow solver's control
// file and writes one copy per sweep value with one flight-condition
// quantity (a velocity component or a rotation rate) shifted by the value.
//
// Every statement goes through the run-time layer as compiled code would
// issue it; all arithmetic is single precision under flush-to-zero.
#include <cmath>
#include <cstdint>

#include "app/tavo.h"
#include "for_arch_arith.h"
#include "for_arch_fenv.h"
#include "fmt/for_fmt.h"
#include "fmt/for_statements.h"
#include "rtl/for_rtl.h"

using forio::chars;
using forio::ref;
using forio::value;
namespace arith = for_arith;

namespace {

// Field widths: wide enough for any argument of up to 4096 bytes, so that no
// name is ever cut; the control-file name also takes the ".inp" suffix.
constexpr int32_t kArgMax = 4096;
constexpr int32_t kNameField = kArgMax + 4;
constexpr int32_t kJobField = kArgMax;
constexpr int32_t kNewNameField = kArgMax + 4 + 8;
constexpr int32_t kLine = 120;
constexpr uint64_t OPTS = FOR_OPTS_PROGRAM;
constexpr uint64_t OPTS_END = FOR_OPTS_PROGRAM_END;

// "(I4)": case numbers from 1000 to 9999 keep all their digits.
alignas(4) const uint8_t pack_I4[] = {54, 0, 0, 0, 36, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0, 55, 0, 0, 0};

// The manifest's packs, as the run-time's format compiler emits them (every
// item in its 12-byte form).  "(ES0.8)": the sweep value with 9 significant
// digits, which read back to the same single-precision value; it is written
// into SWEEPTEXT and its trailing blanks dropped.  "(A,',',A,',',A,',',A,',',
// A,',',A,',',A)": the line from its seven texts.
alignas(4) const uint8_t pack_ES0_8[] = {
    1,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // start
    50, 0, 0, 8, 1, 0, 0, 0, 0, 0, 0, 0,  // ES0.8
    2,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // end
};
alignas(4) const uint8_t pack_manifest_line[] = {
    1,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // start
    19, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,  // A
    28, 0, 1, 0, ',', 0, 0, 0,            // ','
    19, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,  // A
    28, 0, 1, 0, ',', 0, 0, 0,            // ','
    19, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,  // A
    28, 0, 1, 0, ',', 0, 0, 0,            // ','
    19, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,  // A
    28, 0, 1, 0, ',', 0, 0, 0,            // ','
    19, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,  // A
    28, 0, 1, 0, ',', 0, 0, 0,            // ','
    19, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,  // A
    28, 0, 1, 0, ',', 0, 0, 0,            // ','
    19, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,  // A
    2,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // end
};

// The manifest's unit, and the letters of the six quantities by selector.
constexpr int32_t kManifestUnit = 97;
const char kQuantity[] = "UVWPQR";

// Program variables (static storage, blank-padded character fields).
char CTYPE[1];
char RCFILENAME[kNameField];
int32_t RCLEN;                  // position of the last non-blank of RCFILENAME
char JOB[kJobField];
int32_t JOBLEN;
char CFILE[12];
char NEWRCNAME[kNewNameField];
int32_t NEWLEN;                 // used length of NEWRCNAME
int32_t DIGITS;                 // digits of the case number at the start of CFILE
char CMNT[kLine];
int32_t NARGS;
int32_t SELECTOR;               // 1..6
int32_t ROTOR;
int32_t UNITS;                  // 1: foot units; never set means 0
int32_t SFRAME;
float WIND[3];
float VAC[3];
float YAW, PITCH, ROLL;
float FLIGHT[6];                // velocity components, then rotation rates
float SWEEP_START, SWEEP_END, SWEEP_STEP;
int32_t CASES;                  // number of cases the sweep writes
char MANIFEST[kArgMax + 1];     // TAVO_MANIFEST; a longer name fails at OPEN
int32_t MANIFESTLEN;            // 0: no manifest
char SWEEPTEXT[24];             // the sweep value as the manifest shows it
float BASE;                     // the selected value before the sweep value was added
char BASETEXT[24];              // BASE as the manifest shows it
char VALUETEXT[10];             // the selected field as written
bool OUTPUT_CONVERSION_FAILED;  // a rewritten value did not fit its field
const char *BUFFERED = "YES";   // BUFFERED= of the generated files

const char kAttitude[4][51] = {
    "??? You can run with SFRAME=2 but you must set ???",
    "??? YAW = PITCH = ROLL = 0.0 to force the run  ???",
    "??? to be performed in body axes to use the    ???",
    "??? stability derivative utility               ???",
};

// Only the blank itself (code 32), as the blank-extended comparison with the
// empty text has it.
bool is_blank_at(const char *c) { return for_cpstr(c, 1, "", 0, FOR_REL_EQ) != 0; }

bool starts_with(const char *keyword, int32_t length) {
  return for_cpstr(CMNT, length, keyword, length, FOR_REL_EQ) != 0;
}

void message(const char *text) { forio::write_lis(-1, OPTS, {chars(text)}); }

[[noreturn]] void stop(int32_t code) { for_stop_core("", 0, OPTS, code, code != 0); }

// A refusal: the message on standard output, then STOP with code 2.
[[noreturn]] void refuse(const char *text) {
  message(text);
  stop(2);
}

void read_line(uint64_t options = OPTS) { forio::read_fmt(99, options, for_pack_A, {ref(CMNT, kLine)}); }

// Copies the line in CMNT to the generated file without its trailing blanks.
[[gnu::always_inline]] inline void copy_line() {
  const int32_t n = lenstr(CMNT, kLine);
  forio::write_fmt(98, OPTS, for_pack_A, {chars(CMNT, n)});
}

void note(int32_t status) {
  if (status == 63) OUTPUT_CONVERSION_FAILED = true;
}

float attitude_square() {
  const float yaw = arith::mul(YAW, YAW), pitch = arith::mul(PITCH, PITCH);
  const float both = arith::add(yaw, pitch);
  return arith::add(both, arith::mul(ROLL, ROLL));
}

[[noreturn]] void refuse_attitude() {
  for (const char *line : kAttitude) message(line);
  stop(2);
}

// ---- Command line ---------------------------------------------------------

const char *const kUsage[] = {
    "usage: tavo SELECTOR CONTROL [JOB [START END STEP]]",
    "       tavo --help | -h | --version",
    "",
    "Writes one copy of the flow solver's control file per sweep value, with one",
    "flight-condition quantity shifted by that value: case n goes to JOBnTAVO.inp",
    "in the current directory.  The control file itself is never modified.",
    "",
    "  SELECTOR  1, 2, 3: velocity component U, V, W; 4, 5, 6: rotation rate",
    "            P, Q, R (only the first character counts)",
    "  CONTROL   the control file; \".inp\" is appended unless the name ends in it",
    "  JOB       prefix of the generated names (default: job)",
    "  START END STEP",
    "            the sweep, all three or none; cases are START, START+STEP, ...",
    "            up to END + STEP/2.  Each is read as F12.4: without a decimal",
    "            point the last four digits are decimals (5 is 0.0005, 5. is 5.0)",
    "",
    "Without a sweep a rotation rate goes from -0.1 to 0.1, and a velocity",
    "component from -H to H, H the larger of 0.0873 x flow speed and 1.0",
    "(0.3048 in foot units): two cases either way.",
    "",
    "Environment:",
    "  FORT_BUFFERED=no           one write per line (default: in blocks)",
    "  FOR_DISABLE_STACK_TRACE=1  diagnostics without the traceback",
    "  TAVO_MANIFEST=FILE         list each complete file: case, name, quantity,",
    "                             sweep value, frame, value before and as written",
    "",
    "Exit status: 0 done, 2 refused, 63 a value did not fit its field, 1 after",
    "SIGINT or SIGTERM, else the run-time error number.  See man tavo.",
};

bool argument_is(const char *arg, int32_t arg_length, const char *text) {
  const int32_t n = static_cast<int32_t>(__builtin_strlen(text));
  return arg_length == n && for_cpstr(arg, n, text, n, FOR_REL_EQ) != 0;
}

// A lone --help, -h or --version answers and ends the run with status 0.
void answer_help_or_version() {
  char arg[16];
  int32_t length = 0;
  const int32_t one = 1;
  for_getarg(&one, arg, &length, sizeof arg);
  if (argument_is(arg, length, "--version")) {
    forio::write_fmt(-1, OPTS, for_pack_A, {chars("tavo " TAVO_VERSION)});
    stop(0);
  }
  if (argument_is(arg, length, "--help") || argument_is(arg, length, "-h")) {
    for (const char *line : kUsage) forio::write_fmt(-1, OPTS, for_pack_A, {chars(line)});
    stop(0);
  }
}

void read_arguments() {
  NARGS = for_iargc();
  if (NARGS == 1) answer_help_or_version();
  if (NARGS < 2) {
    refuse(" ??? tavo requires at least 2 command line entries ???");
  }
  if (NARGS == 4 || NARGS == 5) {
    refuse(" ??? tavo requires only 3 entries or 4, 5 ahd 6 ???");
  }
  const int32_t one = 1, two = 2, three = 3;
  for_getarg(&one, CTYPE, nullptr, sizeof CTYPE);
  SELECTOR = (CTYPE[0] >= '1' && CTYPE[0] <= '6') ? CTYPE[0] - '0' : 0;
  if (SELECTOR == 0) refuse(" ??? tavo: the first entry must be a derivative selector 1 to 6 ???");

  for_getarg(&two, RCFILENAME, nullptr, kArgMax);
  for_cpystr(RCFILENAME + kArgMax, kNameField - kArgMax, "", 0, 0);
  RCLEN = lenstr(RCFILENAME, kNameField);
  if (RCLEN < 4 || for_cpstr(RCFILENAME + RCLEN - 4, 4, ".inp", 4, FOR_REL_NE)) {
    for_cpystr(RCFILENAME + RCLEN, 4, ".inp", 4, 0);
    RCLEN += 4;
  }
  forio::write_fmt(-1, OPTS, for_pack_rcfilename, {chars(RCFILENAME, RCLEN)});

  for_cpystr(JOB, kJobField, "job", 3, 0);
  JOBLEN = 3;
  if (NARGS >= 3) {
    for_getarg(&three, JOB, nullptr, kJobField);
    JOBLEN = lenstr(JOB, kJobField);
  }
}

// ---- Control-file scan ----------------------------------------------------

// The names are passed without their trailing blanks, which OPEN would drop.
void scan_control_file() {
  forio::open(99, OPTS, RCFILENAME, RCLEN, "old", 3);
  read_line();
  do read_line();
  while (!starts_with("NROTOR", 6));

  read_line();
  int32_t count = 0;
  const int32_t n = kLine;
  columns(CMNT, &n, &count, kLine);
  if (count == 1) UNITS = 0;
  if (count >= 2) {
    forio::backspace(99, OPTS);
    forio::read_lis(99, OPTS, {ref(&ROTOR), ref(&UNITS)});
  }

  do read_line();
  while (!starts_with("SFRAME", 6));
  forio::read_lis(99, OPTS, {ref(&SFRAME)});
  read_line();
  forio::read_lis(99, OPTS, {forio::array(WIND, 3)});

  if (SFRAME == 1) {
    for (float &w : WIND) w = -w;
  }
  if (SFRAME == 2) {
    do read_line();
    while (!starts_with("YAW", 3));
    forio::read_lis(99, OPTS, {ref(&YAW), ref(&PITCH), ref(&ROLL)});
    if (attitude_square() > 0.0f) refuse_attitude();
    read_line();
    forio::read_lis(99, OPTS, {forio::array(VAC, 3)});
    for (int k = 0; k < 3; ++k) WIND[k] = arith::sub(WIND[k], VAC[k]);
  }
  forio::close(99, OPTS);
  // Any other frame would make every generated file an unchanged copy.
  if (SFRAME != 1 && SFRAME != 2) refuse(" ??? tavo: SFRAME must be 1 or 2 for a derivative sweep ???");
}

// ---- Sweep parameters -----------------------------------------------------

void read_sweep() {
  if (NARGS >= 6) {
    float *targets[3] = {&SWEEP_START, &SWEEP_END, &SWEEP_STEP};
    for (int32_t k = 4; k <= 6; ++k) {
      int32_t length = 0;
      for_getarg(&k, CFILE, &length, sizeof CFILE);
      if (length > static_cast<int32_t>(sizeof CFILE))
        refuse(" ??? tavo: a sweep value may have at most 12 characters ???");
      forio::read_internal(CFILE, sizeof CFILE, OPTS, for_pack_F12_4, {ref(targets[k - 4])});
    }
  } else if (SELECTOR >= 4) {
    SWEEP_START = -0.1f;
    SWEEP_END = 0.1f;
    SWEEP_STEP = 0.2f;
  } else {
    const float speed = arith::sqrt(
        arith::add(arith::add(arith::mul(WIND[0], WIND[0]), arith::mul(WIND[1], WIND[1])), arith::mul(WIND[2], WIND[2])));
    const float e = arith::mul(0.0873f, speed);
    const float s = arith::mul(-0.0873f, speed);
    const float m = UNITS == 1 ? 0.3048f : 1.0f;
    SWEEP_END = e > m ? e : m;
    SWEEP_START = s < -m ? s : -m;
    SWEEP_STEP = arith::sub(SWEEP_END, SWEEP_START);
  }
}

// ---- Generated names ------------------------------------------------------

// NEWRCNAME = JOB(1:JOBLEN) // the case number's digits // "TAVO.inp".
void case_name(int32_t number) {
  const uint8_t *pack = number < 10 ? for_pack_I1 : number < 100 ? for_pack_I2 : number < 1000 ? for_pack_I3 : pack_I4;
  DIGITS = number < 10 ? 1 : number < 100 ? 2 : number < 1000 ? 3 : 4;
  note(forio::write_internal(CFILE, sizeof CFILE, OPTS, pack, {value(number)}));
  const for_strpair parts[3] = {{JOB, JOBLEN}, {CFILE, DIGITS}, {"TAVO.inp", 8}};
  for_concat(parts, 3, NEWRCNAME, kNewNameField);
  NEWLEN = JOBLEN + DIGITS + 8;
}

// The sweep's arithmetic, shared by the check and the loop so that the two
// can never disagree: the value before case 1, the next value, and the limit
// that no case value may pass.
float sweep_before_first() { return arith::sub(SWEEP_START, SWEEP_STEP); }
float sweep_next(float v) { return arith::add(v, SWEEP_STEP); }
float sweep_limit() { return arith::add(SWEEP_END, arith::mul(SWEEP_STEP, 0.5f)); }

// Walks the sweep with the loop's own arithmetic before anything is written:
// a sweep that would never end or flood the directory is refused.
void check_sweep() {
  if (!std::isfinite(SWEEP_START) || !std::isfinite(SWEEP_END) || !std::isfinite(SWEEP_STEP))
    refuse(" ??? tavo: the sweep start, end and step must be finite numbers ???");
  if (!arith::gt(SWEEP_STEP, 0.0f)) refuse(" ??? tavo: the sweep step must be greater than zero ???");
  const float limit = sweep_limit();
  float v = sweep_before_first();
  int64_t cases = 0;
  for (;;) {
    const float next = sweep_next(v);
    if (next > limit) break;
    if (!(next > v)) refuse(" ??? tavo: the sweep step is too small to advance the sweep ???");
    v = next;
    ++cases;
  }
  if (cases > 9999) refuse(" ??? tavo: the sweep would write more than 9999 files ???");
  CASES = static_cast<int32_t>(cases);
}

// ---- Manifest -------------------------------------------------------------

// TAVO_MANIFEST names the manifest; unset, empty or blank means none.  Its
// trailing blanks would be dropped by OPEN, so they do not count.
void read_manifest_name() {
  int32_t length = 0;
  for_getenv("TAVO_MANIFEST", MANIFEST, &length, 13, sizeof MANIFEST);
  MANIFESTLEN = lenstr(MANIFEST, sizeof MANIFEST);
}

// No generated file may be the control file, and the manifest may be neither
// the control file nor any file of the sweep.  The control file and the
// manifest are looked up once; each generated name costs one lookup, which
// serves both tests.  A clash with the control file is reported first.
void check_names() {
  for_file_key control, manifest, name;
  for__file_key(RCFILENAME, RCLEN, &control);
  for__file_key(MANIFEST, MANIFESTLEN, &manifest);
  bool overwrites_control = false;
  bool manifest_clash = MANIFESTLEN != 0 && for__same_key(&manifest, &control);
  for (int32_t number = 1; !overwrites_control && number <= CASES; ++number) {
    case_name(number);
    for__file_key(NEWRCNAME, NEWLEN, &name);
    overwrites_control = for__same_key(&name, &control);
    if (MANIFESTLEN != 0 && !manifest_clash) manifest_clash = for__same_key(&manifest, &name);
    for__free_file_key(&name);
  }
  for__free_file_key(&control);
  for__free_file_key(&manifest);
  if (overwrites_control) refuse(" ??? tavo: a generated file would overwrite the control file ???");
  if (manifest_clash) refuse(" ??? tavo: the manifest would overwrite the control file or a generated file ???");
}

// The generated files are written in blocks unless FORT_BUFFERED is set to
// a value read as false: the same bytes in fewer write calls.
void choose_buffering() {
  char value[1];
  int32_t length = 0;
  for_getenv("FORT_BUFFERED", value, &length, 13, sizeof value);
  if (length != 0 && !for_check_env_name("FORT_BUFFERED")) BUFFERED = "NO";
}

// Opened only once every check has passed, so that a refused run leaves an
// earlier manifest as it was.  Unbuffered whatever FORT_BUFFERED says: each
// line is one write, on disk before the next case starts.  The header, the
// first record written, truncates an existing file after it.
void open_manifest() {
  if (MANIFESTLEN == 0) return;
  forio::open(kManifestUnit, OPTS, MANIFEST, MANIFESTLEN, "unknown", 7, "NO");
  forio::write_fmt(kManifestUnit, OPTS, for_pack_A, {chars("case,file,quantity,sweep,frame,base,value")});
}

// Shifts the selected flight value by the sweep value, keeping for the
// manifest the value before and the field the generated file will hold:
// the file's own "(3F10.4)" into a 10-character variable (one item ends the
// format after its first field), its status asked for so that a
// field that does not fit (ten asterisks) is reported once, by the file's
// own WRITE.  The last rewrite of a case is the one the manifest shows.
void shift_selected(float sweep) {
  float &v = FLIGHT[SELECTOR - 1];
  BASE = v;
  v = arith::add(v, sweep);
  if (MANIFESTLEN != 0) forio::write_internal(VALUETEXT, sizeof VALUETEXT, OPTS | FOR_OPT_ERR, for_pack_3F10_4, {value(v)});
}

// Text without its leading blanks: the start is returned, the length left.
const char *without_leading_blanks(const char *text, int32_t *length) {
  while (*length > 0 && is_blank_at(text)) {
    ++text;
    --*length;
  }
  return text;
}

// One line for a case whose file is complete and closed: the case number's
// digits, still in CFILE from naming the file, the name as OPEN used it
// (without the leading blanks it drops), the quantity, the sweep value, the
// frame, the value before the shift and the field as written.
void record_case(float sweep) {
  if (MANIFESTLEN == 0) return;
  forio::write_internal(SWEEPTEXT, sizeof SWEEPTEXT, OPTS, pack_ES0_8, {value(sweep)});
  forio::write_internal(BASETEXT, sizeof BASETEXT, OPTS, pack_ES0_8, {value(BASE)});
  int32_t name_length = NEWLEN, value_length = sizeof VALUETEXT;
  const char *name = without_leading_blanks(NEWRCNAME, &name_length);
  const char *field = without_leading_blanks(VALUETEXT, &value_length);
  const char frame = SFRAME == 1 ? '1' : '2';
  forio::write_fmt(kManifestUnit, OPTS, pack_manifest_line,
                   {chars(CFILE, DIGITS), chars(name, name_length), chars(kQuantity + SELECTOR - 1, 1),
                    chars(SWEEPTEXT, lenstr(SWEEPTEXT, sizeof SWEEPTEXT)), chars(&frame, 1),
                    chars(BASETEXT, lenstr(BASETEXT, sizeof BASETEXT)), chars(field, value_length)});
}

// ---- Generation -----------------------------------------------------------

void write_row3(const float *v) {
  int32_t r = forio::write_fmt(98, OPTS, for_pack_3F10_4, {value(v[0]), value(v[1]), value(v[2])});
  note(r);
}

void copy_control_file(float sweep) {
  for (;;) {
    if (forio::read_fmt(99, OPTS_END, for_pack_A, {ref(CMNT, kLine)}) == -1) break;
    copy_line();
    if (starts_with("SFRAME", 6) && SFRAME == 1) {
      for (int twice = 0; twice < 2; ++twice) {
        read_line();
        copy_line();
      }
      forio::read_lis(99, OPTS, {ref(&FLIGHT[0]), ref(&FLIGHT[1]), ref(&FLIGHT[2]), ref(&FLIGHT[3]),
                                 ref(&FLIGHT[4]), ref(&FLIGHT[5])});
      shift_selected(sweep);
      note(forio::write_fmt(98, OPTS, for_pack_3F10_4_3X,
                            {value(FLIGHT[0]), value(FLIGHT[1]), value(FLIGHT[2]), value(FLIGHT[3]),
                             value(FLIGHT[4]), value(FLIGHT[5])}));
    }
    if (SFRAME == 2 && starts_with("YAW", 3)) {
      forio::read_lis(99, OPTS, {ref(&YAW), ref(&PITCH), ref(&ROLL)});
      if (attitude_square() > 0.0f) refuse_attitude();
      const float attitude[3] = {YAW, PITCH, ROLL};
      write_row3(attitude);
      read_line();
      copy_line();
      forio::read_lis(99, OPTS, {ref(&FLIGHT[0]), ref(&FLIGHT[1]), ref(&FLIGHT[2])});
      if (SELECTOR <= 3) shift_selected(sweep);
      write_row3(FLIGHT);
      read_line();
      copy_line();
      forio::read_lis(99, OPTS, {ref(&FLIGHT[3]), ref(&FLIGHT[4]), ref(&FLIGHT[5])});
      if (SELECTOR >= 4) shift_selected(sweep);
      write_row3(FLIGHT + 3);
    }
  }
}

void generate() {
  float sweep = sweep_before_first();
  int32_t number = 0;
  for (;;) {
    sweep = sweep_next(sweep);
    if (sweep > sweep_limit()) stop(OUTPUT_CONVERSION_FAILED ? 63 : 0);
    number = number + 1;
    case_name(number);
    forio::open(99, OPTS, RCFILENAME, RCLEN, "old", 3);
    forio::open(98, OPTS, NEWRCNAME, NEWLEN, "unknown", 7, BUFFERED);
    copy_control_file(sweep);
    forio::close(98, OPTS);
    forio::close(99, OPTS);
    record_case(sweep);
  }
}

}  // namespace

extern "C" void MAIN__(void) {
  // Flush-to-zero and denormals-are-zero for the program's own arithmetic.
  for__set_program_fp_mode();
  const int32_t mode = 2;
  for_set_reentrancy(&mode);

  read_arguments();
  scan_control_file();
  read_sweep();
  check_sweep();
  read_manifest_name();
  check_names();
  choose_buffering();
  open_manifest();
  generate();
}
