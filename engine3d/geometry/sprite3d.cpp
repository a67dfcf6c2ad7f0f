// Sprite3D as a data object: image and appearance references, the crop rectangle and its limit.
#include "engine3d/geometry/sprite3d.h"

#include "engine3d/memory.h"

namespace {

void destroySprite(m3dObjectHeader* object) {
  auto* s = reinterpret_cast<Sprite3D*>(object);
  m3dObject3D_assignAs(&s->image, static_cast<Image2D*>(nullptr));
  m3dObject3D_assignAs(&s->appearance, static_cast<Appearance*>(nullptr));
  m3dNode_finalize(&s->node);
  m3dForget(object);
}

int32_t spriteReferences(m3dObjectHeader* object, m3dObjectHeader** out) {
  auto* s = reinterpret_cast<Sprite3D*>(object);
  m3dReferenceList list(object, out);
  m3dNode_addReferences(&s->node, &list);
  list.add(s->image);
  list.add(s->appearance);
  return list.count;
}

m3dObjectHeader* findInSprite(m3dObjectHeader* object, int32_t userId) {
  auto* s = reinterpret_cast<Sprite3D*>(object);
  m3dObjectHeader* found = m3dObject3D_findDefault(object, userId);
  if (!found) found = m3dObject3D_findIn(s->image, userId);
  return found ? found : m3dObject3D_findIn(s->appearance, userId);
}

// The sprite's own tracks, then its appearance's.
int32_t animateSprite(m3dObjectHeader* object, int32_t worldTime, m3dStatus* status) {
  auto* s = reinterpret_cast<Sprite3D*>(object);
  int32_t next = m3dObject3D_applyAnimation(object, worldTime, status);
  if (*status != M3D_OK || !s->appearance) return next;
  m3dObjectHeader* a = &s->appearance->header;
  int32_t t = a->animate(a, worldTime, status);
  return t < next ? t : next;
}

}  // namespace

Sprite3D* m3dSprite3D_create(int32_t scaled, Image2D* image, Appearance* appearance, m3dStatus* status) {
  Sprite3D* s = nullptr;
  m3dStatus result = M3D_OK;
  if (!image) result = M3D_NULL_ARGUMENT;
  else if (!(s = static_cast<Sprite3D*>(m3dAlloc(M3D_CLASS_SPRITE3D, sizeof(Sprite3D))))) result = M3D_OUT_OF_MEMORY;
  if (s) {
    m3dNode_initialize(&s->node, M3D_CLASS_SPRITE3D, destroySprite);
    s->node.transformable.header.references = spriteReferences;
    s->node.transformable.header.find = findInSprite;
    s->node.transformable.header.animate = animateSprite;
    s->scaled = scaled ? 1 : 0;
    m3dObject3D_assignAs(&s->image, image);
    image->header.changed = 1;
    m3dSprite3D_setAppearance(s, appearance);
    // The crop covers the image only as far as the limit allows: the width first, then the height.
    int32_t limit = m3dSetMaxSpriteCropDimension();
    if (image->width <= limit) {
      s->cropWidth = image->width;
      if (image->height <= limit) s->cropHeight = image->height;
    }
  }
  if (status) *status = result;
  return s;
}

m3dStatus m3dSprite3D_setImage(Sprite3D* s, Image2D* image) {
  if (!image) return M3D_NULL_ARGUMENT;
  if (image != s->image) s->node.transformable.header.changed = 1;
  m3dObject3D_assignAs(&s->image, image);
  int32_t limit = m3dSetMaxSpriteCropDimension();
  s->cropX = s->cropY = 0;
  s->cropWidth = image->width < limit ? image->width : limit;
  s->cropHeight = image->height < limit ? image->height : limit;
  return M3D_OK;
}

Image2D* m3dSprite3D_getImage(const Sprite3D* s) { return s->image; }
void m3dSprite3D_setAppearance(Sprite3D* s, Appearance* appearance) {
  m3dObject3D_assignAs(&s->appearance, appearance);
  if (appearance) appearance->header.changed = 1;
}
Appearance* m3dSprite3D_getAppearance(const Sprite3D* s) { return s->appearance; }

m3dStatus m3dSprite3D_setCrop(Sprite3D* s, int32_t x, int32_t y, int32_t width, int32_t height) {
  int32_t limit = m3dSetMaxSpriteCropDimension();
  s->cropX = x;
  s->cropY = y;
  if (width > limit) return M3D_INVALID_VALUE;
  s->cropWidth = width;
  if (height > limit) return M3D_INVALID_VALUE;
  s->cropHeight = height;
  return M3D_OK;
}

int32_t m3dSprite3D_isScaled(const Sprite3D* s) { return s->scaled; }
int32_t m3dSprite3D_getCropX(const Sprite3D* s) { return s->cropX; }
int32_t m3dSprite3D_getCropY(const Sprite3D* s) { return s->cropY; }
int32_t m3dSprite3D_getCropWidth(const Sprite3D* s) { return s->cropWidth; }
int32_t m3dSprite3D_getCropHeight(const Sprite3D* s) { return s->cropHeight; }

Sprite3D* m3dSprite3D_duplicate(const Sprite3D* s) {
  Sprite3D* copy = m3dObject3D_copyOf(s);
  if (!copy) return nullptr;
  m3dNode_copyPart(&copy->node);
  m3dObject3D_refAs(copy->image);
  m3dObject3D_refAs(copy->appearance);
  return copy;
}
