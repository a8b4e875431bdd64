// The program's format packs.  Items are 4-byte aligned and little-endian:
// compact forms are 4 bytes (code, then class-dependent operand bytes); full
// forms are 12 bytes (code, flags, e, d, r as 32 bits, w as 32 bits); the
// literal is its 4-byte header (28, 0, length as 16 bits) and the text
// zero-padded to a multiple of 4.
#include "fmt/for_fmt.h"

// Item headers.
#define START 54, 0, 0, 0
#define END 55, 0, 0, 0
#define A0(r) 72, 0, (r) & 0xFF, (r) >> 8
#define U32(v) (v) & 0xFF, ((v) >> 8) & 0xFF, ((v) >> 16) & 0xFF, (v) >> 24
#define FULL(code, r, w, d) code, 0, 0, d, U32(r), U32(w)

// (A)
extern "C" alignas(4) const uint8_t for_pack_A[] = {START, A0(1), END};

// (3F10.4)
extern "C" alignas(4) const uint8_t for_pack_3F10_4[] = {START, FULL(33, 3, 10, 4), END};

// (3F10.4,3X,3F10.4); the 3X is stored as TR3, which moves the same way.
extern "C" alignas(4) const uint8_t for_pack_3F10_4_3X[] = {
    START, FULL(33, 3, 10, 4), FULL(14, 1, 3, 0), FULL(33, 3, 10, 4), END};

// (I1), (I2), (I3)
extern "C" alignas(4) const uint8_t for_pack_I1[] = {START, FULL(36, 1, 1, 0), END};
extern "C" alignas(4) const uint8_t for_pack_I2[] = {START, FULL(36, 1, 2, 0), END};
extern "C" alignas(4) const uint8_t for_pack_I3[] = {START, FULL(36, 1, 3, 0), END};

// (F12.4)
extern "C" alignas(4) const uint8_t for_pack_F12_4[] = {START, FULL(33, 1, 12, 4), END};

// (' RCfilename = ',A): a 14-byte literal padded to 16.
extern "C" alignas(4) const uint8_t for_pack_rcfilename[] = {
    START, 28, 0, 14, 0,
    ' ', 'R', 'C', 'f', 'i', 'l', 'e', 'n', 'a', 'm', 'e', ' ', '=', ' ', 0, 0,
    A0(1), END};

// (I6)
extern "C" alignas(4) const uint8_t for_pack_I6[] = {START, FULL(36, 1, 6, 0), END};
