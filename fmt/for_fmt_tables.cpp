// The category table of format item codes and the run-time compiler's
// operand-count table.
#include "fmt/for_fmt.h"

// fmt_cat: {layout class, descriptor} per item code.
//
// How the rows were made:
// - Full forms (codes 0-51, 108-115): the descriptor is the code; the class
//   counts the operands the descriptor uses, r first: 1 none, 2 r, 3 r and w,
//   4 r, w and d, 5 r, w, d and e.  Descriptors whose only operand is w (P, T,
//   TL, TR) are class 3, the smallest class that carries w.
// - The literal (28) exists only in its emitted form: header of class 8 (w in
//   bytes 2-3 = text length), text after it.
// - Compact forms (codes 53-107): code 53 + the rank of the descriptor in the
//   list 0-18, 19-27, 29-31, 33-34, 36-45, 46, 47, 49, 50, 108-115 (those with
//   a compact form); class 6 without operands, 7 with r alone, 8 with w alone,
//   9 with r and w, 10 with r, w and d.
// - Derived-type items: code 116 class 11, code 119 class 12, descriptor 116.
// - Codes 52, 117, 118 and 120-127: no class (0).
extern "C" const fmt_cat_entry fmt_cat[128] = {
    {1, 0},   {1, 1},   {1, 2},   {2, 3},   {1, 4},   {1, 5},   {1, 6},   {1, 7},     //   0-7
    {1, 8},   {1, 9},   {3, 10},  {2, 11},  {3, 12},  {3, 13},  {3, 14},  {1, 15},    //   8-15
    {1, 16},  {1, 17},  {2, 18},  {2, 19},  {2, 20},  {2, 21},  {2, 22},  {2, 23},    //  16-23
    {2, 24},  {2, 25},  {2, 26},  {2, 27},  {8, 28},  {3, 29},  {4, 30},  {4, 31},    //  24-31
    {5, 32},  {4, 33},  {4, 34},  {5, 35},  {3, 36},  {4, 37},  {3, 38},  {3, 39},    //  32-39
    {4, 40},  {3, 41},  {4, 42},  {2, 43},  {3, 44},  {4, 45},  {2, 46},  {4, 47},    //  40-47
    {5, 48},  {2, 49},  {4, 50},  {5, 51},  {0, 0},   {6, 0},   {6, 1},   {6, 2},     //  48-55
    {7, 3},   {6, 4},   {6, 5},   {6, 6},   {6, 7},   {6, 8},   {6, 9},   {8, 10},    //  56-63
    {7, 11},  {8, 12},  {8, 13},  {8, 14},  {6, 15},  {6, 16},  {6, 17},  {7, 18},    //  64-71
    {7, 19},  {7, 20},  {7, 21},  {7, 22},  {7, 23},  {7, 24},  {7, 25},  {7, 26},    //  72-79
    {7, 27},  {9, 29},  {10, 30}, {10, 31}, {10, 33}, {10, 34}, {9, 36},  {10, 37},   //  80-87
    {9, 38},  {9, 39},  {10, 40}, {9, 41},  {10, 42}, {7, 43},  {9, 44},  {10, 45},   //  88-95
    {7, 46},  {10, 47}, {7, 49},  {10, 50}, {6, 108}, {6, 109}, {6, 110}, {6, 111},   //  96-103
    {6, 112}, {6, 113}, {6, 114}, {6, 115}, {1, 108}, {1, 109}, {1, 110}, {1, 111},   // 104-111
    {1, 112}, {1, 113}, {1, 114}, {1, 115}, {11, 116}, {0, 0},  {0, 0},   {12, 116},  // 112-119
    {0, 0},   {0, 0},   {0, 0},   {0, 0},   {0, 0},   {0, 0},   {0, 0},   {0, 0},     // 120-127
};

// fmt_check: {operand count required, code to use when more were given}.
//
// How the rows were made: for every full form the count is its class minus 1
// (the operands of the class, the repeat count counting first); the promotion
// is the same letter's code with the next larger class: A 19->29, D 20->30,
// E 21->31->32, F 22->33, G 23->34->35, I 24->36->37, L 25->38, O 26->39->40,
// Z 27->41->42, B 43->44->45, EN 46->47->48, ES 49->50->51.  Codes the
// compiler never starts from (invalid, the literal, compact forms, derived-type items
// and codes without a class) have FMT_CHECK_NONE.
#define N FMT_CHECK_NONE
extern "C" const fmt_check_entry fmt_check[128] = {
    {N, 0},  {0, 0},  {0, 0},  {1, 0},  {0, 0},  {0, 0},  {0, 0},  {0, 0},    //   0-7
    {0, 0},  {0, 0},  {2, 0},  {1, 0},  {2, 0},  {2, 0},  {2, 0},  {0, 0},    //   8-15
    {0, 0},  {0, 0},  {1, 0},  {1, 29}, {1, 30}, {1, 31}, {1, 33}, {1, 34},   //  16-23
    {1, 36}, {1, 38}, {1, 39}, {1, 41}, {N, 0},  {2, 0},  {3, 0},  {3, 32},   //  24-31
    {4, 0},  {3, 0},  {3, 35}, {4, 0},  {2, 37}, {3, 0},  {2, 0},  {2, 40},   //  32-39
    {3, 0},  {2, 42}, {3, 0},  {1, 44}, {2, 45}, {3, 0},  {1, 47}, {3, 48},   //  40-47
    {4, 0},  {1, 50}, {3, 51}, {4, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},    //  48-55
    {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},    //  56-63
    {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},    //  64-71
    {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},    //  72-79
    {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},    //  80-87
    {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},    //  88-95
    {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},    //  96-103
    {N, 0},  {N, 0},  {N, 0},  {N, 0},  {0, 0},  {0, 0},  {0, 0},  {0, 0},    // 104-111
    {0, 0},  {0, 0},  {0, 0},  {0, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},    // 112-119
    {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},  {N, 0},    // 120-127
};
#undef N
