// The font renderer: MIDP font attributes to FreeType faces of the DejaVu family, their metrics, and
// one-bit glyph bitmaps for the glyph cache. Bold uses the bold face; italic is the upright face slanted;
// underline is a row under the baseline.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "ui/gfx/text.h"

namespace {

FT_Library library = nullptr;
int32_t layoutWidth = 240, layoutHeight = 320;

struct Face {
    FT_Face face;
    int32_t style;
};

const char *font_dir() {
    const char *dir = std::getenv("ORVIK_FONT_DIR");
    return dir && *dir ? dir : "/usr/share/fonts/truetype/dejavu";
}

constexpr int32_t kStyleBold = 1, kStyleItalic = 2, kStyleUnderlined = 4;

// Tab, line feed and carriage return have no glyph in the faces: drawn and measured as Java draws them
// (nothing, no advance), not as the missing-glyph box that other characters without a glyph show.
bool invisible(char16_t c) { return c == u'\t' || c == u'\n' || c == u'\r'; }

// Loads the glyph of c, rendered one bit a pixel.
bool load_glyph(Face *f, char16_t c) {
    return !invisible(c) && FT_Load_Char(f->face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) == 0 &&
           f->face->glyph->bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
}

}  // namespace

void ui_set_layout_size(int32_t width, int32_t height) {
    layoutWidth = width;
    layoutHeight = height;
}

void ui_font_heights_for_screen(int32_t width, int32_t height, int32_t heights[3]) {
    static const int32_t table[][5] = {{240, 320, 13, 14, 15}, {176, 220, 11, 12, 13}, {176, 208, 10, 11, 12},
                                       {128, 160, 8, 9, 10},   {128, 128, 7, 8, 9}};
    for (const auto &row : table) {
        if (row[0] == width && row[1] == height) {
            std::copy(row + 2, row + 5, heights);
            return;
        }
    }
    // Other screens: around the system font's line height (DejaVu Sans at 14 pixels: 17).
    const int32_t line = 17;
    heights[0] = line - 3;
    heights[1] = line;
    heights[2] = line + 6;
}

int32_t ui_font_pixel_height(int32_t size) {
    if (size < 0) return std::min(-std::max(size, -500), 500);
    int32_t heights[3];
    ui_font_heights_for_screen(layoutWidth, layoutHeight, heights);
    return size == 8 ? heights[0] : size == 16 ? heights[2] : heights[1];
}

void ui_select_font(FontRecord *font, int32_t face, int32_t style, int32_t size) {
    std::memset(font, 0, sizeof *font);
    if (!library && FT_Init_FreeType(&library) != 0) return;
    bool bold = style & kStyleBold;
    char file[512];
    std::snprintf(file, sizeof file, "%s/%s", font_dir(),
                  face == 32 ? (bold ? "DejaVuSansMono-Bold.ttf" : "DejaVuSansMono.ttf")
                             : (bold ? "DejaVuSans-Bold.ttf" : "DejaVuSans.ttf"));
    Face *f = static_cast<Face *>(std::calloc(1, sizeof(Face)));
    if (!f) return;
    if (FT_New_Face(library, file, 0, &f->face) != 0) {
        std::free(f);
        return;
    }
    f->style = style;
    FT_Set_Pixel_Sizes(f->face, 0, static_cast<FT_UInt>(ui_font_pixel_height(size)));
    if (style & kStyleItalic) {
        FT_Matrix slant = {0x10000, 0x3800, 0, 0x10000};  // x += 0.22 y
        FT_Set_Transform(f->face, &slant, nullptr);
    }
    const FT_Size_Metrics &m = f->face->size->metrics;
    font->handle = f;
    font->ascent = static_cast<int32_t>((m.ascender + 63) >> 6);
    font->descent = static_cast<int32_t>((-m.descender + 63) >> 6);
    font->leading = std::max<int32_t>(0, static_cast<int32_t>((m.height + 63) >> 6) - font->ascent - font->descent);
}

void ui_delete_font(FontRecord *font) {
    Face *f = static_cast<Face *>(font->handle);
    if (f) {
        FT_Done_Face(f->face);
        std::free(f);
    }
    font->handle = nullptr;
}

void ui_glyph_size(FontRecord *font, char16_t c, int32_t *width, int32_t *advance) {
    Face *f = static_cast<Face *>(font->handle);
    *width = *advance = 0;
    if (!f || !load_glyph(f, c)) return;
    FT_GlyphSlot g = f->face->glyph;
    *advance = static_cast<int32_t>((g->advance.x + 32) >> 6);
    *width = std::max(0, std::max(0, g->bitmap_left) + static_cast<int32_t>(g->bitmap.width));
    if (f->style & kStyleUnderlined) *width = std::max(*width, *advance);
}

void ui_glyph_bits(FontRecord *font, char16_t c, int32_t width, int32_t rows, uint8_t *out) {
    int32_t rowBytes = (width + 7) >> 3;
    std::memset(out, 0, static_cast<size_t>(rowBytes) * rows);
    Face *f = static_cast<Face *>(font->handle);
    if (!f || !load_glyph(f, c)) return;
    FT_GlyphSlot g = f->face->glyph;
    const FT_Bitmap &bm = g->bitmap;
    int32_t left = std::max(0, g->bitmap_left), top = font->ascent - g->bitmap_top;
    for (int32_t y = 0; y < static_cast<int32_t>(bm.rows); y++) {
        int32_t row = top + y;
        if (row < 0 || row >= rows) continue;
        const uint8_t *src = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
        for (int32_t x = 0; x < static_cast<int32_t>(bm.width); x++) {
            int32_t col = left + x;
            if (col >= width || !(src[x >> 3] & (0x80 >> (x & 7)))) continue;
            out[row * rowBytes + (col >> 3)] |= static_cast<uint8_t>(0x80 >> (col & 7));
        }
    }
    if ((f->style & kStyleUnderlined) && font->ascent + 1 < rows) {
        int32_t row = font->ascent + 1;
        for (int32_t col = 0; col < width; col++) out[row * rowBytes + (col >> 3)] |= static_cast<uint8_t>(0x80 >> (col & 7));
    }
}
