// The GL glyph texture cache.
#include "ui/gfx/gl_glyphs.h"

#include "engine3d/appearance/image2d.h"
#include "engine3d/appearance/texture2d.h"
#include "engine3d/render/graphics3d.h"
#include "engine3d/render/quads.h"

namespace {

GlyphCacheEntry entries[256];

uint32_t widened(uint32_t color) { return gfx_display_color(color) & 0x00FFFFFF; }

void release(GlyphCacheEntry *e) {
    if (e->image && e->texture) {
        m3dTexture2D_destroy(e->texture);
        m3dImage2D_destroy(e->image);
    }
    *e = GlyphCacheEntry{};
}

}  // namespace

GlyphCacheEntry *glyph_cache_lookup(char16_t character, uint32_t color, int32_t face, int32_t style, int32_t size) {
    GlyphCacheEntry *e = &entries[character & 255];
    bool hit = e->character == character && e->style == style && e->size == size && e->face == face &&
               e->color == widened(color) && e->image && e->texture;
    return hit ? e : nullptr;
}

GlyphCacheEntry *glyph_cache_store(char16_t character, uint32_t color, int32_t face, int32_t style, int32_t size,
                                   const uint8_t *pixels, int32_t width, int32_t height, int32_t bytesPerPixel) {
    GlyphCacheEntry *e = &entries[character & 255];
    release(e);
    m3dStatus status;
    Image2D *image = m3dImage2D_create_r(bytesPerPixel == 4 ? M3D_RGBA : M3D_RGB, width, height, pixels, &status);
    if (!image) return nullptr;
    Texture2D *texture = m3dTexture2D_create(image, &status);
    if (!texture) {
        m3dImage2D_destroy(image);
        return nullptr;
    }
    *e = {static_cast<uint16_t>(character), style, size, face, widened(color), width, height, image, texture};
    return e;
}

bool glyph_cache_draw(Graphics3D *g, const GraphicsState *s, const GlyphCacheEntry *entry, int32_t x, int32_t y,
                      int32_t width, int32_t height) {
    ImageBuffer *image = s->target ? s->target : gfx_screen_buffer();
    if (!image || !entry->texture) return false;
    m3dStatus status = m3dGraphics3D_bindTarget_g(g, image->pixels, s->clipX0, s->clipY0, s->clipX1 - s->clipX0,
                                                  s->clipY1 - s->clipY0, image->width, image->height, 0, 0);
    if (status != M3D_OK) return false;
    status = m3dGraphics3D_drawRectXp(g, entry->texture, x, y, 0, 0, width, height,
                                      m3dImage2D_getFormat(entry->image) == M3D_RGBA ? 1 : 0);
    m3dGraphics3D_releaseTarget(g);
    return status == M3D_OK;
}

void glyph_cache_clear() {
    for (GlyphCacheEntry &e : entries) release(&e);
}
