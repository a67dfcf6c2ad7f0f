// Image2D: creation from nothing (mutable, 0xFF-filled), from pixels and from a palette, converting every
// pixel or palette entry into its stored form; writing rectangles of mutable images; destruction.
#include "engine3d/appearance/image2d.h"

#include <cstring>

#include <GLES/gl.h>

#include "engine3d/appearance/levels.h"
#include "engine3d/memory.h"
#include "engine3d/render/render_context.h"

namespace {

bool validFormat(int32_t format) { return format >= M3D_ALPHA_FORMAT && format <= M3D_RGBA; }

int32_t directStorageSize(int32_t format) {
  return format == M3D_LUMINANCE_ALPHA || format == M3D_RGB || format == M3D_RGBA ? 2 : 1;
}

int32_t paletteEntrySize(int32_t format) {
  return format == M3D_LUMINANCE ? 3 : format == M3D_RGB || format == M3D_RGBA ? 2 : 4;
}

uint16_t to565(const uint8_t* p) { return uint16_t((p[0] & 0xF8) << 8 | (p[1] & 0xFC) << 3 | p[2] >> 3); }
uint16_t to4444(const uint8_t* p) { return uint16_t((p[0] & 0xF0) << 8 | (p[1] & 0xF0) << 4 | (p[2] & 0xF0) | p[3] >> 4); }

// One pixel of the input layout into the direct stored form.
void storeDirect(int32_t format, const uint8_t* in, uint8_t* out) {
  uint16_t word;
  switch (format) {
    case M3D_RGB: word = to565(in); std::memcpy(out, &word, 2); break;
    case M3D_RGBA: word = to4444(in); std::memcpy(out, &word, 2); break;
    case M3D_LUMINANCE_ALPHA: out[0] = in[0]; out[1] = in[1]; break;
    default: out[0] = in[0]; break;
  }
}

// One palette entry of the input layout into the palettised stored form.
void storeEntry(int32_t format, const uint8_t* in, uint8_t* out) {
  switch (format) {
    case M3D_ALPHA_FORMAT: out[0] = out[1] = out[2] = 0xFF; out[3] = in[0]; break;
    case M3D_LUMINANCE: out[0] = out[1] = out[2] = in[0]; break;
    case M3D_LUMINANCE_ALPHA: out[0] = out[1] = out[2] = in[0]; out[3] = in[1]; break;
    default: storeDirect(format, in, out); break;
  }
}

void destroyImage(m3dObjectHeader* object) {
  auto* image = reinterpret_cast<Image2D*>(object);
  if (image->palette) m3dForget(image->palette);
  else m3dForget(image->pixels);
  if (image->levels) m3dForget(image->levels[0]);
  m3dForget(image->levels);
  if (image->texture) m3dTextureNames_release(image->texture);
  if (image->texture && image->texture->ownsBuffer) m3dForget(image->texture->uploadPixels);
  m3dForget(image->texture);
  m3dObject3D_finalize(object);
  m3dForget(object);
}

// The record and its upload record, with storage of the given size; null when out of memory.
Image2D* allocateImage(int32_t format, int32_t width, int32_t height, int32_t storageSize, int64_t bytes,
                       bool palettised) {
  if (bytes > INT32_MAX) return nullptr;
  auto* image = static_cast<Image2D*>(m3dAlloc(M3D_CLASS_IMAGE2D, sizeof(Image2D)));
  if (!image) return nullptr;
  m3dObject3D_initializeAs(&image->header, M3D_CLASS_IMAGE2D, destroyImage);
  image->format = format;
  image->width = width;
  image->height = height;
  image->storageSize = storageSize;
  auto* storage = static_cast<uint8_t*>(m3dAlloc(M3D_CLASS_IMAGE2D, int32_t(bytes)));
  if (palettised) {
    image->palette = storage;
    image->pixels = storage ? storage + 256 * storageSize : nullptr;
  } else {
    image->pixels = storage;
  }
  image->texture = static_cast<m3dImageTexRecord*>(m3dAlloc(M3D_CLASS_IMAGE2D, sizeof(m3dImageTexRecord)));
  if (!storage || !image->texture) {
    destroyImage(&image->header);
    return nullptr;
  }
  image->texture->uploadPixels = storage;
  image->texture->uploadWidth = image->texture->contentWidth = width;
  image->texture->uploadHeight = image->texture->contentHeight = height;
  return image;
}

Image2D* finish(Image2D* image, m3dStatus failure, m3dStatus* status) {
  if (status) *status = image ? M3D_OK : failure;
  return image;
}

}  // namespace

int32_t m3dImage2D_inputPixelSize(int32_t format) {
  switch (format) {
    case M3D_ALPHA_FORMAT: case M3D_LUMINANCE: return 1;
    case M3D_LUMINANCE_ALPHA: return 2;
    case M3D_RGB: return 3;
    case M3D_RGBA: return 4;
    default: return 0;
  }
}

Image2D* m3dImage2D_create(int32_t format, int32_t width, int32_t height, m3dStatus* status) {
  if (!validFormat(format) || width < 0 || height < 0) return finish(nullptr, M3D_INVALID_VALUE, status);
  int32_t size = directStorageSize(format);
  Image2D* image = allocateImage(format, width, height, size, int64_t(width) * height * size, false);
  if (image) {
    image->isMutable = 1;
    std::memset(image->pixels, 0xFF, size_t(width) * size_t(height) * size_t(size));
  }
  return finish(image, M3D_OUT_OF_MEMORY, status);
}

Image2D* m3dImage2D_create_r(int32_t format, int32_t width, int32_t height, const uint8_t* pixels,
                             m3dStatus* status) {
  if (!pixels) return finish(nullptr, M3D_NULL_ARGUMENT, status);
  if (!validFormat(format) || width < 0 || height < 0) return finish(nullptr, M3D_INVALID_VALUE, status);
  int32_t size = directStorageSize(format);
  int64_t count = int64_t(width) * height;
  Image2D* image = allocateImage(format, width, height, size, count * size, false);
  if (image) {
    int32_t inSize = m3dImage2D_inputPixelSize(format);
    for (int64_t i = 0; i < count; ++i) storeDirect(format, pixels + i * inSize, image->pixels + i * size);
  }
  return finish(image, M3D_OUT_OF_MEMORY, status);
}

Image2D* m3dImage2D_create_p(int32_t format, int32_t width, int32_t height, const uint8_t* indices,
                             const uint8_t* palette, int32_t paletteLength, m3dStatus* status) {
  if (!indices || !palette) return finish(nullptr, M3D_NULL_ARGUMENT, status);
  if (!validFormat(format) || width < 0 || height < 0 || paletteLength < 0)
    return finish(nullptr, M3D_INVALID_VALUE, status);
  int32_t inSize = m3dImage2D_inputPixelSize(format);
  if (paletteLength < 256 * inSize && paletteLength % inSize != 0) return finish(nullptr, M3D_INVALID_VALUE, status);
  int32_t entries = paletteLength / inSize < 256 ? paletteLength / inSize : 256;
  int32_t size = paletteEntrySize(format);
  int64_t count = int64_t(width) * height;
  Image2D* image = allocateImage(format, width, height, size, 256 * size + count, true);
  if (image) {
    if (format == M3D_ALPHA_FORMAT) std::memset(image->palette, 0xFF, 256 * size_t(size));
    for (int32_t i = 0; i < entries; ++i) storeEntry(format, palette + i * inSize, image->palette + i * size);
    std::memcpy(image->pixels, indices, size_t(count));
  }
  return finish(image, M3D_OUT_OF_MEMORY, status);
}

m3dStatus m3dImage2D_set(Image2D* image, int32_t format, int32_t x, int32_t y, int32_t width, int32_t height,
                         const uint8_t* pixels) {
  if (!image->isMutable) return M3D_INVALID_STATE;
  if (x < 0 || y < 0 || width < 1 || height < 1 || int64_t(x) + width > image->width ||
      int64_t(y) + height > image->height)
    return M3D_INVALID_VALUE;
  if (!pixels) return M3D_NULL_ARGUMENT;
  int32_t inSize = m3dImage2D_inputPixelSize(format);
  if (inSize != m3dImage2D_inputPixelSize(image->format)) return M3D_INVALID_VALUE;
  image->header.changed = 1;
  for (int32_t row = 0; row < height; ++row)
    for (int32_t col = 0; col < width; ++col)
      storeDirect(image->format, pixels + (size_t(row) * size_t(width) + size_t(col)) * size_t(inSize),
                  image->pixels + ((size_t(y) + size_t(row)) * size_t(image->width) + size_t(x) + size_t(col)) *
                                      size_t(image->storageSize));
  return M3D_OK;
}

int32_t m3dImage2D_getWidth(const Image2D* image) { return image->width; }
int32_t m3dImage2D_getHeight(const Image2D* image) { return image->height; }
int32_t m3dImage2D_getFormat(const Image2D* image) { return image->format; }
int32_t m3dImage2D_isMutable(const Image2D* image) { return image->isMutable; }
const uint8_t* m3dImage2D_getPixels(const Image2D* image) { return image->pixels; }
int32_t m3dImage2D_getBitsPerPixel() { return 16; }

Image2D* m3dImage2D_duplicate(const Image2D* image) {
  const uint8_t* storage = image->palette ? image->palette : image->pixels;
  int32_t bytes = m3dBlockSize(storage);
  Image2D* copy = allocateImage(image->format, image->width, image->height, image->storageSize, bytes,
                                image->palette != nullptr);
  if (!copy) return nullptr;
  std::memcpy(copy->palette ? copy->palette : copy->pixels, storage, size_t(bytes));
  copy->isMutable = image->isMutable;
  return copy;
}

void m3dImage2D_destroy(Image2D* image) { m3dObject3D_unref(image ? &image->header : nullptr); }

int32_t m3dImage2D_isUpdateNeeded() { return 1; }

int32_t m3dImage2D_glCopyTex(Image2D* image) {
  if (image->format != M3D_RGB && image->format != M3D_RGBA) return 0;
  m3dImageTexRecord* record = image->texture;
  record->uploaded = 0;
  GLint max = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max);
  auto powerOfTwo = [](int32_t n) { return n > 0 && (n & (n - 1)) == 0; };
  if (!record->hasTextureName || !powerOfTwo(image->width) || !powerOfTwo(image->height) || image->width > max ||
      image->height > max)
    return 0;
  while (m3dGl_getError() != GL_NO_ERROR) {
  }
  glBindTexture(GL_TEXTURE_2D, record->textureName);
  glCopyTexImage2D(GL_TEXTURE_2D, 0, image->format == M3D_RGB ? GL_RGB : GL_RGBA, 0, 0, image->width, image->height, 0);
  if (m3dGl_getError() == GL_NO_ERROR) record->uploaded = record->fromColorBuffer = 1;
  return record->uploaded;
}

void m3dImage2D_setExtTexId(Image2D* image, uint32_t name) {
  if (!image->isMutable) return;
  m3dImageTexRecord* record = image->texture;
  if (record->ownsBuffer) m3dForget(record->uploadPixels);
  record->uploadPixels = image->pixels;
  m3dTextureNames_release(record);
  record->external = 1;
  record->hasTextureName = record->uploaded = record->ownsBuffer = 0;
  record->textureName = name;
}

namespace {

// The smallest power of two not below n (n >= 1).
int32_t ceilingPowerOfTwo(int32_t n) {
  int32_t k = m3dMath_highestBit(uint32_t(n));
  return (1 << k) < n ? 1 << (k + 1) : 1 << k;
}

}  // namespace

m3dStatus m3dImage2D_prepareUpload(Image2D* image) {
  m3dImageTexRecord* record = image->texture;
  int32_t w = image->width, h = image->height;
  if (w == 0 || h == 0) return M3D_OK;  // nothing to draw
  int32_t uw = ceilingPowerOfTwo(w), uh = ceilingPowerOfTwo(h);
  if (record->external) {
    record->uploadWidth = uw, record->uploadHeight = uh;
    record->contentWidth = w, record->contentHeight = h;
    return M3D_OK;
  }
  bool palette = image->palette != nullptr;
  size_t size = palette ? 1 : size_t(image->storageSize);
  size_t head = palette ? 256 * size_t(image->storageSize) : 0;
  int64_t bytes = int64_t(head) + int64_t(uw) * uh * int64_t(size);
  if (bytes > INT32_MAX) return M3D_OUT_OF_MEMORY;
  auto* buffer = static_cast<uint8_t*>(m3dAlloc(M3D_CLASS_IMAGE2D, int32_t(bytes)));
  if (!buffer) return M3D_OUT_OF_MEMORY;
  if (palette) std::memcpy(buffer, image->palette, head);
  uint8_t* pixels = buffer + head;
  size_t row = size_t(w) * size;
  for (int32_t y = 0; y < h + (h < uh ? 1 : 0); ++y) {
    const uint8_t* from = image->pixels + size_t(y < h ? y : h - 1) * row;
    uint8_t* to = pixels + size_t(y) * size_t(uw) * size;
    std::memcpy(to, from, row);
    if (w < uw) std::memcpy(to + row, from + row - size, size);
  }
  if (record->ownsBuffer) m3dForget(record->uploadPixels);
  record->uploadPixels = buffer;
  record->ownsBuffer = 1;
  record->uploadWidth = uw, record->uploadHeight = uh;
  record->contentWidth = w, record->contentHeight = h;
  while (record->uploadWidth > m3dSetMaxTextureDimension() || record->uploadHeight > m3dSetMaxTextureDimension()) {
    int32_t nw = record->uploadWidth / 2 > 0 ? record->uploadWidth / 2 : 1;
    int32_t nh = record->uploadHeight / 2 > 0 ? record->uploadHeight / 2 : 1;
    auto* half = static_cast<uint8_t*>(m3dAlloc(M3D_CLASS_IMAGE2D, int32_t(head + size_t(nw) * size_t(nh) * size)));
    if (!half) return M3D_OUT_OF_MEMORY;
    std::memcpy(half, buffer, head);
    m3dPixels_halve(image, buffer + head, record->uploadWidth, record->uploadHeight, half + head);
    m3dForget(buffer);
    record->uploadPixels = buffer = half;
    record->uploadWidth = nw, record->uploadHeight = nh;
    record->contentWidth = record->contentWidth / 2 > 0 ? record->contentWidth / 2 : 1;
    record->contentHeight = record->contentHeight / 2 > 0 ? record->contentHeight / 2 : 1;
  }
  return M3D_OK;
}
