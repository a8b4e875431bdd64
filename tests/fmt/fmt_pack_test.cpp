// The program's format packs byte for byte, and the category and check
// tables recomputed from the descriptor list they encode.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "fmt/for_fmt.h"

namespace {

using bytes = std::vector<uint8_t>;

bytes take(const uint8_t *pack, size_t n) { return bytes(pack, pack + n); }

TEST(FormatPacks, ProgramPacksByteForByte) {
  const bytes start = {54, 0, 0, 0}, end = {55, 0, 0, 0};
  auto cat = [](std::initializer_list<bytes> parts) {
    bytes out;
    for (const bytes &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  };
  const bytes a1 = {72, 0, 1, 0};
  const bytes f10_4 = {33, 0, 0, 4, 3, 0, 0, 0, 10, 0, 0, 0};
  const bytes tr3 = {14, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0};
  auto iw = [](uint8_t w) { return bytes{36, 0, 0, 0, 1, 0, 0, 0, w, 0, 0, 0}; };
  const bytes f12_4 = {33, 0, 0, 4, 1, 0, 0, 0, 12, 0, 0, 0};
  const bytes literal = {28, 0, 14, 0, ' ', 'R', 'C', 'f', 'i', 'l', 'e', 'n',
                         'a', 'm', 'e', ' ', '=', ' ', 0, 0};

  struct row {
    const uint8_t *pack;
    bytes expected;
  } rows[] = {
      {for_pack_A, cat({start, a1, end})},
      {for_pack_3F10_4, cat({start, f10_4, end})},
      {for_pack_3F10_4_3X, cat({start, f10_4, tr3, f10_4, end})},
      {for_pack_I1, cat({start, iw(1), end})},
      {for_pack_I2, cat({start, iw(2), end})},
      {for_pack_I3, cat({start, iw(3), end})},
      {for_pack_F12_4, cat({start, f12_4, end})},
      {for_pack_rcfilename, cat({start, literal, a1, end})},
      {for_pack_I6, cat({start, iw(6), end})},
  };
  for (const row &r : rows) {
    EXPECT_EQ(take(r.pack, r.expected.size()), r.expected);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(r.pack) % 4, 0u);
  }
}

// The descriptor list: descriptor, operands it uses (0 none, 1 r, 2 r w,
// 3 r w d, 4 r w d e; 'w' for w alone), its compact code and that code's
// class (0: no compact form).
struct desc_row {
  int desc;
  char operands;
  int compact;
  int compact_class;
};
const desc_row kDescriptors[] = {
    {0, '0', 53, 6},  {1, '0', 54, 6},  {2, '0', 55, 6},   {3, '1', 56, 7},   {4, '0', 57, 6},
    {5, '0', 58, 6},  {6, '0', 59, 6},  {7, '0', 60, 6},   {8, '0', 61, 6},   {9, '0', 62, 6},
    {10, 'w', 63, 8}, {11, '1', 64, 7}, {12, 'w', 65, 8},  {13, 'w', 66, 8},  {14, 'w', 67, 8},
    {15, '0', 68, 6}, {16, '0', 69, 6}, {17, '0', 70, 6},  {18, '1', 71, 7},  {19, '1', 72, 7},
    {20, '1', 73, 7}, {21, '1', 74, 7}, {22, '1', 75, 7},  {23, '1', 76, 7},  {24, '1', 77, 7},
    {25, '1', 78, 7}, {26, '1', 79, 7}, {27, '1', 80, 7},  {29, '2', 81, 9},  {30, '3', 82, 10},
    {31, '3', 83, 10}, {32, '4', 0, 0}, {33, '3', 84, 10}, {34, '3', 85, 10}, {35, '4', 0, 0},
    {36, '2', 86, 9}, {37, '3', 87, 10}, {38, '2', 88, 9}, {39, '2', 89, 9},  {40, '3', 90, 10},
    {41, '2', 91, 9}, {42, '3', 92, 10}, {43, '1', 93, 7}, {44, '2', 94, 9},  {45, '3', 95, 10},
    {46, '1', 96, 7}, {47, '3', 97, 10}, {48, '4', 0, 0},  {49, '1', 98, 7},  {50, '3', 99, 10},
    {51, '4', 0, 0},  {108, '0', 100, 6}, {109, '0', 101, 6}, {110, '0', 102, 6},
    {111, '0', 103, 6}, {112, '0', 104, 6}, {113, '0', 105, 6}, {114, '0', 106, 6},
    {115, '0', 107, 6},
};

int full_class(char operands) { return operands == 'w' ? 3 : operands - '0' + 1; }

TEST(FormatPacks, CategoryTableMatchesDescriptorList) {
  fmt_cat_entry expected[128] = {};
  for (const desc_row &d : kDescriptors) {
    expected[d.desc] = {(uint8_t)full_class(d.operands), (uint8_t)d.desc};
    if (d.compact) expected[d.compact] = {(uint8_t)d.compact_class, (uint8_t)d.desc};
  }
  expected[28] = {8, 28};
  expected[116] = {11, 116};
  expected[119] = {12, 116};
  for (int code = 0; code < 128; ++code) {
    EXPECT_EQ(fmt_cat[code].layout, expected[code].layout) << "code " << code;
    EXPECT_EQ(fmt_cat[code].desc, expected[code].desc) << "code " << code;
  }
  for (int code : {52, 117, 118, 120, 127}) EXPECT_EQ(fmt_cat[code].layout, 0) << code;
  // Full forms are their own descriptor; every compact code lies in 53-107.
  for (int code = 0; code < 52; ++code) EXPECT_EQ(fmt_cat[code].desc, code);
  for (int code = 53; code < 108; ++code) EXPECT_GE(fmt_cat[code].layout, 6) << code;
}

TEST(FormatPacks, CheckTableCountsAndPromotions) {
  // Every full form needs the operands of its class, r counting first.
  for (int code = 1; code < 128; ++code) {
    const bool full = (code < 52 && code != 28) || (code >= 108 && code <= 115);
    if (full)
      EXPECT_EQ(fmt_check[code].count, fmt_cat[code].layout - 1) << code;
    else
      EXPECT_EQ(fmt_check[code].count, FMT_CHECK_NONE) << code;
  }
  EXPECT_EQ(fmt_check[0].count, FMT_CHECK_NONE);
  // Promotion chains of each letter.
  const std::vector<std::vector<int>> chains = {
      {19, 29}, {20, 30}, {21, 31, 32}, {22, 33}, {23, 34, 35}, {24, 36, 37},
      {25, 38}, {26, 39, 40}, {27, 41, 42}, {43, 44, 45}, {46, 47, 48}, {49, 50, 51}};
  int promoting = 0;
  for (const auto &chain : chains) {
    for (size_t k = 0; k + 1 < chain.size(); ++k) {
      EXPECT_EQ(fmt_check[chain[k]].promote, chain[k + 1]) << chain[k];
      EXPECT_LT(fmt_check[chain[k]].count, fmt_check[chain[k + 1]].count);
      ++promoting;
    }
    EXPECT_EQ(fmt_check[chain.back()].promote, 0) << chain.back();
  }
  int total = 0;
  for (int code = 0; code < 128; ++code) total += fmt_check[code].promote != 0;
  EXPECT_EQ(total, promoting);
}

}  // namespace
