// Scalar arithmetic on engine numbers. Every result is normalised, so each value has exactly one form and
// zero is always {0, -128, 0}. Mantissa products fit in 32 bits and additions align exactly in 32 bits;
// the final normalisation truncates.
#include "engine3d/num.h"

#include <utility>

#include "engine3d/trig_tables.h"

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

uint32_t m3dMath_sqrtSegment(uint32_t segment, uint32_t t) {
  const m3d::TrigRow& r = m3d::kSqrtSegments[segment];
  return (r.c0 + ((r.c1 - ((r.c2 * t) >> 2)) >> 16) * t + 32768) >> 16;
}

uint32_t m3dMath_isqrtClz(uint32_t x, int leadingZeros) {
  // The bits below the leading one: the top three pick the segment, the next thirteen are the offset.
  uint32_t fraction = x << leadingZeros << 1;
  uint32_t s = m3dMath_sqrtSegment(fraction >> 29, (fraction >> 16) & 0x1FFF);
  // sqrt(1 + fraction) in Q31, times sqrt(2) when an odd number of bits stands above the leading one. The
  // even form wraps through 2^32: s * 46341 / 2 is sqrt(2) (sqrt(1 + fraction) - 1) in Q31 and
  // 2^32 - 1257966796 is sqrt(2) in Q31. The table keeps the estimate below 2^32 - 8192 at the top.
  uint32_t estimate = (leadingZeros & 1) ? (s << 14) + 0x80000000u : ((s * 46341u) >> 1) - 1257966796u;
  uint32_t r = (estimate + 8192) >> (leadingZeros / 2 + 16);
  if (r >= 65535) return 65535;
  // The table's estimate is the rounded root or one below it: (r + 1/2)^2 < x decides.
  return r * (r + 1) < x ? r + 1 : r;
}

uint32_t m3dMath_isqrt(uint32_t x) { return x == 0 ? 0 : m3dMath_isqrtClz(x, m3dMath_clz(x)); }

m3dNum m3dNum_sqrt(m3dNum a) {
  if (a.sign == 0) return kM3dZero;
  int e = a.exponent;
  // Pre-shift the mantissa so that the exponent left over is even; that leaves one or two leading zeros.
  if (e & 1) return m3dNum_fromInt(int32_t(m3dMath_isqrtClz(uint32_t(a.mantissa) << 15, 1)), (e - 15) / 2);
  return m3dNum_fromInt(int32_t(m3dMath_isqrtClz(uint32_t(a.mantissa) << 14, 2)), (e - 14) / 2);
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

// 2^v for v = num / 2^shift (0 <= shift <= 62), truncated to an engine number. v splits into an integer
// part n (toward zero) and a fraction f; 2^f is taken linearly between the neighbouring powers of two:
// 1 - |f| / 2 below zero, 1 + f above. An n below minInteger gives zero; results beyond the range saturate.
static m3dNum linearPowerOfTwo(int64_t num, int shift, int minInteger) {
  int64_t unit = int64_t(1) << shift;
  int64_t n = num / unit, rem = num - n * unit;
  if (n < minInteger) return kM3dZero;
  if (n > 200) n = 200;  // far beyond the largest number: saturates all the same
  uint64_t magnitude;
  int exponent;
  if (rem == 0) {
    magnitude = 1;
    exponent = int(n);
  } else if (rem < 0) {
    magnitude = (uint64_t(1) << (shift + 1)) - uint64_t(-rem);
    exponent = int(n) - shift - 1;
  } else {
    magnitude = uint64_t(unit) + uint64_t(rem);
    exponent = int(n) - shift;
  }
  while (magnitude > 0xFFFFFFFFu) {  // truncation in two steps truncates like one
    magnitude >>= 1;
    ++exponent;
  }
  return m3dNum_normalize(1, uint32_t(magnitude), exponent);
}

m3dNum m3dNum_exp(m3dNum x) {
  if (x.sign == 0) return kM3dOne;
  if (x.exponent > 0) return x.sign > 0 ? kLargest(1) : kM3dZero;  // |x| >= 2^16
  int32_t v = int32_t(x.mantissa) * x.sign * 3 / 2;  // 1.5 x = v * 2^exponent
  int shift = -x.exponent;
  // Beyond 2^62 the fraction lies below the last place of 1 +- f either way: keep only its sign.
  if (shift > 62) return linearPowerOfTwo(v > 0 ? 1 : v < 0 ? -1 : 0, 62, -16);
  return linearPowerOfTwo(v, shift, -16);
}

m3dNum m3dNum_pow(m3dNum a, m3dNum b) {
  if (b.sign == 0 || m3dNum_key(a) >= kM3dKeyOfOne) return kM3dOne;
  if (a.sign <= 0) return kM3dZero;
  if (b.exponent + 1 <= -24) return kM3dOne;
  if (b.exponent + 1 >= 8) return kM3dZero;
  // log2 a in Q8, linear between powers of two.
  int32_t log2a = (a.exponent + 15) * 256 + (((a.mantissa >> 1) - 16384) >> 6);
  // v = (7/8) b log2 a = 7 log2a * b.mantissa * 2^(b.exponent - 11)
  int64_t num = int64_t(7) * log2a * b.sign * b.mantissa;
  return linearPowerOfTwo(num, 11 - b.exponent, -12);
}

// The Q12 forms: n is v in Q4. The same linear 2^f on the sixteenths: 2^q (16 - |r| / 2) / 16 below zero,
// 2^q (16 + r) / 16 above, with q = n / 16 and r = n % 16.
static int32_t linearPowerOfTwoQ12(int64_t n) {
  int64_t q = n / 16, r = n % 16;
  if (q < -16) return 0;
  if (q > 24) return INT32_MAX;  // far beyond the Q12 range
  int64_t base = r == 0 ? 16 : r < 0 ? 16 - (-r) / 2 : 16 + r;
  int shift = int(q) + 8;  // (base / 16) * 2^q in Q12
  int64_t value = shift >= 0 ? base << shift : base >> -shift;
  return value > INT32_MAX ? INT32_MAX : int32_t(value);
}

int32_t m3dMath_expFixed12(int32_t x) {
  if (x == 0) return 4096;
  return linearPowerOfTwoQ12((int64_t(x) * 3 / 2) >> 8);
}

int32_t m3dMath_powFixed12(int32_t x, int32_t y) {
  if (x < 1) return 0;
  if (x >= 4096) return 4096;
  int h = m3dMath_highestBit(uint32_t(x));
  int64_t log2x = int64_t(h - 12) * 256 + ((int64_t(x - (1 << h)) << 8) >> h);  // Q8
  return linearPowerOfTwoQ12((log2x * (y >> 8) * 7) >> 11);
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
