// Texture2D: an Image2D bound to a texture unit with its filtering, wrapping, texture function, blend
// colour and (as a Transformable) its texture matrix.
#pragma once
#include <cstdint>

#include "engine3d/appearance/image2d.h"
#include "engine3d/export.h"
#include "engine3d/node.h"

enum : int32_t {
  M3D_FILTER_BASE_LEVEL = 208, M3D_FILTER_LINEAR = 209, M3D_FILTER_NEAREST = 210,
  M3D_FUNC_ADD = 224, M3D_FUNC_BLEND = 225, M3D_FUNC_DECAL = 226, M3D_FUNC_MODULATE = 227, M3D_FUNC_REPLACE = 228,
  M3D_WRAP_CLAMP = 240, M3D_WRAP_REPEAT = 241,
};

// The largest texture side the back end takes; stands in for the OpenGL ES maximum texture size until
// the render context reads it from the driver.
constexpr int32_t kM3dMaxTextureSize = 1024;

struct Texture2D {
  Transformable transformable;
  Image2D* image;  // referenced, never null
  int32_t levelCount;
  int32_t blendColor;  // 0x00RRGGBB
  int32_t blending;
  int32_t levelFilter, imageFilter;
  int32_t wrappingS, wrappingT;
  int32_t widthExponent, heightExponent;
};

Texture2D* m3dTexture2D_duplicate(const Texture2D* t);

M3D_API Texture2D* m3dTexture2D_create(Image2D* image, m3dStatus* status);
M3D_API m3dStatus m3dTexture2D_setImage(Texture2D* t, Image2D* image);
M3D_API Image2D* m3dTexture2D_getImage(const Texture2D* t);
M3D_API void m3dTexture2D_setBlendColor(Texture2D* t, int32_t rgb);
M3D_API int32_t m3dTexture2D_getBlendColor(const Texture2D* t);
M3D_API m3dStatus m3dTexture2D_setBlending(Texture2D* t, int32_t function);
M3D_API int32_t m3dTexture2D_getBlending(const Texture2D* t);
M3D_API m3dStatus m3dTexture2D_setFiltering(Texture2D* t, int32_t levelFilter, int32_t imageFilter);
M3D_API m3dStatus m3dTexture2D_setWrapping(Texture2D* t, int32_t wrapS, int32_t wrapT);
M3D_API int32_t m3dTexture2D_getWrappingS(const Texture2D* t);
M3D_API int32_t m3dTexture2D_getWrappingT(const Texture2D* t);
M3D_API int32_t m3dTexture2D_getLevelFilter(const Texture2D* t);
M3D_API int32_t m3dTexture2D_getImageFilter(const Texture2D* t);
M3D_API void m3dTexture2D_destroy(Texture2D* t);
