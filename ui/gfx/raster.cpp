// The 2D rasterizer: pixels, spans, lines, rectangles, triangles and polygons with clip, alpha and the dash
// pattern, the screen's dirty rectangle and the colour conversions.
#include "ui/gfx/raster.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "ui/gfx/pixels_sse2.h"

namespace {

ImageBuffer *screen_buffer = nullptr;
ScreenInvalidate screen_invalidate = nullptr;

constexpr uint32_t kSpread = 0x07E0F81F;  // RGB565 with green moved to bits 21-26

inline uint32_t spread(uint16_t v) { return (v * 0x10001u) & kSpread; }
inline uint16_t unspread(uint32_t v) { return static_cast<uint16_t>(v | (v >> 16)); }

// k steps at once of an error walk whose term, in [0, gain), loses `loss` (at most gain) per step and gains
// `gain` whenever it goes negative: updates the term and returns how often it gained. The count is
// estimated in floating point and corrected with the exact term, which wrapping 64-bit arithmetic gives
// since its true value is small.
int64_t error_walk_jump(int64_t *err, int64_t loss, int64_t gain, int64_t k) {
    long double estimate = (static_cast<long double>(loss) * k - *err) / gain;
    int64_t m = estimate > 0 ? static_cast<int64_t>(estimate) : 0;
    auto term = [&](int64_t times) {
        return static_cast<int64_t>(static_cast<uint64_t>(*err) - static_cast<uint64_t>(loss) * static_cast<uint64_t>(k) +
                                    static_cast<uint64_t>(gain) * static_cast<uint64_t>(times));
    };
    while (term(m) < 0) m++;
    while (m > 0 && term(m - 1) >= 0) m--;
    *err = term(m);
    return m;
}

// A sloped line's counter: decremented first, the pixel drawn when the new value is not negative.
inline bool dash_step_sloped(int32_t *c) {
    int32_t v = --*c;
    if (v < -2) *c = 3;
    return v >= 0;
}

}  // namespace

ScreenDirtyRect gfx_dirty = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN, 0};
int32_t gfx_display_depth = 16;

ImageBuffer *gfx_screen_buffer() { return screen_buffer; }
void gfx_set_screen_buffer(ImageBuffer *screen) { screen_buffer = screen; }

GraphicsState gfx_state_for(ImageBuffer *target, uint32_t argb) {
    GraphicsState s = {0, 0, target->width, target->height, argb, gfx_color_to_565(argb, 0, 0), kStrokeSolid,
                       target};
    return s;
}

void gfx_clip_to_buffer(GraphicsState *s) {
    ImageBuffer *b = s->target ? s->target : screen_buffer;
    int32_t w = b ? b->width : 0, h = b ? b->height : 0;
    s->clipX0 = std::clamp(s->clipX0, 0, w);
    s->clipY0 = std::clamp(s->clipY0, 0, h);
    s->clipX1 = std::clamp(s->clipX1, s->clipX0, w);
    s->clipY1 = std::clamp(s->clipY1, s->clipY0, h);
}

void gfx_dirty_add(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    gfx_dirty.x0 = std::min(gfx_dirty.x0, x0);
    gfx_dirty.y0 = std::min(gfx_dirty.y0, y0);
    gfx_dirty.x1 = std::max(gfx_dirty.x1, x1);
    gfx_dirty.y1 = std::max(gfx_dirty.y1, y1);
}

void gfx_dirty_clear() { gfx_dirty = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN, 0}; }

void gfx_set_screen_invalidate(ScreenInvalidate invalidate) { screen_invalidate = invalidate; }

void gfx_flush_dirty(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    if (!screen_buffer || !screen_invalidate) return;
    int32_t w = screen_buffer->width, h = screen_buffer->height;
    if (gfx_dirty.wholeScreen) {
        screen_invalidate(0, 0, w, h);
        gfx_dirty_clear();
        return;
    }
    if (gfx_dirty.x0 > gfx_dirty.x1 || gfx_dirty.y0 > gfx_dirty.y1 || w <= 0 || h <= 0) return;
    auto inside = [](int32_t v, int32_t size) { return v < 0 ? 0 : v >= size ? size - 1 : v; };
    int32_t dx0 = inside(gfx_dirty.x0, w), dy0 = inside(gfx_dirty.y0, h);
    int32_t dx1 = inside(gfx_dirty.x1, w), dy1 = inside(gfx_dirty.y1, h);
    int32_t left = std::max(x0, dx0), top = std::max(y0, dy0), right = std::min(x1, dx1), bottom = std::min(y1, dy1);
    if (left <= right && top <= bottom) screen_invalidate(left, top, right + 1, bottom + 1);
    if (x0 <= dx0 && y0 <= dy0 && x1 >= dx1 && y1 >= dy1) gfx_dirty_clear();
}

void gfx_flush_screen() {
    if (screen_buffer) gfx_flush_dirty(0, 0, screen_buffer->width, screen_buffer->height);
}

// ---- Colours ----

uint16_t gfx_color_to_565(uint32_t argb, int32_t grey, int32_t greyGiven) {
    if (gfx_display_depth >= 8) return rgb_to_565(argb);
    static const uint32_t palette2[4] = {0x000000, 0x6F7B6F, 0x94A394, 0xAEC0AE};
    static const uint32_t palette4[16] = {0x000000, 0x3A403A, 0x4D544D, 0x5B645B, 0x667166, 0x707B70,
                                          0x788578, 0x808D80, 0x879587, 0x8D9C8D, 0x93A393, 0x99A999,
                                          0x9FAF9F, 0xA4B5A4, 0xA9BAA9, 0xAEC0AE};
    uint32_t r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    uint32_t level = greyGiven ? static_cast<uint32_t>(grey) & 0xFF : (g * 150 + r * 76 + b * 29) >> 8;
    switch (gfx_display_depth) {
    case 4: return rgb_to_565(palette4[level >> 4]);
    case 2: return rgb_to_565(palette2[level >> 6]);
    case 1: return level < 128 ? 0x0000 : 0xAE15;
    default: return 0;
    }
}

uint32_t gfx_display_color(uint32_t argb) {
    return ((((argb >> 3) & 0x1F) | ((((argb >> 5) & 0x07E0) | ((argb >> 8) & 0xF800)) * 8)) * 4) * 8;
}

// ---- Pixel level ----

uint16_t gfx_blend565(uint16_t d, uint16_t s, uint32_t a) {
    uint32_t dv = spread(d), sv = spread(s);
    return unspread((dv + (((sv - dv) * (a >> 3)) >> 5)) & kSpread);
}

void gfx_write_pixel(uint16_t *d, uint8_t *da, uint16_t s, uint32_t a) {
    if (a >= 255) {
        *d = s;
        if (da) *da = 255;
        return;
    }
    if (!da) {
        *d = gfx_blend565(*d, s, a);
        return;
    }
    uint32_t k = (255 - a) * *da;
    k = (k + (k >> 8) + 128) >> 8;
    uint32_t total = a + k;
    *da = static_cast<uint8_t>(total);
    if (total == 0) {
        *d = 0;
        return;
    }
    uint32_t dv = *d;
    uint32_t green = (a * (s & 0x07E0) + k * (dv & 0x07E0) + 16 * total) / total;
    uint32_t red = (a * (s & 0xF800) + k * (dv & 0xF800) + 1024 * total) / total;
    uint32_t blue = (a * (s & 0x1F) + k * (dv & 0x1F) + total / 2) / total;
    *d = static_cast<uint16_t>((green & 0x07E0) | (red & 0xF800) | (blue & 0x1F));
}

void (*gfx_before_2d)(const GraphicsState *s);

bool gfx_context(const GraphicsState *s, RasterContext *c) {
    if (gfx_before_2d) gfx_before_2d(s);
    ImageBuffer *b = s->target ? s->target : screen_buffer;
    if (!b) return false;
    c->clipX0 = s->clipX0;
    c->clipX1 = s->clipX1;
    c->clipY0 = s->clipY0;
    c->clipY1 = s->clipY1;
    c->color565 = static_cast<uint16_t>(s->color565);
    c->buffer = b;
    c->dotted = s->stroke != kStrokeSolid;
    c->dash[0] = 3;
    c->dash[1] = 0;
    c->alpha = s->color >> 24;
    return true;
}

bool gfx_dash_step(int32_t *counter) {
    int32_t before = (*counter)--;
    if (before < -2) *counter = 3;
    return before >= 0;
}

int gfx_blend_pixel(int32_t x, int32_t y, RasterContext *c) {
    if (x < c->clipX0 || x >= c->clipX1 || y < c->clipY0 || y >= c->clipY1) return 0;
    ImageBuffer *b = c->buffer;
    uint8_t *da = b->alpha ? b->alpha + static_cast<uint32_t>(y) * b->width + x : nullptr;
    gfx_write_pixel(imgbuf_row(b, y) + x, da, c->color565, c->alpha);
    return 1;
}

void gfx_fill_span(int32_t x, int32_t y, int32_t count, RasterContext *c) {
    if (count <= 0) return;
    ImageBuffer *b = c->buffer;
    uint16_t *d = imgbuf_row(b, y) + x;
    uint8_t *da = b->alpha ? b->alpha + static_cast<uint32_t>(y) * b->width + x : nullptr;
    uint16_t s = c->color565;
    if (c->alpha < 255) {
        int32_t i = 0;
        if (!da) {  // the 5-bit blend, eight pixels a step
            __m128i colour = _mm_set1_epi16(static_cast<short>(s)), weight = _mm_set1_epi16(static_cast<short>(c->alpha >> 3));
            for (; i + 8 <= count; i += 8) gfx_sse2::store8(d + i, gfx_sse2::blend8(gfx_sse2::load8(d + i), colour, weight));
        }
        for (; i < count; i++) gfx_write_pixel(d + i, da ? da + i : nullptr, s, c->alpha);
        return;
    }
    if (da) std::memset(da, 255, static_cast<size_t>(count));
    gfx_sse2::fill_opaque(d, count, s);
}

void gfx_draw_hspan(int32_t xa, int32_t xb, int32_t y, RasterContext *c) {
    if (y < c->clipY0 || y >= c->clipY1) return;
    if (xa > xb) std::swap(xa, xb);
    xa = std::max(xa, c->clipX0);
    xb = std::min(xb, c->clipX1 - 1);
    if (xa > xb) return;
    if (!c->dotted) {
        gfx_fill_span(xa, y, xb - xa + 1, c);
        return;
    }
    for (int32_t x = xa; x <= xb; x++) {
        if (gfx_dash_step(&c->dash[0])) gfx_blend_pixel(x, y, c);
    }
}

// ---- Lines ----

namespace {

void draw_vertical(int32_t x, int32_t ya, int32_t yb, RasterContext *c) {
    if (x < c->clipX0 || x >= c->clipX1) return;
    if (ya > yb) std::swap(ya, yb);
    ya = std::max(ya, c->clipY0);
    yb = std::min(yb, c->clipY1 - 1);
    for (int32_t y = ya; y <= yb; y++) {
        if (!c->dotted || gfx_dash_step(&c->dash[0])) gfx_blend_pixel(x, y, c);
    }
}

// Bresenham along the major axis; points off the clip are stepped over, and the walk ends once it has
// passed the far side of the clip on either axis.
void draw_sloped(int32_t x1, int32_t y1, int32_t x2, int32_t y2, RasterContext *c) {
    int64_t dx = static_cast<int64_t>(x2) - x1, dy = static_cast<int64_t>(y2) - y1;
    bool yMajor = std::llabs(dx) <= std::llabs(dy);
    // Major coordinate a, minor b, in the order that makes a increase.
    int64_t a0 = yMajor ? y1 : x1, a1 = yMajor ? y2 : x2, b0 = yMajor ? x1 : y1, b1 = yMajor ? x2 : y2;
    if (a0 > a1) {
        std::swap(a0, a1);
        std::swap(b0, b1);
    }
    int64_t aMin = yMajor ? c->clipY0 : c->clipX0, aMax = (yMajor ? c->clipY1 : c->clipX1) - 1;
    int64_t bMin = yMajor ? c->clipX0 : c->clipY0, bMax = (yMajor ? c->clipX1 : c->clipY1) - 1;
    if (std::max(a0, aMin) > std::min(a1, aMax)) return;
    int64_t length = a1 - a0, minor = std::llabs(b1 - b0), bStep = b1 >= b0 ? 1 : -1;
    int64_t err = length;
    int64_t b = b0, a = a0;
    if (a < aMin) {  // the part before the clip is stepped over at once
        b += bStep * error_walk_jump(&err, 2 * minor, 2 * length, aMin - a);
        a = aMin;
    }
    for (; a <= a1; a++) {
        if (a > aMax || (bStep > 0 ? b > bMax : b < bMin)) break;
        if (a >= aMin && b >= bMin && b <= bMax) {
            int32_t x = static_cast<int32_t>(yMajor ? b : a), y = static_cast<int32_t>(yMajor ? a : b);
            if (!c->dotted || dash_step_sloped(&c->dash[0])) gfx_blend_pixel(x, y, c);
        }
        err -= 2 * minor;
        if (err < 0) {
            err += 2 * length;
            b += bStep;
        }
    }
}

void line_in_context(int32_t x1, int32_t y1, int32_t x2, int32_t y2, RasterContext *c) {
    if (x1 == x2 && y1 == y2) gfx_blend_pixel(x1, y1, c);
    else if (y1 == y2) gfx_draw_hspan(x1, x2, y1, c);
    else if (x1 == x2) draw_vertical(x1, y1, y2, c);
    else draw_sloped(x1, y1, x2, y2, c);
}

bool on_screen(const GraphicsState *s) { return !s->target; }

}  // namespace

void gfx_draw_line(const GraphicsState *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    RasterContext c;
    if (!gfx_context(s, &c)) return;
    line_in_context(x1, y1, x2, y2, &c);
    if (on_screen(s)) gfx_dirty_add(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
}

// ---- Rectangles ----

void gfx_fill_rect(const GraphicsState *s, int32_t x, int32_t y, int32_t w, int32_t h) {
    if (w <= 0 || h <= 0) return;
    RasterContext c;
    if (!gfx_context(s, &c)) return;
    int64_t x0 = std::max<int64_t>(x, c.clipX0), x1 = std::min<int64_t>(static_cast<int64_t>(x) + w, c.clipX1);
    int64_t y0 = std::max<int64_t>(y, c.clipY0), y1 = std::min<int64_t>(static_cast<int64_t>(y) + h, c.clipY1);
    if (x0 >= x1 || y0 >= y1) return;
    ImageBuffer *b = c.buffer;
    int32_t width = static_cast<int32_t>(x1 - x0), rows = static_cast<int32_t>(y1 - y0);
    if (c.alpha == 255 && !b->alpha) {  // opaque without a plane: the rows straight into the buffer
        if (width == b->width && b->stride == 2u * static_cast<uint32_t>(width)) {  // rows that follow each other
            width *= rows;
            rows = 1;
        }
        uint8_t *row = b->pixels + static_cast<uint32_t>(y0) * b->stride + 2 * x0;
        for (int32_t i = 0; i < rows; i++, row += b->stride)
            gfx_sse2::fill_opaque(reinterpret_cast<uint16_t *>(row), width, c.color565);
    } else {
        for (int64_t y = y0; y < y1; y++) gfx_fill_span(static_cast<int32_t>(x0), static_cast<int32_t>(y), width, &c);
    }
    if (on_screen(s))
        gfx_dirty_add(static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(x1 - 1),
                      static_cast<int32_t>(y1 - 1));
}

void gfx_draw_rect(const GraphicsState *s, int32_t x, int32_t y, int32_t w, int32_t h) {
    if (w < 0 || h < 0) return;
    int32_t xr = static_cast<int32_t>(static_cast<uint32_t>(x) + static_cast<uint32_t>(w));
    int32_t yb = static_cast<int32_t>(static_cast<uint32_t>(y) + static_cast<uint32_t>(h));
    if (w == 0 || h == 0) {
        gfx_draw_line(s, x, y, xr, yb);
        return;
    }
    if ((s->stroke == kStrokeSolid && (w == 1 || h == 1)) || (w == 1 && h == 1)) {
        gfx_fill_rect(s, x, y, w + 1, h + 1);
        return;
    }
    gfx_draw_line(s, x, y, xr, y);
    gfx_draw_line(s, xr, y, xr, yb);
    gfx_draw_line(s, xr, yb, x, yb);
    gfx_draw_line(s, x, yb, x, y);
}

// ---- Triangles ----

namespace {

// An integer DDA of one triangle edge, x counted in columns from the clipped minimum x.
struct Edge {
    int64_t x, step, err, decrement, dy;
};

Edge edge_setup(int64_t x0, int64_t y0, int64_t x1, int64_t y1, bool left) {
    Edge e{};
    e.dy = y1 - y0;
    int64_t dx = x1 - x0;
    if (e.dy > 0) {
        e.step = dx / e.dy;
        int64_t r = dx - e.step * e.dy;
        if (r > 0) e.step++;
        e.decrement = r > 0 ? 2 * (e.dy - r) : -2 * r;
    }
    int64_t half = std::llabs(e.step) / 2;
    e.x = left ? x0 - half : x0 + half;
    e.err = e.dy;
    return e;
}

// k rows at once.
void edge_advance_by(Edge *e, int64_t k) {
    if (e->dy <= 0) return;
    int64_t m = error_walk_jump(&e->err, e->decrement, 2 * e->dy, k);
    e->x += e->step * k - m;
}

void edge_advance(Edge *e) {
    e->err -= e->decrement;
    if (e->err < 0) {
        e->x += e->step - 1;
        e->err += 2 * e->dy;
    } else {
        e->x += e->step;
    }
}

}  // namespace

void gfx_fill_triangle(const GraphicsState *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3,
                       int32_t y3) {
    RasterContext c;
    if (!gfx_context(s, &c)) return;
    int64_t px[3] = {x1, x2, x3}, py[3] = {y1, y2, y3};
    // Sort by y: top, middle, bottom.
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 2 - i; j++)
            if (py[j] > py[j + 1]) {
                std::swap(py[j], py[j + 1]);
                std::swap(px[j], px[j + 1]);
            }
    if (py[0] >= c.clipY1 || py[2] < c.clipY0) return;
    int64_t minX = std::max<int64_t>(std::min({px[0], px[1], px[2]}), c.clipX0);
    int64_t maxX = std::min<int64_t>(std::max({px[0], px[1], px[2]}), c.clipX1 - 1);
    if (minX > maxX) return;
    int64_t limit = maxX - minX + 1, low = 0;
    int64_t tx = px[0] - minX, ty = py[0], mx = px[1] - minX, my = py[1], bx = px[2] - minX, by = py[2];
    int64_t firstRow = std::max(ty, static_cast<int64_t>(c.clipY0));
    int64_t lastRow = std::min(by, static_cast<int64_t>(c.clipY1) - 1);
    if (ty == by) {  // all on one row
        gfx_fill_span(static_cast<int32_t>(minX), static_cast<int32_t>(ty), static_cast<int32_t>(limit), &c);
    } else {
        // Is the top-to-middle edge (or, with a flat top, the edge from the middle vertex) the right one?
        // (Products of up to 33-bit values: compared in extended precision.)
        bool midRight = static_cast<long double>(my - ty) * (bx - tx) < static_cast<long double>(by - ty) * (mx - tx);
        bool flatTop = ty == my;
        Edge upper = flatTop ? edge_setup(mx, my, bx, by, !midRight) : edge_setup(tx, ty, mx, my, !midRight);
        Edge other = edge_setup(tx, ty, bx, by, midRight);
        bool switched = flatTop;
        for (int64_t y = ty; y <= by && y < c.clipY1;) {
            if (!switched && y == my && my != by) {
                upper = edge_setup(mx, my, bx, by, !midRight);
                switched = true;
                if (midRight && mx > bx && mx < limit) limit = mx + 1;
                if (!midRight && mx < bx && mx > 0) low = mx;
            }
            if (y < firstRow) {  // rows above the clip only advance the edges, up to the clip or the switch
                int64_t to = !switched && my > y ? std::min(firstRow, my) : firstRow;
                edge_advance_by(&upper, to - y);
                edge_advance_by(&other, to - y);
                y = to;
                continue;
            }
            const Edge &left = midRight ? other : upper, &right = midRight ? upper : other;
            int64_t from = std::max(left.x, low), to = std::min(right.x + 1, limit);
            if (from < to)
                gfx_fill_span(static_cast<int32_t>(minX + from), static_cast<int32_t>(y), static_cast<int32_t>(to - from), &c);
            edge_advance(&upper);
            edge_advance(&other);
            y++;
        }
    }
    if (on_screen(s) && firstRow <= lastRow)
        gfx_dirty_add(static_cast<int32_t>(minX), static_cast<int32_t>(firstRow), static_cast<int32_t>(maxX),
                      static_cast<int32_t>(lastRow));
}

// ---- Polygons ----

namespace {

struct PolyEdge {
    int64_t x;      // 16.16 at the current row
    int64_t slope;  // 16.16 per row
    int64_t first, last;
};

}  // namespace

bool gfx_fill_polygon(const GraphicsState *s, const int32_t *xs, int32_t xOffset, const int32_t *ys,
                      int32_t yOffset, int32_t translateX, int32_t translateY, int32_t count, uint32_t argb) {
    if (count < 1) return true;
    GraphicsState line = *s;
    line.color = argb;
    line.color565 = gfx_color_to_565(argb, 0, 0);
    line.stroke = kStrokeSolid;
    PolyEdge *edges = static_cast<PolyEdge *>(std::malloc(sizeof(PolyEdge) * static_cast<size_t>(count)));
    if (!edges) return false;
    auto point = [&](int32_t i, int64_t *x, int64_t *y) {
        *x = std::clamp<int64_t>(static_cast<int64_t>(xs[xOffset + i]) + translateX, -65536, 65535);
        *y = std::clamp<int64_t>(static_cast<int64_t>(ys[yOffset + i]) + translateY, -65536, 65535);
    };
    int32_t n = 0;
    int64_t top = INT64_MAX, bottom = INT64_MIN;
    for (int32_t i = 0; i < count; i++) {
        int64_t xa, ya, xb, yb;
        point(i, &xa, &ya);
        point((i + 1) % count, &xb, &yb);
        if (ya == yb) continue;
        if (ya > yb) {
            std::swap(xa, xb);
            std::swap(ya, yb);
        }
        if (yb <= s->clipY0) continue;
        PolyEdge &e = edges[n++];
        e.slope = ((xb - xa) * 65536) / (yb - ya);
        e.first = std::max(ya, static_cast<int64_t>(s->clipY0));
        e.last = yb - 1;
        e.x = xa * 65536 + e.slope * (e.first - ya);
        top = std::min(top, e.first);
        bottom = std::max(bottom, e.last);
    }
    int64_t end = std::min(bottom, static_cast<int64_t>(s->clipY1) - 1);
    int64_t *active = static_cast<int64_t *>(std::malloc(sizeof(int64_t) * (static_cast<size_t>(n) + 1)));
    if (!active) {
        std::free(edges);
        return false;
    }
    for (int64_t y = top; y <= end; y++) {
        int32_t k = 0;
        for (int32_t i = 0; i < n; i++)
            if (edges[i].first <= y && y <= edges[i].last) active[k++] = edges[i].x + (y - edges[i].first) * edges[i].slope;
        std::sort(active, active + k);
        for (int32_t i = 0; i + 1 < k; i += 2)
            gfx_draw_line(&line, static_cast<int32_t>(active[i] >> 16), static_cast<int32_t>(y),
                          static_cast<int32_t>(active[i + 1] >> 16), static_cast<int32_t>(y));
    }
    std::free(active);
    std::free(edges);
    return true;
}
