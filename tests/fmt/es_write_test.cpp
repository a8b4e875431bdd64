// ES editing through formatted WRITE statements: the descriptor forms the
// run-time compiler yields (ESw.d, ESw.dEe, ES0.d, ES alone), the defaults
// of each real kind, the modes that reach the conversion (SP, DC, RU), and
// a field too narrow, which is asterisks and error 63.
#include <cstring>
#include <string>

#include "tests/fmt/compiled_format.h"
#include "tests/rtl/units_kit.h"

namespace {

using namespace units;
using testkit::read_file;

class ESWrite : public UnitsTest {};

TEST_F(ESWrite, DescriptorFormsAndDefaults) {
  const std::string f = path("es.txt");
  ASSERT_EQ(open_file(40, f, "unknown"), 0);
  compiled plain("(ES15.8)"), exponent("(ES15.8E3,1X,ES10.2E1)"), three("(3ES12.4)"), bare("(ES,'|',ES)"),
      minimal("(A,',',ES0.8)"), wide("(ES25.16)");
  EXPECT_EQ(forio::write_fmt(40, kProgram, plain.pack, {forio::value(-0.30479997f)}), 0);
  EXPECT_EQ(forio::write_fmt(40, kProgram, exponent.pack, {forio::value(0.1f), forio::value(1e-3f)}), 0);
  EXPECT_EQ(forio::write_fmt(40, kProgram, three.pack,
                             {forio::value(1.0f), forio::value(-9.99996f), forio::value(0.0f)}),
            0);
  EXPECT_EQ(forio::write_fmt(40, kProgram, bare.pack, {forio::value(0.1f), forio::value(-0.1)}), 0);
  EXPECT_EQ(forio::write_fmt(40, kProgram, minimal.pack, {forio::chars("U"), forio::value(-0.30479997f)}), 0);
  EXPECT_EQ(forio::write_fmt(40, kProgram, wide.pack, {forio::value(1e-300)}), 0);
  ASSERT_EQ(close_unit(40), 0);
  EXPECT_EQ(read_file(f),
            "-3.04799974E-01\n"
            "1.00000001E-001    1.00E-3\n"
            "  1.0000E+00 -1.0000E+01  0.0000E+00\n"
            "  1.0000000E-01| -1.0000000000000001E-001\n"
            "U,-3.04799974E-01\n"
            "   1.0000000000000000-300\n");
}

TEST_F(ESWrite, ModesAndFieldsTooNarrow) {
  const std::string f = path("modes.txt");
  ASSERT_EQ(open_file(41, f, "unknown"), 0);
  compiled modes("(SP,ES12.4,DC,ES12.4,RU,ES8.1)"), narrow("(ES8.4,ES12.4)");
  EXPECT_EQ(forio::write_fmt(41, kProgram, modes.pack,
                             {forio::value(0.3048f), forio::value(-1234.5678f), forio::value(0.125f)}),
            0);
  EXPECT_EQ(forio::write_fmt(41, kErr, narrow.pack, {forio::value(-1.5f), forio::value(2.5f)}), 63);
  ASSERT_EQ(close_unit(41), 0);
  EXPECT_EQ(read_file(f),
            " +3.0480E-01 -1,2346E+03+1,3E-01\n"
            "********  2.5000E+00\n");
}

}  // namespace
