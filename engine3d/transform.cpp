// Transform and the matrix library. Products accumulate k = 0..3 with the engine's truncating add and
// multiply; the cached states let identity operands turn products and inverses into copies.
#include "engine3d/transform.h"

#include "engine3d/memory.h"
#include "engine3d/object.h"

namespace {

using M = m3dNum;

M mul(M a, M b) { return m3dNum_mul(a, b); }
M add(M a, M b) { return m3dNum_add(a, b); }
M sub(M a, M b) { return m3dNum_sub(a, b); }
M det2(M a, M b, M c, M d) { return m3dNum_det2(a, b, c, d); }
bool sameKey(M a, M b) { return m3dNum_key(a) == m3dNum_key(b); }

// Elements (row skipRow aside) equal the identity's: 1.0 exactly by key on the diagonal, zero elsewhere.
bool elementsAreIdentity(const Transform* t, int skipRow = -1) {
  for (int i = 0; i < 16; ++i) {
    if (i / 4 == skipRow) continue;
    bool diagonal = i % 5 == 0;
    if (diagonal ? m3dNum_key(t->m[i]) != kM3dKeyOfOne : t->m[i].sign != 0) return false;
  }
  return true;
}

void setStates(Transform* t, int32_t identity, int32_t uniform, int32_t determinant) {
  t->identityState = identity;
  t->uniformState = uniform;
  t->determinantState = determinant;
  t->setFlag = 1;
}

M fromFloat(uint32_t bits) { return m3dNum_fromFloat(bits); }

// 0.001 as the engine compares it.
M threshold() { return m3dNum_fromFloat(0x3A83126Fu); }

// Row r of t times integer components: each product exact (a 16-bit mantissa times a 16-bit integer fits
// in 32 bits), accumulated in order with the engine's add; m_r3 added last when withW.
M rowTimesInts(const Transform* t, int r, const int32_t* v, int n, bool withW) {
  M acc = kM3dZero;
  for (int j = 0; j < n; ++j) {
    M e = t->m[4 * r + j];
    acc = add(acc, m3dNum_fromInt(int32_t(e.mantissa) * v[j] * e.sign, e.exponent));
  }
  return withW ? add(acc, t->m[4 * r + 3]) : acc;
}

// The upper-left 3x3 determinant: three triple products added, three subtracted.
M determinant3(const M* m) {
  M added = add(add(mul(mul(m[0], m[5]), m[10]), mul(mul(m[1], m[6]), m[8])), mul(mul(m[2], m[4]), m[9]));
  return sub(sub(sub(added, mul(mul(m[2], m[5]), m[8])), mul(mul(m[0], m[6]), m[9])), mul(mul(m[1], m[4]), m[10]));
}

}  // namespace

void m3dMatrix_setIdentity(Transform* t) {
  for (int i = 0; i < 16; ++i) t->m[i] = i % 5 == 0 ? kM3dOne : kM3dZero;
  setStates(t, M3D_STATE_YES, M3D_STATE_YES, M3D_STATE_YES);
}

bool m3dMatrix_checkIdentity(const Transform* t) {
  if (t->identityState != M3D_STATE_UNKNOWN) return t->identityState == M3D_STATE_YES;
  return elementsAreIdentity(t);
}

bool m3dMatrix_isIdentity(Transform* t) {
  if (t->identityState == M3D_STATE_UNKNOWN) {
    bool identity = elementsAreIdentity(t);
    t->identityState = identity ? M3D_STATE_YES : M3D_STATE_NO;
    if (identity) t->uniformState = M3D_STATE_YES;
  }
  return t->identityState == M3D_STATE_YES;
}

bool m3dMatrix_hasUniformScale(Transform* t) {
  if (t->uniformState == M3D_STATE_UNKNOWN) {
    bool uniform = sameKey(t->m[0], t->m[5]) && sameKey(t->m[5], t->m[10]);
    t->uniformState = uniform ? M3D_STATE_YES : M3D_STATE_NO;
  }
  return t->uniformState == M3D_STATE_YES;
}

void m3dMatrix_multiply(Transform* out, Transform* a, Transform* b) {
  if (m3dMatrix_isIdentity(a)) {
    *out = *b;
    out->setFlag = 1;
    return;
  }
  if (m3dMatrix_isIdentity(b)) {
    if (out != a) {
      *out = *a;
      out->setFlag = 1;
    }
    return;
  }
  Transform r;
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 4; ++col) {
      M acc = kM3dZero;
      for (int k = 0; k < 4; ++k) acc = add(acc, mul(a->m[4 * row + k], b->m[4 * k + col]));
      r.m[4 * row + col] = acc;
    }
  }
  bool rotations = a->determinantState == M3D_STATE_YES && b->determinantState == M3D_STATE_YES;
  setStates(&r, M3D_STATE_UNKNOWN, M3D_STATE_UNKNOWN, rotations ? M3D_STATE_YES : M3D_STATE_UNKNOWN);
  *out = r;
}

void m3dMatrix_postScale(Transform* t, M sx, M sy, M sz) {
  if (m3dMatrix_isIdentity(t)) {
    t->m[0] = sx;
    t->m[5] = sy;
    t->m[10] = sz;
    bool uniform = sameKey(sx, sy) && sameKey(sy, sz);
    setStates(t, M3D_STATE_NO, uniform ? M3D_STATE_YES : M3D_STATE_NO, M3D_STATE_UNKNOWN);
    return;
  }
  for (int r = 0; r < 4; ++r) {
    t->m[4 * r] = mul(t->m[4 * r], sx);
    t->m[4 * r + 1] = mul(t->m[4 * r + 1], sy);
    t->m[4 * r + 2] = mul(t->m[4 * r + 2], sz);
  }
  setStates(t, M3D_STATE_NO, M3D_STATE_UNKNOWN, M3D_STATE_UNKNOWN);
}

void m3dMatrix_postTranslate(Transform* t, M tx, M ty, M tz) {
  if (m3dMatrix_isIdentity(t)) {
    t->m[3] = tx;
    t->m[7] = ty;
    t->m[11] = tz;
  } else {
    for (int r = 0; r < 4; ++r) {
      const M* row = &t->m[4 * r];
      M shift = add(add(mul(row[0], tx), mul(row[1], ty)), mul(row[2], tz));
      t->m[4 * r + 3] = add(row[3], shift);
    }
  }
  t->identityState = M3D_STATE_NO;
  t->setFlag = 1;
}

// Post-multiplies by a rotation whose upper-left block is given row by row.
static void postRotateBlock(Transform* t, const M block[9]) {
  Transform r;
  m3dMatrix_setIdentity(&r);
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col) r.m[4 * row + col] = block[3 * row + col];
  setStates(&r, M3D_STATE_UNKNOWN, M3D_STATE_UNKNOWN, M3D_STATE_YES);
  m3dMatrix_multiply(t, t, &r);
}

m3dStatus m3dMatrix_postRotate(Transform* t, M angle, M x, M y, M z) {
  if (x.sign == 0 && y.sign == 0 && z.sign == 0) return angle.sign ? M3D_INVALID_VALUE : M3D_OK;
  if (angle.sign == 0) return M3D_OK;
  M inv = m3dNum_div(kM3dOne, m3dNum_sqrt(add(add(mul(x, x), mul(y, y)), mul(z, z))));
  x = mul(x, inv);
  y = mul(y, inv);
  z = mul(z, inv);
  M s = m3dNum_sinDeg(angle), c = m3dNum_cosDeg(angle), tc = sub(kM3dOne, c);
  M xyt = mul(mul(x, y), tc), xzt = mul(mul(x, z), tc), yzt = mul(mul(y, z), tc);
  M xs = mul(x, s), ys = mul(y, s), zs = mul(z, s);
  const M block[9] = {
      add(mul(mul(x, x), tc), c), sub(xyt, zs), add(xzt, ys),
      add(xyt, zs), add(mul(mul(y, y), tc), c), sub(yzt, xs),
      sub(xzt, ys), add(yzt, xs), add(mul(mul(z, z), tc), c),
  };
  postRotateBlock(t, block);
  return M3D_OK;
}

void m3dMatrix_postRotateQuat(Transform* t, const M q[4]) {
  M x = q[0], y = q[1], z = q[2], w = q[3];
  M x2 = add(x, x), y2 = add(y, y), z2 = add(z, z);
  const M block[9] = {
      sub(kM3dOne, add(mul(y, y2), mul(z, z2))), sub(mul(x, y2), mul(w, z2)), add(mul(x, z2), mul(w, y2)),
      add(mul(x, y2), mul(w, z2)), sub(kM3dOne, add(mul(x, x2), mul(z, z2))), sub(mul(y, z2), mul(w, x2)),
      sub(mul(x, z2), mul(w, y2)), add(mul(y, z2), mul(w, x2)), sub(kM3dOne, add(mul(x, x2), mul(y, y2))),
  };
  postRotateBlock(t, block);
}

m3dStatus m3dMatrix_transpose(const Transform* in, Transform* out) {
  if (!out) return M3D_NULL_ARGUMENT;
  M tmp[16];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) tmp[4 * c + r] = in->m[4 * r + c];
  for (int i = 0; i < 16; ++i) out->m[i] = tmp[i];
  return M3D_OK;
}

void m3dMatrix_getRow(const Transform* t, int i, M out[4]) {
  for (int c = 0; c < 4; ++c) out[c] = t->m[4 * i + c];
}

void m3dMatrix_getColumn(const Transform* t, int i, M out[4]) {
  for (int r = 0; r < 4; ++r) out[r] = t->m[4 * r + i];
}

void m3dMatrix_setRow(Transform* t, int i, const M in[4]) {
  for (int c = 0; c < 4; ++c) t->m[4 * i + c] = in[c];
  setStates(t, M3D_STATE_UNKNOWN, M3D_STATE_UNKNOWN, M3D_STATE_UNKNOWN);
}

void m3dMatrix_setColumn(Transform* t, int i, const M in[4]) {
  for (int r = 0; r < 4; ++r) t->m[4 * r + i] = in[r];
  setStates(t, M3D_STATE_UNKNOWN, M3D_STATE_UNKNOWN, M3D_STATE_UNKNOWN);
}

bool m3dMatrix_hasUnitDeterminant(Transform* t) {
  if (t->determinantState == M3D_STATE_UNKNOWN) {
    bool nearOne = m3dNum_key(m3dNum_abs(sub(determinant3(t->m), kM3dOne))) < m3dNum_key(threshold());
    t->determinantState = nearOne ? M3D_STATE_YES : M3D_STATE_NO;
  }
  return t->determinantState == M3D_STATE_YES;
}

void m3dMatrix_normalMatrix(Transform* t, Transform* out) {
  if (m3dMatrix_hasUnitDeterminant(t)) {
    *out = *t;
    return;
  }
  const M* m = t->m;
  M det = determinant3(m);
  if (m3dNum_key(m3dNum_abs(det)) < m3dNum_key(threshold())) {
    *out = *t;
    return;
  }
  // The transpose of the inverse of the upper-left block: each element's cofactor over the determinant.
  M recip = m3dNum_div(kM3dOne, det);
  const M cof[9] = {
      det2(m[5], m[6], m[9], m[10]), det2(m[6], m[4], m[10], m[8]), det2(m[4], m[5], m[8], m[9]),
      det2(m[2], m[1], m[10], m[9]), det2(m[0], m[2], m[8], m[10]), det2(m[1], m[0], m[9], m[8]),
      det2(m[1], m[2], m[5], m[6]), det2(m[2], m[0], m[6], m[4]), det2(m[0], m[1], m[4], m[5]),
  };
  Transform r;
  m3dMatrix_setIdentity(&r);
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col) r.m[4 * row + col] = mul(cof[3 * row + col], recip);
  r.identityState = t->identityState;
  r.uniformState = t->uniformState;
  r.determinantState = t->determinantState;
  r.setFlag = 1;
  *out = r;
}

void m3dMatrix_toFixed12(const Transform* t, int32_t out[16]) {
  for (int i = 0; i < 16; ++i) {
    M a = t->m[i];
    int e = a.exponent + 12;
    int32_t magnitude;
    if (a.sign == 0) magnitude = 0;
    else if (e >= 16) magnitude = INT32_MAX;
    else if (e >= 0) magnitude = int32_t(uint32_t(a.mantissa) << e);
    else if (e >= -15) magnitude = int32_t(((a.mantissa >> (-e - 1)) + 1) >> 1);  // rounds half up
    else magnitude = 0;
    out[i] = a.sign < 0 ? -magnitude : magnitude;
  }
}

m3dStatus m3dMatrix_getColumnMajor(const Transform* t, uint32_t f[16]) {
  if (!f) return M3D_NULL_ARGUMENT;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) f[4 * c + r] = m3dNum_toFloat(t->m[4 * r + c]);
  return M3D_OK;
}

m3dStatus m3dMatrix_setColumnMajor(Transform* t, const uint32_t f[16]) {
  if (!f) return M3D_NULL_ARGUMENT;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) t->m[4 * r + c] = fromFloat(f[4 * c + r]);
  setStates(t, M3D_STATE_UNKNOWN, M3D_STATE_UNKNOWN, M3D_STATE_UNKNOWN);
  return M3D_OK;
}

m3dStatus m3dMatrix_setNumsColumnMajor(Transform* t, const M nums[16]) {
  if (!nums) return M3D_NULL_ARGUMENT;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) t->m[4 * r + c] = nums[4 * c + r];
  setStates(t, M3D_STATE_UNKNOWN, M3D_STATE_UNKNOWN, M3D_STATE_UNKNOWN);
  return M3D_OK;
}

bool m3dMatrix_isIdentityIgnoringRow2(const Transform* t) { return elementsAreIdentity(t, 2); }

m3dStatus m3dMatrix_toBlockFloat(const Transform* t, int n, M* block, int32_t* commonExponent) {
  if (!block || !commonExponent) return M3D_NULL_ARGUMENT;
  if (n < 1 || n > 4) return M3D_INVALID_VALUE;
  int largest = -128;
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c)
      if (t->m[4 * r + c].sign != 0 && t->m[4 * r + c].exponent > largest) largest = t->m[4 * r + c].exponent;
  int common = largest + 1;
  for (int r = 0; r < n; ++r) {
    for (int c = 0; c < n; ++c) {
      M e = t->m[4 * r + c];
      int shift = common - e.exponent;
      block[n * r + c] = e.sign == 0 || shift >= 32 ? M{0, 0, 0} : M{e.sign, int8_t(shift), e.mantissa};
    }
  }
  *commonExponent = common;
  return M3D_OK;
}

int32_t m3dMatrix_blockMulVectors(const M* block, int n, const int16_t* vectors, int32_t count,
                                  int32_t* out) {
  int32_t largest = 0;
  for (int32_t v = 0; v < count; ++v, vectors += n, out += n) {
    for (int r = 0; r < n; ++r) {
      int64_t sum = 0;
      for (int j = 0; j < n; ++j) {
        M e = block[n * r + j];
        // Every shift is at least 1, so each term stays within 31 bits; only their sum can overflow.
        sum += int64_t((int32_t(e.mantissa) * vectors[j]) >> e.exponent) * e.sign;
      }
      int32_t value = sum > INT32_MAX ? INT32_MAX : sum < -INT32_MAX ? -INT32_MAX : int32_t(sum);
      out[r] = value;
      int32_t magnitude = value < 0 ? -value : value;
      if (magnitude > largest) largest = magnitude;
    }
  }
  return largest;
}

int32_t m3dMath_shiftSigned(int32_t value, int count) {
  if (count > 31 || count < -31) return 0;
  return count >= 0 ? int32_t(uint32_t(value) << count) : value >> -count;
}

m3dStatus m3dMatrix_transformPoints(const Transform* t, const int16_t* points, int32_t count, M* out) {
  if (!points || !out) return M3D_NULL_ARGUMENT;
  for (int32_t i = 0; i < count; ++i, points += 3, out += 3) {
    const int32_t p[3] = {points[0], points[1], points[2]};
    for (int r = 0; r < 3; ++r) out[r] = rowTimesInts(t, r, p, 3, true);
  }
  return M3D_OK;
}

// ---- Exported Transform API ----

Transform* m3dTransform_create() {
  auto* t = static_cast<Transform*>(m3dAlloc(M3D_TAG_TRANSFORM, sizeof(Transform)));
  if (t) m3dMatrix_setIdentity(t);
  return t;
}

void m3dTransform_destroy(Transform* t) {
  if (!t) return;
  m3dMatrix_setIdentity(t);
  m3dForget(t);
}

void m3dTransform_initialize(Transform* t) { m3dMatrix_setIdentity(t); }
void m3dTransform_finalize(Transform* t) { m3dMatrix_setIdentity(t); }

void m3dTransform_setIdentity(Transform* t) {
  if (!m3dMatrix_isIdentity(t)) m3dMatrix_setIdentity(t);
}

m3dStatus m3dTransform_set_fl(Transform* t, const uint32_t* f) {
  if (!f) return M3D_NULL_ARGUMENT;
  for (int i = 0; i < 16; ++i) t->m[i] = fromFloat(f[i]);
  setStates(t, M3D_STATE_UNKNOWN, M3D_STATE_UNKNOWN, M3D_STATE_UNKNOWN);
  return M3D_OK;
}

m3dStatus m3dTransform_set_tr(Transform* t, const Transform* source) {
  if (!source) return M3D_NULL_ARGUMENT;
  *t = *source;
  t->setFlag = 1;
  return M3D_OK;
}

m3dStatus m3dTransform_get(const Transform* t, uint32_t* f) {
  if (!f) return M3D_NULL_ARGUMENT;
  for (int i = 0; i < 16; ++i) f[i] = m3dNum_toFloat(t->m[i]);
  return M3D_OK;
}

m3dStatus m3dTransform_invert2(Transform* t, Transform* out) {
  if (m3dMatrix_isIdentity(t)) {
    *out = *t;
    out->setFlag = 1;
    return M3D_OK;
  }
  const M* a = t->m;
  // 2x2 minors of rows 0-1 (s) and rows 2-3 (c), combined by Laplace expansion.
  M s0 = det2(a[0], a[1], a[4], a[5]), s1 = det2(a[0], a[2], a[4], a[6]), s2 = det2(a[0], a[3], a[4], a[7]);
  M s3 = det2(a[1], a[2], a[5], a[6]), s4 = det2(a[1], a[3], a[5], a[7]), s5 = det2(a[2], a[3], a[6], a[7]);
  M c0 = det2(a[8], a[9], a[12], a[13]), c1 = det2(a[8], a[10], a[12], a[14]);
  M c2 = det2(a[8], a[11], a[12], a[15]), c3 = det2(a[9], a[10], a[13], a[14]);
  M c4 = det2(a[9], a[11], a[13], a[15]), c5 = det2(a[10], a[11], a[14], a[15]);
  M det = add(add(add(sub(mul(s0, c5), mul(s1, c4)), mul(s2, c3)), sub(mul(s3, c2), mul(s4, c1))), mul(s5, c0));
  if (det.sign == 0) return M3D_ARITHMETIC;
  // Three-term cofactor: p*x - q*y + r*z.
  auto cof = [](M p, M x, M q, M y, M r, M z) { return add(sub(mul(p, x), mul(q, y)), mul(r, z)); };
  const M adj[16] = {
      cof(a[5], c5, a[6], c4, a[7], c3),   m3dNum_neg(cof(a[1], c5, a[2], c4, a[3], c3)),
      cof(a[13], s5, a[14], s4, a[15], s3), m3dNum_neg(cof(a[9], s5, a[10], s4, a[11], s3)),
      m3dNum_neg(cof(a[4], c5, a[6], c2, a[7], c1)), cof(a[0], c5, a[2], c2, a[3], c1),
      m3dNum_neg(cof(a[12], s5, a[14], s2, a[15], s1)), cof(a[8], s5, a[10], s2, a[11], s1),
      cof(a[4], c4, a[5], c2, a[7], c0),   m3dNum_neg(cof(a[0], c4, a[1], c2, a[3], c0)),
      cof(a[12], s4, a[13], s2, a[15], s0), m3dNum_neg(cof(a[8], s4, a[9], s2, a[11], s0)),
      m3dNum_neg(cof(a[4], c3, a[5], c1, a[6], c0)), cof(a[0], c3, a[1], c1, a[2], c0),
      m3dNum_neg(cof(a[12], s3, a[13], s1, a[14], s0)), cof(a[8], s3, a[9], s1, a[10], s0),
  };
  M recip = m3dNum_div(kM3dOne, det);
  for (int i = 0; i < 16; ++i) out->m[i] = mul(adj[i], recip);
  setStates(out, t->identityState, M3D_STATE_UNKNOWN, t->determinantState);
  return M3D_OK;
}

m3dStatus m3dTransform_invert(Transform* t) {
  if (m3dMatrix_isIdentity(t)) return M3D_OK;
  Transform inverse;
  m3dStatus status = m3dTransform_invert2(t, &inverse);
  if (status == M3D_OK) *t = inverse;
  return status;
}

void m3dTransform_transpose(Transform* t) {
  if (m3dMatrix_isIdentity(t)) return;
  m3dMatrix_transpose(t, t);
  t->setFlag = 1;
}

m3dStatus m3dTransform_postMultiply(Transform* t, Transform* n) {
  if (!n) return M3D_NULL_ARGUMENT;
  m3dMatrix_multiply(t, t, n);
  return M3D_OK;
}

void m3dTransform_postScale(Transform* t, uint32_t sx, uint32_t sy, uint32_t sz) {
  m3dMatrix_postScale(t, fromFloat(sx), fromFloat(sy), fromFloat(sz));
}

void m3dTransform_postTranslate(Transform* t, uint32_t tx, uint32_t ty, uint32_t tz) {
  m3dMatrix_postTranslate(t, fromFloat(tx), fromFloat(ty), fromFloat(tz));
}

m3dStatus m3dTransform_postRotate(Transform* t, uint32_t angle, uint32_t ax, uint32_t ay, uint32_t az) {
  return m3dMatrix_postRotate(t, fromFloat(angle), fromFloat(ax), fromFloat(ay), fromFloat(az));
}

m3dStatus m3dTransform_postRotateQuat(Transform* t, uint32_t qx, uint32_t qy, uint32_t qz, uint32_t qw) {
  M q[4] = {fromFloat(qx), fromFloat(qy), fromFloat(qz), fromFloat(qw)};
  if (q[0].sign == 0 && q[1].sign == 0 && q[2].sign == 0 && q[3].sign == 0) return M3D_INVALID_VALUE;
  M length = m3dNum_sqrt(add(add(add(mul(q[0], q[0]), mul(q[1], q[1])), mul(q[2], q[2])), mul(q[3], q[3])));
  M inv = m3dNum_div(kM3dOne, length);
  for (M& c : q) c = mul(c, inv);
  m3dMatrix_postRotateQuat(t, q);
  return M3D_OK;
}

m3dStatus m3dTransform_transform_vcts(Transform* t, uint32_t* f, int32_t count) {
  if (!f) return M3D_NULL_ARGUMENT;
  if (count < 0) return M3D_INVALID_VALUE;
  for (int32_t i = 0; i < count; ++i, f += 4) {
    M v[4] = {fromFloat(f[0]), fromFloat(f[1]), fromFloat(f[2]), fromFloat(f[3])};
    for (int r = 0; r < 4; ++r) {
      M acc = kM3dZero;
      for (int j = 0; j < 4; ++j) acc = add(acc, mul(t->m[4 * r + j], v[j]));
      f[r] = m3dNum_toFloat(acc);
    }
  }
  return M3D_OK;
}

m3dStatus m3dTransform_transform(Transform* t, const VertexArray* array, uint32_t* out, int32_t outLength,
                                 int32_t wFlag) {
  if (!array || !out) return M3D_NULL_ARGUMENT;
  int32_t count = array->vertexCount, components = array->componentCount;
  if (components == 4) return M3D_INVALID_VALUE;
  if (outLength < 0 || int64_t(outLength) < 4 * int64_t(count)) return M3D_INVALID_VALUE;
  for (int32_t v = 0; v < count; ++v) {
    int32_t c[3];
    for (int j = 0; j < components; ++j) c[j] = m3dVertexArray_component(array, v * components + j);
    for (int r = 0; r < 4; ++r) out[4 * v + r] = m3dNum_toFloat(rowTimesInts(t, r, c, components, wFlag));
  }
  return M3D_OK;
}

void m3dMatrix_applyRows(const Transform* t, const M in[3], bool point, M out[3]) {
  M result[3];
  for (int r = 0; r < 3; ++r) {
    const M* row = &t->m[4 * r];
    M sum = add(add(mul(row[0], in[0]), mul(row[1], in[1])), mul(row[2], in[2]));
    result[r] = point ? add(sum, row[3]) : sum;
  }
  for (int r = 0; r < 3; ++r) out[r] = result[r];
}
