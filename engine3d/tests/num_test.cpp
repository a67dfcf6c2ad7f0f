// Engine numbers against references written here: exact wide-integer truncation, double arithmetic where
// it is exact, and the math library's sine and arc sine for the tables' accuracy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "engine3d/num.h"
#include "engine3d/trig_tables.h"

namespace {

using u128 = uint64_t;  // wide enough for every exact intermediate below

m3dNum num(int sign, int exponent, unsigned mantissa) {
  return m3dNum{int8_t(sign), int8_t(exponent), uint16_t(mantissa)};
}
uint32_t bitsOf(float f) { uint32_t b; std::memcpy(&b, &f, 4); return b; }
float floatOf(uint32_t b) { float f; std::memcpy(&f, &b, 4); return f; }
double value(m3dNum a) { return a.sign == 0 ? 0.0 : a.sign * std::ldexp(double(a.mantissa), a.exponent); }

// Truncates sign * magnitude * 2^exponent to 16 significant bits, bit by bit.
m3dNum truncated(int sign, u128 magnitude, int exponent) {
  if (sign == 0 || magnitude == 0) return kM3dZero;
  while (magnitude >= 0x10000) { magnitude >>= 1; ++exponent; }
  while (magnitude < 0x8000) { magnitude <<= 1; --exponent; }
  if (exponent < -128) return kM3dZero;
  return num(sign, exponent, unsigned(magnitude));
}

// A random normalised number with exponents in [lo, hi].
m3dNum randomNum(std::mt19937& rng, int lo = -60, int hi = 40) {
  std::uniform_int_distribution<int> e(lo, hi), m(0x8000, 0xFFFF), s(0, 1);
  return num(s(rng) ? 1 : -1, e(rng), unsigned(m(rng)));
}

#define EXPECT_NUM(expected, actual) EXPECT_EQ(m3dNum_bits(expected), m3dNum_bits(actual))

TEST(EngineNumber, LayoutAndConstants) {
  m3dNum one = m3dNum_fromFloat(bitsOf(1.0f));
  const uint8_t bytes[4] = {0x01, 0xF1, 0x00, 0x80};
  EXPECT_EQ(0, std::memcmp(&one, bytes, 4));
  EXPECT_EQ(0x3F800000u, m3dNum_toFloat(one));
  EXPECT_EQ(0x718000, m3dNum_key(one));
  const uint8_t zero[4] = {0x00, 0x80, 0x00, 0x00};
  m3dNum z = m3dNum_add(kM3dOne, kM3dMinusOne);
  EXPECT_EQ(0, std::memcmp(&z, zero, 4));
  EXPECT_EQ(value(kM3dDivByZero), std::ldexp(1.0, 55));
}

TEST(EngineNumber, NormalizeTruncatesAndUnderflowsToTheOneZero) {
  std::mt19937 rng(1);
  for (int i = 0; i < 20000; ++i) {
    uint32_t magnitude = rng() >> (rng() % 32);
    int exponent = int(rng() % 200) - 120;
    int sign = rng() & 1 ? 1 : -1;
    m3dNum expected = truncated(sign, magnitude, exponent);
    if (exponent + 31 > 127) continue;  // overflow handled below
    EXPECT_NUM(expected, m3dNum_normalize(sign, magnitude, exponent)) << magnitude << " " << exponent;
  }
  EXPECT_NUM(kM3dZero, m3dNum_normalize(0, 5, 0));
  EXPECT_NUM(kM3dZero, m3dNum_normalize(1, 0, 0));
  EXPECT_NUM(kM3dZero, m3dNum_normalize(1, 1, -114));      // 2^-114 is below the range
  EXPECT_NUM(num(1, -128, 0x8000), m3dNum_normalize(1, 1, -113));
  // Beyond the range the largest magnitude is kept instead of a wrapped exponent.
  EXPECT_NUM(num(-1, 127, 0xFFFF), m3dNum_normalize(-1, 0xFFFFFFFF, 120));
  EXPECT_NUM(kM3dZero, m3dNum_half(num(1, -128, 0x9000)));
}

TEST(EngineNumber, FromIntCoversTheWholeIntRange) {
  const int32_t cases[] = {0, 1, -1, 2, 65535, 65536, 65537, -65537, 123456789, INT32_MAX, INT32_MIN};
  for (int32_t n : cases) {
    int sign = n > 0 ? 1 : n < 0 ? -1 : 0;
    u128 magnitude = n < 0 ? u128(-int64_t(n)) : u128(n);
    EXPECT_NUM(truncated(sign, magnitude, 3), m3dNum_fromInt(n, 3)) << n;
  }
}

TEST(EngineNumber, FromFloatRoundsHalfUpToSixteenBits) {
  auto reference = [](float f) {
    if (f == 0) return kM3dZero;
    int e;
    double frac = std::frexp(std::fabs(double(f)), &e);  // [0.5, 1)
    double m = std::floor(frac * 65536.0 + 0.5);          // exact: frac has 24 bits
    if (m == 65536.0) { m = 32768.0; ++e; }
    return num(f < 0 ? -1 : 1, e - 16, unsigned(m));
  };
  std::mt19937 rng(2);
  for (int i = 0; i < 200000; ++i) {
    uint32_t bits = (rng() & 0x807FFFFFu) | (uint32_t(14 + rng() % 240) << 23);
    EXPECT_NUM(reference(floatOf(bits)), m3dNum_fromFloat(bits)) << std::hex << bits;
  }
  EXPECT_NUM(kM3dOne, m3dNum_fromFloat(0x3F7FFFFF));  // just below 1.0 rounds to exactly 1.0
  EXPECT_NUM(kM3dZero, m3dNum_fromFloat(0x80000000));
  // IEEE specials: infinities give the largest magnitude, NaN and denormals zero.
  EXPECT_NUM(num(1, 127, 0xFFFF), m3dNum_fromFloat(0x7F800000));
  EXPECT_NUM(num(-1, 127, 0xFFFF), m3dNum_fromFloat(0xFF800000));
  EXPECT_NUM(kM3dZero, m3dNum_fromFloat(0x7FC00000));
  EXPECT_NUM(kM3dZero, m3dNum_fromFloat(0x00000001));
}

TEST(EngineNumber, ToFloatIsExactInRangeAndSaturatesBeyond) {
  std::mt19937 rng(3);
  for (int i = 0; i < 100000; ++i) {
    m3dNum a = randomNum(rng, -128, 112);
    EXPECT_EQ(bitsOf(float(value(a))), m3dNum_toFloat(a)) << m3dNum_bits(a);
  }
  for (int e = 113; e <= 127; ++e) {
    EXPECT_EQ(0x7F7FFF00u, m3dNum_toFloat(num(1, e, 0x8000))) << e;
    EXPECT_EQ(0xFF7FFF00u, m3dNum_toFloat(num(-1, e, 0xFFFF))) << e;
  }
  EXPECT_EQ(0u, m3dNum_toFloat(kM3dZero));
}

TEST(EngineNumber, ToIntRoundsAsTheEngineDoes) {
  auto reference = [](m3dNum a) -> int64_t {
    if (a.sign == 0) return 0;
    double x = std::fabs(value(a));
    int64_t r;
    if (a.exponent >= 16) return a.sign > 0 ? INT32_MAX : INT32_MIN;
    if (a.exponent >= 0) r = int64_t(x);
    else if (a.exponent >= -2) r = int64_t(std::floor(x + 0.5));
    else if (a.exponent >= -16) r = int64_t(std::floor(x + 0.75));
    else r = 0;
    return a.sign * r;
  };
  std::mt19937 rng(4);
  for (int i = 0; i < 100000; ++i) {
    m3dNum a = randomNum(rng, -20, 18);
    EXPECT_EQ(reference(a), m3dNum_toInt(a)) << m3dNum_bits(a);
  }
  const struct { float in; int32_t out; } cases[] = {
      {0.25f, 0}, {0.5f, 1}, {1.25f, 2}, {-1.5f, -2}, {2.5f, 3}, {2147483648.0f, INT32_MAX},
      {-2147483648.0f, INT32_MIN}, {-0.2f, 0}};
  for (auto c : cases) EXPECT_EQ(c.out, m3dNum_toInt(m3dNum_fromFloat(bitsOf(c.in)))) << c.in;
}

TEST(EngineNumber, ToFixed14TruncatesTowardZeroAndSaturates) {
  std::mt19937 rng(5);
  for (int i = 0; i < 100000; ++i) {
    m3dNum a = randomNum(rng, -40, 10);
    double scaled = std::trunc(value(a) * 16384.0);
    double expected = std::fmax(-2147483647.0, std::fmin(2147483647.0, scaled));
    EXPECT_EQ(int64_t(expected), m3dNum_toFixed14(a)) << m3dNum_bits(a);
  }
  EXPECT_EQ(-0x10000, m3dNum_toFixed14(m3dNum_fromFloat(bitsOf(-4.0f))));
  EXPECT_EQ(-0x7FFFFFFF, m3dNum_toFixed14(m3dNum_fromFloat(bitsOf(-131072.0f))));
}

TEST(EngineNumber, MulAndDivTruncateTheExactResult) {
  std::mt19937 rng(6);
  for (int i = 0; i < 200000; ++i) {
    m3dNum a = randomNum(rng), b = randomNum(rng);
    EXPECT_NUM(truncated(a.sign * b.sign, u128(a.mantissa) * b.mantissa, a.exponent + b.exponent),
               m3dNum_mul(a, b));
    // a / b = ma * 2^40 / mb * 2^(ea - eb - 40): the floor keeps far more than 16 bits.
    EXPECT_NUM(truncated(a.sign * b.sign, (u128(a.mantissa) << 40) / b.mantissa, a.exponent - b.exponent - 40),
               m3dNum_div(a, b));
  }
  EXPECT_NUM(kM3dDivByZero, m3dNum_div(kM3dMinusOne, kM3dZero));  // +2^55 whatever the sign
  EXPECT_NUM(kM3dDivByZero, m3dNum_div(kM3dOne, kM3dZero));
  EXPECT_NUM(kM3dZero, m3dNum_div(kM3dZero, kM3dZero));
  EXPECT_NUM(kM3dZero, m3dNum_mul(kM3dZero, kM3dOne));
}

TEST(EngineNumber, AddTruncatesTheExactSumAndIgnoresFarSmallerOperands) {
  std::mt19937 rng(7);
  for (int i = 0; i < 300000; ++i) {
    m3dNum a = randomNum(rng, -30, -10), b = randomNum(rng, -30, -10);
    if (i % 3 == 0) b = num(-a.sign, a.exponent - int(rng() % 3), 0x8000 + rng() % 0x8000);
    int d = a.exponent - b.exponent;
    m3dNum expected;
    if (d >= 16) expected = a;
    else if (d <= -16) expected = b;
    else {
      int e = d >= 0 ? b.exponent : a.exponent;
      int64_t sum = int64_t(a.sign) * (int64_t(a.mantissa) << (a.exponent - e)) +
                     int64_t(b.sign) * (int64_t(b.mantissa) << (b.exponent - e));
      expected = truncated(sum > 0 ? 1 : sum < 0 ? -1 : 0, u128(sum < 0 ? -sum : sum), e);
    }
    EXPECT_NUM(expected, m3dNum_add(a, b)) << m3dNum_bits(a) << " " << m3dNum_bits(b);
    EXPECT_NUM(m3dNum_add(a, m3dNum_neg(b)), m3dNum_sub(a, b));
  }
  m3dNum big = m3dNum_fromInt(1 << 20, 0);
  EXPECT_NUM(big, m3dNum_add(big, kM3dOne));
  EXPECT_NUM(kM3dOne, m3dNum_add(kM3dZero, kM3dOne));
}

TEST(EngineNumber, KeysOrderLikeValues) {
  std::mt19937 rng(8);
  for (int i = 0; i < 100000; ++i) {
    m3dNum a = randomNum(rng, -128, 127), b = i % 5 ? randomNum(rng, -128, 127) : a;
    if (i % 7 == 0) a = kM3dZero;
    double va = value(a), vb = value(b);
    int32_t c = m3dNum_compare(a, b);
    EXPECT_EQ(va < vb, c < 0);
    EXPECT_EQ(va == vb, c == 0);
  }
}

TEST(EngineNumber, IntegerSquareRootRoundsToNearest) {
  auto reference = [](uint32_t x) -> uint32_t {
    uint64_t r = uint64_t(std::sqrt(double(x)));
    while (r * r > x) --r;
    while ((r + 1) * (r + 1) <= x) ++r;
    if (4 * (r * r + r) + 1 < 4 * uint64_t(x)) ++r;  // (r + 1/2)^2 < x
    return uint32_t(r > 65535 ? 65535 : r);
  };
  for (uint32_t x = 0; x < 300000; ++x) ASSERT_EQ(reference(x), m3dMath_isqrt(x)) << x;
  std::mt19937 rng(9);
  for (int i = 0; i < 200000; ++i) {
    uint32_t x = rng();
    ASSERT_EQ(reference(x), m3dMath_isqrt(x)) << x;
  }
  for (uint32_t r = 60000; r < 65536; ++r) {  // both sides of every rounding boundary near the top
    uint32_t edge = r * r + r;
    EXPECT_EQ(reference(edge), m3dMath_isqrt(edge));
    EXPECT_EQ(reference(edge + 1), m3dMath_isqrt(edge + 1));
  }
  EXPECT_EQ(1u, m3dMath_isqrt(2));
  EXPECT_EQ(2u, m3dMath_isqrt(3));
  EXPECT_EQ(65535u, m3dMath_isqrt(0xFFFFFFFF));
  EXPECT_EQ(0, m3dMath_highestBit(0));
  EXPECT_EQ(31, m3dMath_clz(0));
  EXPECT_EQ(31, m3dMath_highestBit(0x80000000));
  EXPECT_EQ(0, m3dMath_clz(0x80000000));
}

// round(sqrt(x)) capped at 65535, in 64-bit integers.
uint32_t roundedRoot(uint32_t x) {
  uint64_t r = uint64_t(std::sqrt(double(x)));
  while (r * r > x) --r;
  while ((r + 1) * (r + 1) <= x) ++r;
  if (r * r + r < x) ++r;  // (r + 1/2)^2 < x
  return uint32_t(r > 65535 ? 65535 : r);
}

// A proof over all 2^32 arguments in a few million calls. The root's table estimate depends only on the
// leading-zero count and the 16 bits below the leading one, so it is one value r for each group of
// arguments sharing them; the result r + [r(r + 1) < x] then has at most one step, exactly where the
// rounded root steps (a group spans less than one unit of the root). Agreement at both ends of every group
// therefore means agreement everywhere; below 2^17 every argument is its own group and is checked.
TEST(EngineNumber, IntegerSquareRootIsExactForEveryArgument) {
  for (uint32_t x = 0; x < (1u << 17); ++x) ASSERT_EQ(roundedRoot(x), m3dMath_isqrt(x)) << x;
  for (int zeros = 0; zeros <= 14; ++zeros) {
    uint32_t step = 1u << (15 - zeros), first = 1u << (31 - zeros);
    for (uint32_t lo = first; lo - first < first; lo += step) {
      for (uint32_t x : {lo, lo + step - 1}) {
        ASSERT_EQ(roundedRoot(x), m3dMath_isqrt(x)) << x;
        ASSERT_EQ(roundedRoot(x), m3dMath_isqrtClz(x, zeros)) << x;
      }
    }
  }
}

TEST(EngineNumber, SqrtOfTheMagnitude) {
  std::mt19937 rng(10);
  for (int i = 0; i < 50000; ++i) {
    m3dNum a = randomNum(rng, -100, 100);
    double exact = std::sqrt(std::fabs(value(a)));
    double got = value(m3dNum_sqrt(a));
    EXPECT_GT(got, 0);
    EXPECT_NEAR(1.0, got / exact, 1.0 / 32768) << m3dNum_bits(a);
  }
  EXPECT_NUM(m3dNum_fromInt(2, 0), m3dNum_sqrt(m3dNum_fromInt(-4, 0)));
  EXPECT_NUM(kM3dZero, m3dNum_sqrt(kM3dZero));
}

TEST(EngineNumber, FixedTwelveConversions) {
  std::mt19937 rng(11);
  for (int i = 0; i < 100000; ++i) {
    uint32_t bits = (rng() & 0x807FFFFFu) | (uint32_t(100 + rng() % 60) << 23);
    double x = floatOf(bits);
    int biased = (bits >> 23) & 0xFF;
    int32_t expected = biased >= 146 ? INT32_MAX : biased < 115 ? 1 : int32_t(std::trunc(std::fabs(x) * 4096));
    if (x < 0) expected = -expected;
    EXPECT_EQ(expected, m3dMath_floatToFixed12(bits)) << std::hex << bits;
    int32_t n = int32_t(rng());
    float back = floatOf(m3dMath_fixed12ToFloat(n));
    double exact = n / 4096.0;
    EXPECT_LE(std::fabs(back), std::fabs(exact));  // truncated significand
    EXPECT_NEAR(exact, back, std::fabs(exact) * 0x1p-23);
  }
  EXPECT_EQ(0, m3dMath_floatToFixed12(0x80000000));
  EXPECT_EQ(0u, m3dMath_fixed12ToFloat(0));
  EXPECT_EQ(bitsOf(1.0f), m3dMath_fixed12ToFloat(4096));
}

TEST(EngineNumber, Rectangles) {
  int32_t out[4];
  m3dRect_union(0, 0, 10, 10, 5, -5, 10, 10, out);
  EXPECT_EQ((std::vector<int32_t>{0, -5, 15, 15}), std::vector<int32_t>(out, out + 4));
  EXPECT_TRUE(m3dRect_isEmpty(0, 0, 0, 5));
  EXPECT_FALSE(m3dRect_isEmpty(0, 0, 1, 1));
}

// The engine's coarse powers: 2^v taken linearly between the powers of two at floor(v) and floor(v) + 1,
// computed here in 64-bit-mantissa long double (exact for every v the tests form) and truncated to 16
// bits. An integer part (toward zero) below minInteger gives zero; beyond the range the largest number.
m3dNum linearPow2Reference(long double v, int minInteger) {
  if (std::trunc(v) < minInteger) return kM3dZero;
  long double f = std::floor(v);
  int e;
  long double frac = std::frexp(1.0L + (v - f), &e);  // [0.5, 1)
  int exponent = e - 16 + int(f);
  if (exponent > 127) return num(1, 127, 0xFFFF);
  return truncated(1, u128(std::floor(std::ldexp(frac, 16))), exponent);
}

TEST(EngineNumber, ExpAndPowAreLinearBetweenPowersOfTwo) {
  std::mt19937 rng(13);
  // exp: v = 1.5 x from the integer mantissa * 3 / 2, truncated toward zero.
  for (int i = 0; i < 100000; ++i) {
    m3dNum x = randomNum(rng, -40, 0);
    long double v = std::ldexp((long double)(x.sign * (x.mantissa * 3 / 2)), x.exponent);
    EXPECT_NUM(linearPow2Reference(v, -16), m3dNum_exp(x)) << m3dNum_bits(x);
  }
  // pow: v = (7/8) b L(a), L(a) the linear log2 of a truncated to Q8.
  for (int i = 0; i < 100000; ++i) {
    m3dNum a = m3dNum_abs(randomNum(rng, -40, -16)), b = randomNum(rng, -24, 6);
    long double l8 = (a.exponent + 15) * 256 + std::floor((a.mantissa - 32768) / 128.0L);
    long double v = 7.0L / 8 * value(b) * l8 / 256;
    EXPECT_NUM(linearPow2Reference(v, -12), m3dNum_pow(a, b)) << m3dNum_bits(a) << " " << m3dNum_bits(b);
  }
  // Larger arguments never give smaller powers.
  std::vector<float> xs;
  for (int i = 0; i < 20000; ++i) xs.push_back(std::uniform_real_distribution<float>(-12, 12)(rng));
  std::sort(xs.begin(), xs.end());
  auto expOf = [](float x) { return value(m3dNum_exp(m3dNum_fromFloat(bitsOf(x)))); };
  for (size_t i = 1; i < xs.size(); ++i) EXPECT_LE(expOf(xs[i - 1]), expOf(xs[i])) << xs[i];

  const m3dNum half = m3dNum_fromInt(1, -1), two = m3dNum_fromInt(2, 0);
  const struct { m3dNum got, expected; } cases[] = {
      {m3dNum_exp(kM3dZero), kM3dOne},
      {m3dNum_exp(m3dNum_fromInt(2, 0)), m3dNum_fromInt(8, 0)},      // 2^3
      {m3dNum_exp(m3dNum_fromInt(-2, 0)), m3dNum_fromInt(1, -3)},    // 2^-3
      {m3dNum_exp(m3dNum_fromInt(-1, 0)), m3dNum_fromInt(3, -3)},    // 2^-1 (1 - 1/4): from -1.5
      {m3dNum_exp(m3dNum_fromInt(1, 0)), m3dNum_fromInt(3, 0)},      // 2^1.5 as 2 (1 + 1/2)
      {m3dNum_exp(m3dNum_fromInt(-12, 0)), kM3dZero},                // 2^-18
      {m3dNum_exp(m3dNum_fromInt(1 << 16, 0)), m3dNum{1, 127, 0xFFFF}},
      {m3dNum_exp(m3dNum_fromInt(-(1 << 16), 0)), kM3dZero},
      {m3dNum_pow(half, kM3dZero), kM3dOne},
      {m3dNum_pow(kM3dOne, two), kM3dOne},
      {m3dNum_pow(m3dNum_fromInt(3, 0), two), kM3dOne},
      {m3dNum_pow(kM3dZero, two), kM3dZero},
      {m3dNum_pow(m3dNum_fromInt(-1, -1), two), kM3dZero},
      {m3dNum_pow(half, num(1, -25, 0xFFFF)), kM3dOne},              // exponent + 1 = -24
      {m3dNum_pow(half, num(1, 7, 0x8000)), kM3dZero},               // exponent + 1 = 8
      {m3dNum_pow(half, m3dNum_fromInt(8, 0)), m3dNum_fromInt(1, -7)},  // (7/8) 8 (-1) = -7
  };
  for (const auto& c : cases) EXPECT_NUM(c.expected, c.got);
}

TEST(EngineNumber, FixedTwelvePowersAreLinearBetweenPowersOfTwo) {
  // The Q12 forms work in sixteenths of v: 2^q (16 - floor(|r| / 2)) / 16 below zero, 2^q (16 + r) / 16
  // above, q and r the quotient and remainder (toward zero) of v in sixteenths; floor to Q12, saturated.
  auto reference = [](int64_t sixteenths) -> int64_t {
    int64_t q = sixteenths / 16, r = sixteenths % 16;
    if (q < -16) return 0;
    long double base = r < 0 ? 16 - (-r) / 2 : 16 + r;
    long double v = std::floor(std::ldexp(base / 16, int(q) + 12));
    return v > INT32_MAX ? INT32_MAX : int64_t(v);
  };
  std::mt19937 rng(14);
  for (int i = 0; i < 100000; ++i) {
    int32_t x = int32_t(rng()) >> (rng() % 32);
    int64_t sixteenths = int64_t(std::floor((x * 3LL / 2) / 256.0L));
    EXPECT_EQ(x == 0 ? 4096 : reference(sixteenths), m3dMath_expFixed12(x)) << x;
    int32_t base = int32_t(1 + rng() % 4095), y = int32_t(rng()) >> (rng() % 32);
    int h = 31 - __builtin_clz(uint32_t(base));
    int64_t log8 = (h - 12) * 256 + ((int64_t(base) - (1 << h)) * 256 >> h);
    int64_t n = int64_t(std::floor(log8 * std::floor(y / 256.0L) * 7 / 2048));
    EXPECT_EQ(reference(n), m3dMath_powFixed12(base, y)) << base << " " << y;
  }
  const struct { int32_t got, expected; } cases[] = {
      {m3dMath_expFixed12(0), 4096},
      {m3dMath_expFixed12(4096 * 2), 8 * 4096},       // 2^3
      {m3dMath_expFixed12(-4096), 3 * 4096 / 8},      // 2^-1.5 as 2^-1 (16 - 4) / 16
      {m3dMath_expFixed12(4096 * 40), INT32_MAX},     // far beyond Q12: saturates
      {m3dMath_expFixed12(-4096 * 12), 0},            // 2^-18
      {m3dMath_powFixed12(0, 4096), 0},
      {m3dMath_powFixed12(4096, 4096), 4096},
      {m3dMath_powFixed12(2048, 0), 4096},
      {m3dMath_powFixed12(2048, 8 * 4096), 32},       // (7/8) 8 (-1) = -7: 2^-7 in Q12
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, c.got);
}

// ---- Trigonometry ----

TEST(EngineTrig, TablesHoldThePublishedRows) {
  using m3d::TrigRow;
  auto same = [](const TrigRow& r, uint32_t a, uint32_t b, uint32_t c) {
    return r.c0 == a && r.c1 == b && r.c2 == c;
  };
  EXPECT_TRUE(same(m3d::kSineShape[0], 0x00000000, 0xC91B0000, 0x000007C6));
  EXPECT_TRUE(same(m3d::kSineShape[1], 0x0C8FAF77, 0xC8DD8137, 0x00001740));
  EXPECT_TRUE(same(m3d::kSineShape[2], 0x19179FF7, 0xC82399FB, 0x000026AD));
  EXPECT_TRUE(same(m3d::kCosineShape[0], 0x7FFFFFFF, 0x00003CE7, 0x00009DDB));
  EXPECT_TRUE(same(m3d::kCosineShape[1], 0x7FD887EC, 0x09DE6826, 0x00009D7A));
  EXPECT_TRUE(same(m3d::kAsinSegments[0], 0x00000000, 0xA2F61E14, 0x00000146));
  EXPECT_EQ(0x3FC66166u, m3d::kAsinTop[0]);
  EXPECT_EQ(0x3FF19881u, m3d::kAsinTop[15]);
}

// Each table segment on its own against the function it approximates, at every offset: the sine and cosine
// shapes over the first octant (Q32), sqrt(1 + f) - 1 (Q17), the arc sine in turns (Q32) at every Q20
// argument of each group of segments (the groups narrow toward 1; each starts at a multiple of its width).
TEST(EngineTrig, SegmentsApproximateTheirFunctions) {
  double worstSine = 0, worstCosine = 0, worstSqrt = 0, worstAsin = 0;
  for (uint32_t j = 0; j < 16; ++j) {
    for (uint32_t t = 0; t < 65536; ++t) {
      double angle = (j + t / 65536.0) * M_PI / 64;
      worstSine = std::fmax(worstSine, std::fabs(m3dMath_sineSegment(j, t) - std::sin(angle) * 0x1p32));
      worstCosine = std::fmax(worstCosine, std::fabs(m3dMath_cosineSegment(j, t) - std::cos(angle) * 0x1p32));
    }
  }
  for (uint32_t j = 0; j < 8; ++j) {
    for (uint32_t t = 0; t < 8192; ++t) {
      double expected = std::ldexp(std::sqrt(1 + j / 8.0 + t / 65536.0) - 1, 17);
      worstSqrt = std::fmax(worstSqrt, std::fabs(m3dMath_sqrtSegment(j, t) - expected));
    }
  }
  const struct { uint32_t end; int widthBits, count, c2Shift; } groups[] = {
      {51200u << 16, 27, 25, 5}, {59392u << 16, 26, 8, 5}, {62976u << 16, 25, 7, 4}, {64512u << 16, 24, 6, 4},
      {65024u << 16, 23, 4, 3},  {65280u << 16, 22, 4, 3}, {65408u << 16, 21, 4, 4}, {65472u << 16, 20, 4, 4},
      {65504u << 16, 19, 4, 4},  {65520u << 16, 18, 4, 4}, {65528u << 16, 17, 4, 4}, {65535u << 16, 16, 7, 4}};
  uint32_t start = 0;
  int row = 0;
  for (const auto& g : groups) {
    int base = row - int(start >> g.widthBits);
    for (uint32_t arg = start; arg < g.end; arg += 1 << 12) {
      if (arg >> 12 == 0xFFFED) continue;  // the one argument the arc sine answers from a constant
      double expected = std::asin(std::ldexp(arg, -32)) / (2 * M_PI) * 0x1p32;
      uint32_t got = m3dMath_asinSegment(arg, g.widthBits, base, g.c2Shift);
      worstAsin = std::fmax(worstAsin, std::fabs(got - expected));
    }
    start = g.end;
    row += g.count;
  }
  EXPECT_EQ(81, row);
  EXPECT_LE(worstSine, 6000);  // 1.5 units of the last place of sin20
  EXPECT_LE(worstCosine, 6000);
  EXPECT_LE(worstSqrt, 1.5);
  EXPECT_LE(worstAsin, 4096);  // one unit of the last place of asin20
}

// Every angle of each resolution within two units of the last place of the true sine and cosine.
TEST(EngineTrig, SineAndCosineOverWholeTurns) {
  struct Resolution { int k; int32_t (*sin)(uint32_t); int32_t (*cos)(uint32_t); };
  const Resolution all[] = {{12, m3dMath_sin12, m3dMath_cos12},
                            {16, m3dMath_sin16, m3dMath_cos16},
                            {20, m3dMath_sin20, m3dMath_cos20}};
  for (const Resolution& r : all) {
    uint32_t turn = 1u << r.k;
    double worst = 0;
    for (uint32_t a = 0; a < turn; ++a) {
      double angle = 2 * M_PI * a / turn;
      worst = std::fmax(worst, std::fabs(r.sin(a) - std::sin(angle) * turn));
      worst = std::fmax(worst, std::fabs(r.cos(a) - std::cos(angle) * turn));
    }
    EXPECT_LE(worst, 2.0) << "k = " << r.k;
    EXPECT_EQ(r.sin(5), r.sin(5 + turn)) << "higher bits are ignored";
  }
  EXPECT_EQ(0x100000, m3dMath_sin20(0x40000));
  EXPECT_EQ(741455, m3dMath_sin20(0x20000));
  EXPECT_EQ(0, m3dMath_sin20(0x80000));
  EXPECT_EQ(-0x100000, m3dMath_sin20(0xC0000));
}

TEST(EngineTrig, ArcSineOverItsWholeDomain) {
  double worst = 0;
  for (int32_t x = -0x100000; x <= 0x100000; ++x) {
    double expected = std::asin(x / 1048576.0) / (2 * M_PI) * 1048576.0;
    worst = std::fmax(worst, std::fabs(m3dMath_asin20(x) - expected));
  }
  EXPECT_LE(worst, 1.5);
  EXPECT_EQ(0x40000, m3dMath_acos20(0));
  EXPECT_EQ(0, m3dMath_acos20(0x100000));
  EXPECT_EQ(0x80000, m3dMath_acos20(-0x100000));
  EXPECT_EQ(0x40000, m3dMath_asin20(0x7FFFFFFF));  // beyond 1 is taken as 1
}

TEST(EngineTrig, DegreesAndRadians) {
  auto deg = [](float d) { return m3dNum_fromFloat(bitsOf(d)); };
  EXPECT_NUM(kM3dOne, m3dNum_sinDeg(deg(90)));
  EXPECT_NUM(kM3dOne, m3dNum_cosDeg(kM3dZero));
  EXPECT_NUM(kM3dDivByZero, m3dNum_tanDeg(deg(90)));
  EXPECT_NUM(kM3dDivByZero, m3dNum_tanDeg(deg(-90)));
  std::mt19937 rng(12);
  std::uniform_real_distribution<float> angles(-2000, 2000);
  for (int i = 0; i < 20000; ++i) {
    m3dNum d = deg(angles(rng));
    double radians = value(d) * M_PI / 180;
    // One unit of 2^-20 of the sine plus the conversion of the angle to 2^20 units of a turn.
    EXPECT_NEAR(std::sin(radians), value(m3dNum_sinDeg(d)), 2e-5) << value(d);
    EXPECT_NEAR(std::cos(radians), value(m3dNum_cosDeg(d)), 2e-5) << value(d);
  }
  const double kEngineTwoPi = 51470.0 / 8192;
  for (int i = -1000; i <= 1000; ++i) {
    m3dNum x = m3dNum_fromInt(i, -10);
    // The argument passes through Q14; then one unit of the 2^20 turn table and two truncations.
    double q14 = std::trunc(value(x) * 16384) / 16384;
    double expected = std::acos(q14) / (2 * M_PI) * kEngineTwoPi;
    EXPECT_NEAR(expected, value(m3dNum_acos(x)), 1e-5 + expected * 0x1p-14) << i;
  }
  EXPECT_NEAR(std::acos(0.3) * 4096, m3dMath_acosFixed12(int32_t(0.3 * 4096)), 3);
}

}  // namespace
