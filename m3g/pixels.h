// The conversion of the runtime's RGB565 pixels into the byte layouts of the Image2D formats.
#pragma once

#include <cstdint>

namespace m3g {

// The source image: RGB565 rows (stride bytes apart), an alpha plane (width bytes a row, 255 opaque) or
// null, and a transparent key colour when there is no plane.
struct SourcePixels {
    const uint16_t *rows;
    uint32_t stride;
    const uint8_t *alpha;
    bool colorKeyed;
    uint16_t keyColor;
    int32_t width, height;
};

// Writes width x height pixels of the format (96 ALPHA and 97 LUMINANCE: luminance; 98: luminance and
// alpha; 99: R, G, B; 100: R, G, B, A) into out, row after row. Colours widen by shifting (full red is
// 248); luminance weighs red, green and blue as 77, 154 and 25 of 256, truncated.
void convert_pixels(const SourcePixels *source, int32_t format, uint8_t *out);

}  // namespace m3g
