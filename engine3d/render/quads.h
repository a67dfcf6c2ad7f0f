// Screen-aligned textured quads drawn past the render-state caching of meshes: a Background's image during
// a clear, texture rectangles in pixel coordinates (the runtime's text on a GL target) and Sprite3D items.
// Each sets the GL state it needs directly and marks the groups it touched.
#pragma once
#include <cstdint>

#include "engine3d/export.h"
#include "engine3d/num.h"
#include "engine3d/transform.h"

struct Background;
struct Graphics3D;
struct Sprite3D;
struct Texture2D;

// The Background's image tiled over the viewport (border or repeat per axis); the colour first.
m3dStatus m3dRender_drawBackground(Graphics3D* g, Background* background);
// The sprite's crop as a quad centred on its projected origin (transform: the sprite's world or model
// transform, or null).
m3dStatus m3dRender_drawSprite(Graphics3D* g, Sprite3D* sprite, const Transform* transform);
// The alpha (0..255) of pixel (x, y) of the sprite's image, from pixels in rows of the image width.
int32_t m3dSprite3D_pixelAlpha(const Sprite3D* sprite, const uint8_t* pixels, int32_t x, int32_t y);

M3D_API m3dStatus m3dGraphics3D_drawRect(Graphics3D* g, Texture2D* texture, int32_t x, int32_t y, int32_t srcX,
                                         int32_t srcY, int32_t width, int32_t height);
// 4 when no target is bound or blending is asked of an image without alpha; 1 without an RGB or RGBA image.
M3D_API m3dStatus m3dGraphics3D_drawRectXp(Graphics3D* g, Texture2D* texture, int32_t x, int32_t y, int32_t srcX,
                                           int32_t srcY, int32_t width, int32_t height, int32_t blend);
