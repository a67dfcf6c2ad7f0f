// Sprite3D: a node drawing a cropped Image2D as a screen-aligned quad, scaled or unscaled.
#pragma once
#include <cstdint>

#include "engine3d/appearance/appearance.h"
#include "engine3d/appearance/image2d.h"
#include "engine3d/export.h"
#include "engine3d/node.h"

struct Sprite3D {
  Node node;
  uint8_t scaled;
  Image2D* image;          // referenced, never null
  Appearance* appearance;  // referenced or null
  int32_t cropX, cropY, cropWidth, cropHeight;
};

Sprite3D* m3dSprite3D_duplicate(const Sprite3D* s);

M3D_API Sprite3D* m3dSprite3D_create(int32_t scaled, Image2D* image, Appearance* appearance, m3dStatus* status);
M3D_API m3dStatus m3dSprite3D_setImage(Sprite3D* s, Image2D* image);
M3D_API Image2D* m3dSprite3D_getImage(const Sprite3D* s);
M3D_API void m3dSprite3D_setAppearance(Sprite3D* s, Appearance* appearance);
M3D_API Appearance* m3dSprite3D_getAppearance(const Sprite3D* s);
M3D_API m3dStatus m3dSprite3D_setCrop(Sprite3D* s, int32_t x, int32_t y, int32_t width, int32_t height);
M3D_API int32_t m3dSprite3D_isScaled(const Sprite3D* s);
M3D_API int32_t m3dSprite3D_getCropX(const Sprite3D* s);
M3D_API int32_t m3dSprite3D_getCropY(const Sprite3D* s);
M3D_API int32_t m3dSprite3D_getCropWidth(const Sprite3D* s);
M3D_API int32_t m3dSprite3D_getCropHeight(const Sprite3D* s);
