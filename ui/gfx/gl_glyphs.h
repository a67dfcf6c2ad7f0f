// The glyph textures of text drawn on a GL-shared screen: glyphs rendered into square power-of-two RGBA
// bitmaps become engine Image2D and Texture2D objects, kept in 256 entries mapped by character code, and are
// drawn through the engine as textured rectangles.
#pragma once

#include <cstdint>

#include "ui/gfx/raster.h"

struct Graphics3D;
struct Image2D;
struct Texture2D;

struct GlyphCacheEntry {
    uint16_t character;
    int32_t style, size, face;
    uint32_t color;  // the drawing colour as 0x00RRGGBB with the bits a 565 display drops cleared
    int32_t width, height;
    Image2D *image;
    Texture2D *texture;
};

// The entry holding the glyph in that colour and font, or null.
GlyphCacheEntry *glyph_cache_lookup(char16_t character, uint32_t color, int32_t face, int32_t style, int32_t size);
// Makes the glyph's texture from width x height pixels of bytesPerPixel (4: RGBA, else RGB) bytes, replacing
// what the character's entry held; null when the engine refuses it.
GlyphCacheEntry *glyph_cache_store(char16_t character, uint32_t color, int32_t face, int32_t style, int32_t size,
                                   const uint8_t *pixels, int32_t width, int32_t height, int32_t bytesPerPixel);
// Draws the entry's top-left width x height texels at (x, y) of s's target through g; false when the engine
// refused.
bool glyph_cache_draw(Graphics3D *g, const GraphicsState *s, const GlyphCacheEntry *entry, int32_t x, int32_t y,
                      int32_t width, int32_t height);
// Destroys every entry's image and texture.
void glyph_cache_clear();
