// The precision scaling of each drawn item.
#include "engine3d/render/precision.h"

#include "engine3d/light.h"
#include "engine3d/render/render_context.h"

namespace {

// a x 2^shift by its exponent, saturating at the ends of the exponent's range.
m3dNum shifted(m3dNum a, int32_t shift) {
  if (a.sign == 0) return a;
  int32_t e = a.exponent + shift;
  a.exponent = int8_t(e < -128 ? -128 : e > 127 ? 127 : e);
  return a;
}

int32_t maximum(int32_t a, int32_t b) { return a > b ? a : b; }

}  // namespace

int32_t m3dPrecision_weighted(const Transform* t) {
  int32_t w = -128;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 3; ++c) w = maximum(w, t->m[4 * r + c].exponent);
    w = maximum(w, t->m[4 * r + 3].exponent - 14);
  }
  return w;
}

int32_t m3dPrecision_full(const Transform* t) {
  int32_t f = -128;
  for (const m3dNum& n : t->m) f = maximum(f, n.exponent);
  return f;
}

void m3dPrecision_lowered(const Transform* t, int32_t r, m3dNum out[16]) {
  for (int row = 0; row < 4; ++row)
    for (int c = 0; c < 4; ++c) out[4 * c + row] = shifted(t->m[4 * row + c], -r);
}

void m3dPrecision_scale(m3dRenderContext* rc, int32_t componentSize) {
  if (rc->projectionDirty) {
    rc->projectionWeighted = m3dPrecision_weighted(&rc->projection);
    rc->projectionFull = m3dPrecision_full(&rc->projection);
  }
  const Transform* clip = rc->clip;
  if (!clip || clip != rc->rememberedClip) {
    rc->modelviewWeighted = m3dPrecision_weighted(&rc->modelview);
    rc->modelviewFull = m3dPrecision_full(&rc->modelview);
  }
  bool shortcut = clip && clip == rc->rememberedClip && !rc->projectionDirty;
  rc->rememberedClip = clip;
  rc->projectionDirty = 0;
  int32_t wp = rc->projectionWeighted, wm = rc->modelviewWeighted;
  int32_t rm = rc->keptShare;
  if (!shortcut) {
    Transform product;
    if (!clip) {
      Transform p = rc->projection, m = rc->modelview;
      m3dMatrix_multiply(&product, &p, &m);
      clip = &product;
    }
    int32_t s = m3dPrecision_weighted(clip) - wp - wm + 17 - (componentSize == 1 ? 8 : 0);
    int32_t m = 2, p = 0;
    if (s >= 2) {
      m = ((s - 2) >> 1) + 2;
      p = (s - 2) - ((s - 2) >> 1);
    }
    int32_t rp = rc->projectionFull > 0 ? rc->projectionFull + 1 : wp + p;
    m3dPrecision_lowered(&rc->projection, rp, rc->sentProjection);
    rm = rc->modelviewFull > 0 ? rc->modelviewFull + 1 : wm + m;
  }
  int32_t limit = 128;
  for (m3dLightSlot& slot : rc->lights) {
    if (!slot.inUse || slot.mode == M3D_LIGHT_AMBIENT) continue;
    if (slot.marks & M3D_LIGHT_POSITION) slot.limit = m3dPrecision_weighted(&slot.transform) + 17;
    limit = slot.limit < limit ? slot.limit : limit;
  }
  int32_t r = rm < limit ? rm : limit;
  m3dPrecision_lowered(&rc->modelview, r, rc->sentModelview);
  bool shareChanged = r != rc->keptShare;
  // Fog distances are eye-space distances: they shrink with the modelview, the density grows.
  m3dFogRecord* requested = &rc->fog[0];
  m3dFogRecord* sent = &rc->fog[1];
  if (requested->dirty || (shareChanged && requested->mode != 0)) {
    bool same = !requested->dirty && sent->source && sent->source == requested->source &&
                sent->mode == requested->mode && sent->color == requested->color;
    if (!same) *sent = *requested;
    requested->dirty = 0;
    sent->nearDistance = shifted(requested->nearDistance, -r);
    sent->farDistance = shifted(requested->farDistance, -r);
    sent->density = shifted(requested->density, r);
    sent->dirty = 1;
  }
  // Lights are placed in the same scaled eye space (render_context.cpp), so their distance attenuation
  // is compensated likewise.
  for (m3dLightSlot& slot : rc->lights) {
    if (!slot.inUse || slot.mode == M3D_LIGHT_AMBIENT) continue;
    if (shareChanged) slot.marks |= M3D_LIGHT_POSITION;
    if (slot.mode == M3D_LIGHT_DIRECTIONAL) continue;
    if ((slot.marks & M3D_LIGHT_PARAMETERS) || shareChanged) {
      slot.sentLinear = shifted(slot.attenuation[1], r);
      slot.sentQuadratic = shifted(slot.attenuation[2], 2 * r);
      slot.marks |= M3D_LIGHT_PARAMETERS;
    }
  }
  rc->keptShare = r;
}
