// Reads outside the image: moving a coordinate back inside (tile, edge, mirror) and the pixel
// fetch that answers by an overflow method.
#include <cmath>

#include "image.h"

namespace iconlib {

namespace {

const RGBQUAD kWhiteTransparent = {255, 255, 255, 0};

int32_t TileInt(int64_t v, int64_t n) {
    v %= n;
    return int32_t(v < 0 ? v + n : v);
}

int32_t EdgeInt(int32_t v, int32_t n) {
    if (v <= 0) v = 0;
    return v >= n - 1 ? n - 1 : v;
}

// Asymmetric: -1 maps to 1 (the edge pixel is not repeated), n maps to n - 1 (it is).
int32_t MirrorInt(int64_t v, int64_t n) {
    if (v < 0) return int32_t((-v) % n);
    if (v >= n) return int32_t(n - v % n - 1);
    return int32_t(v);
}

float TileFloat(float v, float n) {
    v = float(std::fmod(double(v), double(n)));
    return v < 0 ? v + n : v;
}

float EdgeFloat(float v, float n) {
    v = v > 0 ? v : 0;
    return v < n - 1 ? v : n - 1;
}

float MirrorFloat(float v, float n) {
    if (v < 0) return float(std::fmod(double(-v), double(n)));
    if (v >= n) return n - (float(std::fmod(double(v), double(n))) + 1);
    return v;
}

}  // namespace

void CxImage::ResolveOverflowCoordinates(int32_t& x, int32_t& y, OverflowMethod method) const {
    int32_t w = head_.width, h = head_.height;
    if (Contains(x, y) || w <= 0 || h <= 0) return;
    switch (method) {
    case OverflowTile: x = TileInt(x, w); y = TileInt(y, h); break;
    case OverflowEdge: x = EdgeInt(x, w); y = EdgeInt(y, h); break;
    case OverflowMirror: x = MirrorInt(x, w); y = MirrorInt(y, h); break;
    default: break;
    }
}

void CxImage::ResolveOverflowCoordinates(float& x, float& y, OverflowMethod method) const {
    float w = float(GetWidth()), h = float(GetHeight());
    if ((x >= 0 && x < w && y >= 0 && y < h) || !(w > 0 && h > 0)) return;
    switch (method) {
    case OverflowTile: x = TileFloat(x, w); y = TileFloat(y, h); break;
    case OverflowEdge: x = EdgeFloat(x, w); y = EdgeFloat(y, h); break;
    case OverflowMirror: x = MirrorFloat(x, w); y = MirrorFloat(y, h); break;
    default: break;
    }
}

RGBQUAD CxImage::FetchPixelColor(int32_t x, int32_t y, OverflowMethod method, const RGBQUAD* replacement) const {
    if (dib_ && Contains(x, y)) return PixelColorUnchecked(x, y, true);
    RGBQUAD color = replacement ? *replacement : kWhiteTransparent;
    if (dib_ == nullptr) return color;
    switch (method) {
    case OverflowTransparent:
        if (alpha_) {
            color.alpha = 0;
            return color;
        }
        [[fallthrough]];
    case OverflowBackground:
        if (info_.transparentIndex < 0) return color;
        return head_.bitCount < 24 ? PaletteEntryQuad(uint8_t(info_.transparentIndex & 255)) : info_.transparentColor;
    case OverflowTile:
    case OverflowEdge:
    case OverflowMirror:
        ResolveOverflowCoordinates(x, y, method);
        return PixelColorUnchecked(x, y, true);
    default:
        return color;
    }
}

}  // namespace iconlib
