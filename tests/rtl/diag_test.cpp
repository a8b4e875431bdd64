// Run-time diagnostics: the catalogue, the headers, the switches, and the
// decision between returning a status and reporting.
#include <gtest/gtest.h>
#include <errno.h>
#include <signal.h>

#include <string>

#include "rtl/for_diag.h"
#include "rtl/for_lub.h"
#include "rtl/for_msg.h"
#include "rtl/for_rtl.h"
#include "rtl/for_state.h"
#include "tests/support/testkit.h"

namespace {

using testkit::run_child;
using testkit::RunOptions;

RunOptions quiet() {
  RunOptions o;
  o.env["FOR_DISABLE_STACK_TRACE"] = "1";
  return o;
}

void start() {
  int32_t argc = 0;
  for_rtl_init_(&argc, nullptr);
}

for_lub unit_block(int64_t unit, const char *name, uint8_t kwbits) {
  for_lub l{};
  l.unit = unit;
  l.fd = -1;
  l.name = const_cast<char *>(name ? name : for__unknown_name);
  l.name_length = static_cast<int16_t>(name ? strlen(name) : 0);
  l.kwbits = kwbits;
  l.form = FOR_FORM_FORMATTED;
  return l;
}

TEST(Catalogue, AscendingNumbersAndTheTextsTheProgramMeets) {
  for (int i = 1; i < for__msg_catalog_size; ++i)
    EXPECT_LT(for__msg_catalog[i - 1].number, for__msg_catalog[i].number);
  struct {
    int32_t number, severity;
    const char *text;
  } rows[] = {
      {24, FOR_SEV_SEVERE, "end-of-file during read, unit %d, file %s"},
      {29, FOR_SEV_SEVERE, "file not found, unit %d, file %s"},
      {63, FOR_SEV_ERROR, "output conversion error, unit %d, file %s"},
      {64, FOR_SEV_SEVERE, "input conversion error, unit %d, file %s"},
      {69, FOR_SEV_ERROR, "process interrupted (SIGINT)"},
      {105, FOR_SEV_SEVERE, "there is no data-edit-descriptor to match a data-item in the I/O list"},
      {119, FOR_SEV_SEVERE, "The FORT_BUFFERING_THRESHOLD environment variable has erroneous syntax"},
      {174, FOR_SEV_SEVERE, "SIGSEGV, %s"},
      {513, FOR_SEV_INFO, "Unknown"},
      {514, FOR_SEV_INFO, ", line %s, position %d"},
      {521, FOR_SEV_PLAIN, "Stop - Program terminated."},
      {529, FOR_SEV_INFO, "Attempt to close unit %d, which was not open."},
      {603, FOR_SEV_SEVERE, "too many open files"},
  };
  for (const auto &r : rows) {
    const for_msg_row *row = for__msg_lookup(r.number);
    EXPECT_EQ(row->number, r.number);
    EXPECT_EQ(row->severity, r.severity) << r.number;
    EXPECT_STREQ(row->text, r.text);
  }
  EXPECT_EQ(for__msg_lookup(777777)->number, FOR_M_NOT_FOUND);
  EXPECT_EQ(for__msg_lookup(2)->number, FOR_M_NOT_FOUND);
}

TEST(Formatting, ArgumentsFillConversionsAndMissingOnesStand) {
  EXPECT_STREQ(for__get_msg(29, 2, 99, "/tmp/x.inp"), "file not found, unit 99, file /tmp/x.inp");
  EXPECT_STREQ(for__get_msg(29, 0), "file not found, unit %d, file %s");
  EXPECT_STREQ(for__get_msg(29, 1, 7), "file not found, unit 7, file %s");
  EXPECT_STREQ(for__get_msg(58, 2, 3, "abcdef"), "format syntax error at or near abc");
  EXPECT_STREQ(for__get_msg(12345, 2, 1, "x"), "Message not found");
}

TEST(Diagnostic, SevereEndsTheRunWithItsNumber) {
  auto o = run_child([] {
    start();
    for__issue_diagnostic(29, 2, 99, "/w/wing.inp");
    return 0;  // not reached
  }, quiet());
  EXPECT_EQ(o.status, 29);
  EXPECT_EQ(o.err, "forrtl: severe (29): file not found, unit 99, file /w/wing.inp\n");
}

TEST(Diagnostic, ErrorSeverityReturnsAndTheRunGoesOn) {
  auto o = run_child([] {
    start();
    const int32_t s = for__issue_diagnostic(63, 2, 98, "/w/job1TAVO.inp");
    return s == FOR_SEV_ERROR ? 5 : 6;
  }, quiet());
  EXPECT_EQ(o.status, 5);
  EXPECT_EQ(o.err, "forrtl: error (63): output conversion error, unit 98, file /w/job1TAVO.inp\n");
}

TEST(Diagnostic, HeadersBySeverity) {
  auto o = run_child([] {
    start();
    for__issue_diagnostic(400, 1, "plain");
    for__issue_diagnostic(401, 1, "informational");
    for__issue_diagnostic(402, 1, "warned");
    for__issue_diagnostic(12345, 0);
    return 0;
  }, quiet());
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err,
            "forrtl: plain\n"
            "forrtl: info (401): informational\n"
            "forrtl: warning (402): warned\n"
            "forrtl: Message not found\n");
}

TEST(Diagnostic, Fort0RedirectsStandardErrorOnceInAppendMode) {
  testkit::TempDir dir;
  const std::string log = dir / "stderr.txt";
  testkit::write_file(log, "before\n");
  RunOptions opts = quiet();
  opts.env["FORT0"] = log;
  auto o = run_child([] {
    start();
    for__issue_diagnostic(63, 2, 1, "a");
    for__issue_diagnostic(63, 2, 2, "b");
    return 0;
  }, opts);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(testkit::read_file(log),
            "before\nforrtl: error (63): output conversion error, unit 1, file a\n"
            "forrtl: error (63): output conversion error, unit 2, file b\n");
}

// The end-of-file diagnostic of unit 99, issued in a child.
const std::string kEndOfFile = "forrtl: severe (24): end-of-file during read, unit 99, file /w/x.inp\n";
testkit::Outcome end_of_file(const RunOptions &opts) {
  return run_child([] {
    start();
    for__issue_diagnostic(24, 2, 99, "/w/x.inp");
    return 0;
  }, opts);
}

TEST(Diagnostic, LogFileWithDisplayDisabled) {
  testkit::TempDir dir;
  const std::string log = dir / "diag.log";
  RunOptions opts = quiet();
  opts.env["FOR_DIAGNOSTIC_LOG_FILE"] = log;
  opts.env["FOR_DISABLE_DIAGNOSTIC_DISPLAY"] = "yes";
  auto o = end_of_file(opts);
  EXPECT_EQ(o.status, 24);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(testkit::read_file(log), kEndOfFile);
  // A log file that cannot be opened is ignored.
  opts.env["FOR_DIAGNOSTIC_LOG_FILE"] = dir / "missing/dir/log";
  opts.env["FOR_DISABLE_DIAGNOSTIC_DISPLAY"] = std::nullopt;
  o = end_of_file(opts);
  EXPECT_EQ(o.status, 24);
  EXPECT_EQ(o.err, kEndOfFile);
}

// A log file name is taken up to 260 characters; a longer one is ignored.
TEST(Diagnostic, LogFileNamesUpToTheLongestTaken) {
  testkit::TempDir dir;
  const std::string base = dir / "";
  for (size_t length : {259u, 260u, 261u}) {
    SCOPED_TRACE(length);
    const std::string log = base + std::string(length - base.size(), 'L');
    RunOptions opts = quiet();
    opts.env["FOR_DIAGNOSTIC_LOG_FILE"] = log;
    auto o = end_of_file(opts);
    EXPECT_EQ(o.status, 24);
    EXPECT_EQ(o.err, kEndOfFile);
    EXPECT_EQ(testkit::file_exists(log) ? testkit::read_file(log) : "", length <= 260 ? kEndOfFile : "");
  }
}

// Texts from an external message catalogue replace the built-in ones only
// when they take the same arguments; a catalogue text is outside data, so a
// conversion with any number of stars is compared safely and refused.
TEST(Diagnostic, ExternalCatalogueTextsWithTheSameArguments) {
  if (system("command -v gencat > /dev/null 2>&1") != 0) GTEST_SKIP() << "gencat is not installed";
  testkit::TempDir dir;
  const struct {
    const char *external;
    const char *shown;
  } rows[] = {
      {"erreur de conversion, unite %d, fichier %s", "forrtl: error (63): erreur de conversion, unite 1, fichier a\n"},
      {"unite %3d, fichier %-2s", "forrtl: error (63): unite   1, fichier a \n"},  // widths take no argument
      {"fichier %s, unite %d", "forrtl: error (63): output conversion error, unit 1, file a\n"},
      {"unite %d, fichier %s %s", "forrtl: error (63): output conversion error, unit 1, file a\n"},
      {"unite %*****************************************d, fichier %s",
       "forrtl: error (63): output conversion error, unit 1, file a\n"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.external);
    testkit::write_file(dir / "tavortl.msg", std::string("$set 1\n63 ") + row.external + "\n");
    ASSERT_EQ(system(("gencat " + (dir / "tavortl.cat") + " " + (dir / "tavortl.msg")).c_str()), 0);
    RunOptions opts = quiet();
    opts.env["NLSPATH"] = dir / "%N.cat";
    auto o = run_child([] {
      start();
      for__issue_diagnostic(63, 2, 1, "a");
      return 0;
    }, opts);
    EXPECT_EQ(o.err.substr(0, strlen(row.shown)), row.shown) << o.err;
  }
}

// The IOMSG variable gets the message cut or blank-filled to its own
// length, and nothing past it.
TEST(Diagnostic, MessageVariableFilledWithinItsLength) {
  const struct {
    const char *text;
    const char *variable;
  } rows[] = {{"short", "short               "}, {"", "                    "},
              {"exactly twenty chars", "exactly twenty chars"}, {"a message longer than the variable", "a message longer tha"}};
  for (const auto &row : rows) {
    std::string memory(40, '#');
    for__iomsg_buffer = memory.data() + 10;
    for__iomsg_length = 20;
    for__fill_iomsg(row.text);
    EXPECT_EQ(memory, std::string(10, '#') + row.variable + std::string(10, '#')) << row.text;
  }
  for__iomsg_buffer = nullptr;
  for__iomsg_length = 0;
}

TEST(Diagnostic, DumpCoreFileAbortsWhateverTheSeverity) {
  RunOptions opts = quiet();
  opts.env["FOR_DUMP_CORE_FILE"] = "y";
  auto o = run_child([] {
    start();
    for__issue_diagnostic(63, 2, 1, "f");
    return 0;
  }, opts);
  EXPECT_EQ(o.signal, SIGABRT);
  // The first line: an emulator reports the abort after it.
  EXPECT_EQ(o.err.substr(0, o.err.find('\n') + 1), "forrtl: error (63): output conversion error, unit 1, file f\n");
}

TEST(Diagnostic, SevereWhileTheExitHandlerRunsIsReportedWithoutEnding) {
  auto o = run_child([] {
    start();
    for__rtl.exit_in_progress = 1;
    for__issue_diagnostic(28, 2, 5, "/x");
    return 3;
  }, quiet());
  EXPECT_EQ(o.status, 3);
  EXPECT_EQ(o.err, "forrtl: severe (28): CLOSE error, unit 5, file /x\n");
}

TEST(IoReturn, ErrorReturnWantedGivesTheNumberSilently) {
  for_lub l = unit_block(99, "/w/x", FOR_KWB_ERR);
  EXPECT_EQ(for__io_return(0, 29, 0, &l), 29);
  EXPECT_EQ(for__io_return(0, 23, 264, &l), 264);  // the secondary error
  EXPECT_EQ(for__io_return(0, 0, 0, &l), 0);
}

TEST(IoReturn, EndOfFileAndEndOfRecordReturns) {
  for_lub l = unit_block(99, "/w/x", FOR_KWB_END | FOR_KWB_EOR);
  EXPECT_EQ(for__io_return(0, 24, 0, &l), -1);
  EXPECT_TRUE(l.eof);
  EXPECT_EQ(for__io_return(0, -1, 0, &l), -1);
  EXPECT_EQ(for__io_return(0, 268, 0, &l), -2);
  EXPECT_EQ(for__io_return(0, -2, 0, &l), -2);
}

TEST(IoReturn, IgnoredOutputConversion) {
  for_lub l = unit_block(98, "/w/y", 0);
  l.ignore_output_conversion = true;
  EXPECT_EQ(for__io_return(0, 63, 0, &l), 63);
}

TEST(IoReturn, EndOfFileWithOnlyAnErrorReturnIsFatal) {
  auto o = run_child([] {
    start();
    for_lub l = unit_block(99, "/w/x.inp", FOR_KWB_ERR);
    for__io_return(0, 24, 0, &l);
    return 0;
  }, quiet());
  EXPECT_EQ(o.status, 24);
  EXPECT_EQ(o.err, "forrtl: severe (24): end-of-file during read, unit 99, file /w/x.inp\n");
}

TEST(IoReturn, SavedSystemErrorPrintsAPerrorLineFirst) {
  auto o = run_child([] {
    start();
    for_lub l = unit_block(99, "/w/x.inp", 0);
    l.saved_errno = ENOENT;
    for__io_return(0, 29, 0, &l);
    return 0;
  }, quiet());
  EXPECT_EQ(o.status, 29);
  EXPECT_EQ(o.err,
            "forrtl: No such file or directory\n"
            "forrtl: severe (29): file not found, unit 99, file /w/x.inp\n");
}

TEST(IoReturn, AUnitWithoutAFileShowsUnknownInQuotes) {
  auto o = run_child([] {
    start();
    for_lub l = unit_block(7, nullptr, 0);
    for__io_return(0, 63, 0, &l);
    return 0;
  }, quiet());
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "forrtl: error (63): output conversion error, unit 7, file \"Unknown\"\n");
}

}  // namespace
