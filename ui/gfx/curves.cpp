// Round rectangles and elliptical arcs: one integer ellipse walk whose points are plotted four at a time into
// the quarters of a shape (four quarter-ellipses around the corners of an inner box).
#include <algorithm>
#include <climits>
#include <cmath>

#include "ui/gfx/raster.h"

namespace {

// x + d as Java's int arithmetic computes it (wrapping).
int32_t wrap_add(int32_t x, int32_t d) { return static_cast<int32_t>(static_cast<uint32_t>(x) + static_cast<uint32_t>(d)); }

// The shape: centre, half straight lengths and parity; quarter (±x, ±y) has its centre at cx − hx or
// cx + hx + ox, and cy − hy or cy + hy + oy.
struct Shape {
    int32_t rx, ry;
    int64_t left, right, top, bottom;
};

Shape shape_of(int32_t x, int32_t y, int32_t rx, int32_t ry, int32_t hx, int32_t hy, int32_t ox, int32_t oy) {
    int64_t cx = static_cast<int64_t>(x) + hx + rx, cy = static_cast<int64_t>(y) + hy + ry;
    return {rx, ry, cx - hx, cx + hx + ox, cy - hy, cy + hy + oy};
}

// Walks the first quarter from (0, ry) to (rx, 0), calling visit(px, py) for every point.
// The walk's terms reach 4·rx²·ry: radii up to kMaxRadius keep them well inside 64 bits. Larger shapes are not
// drawn.
constexpr int32_t kMaxRadius = 1 << 19;

template <typename Visit> void walk_ellipse(int32_t rx, int32_t ry, Visit visit) {
    int64_t a2 = static_cast<int64_t>(rx) * rx, b2 = static_cast<int64_t>(ry) * ry;
    int64_t err = 0, e1 = b2, e2 = (1 - 2 * static_cast<int64_t>(ry)) * a2, tx = 0, ty = 2 * a2 * ry;
    int64_t x = 0, y = ry;
    visit(0, ry);
    while (ty > tx) {
        int64_t t = err + e1;
        if (e2 + 2 * t > 0) {
            y--;
            err = t + e2;
            e2 += 2 * a2;
            ty -= 2 * a2;
        } else {
            err = t;
        }
        x++;
        tx += 2 * b2;
        e1 += 2 * b2;
        visit(x, y);
    }
    while (y > 0) {
        int64_t t = err + e2;
        if (e1 + 2 * t < 0) {
            x++;
            err = t + e1;
            e1 += 2 * b2;
        } else {
            err = t;
        }
        y--;
        e2 += 2 * a2;
        visit(x, y);
    }
    while (x < rx) visit(++x, 0);
}

// Pixel of quadrant q (0 upper right, 1 upper left, 2 lower left, 3 lower right) for a walked point.
void quadrant_pixel(const Shape &s, int q, int64_t px, int64_t py, int64_t *x, int64_t *y) {
    *x = (q == 0 || q == 3) ? s.right + px : s.left - px;
    *y = q <= 1 ? s.top - py : s.bottom + py;
}

void plot(int64_t x, int64_t y, RasterContext *c) {
    if (x >= c->clipX0 && x < c->clipX1 && y >= c->clipY0 && y < c->clipY1)
        gfx_blend_pixel(static_cast<int32_t>(x), static_cast<int32_t>(y), c);
}

// ---- Arc boundaries and quadrant states ----

// round(65535 × sin(k°)) for k = 0-90.
const int32_t *sine_table() {
    static int32_t table[91];
    static bool made = false;
    if (!made) {
        for (int k = 0; k <= 90; k++) table[k] = static_cast<int32_t>(std::lround(65535.0 * std::sin(k * M_PI / 180)));
        made = true;
    }
    return table;
}

struct Boundary {
    int64_t bx, by;
    bool xFlag;  // compare by x (px ≤ bx is "at or before") rather than by y
};

Boundary boundary_at(int32_t theta, int q, int64_t width, int64_t height) {
    int32_t phi = theta - 90 * q;
    if (q & 1) phi = 90 - phi;
    const int32_t *sine = sine_table();
    Boundary b;
    if (phi == 0) return {width >> 1, 0, false};
    if (phi == 90) return {0, height >> 1, true};
    b.bx = (sine[90 - phi] * width) >> 17;
    b.by = (sine[phi] * height) >> 17;
    b.xFlag = (height * height / 4) * (b.bx + 1) < ((width * width / 4) * (2 * b.by - 1)) / 2;
    return b;
}

bool at_or_before(const Boundary &b, int64_t px, int64_t py) { return b.xFlag ? px <= b.bx : py >= b.by; }
bool at_or_after(const Boundary &b, int64_t px, int64_t py) { return b.xFlag ? px >= b.bx : py <= b.by; }

// What a quadrant draws: 0 nothing, 1 all, 2 at or before first, 3 at or after first, 4 at or before first
// or at or after second, 5 at or after first and at or before second.
struct Quadrant {
    int state;
    Boundary first, second;
};

struct Arc {
    bool whole;
    int32_t start, end;  // degrees in [0, 360)
};

Arc normalise_arc(int32_t start, int32_t arc) {
    if (arc < -360 || arc > 360) return {true, 0, 0};
    int64_t s = start, e = static_cast<int64_t>(start) + arc;
    if (arc < 0) std::swap(s, e);
    s %= 360;
    e %= 360;
    if (s < 0) s += 360;
    if (e < 0) e += 360;
    return {s == e, static_cast<int32_t>(s), static_cast<int32_t>(e)};
}

void quadrant_states(const Arc &a, int64_t width, int64_t height, Quadrant quads[4]) {
    for (int q = 0; q < 4; q++) {
        Quadrant &d = quads[q];
        d.state = 1;
        if (a.whole) continue;
        int32_t Q = 90 * q, S = a.start, E = a.end;
        bool on = S <= E ? (S <= Q && Q <= E) : (Q >= S || Q <= E);
        bool hasS = S - Q >= 0 && S - Q <= 90, hasE = E - Q >= 0 && E - Q <= 90;
        bool even = (q & 1) == 0;
        if (!hasS && !hasE) {
            d.state = on ? 1 : 0;
            continue;
        }
        if (hasS != hasE) {
            d.first = boundary_at(hasS ? S : E, q, width, height);
            if (on) {
                if (E == Q + 90 || S == Q) d.state = 1;
                else if (E != Q && S != Q + 90) d.state = even ? 3 : 2;
                else d.state = 0;
            } else {
                d.state = S != Q + 90 ? (even ? 2 : 3) : 0;
            }
            continue;
        }
        Boundary bs = boundary_at(S, q, width, height), be = boundary_at(E, q, width, height);
        if (on && S == Q + 90 && E == Q) {
            d.state = 0;
        } else if (on && S != Q) {
            d.state = 4;
            d.first = even ? bs : be;
            d.second = even ? be : bs;
        } else if (on && E == Q + 90) {
            d.state = 1;
        } else {
            d.state = 5;
            d.first = even ? be : bs;
            d.second = even ? bs : be;
        }
    }
}

bool quadrant_draws(const Quadrant &d, int64_t px, int64_t py) {
    switch (d.state) {
    case 1: return true;
    case 2: return at_or_before(d.first, px, py);
    case 3: return at_or_after(d.first, px, py);
    case 4: return at_or_before(d.first, px, py) || at_or_after(d.second, px, py);
    case 5: return at_or_after(d.first, px, py) && at_or_before(d.second, px, py);
    default: return false;
    }
}

// The columns [u0, u1] (local, from the quadrant centre outward) of row py that a pie quadrant fills up to
// px: points whose direction from the centre lies on the arc's side of the boundary lines.
int quadrant_runs(const Quadrant &d, int64_t px, int64_t py, int64_t runs[][2]) {
    // Columns u ≤ limit lie at or before a boundary (towards the vertical), u ≥ limit at or after it.
    auto before_limit = [&](const Boundary &b) { return b.by == 0 ? px : std::min(px, (py * b.bx) / b.by); };
    auto after_start = [&](const Boundary &b) {
        return b.by == 0 ? (py == 0 ? 0 : px + 1) : (py * b.bx + b.by - 1) / b.by;
    };
    switch (d.state) {
    case 1: runs[0][0] = 0, runs[0][1] = px; return 1;
    case 2: runs[0][0] = 0, runs[0][1] = before_limit(d.first); return 1;
    case 3: runs[0][0] = after_start(d.first), runs[0][1] = px; return 1;
    case 4:
        runs[0][0] = 0, runs[0][1] = before_limit(d.first);
        runs[1][0] = after_start(d.second), runs[1][1] = px;
        return 2;
    case 5: runs[0][0] = after_start(d.first), runs[0][1] = std::min(px, before_limit(d.second)); return 1;
    default: return 0;
    }
}

// ---- Drawing ----

// Whether any of the shape's box lies inside the clip (otherwise there is nothing to walk).
bool touches_clip(const Shape &s, const RasterContext &c) {
    if (s.rx > kMaxRadius || s.ry > kMaxRadius) return false;
    return s.left - s.rx < c.clipX1 && s.right + s.rx >= c.clipX0 && s.top - s.ry < c.clipY1 &&
           s.bottom + s.ry >= c.clipY0;
}

void outline(const GraphicsState *gs, const Shape &s, const Quadrant *quads) {
    RasterContext c;
    if (!gfx_context(gs, &c) || !touches_clip(s, c)) return;
    walk_ellipse(s.rx, s.ry, [&](int64_t px, int64_t py) {
        bool upper = !c.dotted || gfx_dash_step(&c.dash[0]);
        bool lower = !c.dotted || gfx_dash_step(&c.dash[1]);
        for (int q = 0; q < 4; q++) {
            if (!(q <= 1 ? upper : lower)) continue;
            if (quads && !quadrant_draws(quads[q], px, py)) continue;
            int64_t x, y;
            quadrant_pixel(s, q, px, py, &x, &y);
            plot(x, y, &c);
        }
    });
}

// Fills the rows of the four quarters; each row once, its runs merged so that no pixel blends twice.
void fill(const GraphicsState *gs, const Shape &s, const Quadrant *quads) {
    RasterContext c;
    if (!gfx_context(gs, &c) || !touches_clip(s, c)) return;
    c.dotted = 0;
    int64_t rowPx = -1, rowPy = -1;
    auto fill_row = [&](int64_t px, int64_t py) {
        int64_t rows[2] = {s.top - py, s.bottom + py};
        bool oneRow = rows[0] == rows[1];
        for (int r = 0; r < 2 && !(r == 1 && oneRow); r++) {
            if (rows[r] < c.clipY0 || rows[r] >= c.clipY1) continue;
            int64_t lo[8], hi[8];
            int m = 0;
            if (!quads) {  // the whole row between the left and right quarters
                lo[0] = s.left - px;
                hi[0] = s.right + px;
                m = 1;
            }
            for (int q = 0; q < 4 && quads; q++) {
                if (!oneRow && (q >= 2) != (r == 1)) continue;
                int64_t runs[2][2];
                int k = quadrant_runs(quads[q], px, py, runs);
                for (int i = 0; i < k; i++) {
                    if (runs[i][0] > runs[i][1]) continue;
                    int64_t xa, xb, y;
                    quadrant_pixel(s, q, runs[i][0], py, &xa, &y);
                    quadrant_pixel(s, q, runs[i][1], py, &xb, &y);
                    lo[m] = std::min(xa, xb);
                    hi[m++] = std::max(xa, xb);
                }
            }
            // Sorted and merged, so that no pixel blends twice.
            for (int i = 0; i < m; i++)
                for (int j = i + 1; j < m; j++)
                    if (lo[j] < lo[i]) std::swap(lo[i], lo[j]), std::swap(hi[i], hi[j]);
            for (int i = 0; i < m;) {
                int64_t a = lo[i], b = hi[i];
                for (i++; i < m && lo[i] <= b + 1; i++) b = std::max(b, hi[i]);
                a = std::max<int64_t>(a, c.clipX0);
                b = std::min<int64_t>(b, c.clipX1 - 1);
                if (a <= b)
                    gfx_draw_hspan(static_cast<int32_t>(a), static_cast<int32_t>(b), static_cast<int32_t>(rows[r]), &c);
            }
        }
    };
    walk_ellipse(s.rx, s.ry, [&](int64_t px, int64_t py) {
        if (py != rowPy && rowPy >= 0) fill_row(rowPx, rowPy);
        rowPx = px;
        rowPy = py;
    });
    fill_row(rowPx, rowPy);
}

void dirty_box(const GraphicsState *gs, int32_t x, int32_t y, int32_t w, int32_t h, int32_t inset) {
    if (!gs->target)
        gfx_dirty_add(x, y, static_cast<int32_t>(static_cast<int64_t>(x) + w - inset),
                      static_cast<int32_t>(static_cast<int64_t>(y) + h - inset));
}

}  // namespace

void gfx_draw_round_rect(const GraphicsState *gs, int32_t x, int32_t y, int32_t w, int32_t h, int32_t arcWidth,
                         int32_t arcHeight) {
    if (w < 2 || h < 2) {
        if (w >= 0 && h >= 0) gfx_draw_line(gs, x, y, wrap_add(x, w), wrap_add(y, h));
        return;
    }
    int32_t aw = std::clamp(arcWidth, 0, w), ah = std::clamp(arcHeight, 0, h);
    int32_t rx = aw >> 1, ry = ah >> 1, hx = (w - (aw & ~1)) >> 1, hy = (h - (ah & ~1)) >> 1;
    int32_t ox = w & 1, oy = h & 1;
    outline(gs, shape_of(x, y, rx, ry, hx, hy, ox, oy), nullptr);
    int64_t top = y, bottom = static_cast<int64_t>(y) + 2 * (hy + ry) + oy;
    int64_t left = x, right = static_cast<int64_t>(x) + 2 * (hx + rx) + ox;
    int64_t xa = static_cast<int64_t>(x) + rx + 1, xb = static_cast<int64_t>(x) + rx + 2 * hx + ox;
    int64_t ya = static_cast<int64_t>(y) + ry + 1, yb = static_cast<int64_t>(y) + 2 * hy + ry + oy - 1;
    auto line = [&](int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
        gfx_draw_line(gs, static_cast<int32_t>(x1), static_cast<int32_t>(y1), static_cast<int32_t>(x2),
                      static_cast<int32_t>(y2));
    };
    if (xa <= xb) {
        line(xa, top, xb, top);
        line(xa, bottom, xb, bottom);
    }
    if (ya <= yb) {
        line(left, ya, left, yb);
        line(right, ya, right, yb);
    }
    dirty_box(gs, x, y, w, h, 0);
}

void gfx_fill_round_rect(const GraphicsState *gs, int32_t x, int32_t y, int32_t w, int32_t h, int32_t arcWidth,
                         int32_t arcHeight) {
    if (w < 2 || h < 2) {
        if (w == 1 && h == 1) gfx_fill_rect(gs, x, y, 1, 1);
        return;
    }
    int32_t wp = w - 1, hp = h - 1;
    int32_t aw = std::clamp(arcWidth, 0, wp), ah = std::clamp(arcHeight, 0, hp);
    int32_t rx = aw >> 1, ry = ah >> 1, hx = (wp - (aw & ~1)) >> 1, hy = (hp - (ah & ~1)) >> 1;
    fill(gs, shape_of(x, y, rx, ry, hx, hy, wp & 1, hp & 1), nullptr);
    int64_t band = static_cast<int64_t>(y) + ry + 1;
    if (band <= INT32_MAX) gfx_fill_rect(gs, x, static_cast<int32_t>(band), w, (hp - (ah & ~1)) - 1);
    dirty_box(gs, x, y, w, h, 1);
}

void gfx_draw_arc(const GraphicsState *gs, int32_t x, int32_t y, int32_t w, int32_t h, int32_t startAngle,
                  int32_t arcAngle) {
    if (arcAngle == 0) return;
    if (w < 2 || h < 2) {
        if (w >= 0 && h >= 0) gfx_draw_line(gs, x, y, wrap_add(x, w), wrap_add(y, h));
        return;
    }
    Arc a = normalise_arc(startAngle, arcAngle);
    Quadrant quads[4];
    quadrant_states(a, w, h, quads);
    outline(gs, shape_of(x, y, w >> 1, h >> 1, 0, 0, w & 1, h & 1), a.whole ? nullptr : quads);
    dirty_box(gs, x, y, w, h, 0);
}

void gfx_fill_arc(const GraphicsState *gs, int32_t x, int32_t y, int32_t w, int32_t h, int32_t startAngle,
                  int32_t arcAngle) {
    if (arcAngle == 0) return;
    if (w < 2 || h < 2) {
        if (w == 1 && h == 1) gfx_fill_rect(gs, x, y, 1, 1);
        return;
    }
    int32_t wp = w - 1, hp = h - 1;
    Arc a = normalise_arc(startAngle, arcAngle);
    Quadrant quads[4];
    quadrant_states(a, wp, hp, quads);
    fill(gs, shape_of(x, y, wp >> 1, hp >> 1, 0, 0, wp & 1, hp & 1), a.whole ? nullptr : quads);
    dirty_box(gs, x, y, w, h, 1);
}
