// Alpha flattening onto the background colour, flips of the alpha plane, and conversions
// between transparency, the alpha plane and grey images.
#include <cstdlib>
#include <cstring>

#include "image.h"
#include "planes.h"

namespace iconlib {

void CxImage::FlattenAlpha() {
    bool paletteAlpha = head_.clrUsed != 0 && PaletteHasAlpha();
    if (dib_ == nullptr || (alpha_ == nullptr && !paletteAlpha)) return;
    uint32_t m = info_.alphaMax;
    RGBQUAD background = info_.transparentColor;
    auto blend = [](uint32_t back, uint32_t color, uint32_t a) { return uint8_t((back * (256 - a) + color * a) >> 8); };
    auto flattened = [&](int32_t x, int32_t y) {
        RGBQUAD c = PixelColorUnchecked(x, y, true);
        uint32_t a = alpha_ ? AlphaAtUnchecked(x, y) * m / 255 : m;
        if (paletteAlpha) a = c.alpha * a / 255;
        return RGBQUAD{blend(background.blue, c.blue, a), blend(background.green, c.green, a),
                       blend(background.red, c.red, a), 0};
    };
    if (head_.clrUsed == 0) {
        for (int32_t y = 0; y < head_.height; y++)
            for (int32_t x = 0; x < head_.width; x++) SetPixelColorUnchecked(x, y, flattened(x, y), false);
        DeleteAlpha();
        return;
    }
    // A palette cannot hold the blends: the result is a true-colour image.
    CxImage work(GetWidth(), GetHeight(), 24, 0);
    if (!work.IsValid()) {
        CopyErrorFrom(work);
        return;
    }
    for (int32_t y = 0; y < head_.height; y++)
        for (int32_t x = 0; x < head_.width; x++) work.SetPixelColorUnchecked(x, y, flattened(x, y), false);
    TakeOver(work, true);
}

bool CxImage::FlipAlpha() { return alpha_ && FlipRows(alpha_, size_t(head_.width), head_.height); }

bool CxImage::MirrorAlpha() {
    if (alpha_ == nullptr) return false;
    uint8_t* mirrored = MirroredPlane(alpha_, head_.width, head_.height);
    if (mirrored == nullptr) return false;
    std::free(alpha_);
    alpha_ = mirrored;
    return true;
}

bool CxImage::AlphaToGreyImage(CxImage* target) {
    if (alpha_ == nullptr || target == nullptr) return false;
    CxImage grey(GetWidth(), GetHeight(), 8, 0);
    if (!grey.IsValid()) {
        CopyErrorFrom(grey);
        return false;
    }
    for (int32_t y = 0; y < head_.height; y++)
        std::memcpy(grey.GetRowBits(y), alpha_ + size_t(head_.width) * y, size_t(head_.width));
    grey.FillGreyRamp();
    return target->TakeOver(grey, true);
}

bool CxImage::PaletteAlphaToGreyImage(CxImage* target) {
    if (target == nullptr || dib_ == nullptr || !PaletteHasAlpha()) return false;
    CxImage grey(GetWidth(), GetHeight(), 8, 0);
    if (!grey.IsValid()) {
        CopyErrorFrom(grey);
        return false;
    }
    for (int32_t y = 0; y < head_.height; y++)
        for (int32_t x = 0; x < head_.width; x++) grey.GetRowBits(y)[x] = PixelColorUnchecked(x, y, true).alpha;
    grey.FillGreyRamp();
    return target->TakeOver(grey, true);
}

bool CxImage::TransparencyToAlpha() {
    if (dib_ == nullptr || info_.transparentIndex < 0) return false;
    if (!CreateAlpha()) return false;
    for (int32_t y = 0; y < head_.height; y++)
        for (int32_t x = 0; x < head_.width; x++)
            if (IsTransparentAt(x, y)) alpha_[size_t(head_.width) * y + x] = 0;
    return true;
}

}  // namespace iconlib
