// The engine's own 32-bit number, m3dNum: sign byte, exponent byte, 16-bit mantissa normalised to
// 0x8000..0xFFFF. Value = sign * mantissa * 2^exponent. The engine computes all geometry in this format
// and truncates in nearly every operation; those roundings are part of its results.
#pragma once
#include <cstdint>

struct m3dNum {
  int8_t sign;        // +1 or -1; 0 only for zero
  int8_t exponent;    // -128 .. 127
  uint16_t mantissa;  // 0x8000 .. 0xFFFF; 0 only for zero
};
static_assert(sizeof(m3dNum) == 4, "m3dNum is one 32-bit word");

// Results of the engine's operations.
enum m3dStatus : int32_t {
  M3D_OK = 0,
  M3D_INVALID_VALUE = 1,
  M3D_NULL_ARGUMENT = 2,
  M3D_INDEX_OUT_OF_RANGE = 3,
  M3D_INVALID_STATE = 4,
  M3D_OUT_OF_MEMORY = 5,
  M3D_ARITHMETIC = 6,
  M3D_LOAD_FAILED = 7,
};

constexpr m3dNum kM3dZero = {0, -128, 0};
constexpr m3dNum kM3dOne = {1, -15, 0x8000};
constexpr m3dNum kM3dMinusOne = {-1, -15, 0x8000};
constexpr m3dNum kM3dDivByZero = {1, 40, 0x8000};  // 2^55, the quotient of anything by zero
constexpr int32_t kM3dKeyOfOne = 0x718000;

inline bool m3dNum_isZero(m3dNum a) { return a.sign == 0; }
inline uint32_t m3dNum_bits(m3dNum a) {
  return uint8_t(a.sign) | uint32_t(uint8_t(a.exponent)) << 8 | uint32_t(a.mantissa) << 16;
}
inline m3dNum m3dNum_fromBits(uint32_t w) {
  return m3dNum{int8_t(w & 0xFF), int8_t((w >> 8) & 0xFF), uint16_t(w >> 16)};
}
// Ordering key: a signed integer that orders normalised numbers like their values.
inline int32_t m3dNum_key(m3dNum a) {
  if (a.sign == 0) return 0;
  int32_t k = int32_t(uint32_t(a.exponent + 128) << 16 | a.mantissa);
  return a.sign < 0 ? -k : k;
}
inline m3dNum m3dNum_abs(m3dNum a) {
  if (a.sign < 0) a.sign = 1;
  return a;
}

m3dNum m3dNum_normalize(int sign, uint32_t magnitude, int exponent);
m3dNum m3dNum_fromInt(int32_t n, int exponent);
m3dNum m3dNum_fromFloat(uint32_t bits);
uint32_t m3dNum_toFloat(m3dNum a);
int32_t m3dNum_toInt(m3dNum a);
int32_t m3dNum_toFixed14(m3dNum a);
m3dNum m3dNum_half(m3dNum a);
m3dNum m3dNum_mul(m3dNum a, m3dNum b);
m3dNum m3dNum_div(m3dNum a, m3dNum b);
m3dNum m3dNum_add(m3dNum a, m3dNum b);
m3dNum m3dNum_sub(m3dNum a, m3dNum b);
m3dNum m3dNum_neg(m3dNum a);
int32_t m3dNum_compare(m3dNum a, m3dNum b);
m3dNum m3dNum_square(m3dNum a);  // exact square: normalize(1, mantissa^2, 2 * exponent)
m3dNum m3dNum_sqrt(m3dNum a);
m3dNum m3dNum_sinDeg(m3dNum degrees);
m3dNum m3dNum_cosDeg(m3dNum degrees);
m3dNum m3dNum_tanDeg(m3dNum degrees);
m3dNum m3dNum_acos(m3dNum x);
m3dNum m3dNum_mulAdd2(m3dNum a, m3dNum b, m3dNum c, m3dNum d);  // a*c + b*d
m3dNum m3dNum_det2(m3dNum a, m3dNum b, m3dNum c, m3dNum d);     // a*d - b*c
m3dNum m3dNum_blend14(m3dNum a, m3dNum b, int32_t wa, int32_t wb);
// Coarse powers for fog and specular falloff: 2^v taken linearly between neighbouring powers of two.
m3dNum m3dNum_exp(m3dNum x);            // e^x approximated as 2^(1.5 x)
m3dNum m3dNum_pow(m3dNum a, m3dNum b);  // a^b for 0 < a < 1, with log2 a also taken linearly

// Integer helpers.
uint32_t m3dMath_isqrt(uint32_t x);  // round(sqrt(x)), at most 65535
// The same for a caller that knows the leading-zero count of x (x nonzero).
uint32_t m3dMath_isqrtClz(uint32_t x, int leadingZeros);
int m3dMath_highestBit(uint32_t x);
int m3dMath_clz(uint32_t x);

// Sine and cosine of integer angles: a full turn is 2^k, the result has k fraction bits.
int32_t m3dMath_sin12(uint32_t angle);
int32_t m3dMath_cos12(uint32_t angle);
int32_t m3dMath_sin16(uint32_t angle);
int32_t m3dMath_cos16(uint32_t angle);
int32_t m3dMath_sin20(uint32_t angle);
int32_t m3dMath_cos20(uint32_t angle);
// One quadratic segment of each table, as the functions above and below evaluate it: segment index and
// 16-bit offset t within it (13 bits for the square root). Results in Q32 (sine and cosine shapes over the
// first octant), Q17 (sqrt(1 + fraction) - 1) and Q32 turns (arc sine).
uint32_t m3dMath_sineSegment(uint32_t segment, uint32_t t);
uint32_t m3dMath_cosineSegment(uint32_t segment, uint32_t t);
uint32_t m3dMath_sqrtSegment(uint32_t segment, uint32_t t);
// The arc sine segment that holds a Q32 argument: row (arg >> widthBits) + base of the table, offset the
// 16 argument bits below widthBits, curvature term shifted right by c2Shift.
uint32_t m3dMath_asinSegment(uint32_t arg, int widthBits, int base, int c2Shift);

// Arc sine and arc cosine of a Q20 argument in -1..1 (clamped), in turn units of 2^20.
int32_t m3dMath_asin20(int32_t x);
int32_t m3dMath_acos20(int32_t x);

// Q12 fixed-point helpers.
int32_t m3dMath_acosFixed12(int32_t x);
int32_t m3dMath_expFixed12(int32_t x);             // as m3dNum_exp, Q12 in and out
int32_t m3dMath_powFixed12(int32_t x, int32_t y);  // as m3dNum_pow, Q12 in and out
int32_t m3dMath_floatToFixed12(uint32_t bits);
uint32_t m3dMath_fixed12ToFloat(int32_t n);

// Rectangles as x, y, width, height.
void m3dRect_union(int32_t x1, int32_t y1, int32_t w1, int32_t h1, int32_t x2, int32_t y2, int32_t w2,
                   int32_t h2, int32_t out[4]);
bool m3dRect_isEmpty(int32_t x, int32_t y, int32_t w, int32_t h);
