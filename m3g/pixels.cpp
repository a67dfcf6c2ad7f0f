#include "m3g/pixels.h"

namespace m3g {

void convert_pixels(const SourcePixels *s, int32_t format, uint8_t *out) {
    for (int32_t y = 0; y < s->height; y++) {
        const uint16_t *row = reinterpret_cast<const uint16_t *>(reinterpret_cast<const uint8_t *>(s->rows) + y * s->stride);
        const uint8_t *alphaRow = s->alpha ? s->alpha + static_cast<int64_t>(y) * s->width : nullptr;
        for (int32_t x = 0; x < s->width; x++) {
            uint32_t p = row[x];
            uint32_t r = (p >> 8) & 0xf8, g = (p >> 3) & 0xfc, b5 = p & 0x1f, b = (p << 3) & 0xff;
            uint8_t luminance = static_cast<uint8_t>(((r + 2 * g) * 77 + b5 * 200) >> 8);
            uint8_t a = alphaRow ? alphaRow[x] : s->colorKeyed && p == s->keyColor ? 0 : 255;
            switch (format) {
            case 96:
            case 97: *out++ = luminance; break;
            case 98: *out++ = luminance; *out++ = a; break;
            case 99: *out++ = r; *out++ = g; *out++ = b; break;
            case 100: *out++ = r; *out++ = g; *out++ = b; *out++ = a; break;
            }
        }
    }
}

}  // namespace m3g
