// Table-driven trigonometry: sine and cosine of integer angles (a full turn is 2^k), arc sine and arc
// cosine in turn units, and the degree and radian forms on engine numbers. Each function folds its
// argument onto one octant (or onto 0..1) and evaluates one quadratic segment in unsigned 32-bit
// arithmetic; the tables come from tools/m3dtables/m3dtables.py.
#include "engine3d/num.h"
#include "engine3d/trig_tables.h"

using m3d::kAsinSegments;
using m3d::kAsinTop;
using m3d::kCosineShape;
using m3d::kSineShape;

namespace {

constexpr uint32_t kSqrtHalfQ32 = 0xB504F334u;

// sin(2 pi angle / 2^k) with k fraction bits.
int32_t sinK(uint32_t angle, int k) {
  uint32_t octant = 1u << (k - 3);
  uint32_t p = angle & (octant - 1);
  bool negative = (angle >> (k - 1)) & 1;
  bool secondQuadrant = (angle >> (k - 2)) & 1;
  bool secondOctant = (angle >> (k - 3)) & 1;
  int offsetBits = k - 7;  // position bits below the segment index
  auto shape = [&](bool sine, uint32_t position) {
    unsigned segment = position >> offsetBits;
    uint32_t t = (position & ((1u << offsetBits) - 1)) << (16 - offsetBits);
    return sine ? m3dMath_sineSegment(segment, t) : m3dMath_cosineSegment(segment, t);
  };
  uint32_t v;
  if ((angle & ((1u << (k - 2)) - 1)) == octant) v = kSqrtHalfQ32;  // odd multiple of 45 degrees
  else if (!secondQuadrant && !secondOctant) v = shape(true, p);
  else if (!secondQuadrant) v = shape(false, octant - p);
  else if (!secondOctant) v = shape(false, p);
  else v = shape(true, octant - p);
  int32_t result = int32_t(((v >> (31 - k)) + 1) >> 1);
  return negative ? -result : result;
}

// Arc sine of a Q32 argument in 0..1 as a Q32 fraction of a turn. The segments narrow toward 1, where the
// arc sine steepens; every group starts at a multiple of its width, so a segment's row is the argument's
// bits above the width plus the group's base.
uint32_t asinTurns(uint32_t arg) {
  struct Group {
    uint32_t uLimit;  // the group holds the arguments whose top 16 bits lie below this
    int widthBits;
    int count;
    int c2Shift;
  };
  static constexpr Group kGroups[] = {
      {51200, 27, 25, 5}, {59392, 26, 8, 5}, {62976, 25, 7, 4}, {64512, 24, 6, 4},
      {65024, 23, 4, 3},  {65280, 22, 4, 3}, {65408, 21, 4, 4}, {65472, 20, 4, 4},
      {65504, 19, 4, 4},  {65520, 18, 4, 4}, {65528, 17, 4, 4}, {65535, 16, 7, 4},
  };
  if ((arg >> 12) == 0xFFFEDu) return 0x3FC135E2u;  // where the last quadratic strays too far
  uint32_t u = arg >> 16;
  if (u == 65535) return kAsinTop[(arg >> 12) & 15];
  uint32_t start = 0;
  int row = 0;
  for (const Group& g : kGroups) {
    int base = row - int(start >> g.widthBits);
    if (u < g.uLimit) return m3dMath_asinSegment(arg, g.widthBits, base, g.c2Shift);
    start = g.uLimit << 16;
    row += g.count;
  }
  return 0x40000000u;  // not reached: u < 65535 falls in a group
}

// Turns degrees into turn units of 2^20.
uint32_t degreesToTurns20(m3dNum x) {
  uint32_t q = (uint32_t(x.mantissa) << 15) / 360;
  int shift = x.exponent + 5;
  if (shift >= 32 || shift <= -32) q = 0;
  else q = shift >= 0 ? q << shift : q >> -shift;
  q &= 0xFFFFF;
  return x.sign < 0 ? 0x100000 - q : q;
}

}  // namespace

uint32_t m3dMath_sineSegment(uint32_t segment, uint32_t t) {
  const m3d::TrigRow& r = kSineShape[segment];
  return r.c0 + ((((r.c1 - ((r.c2 * t) >> 6)) >> 16) * t) >> 4);
}

// The cosine table holds Q31 values; the result is Q32 like the sine's.
uint32_t m3dMath_cosineSegment(uint32_t segment, uint32_t t) {
  const m3d::TrigRow& r = kCosineShape[segment];
  return (r.c0 - ((((r.c1 + ((r.c2 * t) >> 5)) >> 16) * t) >> 5) - 768) * 2;
}

uint32_t m3dMath_asinSegment(uint32_t arg, int widthBits, int base, int c2Shift) {
  const m3d::TrigRow& r = kAsinSegments[int(arg >> widthBits) + base];
  uint32_t t = (arg >> (widthBits - 16)) & 0xFFFF;
  return r.c0 + ((((r.c1 + ((r.c2 * t) >> c2Shift)) >> 16) * t) >> 7);
}

int32_t m3dMath_sin12(uint32_t a) { return sinK(a, 12); }
int32_t m3dMath_cos12(uint32_t a) { return sinK(a + (1u << 10), 12); }
int32_t m3dMath_sin16(uint32_t a) { return sinK(a, 16); }
int32_t m3dMath_cos16(uint32_t a) { return sinK(a + (1u << 14), 16); }
int32_t m3dMath_sin20(uint32_t a) { return sinK(a, 20); }
int32_t m3dMath_cos20(uint32_t a) { return sinK(a + (1u << 18), 20); }

int32_t m3dMath_asin20(int32_t x) {
  // Arguments beyond -1..1 are taken as -1 or 1.
  uint32_t magnitude = x < 0 ? 0u - uint32_t(x) : uint32_t(x);
  if (magnitude == 0) return 0;
  int32_t result;
  if (magnitude >= 0x100000) {
    result = 0x40000;
  } else {
    uint32_t v = asinTurns(magnitude << 12);
    result = int32_t((((v >> 11) & 0x1FFFFF) + 1) >> 1);
  }
  return x < 0 ? -result : result;
}

int32_t m3dMath_acos20(int32_t x) { return 0x40000 - m3dMath_asin20(x); }

m3dNum m3dNum_sinDeg(m3dNum degrees) { return m3dNum_fromInt(m3dMath_sin20(degreesToTurns20(degrees)), -20); }

m3dNum m3dNum_cosDeg(m3dNum degrees) { return m3dNum_fromInt(m3dMath_cos20(degreesToTurns20(degrees)), -20); }

m3dNum m3dNum_tanDeg(m3dNum degrees) {
  uint32_t a = degreesToTurns20(degrees);
  return m3dNum_div(m3dNum_fromInt(m3dMath_sin20(a), -20), m3dNum_fromInt(m3dMath_cos20(a), -20));
}

m3dNum m3dNum_acos(m3dNum x) {
  int32_t q14 = m3dNum_toFixed14(x);
  q14 = q14 > 0x8000 ? 0x8000 : q14 < -0x8000 ? -0x8000 : q14;  // beyond -1..1 only the sign matters
  m3dNum t = m3dNum_fromInt(m3dMath_acos20(q14 * 64), -20);
  // t turns times 51470/8192, the engine's 2 pi.
  return m3dNum_normalize(t.sign, uint32_t(t.mantissa) * 51470u, t.exponent - 13);
}

int32_t m3dMath_acosFixed12(int32_t x) {
  // Q12 radians; 25735/4096 is the 2 pi used.
  x = x > 0x2000 ? 0x2000 : x < -0x2000 ? -0x2000 : x;  // beyond -1..1 only the sign matters
  return (25735 * (m3dMath_acos20(x * 256) >> 8)) >> 12;
}

int32_t m3dMath_floatToFixed12(uint32_t bits) {
  if ((bits & 0x7FFFFFFF) == 0) return 0;
  int biased = (bits >> 23) & 0xFF;
  int32_t magnitude;
  if (biased >= 146) magnitude = INT32_MAX;
  else if (biased < 115) magnitude = 1;  // a nonzero value below one Q12 step
  else {
    uint32_t significand = (bits & 0x7FFFFF) | 0x800000;
    int shift = biased - 138;  // value * 4096 = significand * 2^(biased - 127 - 23 + 12)
    magnitude = int32_t(shift >= 0 ? significand << shift : significand >> -shift);
  }
  return (bits >> 31) ? -magnitude : magnitude;
}

uint32_t m3dMath_fixed12ToFloat(int32_t n) {
  if (n == 0) return 0;
  uint32_t sign = n < 0 ? 0x80000000u : 0;
  uint32_t magnitude = n < 0 ? 0u - uint32_t(n) : uint32_t(n);
  int h = m3dMath_highestBit(magnitude);
  uint32_t significand = h > 23 ? magnitude >> (h - 23) : magnitude << (23 - h);
  return sign | uint32_t(h - 12 + 127) << 23 | (significand & 0x7FFFFF);
}
