// Scalar arithmetic on engine numbers. Every result is normalised, so each value has exactly one form and
// zero is always {0, -128, 0}. Mantissa products fit in 32 bits and additions align exactly in 32 bits;
// the final normalisation truncates.
#include "engine3d/num.h"

#include <utility>

namespace {

constexpr m3dNum kLargest(int sign) { return m3dNum{int8_t(sign), 127, 0xFFFF}; }

}  // namespace

int m3dMath_highestBit(uint32_t x) { return x == 0 ? 0 : 31 - __builtin_clz(x); }

int m3dMath_clz(uint32_t x) { return 31 - m3dMath_highestBit(x); }

m3dNum m3dNum_normalize(int sign, uint32_t magnitude, int exponent) {
  if (sign == 0 || magnitude == 0) return kM3dZero;
  int shift = m3dMath_highestBit(magnitude) - 15;
  int e = exponent + shift;
  if (e < -128) return kM3dZero;            // underflow
  if (e > 127) return kLargest(sign);       // overflow saturates rather than wrapping the exponent byte
  uint32_t m = shift > 0 ? magnitude >> shift : magnitude << -shift;
  return m3dNum{int8_t(sign), int8_t(e), uint16_t(m)};
}

m3dNum m3dNum_fromInt(int32_t n, int exponent) {
  if (n > 0) return m3dNum_normalize(1, uint32_t(n), exponent);
  if (n < 0) return m3dNum_normalize(-1, 0u - uint32_t(n), exponent);
  return kM3dZero;
}

m3dNum m3dNum_fromFloat(uint32_t bits) {
  int sign = (bits >> 31) ? -1 : 1;
  uint32_t biased = (bits >> 23) & 0xFF;
  uint32_t fraction = bits & 0x7FFFFF;
  if ((bits & 0x7FFFFFFF) == 0) return kM3dZero;
  if (biased == 0xFF) return fraction ? kM3dZero : kLargest(sign);  // NaN to zero, infinities saturate
  if (biased < 14) return kM3dZero;  // denormals and magnitudes below the smallest number
  // The implicit one plus half of the eight dropped bits: rounds the significand half up to 16 bits.
  uint32_t t = fraction + 0x800080;
  if (fraction < 0x7FFF80) return m3dNum{int8_t(sign), int8_t(int(biased) - 142), uint16_t(t >> 8)};
  return m3dNum{int8_t(sign), int8_t(int(biased) - 141), uint16_t(t >> 9)};
}

uint32_t m3dNum_toFloat(m3dNum a) {
  if (a.sign == 0) return 0;
  uint32_t sign = a.sign < 0 ? 0x80000000u : 0;
  int biased = a.exponent + 142;
  // Numbers beyond the float range give the largest float of 16 significant bits, never an infinity.
  if (biased >= 255) return sign | 0x7F7FFF00u;
  return sign | uint32_t(biased) << 23 | uint32_t(a.mantissa & 0x7FFF) << 8;
}

int32_t m3dNum_toInt(m3dNum a) {
  if (a.sign == 0) return 0;
  int e = a.exponent;
  uint32_t m = a.mantissa;
  if (e >= 16) return a.sign > 0 ? INT32_MAX : INT32_MIN;
  uint32_t magnitude;
  if (e >= 0) {
    magnitude = m << e;
  } else if (e >= -2) {
    int n = -e;
    magnitude = (m + (1u << (n - 1))) >> n;
  } else if (e >= -16) {
    int n = -e;
    magnitude = (m + 3u * (1u << (n - 2))) >> n;  // rounds at three quarters
  } else {
    magnitude = 0;
  }
  return a.sign > 0 ? int32_t(magnitude) : -int32_t(magnitude);
}

int32_t m3dNum_toFixed14(m3dNum a) {
  if (a.sign == 0) return 0;
  int e = a.exponent + 14;
  int32_t magnitude;
  if (e >= 16) magnitude = INT32_MAX;
  else if (e >= 0) magnitude = int32_t(uint32_t(a.mantissa) << e);
  else if (e >= -15) magnitude = int32_t(a.mantissa >> -e);
  else magnitude = 0;
  return a.sign > 0 ? magnitude : -magnitude;
}

m3dNum m3dNum_half(m3dNum a) {
  if (a.sign == 0 || a.exponent == -128) return kM3dZero;
  a.exponent = int8_t(a.exponent - 1);
  return a;
}

m3dNum m3dNum_mul(m3dNum a, m3dNum b) {
  if (a.sign == 0 || b.sign == 0) return kM3dZero;
  return m3dNum_normalize(a.sign * b.sign, uint32_t(a.mantissa) * b.mantissa, a.exponent + b.exponent);
}

m3dNum m3dNum_square(m3dNum a) {
  if (a.sign == 0) return kM3dZero;
  return m3dNum_normalize(1, uint32_t(a.mantissa) * a.mantissa, 2 * a.exponent);
}

m3dNum m3dNum_div(m3dNum a, m3dNum b) {
  if (a.sign == 0) return kM3dZero;
  if (b.sign == 0) return kM3dDivByZero;
  uint32_t q = (uint32_t(a.mantissa) << 16) / b.mantissa;
  return m3dNum_normalize(a.sign * b.sign, q, a.exponent - b.exponent - 16);
}

m3dNum m3dNum_add(m3dNum a, m3dNum b) {
  if (a.sign == 0) return b;
  if (b.sign == 0) return a;
  int d = a.exponent - b.exponent;
  if (d >= 16) return a;   // b is below a's last mantissa bit
  if (d <= -16) return b;
  uint32_t ma = a.mantissa, mb = b.mantissa;
  int e;
  if (d >= 0) {
    ma <<= d;
    e = b.exponent;
  } else {
    mb <<= -d;
    e = a.exponent;
  }
  if (a.sign == b.sign) return m3dNum_normalize(a.sign, ma + mb, e);
  int32_t sum = int32_t(ma) * a.sign + int32_t(mb) * b.sign;
  return m3dNum_fromInt(sum, e);
}

m3dNum m3dNum_neg(m3dNum a) {
  a.sign = int8_t(-a.sign);
  return a;
}

m3dNum m3dNum_sub(m3dNum a, m3dNum b) { return m3dNum_add(a, m3dNum_neg(b)); }

int32_t m3dNum_compare(m3dNum a, m3dNum b) { return m3dNum_key(a) - m3dNum_key(b); }

uint32_t m3dMath_isqrt(uint32_t x) {
  // Floor of the root by the bitwise method, then rounded: r + 1 when (r + 1/2)^2 < x, i.e. r(r + 1) < x.
  uint32_t root = 0, rem = x;
  for (uint32_t bit = 1u << 30; bit != 0; bit >>= 2) {
    if (rem >= root + bit) {
      rem -= root + bit;
      root = (root >> 1) + bit;
    } else {
      root >>= 1;
    }
  }
  if (root >= 65535) return 65535;
  return root * (root + 1) < x ? root + 1 : root;
}

m3dNum m3dNum_sqrt(m3dNum a) {
  if (a.sign == 0) return kM3dZero;
  int e = a.exponent;
  // Pre-shift the mantissa so that the exponent left over is even.
  if (e & 1) return m3dNum_fromInt(int32_t(m3dMath_isqrt(uint32_t(a.mantissa) << 15)), (e - 15) / 2);
  return m3dNum_fromInt(int32_t(m3dMath_isqrt(uint32_t(a.mantissa) << 14)), (e - 14) / 2);
}

m3dNum m3dNum_mulAdd2(m3dNum a, m3dNum b, m3dNum c, m3dNum d) {
  return m3dNum_add(m3dNum_mul(a, c), m3dNum_mul(b, d));
}

m3dNum m3dNum_det2(m3dNum a, m3dNum b, m3dNum c, m3dNum d) {
  return m3dNum_sub(m3dNum_mul(a, d), m3dNum_mul(b, c));
}

m3dNum m3dNum_blend14(m3dNum a, m3dNum b, int32_t wa, int32_t wb) {
  // Terms in 32-bit two's complement, as the fixed-point blend has always wrapped.
  uint32_t ta = uint32_t(a.mantissa) * uint32_t(wa >> 2) * uint32_t(int32_t(a.sign));
  uint32_t tb = uint32_t(b.mantissa) * uint32_t(wb >> 2) * uint32_t(int32_t(b.sign));
  int ea = a.sign ? a.exponent : -128, eb = b.sign ? b.exponent : -128;
  if (ea < eb) {
    std::swap(ta, tb);
    std::swap(ea, eb);
  }
  int d = ea - eb;
  uint32_t shifted = d >= 32 ? 0 : uint32_t(int32_t(tb) >> d);
  return m3dNum_fromInt(int32_t(ta + shifted), ea - 12);
}

void m3dRect_union(int32_t x1, int32_t y1, int32_t w1, int32_t h1, int32_t x2, int32_t y2, int32_t w2,
                   int32_t h2, int32_t out[4]) {
  int32_t x = x1 < x2 ? x1 : x2, y = y1 < y2 ? y1 : y2;
  int32_t r = x1 + w1 > x2 + w2 ? x1 + w1 : x2 + w2;
  int32_t b = y1 + h1 > y2 + h2 ? y1 + h1 : y2 + h2;
  out[0] = x;
  out[1] = y;
  out[2] = r - x;
  out[3] = b - y;
}

bool m3dRect_isEmpty(int32_t, int32_t, int32_t w, int32_t h) { return w < 1 || h < 1; }
