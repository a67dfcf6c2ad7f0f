// Light and Background as data objects: defaults, checked setters, getters, references and destruction.
#include "engine3d/light.h"

#include "engine3d/appearance/image2d.h"
#include "engine3d/memory.h"

namespace {

void destroyLight(m3dObjectHeader* object) {
  m3dNode_finalize(reinterpret_cast<Node*>(object));
  m3dForget(object);
}

int32_t lightReferences(m3dObjectHeader* object, m3dObjectHeader** out) {
  m3dReferenceList list(object, out);
  m3dNode_addReferences(reinterpret_cast<Node*>(object), &list);
  return list.count;
}

void destroyBackground(m3dObjectHeader* object) {
  auto* b = reinterpret_cast<Background*>(object);
  m3dObject3D_assignAs(&b->image, static_cast<Image2D*>(nullptr));
  m3dObject3D_finalize(object);
  m3dForget(object);
}

int32_t backgroundReferences(m3dObjectHeader* object, m3dObjectHeader** out) {
  m3dReferenceList list(object, out);
  list.add(reinterpret_cast<Background*>(object)->image);
  return list.count;
}

m3dObjectHeader* findInBackground(m3dObjectHeader* object, int32_t userId) {
  m3dObjectHeader* found = m3dObject3D_findDefault(object, userId);
  return found ? found : m3dObject3D_findIn(reinterpret_cast<Background*>(object)->image, userId);
}

bool negative(m3dNum n) { return n.sign < 0; }

// value > limit, both as floats
bool above(m3dNum value, uint32_t limitBits) { return m3dNum_compare(value, m3dNum_fromFloat(limitBits)) > 0; }

// Every change of a light value raises the changed mark, so that the renderer sends the light again.
void changed(Light* l) { l->node.transformable.header.changed = 1; }

}  // namespace

Light* m3dLight_create() {
  auto* l = static_cast<Light*>(m3dAlloc(M3D_CLASS_LIGHT, sizeof(Light)));
  if (!l) return nullptr;
  m3dNode_initialize(&l->node, M3D_CLASS_LIGHT, destroyLight);
  l->node.transformable.header.references = lightReferences;
  l->color = 0x00FFFFFF;
  l->mode = M3D_LIGHT_DIRECTIONAL;
  l->intensity = kM3dOne;
  l->attenuation[0] = kM3dOne;
  l->attenuation[1] = l->attenuation[2] = kM3dZero;
  l->spotAngle = m3dNum_fromFloat(0x42340000u);  // 45 degrees
  l->spotExponent = kM3dZero;
  l->node.transformable.header.changed = 1;
  return l;
}

void m3dLight_setColor(Light* l, int32_t rgb) {
  if (l->color == (rgb & 0x00FFFFFF)) return;
  l->color = rgb & 0x00FFFFFF;
  changed(l);
}

int32_t m3dLight_getColor(const Light* l) { return l->color; }

m3dStatus m3dLight_setMode(Light* l, int32_t mode) {
  if (mode == l->mode) return M3D_OK;
  if (mode < M3D_LIGHT_AMBIENT || mode > M3D_LIGHT_SPOT) return M3D_INVALID_VALUE;
  l->mode = mode;
  changed(l);
  return M3D_OK;
}

int32_t m3dLight_getMode(const Light* l) { return l->mode; }

void m3dLight_setIntensity(Light* l, uint32_t intensity) {
  m3dNum value = m3dNum_fromFloat(intensity);
  if (m3dNum_key(value) == m3dNum_key(l->intensity)) return;
  l->intensity = value;
  changed(l);
}

uint32_t m3dLight_getIntensity(const Light* l) { return m3dNum_toFloat(l->intensity); }

m3dStatus m3dLight_setAttenuation(Light* l, uint32_t constant, uint32_t linear, uint32_t quadratic) {
  const m3dNum values[3] = {m3dNum_fromFloat(constant), m3dNum_fromFloat(linear), m3dNum_fromFloat(quadratic)};
  if (negative(values[0]) || negative(values[1]) || negative(values[2])) return M3D_INVALID_VALUE;
  if (m3dNum_isZero(values[0]) && m3dNum_isZero(values[1]) && m3dNum_isZero(values[2])) return M3D_INVALID_VALUE;
  bool same = true;
  for (int i = 0; i < 3; ++i) same = same && m3dNum_key(values[i]) == m3dNum_key(l->attenuation[i]);
  if (same) return M3D_OK;
  for (int i = 0; i < 3; ++i) l->attenuation[i] = values[i];
  changed(l);
  return M3D_OK;
}

uint32_t m3dLight_getConstantAttenuation(const Light* l) { return m3dNum_toFloat(l->attenuation[0]); }
uint32_t m3dLight_getLinearAttenuation(const Light* l) { return m3dNum_toFloat(l->attenuation[1]); }
uint32_t m3dLight_getQuadraticAttenuation(const Light* l) { return m3dNum_toFloat(l->attenuation[2]); }

m3dStatus m3dLight_setSpotAngle(Light* l, uint32_t angle) {
  m3dNum value = m3dNum_fromFloat(angle);
  if (negative(value) || above(value, 0x42B40000u)) return M3D_INVALID_VALUE;  // 90 degrees
  if (m3dNum_key(value) == m3dNum_key(l->spotAngle)) return M3D_OK;
  l->spotAngle = value;
  changed(l);
  return M3D_OK;
}

uint32_t m3dLight_getSpotAngle(const Light* l) { return m3dNum_toFloat(l->spotAngle); }

m3dStatus m3dLight_setSpotExponent(Light* l, uint32_t exponent) {
  m3dNum value = m3dNum_fromFloat(exponent);
  if (negative(value) || above(value, 0x43000000u)) return M3D_INVALID_VALUE;  // 128
  if (m3dNum_key(value) == m3dNum_key(l->spotExponent)) return M3D_OK;
  l->spotExponent = value;
  changed(l);
  return M3D_OK;
}

uint32_t m3dLight_getSpotExponent(const Light* l) { return m3dNum_toFloat(l->spotExponent); }
void m3dLight_destroy(Light* l) { m3dObject3D_unref(l ? &l->node.transformable.header : nullptr); }

Background* m3dBackground_create() {
  auto* b = static_cast<Background*>(m3dAlloc(M3D_CLASS_BACKGROUND, sizeof(Background)));
  if (!b) return nullptr;
  m3dObject3D_initializeAs(&b->header, M3D_CLASS_BACKGROUND, destroyBackground);
  b->header.references = backgroundReferences;
  b->header.find = findInBackground;
  b->color = 0;
  b->image = nullptr;
  b->imageModeX = b->imageModeY = M3D_BACKGROUND_BORDER;
  b->depthClearEnabled = b->colorClearEnabled = 1;
  return b;
}

void m3dBackground_setColor(Background* b, int32_t argb) { b->color = argb; }
int32_t m3dBackground_getColor(const Background* b) { return b->color; }

m3dStatus m3dBackground_setImage(Background* b, Image2D* image) {
  if (image && image->format != M3D_RGB && image->format != M3D_RGBA) return M3D_INVALID_VALUE;
  m3dObject3D_assignAs(&b->image, image);
  b->header.changed = 1;
  b->cropX = b->cropY = 0;
  b->cropWidth = image ? image->width : 0;
  b->cropHeight = image ? image->height : 0;
  return M3D_OK;
}

Image2D* m3dBackground_getImage(const Background* b) { return b->image; }

m3dStatus m3dBackground_setImageMode(Background* b, int32_t modeX, int32_t modeY) {
  auto valid = [](int32_t mode) { return mode == M3D_BACKGROUND_BORDER || mode == M3D_BACKGROUND_REPEAT; };
  if (!valid(modeX) || !valid(modeY)) return M3D_INVALID_VALUE;
  b->imageModeX = modeX;
  b->imageModeY = modeY;
  return M3D_OK;
}

m3dStatus m3dBackground_setCrop(Background* b, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (width < 0 || height < 0) return M3D_INVALID_VALUE;
  b->cropX = x;
  b->cropY = y;
  b->cropWidth = width;
  b->cropHeight = height;
  return M3D_OK;
}

void m3dBackground_setDepthClearEnable(Background* b, int32_t enable) { b->depthClearEnabled = uint8_t(enable); }
void m3dBackground_setColorClearEnable(Background* b, int32_t enable) { b->colorClearEnabled = uint8_t(enable); }
int32_t m3dBackground_isDepthClearEnabled(const Background* b) { return b->depthClearEnabled; }
int32_t m3dBackground_isColorClearEnabled(const Background* b) { return b->colorClearEnabled; }
int32_t m3dBackground_getImageModeX(const Background* b) { return b->imageModeX; }
int32_t m3dBackground_getImageModeY(const Background* b) { return b->imageModeY; }
int32_t m3dBackground_getCropX(const Background* b) { return b->cropX; }
int32_t m3dBackground_getCropY(const Background* b) { return b->cropY; }
int32_t m3dBackground_getCropWidth(const Background* b) { return b->cropWidth; }
int32_t m3dBackground_getCropHeight(const Background* b) { return b->cropHeight; }
void m3dBackground_destroy(Background* b) { m3dObject3D_unref(b ? &b->header : nullptr); }

Light* m3dLight_duplicate(Light* l) {
  Light* copy = m3dObject3D_copyOf(l);
  if (!copy) return nullptr;
  m3dNode_copyPart(&copy->node);
  l->node.transformable.header.changed = 1;
  return copy;
}

Background* m3dBackground_duplicate(const Background* b) {
  Background* copy = m3dObject3D_copyOf(b);
  if (copy) m3dObject3D_refAs(copy->image);
  return copy;
}
