// The public decimal-to-binary vectors (tests/cvt/data): every string the
// scanner accepts must give what the binary64 evaluation gives; the lines
// where that differs from the correctly rounded binary32 are counted by
// cause and printed.
#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "cvt/cvt.h"
#include "tests/cvt/atof_reference.h"

namespace {

constexpr uint32_t kEntry = 0x0400A0E0u | CVTAS_ROUND_VALID;

struct Vector {
    uint32_t nearest;
    std::string text;
};

std::vector<Vector> load()
{
    std::ifstream in(TAVO_SOURCE_DIR "/tests/cvt/data/decimal_vectors.txt");
    std::vector<Vector> out;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        out.push_back({(uint32_t)std::stoul(line.substr(0, 8), nullptr, 16), line.substr(9)});
    }
    return out;
}

bool is_inf_or_zero(uint32_t bits) { return (bits & 0x7FFFFFFFu) == 0 || (bits & 0x7FFFFFFFu) == 0x7F800000u; }

// Why the evaluation gives `ours` where correct rounding gives `nearest`.
std::string cause(const Vector &v, const atof_ref::Parsed &p, uint32_t ours)
{
    const size_t first = p.digits.find_first_not_of('0');
    if (first != std::string::npos && p.digits.size() - first > 38) {
        // Correct rounding of the decimal cut after 38 significant digits.
        std::string cut;
        size_t sig = 0;
        for (char c : v.text) {
            const bool digit = c >= '0' && c <= '9';
            if (digit && (sig > 0 || c != '0'))
                sig++;
            if (c == 'e' || c == 'E')
                sig = 0, cut += c;
            else
                cut += digit && sig > 38 ? '0' : c;
        }
        if (std::bit_cast<uint32_t>(strtof(cut.c_str(), nullptr)) != v.nearest)
            return "digits past the 38th are dropped";
    }
    if (is_inf_or_zero(ours) != is_inf_or_zero(v.nearest))
        return "range decision";
    auto c = atof_ref::core(p, 0, 0);
    if (c.kind == atof_ref::Core::Value && atof_ref::soft_is_float_tie(c.m))
        return "M is exactly a binary32 midpoint (ties to even)";
    return "the rounding error of M decides a near-midpoint case";
}

TEST(DecimalVectors, AgreeWithTheEvaluation)
{
    const auto vectors = load();
    ASSERT_GT(vectors.size(), 20000u);
    size_t skipped = 0, checked = 0, differ = 0, failures = 0;
    std::map<std::string, size_t> causes;
    for (const auto &v : vectors) {
        std::vector<char> field(v.text.begin(), v.text.end());
        int32_t status = -1;
        const uint32_t ours = std::bit_cast<uint32_t>(
            cvtas_a_to_s(field.data(), (int32_t)field.size(), kEntry, 0, 0, nullptr, &status));
        if (status == CVTAS_INVALID) {
            skipped++; // syntax outside the scanner's (hexadecimal forms, separators)
            continue;
        }
        auto p = atof_ref::parse(v.text);
        ASSERT_TRUE(p.has_value()) << v.text;
        const auto want = atof_ref::evaluate(*p);
        checked++;
        if ((ours != want.bits || status != want.status) && failures++ < 20)
            ADD_FAILURE() << v.text << " gives " << std::hex << ours << " status " << status << ", expected "
                          << want.bits << " status " << want.status;
        if (ours != v.nearest) {
            const std::string why = cause(v, *p, ours);
            if (causes[why]++ < 3)
                printf("  %08X instead of %08X (%s): %.80s\n", ours, v.nearest, why.c_str(), v.text.c_str());
            differ++;
        }
    }
    printf("%zu vectors: %zu skipped (syntax), %zu checked, %zu differ from the correctly rounded binary32\n",
           vectors.size(), skipped, checked, differ);
    for (const auto &[why, count] : causes)
        printf("  %6zu  %s\n", count, why.c_str());
    EXPECT_EQ(failures, 0u);
}

} // namespace
