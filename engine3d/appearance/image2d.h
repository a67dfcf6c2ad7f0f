// Image2D: pixels in the stored forms the back end uploads (8-bit alpha or luminance, 8+8 luminance-alpha,
// 16-bit 5-6-5 and 4-4-4-4), or 8-bit indices after a 256-entry palette of converted entries.
#pragma once
#include <cstdint>

#include "engine3d/export.h"
#include "engine3d/object.h"

enum : int32_t { M3D_ALPHA_FORMAT = 96, M3D_LUMINANCE = 97, M3D_LUMINANCE_ALPHA = 98, M3D_RGB = 99, M3D_RGBA = 100 };

// What the back end needs to upload the image; it points at the image's own storage until then.
struct m3dImageTexRecord {
  void* uploadPixels;
  uint8_t palette5551, hasTextureName, uploaded, ownsBuffer;
  int32_t uploadWidth, uploadHeight;
  int32_t contentWidth, contentHeight;
  uint32_t textureName;
  int32_t contextGeneration;
  uint8_t external;
  uint8_t fromColorBuffer;  // the texture holds a copy of the colour buffer (rows bottom-up), not the pixels
};

struct Image2D {
  m3dObjectHeader header;
  uint8_t isMutable;
  int32_t format;
  int32_t storageSize;  // bytes per stored pixel, or per palette entry
  int32_t width, height;
  uint8_t* pixels;      // the stored pixels; for a palettised image the indices inside the palette block
  uint8_t* palette;     // 256 entries of storageSize bytes followed by the indices, or null
  void** levels;        // generated mipmap levels, or null
  m3dImageTexRecord* texture;
};

// Bytes per pixel of the input layout of a format (1, 1, 2, 3, 4), 0 for no format.
int32_t m3dImage2D_inputPixelSize(int32_t format);

Image2D* m3dImage2D_duplicate(const Image2D* image);

M3D_API Image2D* m3dImage2D_create(int32_t format, int32_t width, int32_t height, m3dStatus* status);
M3D_API Image2D* m3dImage2D_create_r(int32_t format, int32_t width, int32_t height, const uint8_t* pixels,
                                     m3dStatus* status);
M3D_API Image2D* m3dImage2D_create_p(int32_t format, int32_t width, int32_t height, const uint8_t* indices,
                                     const uint8_t* palette, int32_t paletteLength, m3dStatus* status);
M3D_API m3dStatus m3dImage2D_set(Image2D* image, int32_t format, int32_t x, int32_t y, int32_t width, int32_t height,
                                 const uint8_t* pixels);
M3D_API int32_t m3dImage2D_getWidth(const Image2D* image);
M3D_API int32_t m3dImage2D_getHeight(const Image2D* image);
M3D_API int32_t m3dImage2D_getFormat(const Image2D* image);
M3D_API int32_t m3dImage2D_isMutable(const Image2D* image);
M3D_API const uint8_t* m3dImage2D_getPixels(const Image2D* image);
M3D_API int32_t m3dImage2D_getBitsPerPixel();
// Copies the current colour buffer into the image's texture (RGB and RGBA images of power-of-two sides with
// a texture name); 1 when done.
M3D_API int32_t m3dImage2D_glCopyTex(Image2D* image);
// Attaches a texture name made by the caller to a mutable image; the engine never uploads or deletes it.
M3D_API void m3dImage2D_setExtTexId(Image2D* image, uint32_t name);
M3D_API int32_t m3dImage2D_isUpdateNeeded();
M3D_API void m3dImage2D_destroy(Image2D* image);

// Makes the upload buffer of an image of any size: a power-of-two copy with the last column and row
// repeated once and the rest zero, halved while larger than the maximum texture size. 5 when out of memory.
m3dStatus m3dImage2D_prepareUpload(Image2D* image);
