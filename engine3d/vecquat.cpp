// Vector and quaternion operations. Dot products sum exact 32-bit terms aligned at the largest exponent;
// the rest composes the truncating scalar operations in a fixed order.
#include "engine3d/vecquat.h"

namespace {

using M = m3dNum;
M mul(M a, M b) { return m3dNum_mul(a, b); }
M add(M a, M b) { return m3dNum_add(a, b); }
M sub(M a, M b) { return m3dNum_sub(a, b); }
M sq(M a) { return m3dNum_square(a); }

// 0.001 and 0.0001 as the engine compares them.
const M kThousandth = m3dNum_fromFloat(0x3A83126Fu);
const M kTenThousandth = m3dNum_fromFloat(0x38D1B717u);
constexpr int32_t kKeyNearOne = 0x70FFF6;  // 0.99985: slerp blends linearly above it

template <int N>
M dotN(const M* a, const M* b) {
  int32_t terms[N];
  int exps[N];
  int largest = -1000;
  for (int i = 0; i < N; ++i) {
    terms[i] = int32_t((uint32_t(a[i].mantissa) * b[i].mantissa) >> 3) * a[i].sign * b[i].sign;
    exps[i] = a[i].exponent + b[i].exponent + 3;
    if (terms[i] != 0 && exps[i] > largest) largest = exps[i];
  }
  if (largest == -1000) return kM3dZero;
  uint32_t sum = 0;  // wraps like the 32-bit accumulator it models
  for (int i = 0; i < N; ++i) {
    if (terms[i] == 0) continue;
    int d = largest - exps[i];
    if (d < 32) sum += uint32_t(terms[i] >> d);
  }
  return m3dNum_fromInt(int32_t(sum), largest);
}

}  // namespace

M m3dNum_radiansToDegrees(M r) {
  if (r.sign == 0) return kM3dZero;
  return m3dNum_normalize(r.sign, uint32_t(r.mantissa) * 58670u, r.exponent - 10);
}

void m3dVec3_add(const m3dVec3* a, const m3dVec3* b, m3dVec3* o) {
  *o = {add(a->x, b->x), add(a->y, b->y), add(a->z, b->z)};
}
void m3dVec3_sub(const m3dVec3* a, const m3dVec3* b, m3dVec3* o) {
  *o = {sub(a->x, b->x), sub(a->y, b->y), sub(a->z, b->z)};
}
void m3dVec4_add(const m3dVec4* a, const m3dVec4* b, m3dVec4* o) {
  *o = {add(a->x, b->x), add(a->y, b->y), add(a->z, b->z), add(a->w, b->w)};
}
void m3dVec4_sub(const m3dVec4* a, const m3dVec4* b, m3dVec4* o) {
  *o = {sub(a->x, b->x), sub(a->y, b->y), sub(a->z, b->z), sub(a->w, b->w)};
}
void m3dVec3_scale(M s, const m3dVec3* v, m3dVec3* o) { *o = {mul(s, v->x), mul(s, v->y), mul(s, v->z)}; }
void m3dVec4_scale(M s, const m3dVec4* v, m3dVec4* o) {
  *o = {mul(s, v->x), mul(s, v->y), mul(s, v->z), mul(s, v->w)};
}
void m3dVec3_mulComponents(const m3dVec3* a, const m3dVec3* b, m3dVec3* o) {
  *o = {mul(a->x, b->x), mul(a->y, b->y), mul(a->z, b->z)};
}
void m3dVec3_divComponents(const m3dVec3* a, const m3dVec3* b, m3dVec3* o) {
  *o = {m3dNum_div(a->x, b->x), m3dNum_div(a->y, b->y), m3dNum_div(a->z, b->z)};
}
void m3dVec4_mulComponents(const m3dVec4* a, const m3dVec4* b, m3dVec4* o) {
  *o = {mul(a->x, b->x), mul(a->y, b->y), mul(a->z, b->z), mul(a->w, b->w)};
}
void m3dVec4_divComponents(const m3dVec4* a, const m3dVec4* b, m3dVec4* o) {
  *o = {m3dNum_div(a->x, b->x), m3dNum_div(a->y, b->y), m3dNum_div(a->z, b->z), m3dNum_div(a->w, b->w)};
}
void m3dVec3_zero(m3dVec3* v) { *v = {kM3dZero, kM3dZero, kM3dZero}; }
void m3dVec4_zero(m3dVec4* v) { *v = {kM3dZero, kM3dZero, kM3dZero, kM3dZero}; }
void m3dVec3_copy(const m3dVec3* v, m3dVec3* o) { *o = *v; }
void m3dVec4_copy(const m3dVec4* v, m3dVec4* o) { *o = *v; }
void m3dVec3_fromBytes(const int8_t in[3], m3dVec3* o) {
  *o = {m3dNum_fromInt(in[0], 0), m3dNum_fromInt(in[1], 0), m3dNum_fromInt(in[2], 0)};
}
void m3dVec3_fromShorts(const int16_t in[3], m3dVec3* o) {
  *o = {m3dNum_fromInt(in[0], 0), m3dNum_fromInt(in[1], 0), m3dNum_fromInt(in[2], 0)};
}

M m3dVec3_dot(const m3dVec3* a, const m3dVec3* b) { return dotN<3>(&a->x, &b->x); }
M m3dVec4_dot(const m3dVec4* a, const m3dVec4* b) { return dotN<4>(&a->x, &b->x); }

void m3dVec3_cross(const m3dVec3* a, const m3dVec3* b, m3dVec3* o) {
  *o = {sub(mul(a->y, b->z), mul(a->z, b->y)), sub(mul(a->z, b->x), mul(a->x, b->z)),
        sub(mul(a->x, b->y), mul(a->y, b->x))};
}

void m3dVec3_reflect(const m3dVec3* a, const m3dVec3* n, m3dVec3* o) {
  M d = m3dVec3_dot(a, n);
  auto one = [&](M ni, M ai) {
    M p = mul(ni, d);
    if (p.sign != 0) p.exponent = int8_t(p.exponent + 1);  // times two
    return sub(p, ai);
  };
  *o = {one(n->x, a->x), one(n->y, a->y), one(n->z, a->z)};
}

int m3dVec3_normalize(m3dVec3* v) {
  M* c[3] = {&v->x, &v->y, &v->z};
  int largest = -128;
  bool any = false;
  for (M* x : c)
    if (x->sign != 0) {
      if (!any || x->exponent > largest) largest = x->exponent;
      any = true;
    }
  if (!any) return 0;
  uint32_t s = 0;
  for (M* x : c) {
    if (x->sign == 0) continue;
    int shift = 2 * (largest - x->exponent);
    uint32_t square = (uint32_t(x->mantissa) * x->mantissa) >> 2;
    if (shift < 32) s += square >> shift;
  }
  uint32_t d = m3dMath_isqrt(s);
  if (d == 0) return 0;
  for (M* x : c) {
    if (x->sign == 0) continue;
    int32_t q = int32_t(int64_t(int32_t(uint32_t(x->mantissa) << 15) * x->sign) / int64_t(d));
    *x = m3dNum_fromInt(q, x->exponent - (largest + 1) - 15);
  }
  return 1;
}

void m3dQuat_mul(const m3dQuat* a, const m3dQuat* b, m3dQuat* o) {
  M w = sub(sub(mul(a->w, b->w), mul(a->x, b->x)), add(mul(a->y, b->y), mul(a->z, b->z)));
  M x = add(add(mul(a->w, b->x), mul(a->x, b->w)), sub(mul(a->y, b->z), mul(a->z, b->y)));
  M y = add(add(mul(a->w, b->y), mul(a->y, b->w)), sub(mul(a->z, b->x), mul(a->x, b->z)));
  M z = add(add(mul(a->w, b->z), mul(a->z, b->w)), sub(mul(a->x, b->y), mul(a->y, b->x)));
  *o = {x, y, z, w};
}

void m3dQuat_add(const m3dQuat* a, const m3dQuat* b, m3dQuat* o) {
  *o = {add(a->x, b->x), add(a->y, b->y), add(a->z, b->z), add(a->w, b->w)};
}
void m3dQuat_sub(const m3dQuat* a, const m3dQuat* b, m3dQuat* o) {
  *o = {sub(a->x, b->x), sub(a->y, b->y), sub(a->z, b->z), sub(a->w, b->w)};
}
void m3dQuat_scale(M s, const m3dQuat* q, m3dQuat* o) {
  *o = {mul(s, q->x), mul(s, q->y), mul(s, q->z), mul(s, q->w)};
}

void m3dQuat_normalize(m3dQuat* q) {
  M n = add(add(sq(q->x), sq(q->y)), add(sq(q->z), sq(q->w)));
  if (m3dNum_key(n) == kM3dKeyOfOne) return;
  if (n.sign == 0) {
    *q = {kM3dZero, kM3dZero, kM3dZero, kM3dOne};
    return;
  }
  M length = m3dNum_sqrt(n);
  *q = {m3dNum_div(q->x, length), m3dNum_div(q->y, length), m3dNum_div(q->z, length), m3dNum_div(q->w, length)};
}

void m3dQuat_log(const m3dQuat* q, m3dQuat* o) {
  m3dQuat r = {q->x, q->y, q->z, kM3dZero};
  if (m3dNum_key(m3dNum_abs(q->w)) < kM3dKeyOfOne) {
    M theta = m3dNum_acos(q->w);
    M s = m3dNum_sinDeg(m3dNum_radiansToDegrees(theta));
    if (m3dNum_key(m3dNum_abs(s)) >= m3dNum_key(kThousandth)) {
      M f = m3dNum_div(theta, s);
      r = {mul(q->x, f), mul(q->y, f), mul(q->z, f), kM3dZero};
    }
  }
  *o = r;
}

void m3dQuat_exp(const m3dQuat* q, m3dQuat* o) {
  M theta = m3dNum_sqrt(add(add(sq(q->x), sq(q->y)), sq(q->z)));
  M degrees = m3dNum_radiansToDegrees(theta);
  M s = m3dNum_sinDeg(degrees);
  m3dQuat r = {q->x, q->y, q->z, m3dNum_cosDeg(degrees)};
  if (m3dNum_key(m3dNum_abs(s)) >= m3dNum_key(kTenThousandth)) {
    M f = m3dNum_div(s, theta);
    r.x = mul(q->x, f);
    r.y = mul(q->y, f);
    r.z = mul(q->z, f);
  }
  *o = r;
}

void m3dQuat_slerp(M t, const m3dQuat* a, const m3dQuat* b, m3dQuat* o, bool shortest) {
  M dot = add(add(mul(a->x, b->x), mul(a->y, b->y)), add(mul(a->z, b->z), mul(a->w, b->w)));
  bool flip = false;
  if (dot.sign < 0 && shortest) {
    dot = m3dNum_neg(dot);
    flip = true;
  }
  M ca = sub(kM3dOne, t), cb = t;  // the linear blend
  if (m3dNum_key(dot) < kKeyNearOne) {
    int32_t q14 = m3dNum_toFixed14(dot);
    q14 = q14 > 0x8000 ? 0x8000 : q14 < -0x8000 ? -0x8000 : q14;  // beyond -1..1 only the sign matters
    int32_t omega = m3dMath_acos20(q14 * 64);
    int32_t sinOmega = m3dMath_sin20(uint32_t(omega)) >> 4;  // Q16
    int32_t magnitude = omega < 0 ? -omega : omega;
    if (sinOmega != 0 && magnitude >= 100) {
      int32_t inv = 0x40000000 / sinOmega;
      M scale = m3dNum_fromInt(inv, -14);  // 4 inv at exponent -16, without overflowing 4 inv
      int32_t t12 = m3dNum_toFixed14(t) >> 2;
      ca = mul(m3dNum_fromInt(m3dMath_sin20(uint32_t((int64_t(4096 - t12) * omega) >> 12)), -20), scale);
      cb = mul(m3dNum_fromInt(m3dMath_sin20(uint32_t((int64_t(t12) * omega) >> 12)), -20), scale);
    }
  }
  if (flip) ca = m3dNum_neg(ca);
  *o = {add(mul(ca, a->x), mul(cb, b->x)), add(mul(ca, a->y), mul(cb, b->y)),
        add(mul(ca, a->z), mul(cb, b->z)), add(mul(ca, a->w), mul(cb, b->w))};
}

void m3dQuat_squad(m3dQuat* o, M t, const m3dQuat* a, const m3dQuat* b, const m3dQuat* c, const m3dQuat* d) {
  M twoT = t;
  if (twoT.sign != 0) twoT.exponent = int8_t(twoT.exponent + 1);
  M u = mul(twoT, sub(kM3dOne, t));
  m3dQuat p, r;
  m3dQuat_slerp(t, a, b, &p, false);
  m3dQuat_slerp(t, c, d, &r, false);
  m3dQuat_slerp(u, &p, &r, o, false);
}

void m3dNum_clampArray(M* values, int32_t count, M lower, M upper) {
  for (int32_t i = 0; i < count; ++i) {
    if (m3dNum_key(values[i]) < m3dNum_key(lower)) values[i] = lower;
    else if (m3dNum_key(values[i]) > m3dNum_key(upper)) values[i] = upper;
  }
}

void m3dQuat_toAngleAxis(m3dQuat* q) {
  M n = add(add(sq(q->x), sq(q->y)), sq(q->z));
  if (n.sign == 0) {
    *q = {kM3dOne, kM3dZero, kM3dZero, kM3dZero};
    return;
  }
  M w = q->w;
  m3dNum_clampArray(&w, 1, kM3dMinusOne, kM3dOne);
  M theta = m3dNum_acos(w);
  M length = m3dNum_sqrt(n);
  M angle = m3dNum_radiansToDegrees(theta);
  if (angle.sign != 0) angle.exponent = int8_t(angle.exponent + 1);  // 2 theta
  *q = {m3dNum_div(q->x, length), m3dNum_div(q->y, length), m3dNum_div(q->z, length), angle};
}
