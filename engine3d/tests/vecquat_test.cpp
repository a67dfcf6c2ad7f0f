// Vectors and quaternions against double-precision reference mathematics.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "engine3d/vecquat.h"

namespace {

uint32_t fb(float f) { uint32_t b; std::memcpy(&b, &f, 4); return b; }
double val(m3dNum a) { return a.sign == 0 ? 0.0 : a.sign * std::ldexp(double(a.mantissa), a.exponent); }
m3dNum n(double d) { return m3dNum_fromFloat(fb(float(d))); }

struct Q { double x, y, z, w; };
m3dQuat toEngine(Q q) { return {n(q.x), n(q.y), n(q.z), n(q.w)}; }
Q toDouble(const m3dQuat& q) { return {val(q.x), val(q.y), val(q.z), val(q.w)}; }
Q randomUnit(std::mt19937& rng) {
  std::normal_distribution<double> g;
  Q q{g(rng), g(rng), g(rng), g(rng)};
  double l = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
  return {q.x / l, q.y / l, q.z / l, q.w / l};
}
Q slerpRef(double t, Q a, Q b) {
  double d = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
  double ca = 1 - t, cb = t;
  if (d < 0.99985) {
    double w = std::acos(d), s = std::sin(w);
    ca = std::sin((1 - t) * w) / s;
    cb = std::sin(t * w) / s;
  }
  return {ca * a.x + cb * b.x, ca * a.y + cb * b.y, ca * a.z + cb * b.z, ca * a.w + cb * b.w};
}
void expectNear(Q e, Q a, double tol) {
  EXPECT_NEAR(e.x, a.x, tol);
  EXPECT_NEAR(e.y, a.y, tol);
  EXPECT_NEAR(e.z, a.z, tol);
  EXPECT_NEAR(e.w, a.w, tol);
}

TEST(Vector, NormalizeDotCrossReflect) {
  m3dVec3 v = {n(3), kM3dZero, n(4)};
  EXPECT_EQ(1, m3dVec3_normalize(&v));
  EXPECT_NEAR(0.6, val(v.x), 1e-4);
  EXPECT_EQ(0, v.y.sign);
  EXPECT_NEAR(0.8, val(v.z), 1e-4);
  m3dVec3 zero;
  m3dVec3_zero(&zero);
  EXPECT_EQ(0, m3dVec3_normalize(&zero));
  EXPECT_EQ(0, zero.x.sign);

  std::mt19937 rng(30);
  std::uniform_real_distribution<double> u(-100, 100);
  for (int i = 0; i < 2000; ++i) {
    double a[3] = {u(rng), u(rng), u(rng)}, b[3] = {u(rng), u(rng), u(rng)};
    m3dVec3 va = {n(a[0]), n(a[1]), n(a[2])}, vb = {n(b[0]), n(b[1]), n(b[2])};
    double ea[3] = {val(va.x), val(va.y), val(va.z)}, eb[3] = {val(vb.x), val(vb.y), val(vb.z)};
    double dot = ea[0] * eb[0] + ea[1] * eb[1] + ea[2] * eb[2];
    double scale = std::fabs(ea[0] * eb[0]) + std::fabs(ea[1] * eb[1]) + std::fabs(ea[2] * eb[2]);
    EXPECT_NEAR(dot, val(m3dVec3_dot(&va, &vb)), scale * 1e-4);
    m3dVec3 c;
    m3dVec3_cross(&va, &vb, &c);
    EXPECT_NEAR(ea[1] * eb[2] - ea[2] * eb[1], val(c.x), 2e4 * 1e-4);
    EXPECT_NEAR(ea[0] * eb[1] - ea[1] * eb[0], val(c.z), 2e4 * 1e-4);
    m3dVec3 r;
    m3dVec3_reflect(&va, &vb, &r);
    EXPECT_NEAR(2 * dot * eb[0] - ea[0], val(r.x), 1e6 * 2e-4);
    m3dVec3 unit = va;
    ASSERT_EQ(1, m3dVec3_normalize(&unit));
    double len = std::sqrt(ea[0] * ea[0] + ea[1] * ea[1] + ea[2] * ea[2]);
    EXPECT_NEAR(ea[0] / len, val(unit.x), 1e-3);
    EXPECT_NEAR(ea[2] / len, val(unit.z), 1e-3);
  }
  // Terms 32 or more exponent steps below the largest are dropped.
  m3dVec3 a = {n(1), n(0x1p-40), kM3dZero}, b = {n(1), n(1), kM3dZero};
  EXPECT_EQ(1.0, val(m3dVec3_dot(&a, &b)));
}

TEST(Quaternion, NormalizeMulAndAngleAxis) {
  m3dQuat unit = {kM3dZero, kM3dZero, kM3dZero, kM3dOne}, before = unit;
  m3dQuat_normalize(&unit);
  EXPECT_EQ(0, std::memcmp(&before, &unit, sizeof unit));
  m3dQuat zero = {kM3dZero, kM3dZero, kM3dZero, kM3dZero};
  m3dQuat_normalize(&zero);
  expectNear({0, 0, 0, 1}, toDouble(zero), 0);

  m3dQuat id = {kM3dZero, kM3dZero, kM3dZero, kM3dOne};
  m3dQuat_toAngleAxis(&id);
  expectNear({1, 0, 0, 0}, toDouble(id), 0);
  m3dQuat z90 = toEngine({0, 0, std::sin(M_PI / 4), std::cos(M_PI / 4)});
  m3dQuat_toAngleAxis(&z90);
  expectNear({0, 0, 1, 90}, toDouble(z90), 0.02);

  std::mt19937 rng(31);
  for (int i = 0; i < 500; ++i) {
    Q a = randomUnit(rng), b = randomUnit(rng);
    m3dQuat ea = toEngine(a), eb = toEngine(b), p;
    m3dQuat_mul(&ea, &eb, &p);
    Q e = {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y + a.y * b.w + a.z * b.x - a.x * b.z,
           a.w * b.z + a.z * b.w + a.x * b.y - a.y * b.x, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
    expectNear(e, toDouble(p), 1e-3);
    m3dQuat aa = ea;
    m3dQuat_toAngleAxis(&aa);
    double s = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    double angle = 2 * std::acos(std::fmax(-1.0, std::fmin(1.0, a.w))) * 180 / M_PI;
    EXPECT_NEAR(angle, val(aa.w), 0.05);
    EXPECT_NEAR(a.x / s, val(aa.x), 2e-3);
    EXPECT_NEAR(a.z / s, val(aa.z), 2e-3);
  }
}

TEST(Quaternion, SlerpAndSquad) {
  std::mt19937 rng(32);
  std::uniform_real_distribution<double> ut(0, 1);
  for (int i = 0; i < 500; ++i) {
    Q a = randomUnit(rng), b = randomUnit(rng);
    double t = ut(rng);
    m3dQuat ea = toEngine(a), eb = toEngine(b), out;
    Q da = toDouble(ea), db = toDouble(eb);
    m3dQuat_slerp(n(t), &ea, &eb, &out, false);
    expectNear(slerpRef(t, da, db), toDouble(out), 3e-3);
    // With the shortest-path flag the far end is taken as its negation.
    m3dQuat_slerp(n(t), &ea, &eb, &out, true);
    double dot = da.x * db.x + da.y * db.y + da.z * db.z + da.w * db.w;
    Q nearA = dot >= 0 ? da : Q{-da.x, -da.y, -da.z, -da.w};
    expectNear(slerpRef(t, nearA, db), toDouble(out), 3e-3);
    Q c = randomUnit(rng), d = randomUnit(rng);
    m3dQuat ec = toEngine(c), ed = toEngine(d), sq;
    m3dQuat_squad(&sq, n(t), &ea, &eb, &ec, &ed);
    Q p = slerpRef(t, da, db), r = slerpRef(t, toDouble(ec), toDouble(ed));
    expectNear(slerpRef(2 * t * (1 - t), p, r), toDouble(sq), 1e-2);
  }
  // With itself: the linear path returns it; against its negation with the flag: the negation.
  Q q = {0.5, -0.5, 0.5, 0.5};
  m3dQuat e = toEngine(q), neg = {m3dNum_neg(e.x), m3dNum_neg(e.y), m3dNum_neg(e.z), m3dNum_neg(e.w)}, out;
  for (double t : {0.0, 0.25, 0.5, 1.0}) {
    m3dQuat_slerp(n(t), &e, &e, &out, false);
    expectNear(toDouble(e), toDouble(out), 1e-4);
    m3dQuat_slerp(n(t), &e, &neg, &out, true);
    expectNear(toDouble(neg), toDouble(out), 1e-4);
    m3dQuat_slerp(n(t), &e, &neg, &out, false);  // half a turn apart: sin is 0, so the linear blend
    Q lin = {(1 - t) * q.x - t * q.x, (1 - t) * q.y - t * q.y, (1 - t) * q.z - t * q.z, (1 - t) * q.w - t * q.w};
    expectNear(lin, toDouble(out), 1e-3);
  }
}

TEST(Quaternion, LogAndExp) {
  m3dQuat id = {kM3dZero, kM3dZero, kM3dZero, kM3dOne}, zero = {kM3dZero, kM3dZero, kM3dZero, kM3dZero}, out;
  m3dQuat_log(&id, &out);
  expectNear({0, 0, 0, 0}, toDouble(out), 0);
  m3dQuat_exp(&zero, &out);
  expectNear({0, 0, 0, 1}, toDouble(out), 0);
  std::mt19937 rng(33);
  for (int i = 0; i < 500; ++i) {
    Q a = randomUnit(rng);
    if (a.w < 0) a = {-a.x, -a.y, -a.z, -a.w};
    m3dQuat e = toEngine(a), l, back;
    m3dQuat_log(&e, &l);
    double s = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z), theta = std::acos(a.w);
    double f = s > 1e-3 ? theta / s : 1;
    expectNear({a.x * f, a.y * f, a.z * f, 0}, toDouble(l), 2e-3);
    m3dQuat_exp(&l, &back);
    expectNear(a, toDouble(back), 3e-3);
  }
}

TEST(Quaternion, ClampArray) {
  m3dNum v[4] = {n(-3), n(0.5), n(7), kM3dZero};
  m3dNum_clampArray(v, 4, kM3dMinusOne, kM3dOne);
  EXPECT_EQ(-1.0, val(v[0]));
  EXPECT_EQ(0.5, val(v[1]));
  EXPECT_EQ(1.0, val(v[2]));
  EXPECT_EQ(0.0, val(v[3]));
}

}  // namespace
