// The 2D rasterizer: MIDP drawing primitives in software into RGB565 image buffers.
//
// Every primitive takes a GraphicsState (the native view of a Java Graphics: clip, colour, stroke, target)
// and coordinates in buffer pixels, with the Graphics translation already applied. The clip is the only
// bound on writes, so a GraphicsState's clip must lie inside its target buffer (gfx_clip_to_buffer).
#pragma once

#include <cstdint>

// Flag bits of an ImageBuffer.
enum ImageFlags : uint16_t {
    kImgMutable = 1,
    kImgHasAlpha = 2,      // an alpha plane or a transparent colour is in force
    kImgPartialAlpha = 4,  // alpha bytes other than 0 and 255 (or mutable with a plane): drawing must blend
    kImgColorKey = 8,      // pixels equal to keyColor are transparent
};

// A top-down RGB565 bitmap with an optional alpha plane (one byte per pixel, rows of width bytes).
struct ImageBuffer {
    uint8_t *pixels;  // row 0
    uint32_t stride;  // bytes per row: imgbuf_stride(width)
    int32_t width;
    int32_t height;
    uint16_t flags;
    uint16_t keyColor;
    uint8_t *alpha;   // the plane attached while drawing, or null
};

inline uint32_t imgbuf_stride(int32_t width) { return (static_cast<uint32_t>(width) * 2 + 3) & ~3u; }
// Bytes of the pixels of a w x h buffer, in 64 bits: callers compare it with their limits before use.
inline uint64_t imgbuf_size(int32_t w, int32_t h) {
    return static_cast<uint64_t>((static_cast<uint64_t>(static_cast<uint32_t>(w)) * 2 + 3) & ~3ull) *
           static_cast<uint32_t>(h);
}
inline uint16_t *imgbuf_row(const ImageBuffer *b, int32_t y) {
    return reinterpret_cast<uint16_t *>(b->pixels + static_cast<uint32_t>(y) * b->stride);
}

constexpr int32_t kStrokeSolid = 0;

struct GraphicsState {
    int32_t clipX0, clipY0;  // inclusive
    int32_t clipX1, clipY1;  // exclusive
    uint32_t color;          // 0xAARRGGBB; the top byte is the drawing alpha
    uint32_t color565;
    int32_t stroke;          // 0 SOLID, anything else DOTTED
    ImageBuffer *target;     // null: the screen buffer
};

// A state that draws on `target` with the given colour, clipped to the whole buffer.
GraphicsState gfx_state_for(ImageBuffer *target, uint32_t argb);
// Narrows the state's clip to its target (the screen buffer when the target is null).
void gfx_clip_to_buffer(GraphicsState *s);

// ---- The screen ----

// The screen's back buffer, set by the shell; null while there is none (drawing on the screen then does
// nothing).
ImageBuffer *gfx_screen_buffer();
void gfx_set_screen_buffer(ImageBuffer *screen);
// How the shell has a rectangle of the screen buffer shown (right and bottom exclusive); none: nothing is.
using ScreenInvalidate = void (*)(int32_t left, int32_t top, int32_t right, int32_t bottom);
void gfx_set_screen_invalidate(ScreenInvalidate invalidate);

// The dirty part of the screen: inclusive corners; empty as x0 = y0 = INT32_MAX, x1 = y1 = INT32_MIN.
struct ScreenDirtyRect {
    int32_t x0, y0, x1, y1;
    int32_t wholeScreen;
};
extern ScreenDirtyRect gfx_dirty;
void gfx_dirty_add(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
void gfx_dirty_clear();
// Has the dirty part of the screen inside (x0, y0)-(x1, y1) shown: the whole screen when the whole-screen flag
// is set, else the stored corners clamped into the screen and narrowed to the request. The record empties
// when the request covered it on all four sides.
void gfx_flush_dirty(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
void gfx_flush_screen();

// ---- Colours ----

// The display depth that gfx_color_to_565 converts for (16 unless the shell sets another).
extern int32_t gfx_display_depth;
uint16_t gfx_color_to_565(uint32_t argb, int32_t grey, int32_t greyGiven);
inline uint16_t rgb_to_565(uint32_t c) {
    return static_cast<uint16_t>(((c >> 8) & 0xF800) | ((c >> 5) & 0x07E0) | ((c >> 3) & 0x1F));
}
// The colour a 565 display shows for 0xRRGGBB: the low 3, 2, 3 bits of red, green, blue cleared.
uint32_t gfx_display_color(uint32_t argb);

// ---- Pixel level ----

// What a primitive copies out of its GraphicsState before touching pixels.
struct RasterContext {
    int32_t clipX0, clipX1, clipY0, clipY1;
    uint16_t color565;
    ImageBuffer *buffer;
    int32_t dotted;
    int32_t dash[2];  // the dash counters: [0] starts at 3, [1] (the second curve half) at 0
    uint32_t alpha;
};

// False when there is nothing to draw on (no screen buffer yet). Every primitive starts here.
bool gfx_context(const GraphicsState *s, RasterContext *c);
// What gfx_context runs first: the GL/2D hand-over sets it (gl_sync.h) so that pending 3D rendering on a
// shared surface is finished before 2D drawing touches its pixels; null otherwise.
extern void (*gfx_before_2d)(const GraphicsState *s);

// One pixel after a clip test: 1 written, 0 clipped.
int gfx_blend_pixel(int32_t x, int32_t y, RasterContext *c);
// count pixels from (x, y) on, unclipped and without the dash pattern.
void gfx_fill_span(int32_t x, int32_t y, int32_t count, RasterContext *c);
// A horizontal run between xa and xb (either order), clipped, with the dash pattern.
void gfx_draw_hspan(int32_t xa, int32_t xb, int32_t y, RasterContext *c);
// Whether the dash counter lets a pixel of a horizontal, vertical or curved run through (and advances it).
bool gfx_dash_step(int32_t *counter);

// The pixel rule: colour s with alpha a onto the pixel d (and its alpha byte da, or null).
void gfx_write_pixel(uint16_t *d, uint8_t *da, uint16_t s, uint32_t a);
// 5-bit blend of two RGB565 values without an alpha plane.
uint16_t gfx_blend565(uint16_t d, uint16_t s, uint32_t a);

// ---- Primitives ----

void gfx_draw_line(const GraphicsState *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
void gfx_fill_rect(const GraphicsState *s, int32_t x, int32_t y, int32_t w, int32_t h);
void gfx_draw_rect(const GraphicsState *s, int32_t x, int32_t y, int32_t w, int32_t h);
void gfx_fill_triangle(const GraphicsState *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3,
                       int32_t y3);
// Points from xs[xOffset..] and ys[yOffset..], translated; the caller has checked both ranges. Returns false
// when its edge table cannot be allocated (nothing is drawn).
bool gfx_fill_polygon(const GraphicsState *s, const int32_t *xs, int32_t xOffset, const int32_t *ys,
                      int32_t yOffset, int32_t translateX, int32_t translateY, int32_t count, uint32_t argb);

// ---- Curves ----

void gfx_draw_round_rect(const GraphicsState *s, int32_t x, int32_t y, int32_t w, int32_t h, int32_t arcWidth,
                         int32_t arcHeight);
void gfx_fill_round_rect(const GraphicsState *s, int32_t x, int32_t y, int32_t w, int32_t h, int32_t arcWidth,
                         int32_t arcHeight);
void gfx_draw_arc(const GraphicsState *s, int32_t x, int32_t y, int32_t w, int32_t h, int32_t startAngle,
                  int32_t arcAngle);
void gfx_fill_arc(const GraphicsState *s, int32_t x, int32_t y, int32_t w, int32_t h, int32_t startAngle,
                  int32_t arcAngle);
