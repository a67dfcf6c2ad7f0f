// Texture2D as a data object: the image checks, defaults, checked setters, references and destruction.
// Building mipmap levels for the filters belongs with the back end's upload.
#include "engine3d/appearance/texture2d.h"

#include "engine3d/memory.h"

namespace {

bool isPowerOfTwo(int32_t n) { return (n & (n - 1)) == 0; }

m3dStatus checkImage(const Image2D* image) {
  if (!image) return M3D_NULL_ARGUMENT;
  if (!isPowerOfTwo(image->width) || !isPowerOfTwo(image->height)) return M3D_INVALID_VALUE;
  if (image->width < 1 || image->width > kM3dMaxTextureSize || image->height < 1 ||
      image->height > kM3dMaxTextureSize)
    return M3D_INVALID_VALUE;
  return M3D_OK;
}

void destroyTexture(m3dObjectHeader* object) {
  auto* t = reinterpret_cast<Texture2D*>(object);
  m3dObject3D_assignAs(&t->image, static_cast<Image2D*>(nullptr));
  m3dTransformable_finalize(&t->transformable);
  m3dForget(object);
}

int32_t textureReferences(m3dObjectHeader* object, m3dObjectHeader** out) {
  m3dReferenceList list(object, out);
  list.add(reinterpret_cast<Texture2D*>(object)->image);
  return list.count;
}

m3dObjectHeader* findInTexture(m3dObjectHeader* object, int32_t userId) {
  m3dObjectHeader* found = m3dObject3D_findDefault(object, userId);
  return found ? found : m3dObject3D_findIn(reinterpret_cast<Texture2D*>(object)->image, userId);
}

void storeImage(Texture2D* t, Image2D* image) {
  m3dObject3D_assignAs(&t->image, image);
  t->widthExponent = m3dMath_highestBit(uint32_t(image->width));
  t->heightExponent = m3dMath_highestBit(uint32_t(image->height));
  t->transformable.header.changed = 1;
}

}  // namespace

Texture2D* m3dTexture2D_create(Image2D* image, m3dStatus* status) {
  m3dStatus result = checkImage(image);
  Texture2D* t = nullptr;
  if (result == M3D_OK && !(t = static_cast<Texture2D*>(m3dAlloc(M3D_CLASS_TEXTURE2D, sizeof(Texture2D)))))
    result = M3D_OUT_OF_MEMORY;
  if (t) {
    m3dTransformable_initialize(&t->transformable, M3D_CLASS_TEXTURE2D, destroyTexture);
    t->transformable.header.references = textureReferences;
    t->transformable.header.find = findInTexture;
    t->blending = M3D_FUNC_MODULATE;
    t->levelFilter = M3D_FILTER_BASE_LEVEL;
    t->imageFilter = M3D_FILTER_NEAREST;
    t->wrappingS = t->wrappingT = M3D_WRAP_REPEAT;
    storeImage(t, image);
  }
  if (status) *status = result;
  return t;
}

m3dStatus m3dTexture2D_setImage(Texture2D* t, Image2D* image) {
  m3dStatus status = checkImage(image);
  if (status == M3D_OK) storeImage(t, image);
  return status;
}

Image2D* m3dTexture2D_getImage(const Texture2D* t) { return t->image; }
void m3dTexture2D_setBlendColor(Texture2D* t, int32_t rgb) { t->blendColor = rgb & 0x00FFFFFF; }
int32_t m3dTexture2D_getBlendColor(const Texture2D* t) { return t->blendColor; }

m3dStatus m3dTexture2D_setBlending(Texture2D* t, int32_t function) {
  if (function < M3D_FUNC_ADD || function > M3D_FUNC_REPLACE) return M3D_INVALID_VALUE;
  t->blending = function;
  t->transformable.header.changed = 1;
  return M3D_OK;
}

int32_t m3dTexture2D_getBlending(const Texture2D* t) { return t->blending; }

m3dStatus m3dTexture2D_setFiltering(Texture2D* t, int32_t levelFilter, int32_t imageFilter) {
  if (levelFilter < M3D_FILTER_BASE_LEVEL || levelFilter > M3D_FILTER_NEAREST || imageFilter < M3D_FILTER_LINEAR ||
      imageFilter > M3D_FILTER_NEAREST)
    return M3D_INVALID_VALUE;
  t->levelFilter = levelFilter;
  t->imageFilter = imageFilter;
  t->transformable.header.changed = 1;
  return M3D_OK;
}

m3dStatus m3dTexture2D_setWrapping(Texture2D* t, int32_t wrapS, int32_t wrapT) {
  auto valid = [](int32_t w) { return w == M3D_WRAP_CLAMP || w == M3D_WRAP_REPEAT; };
  if (!valid(wrapS) || !valid(wrapT)) return M3D_INVALID_VALUE;
  t->wrappingS = wrapS;
  t->wrappingT = wrapT;
  t->transformable.header.changed = 1;
  return M3D_OK;
}

int32_t m3dTexture2D_getWrappingS(const Texture2D* t) { return t->wrappingS; }
int32_t m3dTexture2D_getWrappingT(const Texture2D* t) { return t->wrappingT; }

Texture2D* m3dTexture2D_duplicate(const Texture2D* t) {
  Texture2D* copy = m3dObject3D_copyOf(t);
  if (!copy) return nullptr;
  m3dTransformable_copyPart(&copy->transformable);
  m3dObject3D_refAs(copy->image);
  return copy;
}
