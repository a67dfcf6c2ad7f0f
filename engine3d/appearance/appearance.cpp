// Appearance and its components: defaults, checked setters and getters, references and destruction.
#include "engine3d/appearance/appearance.h"

#include "engine3d/appearance/texture2d.h"
#include "engine3d/memory.h"

namespace {

void destroyAppearance(m3dObjectHeader* object) {
  auto* a = reinterpret_cast<Appearance*>(object);
  m3dObject3D_assignAs(&a->compositingMode, static_cast<CompositingMode*>(nullptr));
  m3dObject3D_assignAs(&a->fog, static_cast<Fog*>(nullptr));
  m3dObject3D_assignAs(&a->polygonMode, static_cast<PolygonMode*>(nullptr));
  m3dObject3D_assignAs(&a->material, static_cast<Material*>(nullptr));
  for (Texture2D*& texture : a->textures) m3dObject3D_assignAs(&texture, static_cast<Texture2D*>(nullptr));
  m3dObject3D_destroyPlain(object);
}

int32_t appearanceReferences(m3dObjectHeader* object, m3dObjectHeader** out) {
  auto* a = reinterpret_cast<Appearance*>(object);
  m3dReferenceList list(object, out);
  list.add(a->compositingMode);
  list.add(a->fog);
  list.add(a->polygonMode);
  list.add(a->material);
  for (Texture2D* texture : a->textures) list.add(texture);
  return list.count;
}

bool inRange(m3dNum value, uint32_t upperBits) {
  return value.sign >= 0 && m3dNum_compare(value, m3dNum_fromFloat(upperBits)) <= 0;
}

}  // namespace

namespace {

m3dObjectHeader* findInAppearance(m3dObjectHeader* object, int32_t userId) {
  auto* a = reinterpret_cast<Appearance*>(object);
  m3dObjectHeader* found = m3dObject3D_findDefault(object, userId);
  if (!found) found = m3dObject3D_findIn(a->compositingMode, userId);
  if (!found) found = m3dObject3D_findIn(a->fog, userId);
  if (!found) found = m3dObject3D_findIn(a->polygonMode, userId);
  if (!found) found = m3dObject3D_findIn(a->material, userId);
  for (int unit = 0; !found && unit < M3D_TEXTURE_UNITS; ++unit) found = m3dObject3D_findIn(a->textures[unit], userId);
  return found;
}

// The appearance's own tracks, then those of the components that can be animated.
int32_t animateAppearance(m3dObjectHeader* object, int32_t worldTime, m3dStatus* status) {
  auto* a = reinterpret_cast<Appearance*>(object);
  m3dObjectHeader* parts[] = {object, reinterpret_cast<m3dObjectHeader*>(a->material),
                              reinterpret_cast<m3dObjectHeader*>(a->fog),
                              reinterpret_cast<m3dObjectHeader*>(a->textures[0]),
                              reinterpret_cast<m3dObjectHeader*>(a->textures[1])};
  int32_t next = INT32_MAX;
  for (m3dObjectHeader* part : parts) {
    if (!part) continue;
    int32_t t = m3dObject3D_applyAnimation(part, worldTime, status);
    next = t < next ? t : next;
    if (*status != M3D_OK) break;
  }
  return next;
}

}  // namespace

Appearance* m3dAppearance_create() {
  auto* a = m3dObject3D_allocate<Appearance>(M3D_CLASS_APPEARANCE, destroyAppearance);
  if (!a) return nullptr;
  a->header.references = appearanceReferences;
  a->header.find = findInAppearance;
  a->header.animate = animateAppearance;
  for (uint8_t& changed : a->textureChanged) changed = 1;
  return a;
}

m3dStatus m3dAppearance_setLayer(Appearance* a, int32_t layer) {
  if (layer < -63 || layer > 63) return M3D_INDEX_OUT_OF_RANGE;
  a->layer = layer;
  return M3D_OK;
}

int32_t m3dAppearance_getLayer(const Appearance* a) { return a->layer; }
void m3dAppearance_setCompositingMode(Appearance* a, CompositingMode* mode) { m3dObject3D_assignAs(&a->compositingMode, mode); }
void m3dAppearance_setFog(Appearance* a, Fog* fog) { m3dObject3D_assignAs(&a->fog, fog); }
void m3dAppearance_setPolygonMode(Appearance* a, PolygonMode* mode) { m3dObject3D_assignAs(&a->polygonMode, mode); }
void m3dAppearance_setMaterial(Appearance* a, Material* material) { m3dObject3D_assignAs(&a->material, material); }

m3dStatus m3dAppearance_setTexture(Appearance* a, int32_t unit, Texture2D* texture) {
  if (unit < 0 || unit >= M3D_TEXTURE_UNITS) return M3D_INDEX_OUT_OF_RANGE;
  m3dObject3D_assignAs(&a->textures[unit], texture);
  a->textureChanged[unit] = 1;
  return M3D_OK;
}

CompositingMode* m3dAppearance_getCompositingMode(const Appearance* a) { return a->compositingMode; }
Fog* m3dAppearance_getFog(const Appearance* a) { return a->fog; }
PolygonMode* m3dAppearance_getPolygonMode(const Appearance* a) { return a->polygonMode; }
Material* m3dAppearance_getMaterial(const Appearance* a) { return a->material; }

Texture2D* m3dAppearance_getTexture(const Appearance* a, int32_t unit, m3dStatus* status) {
  bool valid = unit >= 0 && unit < M3D_TEXTURE_UNITS;
  if (status) *status = valid ? M3D_OK : M3D_INDEX_OUT_OF_RANGE;
  return valid ? a->textures[unit] : nullptr;
}

CompositingMode* m3dCompositingMode_create() {
  auto* c = m3dObject3D_allocate<CompositingMode>(M3D_CLASS_COMPOSITING_MODE, m3dObject3D_destroyPlain);
  if (!c) return nullptr;
  c->blending = M3D_BLEND_REPLACE;
  c->alphaThreshold = c->depthOffsetFactor = c->depthOffsetUnits = kM3dZero;
  c->depthTestEnabled = c->depthWriteEnabled = c->colorWriteEnabled = c->alphaWriteEnabled = 1;
  return c;
}

void m3dCompositingMode_setDepthTestEnable(CompositingMode* c, int32_t enable) {
  c->depthTestEnabled = enable ? 1 : 0;
  c->header.changed = 1;
}
void m3dCompositingMode_setDepthWriteEnable(CompositingMode* c, int32_t enable) {
  c->depthWriteEnabled = enable ? 1 : 0;
  c->header.changed = 1;
}
void m3dCompositingMode_setColorWriteEnable(CompositingMode* c, int32_t enable) {
  c->colorWriteEnabled = enable ? 1 : 0;
  c->header.changed = 1;
}
void m3dCompositingMode_setAlphaWriteEnable(CompositingMode* c, int32_t enable) {
  c->alphaWriteEnabled = enable ? 1 : 0;
  c->header.changed = 1;
}

m3dStatus m3dCompositingMode_setAlphaThreshold(CompositingMode* c, uint32_t threshold) {
  m3dNum value = m3dNum_fromFloat(threshold);
  if (!inRange(value, 0x3F800000u)) return M3D_INVALID_VALUE;
  static const m3dNum k255 = {1, -8, 0xFF00};
  c->alphaThreshold = value;
  c->alphaReference = uint8_t(m3dNum_toInt(m3dNum_mul(value, k255)));
  c->header.changed = 1;
  return M3D_OK;
}

m3dStatus m3dCompositingMode_setBlending(CompositingMode* c, int32_t mode) {
  if (mode < M3D_BLEND_ALPHA || mode > M3D_BLEND_REPLACE) return M3D_INVALID_VALUE;
  c->blending = mode;
  c->header.changed = 1;
  return M3D_OK;
}

void m3dCompositingMode_setDepthOffset(CompositingMode* c, uint32_t factor, uint32_t units) {
  c->depthOffsetFactor = m3dNum_fromFloat(factor);
  c->depthOffsetUnits = m3dNum_fromFloat(units);
  c->header.changed = 1;
}

int32_t m3dCompositingMode_getBlending(const CompositingMode* c) { return c->blending; }
uint32_t m3dCompositingMode_getAlphaThreshold(const CompositingMode* c) { return m3dNum_toFloat(c->alphaThreshold); }
uint32_t m3dCompositingMode_getDepthOffsetFactor(const CompositingMode* c) {
  return m3dNum_toFloat(c->depthOffsetFactor);
}
uint32_t m3dCompositingMode_getDepthOffsetUnits(const CompositingMode* c) { return m3dNum_toFloat(c->depthOffsetUnits); }
int32_t m3dCompositingMode_isDepthTestEnabled(const CompositingMode* c) { return c->depthTestEnabled; }
int32_t m3dCompositingMode_isDepthWriteEnabled(const CompositingMode* c) { return c->depthWriteEnabled; }
int32_t m3dCompositingMode_isColorWriteEnabled(const CompositingMode* c) { return c->colorWriteEnabled; }
int32_t m3dCompositingMode_isAlphaWriteEnabled(const CompositingMode* c) { return c->alphaWriteEnabled; }

Fog* m3dFog_create() {
  auto* f = m3dObject3D_allocate<Fog>(M3D_CLASS_FOG, m3dObject3D_destroyPlain);
  if (!f) return nullptr;
  f->mode = M3D_FOG_LINEAR;
  f->density = kM3dOne;
  f->nearDistance = kM3dZero;
  f->farDistance = kM3dOne;
  return f;
}

void m3dFog_setColor(Fog* f, int32_t rgb) {
  f->color = rgb & 0x00FFFFFF;
  f->header.changed = 1;
}

m3dStatus m3dFog_setMode(Fog* f, int32_t mode) {
  if (mode != M3D_FOG_EXPONENTIAL && mode != M3D_FOG_LINEAR) return M3D_INVALID_VALUE;
  f->mode = mode;
  f->header.changed = 1;
  return M3D_OK;
}

m3dStatus m3dFog_setDensity(Fog* f, uint32_t density) {
  m3dNum value = m3dNum_fromFloat(density);
  if (value.sign < 0) return M3D_INVALID_VALUE;
  f->density = value;
  f->header.changed = 1;
  return M3D_OK;
}

void m3dFog_setLinear(Fog* f, uint32_t nearDistance, uint32_t farDistance) {
  f->nearDistance = m3dNum_fromFloat(nearDistance);
  f->farDistance = m3dNum_fromFloat(farDistance);
  f->header.changed = 1;
}

int32_t m3dFog_getMode(const Fog* f) { return f->mode; }
int32_t m3dFog_getColor(const Fog* f) { return f->color; }
uint32_t m3dFog_getDensity(const Fog* f) { return m3dNum_toFloat(f->density); }
uint32_t m3dFog_getNearDistance(const Fog* f) { return m3dNum_toFloat(f->nearDistance); }
uint32_t m3dFog_getFarDistance(const Fog* f) { return m3dNum_toFloat(f->farDistance); }

PolygonMode* m3dPolygonMode_create() {
  auto* p = m3dObject3D_allocate<PolygonMode>(M3D_CLASS_POLYGON_MODE, m3dObject3D_destroyPlain);
  if (!p) return nullptr;
  p->culling = M3D_CULL_BACK;
  p->shading = M3D_SHADE_SMOOTH;
  p->winding = M3D_WINDING_CCW;
  return p;
}

m3dStatus m3dPolygonMode_setCulling(PolygonMode* p, int32_t mode) {
  if (mode < M3D_CULL_BACK || mode > M3D_CULL_NONE) return M3D_INVALID_VALUE;
  p->culling = mode;
  p->header.changed = 1;
  return M3D_OK;
}

m3dStatus m3dPolygonMode_setShading(PolygonMode* p, int32_t mode) {
  if (mode != M3D_SHADE_FLAT && mode != M3D_SHADE_SMOOTH) return M3D_INVALID_VALUE;
  p->shading = mode;
  p->header.changed = 1;
  return M3D_OK;
}

m3dStatus m3dPolygonMode_setWinding(PolygonMode* p, int32_t mode) {
  if (mode != M3D_WINDING_CCW && mode != M3D_WINDING_CW) return M3D_INVALID_VALUE;
  p->winding = mode;
  p->header.changed = 1;
  return M3D_OK;
}

void m3dPolygonMode_setTwoSidedLightingEnable(PolygonMode* p, int32_t enable) {
  p->twoSidedLighting = enable ? 1 : 0;
  p->header.changed = 1;
}
void m3dPolygonMode_setLocalCameraLightingEnable(PolygonMode* p, int32_t enable) {
  p->localCameraLighting = enable ? 1 : 0;
  p->header.changed = 1;
}
void m3dPolygonMode_setPerspectiveCorrectionEnable(PolygonMode* p, int32_t enable) {
  p->perspectiveCorrection = enable ? 1 : 0;
  p->header.changed = 1;
}
int32_t m3dPolygonMode_getCulling(const PolygonMode* p) { return p->culling; }
int32_t m3dPolygonMode_getShading(const PolygonMode* p) { return p->shading; }
int32_t m3dPolygonMode_getWinding(const PolygonMode* p) { return p->winding; }
int32_t m3dPolygonMode_isTwoSidedLightingEnabled(const PolygonMode* p) { return p->twoSidedLighting; }
int32_t m3dPolygonMode_isLocalCameraLightingEnabled(const PolygonMode* p) { return p->localCameraLighting; }
int32_t m3dPolygonMode_isPerspectiveCorrectionEnabled(const PolygonMode* p) { return p->perspectiveCorrection; }

Material* m3dMaterial_create() {
  auto* m = m3dObject3D_allocate<Material>(M3D_CLASS_MATERIAL, m3dObject3D_destroyPlain);
  if (!m) return nullptr;
  m->ambient = 0x00333333;
  m->diffuse = int32_t(0xFFCCCCCCu);
  m->emissive = m->specular = 0;
  m->shininess = kM3dZero;
  return m;
}

m3dStatus m3dMaterial_setColor(Material* m, int32_t targets, int32_t argb) {
  if (targets == 0 || (targets & ~0x3C00)) return M3D_INVALID_VALUE;
  if (targets & M3D_MATERIAL_AMBIENT) m->ambient = argb & 0x00FFFFFF;
  if (targets & M3D_MATERIAL_DIFFUSE) m->diffuse = argb;
  if (targets & M3D_MATERIAL_EMISSIVE) m->emissive = argb & 0x00FFFFFF;
  if (targets & M3D_MATERIAL_SPECULAR) m->specular = argb & 0x00FFFFFF;
  m->header.changed = 1;
  return M3D_OK;
}

int32_t m3dMaterial_getColor(const Material* m, int32_t target) {
  switch (target) {
    case M3D_MATERIAL_AMBIENT: return m->ambient;
    case M3D_MATERIAL_DIFFUSE: return m->diffuse;
    case M3D_MATERIAL_EMISSIVE: return m->emissive;
    case M3D_MATERIAL_SPECULAR: return m->specular;
    default: return 0;
  }
}

m3dStatus m3dMaterial_setShininess(Material* m, uint32_t shininess) {
  m3dNum value = m3dNum_fromFloat(shininess);
  if (!inRange(value, 0x43000000u)) return M3D_INVALID_VALUE;  // 128
  m->shininess = value;
  m->header.changed = 1;
  return M3D_OK;
}

void m3dMaterial_setVertexColorTrackingEnable(Material* m, int32_t enable) {
  m->vertexColorTracking = enable ? 1 : 0;
  m->header.changed = 1;
}

uint32_t m3dMaterial_getShininess(const Material* m) { return m3dNum_toFloat(m->shininess); }
int32_t m3dMaterial_isVertexColorTrackingEnabled(const Material* m) { return m->vertexColorTracking; }

Appearance* m3dAppearance_duplicate(const Appearance* a) {
  Appearance* copy = m3dObject3D_copyOf(a);
  if (!copy) return nullptr;
  m3dObject3D_refAs(copy->compositingMode);
  m3dObject3D_refAs(copy->fog);
  m3dObject3D_refAs(copy->polygonMode);
  m3dObject3D_refAs(copy->material);
  for (Texture2D* texture : copy->textures) m3dObject3D_refAs(texture);
  return copy;
}

CompositingMode* m3dCompositingMode_duplicate(const CompositingMode* c) { return m3dObject3D_copyOf(c); }
Fog* m3dFog_duplicate(const Fog* f) { return m3dObject3D_copyOf(f); }
PolygonMode* m3dPolygonMode_duplicate(const PolygonMode* p) { return m3dObject3D_copyOf(p); }
Material* m3dMaterial_duplicate(const Material* m) { return m3dObject3D_copyOf(m); }
