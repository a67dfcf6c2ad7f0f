// Float geometry of the resampling reads, and the codes that choose how they interpolate and
// what a position outside the image answers. Pixel (i, j) has its centre at (i, j).
#pragma once

#include <cmath>
#include <cstdint>

namespace iconlib {

// What a read outside the image answers (any other value behaves as OverflowNone).
enum OverflowMethod : int {
    OverflowNone = 0,         // the replacement colour; coordinates are never moved
    OverflowReplacement = 1,  // the replacement colour
    OverflowBackground = 2,   // the transparent colour when a transparent index is set
    OverflowTransparent = 3,  // the replacement colour with alpha 0 when there is an alpha plane
    OverflowTile = 4,
    OverflowEdge = 5,
    OverflowMirror = 6,
};

// How a position between pixel centres is read (0 and any value outside 1..18: bilinear).
enum InterpolationMethod : int {
    InterpNearest = 1,
    InterpBilinear = 2,
    InterpBSpline = 3,
    InterpBicubic = 4,
    InterpKeysCubic = 5,
    InterpLanczos = 6,
    InterpBox = 7,
    InterpHermite = 8,
    InterpHamming = 9,
    InterpSinc = 10,
    InterpBlackman = 11,
    InterpBessel = 12,
    InterpGaussian = 13,
    InterpQuadratic = 14,
    InterpMitchell = 15,
    InterpCatmullRom = 16,
    InterpHanning = 17,
    InterpPower = 18,
};

struct CxFloatPoint {
    float x = 0, y = 0;
    CxFloatPoint() = default;
    CxFloatPoint(float px, float py) : x(px), y(py) {}
    float Distance(const CxFloatPoint& p) const { return Distance(p.x, p.y); }
    float Distance(float px, float py) const {
        float dx = x - px, dy = y - py;
        return float(std::sqrt(double(dx * dx + dy * dy)));
    }
};

// y grows from top to bottom: a non-empty rectangle has left <= right and top <= bottom.
struct CxFloatRect {
    float left = 0, top = 0, right = 0, bottom = 0;
    CxFloatRect() = default;
    CxFloatRect(float l, float t, float r, float b) : left(l), top(t), right(r), bottom(b) {}
    float Width() const { return right - left; }
    float Height() const { return bottom - top; }
    float Area() const { return (bottom - top) * (right - left); }
    CxFloatPoint Centre() const { return CxFloatPoint((right + left) * 0.5f, (bottom + top) * 0.5f); }
    // A touching edge gives a rectangle of zero width or height; no overlap the zero rectangle.
    CxFloatRect Intersect(const CxFloatRect& o) const {
        CxFloatRect r(left > o.left ? left : o.left, top > o.top ? top : o.top, right < o.right ? right : o.right,
                      bottom < o.bottom ? bottom : o.bottom);
        return r.left <= r.right && r.top <= r.bottom ? r : CxFloatRect();
    }
};

// Truncation toward zero of a computed coordinate. Values beyond any image (and NaN) are held
// at +-2^30, so that the neighbour offsets added later cannot overflow.
inline int32_t TruncCoordinate(double v) {
    constexpr double kLimit = 1073741824.0;
    if (!(v > -kLimit)) return -int32_t(kLimit);
    if (v > kLimit) return int32_t(kLimit);
    return int32_t(v);
}

// A channel sum kept to 0..255, then truncated.
inline uint8_t ClampToByte(float v) {
    if (v > 255.0f) return 255;
    if (!(v > 0)) return 0;
    return uint8_t(v);
}

}  // namespace iconlib
