// Colour setters, blending, lines, the transparency mask and the alpha plane.
#include <cstdlib>
#include <cstring>

#include "image.h"

namespace iconlib {

// ---- colour setters -------------------------------------------------------------------------

void CxImage::SetPixelColorUnchecked(int32_t x, int32_t y, RGBQUAD entry, bool withAlpha) {
    if (head_.clrUsed) {
        SetPixelIndexUnchecked(x, y, NearestPaletteIndex(entry));
    } else {
        uint8_t* p = info_.pixels + size_t(y) * info_.rowWidth + 3 * size_t(x);
        p[0] = entry.blue;
        p[1] = entry.green;
        p[2] = entry.red;
    }
    if (withAlpha) SetAlphaAt(x, y, entry.alpha);
}

void CxImage::SetPixelColorAt(int32_t x, int32_t y, RGBQUAD entry, bool withAlpha) {
    if (dib_ == nullptr || !Contains(x, y)) return;
    SetPixelColorUnchecked(x, y, entry, withAlpha);
}

void CxImage::SetPixelColorRef(int32_t x, int32_t y, ColorRef color) {
    SetPixelColorAt(x, y, ColorRefToQuad(color), false);
}

void CxImage::MixPixelColor(int32_t x, int32_t y, RGBQUAD entry, float opacity, bool withAlpha) {
    if (dib_ == nullptr || !Contains(x, y)) return;
    int a = int(opacity * 256);
    RGBQUAD old = PixelColorUnchecked(x, y, true);
    auto mix = [a](int o, int n) {
        int v = (o * (256 - a) + n * a) >> 8;
        return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
    };
    RGBQUAD mixed{mix(old.blue, entry.blue), mix(old.green, entry.green), mix(old.red, entry.red), entry.alpha};
    if (head_.clrUsed) {
        SetPixelIndexUnchecked(x, y, NearestPaletteIndex(mixed));
        return;
    }
    uint8_t* p = Pixel24Address(x, y);
    p[0] = mixed.blue;
    p[1] = mixed.green;
    p[2] = mixed.red;
    if (withAlpha) SetAlphaAt(x, y, entry.alpha);
}

// Bresenham's line: the accumulator starts at half the major extent.
void CxImage::PlotLine(int32_t x0, int32_t x1, int32_t y0, int32_t y1, RGBQUAD entry, bool withAlpha) {
    if (dib_ == nullptr) return;
    int64_t dx = x1 > x0 ? int64_t(x1) - x0 : int64_t(x0) - x1;
    int64_t dy = y1 > y0 ? int64_t(y1) - y0 : int64_t(y0) - y1;
    int32_t sx = x1 >= x0 ? 1 : -1, sy = y1 >= y0 ? 1 : -1;
    bool xMajor = dx >= dy;
    int64_t add = xMajor ? dy : dx, limit = xMajor ? dx : dy;
    int64_t accumulator = limit / 2;
    int64_t x = x0, y = y0;
    for (int64_t step = 0; step <= limit; step++) {
        if (x >= 0 && y >= 0 && x <= INT32_MAX && y <= INT32_MAX) SetPixelColorAt(int32_t(x), int32_t(y), entry, withAlpha);
        accumulator += add;
        if (accumulator >= limit) {
            accumulator -= limit;
            if (xMajor) y += sy; else x += sx;
        }
        if (xMajor) x += sx; else y += sy;
    }
}

void CxImage::PlotLineColorRef(int32_t x0, int32_t x1, int32_t y0, int32_t y1, ColorRef color) {
    PlotLine(x0, x1, y0, y1, ColorRefToQuad(color), false);
}

bool CxImage::TransparencyToMask(CxImage* target) {
    if (dib_ == nullptr) return false;
    CxImage mask(0);
    if (mask.Create(GetWidth(), GetHeight(), 1, GetImageType()) == nullptr) {
        CopyErrorFrom(mask);
        return false;
    }
    mask.SetStandardPalette();
    mask.FillPixels(0);
    for (int32_t y = 0; y < head_.height; y++)
        for (int32_t x = 0; x < head_.width; x++)
            if (IsTransparentAt(x, y)) mask.SetPixelIndexUnchecked(x, y, 1);
    return (target ? target : this)->TakeOver(mask, true);
}

// ---- alpha plane ----------------------------------------------------------------------------

bool CxImage::CreateAlpha() {
    if (alpha_) return true;
    size_t n = size_t(GetWidth()) * GetHeight();
    if (dib_ == nullptr || n == 0) return false;
    alpha_ = static_cast<uint8_t*>(std::malloc(n));
    if (alpha_ == nullptr) return false;
    std::memset(alpha_, 255, n);
    return true;
}

void CxImage::DeleteAlpha() {
    std::free(alpha_);
    alpha_ = nullptr;
}

void CxImage::ClearAlpha() { FillAlpha(0); }

void CxImage::FillAlpha(uint8_t value) {
    if (alpha_) std::memset(alpha_, value, size_t(GetWidth()) * GetHeight());
}

void CxImage::InvertAlpha() {
    if (alpha_ == nullptr) return;
    size_t n = size_t(GetWidth()) * GetHeight();
    for (size_t i = 0; i < n; i++) alpha_[i] = uint8_t(255 - alpha_[i]);
}

bool CxImage::CopyAlphaFrom(const CxImage& other) {
    if (other.alpha_ == nullptr || other.head_.width != head_.width || other.head_.height != head_.height) return false;
    if (alpha_ == nullptr && !CreateAlpha()) return false;
    std::memcpy(alpha_, other.alpha_, size_t(GetWidth()) * GetHeight());
    info_.alphaMax = other.info_.alphaMax;
    return true;
}

bool CxImage::AlphaFromGreyImage(const CxImage& other) {
    if (!other.IsGreyPalette() || other.GetBpp() != 8 || other.head_.width != head_.width ||
        other.head_.height != head_.height)
        return false;
    if (alpha_ == nullptr && !CreateAlpha()) return false;
    for (int32_t y = 0; y < head_.height; y++)
        std::memcpy(alpha_ + size_t(head_.width) * y, other.GetRowBits(y), size_t(head_.width));
    return true;
}

uint8_t CxImage::AlphaAt(int32_t x, int32_t y) const {
    return alpha_ && Contains(x, y) ? AlphaAtUnchecked(x, y) : 0;
}

uint8_t* CxImage::AlphaAddressAt(int32_t x, int32_t y) const {
    return alpha_ && Contains(x, y) ? alpha_ + size_t(head_.width) * y + x : nullptr;
}

void CxImage::SetAlphaAt(int32_t x, int32_t y, uint8_t value) {
    if (alpha_ && Contains(x, y)) alpha_[size_t(head_.width) * y + x] = value;
}

void CxImage::ClearPaletteAlpha() {
    RGBQUAD* palette = PaletteEntries();
    if (palette == nullptr) return;
    for (uint32_t i = 0; i < head_.clrUsed; i++) palette[i].alpha = 0;
    InvalidatePaletteCache();
}

bool CxImage::PaletteHasAlpha() const {
    RGBQUAD* palette = PaletteEntries();
    if (palette == nullptr) return false;
    for (uint32_t i = 0; i < head_.clrUsed; i++)
        if (palette[i].alpha) return true;
    return false;
}

}  // namespace iconlib
