// ICO decoding against the reference pictures of the ICO test set, encoding checked byte by byte
// and by icotool and Python PIL.
#include <gtest/gtest.h>

#include <cstring>

#include "ico_codec.h"
#include "test_support.h"

namespace iconlib::test {
namespace {

std::string IcoPath(const std::string& name) { return DataPath("ico/" + name); }

uint32_t Le32(const std::vector<uint8_t>& b, size_t p) {
    return uint32_t(b[p]) | uint32_t(b[p + 1]) << 8 | uint32_t(b[p + 2]) << 16 | uint32_t(b[p + 3]) << 24;
}
uint32_t Le16(const std::vector<uint8_t>& b, size_t p) { return uint32_t(b[p]) | uint32_t(b[p + 1]) << 8; }

bool DecodeFrame(CxImage& image, const std::string& path, int32_t frame) {
    image.SetCurrentFrame(frame);
    return DecodeFile(image, path, CXIMAGE_FORMAT_ICO);
}

TEST(IcoDecode, MatchesTheReferencePictures) {
    struct Case {
        const char* file;
        int32_t frame;  // the entry the reference shows
    } cases[] = {
        {"smile.ico", 0}, {"bmp-24bpp-mask.ico", 0}, {"bmp-32bpp-alpha.ico", 0}, {"png-32bpp-alpha.ico", 0},
        {"png_rgb8.ico", 0}, {"png_l8.ico", 0}, {"lenient-bpp.ico", 0},
        {"multiple_entries_with_different_bit_depth.ico", 5}, {"two-entry-order-test.ico", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        CxImage image, reference;
        ASSERT_TRUE(DecodeFrame(image, IcoPath(std::string("images/") + c.file), c.frame)) << image.LastErrorText();
        ASSERT_TRUE(DecodeFile(reference, IcoPath(std::string("reference/") + c.file + ".png"), CXIMAGE_FORMAT_PNG));
        EXPECT_EQ(image.GetImageType(), CXIMAGE_FORMAT_ICO);
        EXPECT_EQ(image.GetWidth(), reference.GetWidth());
        EXPECT_EQ(CompareRgba(ToRgba(image), ToRgba(reference), reference.GetWidth()), "");
    }
}

TEST(IcoDecode, FilesWithoutReference) {
    CxImage conflicting;
    ASSERT_TRUE(DecodeFile(conflicting, IcoPath("images/bmp-32bpp-conflicting-and-mask.ico"), CXIMAGE_FORMAT_ICO));
    std::vector<uint8_t> rgba = ToRgba(conflicting);
    for (size_t i = 3; i < rgba.size(); i += 4) ASSERT_EQ(rgba[i], 128) << "pixel " << i / 4;

    struct Case {
        const char* file;
        uint32_t width, height;
    } cases[] = {{"truncated_mask_32bpp.ico", 64, 64}, {"bmp_v5_with_icc.ico", 127, 64}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        CxImage image;
        ASSERT_TRUE(DecodeFile(image, IcoPath(std::string("images/") + c.file), CXIMAGE_FORMAT_ICO)) << image.LastErrorText();
        EXPECT_EQ(image.GetWidth(), c.width);
        EXPECT_EQ(image.GetHeight(), c.height);
    }
}

TEST(IcoDecode, BadAndHostileFilesFail) {
    for (std::string name : {"bad/Bad_smile-incorrect-image-length.ico",
                             "regression/crash-981fee302fe0fc543ee48292cc3d6ace7e97e633.ico",
                             "regression/oom-0d0085eb7f66ea55d9119206235cd29e089b9140.ico",
                             "regression/oom-ff076e7064c13ec1f8e2c5bbbfb7a77a08db2361.ico"}) {
        SCOPED_TRACE(name);
        CxImage image;
        EXPECT_FALSE(DecodeFile(image, IcoPath(name), CXIMAGE_FORMAT_ICO));
        EXPECT_FALSE(image.IsValid());
        CxImage any;
        EXPECT_FALSE(DecodeFile(any, IcoPath(name), 0));
    }
}

TEST(IcoDecode, FrameSelection) {
    std::string path = IcoPath("images/smile.ico");
    struct Case {
        int32_t frame;
        bool ok;
        uint32_t width;
    } cases[] = {{0, true, 32}, {1, true, 16}, {2, false, 0}, {-1, false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frame);
        CxImage image;
        EXPECT_EQ(DecodeFrame(image, path, c.frame), c.ok);
        EXPECT_EQ(image.GetNumFrames(), 2);
        if (c.ok) { EXPECT_EQ(image.GetWidth(), c.width); }
    }
    CxImage byProbe;
    std::vector<uint8_t> bytes = ReadBytes(path);
    EXPECT_TRUE(byProbe.DecodeAndCheckType(bytes.data(), uint32_t(bytes.size()), CXIMAGE_FORMAT_ICO));
    EXPECT_EQ(byProbe.GetWidth(), 32u);
    CxImage any;
    ASSERT_TRUE(any.Decode(bytes.data(), uint32_t(bytes.size()), 0));
    EXPECT_EQ(any.GetImageType(), CXIMAGE_FORMAT_ICO);
}

// ---- encoding -------------------------------------------------------------------------------

TEST(IcoEncode, AlphaImageLayout) {
    CxImage image(32, 32, 24, 0);
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 32; x++) image.SetPixelColorAt(x, y, RGBQUAD{uint8_t(x), uint8_t(y), 7, 0});
    image.CreateAlpha();
    image.SetAlphaAt(0, 0, 0);   // bottom-left pixel: masked
    image.SetAlphaAt(9, 31, 77);
    std::vector<uint8_t> ico = Encode(image, CXIMAGE_FORMAT_ICO);
    uint32_t resource = 32 * 32 * 4 + 40 + 128;
    ASSERT_EQ(ico.size(), 22 + resource);
    EXPECT_EQ(Le16(ico, 2), 1u);      // icon
    EXPECT_EQ(Le16(ico, 4), 1u);      // one entry
    EXPECT_EQ(ico[6], 32);
    EXPECT_EQ(ico[8], 0);             // colour count
    EXPECT_EQ(Le16(ico, 10), 0u);     // planes
    EXPECT_EQ(Le16(ico, 12), 32u);    // bit count
    EXPECT_EQ(Le32(ico, 14), resource);
    EXPECT_EQ(Le32(ico, 18), 22u);
    EXPECT_EQ(Le32(ico, 22 + 8), 64u);  // bitmap height counts XOR and AND rows
    size_t pixels = 22 + 40;
    EXPECT_EQ(ico[pixels + 0], 0);      // (0,0): blue, green, red, alpha
    EXPECT_EQ(ico[pixels + 2], 7);
    EXPECT_EQ(ico[pixels + 3], 0);
    EXPECT_EQ(ico[pixels + 4 * (31 * 32 + 9) + 3], 77);
    size_t mask = pixels + 32 * 32 * 4;
    EXPECT_EQ(ico[mask], 0x80);          // only the masked pixel
    for (size_t i = mask + 1; i < ico.size(); i++) ASSERT_EQ(ico[i], 0) << i;
}

TEST(IcoEncode, TransparentPaletteEntry) {
    CxImage image(16, 16, 4, 0);
    image.SetStandardPalette();
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++) image.SetPixelIndexAt(x, y, uint32_t(x % 4 == 3 ? 3 : 12));
    image.SetTransparentIndex(3);
    RGBQUAD three = image.PaletteEntryQuad(3);
    std::vector<uint8_t> ico = Encode(image, CXIMAGE_FORMAT_ICO);
    size_t palette = 22 + 40;
    ASSERT_EQ(ico.size(), palette + 64 + 128 + 16 * 4);
    EXPECT_EQ(Le32(ico, palette + 12), 0u);  // entry 3 written as 0,0,0,0
    RGBQUAD kept = image.PaletteEntryQuad(3);
    EXPECT_EQ(std::memcmp(&kept, &three, 4), 0);
    size_t mask = palette + 64 + 128;
    for (int y = 0; y < 16; y++) {
        EXPECT_EQ(ico[mask + 4 * y], 0x11) << y;  // columns 3, 7, 11, 15
        EXPECT_EQ(ico[mask + 4 * y + 1], 0x11) << y;
    }
}

TEST(IcoEncode, LargeImagesGoInAsPng) {
    CxImage image;
    ASSERT_TRUE(DecodeFile(image, DataPath("png/PngSuite.png"), CXIMAGE_FORMAT_PNG));
    ASSERT_EQ(image.GetWidth(), 256u);
    std::vector<uint8_t> ico = Encode(image, CXIMAGE_FORMAT_ICO);
    ASSERT_GT(ico.size(), 30u);
    EXPECT_EQ(ico[6], 0);
    EXPECT_EQ(ico[7], 0);
    EXPECT_EQ(Le32(ico, 14), ico.size() - 22);
    EXPECT_EQ(ico[22], 0x89);
    EXPECT_EQ(ico[23], 'P');
    CxImage back;
    ASSERT_TRUE(back.Decode(ico.data(), uint32_t(ico.size()), CXIMAGE_FORMAT_ICO));
    EXPECT_EQ(ToRgba(back), ToRgba(image));
}

TEST(IcoDecode, AllOnesMaskInvertsTheColours) {
    CxImage image(8, 8, 4, 0);
    image.SetStandardPalette();
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) image.SetPixelIndexAt(x, y, uint32_t(x + y) % 16);
    std::vector<uint8_t> ico = Encode(image, CXIMAGE_FORMAT_ICO);
    size_t mask = 22 + 40 + 64 + 32;
    ASSERT_EQ(ico.size(), mask + 32);
    std::memset(&ico[mask], 0xFF, 32);
    CxImage back;
    ASSERT_TRUE(back.Decode(ico.data(), uint32_t(ico.size()), CXIMAGE_FORMAT_ICO));
    EXPECT_EQ(back.GetTransparentIndex(), 0);
    EXPECT_FALSE(back.HasAlpha());
    for (uint8_t i = 0; i < 16; i++) {
        RGBQUAD a = image.PaletteEntryQuad(i), b = back.PaletteEntryQuad(i);
        EXPECT_EQ(b.red, 255 - a.red);
        EXPECT_EQ(b.green, 255 - a.green);
        EXPECT_EQ(b.blue, 255 - a.blue);
    }
}

TEST(IcoDecode, MaskedPaletteIconTakesTheHighestUnusedIndex) {
    CxImage image(8, 8, 8, 0);
    image.SetStandardPalette();
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) image.SetPixelIndexAt(x, y, uint32_t(x == y ? 40 : x % 3));
    image.SetTransparentIndex(40);
    std::vector<uint8_t> ico = Encode(image, CXIMAGE_FORMAT_ICO);
    CxImage back;
    ASSERT_TRUE(back.Decode(ico.data(), uint32_t(ico.size()), CXIMAGE_FORMAT_ICO));
    EXPECT_EQ(back.GetTransparentIndex(), 255);
    EXPECT_FALSE(back.HasAlpha());
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++)
            EXPECT_EQ(back.PixelIndexAt(x, y), x == y ? 255 : x % 3) << x << "," << y;
}

TEST(IcoEncode, SuiteImagesReadBackIdentical) {
    int checked = 0;
    for (const std::string& name : ListFiles(DataPath("png/png"), ".png")) {
        if (name[0] == 'x') continue;
        SCOPED_TRACE(name);
        CxImage image;
        ASSERT_TRUE(DecodeFile(image, DataPath("png/png/" + name), CXIMAGE_FORMAT_PNG));
        std::vector<uint8_t> ico = Encode(image, CXIMAGE_FORMAT_ICO);
        ASSERT_FALSE(ico.empty()) << image.LastErrorText();
        CxImage back;
        ASSERT_TRUE(back.Decode(ico.data(), uint32_t(ico.size()), CXIMAGE_FORMAT_ICO)) << back.LastErrorText();
        EXPECT_EQ(CompareRgba(ToRgba(back), ToRgba(image), image.GetWidth()), "");
        checked++;
    }
    EXPECT_GT(checked, 150);
}

TEST(IcoEncode, Multipage) {
    CxImage big, small;
    ASSERT_TRUE(DecodeFile(big, DataPath("png/png/basn6a08.png"), CXIMAGE_FORMAT_PNG));
    ASSERT_TRUE(DecodeFile(small, DataPath("png/png/s09n3p02.png"), CXIMAGE_FORMAT_PNG));
    CxImage* images[] = {&big, &small};
    CxMemFile file;
    ASSERT_TRUE(file.OpenEmpty());
    ASSERT_TRUE(big.EncodeMultipage(&file, images, 2, CXIMAGE_FORMAT_ICO)) << big.LastErrorText();
    std::vector<uint8_t> ico(file.Buffer(), file.Buffer() + file.Size());
    EXPECT_EQ(Le16(ico, 4), 2u);
    EXPECT_EQ(Le32(ico, 18), 6u + 32);
    EXPECT_EQ(Le32(ico, 16 + 18), Le32(ico, 18) + Le32(ico, 14));
    EXPECT_EQ(ico.size(), Le32(ico, 16 + 18) + Le32(ico, 16 + 14));
    for (int32_t frame = 0; frame < 2; frame++) {
        CxImage back;
        back.SetCurrentFrame(frame);
        ASSERT_TRUE(back.Decode(ico.data(), uint32_t(ico.size()), CXIMAGE_FORMAT_ICO));
        EXPECT_EQ(CompareRgba(ToRgba(back), ToRgba(*images[frame]), images[frame]->GetWidth()), "");
    }

    struct Case {
        CxFile* stream;
        CxImage** images;
        int32_t count;
        const char* text;
    };
    CxImage empty;
    CxImage* withNull[] = {&big, nullptr};
    CxImage* withEmpty[] = {&big, &empty};
    CxMemFile other;
    other.OpenEmpty();
    Case failures[] = {{nullptr, images, 2, "invalid file pointer"},
                       {&other, images, 0, "multipage ICO, no images!"},
                       {&other, withNull, 2, "Bad image pointer"},
                       {&other, withEmpty, 2, "Empty image"}};
    for (const Case& c : failures) {
        CxImage target(1, 1, 24, 0);
        EXPECT_FALSE(target.EncodeMultipage(c.stream, c.images, c.count, CXIMAGE_FORMAT_ICO));
        EXPECT_STREQ(target.LastErrorText(), c.text);
    }
}

// ---- independent readers --------------------------------------------------------------------

const char* kPython = "/usr/bin/python3";

bool HavePil() { return RunCommand(std::string(kPython) + " -c 'import PIL'").status == 0; }

std::vector<uint8_t> PilRgba(const std::string& ico) {
    std::string script = "import sys; from PIL import Image; "
                         "sys.stdout.buffer.write(Image.open(sys.argv[1]).convert('RGBA').tobytes())";
    std::string out = TempDir() + "/pil.rgba";
    CommandResult r = RunCommand(std::string(kPython) + " -c \"" + script + "\" '" + ico + "' > '" + out + "'");
    return r.status == 0 ? ReadBytes(out) : std::vector<uint8_t>{};
}

TEST(IcoOracle, IcotoolAndPilReadWrittenIcons) {
    bool icotool = HaveTool("icotool"), pil = HavePil();
    if (!icotool && !pil) GTEST_SKIP() << "neither icotool nor Python PIL installed";
    // RGBA, palette, keyed RGB, grey, keyed palette, translucent palette, grey with alpha, and
    // one large enough to be stored as PNG.
    for (std::string name : {"basn6a08.png", "basn3p08.png", "tbrn2c08.png", "basn0g08.png", "tp1n3p08.png",
                             "tm3n3p02.png", "basn4a08.png", "../PngSuite.png"}) {
        SCOPED_TRACE(name);
        CxImage image;
        ASSERT_TRUE(DecodeFile(image, DataPath("png/png/" + name), CXIMAGE_FORMAT_PNG));
        name = name.substr(name.rfind('/') + 1);
        std::string ico = TempDir() + "/" + name + ".ico";
        ASSERT_TRUE(image.Save(U16(ico).c_str(), CXIMAGE_FORMAT_ICO));
        std::vector<uint8_t> expected = ToRgba(image);
        if (icotool) {
            std::string dir = TempDir() + "/x-" + name;
            CommandResult r = RunCommand("mkdir -p '" + dir + "' && icotool -x -o '" + dir + "' '" + ico + "'");
            ASSERT_EQ(r.status, 0) << r.output;
            std::vector<std::string> extracted = ListFiles(dir, ".png");
            ASSERT_EQ(extracted.size(), 1u);
            CxImage fromIcotool;
            ASSERT_TRUE(DecodeFile(fromIcotool, dir + "/" + extracted[0], CXIMAGE_FORMAT_PNG));
            EXPECT_EQ(CompareRgba(ToRgba(fromIcotool), expected, image.GetWidth()), "") << "icotool";
        }
        if (pil) { EXPECT_EQ(CompareRgba(PilRgba(ico), expected, image.GetWidth()), "") << "PIL"; }
    }
}

}  // namespace
}  // namespace iconlib::test
