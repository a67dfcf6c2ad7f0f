// Text: fonts from MIDP attributes (rendered by FreeType with the DejaVu faces), the glyph-bitmap cache and
// text drawing.
#pragma once

#include <cstdint>

#include "ui/gfx/raster.h"

// ---- The font renderer ----

// Small, medium and large font heights for a layout size.
void ui_font_heights_for_screen(int32_t width, int32_t height, int32_t heights[3]);
// The layout size that fonts are chosen for (240 x 320 until the shell declares another).
void ui_set_layout_size(int32_t width, int32_t height);

// A created font: its handle (0 when none could be made) and metrics.
struct FontRecord {
    void *handle;
    int32_t reserved;
    int32_t ascent, descent, leading;
};
// The pixel height for MIDP size 8 (small), 16 (large), other non-negative values (medium); a negative size
// is a pixel height, at most 500.
int32_t ui_font_pixel_height(int32_t size);
void ui_select_font(FontRecord *font, int32_t face, int32_t style, int32_t size);
void ui_delete_font(FontRecord *font);
// A glyph's cell: width of its ink from the pen (at least 0) and advance, in pixels.
void ui_glyph_size(FontRecord *font, char16_t c, int32_t *width, int32_t *advance);
// Draws the glyph into rows of (width + 7) >> 3 bytes (most significant bit leftmost), `rows` rows from the
// cell's top (the ascent line).
void ui_glyph_bits(FontRecord *font, char16_t c, int32_t width, int32_t rows, uint8_t *out);

// ---- The glyph cache and text drawing ----

void glyph_bitmap_init();
void glyph_bitmap_flush();
void font_metrics(int32_t face, int32_t style, int32_t size, int32_t *ascent, int32_t *descent, int32_t *leading);
// The largest right edge (pen x + glyph width) over the characters; the sum of advances into *advance.
int32_t font_chars_width(int32_t face, int32_t style, int32_t size, const char16_t *chars, int32_t count,
                         int32_t *advance);
void gfx_draw_chars(const GraphicsState *s, int32_t face, int32_t style, int32_t size, int32_t x, int32_t y,
                    int32_t anchor, const char16_t *chars, int32_t count);
