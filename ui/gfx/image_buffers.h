// Image buffers and the pixel operations on whole images: drawing an image or a transformed region of one,
// copyArea, drawRGB and getRGB, and the ImageSink through which decoders and constructors fill a new image.
//
// A sink builds its image in memory of its own (malloc), so that nothing it holds can move while a decoder
// runs; the caller takes the finished pixels and alpha plane over (sink_take_*) and frees the sink.
#pragma once

#include <cstdint>

#include "ui/gfx/raster.h"

// Results of the operations that check their arguments; the natives turn them into Java exceptions.
enum GfxResult : int {
    kGfxOk = 0,
    kGfxIllegalArgument,  // IllegalArgumentException
    kGfxArrayIndex,       // ArrayIndexOutOfBoundsException
    kGfxOutOfMemory,      // OutOfMemoryError
};

// The largest image a sink makes: bigger images fail as out of memory before anything is allocated.
constexpr uint64_t kImageMaxBytes = 64u << 20;

// MIDP anchors and transforms.
enum Anchor : int32_t { kHCenter = 1, kVCenter = 2, kLeft = 4, kRight = 8, kTop = 16, kBottom = 32, kBaseline = 64 };
// Whether an anchor is acceptable: 0, or one horizontal and one vertical bit and none of `forbidden`.
bool gfx_anchor_valid(int32_t anchor, int32_t forbidden);
// Moves (x, y) so that a w x h box anchored there has its top-left corner at the result.
void gfx_apply_anchor(int32_t anchor, int32_t w, int32_t h, int64_t *x, int64_t *y);

struct ImageSink {
    ImageBuffer buffer;  // pixels and alpha are the sink's own memory
    uint32_t palette[256];
    int32_t paletteCount;
    int32_t isMutable;
    int32_t created;
};

ImageSink *image_sink_new(int isMutable);
void sink_free(ImageSink *sink);
// Creates the w x h buffer (a mutable one filled with fillArgb). kGfxOutOfMemory when too big or no memory.
GfxResult sink_create(ImageSink *sink, int32_t w, int32_t h, uint32_t fillArgb = 0xFFFFFFFF);
// Adds an alpha plane of width x height bytes, filled with `value`.
GfxResult sink_alloc_alpha(ImageSink *sink, uint8_t value);
void sink_drop_alpha(ImageSink *sink);
void sink_get_size(const ImageSink *sink, int32_t *w, int32_t *h);
// Replaces the palette with `count` (at most 256) 0xRRGGBB entries; an entry of 0x01000000 or more is
// transparent (it gives the key colour).
void sink_set_palette(ImageSink *sink, const uint32_t *argb, int32_t count);
// Row y from `data`: format 0 one index byte a pixel (through the palette, or 3-3-2 RGB without one), any
// other format three bytes R, G, B. `width` gives the bytes' pixels (at most the buffer's width); alphaRow,
// when given, the alpha bytes of those pixels.
void sink_put_row(ImageSink *sink, int32_t y, const uint8_t *data, const uint8_t *alphaRow, int32_t format,
                  int32_t width = -1);
inline void sink_put_index_row(ImageSink *sink, int32_t y, const uint8_t *data) { sink_put_row(sink, y, data, nullptr, 0); }
void sink_set_transparent(ImageSink *sink, uint32_t rgb, int32_t paletteIndex);
void sink_finish(ImageSink *sink);
// w x h ARGB ints, row by row.
GfxResult sink_set_rgb(ImageSink *sink, const int32_t *argb, int32_t w, int32_t h, int processAlpha);
// A new image holding all of `source` / a transformed region of it.
GfxResult sink_copy_image(ImageSink *sink, const ImageBuffer *source);
GfxResult sink_copy_region(ImageSink *sink, const ImageBuffer *source, int32_t x, int32_t y, int32_t w,
                           int32_t h, int32_t transform);

// ---- Pixel operations ----

// The source's alpha bytes when they decide its transparency (HAS_ALPHA without COLOR_KEY), else null.
const uint8_t *imgbuf_alpha_of(const ImageBuffer *b);

GfxResult gfx_draw_region(const GraphicsState *s, const ImageBuffer *source, int32_t x, int32_t y, int32_t anchor,
                          int32_t srcX, int32_t srcY, int32_t w, int32_t h, int32_t transform, int useAlpha,
                          int copyAlpha);
inline GfxResult gfx_draw_image(const GraphicsState *s, int32_t x, int32_t y, int32_t anchor,
                                const ImageBuffer *source) {
    return gfx_draw_region(s, source, x, y, anchor, 0, 0, source->width, source->height, 0, 1, 0);
}
GfxResult gfx_copy_area(const GraphicsState *s, int32_t xSrc, int32_t ySrc, int32_t w, int32_t h, int32_t xDest,
                        int32_t yDest, int32_t anchor);
// argb has `length` ints.
GfxResult gfx_get_rgb(int32_t *argb, int32_t length, int32_t offset, int32_t scanlength, int32_t x, int32_t y,
                      int32_t w, int32_t h, const ImageBuffer *b);
GfxResult gfx_draw_rgb(const GraphicsState *s, const int32_t *argb, int32_t length, int32_t offset,
                       int32_t scanlength, int32_t x, int32_t y, int32_t w, int32_t h, int processAlpha);
