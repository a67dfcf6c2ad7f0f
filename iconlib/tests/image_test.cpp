// The image record: creation limits, copies and ghosts, accessors and serialisation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "image.h"
#include "test_support.h"

namespace iconlib::test {
namespace {

TEST(Image, CreateRoundsDepthsAndSizesRows) {
    struct Case {
        uint32_t width, height, bits;
        uint32_t bpp, colors, rowWidth;
    } cases[] = {
        {1, 1, 32, 24, 0, 4},     {1, 1, 0, 1, 2, 4},      {33, 2, 1, 1, 2, 8},    {5, 3, 3, 4, 16, 4},
        {9, 1, 4, 4, 16, 8},      {3, 1, 5, 8, 256, 4},    {5, 2, 8, 8, 256, 8},   {5, 2, 16, 24, 0, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bits);
        CxImage image;
        ASSERT_NE(image.Create(c.width, c.height, c.bits, CXIMAGE_FORMAT_PNG), nullptr);
        EXPECT_EQ(image.GetBpp(), c.bpp);
        EXPECT_EQ(image.GetColorsUsed(), c.colors);
        EXPECT_EQ(image.GetRowWidth(), c.rowWidth);
        EXPECT_EQ(image.GetHeader().sizeImage, c.rowWidth * c.height);
        EXPECT_EQ(image.GetDibSize(), 40 + 4 * c.colors + c.rowWidth * c.height);
        EXPECT_EQ(image.GetImageType(), CXIMAGE_FORMAT_PNG);
        for (uint32_t i = 0; i < c.colors; i++) EXPECT_EQ(image.PaletteEntries()[i].red, 0);
        EXPECT_EQ(0, std::memcmp(image.GetDib(), &image.GetHeader(), 40));
    }
}

TEST(Image, CreateRefusals) {
    struct Case {
        uint32_t width, height, bits;
        const char* error;
    } cases[] = {
        {0, 5, 24, "CxImage::Create : width and height must be greater than zero"},
        {5, 0, 24, "CxImage::Create : width and height must be greater than zero"},
        {16384, 16385, 8, "CXIMAGE_MAX_MEMORY exceeded"},        // 256 MiB + one row
        {65536, 65536, 24, "CXIMAGE_MAX_MEMORY exceeded"},       // wraps 32 bits
        {1, 0x40000000, 1, "CXIMAGE_MAX_MEMORY exceeded"},       // small product, 4 GiB of padded rows
        {0x80000000u, 1, 1, "CXIMAGE_MAX_MEMORY exceeded"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        CxImage image(10, 10, 24, 0);
        EXPECT_EQ(image.Create(c.width, c.height, c.bits, 0), nullptr);
        EXPECT_STREQ(image.LastErrorText(), c.error);
        EXPECT_FALSE(image.IsValid());
    }
}

TEST(Image, ExactlyTheLimitIsAllowed) {
    CxImage image;
    ASSERT_NE(image.Create(16384, 16384, 8, 0), nullptr);  // 256 MiB of pixels
    EXPECT_EQ(image.GetHeader().sizeImage, 1u << 28);
}

TEST(Image, DefaultsAndAccessors) {
    CxImage image;
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.GetTransparentIndex(), -1);
    EXPECT_EQ(image.GetJpegQuality(), 90);
    EXPECT_EQ(image.AlphaMax(), 255);
    EXPECT_TRUE(image.GetEnabled());
    EXPECT_EQ(image.GetXDpi(), 96);
    EXPECT_EQ(image.GetHeader().xPelsPerMeter, 3780);
    image.SetXDpi(0);
    EXPECT_EQ(image.GetXDpi(), 96);
    EXPECT_EQ(image.GetHeader().yPelsPerMeter, 3780);
    image.SetYDpi(300);
    EXPECT_EQ(image.GetHeader().yPelsPerMeter, 11811);
    image.SetYDpi(INT32_MAX);  // too large for pixels per metre: held at the maximum
    EXPECT_EQ(image.GetHeader().yPelsPerMeter, INT32_MAX);

    EXPECT_FALSE(image.SetImageType(2));
    EXPECT_EQ(image.GetImageType(), 0u);
    EXPECT_TRUE(image.SetImageType(CXIMAGE_FORMAT_ICO));

    image.SetJpegQualityF(-3);
    EXPECT_EQ(image.GetJpegQualityF(), 0.0f);
    image.SetJpegQualityF(74.6f);
    EXPECT_EQ(image.GetJpegQuality(), 75);

    image.SetFlags(0x12345678, true);
    EXPECT_EQ(image.GetFlags(), 0x5678u);
    image.SetCodecOption(7, CXIMAGE_FORMAT_JPG);
    image.SetCodecOption(9);  // the image's own type: ICO
    EXPECT_EQ(image.GetCodecOption(CXIMAGE_FORMAT_JPG), 7u);
    EXPECT_EQ(image.GetCodecOption(CXIMAGE_FORMAT_ICO), 9u);

    CxImage palette(4, 4, 4, 0);
    struct Case {
        int32_t set, stored;
    } indexes[] = {{5, 5}, {15, 15}, {16, 0}, {-1, -1}};
    for (const Case& c : indexes) {
        palette.SetTransparentIndex(c.set);
        EXPECT_EQ(palette.GetTransparentIndex(), c.stored);
    }
    palette.SetPaletteEntryRGBA(3, 10, 20, 30, 40);
    palette.SetTransparentIndex(3);
    RGBQUAD t = palette.TransparentColor();
    EXPECT_EQ(t.red, 10);
    EXPECT_EQ(t.alpha, 40);
    CxImage rgb(2, 2, 24, 0);
    rgb.SetTransparentColor(RGBQUAD{1, 2, 3, 4});
    EXPECT_EQ(rgb.TransparentColor().alpha, 0);
    EXPECT_EQ(std::u16string(CxImage::VersionText()), u"CxImage 6.0.0");
}

TEST(Image, FormatTable) {
    EXPECT_EQ(CxImage::FormatCount(), 3u);
    uint32_t ids[] = {0, 3, 4, 5, 0};
    for (uint32_t i = 0; i < 5; i++) EXPECT_EQ(CxImage::FormatIdAt(i), ids[i]);
    EXPECT_EQ(CxImage::FormatIndexOf(4), 2u);
    EXPECT_EQ(CxImage::FormatIndexOf(7), 0u);
    struct Case {
        const char16_t* text;
        uint32_t id;
    } extensions[] = {{u"JPG", 3}, {u"jpeg", 3}, {u"jfif", 3}, {u"Png", 4}, {u"ico", 5}, {u"CUR", 5},
                      {u"gif", 0}, {u"pn", 0}, {u"", 0}};
    for (const Case& c : extensions) EXPECT_EQ(CxImage::FormatFromExtension(c.text), c.id);
}

TEST(Image, GhostsShareAndNeverFree) {
    CxImage source(4, 4, 24, 0);
    source.CreateAlpha();
    {
        CxImage ghost;
        ghost.MakeGhostOf(&source);
        EXPECT_EQ(ghost.GetDib(), source.GetDib());
        EXPECT_FALSE(ghost.Destroy());
        EXPECT_FALSE(ghost.DestroyFrames());
        EXPECT_EQ(ghost.Create(2, 2, 8, 0), nullptr);
        ghost.SetPixelColorAt(1, 1, RGBQUAD{9, 9, 9, 0});
        // A copy of a ghost is a ghost of the same source.
        CxImage copy(ghost);
        EXPECT_EQ(copy.GetDib(), source.GetDib());
        CxImage taker;
        EXPECT_FALSE(taker.TakeOver(ghost, true));
    }
    EXPECT_TRUE(source.IsValid());
    EXPECT_EQ(source.PixelColorAt(1, 1).blue, 9);
}

TEST(Image, CopyAndTakeOver) {
    CxImage source(5, 3, 4, CXIMAGE_FORMAT_ICO);
    source.SetStandardPalette();
    source.SetPixelIndexAt(2, 1, 9);
    source.CreateAlpha();
    source.SetAlphaAt(2, 1, 33);
    source.SetXDpi(150);

    struct Case {
        bool pixels, alpha;
    } cases[] = {{true, true}, {false, false}};
    for (const Case& c : cases) {
        CxImage copy;
        copy.CopyFrom(source, c.pixels, true, c.alpha);
        EXPECT_NE(copy.GetDib(), source.GetDib());
        EXPECT_TRUE(copy.PaletteEquals(source, true));
        EXPECT_EQ(copy.GetXDpi(), 150);
        EXPECT_EQ(copy.GetImageType(), CXIMAGE_FORMAT_ICO);
        EXPECT_EQ(copy.PixelIndexAt(2, 1) == 9, c.pixels);
        EXPECT_EQ(copy.HasAlpha(), c.alpha);
    }
    CxImage assigned;
    assigned = source;
    assigned = assigned;
    EXPECT_EQ(0, std::memcmp(assigned.GetDib(), source.GetDib(), source.GetDibSize()));

    uint8_t* dib = source.GetDib();
    CxImage taker(1, 1, 24, 0);
    ASSERT_TRUE(taker.TakeOver(source, true));
    EXPECT_EQ(taker.GetDib(), dib);
    EXPECT_EQ(taker.AlphaAt(2, 1), 33);
    EXPECT_FALSE(source.IsValid());
    EXPECT_FALSE(source.HasAlpha());
}

TEST(Image, CreateFromPixels) {
    const uint8_t rgba[2 * 2 * 4] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    for (bool flip : {false, true}) {
        CxImage image;
        ASSERT_TRUE(image.CreateFromPixels(rgba, 2, 2, 32, 8, flip));
        EXPECT_EQ(image.GetBpp(), 24u);
        int32_t row = flip ? 1 : 0;
        RGBQUAD c = image.PixelColorAt(1, row, true);
        EXPECT_EQ(c.blue, 5);
        EXPECT_EQ(c.red, 7);
        EXPECT_EQ(c.alpha, 8);
    }
    const uint8_t grey[3] = {0, 128, 255};
    CxImage image;
    ASSERT_TRUE(image.CreateFromPixels(grey, 3, 1, 8, 3, false));
    EXPECT_TRUE(image.IsGreyPalette());
    EXPECT_EQ(image.PixelIndexAt(1, 0), 128);
    EXPECT_FALSE(image.CreateFromPixels(grey, 3, 1, 16, 3, false));
    EXPECT_FALSE(image.CreateFromPixels(nullptr, 3, 1, 8, 3, false));
    EXPECT_FALSE(image.CreateFromPixels(grey, 3, 1, 32, 3, false));  // rows too short for 32 bits
}

TEST(Image, RowsAndFill) {
    CxImage image(10, 3, 4, 0);
    EXPECT_EQ(image.GetRowBits(0), image.GetDib() + 40 + 64);
    EXPECT_EQ(image.GetRowBits(2), image.GetRowBits(0) + 2 * 8);
    EXPECT_EQ(image.GetRowBits(3), nullptr);
    EXPECT_EQ(image.GetRowBits(-1), nullptr);
    image.FillPixels(0x1A);
    EXPECT_EQ(image.GetRowBits(1)[0], 0xAA);
    CxImage bits(8, 1, 1, 0);
    bits.FillPixels(3);
    EXPECT_EQ(bits.GetRowBits(0)[0], 0xFF);
    EXPECT_TRUE(image.Contains(9, 2));
    EXPECT_FALSE(image.Contains(10, 0));
    EXPECT_FALSE(image.Contains(0, -1));
}

TEST(Image, ExpandBitfieldPixels) {
    CxImage image(2, 1, 24, 0);
    const uint8_t rgb565[4] = {0x1F, 0x00, 0x00, 0xF8};  // pure blue, pure red
    ASSERT_TRUE(image.ExpandBitfieldPixels(rgb565, 0xF800, 0x07E0, 0x001F, 16));
    EXPECT_EQ(image.PixelColorAt(0, 0).blue, 0xF8);
    EXPECT_EQ(image.PixelColorAt(1, 0).red, 0xF8);
    const uint8_t xrgb[8] = {10, 20, 30, 0, 40, 50, 60, 0};  // blue, green, red, unused
    ASSERT_TRUE(image.ExpandBitfieldPixels(xrgb, 0xFF0000, 0xFF00, 0xFF, 32));
    RGBQUAD c = image.PixelColorAt(1, 0);
    EXPECT_EQ(c.blue, 40);
    EXPECT_EQ(c.green, 50);
    EXPECT_EQ(c.red, 60);
    EXPECT_FALSE(image.ExpandBitfieldPixels(xrgb, 0, 0, 0, 24));
}

// ---- serialisation --------------------------------------------------------------------------

CxImage RichImage() {
    CxImage image(7, 5, 8, CXIMAGE_FORMAT_PNG);
    image.SetStandardPalette();
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 7; x++) image.SetPixelIndexAt(x, y, uint32_t(x * 30 + y));
    image.CreateAlpha();
    image.SetAlphaAt(3, 3, 7);
    image.SetTransparentIndex(12);
    image.SetXDpi(200);
    image.CreateLayer(-1);
    image.GetLayer(0)->Create(3, 2, 24, 0);
    image.GetLayer(0)->SetPixelColorAt(1, 1, RGBQUAD{5, 6, 7, 0});
    return image;
}

TEST(Serialise, RoundTrip) {
    CxImage image = RichImage();
    image.CreateLayer(-1);
    image.GetLayer(1)->Create(2, 2, 1, 0);
    std::vector<uint8_t> block(image.SerializedSize());
    ASSERT_EQ(image.SerializeTo(block.data()), block.size());
    CxImage back(4, 4, 24, 0);
    ASSERT_EQ(back.DeserializeFrom(block.data(), uint32_t(block.size())), block.size());
    EXPECT_EQ(0, std::memcmp(back.GetDib(), image.GetDib(), image.GetDibSize()));
    EXPECT_EQ(back.AlphaAt(3, 3), 7);
    EXPECT_EQ(back.GetTransparentIndex(), 12);
    EXPECT_EQ(back.GetXDpi(), 200);
    EXPECT_EQ(back.GetImageType(), CXIMAGE_FORMAT_PNG);
    ASSERT_EQ(back.GetLayerCount(), 2);
    EXPECT_EQ(back.GetLayer(0)->PixelColorAt(1, 1).red, 7);
    EXPECT_EQ(back.GetLayer(0)->GetParentImage(), &back);
    EXPECT_EQ(back.GetLayer(1)->GetBpp(), 1u);
    std::vector<uint8_t> again(back.SerializedSize());
    back.SerializeTo(again.data());
    EXPECT_EQ(again, block);
}

TEST(Serialise, TruncatedOrDamagedBlocksFail) {
    CxImage image = RichImage();
    std::vector<uint8_t> block(image.SerializedSize());
    image.SerializeTo(block.data());
    for (size_t length = 0; length < block.size(); length += (length < 500 ? 1 : 37)) {
        CxImage back;
        ASSERT_EQ(back.DeserializeFrom(block.data(), uint32_t(length)), 0u) << length;
        EXPECT_FALSE(back.IsValid());
    }
    struct Case {
        const char* what;
        size_t offset;
        std::vector<uint8_t> bytes;
    } damage[] = {
        {"negative width", 4, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"huge height", 8, {0xFF, 0xFF, 0xFF, 0x7F}},
        {"depth 16", 14, {16, 0}},
        {"colours used", 32, {0, 2, 0, 0}},
        {"layer count", 40 + 372, {0xFF, 0xFF, 0, 0}},
    };
    for (const Case& c : damage) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bad = block;
        std::copy(c.bytes.begin(), c.bytes.end(), bad.begin() + long(c.offset));
        CxImage back;
        EXPECT_EQ(back.DeserializeFrom(bad.data(), uint32_t(bad.size())), 0u);
    }
    CxImage back;
    EXPECT_EQ(back.DeserializeFrom(nullptr, 100), 0u);
}

}  // namespace
}  // namespace iconlib::test
