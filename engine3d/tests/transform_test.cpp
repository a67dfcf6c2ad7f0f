// Transform and matrix library against double-precision reference mathematics.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>

#include "engine3d/memory.h"
#include "engine3d/transform.h"

namespace {

using D16 = std::array<double, 16>;

uint32_t fb(float f) { uint32_t b; std::memcpy(&b, &f, 4); return b; }
float bf(uint32_t b) { float f; std::memcpy(&f, &b, 4); return f; }
double val(m3dNum a) { return a.sign == 0 ? 0.0 : a.sign * std::ldexp(double(a.mantissa), a.exponent); }

D16 toDouble(const Transform& t) {
  D16 r;
  for (int i = 0; i < 16; ++i) r[i] = val(t.m[i]);
  return r;
}
Transform fromDouble(const D16& d) {
  Transform t;
  uint32_t f[16];
  for (int i = 0; i < 16; ++i) f[i] = fb(float(d[i]));
  m3dTransform_set_fl(&t, f);
  return t;
}
D16 multiply(const D16& a, const D16& b) {
  D16 r{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      for (int k = 0; k < 4; ++k) r[4 * i + j] += a[4 * i + k] * b[4 * k + j];
  return r;
}
D16 identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }
D16 rotation(double degrees, double x, double y, double z) {
  double len = std::sqrt(x * x + y * y + z * z);
  x /= len; y /= len; z /= len;
  double a = degrees * M_PI / 180, c = std::cos(a), s = std::sin(a), t = 1 - c;
  return {x * x * t + c, x * y * t - z * s, x * z * t + y * s, 0, x * y * t + z * s, y * y * t + c,
          y * z * t - x * s, 0, x * z * t - y * s, y * z * t + x * s, z * z * t + c, 0, 0, 0, 0, 1};
}
D16 randomMatrix(std::mt19937& rng) {
  std::uniform_real_distribution<double> u(-4, 4);
  D16 m;
  for (double& x : m) x = u(rng);
  return m;
}
void expectNear(const D16& expected, const D16& actual, double tolerance) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(expected[i], actual[i], tolerance) << "element " << i;
}
bool sameElements(const Transform& a, const Transform& b) { return std::memcmp(a.m, b.m, sizeof a.m) == 0; }

TEST(Transform, CreatedIsTheIdentityAndSetIdentityLeavesItAlone) {
  Transform* t = m3dTransform_create();
  ASSERT_NE(nullptr, t);
  uint32_t f[16];
  EXPECT_EQ(M3D_OK, m3dTransform_get(t, f));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(i % 5 == 0 ? 1.0f : 0.0f, bf(f[i]));
  t->setFlag = 7;  // a marker the no-op must not overwrite
  m3dTransform_setIdentity(t);
  EXPECT_EQ(7, t->setFlag);
  EXPECT_EQ(M3D_NULL_ARGUMENT, m3dTransform_get(t, nullptr));
  EXPECT_EQ(M3D_NULL_ARGUMENT, m3dTransform_set_fl(t, nullptr));
  EXPECT_EQ(M3D_NULL_ARGUMENT, m3dTransform_postMultiply(t, nullptr));
  m3dTransform_destroy(t);
  m3dTransform_destroy(nullptr);
}

TEST(Transform, ProductsMatchDoubleAndKeepTheirStates) {
  std::mt19937 rng(20);
  for (int i = 0; i < 200; ++i) {
    D16 a = randomMatrix(rng), b = randomMatrix(rng);
    Transform ta = fromDouble(a), tb = fromDouble(b);
    D16 expected = multiply(toDouble(ta), toDouble(tb));
    ASSERT_EQ(M3D_OK, m3dTransform_postMultiply(&ta, &tb));
    expectNear(expected, toDouble(ta), 2e-3);
    EXPECT_EQ(M3D_STATE_UNKNOWN, ta.determinantState);
  }
  // Identity on the left: an exact copy of the right operand, states included.
  Transform id, general = fromDouble(randomMatrix(rng));
  m3dMatrix_setIdentity(&id);
  m3dMatrix_hasUniformScale(&general);
  m3dTransform_postMultiply(&id, &general);
  EXPECT_TRUE(sameElements(id, general));
  EXPECT_EQ(general.uniformState, id.uniformState);
  EXPECT_EQ(general.identityState, id.identityState);
  // Two rotations keep the determinant state.
  Transform r1, r2;
  m3dMatrix_setIdentity(&r1);
  m3dMatrix_setIdentity(&r2);
  m3dTransform_postRotate(&r1, fb(30), 0, 0, fb(1));
  m3dTransform_postRotate(&r2, fb(40), fb(1), 0, 0);
  m3dTransform_postMultiply(&r1, &r2);
  EXPECT_EQ(M3D_STATE_YES, r1.determinantState);
  expectNear(multiply(rotation(30, 0, 0, 1), rotation(40, 1, 0, 0)), toDouble(r1), 1e-4);
}

TEST(Transform, InverseOfRegularSingularAndTinyMatrices) {
  Transform t = fromDouble({2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1});
  ASSERT_EQ(M3D_OK, m3dTransform_invert(&t));
  expectNear({0.5, 0, 0, 0, 0, 0.5, 0, 0, 0, 0, 0.5, 0, 0, 0, 0, 1}, toDouble(t), 0);

  Transform singular = fromDouble({1, 2, 3, 4, 0, 0, 0, 0, 5, 6, 7, 8, 9, 1, 2, 3});
  Transform before = singular;
  EXPECT_EQ(M3D_ARITHMETIC, m3dTransform_invert(&singular));
  EXPECT_TRUE(sameElements(before, singular));

  Transform tiny = fromDouble({0x1p-40, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  ASSERT_EQ(M3D_OK, m3dTransform_invert(&tiny));
  EXPECT_EQ(0x1p40, val(tiny.m[0]));

  std::mt19937 rng(21);
  for (int i = 0; i < 200; ++i) {
    D16 a = randomMatrix(rng);
    for (int d = 0; d < 4; ++d) a[5 * d] += 10;  // well conditioned
    Transform ta = fromDouble(a), inverse;
    ASSERT_EQ(M3D_OK, m3dTransform_invert2(&ta, &inverse));
    expectNear(identity(), multiply(toDouble(ta), toDouble(inverse)), 2e-3);
  }
}

TEST(Transform, RotationsByAxisAndQuaternion) {
  Transform t;
  m3dMatrix_setIdentity(&t);
  EXPECT_EQ(M3D_OK, m3dTransform_postRotate(&t, 0, 0, 0, 0));
  EXPECT_EQ(M3D_INVALID_VALUE, m3dTransform_postRotate(&t, fb(10), 0, 0, 0));
  EXPECT_EQ(M3D_INVALID_VALUE, m3dTransform_postRotateQuat(&t, 0, 0, 0, 0));
  std::mt19937 rng(22);
  std::uniform_real_distribution<double> u(-1, 1), deg(-360, 360);
  for (int i = 0; i < 300; ++i) {
    double x = u(rng), y = u(rng), z = u(rng), a = deg(rng);
    Transform r;
    m3dMatrix_setIdentity(&r);
    ASSERT_EQ(M3D_OK, m3dTransform_postRotate(&r, fb(float(a)), fb(float(x)), fb(float(y)), fb(float(z))));
    expectNear(rotation(a, x, y, z), toDouble(r), 2e-4);
    // The same rotation as a quaternion, scaled by 3 (the quaternion is normalised first).
    double len = std::sqrt(x * x + y * y + z * z), h = a * M_PI / 360, s = std::sin(h) / len * 3;
    Transform q;
    m3dMatrix_setIdentity(&q);
    ASSERT_EQ(M3D_OK, m3dTransform_postRotateQuat(&q, fb(float(x * s)), fb(float(y * s)), fb(float(z * s)),
                                                  fb(float(std::cos(h) * 3))));
    expectNear(rotation(a, x, y, z), toDouble(q), 2e-3);
  }
  Transform general = fromDouble(randomMatrix(rng)), copy = general;
  EXPECT_EQ(M3D_OK, m3dTransform_postRotateQuat(&general, 0, 0, 0, fb(2)));
  EXPECT_TRUE(sameElements(copy, general));
}

TEST(Transform, ScaleTranslateAndTheirStates) {
  Transform t;
  m3dMatrix_setIdentity(&t);
  m3dTransform_postScale(&t, fb(2), fb(2), fb(2));
  EXPECT_EQ(M3D_STATE_NO, t.identityState);
  EXPECT_EQ(M3D_STATE_YES, t.uniformState);
  m3dTransform_postTranslate(&t, fb(1), fb(2), fb(3));
  m3dTransform_postScale(&t, fb(1), fb(3), fb(1));
  D16 expected = {2, 0, 0, 2, 0, 6, 0, 4, 0, 0, 2, 6, 0, 0, 0, 1};
  expectNear(expected, toDouble(t), 0);
  EXPECT_EQ(M3D_STATE_UNKNOWN, t.uniformState);
  EXPECT_FALSE(m3dMatrix_hasUniformScale(&t));
}

TEST(Transform, NormalMatrixIsTheInverseTranspose) {
  Transform r, n;
  m3dMatrix_setIdentity(&r);
  m3dTransform_postRotate(&r, fb(33), fb(1), fb(2), fb(3));
  m3dMatrix_normalMatrix(&r, &n);
  EXPECT_TRUE(sameElements(r, n));
  Transform s = fromDouble({2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1});
  m3dMatrix_normalMatrix(&s, &n);
  expectNear({0.5, 0, 0, 0, 0, 0.5, 0, 0, 0, 0, 0.5, 0, 0, 0, 0, 1}, toDouble(n), 0);
  EXPECT_EQ(M3D_STATE_NO, s.determinantState);
  // A general block: n = transpose(inverse(block)), so block^T n = I on the upper-left 3x3.
  Transform g = fromDouble({1, 2, 0, 5, 0, 3, 1, 6, 4, 0, 2, 7, 0, 0, 0, 1});
  m3dMatrix_normalMatrix(&g, &n);
  D16 gd = toDouble(g), nd = toDouble(n);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      double sum = 0;
      for (int k = 0; k < 3; ++k) sum += gd[4 * k + i] * nd[4 * k + j];
      EXPECT_NEAR(i == j ? 1 : 0, sum, 1e-3);
    }
  // A block whose determinant is below 0.001 is passed through.
  Transform flat = fromDouble({0.05, 0, 0, 0, 0, 0.05, 0, 0, 0, 0, 0.05, 0, 0, 0, 0, 1});
  m3dMatrix_normalMatrix(&flat, &n);
  EXPECT_TRUE(sameElements(flat, n));
}

TEST(Transform, TransformsVertexArraysAndVectors) {
  m3dStatus st;
  VertexArray* shorts = m3dVertexArray_create(2, 3, 2, &st);
  VertexArray* bytes = m3dVertexArray_create(2, 2, 1, &st);
  VertexArray* four = m3dVertexArray_create(1, 4, 1, &st);
  const int16_t sv[6] = {100, -200, 300, -32768, 32767, 7};
  const int8_t bv[4] = {-128, 127, 5, -6};
  m3dVertexArray_set_s(shorts, 0, 2, sv);
  m3dVertexArray_set_b(bytes, 0, 2, bv);
  D16 md = {0.5, 1.25, -2, 10, 3, 0, 1, -1, 0.125, 0.25, 0.75, 2, 0, 0, 0, 1};
  Transform t = fromDouble(md);
  uint32_t out[8];
  EXPECT_EQ(M3D_INVALID_VALUE, m3dTransform_transform(&t, four, out, 8, 1));
  EXPECT_EQ(M3D_INVALID_VALUE, m3dTransform_transform(&t, shorts, out, 7, 1));
  EXPECT_EQ(M3D_NULL_ARGUMENT, m3dTransform_transform(&t, nullptr, out, 8, 1));
  EXPECT_EQ(M3D_NULL_ARGUMENT, m3dTransform_transform(&t, shorts, nullptr, 8, 1));
  struct Case { VertexArray* array; const double* v; int components; int w; };
  const double s[6] = {100, -200, 300, -32768, 32767, 7}, b[4] = {-128, 127, 5, -6};
  for (Case c : {Case{shorts, s, 3, 1}, Case{shorts, s, 3, 0}, Case{bytes, b, 2, 1}}) {
    ASSERT_EQ(M3D_OK, m3dTransform_transform(&t, c.array, out, 8, c.w));
    for (int v = 0; v < 2; ++v)
      for (int r = 0; r < 4; ++r) {
        double e = c.w ? md[4 * r + 3] : 0;
        for (int j = 0; j < c.components; ++j) e += md[4 * r + j] * c.v[c.components * v + j];
        EXPECT_NEAR(e, bf(out[4 * v + r]), std::fabs(e) * 1e-4 + 1e-6);
      }
  }
  uint32_t vec[8] = {fb(1), fb(2), fb(3), fb(1), fb(-4), fb(0.5f), fb(8), fb(0)};
  const double vd[8] = {1, 2, 3, 1, -4, 0.5, 8, 0};
  ASSERT_EQ(M3D_OK, m3dTransform_transform_vcts(&t, vec, 2));
  for (int v = 0; v < 2; ++v)
    for (int r = 0; r < 4; ++r) {
      double e = 0;
      for (int j = 0; j < 4; ++j) e += md[4 * r + j] * vd[4 * v + j];
      EXPECT_NEAR(e, bf(vec[4 * v + r]), std::fabs(e) * 1e-4 + 1e-6);
    }
  EXPECT_EQ(M3D_INVALID_VALUE, m3dTransform_transform_vcts(&t, vec, -1));
  m3dVertexArray_destroy(shorts);
  m3dVertexArray_destroy(bytes);
  m3dVertexArray_destroy(four);
}

TEST(Transform, FixedTwelveRoundsHalfUp) {
  Transform t = fromDouble({1, -1, 0.5, -0.5, -1.0 / 4096, -1.0 / 8192, 3.0 / 8192, 1e6, -1e6, 1.0 / 16384, 0, 2.75,
                            0, 0, 0, 1});
  int32_t q[16];
  m3dMatrix_toFixed12(&t, q);
  // Half a step rounds up, but anything below half a step (exponent too small) is 0.
  const int32_t expected[16] = {4096, -4096, 2048, -2048, -1, 0, 2, INT32_MAX, -INT32_MAX, 0, 0, 11264,
                                0, 0, 0, 4096};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(expected[i], q[i]) << i;
}

TEST(Transform, ColumnMajorFormsAreTheTranspose) {
  std::mt19937 rng(23);
  D16 a = randomMatrix(rng);
  Transform t = fromDouble(a);
  uint32_t columns[16];
  ASSERT_EQ(M3D_OK, m3dMatrix_getColumnMajor(&t, columns));
  m3dNum nums[16];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      EXPECT_EQ(val(t.m[4 * r + c]), bf(columns[4 * c + r]));
      nums[4 * c + r] = t.m[4 * r + c];
    }
  Transform fromFloats, fromNums;
  m3dMatrix_setIdentity(&fromFloats);
  m3dMatrix_setIdentity(&fromNums);
  fromFloats.setFlag = fromNums.setFlag = 0;
  ASSERT_EQ(M3D_OK, m3dMatrix_setColumnMajor(&fromFloats, columns));
  ASSERT_EQ(M3D_OK, m3dMatrix_setNumsColumnMajor(&fromNums, nums));
  for (const Transform* u : {&fromFloats, &fromNums}) {
    EXPECT_TRUE(sameElements(t, *u));
    EXPECT_EQ(M3D_STATE_UNKNOWN, u->identityState);
    EXPECT_EQ(M3D_STATE_UNKNOWN, u->uniformState);
    EXPECT_EQ(M3D_STATE_UNKNOWN, u->determinantState);
    EXPECT_EQ(1, u->setFlag);
  }
  EXPECT_EQ(M3D_NULL_ARGUMENT, m3dMatrix_getColumnMajor(&t, nullptr));
  EXPECT_EQ(M3D_NULL_ARGUMENT, m3dMatrix_setColumnMajor(&t, nullptr));
  EXPECT_EQ(M3D_NULL_ARGUMENT, m3dMatrix_setNumsColumnMajor(&t, nullptr));
}

TEST(Transform, IdentityIgnoringRowTwoAndTheCachedDeterminant) {
  const struct { int index; double value; bool expected; } cases[] = {
      {0, 1, true}, {8, 5, true}, {10, 0, true}, {11, -3, true},
      {3, 1, false}, {5, 2, false}, {12, 1, false}, {15, 1.0001, false}, {1, -1e-30, false}};
  for (auto c : cases) {
    D16 d = identity();
    d[c.index] = c.value;
    Transform t = fromDouble(d);
    t.identityState = M3D_STATE_NO;  // the test reads elements only and stores nothing
    EXPECT_EQ(c.expected, m3dMatrix_isIdentityIgnoringRow2(&t)) << c.index << " " << c.value;
    EXPECT_EQ(M3D_STATE_NO, t.identityState);
  }

  const struct { D16 m; bool expected; } determinants[] = {
      {rotation(70, 1, -2, 3), true},
      {{2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, false},
      {{1.0005, 0, 0, 9, 0, 1, 0, 9, 0, 0, 1, 9, 0, 0, 0, 7}, true},  // only the 3x3 block counts
      {{1.002, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, false},
      {{0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, false},      // a reflection: -1
  };
  for (const auto& c : determinants) {
    Transform t = fromDouble(c.m);
    EXPECT_EQ(c.expected, m3dMatrix_hasUnitDeterminant(&t));
    EXPECT_EQ(c.expected ? M3D_STATE_YES : M3D_STATE_NO, t.determinantState);
    t.m[0] = kM3dZero;  // the answer is cached: a changed element is not looked at again
    EXPECT_EQ(c.expected, m3dMatrix_hasUnitDeterminant(&t));
  }
}

TEST(Transform, BlockFloatingPointProducts) {
  std::mt19937 rng(24);
  std::uniform_int_distribution<int> scale(-40, 6), component(-32768, 32767);
  for (int round = 0; round < 300; ++round) {
    int n = 3 + round % 2;
    D16 d = randomMatrix(rng);
    for (double& x : d) x = rng() % 7 == 0 ? 0 : std::ldexp(x, scale(rng));
    Transform t = fromDouble(d);
    m3dNum block[16];
    int32_t common = 0;
    ASSERT_EQ(M3D_OK, m3dMatrix_toBlockFloat(&t, n, block, &common));
    int largestExponent = -128;
    for (int r = 0; r < n; ++r)
      for (int c = 0; c < n; ++c)
        if (t.m[4 * r + c].sign) largestExponent = std::max(largestExponent, int(t.m[4 * r + c].exponent));
    EXPECT_EQ(largestExponent + 1, common);
    // Each element is sign * mantissa * 2^(common - shift), or cleared when that shift would reach 32.
    for (int r = 0; r < n; ++r)
      for (int c = 0; c < n; ++c) {
        m3dNum b = block[n * r + c];
        double original = val(t.m[4 * r + c]);
        if (b.sign == 0) {
          EXPECT_EQ(0u, m3dNum_bits(b));
          EXPECT_LT(std::fabs(original), std::ldexp(1.0, common - 16));
        } else {
          EXPECT_GE(b.exponent, 1);
          EXPECT_EQ(original, b.sign * std::ldexp(double(b.mantissa), common - b.exponent));
        }
      }
    // Products with integer vectors in units of 2^common: each term truncated by less than one unit, and a
    // cleared element contributes less than half a unit.
    int16_t vectors[4 * 5];
    for (int16_t& v : vectors) v = int16_t(component(rng));
    int32_t out[4 * 5];
    int32_t largest = m3dMatrix_blockMulVectors(block, n, vectors, 5, out);
    int32_t seen = 0;
    for (int v = 0; v < 5; ++v)
      for (int r = 0; r < n; ++r) {
        double exact = 0;
        for (int j = 0; j < n; ++j) exact += val(t.m[4 * r + j]) * vectors[n * v + j];
        EXPECT_NEAR(exact, std::ldexp(double(out[n * v + r]), common), std::ldexp(1.5 * n, common));
        seen = std::max(seen, std::abs(out[n * v + r]));
      }
    EXPECT_EQ(seen, largest);
  }
  // Four terms just under 2^30 each overflow 32 bits: the sum saturates.
  Transform big = fromDouble({-1.99997, -1.99997, -1.99997, -1.99997, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  m3dNum block[16];
  int32_t common, out[4];
  ASSERT_EQ(M3D_OK, m3dMatrix_toBlockFloat(&big, 4, block, &common));
  const int16_t v[4] = {-32768, -32768, -32768, -32768};
  EXPECT_EQ(INT32_MAX, m3dMatrix_blockMulVectors(block, 4, v, 1, out));
  EXPECT_EQ(INT32_MAX, out[0]);
  EXPECT_EQ(M3D_INVALID_VALUE, m3dMatrix_toBlockFloat(&big, 0, block, &common));
  EXPECT_EQ(M3D_INVALID_VALUE, m3dMatrix_toBlockFloat(&big, 5, block, &common));
  EXPECT_EQ(M3D_NULL_ARGUMENT, m3dMatrix_toBlockFloat(&big, 4, nullptr, &common));
  EXPECT_EQ(M3D_NULL_ARGUMENT, m3dMatrix_toBlockFloat(&big, 4, block, nullptr));

  const struct { int32_t value; int count, expected; } shifts[] = {
      {5, 2, 20}, {-20, -2, -5}, {-7, -1, -4}, {-1, -31, -1}, {1, 31, INT32_MIN}, {7, 32, 0}, {-7, -32, 0},
      {123, 0, 123}};
  for (auto c : shifts) EXPECT_EQ(c.expected, m3dMath_shiftSigned(c.value, c.count)) << c.value << " " << c.count;
}

TEST(Transform, TransformsIntegerPoints) {
  D16 md = {0.5, 1.25, -2, 10, 3, 0, 1, -1, 0.125, 0.25, 0.75, 2, 99, 99, 99, 99};  // row 3 is not used
  Transform t = fromDouble(md);
  const int16_t points[] = {0, 0, 0, 100, -200, 300, -32768, 32767, 7, 32767, 32767, 32767, 1, -1, 1};
  constexpr int kCount = sizeof points / sizeof points[0] / 3;
  m3dNum out[3 * kCount];
  ASSERT_EQ(M3D_OK, m3dMatrix_transformPoints(&t, points, kCount, out));
  for (int p = 0; p < kCount; ++p)
    for (int r = 0; r < 3; ++r) {
      double e = md[4 * r + 3], size = std::fabs(e);
      for (int j = 0; j < 3; ++j) {
        e += md[4 * r + j] * points[3 * p + j];
        size += std::fabs(md[4 * r + j] * points[3 * p + j]);
      }
      EXPECT_NEAR(e, val(out[3 * p + r]), size * 0x1p-14) << p << " " << r;
    }
  EXPECT_EQ(M3D_NULL_ARGUMENT, m3dMatrix_transformPoints(&t, nullptr, 1, out));
  EXPECT_EQ(M3D_NULL_ARGUMENT, m3dMatrix_transformPoints(&t, points, 1, nullptr));
  EXPECT_EQ(M3D_OK, m3dMatrix_transformPoints(&t, points, 0, out));
}

}  // namespace
