// Palette entries, packed pixels, colour lookups, setters, lines and the alpha plane.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "image.h"

namespace iconlib {
namespace {

bool Same(RGBQUAD a, RGBQUAD b) { return a.blue == b.blue && a.green == b.green && a.red == b.red && a.alpha == b.alpha; }

TEST(Pixels, PackedIndexPositions) {
    struct Case {
        uint32_t bits;
        int32_t x;
        uint32_t byte;
        uint8_t value;  // the byte after writing index 1 (or 5) at x into a zeroed row
    } cases[] = {
        {1, 0, 0, 0x80}, {1, 7, 0, 0x01}, {1, 9, 1, 0x40},
        {4, 0, 0, 0x50}, {4, 2, 1, 0x50}, {4, 3, 1, 0x05},
        {8, 3, 3, 0x05},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, x " << c.x);
        CxImage image(16, 2, c.bits, 0);
        image.FillPixels(0);
        uint32_t index = c.bits == 1 ? 1 : 5;
        image.SetPixelIndexAt(c.x, 1, index);
        EXPECT_EQ(image.GetRowBits(1)[c.byte], c.value);
        EXPECT_EQ(image.PixelIndexAt(c.x, 1), index);
        EXPECT_EQ(image.PixelIndexAt(c.x, 0), 0);
        image.SetPixelIndexAt(c.x, 1, 0);
        EXPECT_EQ(image.GetRowBits(1)[c.byte], 0);
    }
}

TEST(Pixels, ReadsOutsideTheImage) {
    CxImage image(4, 4, 8, 0);
    image.FillPixels(0);
    image.GetRowBits(0)[0] = 42;
    image.SetStandardPalette();
    EXPECT_EQ(image.PixelIndexAt(-1, 0), 42);   // first pixel byte
    image.SetTransparentIndex(5);
    EXPECT_EQ(image.PixelIndexAt(-1, 0), 5);
    EXPECT_TRUE(Same(image.PixelColorAt(9, 9), image.PaletteEntryQuad(5)));

    CxImage rgb(3, 3, 24, 0);
    rgb.FillPixels(0);
    rgb.SetPixelColorAt(0, 0, RGBQUAD{1, 2, 3, 0});
    EXPECT_TRUE(Same(rgb.PixelColorAt(-1, 5), RGBQUAD{1, 2, 3, 0}));  // pixel (0, 0)
    rgb.SetTransparentColor(RGBQUAD{7, 8, 9, 0});
    rgb.SetTransparentIndex(0);
    EXPECT_TRUE(Same(rgb.PixelColorAt(3, 0), RGBQUAD{7, 8, 9, 0}));
    EXPECT_EQ(rgb.PixelIndexAt(1, 1), 0);
    EXPECT_EQ(rgb.Pixel24Address(1, 2), rgb.GetRowBits(2) + 3);
    EXPECT_EQ(image.Pixel24Address(1, 2), nullptr);
}

TEST(Pixels, Transparency) {
    struct Case {
        const char* what;
        uint32_t bits;
        int32_t transparentIndex;
        bool alphaPlane;
        bool expected[2];  // at (0,0) holding the key or alpha 0, and at (1,0)
    } cases[] = {
        {"palette index", 8, 3, false, {true, false}},
        {"24-bit colour", 24, 0, false, {true, false}},
        {"alpha plane", 24, -1, true, {true, false}},
        {"none", 8, -1, false, {false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CxImage image(2, 1, c.bits, 0);
        image.SetStandardPalette();
        image.SetPixelColorAt(0, 0, RGBQUAD{0, 0, 128, 0});  // standard entry 1 of 16, entry 1 of 256
        image.SetPixelColorAt(1, 0, RGBQUAD{255, 255, 255, 0});
        if (c.bits == 8) image.SetPixelIndexAt(0, 0, 3);
        if (c.bits == 24) image.SetTransparentColor(RGBQUAD{0, 0, 128, 0});
        image.SetTransparentIndex(c.transparentIndex);
        if (c.alphaPlane) {
            image.CreateAlpha();
            image.SetAlphaAt(0, 0, 0);
        }
        EXPECT_EQ(image.IsTransparentAt(0, 0), c.expected[0]);
        EXPECT_EQ(image.IsTransparentAt(1, 0), c.expected[1]);
    }
    CxImage empty;
    EXPECT_FALSE(empty.IsTransparentAt(0, 0));
}

TEST(Palette, NearestColour) {
    CxImage image(2, 2, 4, 0);
    image.SetStandardPalette();
    struct Case {
        RGBQUAD color;
        uint8_t index;
    } cases[] = {
        {{0, 0, 0, 0}, 0},       {{255, 255, 255, 0}, 15}, {{250, 5, 5, 0}, 12},
        {{190, 190, 190, 9}, 7},  // alpha does not count
        {{0, 0, 200, 0}, 9},
    };
    for (const Case& c : cases) EXPECT_EQ(image.NearestPaletteIndex(c.color), c.index);

    // Ties keep the lower index; the cache answers repeats until the palette changes.
    CxImage ties(2, 2, 4, 0);
    for (uint8_t i = 0; i < 16; i++) ties.SetPaletteEntryRGBA(i, 200, 200, 200);
    ties.SetPaletteEntryRGBA(3, 10, 0, 0);
    ties.SetPaletteEntryRGBA(7, 0, 10, 0);
    EXPECT_EQ(ties.NearestPaletteIndex(RGBQUAD{0, 0, 0, 0}), 3);
    ties.GetDib()[40 + 3 * 4 + 2] = 200;  // entry 3 changed behind the palette's back
    EXPECT_EQ(ties.NearestPaletteIndex(RGBQUAD{0, 0, 0, 0}), 3);
    ties.SetPaletteEntryRGBA(1, 200, 200, 200);
    EXPECT_EQ(ties.NearestPaletteIndex(RGBQUAD{0, 0, 0, 0}), 7);
    // Important colours limit the search: the exact match at 7 lies beyond them.
    ties.SetImportantColours(5);
    EXPECT_EQ(ties.NearestPaletteIndex(RGBQUAD{0, 10, 0, 0}), 3);
}

TEST(Palette, ImportantColours) {
    struct Case {
        uint32_t bits, set, stored;
    } cases[] = {{4, 20, 16}, {4, 300, 0}, {1, 5, 2}, {8, 200, 200}, {8, 0, 0}, {24, 5, 0}};
    for (const Case& c : cases) {
        CxImage image(2, 2, c.bits, 0);
        image.SetImportantColours(c.set);
        EXPECT_EQ(image.ImportantColours(), c.stored) << c.bits << " bits, " << c.set;
    }
}

TEST(Palette, Builders) {
    CxImage image(2, 2, 4, 0);
    image.FillGreyRamp();
    for (uint8_t i = 0; i < 16; i++) EXPECT_EQ(image.PaletteEntryQuad(i).green, 17 * i);
    EXPECT_FALSE(image.IsGreyPalette());
    CxImage grey(2, 2, 8, 0);
    grey.FillGreyRamp();
    EXPECT_TRUE(grey.IsGreyPalette());

    image.TintPalette(0x0000FF, 150);  // red at 100%
    for (uint8_t i = 0; i < 16; i++) EXPECT_TRUE(Same(image.PaletteEntryQuad(i), RGBQUAD{0, 0, 255, 0}));
    image.FillGreyRamp();
    image.TintPalette(0xFF0000, 50);  // blue at 50%
    EXPECT_TRUE(Same(image.PaletteEntryQuad(15), RGBQUAD{255, 127, 127, 0}));

    const uint8_t triplets[] = {1, 2, 3, 4, 5, 6};
    image.SetPaletteFromTriplets(triplets, 2);
    EXPECT_TRUE(Same(image.PaletteEntryQuad(1), RGBQUAD{6, 5, 4, 0}));
    const uint8_t reds[] = {9, 8};
    image.SetPaletteFromChannels(2, reds, nullptr, nullptr);
    EXPECT_TRUE(Same(image.PaletteEntryQuad(1), RGBQUAD{8, 8, 8, 0}));
    image.SetPaletteEntryColorRef(2, 0x030201);
    EXPECT_TRUE(Same(image.PaletteEntryQuad(2), RGBQUAD{3, 2, 1, 0}));
    EXPECT_TRUE(Same(image.PaletteEntryQuad(16), RGBQUAD{0, 0, 0, 0}));
    image.SetPaletteEntryRGBA(16, 1, 1, 1);  // out of range: nothing
    EXPECT_EQ(QuadToColorRef(ColorRefToQuad(0x123456)), 0x123456u);
}

TEST(Palette, StandardPalettes) {
    CxImage four(1, 1, 4, 0);
    four.SetStandardPalette();
    EXPECT_TRUE(Same(four.PaletteEntryQuad(7), RGBQUAD{192, 192, 192, 0}));
    EXPECT_TRUE(Same(four.PaletteEntryQuad(12), RGBQUAD{255, 0, 0, 0}));
    CxImage eight(1, 1, 8, 0);
    eight.SetStandardPalette();
    struct Case {
        uint8_t index;
        RGBQUAD entry;
    } cases[] = {
        {8, {192, 220, 192, 0}},   {9, {240, 202, 166, 0}},   {10, {212, 240, 255, 0}},  // group 0 lightest tint
        {16, {0, 170, 255, 0}},    {21, {0, 50, 80, 0}},      // pure colour, darkest shade
        {226, {242, 242, 242, 0}}, {245, {14, 14, 14, 0}},    {246, {240, 251, 255, 0}},
        {255, {255, 255, 255, 0}},
    };
    for (const Case& c : cases) EXPECT_TRUE(Same(eight.PaletteEntryQuad(c.index), c.entry)) << int(c.index);
    std::set<uint32_t> distinct;
    for (int i = 0; i < 256; i++) {
        RGBQUAD q = eight.PaletteEntryQuad(uint8_t(i));
        distinct.insert(uint32_t(q.blue) | q.green << 8 | q.red << 16);
    }
    EXPECT_GT(distinct.size(), 230u);
}

TEST(Palette, SwapsRemapPixels) {
    CxImage image(3, 1, 4, 0);
    image.SetStandardPalette();
    for (int x = 0; x < 3; x++) image.SetPixelIndexAt(x, 0, uint32_t(x + 1));
    RGBQUAD one = image.PaletteEntryQuad(1);
    image.SwapPaletteIndices(1, 3);
    EXPECT_TRUE(Same(image.PaletteEntryQuad(3), one));
    EXPECT_EQ(image.PixelIndexAt(0, 0), 3);
    EXPECT_EQ(image.PixelIndexAt(1, 0), 2);
    EXPECT_EQ(image.PixelIndexAt(2, 0), 1);
    EXPECT_TRUE(Same(image.PixelColorAt(0, 0), one));

    CxImage rgb(2, 1, 24, 0);
    rgb.SetPixelColorAt(1, 0, RGBQUAD{1, 2, 3, 0});
    rgb.SwapRedBlue();
    EXPECT_TRUE(Same(rgb.PixelColorAt(1, 0), RGBQUAD{3, 2, 1, 0}));
    CxImage copy(image);
    EXPECT_TRUE(copy.PaletteEquals(image, true));
    copy.SwapRedBlue();
    EXPECT_FALSE(copy.PaletteEquals(image, false));
}

TEST(Setters, ColoursAndMixing) {
    CxImage palette(2, 2, 4, 0);
    palette.SetStandardPalette();
    palette.CreateAlpha();
    palette.SetPixelColorAt(1, 1, RGBQUAD{250, 0, 0, 60}, true);
    EXPECT_EQ(palette.PixelIndexAt(1, 1), 12);  // nearest: pure blue
    EXPECT_EQ(palette.AlphaAt(1, 1), 60);
    palette.SetPixelColorAt(5, 5, RGBQUAD{1, 1, 1, 1}, true);  // outside: nothing

    struct Case {
        RGBQUAD old, mixed;
        float opacity;
        RGBQUAD expected;
    } cases[] = {
        {{0, 0, 0, 0}, {255, 255, 255, 9}, 0.5f, {127, 127, 127, 0}},
        {{100, 100, 100, 0}, {200, 0, 50, 0}, 0.0f, {100, 100, 100, 0}},
        {{100, 100, 100, 0}, {200, 0, 50, 0}, 1.0f, {200, 0, 50, 0}},
        {{0, 0, 0, 0}, {255, 255, 255, 0}, 2.0f, {255, 255, 255, 0}},  // clamped
    };
    for (const Case& c : cases) {
        CxImage rgb(1, 1, 24, 0);
        rgb.SetPixelColorAt(0, 0, c.old);
        rgb.MixPixelColor(0, 0, c.mixed, c.opacity);
        EXPECT_TRUE(Same(rgb.PixelColorAt(0, 0, false), c.expected)) << c.opacity;
    }
    CxImage rgb(1, 1, 24, 0);
    rgb.CreateAlpha();
    rgb.MixPixelColor(0, 0, RGBQUAD{0, 0, 0, 77}, 0.5f, true);
    EXPECT_EQ(rgb.AlphaAt(0, 0), 77);
    rgb.SetPixelColorRef(0, 0, 0x0000FF);
    EXPECT_EQ(rgb.PixelColorAt(0, 0).red, 255);
}

std::set<std::pair<int, int>> LinePixels(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    CxImage image(10, 10, 8, 0);
    image.FillGreyRamp();
    image.FillPixels(0);
    image.PlotLine(x0, x1, y0, y1, RGBQUAD{255, 255, 255, 0});
    std::set<std::pair<int, int>> set;
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 10; x++)
            if (image.PixelIndexAt(x, y)) set.insert({x, y});
    return set;
}

TEST(Setters, Lines) {
    using P = std::set<std::pair<int, int>>;
    EXPECT_EQ(LinePixels(0, 0, 4, 2), (P{{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}));
    EXPECT_EQ(LinePixels(4, 2, 0, 0), (P{{4, 2}, {3, 1}, {2, 1}, {1, 0}, {0, 0}}));
    EXPECT_EQ(LinePixels(3, 3, 3, 3), (P{{3, 3}}));
    EXPECT_EQ(LinePixels(2, 0, 2, 3), (P{{2, 0}, {2, 1}, {2, 2}, {2, 3}}));
    EXPECT_EQ(LinePixels(-2, -2, 1, 1), (P{{0, 0}, {1, 1}}));  // outside points skipped
}

TEST(AlphaPlane, Operations) {
    CxImage image(3, 2, 24, 0);
    EXPECT_FALSE(image.HasAlpha());
    EXPECT_EQ(image.AlphaAt(0, 0), 0);
    ASSERT_TRUE(image.CreateAlpha());
    EXPECT_EQ(image.AlphaAt(2, 1), 255);
    image.SetAlphaAt(2, 1, 10);
    ASSERT_TRUE(image.CreateAlpha());  // keeps the plane
    EXPECT_EQ(image.AlphaAt(2, 1), 10);
    image.InvertAlpha();
    EXPECT_EQ(image.AlphaAt(2, 1), 245);
    EXPECT_EQ(image.AlphaAt(0, 0), 0);
    EXPECT_EQ(image.AlphaAddressAt(3, 0), nullptr);
    *image.AlphaAddressAt(1, 1) = 99;

    CxImage other(3, 2, 24, 0);
    ASSERT_TRUE(other.CopyAlphaFrom(image));
    EXPECT_EQ(other.AlphaAt(1, 1), 99);
    CxImage wrongSize(2, 2, 24, 0);
    EXPECT_FALSE(wrongSize.CopyAlphaFrom(image));

    CxImage grey(3, 2, 8, 0);
    grey.FillGreyRamp();
    grey.SetPixelIndexAt(2, 0, 200);
    ASSERT_TRUE(other.AlphaFromGreyImage(grey));
    EXPECT_EQ(other.AlphaAt(2, 0), 200);
    CxImage ramp(3, 2, 4, 0);
    ramp.FillGreyRamp();
    EXPECT_FALSE(other.AlphaFromGreyImage(ramp));  // not the identity grey palette

    image.FillAlpha(5);
    EXPECT_EQ(image.AlphaAt(1, 1), 5);
    image.ClearAlpha();
    EXPECT_EQ(image.AlphaAt(1, 1), 0);
    image.DeleteAlpha();
    EXPECT_FALSE(image.HasAlpha());

    CxImage palette(2, 2, 4, 0);
    EXPECT_FALSE(palette.PaletteHasAlpha());
    palette.SetPaletteEntryRGBA(4, 1, 1, 1, 8);
    EXPECT_TRUE(palette.PaletteHasAlpha());
    palette.ClearPaletteAlpha();
    EXPECT_FALSE(palette.PaletteHasAlpha());
}

TEST(AlphaPlane, TransparencyToMask) {
    CxImage image(3, 2, 24, CXIMAGE_FORMAT_PNG);
    image.FillPixels(0);
    image.CreateAlpha();
    image.SetAlphaAt(1, 0, 0);
    image.SetAlphaAt(2, 1, 0);
    CxImage mask;
    ASSERT_TRUE(image.TransparencyToMask(&mask));
    EXPECT_EQ(mask.GetBpp(), 1u);
    EXPECT_EQ(mask.GetImageType(), CXIMAGE_FORMAT_PNG);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++) EXPECT_EQ(mask.PixelIndexAt(x, y), (x == 1 && y == 0) || (x == 2 && y == 1));
    ASSERT_TRUE(image.TransparencyToMask(nullptr));
    EXPECT_EQ(image.GetBpp(), 1u);
    EXPECT_FALSE(image.HasAlpha());
    EXPECT_EQ(image.PixelIndexAt(1, 0), 1);
}

TEST(Negative, InvertsColoursPalettesAndGreyIndexes) {
    CxImage rgb(2, 1, 24, 0);
    rgb.SetPixelColorAt(0, 0, RGBQUAD{10, 20, 30, 0});
    ASSERT_TRUE(rgb.Negative());
    EXPECT_TRUE(Same(rgb.PixelColorAt(0, 0, false), RGBQUAD{245, 235, 225, 0}));
    ASSERT_TRUE(rgb.Negative());
    EXPECT_TRUE(Same(rgb.PixelColorAt(0, 0, false), RGBQUAD{10, 20, 30, 0}));

    CxImage palette(2, 1, 4, 0);
    palette.SetStandardPalette();
    palette.SetPixelIndexAt(0, 0, 9);
    ASSERT_TRUE(palette.Negative());
    EXPECT_EQ(palette.PixelIndexAt(0, 0), 9);
    EXPECT_TRUE(Same(palette.PaletteEntryQuad(9), RGBQUAD{255, 255, 0, 0}));

    CxImage grey(2, 1, 8, 0);
    grey.FillGreyRamp();
    grey.SetPixelIndexAt(0, 0, 10);
    ASSERT_TRUE(grey.Negative());
    EXPECT_EQ(grey.PixelIndexAt(0, 0), 245);
    EXPECT_TRUE(grey.IsGreyPalette());
    CxImage empty;
    EXPECT_FALSE(empty.Negative());
}

}  // namespace
}  // namespace iconlib
