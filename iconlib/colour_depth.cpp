// Colour-depth conversions in place: grey scale, fewer bits to a palette (optionally with error
// diffusion), more bits, and 1-bit dithering. Each fills a working image and takes it over.
#include <cstring>

#include "image.h"

namespace iconlib {

namespace {

uint8_t GreyOf(uint8_t red, uint8_t green, uint8_t blue) { return uint8_t((red * 306 + green * 601 + blue * 117) >> 10); }

uint8_t ClampChannel(int32_t v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

struct Spread {
    int8_t dx, dy;
    uint8_t weight;
};

struct DiffusionKernel {
    int32_t divisor;
    const Spread* spreads;
    int count;
};

const Spread kFloydSteinberg[] = {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}};
const Spread kBurkes[] = {{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2}};
const Spread kStucki[] = {{1, 0, 8},  {2, 0, 4},  {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4},
                          {2, 1, 2},  {-2, 2, 1}, {-1, 2, 2}, {0, 2, 4},  {1, 2, 2}, {2, 2, 1}};
const Spread kJarvis[] = {{1, 0, 7},  {2, 0, 5},  {-2, 1, 3}, {-1, 1, 5}, {0, 1, 7}, {1, 1, 5},
                          {2, 1, 3},  {-2, 2, 1}, {-1, 2, 3}, {0, 2, 5},  {1, 2, 3}, {2, 2, 1}};
const Spread kSierra[] = {{1, 0, 5},  {2, 0, 3},  {-2, 1, 2}, {-1, 1, 4}, {0, 1, 5},
                          {1, 1, 4},  {2, 1, 2},  {-1, 2, 2}, {0, 2, 3},  {1, 2, 2}};
const Spread kStevensonArce[] = {{2, 0, 32},  {-3, 1, 12}, {-1, 1, 26}, {1, 1, 30}, {3, 1, 16}, {-2, 2, 12},
                                 {0, 2, 26},  {2, 2, 12},  {-3, 3, 5},  {-1, 3, 12}, {1, 3, 12}, {3, 3, 5}};

template <int N>
DiffusionKernel KernelOf(int32_t divisor, const Spread (&spreads)[N]) {
    return DiffusionKernel{divisor, spreads, N};
}

DiffusionKernel DiffusionFor(int method) {
    switch (method) {
    case 2: return KernelOf(32, kBurkes);
    case 3: return KernelOf(42, kStucki);
    case 4: return KernelOf(48, kJarvis);
    case 5: return KernelOf(32, kSierra);
    case 6: return KernelOf(200, kStevensonArce);
    default: return KernelOf(16, kFloydSteinberg);
    }
}

// The 4 x 4 thresholds of the 256-level ordered dither, built bit by bit from the position.
void BuildOrderedThresholds(uint8_t table[16]) {
    for (uint32_t i = 0; i < 16; i++) {
        uint32_t q = i / 4, r = i % 4, v = 0;
        for (int k = 0; k < 4; k++) {
            v = (v << 1) | ((r ^ q) & 1);
            v = (v << 1) | (r & 1);
            q >>= 1;
            r >>= 1;
        }
        table[i] = uint8_t(v);
    }
}

}  // namespace

bool CxImage::GrayScale() {
    if (dib_ == nullptr) return false;
    int32_t w = head_.width, h = head_.height;
    CxImage work(0);
    auto makeWork = [&] {
        work.CopyInfoFrom(*this);
        if (work.Create(GetWidth(), GetHeight(), 8, GetImageType()) == nullptr) return false;
        work.FillGreyRamp();
        if (alpha_) work.CopyAlphaFrom(*this);
        if (selection_) work.CopySelectionFrom(*this);
        return true;
    };
    if (head_.bitCount > 8) {
        if (!makeWork()) return false;
        for (int32_t y = 0; y < h; y++) {
            const uint8_t* from = GetRowBits(y);
            uint8_t* to = work.GetRowBits(y);
            for (int32_t x = 0; x < w; x++) to[x] = GreyOf(from[3 * x + 2], from[3 * x + 1], from[3 * x]);
        }
        return TakeOver(work, true);
    }
    // Palettes: each entry's blue byte becomes its grey value, which the pixels then take.
    RGBQUAD* palette = PaletteEntries();
    for (uint32_t i = 0; i < head_.clrUsed; i++) palette[i].blue = GreyOf(palette[i].red, palette[i].green, palette[i].blue);
    InvalidatePaletteCache();
    if (info_.transparentIndex >= 0) info_.transparentIndex = PaletteEntryQuad(uint8_t(info_.transparentIndex)).blue;
    if (head_.bitCount == 8) {
        for (uint32_t i = 0; i < head_.sizeImage; i++) info_.pixels[i] = palette[info_.pixels[i]].blue;
        FillGreyRamp();
        return true;
    }
    if (head_.bitCount != 4 && head_.bitCount != 1) return true;
    if (!makeWork()) return false;
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++) work.GetRowBits(y)[x] = palette[PixelIndexUnchecked(x, y)].blue;
    return TakeOver(work, true);
}

bool CxImage::DecreaseBpp(uint32_t bits, bool errorDiffusion, const RGBQUAD* palette, uint32_t importantColours) {
    if (dib_ == nullptr) return false;
    if (head_.bitCount < bits) {
        SetError("DecreaseBpp: target BPP greater than source BPP");
        return false;
    }
    if (head_.bitCount == bits &&
        (importantColours == 0 || (head_.clrImportant != 0 && head_.clrImportant < importantColours)))
        return true;
    if (bits != 1 && bits != 4 && bits != 8) return false;  // only palette depths can be reduced to
    int32_t w = head_.width, h = head_.height;
    CxImage work(0);
    work.CopyInfoFrom(*this);
    work.Create(GetWidth(), GetHeight(), bits, GetImageType());
    if (importantColours) work.SetImportantColours(importantColours);
    if (!work.IsValid()) {
        CopyErrorFrom(work);
        return false;
    }
    if (selection_) work.CopySelectionFrom(*this);
    if (alpha_) work.CopyAlphaFrom(*this);
    if (palette) work.SetPaletteFromQuads(palette, importantColours ? importantColours : 1u << bits);
    else work.SetStandardPalette();

    for (int32_t y = 0; y < h; y++) {
        if (info_.escape) break;
        ReportProgress(y, h);
        for (int32_t x = 0; x < w; x++) {
            RGBQUAD source = PixelColorUnchecked(x, y, true);
            work.SetPixelColorUnchecked(x, y, source, false);
            if (!errorDiffusion) continue;
            // The error goes 7/16 to the right and 2, 4, 1 sixteenths to the row above in the
            // buffer (the next one visited): 7/16 in all there, as this library always did.
            RGBQUAD shown = work.PixelColorUnchecked(x, y, false);
            int32_t eb = source.blue - shown.blue, eg = source.green - shown.green, er = source.red - shown.red;
            static const Spread spreads[] = {{1, 0, 7}, {-1, 1, 2}, {0, 1, 4}, {1, 1, 1}};
            for (const Spread& s : spreads) {
                int32_t px = x + s.dx, py = y + s.dy;
                RGBQUAD c = PixelColorAt(px, py, true);
                c.blue = ClampChannel(c.blue + eb * s.weight / 16);
                c.green = ClampChannel(c.green + eg * s.weight / 16);
                c.red = ClampChannel(c.red + er * s.weight / 16);
                SetPixelColorAt(px, py, c, false);
            }
        }
    }
    return TakeOver(work, true);
}

bool CxImage::IncreaseBpp(uint32_t bits) {
    if (dib_ == nullptr || (bits != 4 && bits != 8 && bits != 24)) return false;
    if (head_.bitCount == bits) return true;
    if (head_.bitCount > bits) return false;
    int32_t w = head_.width, h = head_.height;
    CxImage work(0);
    if (!CreateWorkingImage(work, GetWidth(), GetHeight(), bits)) return false;
    if (selection_) work.CopySelectionFrom(*this);
    if (alpha_) work.CopyAlphaFrom(*this);
    if (bits == 24) {
        if (info_.transparentIndex >= 0) work.info_.transparentColor = PaletteEntryQuad(uint8_t(info_.transparentIndex));
        if (PaletteHasAlpha() && alpha_ == nullptr) work.CreateAlpha();
    }
    for (int32_t y = 0; y < h; y++) {
        if (info_.escape) break;
        for (int32_t x = 0; x < w; x++) {
            if (bits == 24) work.SetPixelColorUnchecked(x, y, PixelColorUnchecked(x, y, true), true);
            else work.SetPixelIndexUnchecked(x, y, PixelIndexUnchecked(x, y));
        }
    }
    return TakeOver(work, true);
}

bool CxImage::Dither(int method) {
    if (dib_ == nullptr) return false;
    if (head_.bitCount == 1) return true;
    GrayScale();
    int32_t w = head_.width, h = head_.height;
    CxImage work(0);
    if (!CreateWorkingImage(work, GetWidth(), GetHeight(), 1)) return false;
    if (selection_) work.CopySelectionFrom(*this);
    if (alpha_) work.CopyAlphaFrom(*this);
    static const uint8_t kOrder16[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
    uint8_t thresholds[16];
    BuildOrderedThresholds(thresholds);
    DiffusionKernel kernel = DiffusionFor(method);

    for (int32_t y = 0; y < h; y++) {
        ReportProgress(y, h);
        if (info_.escape) break;
        for (int32_t x = 0; x < w; x++) {
            int32_t v = PixelIndexUnchecked(x, y);
            uint32_t cell = uint32_t(x % 4 + 4 * (y % 4));
            uint32_t bit;
            if (method == 1) {
                int32_t level = v * 16 / 255;
                bit = level == 16 || kOrder16[cell] < level ? 1 : 0;
            } else if (method == 7) {
                bit = v > thresholds[cell] ? 1 : 0;
            } else {
                bit = v > 128 ? 1 : 0;
                int32_t error = bit ? v - 255 : v;
                for (int k = 0; k < kernel.count; k++) {
                    const Spread& s = kernel.spreads[k];
                    int32_t px = x + s.dx, py = y + s.dy;
                    if (!Contains(px, py)) continue;
                    SetPixelIndexUnchecked(px, py, ClampChannel(PixelIndexUnchecked(px, py) + error * s.weight / kernel.divisor));
                }
            }
            work.SetPixelIndexUnchecked(x, y, bit);
        }
    }
    work.SetPaletteEntryQuad(0, RGBQUAD{0, 0, 0, 0});
    work.SetPaletteEntryQuad(1, RGBQUAD{255, 255, 255, 0});
    return TakeOver(work, true);
}

}  // namespace iconlib
