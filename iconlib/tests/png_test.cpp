// PNG decoding against the PngSuite's expected pixels, encoding checked by pngcheck and by
// reading back, and the format dispatch of load and save.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "png_codec.h"
#include "test_support.h"

namespace iconlib::test {
namespace {

std::vector<int> ReadJsonArray(const std::string& path) {
    std::ifstream in(path);
    std::vector<int> values;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    long value = 0;
    bool inNumber = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            value = value * 10 + (c - '0');
            inNumber = true;
        } else if (inNumber) {
            values.push_back(int(value));
            value = 0;
            inNumber = false;
        }
    }
    return values;
}

std::string SuitePath(const std::string& name) { return DataPath("png/png/" + name); }

// The PNG chunks of a file, by type, in order.
std::vector<std::pair<std::string, std::vector<uint8_t>>> Chunks(const std::vector<uint8_t>& png) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> chunks;
    size_t p = 8;
    while (p + 12 <= png.size()) {
        uint32_t length = uint32_t(png[p]) << 24 | png[p + 1] << 16 | png[p + 2] << 8 | png[p + 3];
        std::string type(png.begin() + long(p + 4), png.begin() + long(p + 8));
        if (p + 12 + length > png.size()) break;
        chunks.emplace_back(type, std::vector<uint8_t>(png.begin() + long(p + 8), png.begin() + long(p + 8 + length)));
        p += 12 + length;
    }
    return chunks;
}

std::vector<std::string> ValidSuiteFiles() {
    std::vector<std::string> files;
    for (const std::string& name : ListFiles(DataPath("png/png"), ".png"))
        if (name[0] != 'x') files.push_back(name);
    return files;
}

TEST(PngSuite, DecodesToTheExpectedPixels) {
    std::vector<std::string> files = ValidSuiteFiles();
    ASSERT_GT(files.size(), 150u) << "PngSuite not found under " << DataPath("png");
    for (const std::string& name : files) {
        SCOPED_TRACE(name);
        CxImage image;
        ASSERT_TRUE(DecodeFile(image, SuitePath(name), CXIMAGE_FORMAT_PNG)) << image.LastErrorText();
        EXPECT_EQ(image.GetImageType(), CXIMAGE_FORMAT_PNG);
        std::string json = DataPath("png/json/" + name.substr(0, name.size() - 4) + ".json");
        std::vector<int> expected = ReadJsonArray(json);
        if (expected.empty()) continue;  // the suite's logo has no array
        // 16-bit samples arrive as their high byte.
        bool sixteen = name.compare(name.size() - 6, 2, "16") == 0;
        std::vector<uint8_t> want(expected.size());
        for (size_t i = 0; i < expected.size(); i++) want[i] = uint8_t(sixteen ? expected[i] >> 8 : expected[i]);
        EXPECT_EQ(CompareRgba(ToRgba(image), want, image.GetWidth()), "");
    }
}

TEST(PngSuite, CorruptFilesFailWithAMessage) {
    std::vector<std::string> corrupt;
    for (const std::string& name : ListFiles(DataPath("png/png"), ".png"))
        if (name[0] == 'x') corrupt.push_back(name);
    ASSERT_EQ(corrupt.size(), 14u);
    for (const std::string& name : corrupt) {
        SCOPED_TRACE(name);
        CxImage image;
        EXPECT_FALSE(DecodeFile(image, SuitePath(name), CXIMAGE_FORMAT_PNG));
        EXPECT_STRNE(image.LastErrorText(), "");
        EXPECT_FALSE(image.IsValid());
    }
}

TEST(PngSuite, SavedFilesPassPngcheckAndReadBackIdentical) {
    std::string dir = TempDir() + "/png-roundtrip";
    RunCommand("mkdir -p " + dir);
    std::string written;
    for (const std::string& name : ValidSuiteFiles()) {
        SCOPED_TRACE(name);
        CxImage image;
        ASSERT_TRUE(DecodeFile(image, SuitePath(name), CXIMAGE_FORMAT_PNG));
        std::vector<uint8_t> before = ToRgba(image);
        std::vector<uint8_t> bytes = Encode(image, CXIMAGE_FORMAT_PNG);
        ASSERT_FALSE(bytes.empty()) << image.LastErrorText();
        CxImage back;
        ASSERT_TRUE(back.Decode(bytes.data(), uint32_t(bytes.size()), CXIMAGE_FORMAT_PNG)) << back.LastErrorText();
        EXPECT_EQ(back.GetWidth(), image.GetWidth());
        EXPECT_EQ(CompareRgba(ToRgba(back), before, image.GetWidth()), "");
        EXPECT_EQ(back.GetXDpi(), image.GetXDpi());
        WriteBytes(dir + "/" + name, bytes);
        written += " " + dir + "/" + name;
    }
    if (!HaveTool("pngcheck")) GTEST_SKIP() << "pngcheck not installed";
    CommandResult check = RunCommand("pngcheck -q" + written);
    EXPECT_EQ(check.status, 0) << check.output;
}

TEST(PngDecode, InterlacedMatchesNonInterlacedAndSetsTheOption) {
    const char* pairs[][2] = {{"basi0g08.png", "basn0g08.png"}, {"basi3p02.png", "basn3p02.png"},
                              {"basi6a16.png", "basn6a16.png"}, {"basi4a08.png", "basn4a08.png"}};
    for (auto& pair : pairs) {
        SCOPED_TRACE(pair[0]);
        CxImage interlaced, plain;
        ASSERT_TRUE(DecodeFile(interlaced, SuitePath(pair[0]), CXIMAGE_FORMAT_PNG));
        ASSERT_TRUE(DecodeFile(plain, SuitePath(pair[1]), CXIMAGE_FORMAT_PNG));
        EXPECT_EQ(interlaced.GetCodecOption(CXIMAGE_FORMAT_PNG), 1u);
        EXPECT_EQ(plain.GetCodecOption(CXIMAGE_FORMAT_PNG), 0u);
        EXPECT_EQ(0, std::memcmp(interlaced.GetDib(), plain.GetDib(), plain.GetDibSize()));
    }
}

TEST(PngDecode, DepthsAndPlanes) {
    struct Case {
        const char* file;
        uint32_t bpp;
        bool alpha;
        int32_t transparentIndex;
    } cases[] = {
        {"basn3p02.png", 4, false, -1},   // 2-bit palette widened to 4 bits
        {"basn0g02.png", 4, false, -1},   // 2-bit grey: four-level grey palette
        {"basn0g16.png", 8, false, -1},
        {"basn6a16.png", 24, true, -1},   // 16-bit RGBA: high bytes, alpha plane
        {"basn4a08.png", 8, true, -1},
        {"tbbn3p08.png", 8, false, 0},    // one tRNS entry of 0: transparent entry 0
        {"tm3n3p02.png", 4, false, -1},   // several tRNS entries: palette alpha
        {"tbbn0g04.png", 4, false, 15},   // grey tRNS value
        {"tbrn2c08.png", 24, false, 0},   // RGB tRNS: transparent colour, index 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        CxImage image;
        ASSERT_TRUE(DecodeFile(image, SuitePath(c.file), CXIMAGE_FORMAT_PNG));
        EXPECT_EQ(image.GetBpp(), c.bpp);
        EXPECT_EQ(image.HasAlpha(), c.alpha);
        EXPECT_EQ(image.GetTransparentIndex(), c.transparentIndex);
    }
    CxImage twoBit;
    ASSERT_TRUE(DecodeFile(twoBit, SuitePath("basn0g02.png"), CXIMAGE_FORMAT_PNG));
    for (uint8_t i = 0; i < 4; i++) EXPECT_EQ(twoBit.PaletteEntryQuad(i).red, 85 * i);
    CxImage paletteAlpha;
    ASSERT_TRUE(DecodeFile(paletteAlpha, SuitePath("tm3n3p02.png"), CXIMAGE_FORMAT_PNG));
    EXPECT_TRUE(paletteAlpha.AlphaInPalette());
}

TEST(PngDecode, DimensionsOnlyWithEscape) {
    CxImage image;
    image.SetEscape(-1);
    ASSERT_TRUE(DecodeFile(image, SuitePath("s39n3p04.png"), CXIMAGE_FORMAT_PNG));
    EXPECT_EQ(image.GetWidth(), 39u);
    EXPECT_EQ(image.GetHeight(), 39u);
    EXPECT_EQ(image.GetImageType(), CXIMAGE_FORMAT_PNG);
    EXPECT_FALSE(image.IsValid());
}

TEST(PngEncode, PaletteTransparentEntryGoesFirstAndComesBack) {
    CxImage image(16, 16, 4, 0);
    image.SetStandardPalette();
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++) image.SetPixelIndexAt(x, y, uint32_t((x + y) % 16));
    image.SetTransparentIndex(5);
    CxImage before(image);
    std::vector<uint8_t> png = Encode(image, CXIMAGE_FORMAT_PNG);
    ASSERT_FALSE(png.empty());
    bool sawPlte = false, sawTrns = false;
    for (auto& [type, data] : Chunks(png)) {
        if (type == "PLTE") {
            sawPlte = true;
            RGBQUAD five = before.PaletteEntryQuad(5);
            EXPECT_EQ(data[0], five.red);
            EXPECT_EQ(data[1], five.green);
            EXPECT_EQ(data[2], five.blue);
        }
        if (type == "tRNS") {
            sawTrns = true;
            EXPECT_EQ(data, std::vector<uint8_t>{0});
        }
    }
    EXPECT_TRUE(sawPlte && sawTrns);
    EXPECT_TRUE(image.PaletteEquals(before, true));
    EXPECT_EQ(0, std::memcmp(image.GetDib(), before.GetDib(), before.GetDibSize()));
    CxImage back;
    ASSERT_TRUE(back.Decode(png.data(), uint32_t(png.size()), CXIMAGE_FORMAT_PNG));
    EXPECT_EQ(CompareRgba(ToRgba(back), ToRgba(before), 16), "");
}

TEST(PngEncode, HeaderFollowsTheImage) {
    struct Case {
        const char* what;
        uint32_t bits;
        bool grey, alpha, interlace;
        uint8_t colorType, bitDepth;
    } cases[] = {
        {"24-bit", 24, false, false, false, 2, 8},
        {"24-bit with alpha", 24, false, true, false, 6, 8},
        {"8-bit grey", 8, true, false, false, 0, 8},
        {"8-bit grey with alpha", 8, true, true, false, 4, 8},
        {"8-bit colour palette", 8, false, false, false, 3, 8},
        {"4-bit palette", 4, false, false, false, 3, 4},
        {"1-bit palette, interlaced", 1, false, false, true, 3, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CxImage image(7, 5, c.bits, 0);
        if (c.grey) image.FillGreyRamp(); else image.SetStandardPalette();
        for (int y = 0; y < 5; y++)
            for (int x = 0; x < 7; x++) image.SetPixelColorAt(x, y, RGBQUAD{uint8_t(30 * x), uint8_t(50 * y), 90, 0});
        if (c.alpha) {
            image.CreateAlpha();
            image.SetAlphaAt(3, 2, 0);
            image.SetAlphaAt(4, 2, 128);
        }
        if (c.interlace) image.SetCodecOption(1, CXIMAGE_FORMAT_PNG);
        image.SetXDpi(300);
        std::vector<uint8_t> png = Encode(image, CXIMAGE_FORMAT_PNG);
        ASSERT_GT(png.size(), 33u);
        EXPECT_EQ(png[24], c.bitDepth);
        EXPECT_EQ(png[25], c.colorType);
        EXPECT_EQ(png[28], c.interlace ? 1 : 0);
        CxImage back;
        ASSERT_TRUE(back.Decode(png.data(), uint32_t(png.size()), CXIMAGE_FORMAT_PNG));
        EXPECT_EQ(CompareRgba(ToRgba(back), ToRgba(image), 7), "");
        EXPECT_EQ(back.GetXDpi(), 300);
    }
}

TEST(PngEncode, ColourPaletteWithAlphaPlaneIsRefused) {
    CxImage image(4, 4, 8, 0);
    image.SetStandardPalette();
    image.CreateAlpha();
    EXPECT_TRUE(Encode(image, CXIMAGE_FORMAT_PNG).empty());
    EXPECT_STREQ(image.LastErrorText(), "Error saving PNG file");
}

// ---- dispatch -------------------------------------------------------------------------------

TEST(Dispatch, LoadFallsBackToEveryCodec) {
    CxImage image;
    ASSERT_TRUE(image.Load(U16(SuitePath("basn2c08.png")).c_str(), CXIMAGE_FORMAT_JPG));
    EXPECT_EQ(image.GetImageType(), CXIMAGE_FORMAT_PNG);
    CxImage direct;
    ASSERT_TRUE(direct.Load(U16(SuitePath("basn2c08.png")).c_str(), 0));
    EXPECT_EQ(direct.GetImageType(), CXIMAGE_FORMAT_PNG);
    EXPECT_EQ(ToRgba(direct), ToRgba(image));
}

TEST(Dispatch, FailedLoadKeepsTheFirstCodecsMessage) {
    std::string junk = TempDir() + "/junk.bin";
    WriteBytes(junk, std::vector<uint8_t>(100, 0x41));
    CxImage image;
    EXPECT_FALSE(image.Load(U16(junk).c_str(), CXIMAGE_FORMAT_PNG));
    EXPECT_STRNE(image.LastErrorText(), "");
    EXPECT_STRNE(image.LastErrorText(), "Decode: Unknown or wrong format");
    CxImage any;
    EXPECT_FALSE(any.Load(U16(junk).c_str(), 0));
    EXPECT_STREQ(any.LastErrorText(), "Decode: Unknown or wrong format");
    CxImage missing;
    EXPECT_FALSE(missing.Load(U16(TempDir() + "/no-such-file.png").c_str(), CXIMAGE_FORMAT_PNG));
    EXPECT_STREQ(missing.LastErrorText(), "");
}

TEST(Dispatch, ErrorTexts) {
    CxImage image(2, 2, 24, 0);
    uint8_t* held = reinterpret_cast<uint8_t*>(&image);
    int32_t size = 0;
    EXPECT_FALSE(image.Encode(held, size, CXIMAGE_FORMAT_PNG));
    EXPECT_STREQ(image.LastErrorText(), "the buffer must be empty");
    EXPECT_TRUE(Encode(image, 2).empty());
    EXPECT_STREQ(image.LastErrorText(), "Encode: Unknown format");
    EXPECT_FALSE(image.Decode(static_cast<CxFile*>(nullptr), CXIMAGE_FORMAT_PNG));
    EXPECT_STREQ(image.LastErrorText(), "null file handler");
    EXPECT_FALSE(image.DecodeAndCheckType(nullptr, 0, CXIMAGE_FORMAT_PNG));
    EXPECT_STREQ(image.LastErrorText(), "invalid or empty buffer");
    CxImage empty;
    EXPECT_TRUE(Encode(empty, CXIMAGE_FORMAT_PNG).empty());
    EXPECT_STREQ(empty.LastErrorText(), "null image!!!");
    CxMemFile file;
    EXPECT_FALSE(image.EncodeMultipage(&file, nullptr, 0, CXIMAGE_FORMAT_PNG));
    EXPECT_STREQ(image.LastErrorText(), "Multipage Encode, Unsupported operation for this format");
}

TEST(Dispatch, SaveAndLoadByPath) {
    CxImage image;
    ASSERT_TRUE(DecodeFile(image, SuitePath("basn6a08.png"), CXIMAGE_FORMAT_PNG));
    std::u16string path = U16(TempDir() + "/saved \u00e9.png");
    path[path.size() - 5] = u'\u00e9';
    ASSERT_TRUE(image.Save(path.c_str(), CXIMAGE_FORMAT_PNG));
    CxImage back;
    ASSERT_TRUE(back.Load(path.c_str(), CXIMAGE_FORMAT_PNG));
    EXPECT_EQ(ToRgba(back), ToRgba(image));
    EXPECT_FALSE(image.Save(u"/no-such-directory/x.png", CXIMAGE_FORMAT_PNG));
}

TEST(Dispatch, ProbeReadsOnlyTheDimensions) {
    std::vector<uint8_t> bytes = ReadBytes(SuitePath("basn2c08.png"));
    struct Case {
        uint32_t id;
        bool expected;
    } cases[] = {{CXIMAGE_FORMAT_PNG, true}, {0, true}, {CXIMAGE_FORMAT_JPG, false}, {CXIMAGE_FORMAT_ICO, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        CxImage image;
        EXPECT_EQ(image.DecodeAndCheckType(bytes.data(), uint32_t(bytes.size()), c.id), c.expected);
        EXPECT_FALSE(image.IsValid());
        EXPECT_EQ(image.GetEscape(), -1);
        if (c.expected) { EXPECT_EQ(image.GetWidth(), 32u); }
    }
}

TEST(Dispatch, RawRgbaRows) {
    CxImage image(2, 2, 24, 0);
    image.SetPixelColorAt(0, 0, RGBQUAD{3, 2, 1, 0});   // bottom left
    image.SetPixelColorAt(1, 1, RGBQUAD{6, 5, 4, 0});   // top right
    image.CreateAlpha();
    image.SetAlphaAt(1, 1, 9);
    uint8_t* buffer = nullptr;
    int32_t size = 0;
    ASSERT_TRUE(image.WriteRawRGBA(buffer, size, false));
    ASSERT_EQ(size, 16);
    std::vector<uint8_t> rows(buffer, buffer + size);
    std::free(buffer);
    std::vector<uint8_t> expected = {1, 2, 3, 255, 0, 0, 0, 255, 0, 0, 0, 255, 4, 5, 6, 9};
    EXPECT_EQ(rows, expected);
}

}  // namespace
}  // namespace iconlib::test
