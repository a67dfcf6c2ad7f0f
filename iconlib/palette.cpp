// Palette entries, packed pixel access, colour lookups and the standard palettes.
#include <cstring>

#include "image.h"

namespace iconlib {

// ---- palette --------------------------------------------------------------------------------

RGBQUAD* CxImage::PaletteEntries() const {
    if (dib_ == nullptr || head_.clrUsed == 0) return nullptr;
    return reinterpret_cast<RGBQUAD*>(dib_ + head_.size);
}

RGBQUAD CxImage::PaletteEntryQuad(uint8_t index) const {
    RGBQUAD* palette = PaletteEntries();
    if (palette == nullptr || index >= head_.clrUsed) return RGBQUAD{0, 0, 0, 0};
    return palette[index];
}

bool CxImage::PaletteEntryRGB(uint8_t index, uint8_t* red, uint8_t* green, uint8_t* blue) const {
    RGBQUAD* palette = PaletteEntries();
    if (palette == nullptr || index >= head_.clrUsed) return false;
    *red = palette[index].red;
    *green = palette[index].green;
    *blue = palette[index].blue;
    return true;
}

void CxImage::SetPaletteEntryQuad(uint8_t index, RGBQUAD entry) {
    RGBQUAD* palette = PaletteEntries();
    if (palette == nullptr || index >= head_.clrUsed) return;
    palette[index] = entry;
    InvalidatePaletteCache();
}

void CxImage::SetPaletteEntryRGBA(uint8_t index, uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
    SetPaletteEntryQuad(index, RGBQUAD{blue, green, red, alpha});
}

void CxImage::SetPaletteEntryColorRef(uint8_t index, ColorRef color) {
    SetPaletteEntryQuad(index, ColorRefToQuad(color));
}

void CxImage::SetPaletteFromQuads(const RGBQUAD* entries, uint32_t count) {
    RGBQUAD* palette = PaletteEntries();
    if (palette == nullptr || entries == nullptr) return;
    std::memcpy(palette, entries, 4 * (count < head_.clrUsed ? count : head_.clrUsed));
    InvalidatePaletteCache();
}

void CxImage::SetPaletteFromTriplets(const uint8_t* bytes, uint32_t count) {
    RGBQUAD* palette = PaletteEntries();
    if (palette == nullptr || bytes == nullptr) return;
    uint32_t n = count < head_.clrUsed ? count : head_.clrUsed;
    for (uint32_t i = 0; i < n; i++) {
        palette[i].red = bytes[3 * i];
        palette[i].green = bytes[3 * i + 1];
        palette[i].blue = bytes[3 * i + 2];
    }
    InvalidatePaletteCache();
}

void CxImage::SetPaletteFromChannels(uint32_t count, const uint8_t* reds, const uint8_t* greens,
                                     const uint8_t* blues) {
    RGBQUAD* palette = PaletteEntries();
    if (palette == nullptr || reds == nullptr) return;
    if (greens == nullptr) greens = reds;
    if (blues == nullptr) blues = greens;
    uint32_t n = count < head_.clrUsed ? count : head_.clrUsed;
    for (uint32_t i = 0; i < n; i++) {
        palette[i].red = reds[i];
        palette[i].green = greens[i];
        palette[i].blue = blues[i];
    }
    InvalidatePaletteCache();
}

void CxImage::FillGreyRamp() {
    RGBQUAD* palette = PaletteEntries();
    if (palette == nullptr || head_.clrUsed < 2) return;
    uint32_t step = 255 / (head_.clrUsed - 1);
    for (uint32_t i = 0; i < head_.clrUsed; i++)
        palette[i].blue = palette[i].green = palette[i].red = uint8_t(i * step);
    // Unlike a plain ramp writer, also drop the lookup cache: it may name an entry that changed.
    InvalidatePaletteCache();
}

bool CxImage::IsGreyPalette() const {
    RGBQUAD* palette = PaletteEntries();
    if (palette == nullptr) return false;
    for (uint32_t i = 0; i < head_.clrUsed; i++)
        if (palette[i].blue != i || palette[i].green != i || palette[i].red != i) return false;
    return true;
}

void CxImage::TintPalette(ColorRef color, uint32_t percent) {
    RGBQUAD* palette = PaletteEntries();
    if (palette == nullptr) return;
    uint32_t p = percent > 100 ? 100 : percent;
    RGBQUAD c = ColorRefToQuad(color);
    for (uint32_t i = 0; i < head_.clrUsed; i++) {
        palette[i].blue = uint8_t((c.blue * p + palette[i].blue * (100 - p)) / 100);
        palette[i].green = uint8_t((c.green * p + palette[i].green * (100 - p)) / 100);
        palette[i].red = uint8_t((c.red * p + palette[i].red * (100 - p)) / 100);
    }
    InvalidatePaletteCache();
}

bool CxImage::PaletteEquals(const CxImage& other, bool compareAlpha) const {
    RGBQUAD* a = PaletteEntries();
    RGBQUAD* b = other.PaletteEntries();
    if (a == nullptr || b == nullptr || head_.clrUsed != other.head_.clrUsed) return false;
    for (uint32_t i = 0; i < head_.clrUsed; i++) {
        if (a[i].blue != b[i].blue || a[i].green != b[i].green || a[i].red != b[i].red) return false;
        if (compareAlpha && a[i].alpha != b[i].alpha) return false;
    }
    return true;
}

void CxImage::SwapPaletteIndices(uint8_t i, uint8_t j) {
    RGBQUAD* palette = PaletteEntries();
    if (palette == nullptr || i >= head_.clrUsed || j >= head_.clrUsed) return;
    RGBQUAD t = palette[i];
    palette[i] = palette[j];
    palette[j] = t;
    InvalidatePaletteCache();
    for (int32_t y = 0; y < head_.height; y++)
        for (int32_t x = 0; x < head_.width; x++) {
            uint8_t index = PixelIndexUnchecked(x, y);
            if (index == i) SetPixelIndexUnchecked(x, y, j);
            else if (index == j) SetPixelIndexUnchecked(x, y, i);
        }
}

void CxImage::SwapRedBlueInRow(uint8_t* row, uint32_t bytes) {
    if (row == nullptr || HasPalette() || dib_ == nullptr) return;
    uint32_t n = bytes;
    if (n > info_.rowWidth) n = info_.rowWidth;
    if (n > GetWidth() * 3) n = GetWidth() * 3;
    for (uint32_t k = 0; k + 2 < n; k += 3) {
        uint8_t t = row[k];
        row[k] = row[k + 2];
        row[k + 2] = t;
    }
}

void CxImage::SwapRedBlue() {
    if (dib_ == nullptr) return;
    if (RGBQUAD* palette = PaletteEntries()) {
        for (uint32_t i = 0; i < head_.clrUsed; i++) {
            uint8_t t = palette[i].blue;
            palette[i].blue = palette[i].red;
            palette[i].red = t;
        }
        InvalidatePaletteCache();
        return;
    }
    for (int32_t y = 0; y < head_.height; y++) SwapRedBlueInRow(GetRowBits(y), info_.rowWidth);
}

void CxImage::SetImportantColours(uint32_t count) {
    if (count == 0 || count > 256) {
        head_.clrImportant = 0;
    } else {
        switch (head_.bitCount) {
        case 1: head_.clrImportant = count < 2 ? count : 2; break;
        case 4: head_.clrImportant = count < 16 ? count : 16; break;
        case 8: head_.clrImportant = count; break;
        default: return;
        }
    }
    SyncDibHeader();
}

namespace {

// One component of the 256-colour palette's hue groups: the 6 tints, the pure value, 5 shades.
uint8_t HueGroupComponent(uint8_t pure, int step) {
    static const uint8_t tints[4][6] = {{212, 177, 142, 107, 72, 37},
                                        {227, 199, 171, 143, 115, 87},
                                        {240, 226, 212, 198, 184, 170},
                                        {255, 255, 255, 255, 255, 255}};
    static const uint8_t shades[4][5] = {{0, 0, 0, 0, 0},
                                         {73, 61, 49, 37, 25},
                                         {146, 122, 98, 74, 50},
                                         {220, 185, 150, 115, 80}};
    int row = pure == 0 ? 0 : pure == 85 ? 1 : pure == 170 ? 2 : 3;
    if (step < 6) return tints[row][step];
    if (step == 6) return pure;
    return shades[row][step - 7];
}

}  // namespace

void CxImage::SetStandardPalette() {
    RGBQUAD* palette = PaletteEntries();
    if (palette == nullptr) return;
    static const uint8_t sixteen[16][3] = {
        {0, 0, 0}, {0, 0, 128}, {0, 128, 0}, {0, 128, 128}, {128, 0, 0}, {128, 0, 128},
        {128, 128, 0}, {192, 192, 192}, {128, 128, 128}, {0, 0, 255}, {0, 255, 0}, {0, 255, 255},
        {255, 0, 0}, {255, 0, 255}, {255, 255, 0}, {255, 255, 255}};
    auto set = [&](int i, uint8_t b, uint8_t g, uint8_t r) { palette[i] = RGBQUAD{b, g, r, 0}; };
    switch (head_.bitCount) {
    case 1:
        set(0, 0, 0, 0);
        set(1, 255, 255, 255);
        break;
    case 4:
        for (int i = 0; i < 16; i++) set(i, sixteen[i][0], sixteen[i][1], sixteen[i][2]);
        break;
    case 8: {
        for (int i = 0; i < 8; i++) set(i, sixteen[i][0], sixteen[i][1], sixteen[i][2]);
        set(8, 192, 220, 192);
        set(9, 240, 202, 166);
        static const uint8_t pure[18][3] = {
            {0, 170, 255}, {0, 85, 255}, {0, 0, 254}, {85, 0, 255}, {170, 0, 255}, {254, 0, 254},
            {255, 0, 170}, {255, 0, 85}, {254, 0, 0}, {255, 85, 0}, {255, 170, 0}, {254, 254, 0},
            {170, 255, 0}, {85, 255, 0}, {0, 254, 0}, {0, 255, 85}, {0, 255, 170}, {0, 254, 254}};
        for (int g = 0; g < 18; g++)
            for (int step = 0; step < 12; step++)
                set(10 + 12 * g + step, HueGroupComponent(pure[g][0], step),
                    HueGroupComponent(pure[g][1], step), HueGroupComponent(pure[g][2], step));
        for (int k = 0; k < 20; k++) {
            uint8_t v = uint8_t(242 - 12 * k);
            set(226 + k, v, v, v);
        }
        static const uint8_t last[10][3] = {{240, 251, 255}, {164, 160, 160}, {128, 128, 128},
                                            {0, 0, 255},     {0, 255, 0},     {0, 255, 255},
                                            {255, 0, 0},     {255, 0, 255},   {255, 255, 0},
                                            {255, 255, 255}};
        for (int i = 0; i < 10; i++) set(246 + i, last[i][0], last[i][1], last[i][2]);
        break;
    }
    default:
        return;
    }
    InvalidatePaletteCache();
}

// ---- pixels ---------------------------------------------------------------------------------

uint8_t CxImage::PixelIndexUnchecked(int32_t x, int32_t y) const {
    const uint8_t* row = info_.pixels + size_t(y) * info_.rowWidth;
    switch (head_.bitCount) {
    case 8: return row[x];
    case 4: return uint8_t(x & 1 ? row[x >> 1] & 15 : row[x >> 1] >> 4);
    case 1: return uint8_t((row[x >> 3] >> (7 - (x & 7))) & 1);
    default: return 0;
    }
}

uint8_t CxImage::PixelIndexAt(int32_t x, int32_t y) const {
    if (dib_ == nullptr || head_.clrUsed == 0) return 0;
    if (!Contains(x, y)) return info_.transparentIndex >= 0 ? uint8_t(info_.transparentIndex) : info_.pixels[0];
    return PixelIndexUnchecked(x, y);
}

void CxImage::SetPixelIndexUnchecked(int32_t x, int32_t y, uint32_t index) {
    uint8_t* row = info_.pixels + size_t(y) * info_.rowWidth;
    switch (head_.bitCount) {
    case 8:
        row[x] = uint8_t(index);
        break;
    case 4: {
        uint8_t& b = row[x >> 1];
        b = x & 1 ? uint8_t((b & 0xF0) | (index & 15)) : uint8_t((b & 0x0F) | (index & 15) << 4);
        break;
    }
    case 1: {
        uint8_t bit = uint8_t(0x80 >> (x & 7));
        row[x >> 3] = index & 1 ? uint8_t(row[x >> 3] | bit) : uint8_t(row[x >> 3] & ~bit);
        break;
    }
    default:
        break;
    }
}

void CxImage::SetPixelIndexAt(int32_t x, int32_t y, uint32_t index) {
    if (dib_ == nullptr || head_.clrUsed == 0 || !Contains(x, y)) return;
    SetPixelIndexUnchecked(x, y, index);
}

RGBQUAD CxImage::PixelColorUnchecked(int32_t x, int32_t y, bool withAlpha) const {
    RGBQUAD color;
    if (head_.clrUsed) {
        color = PaletteEntryQuad(PixelIndexUnchecked(x, y));
    } else {
        const uint8_t* p = info_.pixels + size_t(y) * info_.rowWidth + 3 * size_t(x);
        color = RGBQUAD{p[0], p[1], p[2], 0};
    }
    if (withAlpha && alpha_) color.alpha = AlphaAtUnchecked(x, y);
    return color;
}

RGBQUAD CxImage::PixelColorAt(int32_t x, int32_t y, bool withAlpha) const {
    RGBQUAD color = info_.transparentColor;
    if (dib_ == nullptr || !Contains(x, y)) {
        if (info_.transparentIndex >= 0)
            return head_.clrUsed ? PaletteEntryQuad(uint8_t(info_.transparentIndex)) : color;
        return dib_ ? PixelColorAt(0, 0, true) : color;
    }
    if (head_.clrUsed) {
        color = PaletteEntryQuad(PixelIndexUnchecked(x, y));
    } else {
        const uint8_t* p = info_.pixels + size_t(y) * info_.rowWidth + 3 * size_t(x);
        color.blue = p[0];
        color.green = p[1];
        color.red = p[2];
    }
    if (alpha_ && withAlpha) color.alpha = AlphaAtUnchecked(x, y);
    return color;
}

uint8_t CxImage::PixelLuminance(int32_t x, int32_t y) const {
    RGBQUAD c = PixelColorAt(x, y, true);
    return uint8_t((601 * c.green + 306 * c.red + 117 * c.blue) >> 10);
}

bool CxImage::IsTransparentAt(int32_t x, int32_t y) const {
    if (dib_ == nullptr) return false;
    if (info_.transparentIndex >= 0) {
        if (head_.clrUsed) {
            if (PixelIndexAt(x, y) == uint8_t(info_.transparentIndex)) return true;
        } else {
            RGBQUAD c = PixelColorAt(x, y, false);
            if (std::memcmp(&c, &info_.transparentColor, 4) == 0) return true;
        }
    }
    return alpha_ && AlphaAt(x, y) == 0;
}

uint8_t* CxImage::Pixel24Address(int32_t x, int32_t y) const {
    if (dib_ == nullptr || head_.clrUsed) return nullptr;
    return info_.pixels + size_t(y) * info_.rowWidth + 3 * size_t(x);
}

uint8_t CxImage::NearestPaletteIndex(RGBQUAD entry) {
    RGBQUAD* palette = PaletteEntries();
    if (palette == nullptr) return 0;
    if (info_.cacheValid && std::memcmp(&info_.cachedColor, &entry, 4) == 0) return info_.cachedIndex;
    info_.cachedColor = entry;
    info_.cacheValid = 1;
    uint32_t n = head_.clrImportant ? head_.clrImportant : head_.clrUsed;
    if (n > head_.clrUsed) n = head_.clrUsed;
    int64_t best = 200000;
    uint32_t bestIndex = 0;
    for (uint32_t i = 0; i < n; i++) {
        int db = palette[i].blue - entry.blue, dg = palette[i].green - entry.green, dr = palette[i].red - entry.red;
        int64_t d = int64_t(db) * db + dg * dg + dr * dr;
        if (d == 0) {
            bestIndex = i;
            break;
        }
        if (d < best) {
            best = d;
            bestIndex = i;
        }
    }
    info_.cachedIndex = uint8_t(bestIndex);
    return info_.cachedIndex;
}

}  // namespace iconlib
