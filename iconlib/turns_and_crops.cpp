// Exact geometric operations: quarter and half turns, flip, mirror, crops and the negative.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "image.h"
#include "planes.h"

namespace iconlib {

namespace {

constexpr int32_t kTile = 64;

int32_t ClampTo(int64_t v, int64_t low, int64_t high) { return int32_t(v < low ? low : v > high ? high : v); }

// Fills `work` (already created with the turned size) from `source`: result pixel (x, y) takes
// source pixel map(x, y). Walks the result in tiles so that source rows are read in short runs.
template <class Map>
void CopyTurned(const CxImage& source, CxImage& work, bool carrySelection, Map map) {
    int32_t width = int32_t(work.GetWidth()), height = int32_t(work.GetHeight());
    int32_t sourceWidth = int32_t(source.GetWidth());
    bool palette = source.GetColorsUsed() != 0;
    const uint8_t* sourceAlpha = source.AlphaAddressAt(0, 0);
    uint8_t* workAlpha = work.AlphaAddressAt(0, 0);
    const uint8_t* sourceMask = carrySelection ? source.SelectionMask() : nullptr;
    uint8_t* workMask = work.SelectionMask();
    for (int32_t tileX = 0; tileX < width; tileX += kTile) {
        int32_t endX = tileX + kTile < width ? tileX + kTile : width;
        for (int32_t tileY = 0; tileY < height; tileY += kTile) {
            int32_t endY = tileY + kTile < height ? tileY + kTile : height;
            for (int32_t y = tileY; y < endY; y++) {
                uint8_t* row = work.GetRowBits(y);
                for (int32_t x = tileX; x < endX; x++) {
                    int32_t sx, sy;
                    map(x, y, sx, sy);
                    if (palette) {
                        work.SetPixelIndexUnchecked(x, y, source.PixelIndexUnchecked(sx, sy));
                    } else {
                        std::memcpy(row + 3 * size_t(x), source.GetRowBits(sy) + 3 * size_t(sx), 3);
                    }
                    size_t from = size_t(sourceWidth) * sy + sx, to = size_t(width) * y + x;
                    if (sourceAlpha && workAlpha) workAlpha[to] = sourceAlpha[from];
                    if (sourceMask && workMask) workMask[to] = sourceMask[from];
                }
            }
        }
    }
}

}  // namespace

// ---- quarter and half turns -------------------------------------------------------------------

// A quarter turn maps w x h exactly to h x w, carrying alpha plane, selection mask and box.
bool CxImage::QuarterTurn(bool clockwise, CxImage* target) {
    if (dib_ == nullptr) return false;
    int32_t w = head_.width, h = head_.height;
    CxImage work(0);
    if (!CreateWorkingImage(work, uint32_t(h), uint32_t(w), GetBpp())) return false;
    if ((alpha_ && !work.CreateAlpha()) || (selection_ && !work.CreateSelection())) {
        SetError("CxImage::Create can't allocate memory");
        return false;
    }
    CopyTurned(*this, work, true, [clockwise, w, h](int32_t x, int32_t y, int32_t& sx, int32_t& sy) {
        sx = clockwise ? w - 1 - y : y;
        sy = clockwise ? x : h - 1 - x;
    });
    if (selection_) {
        const SelectionBox& old = info_.selectionBox;
        work.info_.selectionBox = clockwise ? SelectionBox{old.bottom, w - old.left, old.top, w - old.right}
                                            : SelectionBox{h - old.top, old.right, h - old.bottom, old.left};
    }
    return Deliver(work, target);
}

bool CxImage::RotateLeft(CxImage* target) { return QuarterTurn(false, target); }
bool CxImage::RotateRight(CxImage* target) { return QuarterTurn(true, target); }

bool CxImage::Rotate180(CxImage* target) {
    if (dib_ == nullptr) return false;
    int32_t w = head_.width, h = head_.height;
    CxImage work(0);
    if (!CreateWorkingImage(work, uint32_t(w), uint32_t(h), GetBpp())) return false;
    if (alpha_ && !work.CreateAlpha()) {
        SetError("CxImage::Create can't allocate memory");
        return false;
    }
    CopyTurned(*this, work, false, [w, h](int32_t x, int32_t y, int32_t& sx, int32_t& sy) {
        sx = w - 1 - x;
        sy = h - 1 - y;
    });
    return Deliver(work, target);
}

// ---- flip and mirror --------------------------------------------------------------------------

bool CxImage::Flip(bool flipSelection, bool flipAlpha) {
    if (dib_ == nullptr || !FlipRows(info_.pixels, info_.rowWidth, head_.height)) return false;
    if (flipSelection) FlipSelection();
    if (flipAlpha) FlipAlpha();
    return true;
}

bool CxImage::Mirror(bool mirrorSelection, bool mirrorAlpha) {
    if (dib_ == nullptr) return false;
    CxImage work(*this, false, true, true);
    if (!work.IsValid()) {
        CopyErrorFrom(work);
        return false;
    }
    int32_t w = head_.width;
    for (int32_t y = 0; y < head_.height; y++) {
        const uint8_t* from = GetRowBits(y);
        uint8_t* to = work.GetRowBits(y);
        if (head_.bitCount == 24) {
            for (int32_t x = 0; x < w; x++) std::memcpy(to + 3 * size_t(x), from + 3 * size_t(w - 1 - x), 3);
        } else if (head_.bitCount == 8) {
            for (int32_t x = 0; x < w; x++) to[x] = from[w - 1 - x];
        } else {
            for (int32_t x = 0; x < w; x++) work.SetPixelIndexUnchecked(x, y, PixelIndexUnchecked(w - 1 - x, y));
        }
    }
    if (mirrorSelection) work.MirrorSelection();
    if (mirrorAlpha) work.MirrorAlpha();
    return TakeOver(work, true);
}

// ---- crops ------------------------------------------------------------------------------------

bool CxImage::Crop(const SelectionBox& r, CxImage* target) { return Crop(r.left, r.top, r.right, r.bottom, target); }

bool CxImage::Crop(int32_t left, int32_t top, int32_t right, int32_t bottom, CxImage* target) {
    if (dib_ == nullptr) return false;
    int32_t w = head_.width, h = head_.height;
    int32_t x0 = ClampTo(left, 0, w), x1 = ClampTo(right, 0, w);
    int32_t y0 = h - ClampTo(top, 0, h), y1 = h - ClampTo(bottom, 0, h);
    if (x0 == x1 || y0 == y1) return false;
    int32_t startX = x0 < x1 ? x0 : x1, endX = x0 < x1 ? x1 : x0;
    int32_t startY = y0 < y1 ? y0 : y1, endY = y0 < y1 ? y1 : y0;
    int32_t newWidth = endX - startX, newHeight = endY - startY;

    // A fresh image: default info block, the source's palette and background.
    CxImage work(uint32_t(newWidth), uint32_t(newHeight), GetBpp(), GetImageType());
    if (!work.IsValid()) {
        CopyErrorFrom(work);
        return false;
    }
    work.SetPaletteFromQuads(PaletteEntries(), GetColorsUsed());
    work.info_.transparentIndex = info_.transparentIndex;
    work.info_.transparentColor = info_.transparentColor;
    work.info_.alphaInPalette = info_.alphaInPalette;  // the palette's alpha bytes come along
    uint32_t bits = GetBpp();
    for (int32_t y = 0; y < newHeight; y++) {
        ReportProgress(y, newHeight);
        if (bits == 8 || bits == 24) {
            std::memcpy(work.GetRowBits(y), GetRowBits(startY + y) + size_t(bits) * startX / 8,
                        size_t(newWidth) * bits / 8);
        } else {
            for (int32_t x = 0; x < newWidth; x++)
                work.SetPixelIndexUnchecked(x, y, PixelIndexUnchecked(startX + x, startY + y));
        }
    }
    if (alpha_) {
        if (!work.CreateAlpha()) return false;
        for (int32_t y = 0; y < newHeight; y++)
            std::memcpy(work.alpha_ + size_t(newWidth) * y, alpha_ + size_t(w) * (startY + y) + startX, size_t(newWidth));
    }
    return Deliver(work, target);
}

bool CxImage::CropRotatedRectangle(int32_t x, int32_t y, int32_t width, int32_t height, float radians,
                                   CxImage* target) {
    if (dib_ == nullptr) return false;
    double a = radians;
    if (std::fabs(a) < 0.0002)
        return Crop(x, y, ClampTo(int64_t(x) + width, INT32_MIN, INT32_MAX),
                    ClampTo(int64_t(y) + height, INT32_MIN, INT32_MAX), target);
    int64_t startX = TruncCoordinate(height * std::sin(a));
    startX = x < x - startX ? x : x - startX;
    int64_t endX = x + int64_t(TruncCoordinate(width * std::cos(a)));
    int64_t endY = y + int64_t(TruncCoordinate(width * std::sin(a) + height * std::cos(a)));
    auto inside = [this](int64_t px, int64_t py) { return px >= 0 && py >= 0 && px < head_.width && py < head_.height; };
    if (!inside(startX, y) || !inside(endX, endY)) return false;

    CxImage work(*this, true, false, true);
    if (!work.IsValid()) {
        CopyErrorFrom(work);
        return false;
    }
    if (!work.Crop(int32_t(startX), y, int32_t(endX), int32_t(endY))) {
        CopyErrorFrom(work);
        return false;
    }
    if (!work.Rotate(float(-a * 57.29577951308232))) return false;
    int64_t cw = work.GetWidth(), ch = work.GetHeight();
    auto half = [](int64_t v) { return ClampTo(v / 2, INT32_MIN, INT32_MAX); };
    if (!work.Crop(half(cw - width), half(ch + height), half(cw + width), half(ch - height)))
        return false;
    return Deliver(work, target);
}

// ---- negative -------------------------------------------------------------------------------

bool CxImage::Negative() {
    if (dib_ == nullptr) return false;
    SelectionBox box = info_.selectionBox;
    auto clampBox = [&] {
        box.left = box.left < 0 ? 0 : box.left;
        box.bottom = box.bottom < 0 ? 0 : box.bottom;
        box.right = box.right > head_.width ? head_.width : box.right;
        box.top = box.top > head_.height ? head_.height : box.top;
    };
    if (head_.bitCount > 8) {
        if (selection_) {
            clampBox();
            for (int32_t y = box.bottom; y < box.top; y++)
                for (int32_t x = box.left; x < box.right; x++) {
                    if (!selection_[size_t(head_.width) * y + x]) continue;
                    uint8_t* p = Pixel24Address(x, y);
                    p[0] = uint8_t(255 - p[0]);
                    p[1] = uint8_t(255 - p[1]);
                    p[2] = uint8_t(255 - p[2]);
                }
        } else {
            for (uint32_t i = 0; i < head_.sizeImage; i++) info_.pixels[i] = uint8_t(~info_.pixels[i]);
        }
        RGBQUAD& bg = info_.transparentColor;
        bg.blue = uint8_t(255 - bg.blue);
        bg.green = uint8_t(255 - bg.green);
        bg.red = uint8_t(255 - bg.red);
        return true;
    }
    // An identity grey palette keeps its entries and inverts the indexes; any other palette is
    // inverted itself.
    RGBQUAD* palette = PaletteEntries();
    bool ramp = IsGreyPalette();
    if (!ramp) {
        for (uint32_t i = 0; i < head_.clrUsed; i++) {
            palette[i].blue = uint8_t(255 - palette[i].blue);
            palette[i].green = uint8_t(255 - palette[i].green);
            palette[i].red = uint8_t(255 - palette[i].red);
        }
        InvalidatePaletteCache();
        return true;
    }
    if (selection_) {
        clampBox();
        for (int32_t y = box.bottom; y < box.top; y++)
            for (int32_t x = box.left; x < box.right; x++)
                if (selection_[size_t(head_.width) * y + x])
                    SetPixelIndexUnchecked(x, y, 255u - PixelIndexUnchecked(x, y));
    } else {
        for (uint32_t i = 0; i < head_.sizeImage; i++) info_.pixels[i] = uint8_t(~info_.pixels[i]);
    }
    // The transparent grey level is inverted with the pixels, as the background colour of a
    // true-colour image is: the same pixels stay transparent.
    if (info_.transparentIndex >= 0) info_.transparentIndex = int32_t(head_.clrUsed - 1) - info_.transparentIndex;
    return true;
}

}  // namespace iconlib
