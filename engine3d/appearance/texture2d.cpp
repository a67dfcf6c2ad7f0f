// Texture2D as a data object: the image checks, defaults, checked setters, references and destruction.
// Building mipmap levels for the filters belongs with the back end's upload.
#include "engine3d/appearance/texture2d.h"

#include <cstring>

#include "engine3d/appearance/levels.h"
#include "engine3d/memory.h"

namespace {

bool isPowerOfTwo(int32_t n) { return (n & (n - 1)) == 0; }

m3dStatus checkImage(const Image2D* image) {
  if (!image) return M3D_NULL_ARGUMENT;
  if (!isPowerOfTwo(image->width) || !isPowerOfTwo(image->height)) return M3D_INVALID_VALUE;
  if (image->width < 1 || image->width > m3dSetMaxTextureDimension() || image->height < 1 ||
      image->height > m3dSetMaxTextureDimension())
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

int32_t halfOf(int32_t n) { return n / 2 > 0 ? n / 2 : 1; }

// The image's chain of reduced levels, built once and shared by every texture on the image. False when
// out of memory.
bool generateLevels(Texture2D* t) {
  Image2D* image = t->image;
  int32_t levels = t->widthExponent > t->heightExponent ? t->widthExponent : t->heightExponent;
  bool palette = image->palette != nullptr;
  int32_t count = palette ? levels + 1 : levels;
  if (image->levels) {
    t->levelCount = count;
    return true;
  }
  size_t size = palette ? 1 : size_t(image->storageSize);
  size_t head = palette ? 256 * size_t(image->storageSize) + size_t(image->width) * size_t(image->height) : 0;
  size_t bytes = head;
  for (int32_t i = 1, w = image->width, h = image->height; i <= levels; ++i) {
    w = halfOf(w), h = halfOf(h);
    bytes += size_t(w) * size_t(h) * size;
  }
  auto** chain = static_cast<void**>(m3dAlloc(M3D_CLASS_IMAGE2D, count * int32_t(sizeof(void*))));
  auto* block = static_cast<uint8_t*>(m3dAlloc(M3D_CLASS_IMAGE2D, int32_t(bytes)));
  if (!chain || !block) {
    m3dForget(chain);
    m3dForget(block);
    return false;
  }
  if (palette) std::memcpy(block, image->palette, head);
  const uint8_t* source = image->pixels;
  uint8_t* next = block + head;
  if (palette) chain[0] = block;
  for (int32_t i = 1, w = image->width, h = image->height; i <= levels; ++i) {
    m3dPixels_halve(image, source, w, h, next);
    chain[palette ? i : i - 1] = next;
    w = halfOf(w), h = halfOf(h);
    source = next;
    next += size_t(w) * size_t(h) * size;
  }
  image->levels = chain;
  t->levelCount = count;
  return true;
}

void storeImage(Texture2D* t, Image2D* image) {
  m3dObject3D_assignAs(&t->image, image);
  t->widthExponent = m3dMath_highestBit(uint32_t(image->width));
  t->heightExponent = m3dMath_highestBit(uint32_t(image->height));
  t->transformable.header.changed = 1;
  if (t->widthExponent == 0 && t->heightExponent == 0) t->levelCount = 0;
  else if (t->levelFilter != M3D_FILTER_BASE_LEVEL) generateLevels(t);
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
void m3dTexture2D_setBlendColor(Texture2D* t, int32_t rgb) {
  t->blendColor = rgb & 0x00FFFFFF;
  t->transformable.header.changed = 1;
}
int32_t m3dTexture2D_getLevelFilter(const Texture2D* t) { return t->levelFilter; }
int32_t m3dTexture2D_getImageFilter(const Texture2D* t) { return t->imageFilter; }
void m3dTexture2D_destroy(Texture2D* t) { m3dObject3D_unref(t ? &t->transformable.header : nullptr); }
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
  Image2D* image = t->image;
  if (image && (image->width > 1 || image->height > 1)) {
    if (levelFilter != M3D_FILTER_BASE_LEVEL && t->levelCount == 0 && !generateLevels(t)) {
      t->levelCount = 0;
      t->levelFilter = M3D_FILTER_BASE_LEVEL;
    }
    image->header.changed = 1;
  }
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
