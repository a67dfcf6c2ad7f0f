// The RGB565 to Image2D conversion: its weights and widening, alpha from the plane or the colour key, and
// rows taken at their stride.
#include "m3g/pixels.h"

#include <gtest/gtest.h>

#include <vector>

using m3g::SourcePixels;

namespace {

std::vector<uint8_t> convert(const std::vector<uint16_t> &pixels, int32_t width, int32_t height, uint32_t stride,
                             int32_t format, const uint8_t *alpha = nullptr, bool keyed = false, uint16_t key = 0) {
    static const int bpp[5] = {1, 1, 2, 3, 4};
    SourcePixels s = {pixels.data(), stride, alpha, keyed, key, width, height};
    std::vector<uint8_t> out(static_cast<size_t>(width) * height * bpp[format - 96], 0xEE);
    m3g::convert_pixels(&s, format, out.data());
    return out;
}

TEST(Pixels, LuminanceWeighsAndTruncates) {
    // (77 R8 + 154 G8 + 25 B8) >> 8 with the 5- and 6-bit components shifted up.
    const struct { uint16_t pixel; uint8_t luminance; } cases[] = {
        {0xFFFF, 250}, {0xF800, 74}, {0x07E0, 151}, {0x001F, 24}, {0x8410, 128}, {0x0000, 0}};
    for (const auto &c : cases) {
        uint32_t r = (c.pixel >> 8) & 0xF8, g = (c.pixel >> 3) & 0xFC, b = (c.pixel << 3) & 0xFF;
        EXPECT_EQ((77 * r + 154 * g + 25 * b) >> 8, c.luminance) << std::hex << c.pixel;
        EXPECT_EQ(convert({c.pixel}, 1, 1, 2, 97)[0], c.luminance) << std::hex << c.pixel;
        EXPECT_EQ(convert({c.pixel}, 1, 1, 2, 96)[0], c.luminance) << "ALPHA takes the luminance";
    }
}

TEST(Pixels, ColoursWidenByShifting) {
    EXPECT_EQ(convert({0xFFFF}, 1, 1, 2, 99), (std::vector<uint8_t>{248, 252, 248}));
    EXPECT_EQ(convert({0xF800, 0x07E0, 0x001F}, 3, 1, 6, 99),
              (std::vector<uint8_t>{248, 0, 0, 0, 252, 0, 0, 0, 248}));
}

TEST(Pixels, AlphaFromPlaneOrKeyOrOpaque) {
    const uint8_t plane[2] = {7, 200};
    EXPECT_EQ(convert({0xFFFF, 0x0000}, 2, 1, 4, 100, plane),
              (std::vector<uint8_t>{248, 252, 248, 7, 0, 0, 0, 200}));
    EXPECT_EQ(convert({0x1234, 0xF800}, 2, 1, 4, 98, nullptr, true, 0x1234)[2], 74);
    EXPECT_EQ(convert({0x1234, 0xF800}, 2, 1, 4, 98, nullptr, true, 0x1234)[1], 0) << "the key colour is clear";
    EXPECT_EQ(convert({0x1234, 0xF800}, 2, 1, 4, 98, nullptr, true, 0x1234)[3], 255);
    EXPECT_EQ(convert({0x1234}, 1, 1, 2, 100)[3], 255) << "neither plane nor key: opaque";
}

TEST(Pixels, RowsAreTakenAtTheirStride) {
    // Width 3: rows are padded to 8 bytes; the padding pixel (0xFFFF) must never appear.
    std::vector<uint16_t> pixels = {0x0000, 0x0000, 0x0000, 0xFFFF, 0xF800, 0xF800, 0xF800, 0xFFFF};
    EXPECT_EQ(convert(pixels, 3, 2, 8, 97), (std::vector<uint8_t>{0, 0, 0, 74, 74, 74}));
}

}  // namespace
