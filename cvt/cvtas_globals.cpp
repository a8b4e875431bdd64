/* Constant tables of the text-to-real conversions.
 *
 * cvtas_pten_t and cvtas_tiny_pten_t were made by rounding the exact rational
 * 10^k to the nearest binary64 (ties to even) in big-integer arithmetic and
 * printing the result as a hexadecimal literal, so the compiler's decimal
 * rounding plays no part.  The map lists, per block of eight decimal
 * exponents, the tiny power to combine with an entry of cvtas_pten_t; every
 * power it selects for 47 <= -E <= 319 leaves E + t within -47..47. */
#include "cvt/cvtas_globals.h"

#include <bit>

extern "C" {

const double cvtas_pten_t[CVTAS_PTEN_COUNT] = {
    0x1.d3ae36d13bbcep-157, // 1e-47
    0x1.244ce242c5561p-153, // 1e-46
    0x1.6d601ad376ab9p-150, // 1e-45
    0x1.c8b8218854567p-147, // 1e-44
    0x1.1d7314f534b61p-143, // 1e-43
    0x1.64cfda3281e39p-140, // 1e-42
    0x1.be03d0bf225c7p-137, // 1e-41
    0x1.16c262777579cp-133, // 1e-40
    0x1.5c72fb1552d83p-130, // 1e-39
    0x1.b38fb9daa78e4p-127, // 1e-38
    0x1.1039d428a8b8fp-123, // 1e-37
    0x1.54484932d2e72p-120, // 1e-36
    0x1.a95a5b7f87a0fp-117, // 1e-35
    0x1.09d8792fb4c49p-113, // 1e-34
    0x1.4c4e977ba1f5cp-110, // 1e-33
    0x1.9f623d5a8a733p-107, // 1e-32
    0x1.039d665896880p-103, // 1e-31
    0x1.4484bfeebc2a0p-100, // 1e-30
    0x1.95a5efea6b347p-97, // 1e-29
    0x1.fb0f6be506019p-94, // 1e-28
    0x1.3ce9a36f23c10p-90, // 1e-27
    0x1.8c240c4aecb14p-87, // 1e-26
    0x1.ef2d0f5da7dd9p-84, // 1e-25
    0x1.357c299a88ea7p-80, // 1e-24
    0x1.82db34012b251p-77, // 1e-23
    0x1.e392010175ee6p-74, // 1e-22
    0x1.2e3b40a0e9b4fp-70, // 1e-21
    0x1.79ca10c924223p-67, // 1e-20
    0x1.d83c94fb6d2acp-64, // 1e-19
    0x1.2725dd1d243acp-60, // 1e-18
    0x1.70ef54646d497p-57, // 1e-17
    0x1.cd2b297d889bcp-54, // 1e-16
    0x1.203af9ee75616p-50, // 1e-15
    0x1.6849b86a12b9bp-47, // 1e-14
    0x1.c25c268497682p-44, // 1e-13
    0x1.19799812dea11p-40, // 1e-12
    0x1.5fd7fe1796495p-37, // 1e-11
    0x1.b7cdfd9d7bdbbp-34, // 1e-10
    0x1.12e0be826d695p-30, // 1e-9
    0x1.5798ee2308c3ap-27, // 1e-8
    0x1.ad7f29abcaf48p-24, // 1e-7
    0x1.0c6f7a0b5ed8dp-20, // 1e-6
    0x1.4f8b588e368f1p-17, // 1e-5
    0x1.a36e2eb1c432dp-14, // 1e-4
    0x1.0624dd2f1a9fcp-10, // 1e-3
    0x1.47ae147ae147bp-7, // 1e-2
    0x1.999999999999ap-4, // 1e-1
    0x1.0000000000000p+0, // 1e0
    0x1.4000000000000p+3, // 1e1
    0x1.9000000000000p+6, // 1e2
    0x1.f400000000000p+9, // 1e3
    0x1.3880000000000p+13, // 1e4
    0x1.86a0000000000p+16, // 1e5
    0x1.e848000000000p+19, // 1e6
    0x1.312d000000000p+23, // 1e7
    0x1.7d78400000000p+26, // 1e8
    0x1.dcd6500000000p+29, // 1e9
    0x1.2a05f20000000p+33, // 1e10
    0x1.74876e8000000p+36, // 1e11
    0x1.d1a94a2000000p+39, // 1e12
    0x1.2309ce5400000p+43, // 1e13
    0x1.6bcc41e900000p+46, // 1e14
    0x1.c6bf526340000p+49, // 1e15
    0x1.1c37937e08000p+53, // 1e16
    0x1.6345785d8a000p+56, // 1e17
    0x1.bc16d674ec800p+59, // 1e18
    0x1.158e460913d00p+63, // 1e19
    0x1.5af1d78b58c40p+66, // 1e20
    0x1.b1ae4d6e2ef50p+69, // 1e21
    0x1.0f0cf064dd592p+73, // 1e22
    0x1.52d02c7e14af6p+76, // 1e23
    0x1.a784379d99db4p+79, // 1e24
    0x1.08b2a2c280291p+83, // 1e25
    0x1.4adf4b7320335p+86, // 1e26
    0x1.9d971e4fe8402p+89, // 1e27
    0x1.027e72f1f1281p+93, // 1e28
    0x1.431e0fae6d721p+96, // 1e29
    0x1.93e5939a08ceap+99, // 1e30
    0x1.f8def8808b024p+102, // 1e31
    0x1.3b8b5b5056e17p+106, // 1e32
    0x1.8a6e32246c99cp+109, // 1e33
    0x1.ed09bead87c03p+112, // 1e34
    0x1.3426172c74d82p+116, // 1e35
    0x1.812f9cf7920e3p+119, // 1e36
    0x1.e17b84357691bp+122, // 1e37
    0x1.2ced32a16a1b1p+126, // 1e38
    0x1.78287f49c4a1dp+129, // 1e39
    0x1.d6329f1c35ca5p+132, // 1e40
    0x1.25dfa371a19e7p+136, // 1e41
    0x1.6f578c4e0a061p+139, // 1e42
    0x1.cb2d6f618c879p+142, // 1e43
    0x1.1efc659cf7d4cp+146, // 1e44
    0x1.66bb7f0435c9ep+149, // 1e45
    0x1.c06a5ec5433c6p+152, // 1e46
    0x1.18427b3b4a05cp+156, // 1e47
    0.0,
};

const double cvtas_tiny_pten_t[CVTAS_TINY_PTEN_COUNT] = {
    0x1.e392010175ee6p-74, // 1e-22
    0x1.6d601ad376ab9p-150, // 1e-45
    0x1.af5bf109550f2p-220, // 1e-66
    0x1.8ddbcc7f40ba6p-283, // 1e-85
    0x1.77c44ddf6c516p-356, // 1e-107
    0x1.1544581b7dec2p-422, // 1e-127
    0x1.a2fe76a3f9475p-499, // 1e-150
    0x1.3c9539d82aec8p-575, // 1e-173
    0x1.bd8d03f3e9864p-622, // 1e-187
    0x1.9af2b7d0e0a2dp-685, // 1e-206
    0x1.212dd4de70913p-731, // 1e-220
    0x1.b4feb7eb212cdp-808, // 1e-243
    0x1.4a2f1ffecd15cp-884, // 1e-266
    0x1.f2f5c7a1a488ep-961, // 1e-289
    0x1.c16c5c5253575p-1014, // 1e-305
    0x1.6789e3750f791p-1017, // 1e-306
    0x1.1fa182c40c60dp-1020, // 1e-307
};

#define CVTAS_TINY(t, index) (uint16_t)((t) << CVTAS_TINY_MAP_SHIFT | (index))
const uint16_t cvtas_tiny_pten_t_map[CVTAS_TINY_MAP_COUNT] = {
    CVTAS_TINY(22, 0),   CVTAS_TINY(22, 0),   CVTAS_TINY(22, 0),   /* g 0-2   */
    CVTAS_TINY(45, 1),   CVTAS_TINY(45, 1),   CVTAS_TINY(45, 1),   /* g 3-5   */
    CVTAS_TINY(66, 2),   CVTAS_TINY(66, 2),   CVTAS_TINY(66, 2),   /* g 6-8   */
    CVTAS_TINY(85, 3),   CVTAS_TINY(85, 3),                        /* g 9-10  */
    CVTAS_TINY(107, 4),  CVTAS_TINY(107, 4),  CVTAS_TINY(107, 4),  /* g 11-13 */
    CVTAS_TINY(127, 5),  CVTAS_TINY(127, 5),                       /* g 14-15 */
    CVTAS_TINY(150, 6),  CVTAS_TINY(150, 6),  CVTAS_TINY(150, 6),  /* g 16-18 */
    CVTAS_TINY(173, 7),  CVTAS_TINY(173, 7),  CVTAS_TINY(173, 7),  /* g 19-21 */
    CVTAS_TINY(187, 8),  CVTAS_TINY(187, 8),                       /* g 22-23 */
    CVTAS_TINY(206, 9),  CVTAS_TINY(206, 9),                       /* g 24-25 */
    CVTAS_TINY(220, 10), CVTAS_TINY(220, 10),                      /* g 26-27 */
    CVTAS_TINY(243, 11), CVTAS_TINY(243, 11), CVTAS_TINY(243, 11), /* g 28-30 */
    CVTAS_TINY(266, 12), CVTAS_TINY(266, 12), CVTAS_TINY(266, 12), /* g 31-33 */
    CVTAS_TINY(289, 13), CVTAS_TINY(289, 13), CVTAS_TINY(289, 13), /* g 34-36 */
    CVTAS_TINY(305, 14), CVTAS_TINY(305, 14),                      /* g 37-38 */
    CVTAS_TINY(306, 15),                                           /* g 39    */
    CVTAS_TINY(307, 16),                                           /* g 40    */
};
#undef CVTAS_TINY

const struct cvtas_globals cvtas_globals_t = {
    std::bit_cast<double>(CVTAS_OVERFLOW_S_BITS),
    std::bit_cast<double>(CVTAS_NORMAL_S_BITS),
    std::bit_cast<double>(CVTAS_UNDERFLOW_S_BITS),
    CVTAS_NAN_S_BITS,
    CVTAS_NAN_S_PLUS_BITS,
    CVTAS_NAN_T_BITS,
    CVTAS_NAN_T_PLUS_BITS,
};

}
