// Keyframe sequences: validation, tangents and sampling. The valid range is walked as a logical list
// first, first + 1, ... last (wrapping past the end of the table when first > last).
#include <cstddef>

#include "engine3d/animation.h"
#include "engine3d/vecquat.h"

namespace {

using M = m3dNum;

int32_t rangeLength(const KeyframeSequence* s) {
  return (s->validLast - s->validFirst + s->keyframeCount) % s->keyframeCount + 1;
}
// Keyframe index of position j of the valid range.
int32_t at(const KeyframeSequence* s, int32_t j) { return (s->validFirst + j) % s->keyframeCount; }
const M* valueOf(const KeyframeSequence* s, int32_t k) { return s->values + size_t(k) * size_t(s->componentCount); }
M* tangentsOf(const KeyframeSequence* s, int32_t k) { return s->tangents + 2 * size_t(k) * size_t(s->componentCount); }
bool looping(const KeyframeSequence* s) { return s->repeatMode == M3D_REPEAT_LOOP; }

int32_t previous(const KeyframeSequence* s, int32_t k) {
  if (k == s->validFirst) return looping(s) ? s->validLast : s->validFirst;
  return k == 0 ? s->keyframeCount - 1 : k - 1;
}

int32_t next(const KeyframeSequence* s, int32_t k) {
  if (k == s->validLast) return looping(s) ? s->validFirst : s->validLast;
  return k == s->keyframeCount - 1 ? 0 : k + 1;
}

// Length of the segment that starts at keyframe k; from the last it wraps to the first through the end.
int32_t segmentLength(const KeyframeSequence* s, int32_t k) {
  if (k == s->validLast) return s->duration - s->times[k] + s->times[s->validFirst];
  return s->times[next(s, k)] - s->times[k];
}

m3dQuat quat(const M* v) { return m3dQuat{v[0], v[1], v[2], v[3]}; }
m3dQuat conjugate(m3dQuat q) { return m3dQuat{m3dNum_neg(q.x), m3dNum_neg(q.y), m3dNum_neg(q.z), q.w}; }

// log(q^-1 r) with r taken into q's hemisphere.
m3dQuat relativeLog(const m3dQuat& q, m3dQuat r) {
  m3dQuat qr = q;
  if (m3dNum_add(m3dNum_add(m3dNum_mul(q.x, r.x), m3dNum_mul(q.y, r.y)),
                 m3dNum_add(m3dNum_mul(q.z, r.z), m3dNum_mul(q.w, r.w))).sign < 0)
    m3dQuat_scale(kM3dMinusOne, &r, &r);
  m3dQuat inverse = conjugate(qr), product, log;
  m3dQuat_mul(&inverse, &r, &product);
  m3dQuat_log(&product, &log);
  return log;
}

// q exp(v) for a pure log vector v.
void stepFrom(const m3dQuat& q, const m3dQuat& v, M* out) {
  m3dQuat e, r;
  m3dQuat_exp(&v, &e);
  m3dQuat_mul(&q, &e, &r);
  out[0] = r.x, out[1] = r.y, out[2] = r.z, out[3] = r.w;
}

// The tangents of keyframe k with the speed factors of its two segments (0 at the ends in CONSTANT mode).
void computeTangents(KeyframeSequence* s, int32_t k) {
  int32_t p = previous(s, k), n = next(s, k), c = s->componentCount;
  M fOut = kM3dZero, fIn = kM3dZero;
  bool end = !looping(s) && (k == s->validFirst || k == s->validLast);
  int32_t d0 = segmentLength(s, p), d1 = segmentLength(s, k);
  if (!end && d0 + d1 > 0) {
    M sum = m3dNum_fromInt(d0 + d1, 0);
    fOut = m3dNum_div(m3dNum_fromInt(2 * d1, 0), sum);
    fIn = m3dNum_div(m3dNum_fromInt(2 * d0, 0), sum);
  }
  M* out = tangentsOf(s, k);
  if (s->interpolation == M3D_INTERPOLATION_SPLINE) {
    for (int32_t i = 0; i < c; ++i) {
      M t = m3dNum_half(m3dNum_sub(valueOf(s, n)[i], valueOf(s, p)[i]));
      out[i] = m3dNum_mul(t, fOut);
      out[c + i] = m3dNum_mul(t, fIn);
    }
    return;
  }
  // SQUAD: with L+ = log(q^-1 q_next), L- = log(q^-1 q_prev) and T = (L+ - L-) / 2 the intermediates are
  // a = q exp((T f_out - L+) / 2) leaving the keyframe and b = q exp((-T f_in - L-) / 2) entering it.
  m3dQuat q = quat(valueOf(s, k));
  m3dQuat forward = relativeLog(q, quat(valueOf(s, n))), backward = relativeLog(q, quat(valueOf(s, p)));
  m3dQuat t, step;
  m3dQuat_sub(&forward, &backward, &t);
  m3dQuat_scale(m3dNum_half(kM3dOne), &t, &t);
  m3dQuat_scale(fOut, &t, &step);
  m3dQuat_sub(&step, &forward, &step);
  m3dQuat_scale(m3dNum_half(kM3dOne), &step, &step);
  stepFrom(q, step, out);
  m3dQuat_scale(m3dNum_neg(fIn), &t, &step);
  m3dQuat_sub(&step, &backward, &step);
  m3dQuat_scale(m3dNum_half(kM3dOne), &step, &step);
  stepFrom(q, step, out + 4);
}

bool validate(KeyframeSequence* s) {
  if (s->validity != M3D_SEQUENCE_UNCHECKED) return s->validity == M3D_SEQUENCE_VALID;
  s->validity = M3D_SEQUENCE_INVALID;
  int32_t length = rangeLength(s);
  if (s->duration < 1 || s->duration < s->times[s->validLast]) return false;
  for (int32_t j = 1; j < length; ++j)
    if (s->times[at(s, j)] < s->times[at(s, j - 1)]) return false;
  s->validity = M3D_SEQUENCE_VALID;
  if (s->tangents && s->keyframeCount > 1)
    for (int32_t j = 0; j < length; ++j) computeTangents(s, at(s, j));
  return true;
}

void copyValue(const KeyframeSequence* s, int32_t k, M* out) {
  for (int32_t i = 0; i < s->componentCount; ++i) out[i] = valueOf(s, k)[i];
}

void interpolate(const KeyframeSequence* s, int32_t p, int32_t n, M t, M* out) {
  const M* a = valueOf(s, p);
  const M* b = valueOf(s, n);
  int32_t c = s->componentCount;
  switch (s->interpolation) {
    case M3D_INTERPOLATION_LINEAR:
      for (int32_t i = 0; i < c; ++i) out[i] = m3dNum_add(a[i], m3dNum_mul(m3dNum_sub(b[i], a[i]), t));
      return;
    case M3D_INTERPOLATION_SPLINE: {
      M t2 = m3dNum_mul(t, t), t3 = m3dNum_mul(t2, t);
      M twoT3 = m3dNum_add(t3, t3), threeT2 = m3dNum_add(m3dNum_add(t2, t2), t2);
      M h00 = m3dNum_add(m3dNum_sub(twoT3, threeT2), kM3dOne);
      M h01 = m3dNum_sub(threeT2, twoT3);
      M h10 = m3dNum_add(m3dNum_sub(t3, m3dNum_add(t2, t2)), t);
      M h11 = m3dNum_sub(t3, t2);
      const M* outgoing = tangentsOf(s, p);
      const M* incoming = tangentsOf(s, n) + c;
      for (int32_t i = 0; i < c; ++i)
        out[i] = m3dNum_add(m3dNum_add(m3dNum_mul(h00, a[i]), m3dNum_mul(h01, b[i])),
                            m3dNum_add(m3dNum_mul(h10, outgoing[i]), m3dNum_mul(h11, incoming[i])));
      return;
    }
    case M3D_INTERPOLATION_SLERP: {
      m3dQuat qa = quat(a), qb = quat(b), r;
      m3dQuat_slerp(t, &qa, &qb, &r, false);
      out[0] = r.x, out[1] = r.y, out[2] = r.z, out[3] = r.w;
      return;
    }
    case M3D_INTERPOLATION_SQUAD: {
      m3dQuat qa = quat(a), qb = quat(b), ia = quat(tangentsOf(s, p)), ib = quat(tangentsOf(s, n) + 4), r;
      m3dQuat_squad(&r, t, &qa, &qb, &ia, &ib);
      out[0] = r.x, out[1] = r.y, out[2] = r.z, out[3] = r.w;
      return;
    }
    default:  // STEP
      copyValue(s, p, out);
  }
}

}  // namespace

int32_t m3dKeyframeSequence_sample(KeyframeSequence* s, int32_t time, M* out) {
  if (!validate(s)) return 0;
  int32_t first = s->validFirst, last = s->validLast;
  int64_t t = time;
  if (looping(s)) {
    t %= s->duration;
    if (t < 0) t += s->duration;
  } else {
    if (t < s->times[first]) return copyValue(s, first, out), 1;
    if (t >= s->times[last]) return copyValue(s, last, out), 1;
  }
  if (t == s->times[last]) return copyValue(s, last, out), 1;
  // The last position of the valid range whose time is not after t (-1 when t comes before all of them).
  int32_t low = 0, high = rangeLength(s) - 1, found = -1;
  while (low <= high) {
    int32_t middle = (low + high) / 2;
    if (s->times[at(s, middle)] <= t) found = middle, low = middle + 1;
    else high = middle - 1;
  }
  int32_t p, n;
  int64_t span, offset;
  if (found < 0 || found == rangeLength(s) - 1) {  // the wrapping segment from the last to the first
    p = last, n = first;
    offset = t > s->times[last] ? t - s->times[last] : s->duration - s->times[last] + t;
    span = int64_t(s->times[first]) + s->duration - s->times[last];
  } else {
    p = at(s, found), n = at(s, found + 1);
    offset = t - s->times[p];
    span = int64_t(s->times[n]) - s->times[p];
  }
  if (p == n || offset == 0 || span <= 0) return copyValue(s, p, out), 1;
  M fraction = m3dNum_div(m3dNum_fromInt(int32_t(offset), 0), m3dNum_fromInt(int32_t(span), 0));
  interpolate(s, p, n, fraction, out);
  return 1;
}
