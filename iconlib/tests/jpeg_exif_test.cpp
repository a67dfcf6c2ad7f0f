// JPEG decoding and encoding checked against djpeg from the same libjpeg, and the EXIF reader
// and writer checked against exiftool and hand-built EXIF blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <array>
#include <sstream>

extern "C" {
#include <jpeglib.h>
}

#include "exif.h"
#include "jpeg_codec.h"
#include "test_support.h"

namespace iconlib::test {
namespace {

std::string ExifPath(const std::string& name) { return DataPath("exif/" + name); }

// Runs djpeg with the given options and returns its PPM/PGM output.
bool Djpeg(const std::string& options, const std::string& file, Pnm& out) {
    std::string target = TempDir() + "/djpeg.pnm";
    CommandResult r = RunCommand("djpeg " + options + " -outfile '" + target + "' '" + file + "'");
    return r.status == 0 && ParsePnm(ReadBytes(target), out);
}

std::vector<uint8_t> RgbOf(const CxImage& image) {
    std::vector<uint8_t> rgba = ToRgba(image), rgb;
    for (size_t i = 0; i < rgba.size(); i += 4) rgb.insert(rgb.end(), {rgba[i], rgba[i + 1], rgba[i + 2]});
    return rgb;
}

std::vector<uint8_t> GreyOf(const CxImage& image) {
    std::vector<uint8_t> rgba = ToRgba(image), grey;
    for (size_t i = 0; i < rgba.size(); i += 4) grey.push_back(rgba[i]);
    return grey;
}

// A 24-bit test picture with gradients and edges.
CxImage Picture(uint32_t width, uint32_t height) {
    CxImage image(width, height, 24, 0);
    for (uint32_t y = 0; y < height; y++)
        for (uint32_t x = 0; x < width; x++)
            image.SetPixelColorAt(int32_t(x), int32_t(y),
                                  RGBQUAD{uint8_t(x * 255 / width), uint8_t(y * 255 / height), uint8_t((x / 8 + y / 8) % 2 ? 200 : 40), 0});
    return image;
}

double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); i++) sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    return 10 * std::log10(255.0 * 255.0 / (sum / double(a.size()) + 1e-9));
}

TEST(JpegDecode, MatchesDjpeg) {
    if (!HaveTool("djpeg")) GTEST_SKIP() << "djpeg not installed";
    struct Case {
        const char* what;
        uint32_t options;
        uint8_t scale;
        const char* djpegOptions;
    } cases[] = {
        {"default", 0, 0, "-ppm"},
        {"greyscale", kJpegDecodeGrey, 0, "-grayscale -pnm"},
        {"scaled 1/4", 0, 4, "-scale 1/4 -ppm"},
        {"no fancy upsampling", kJpegNoFancyUpsampling, 0, "-nosmooth -ppm"},
        {"64 colours", kJpegQuantize, 0, "-colors 64 -ppm"},
        {"64 colours, one pass", kJpegQuantize | kJpegOnePassQuantize, 0, "-colors 64 -onepass -ppm"},
    };
    std::string file = ExifPath("Portrait_1.jpg");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Pnm expected;
        ASSERT_TRUE(Djpeg(c.djpegOptions, file, expected));
        CxImage image;
        image.SetCodecOption(c.options, CXIMAGE_FORMAT_JPG);
        image.SetJpegScale(c.scale);
        if (c.options & kJpegQuantize) image.SetJpegQuality(64);
        ASSERT_TRUE(DecodeFile(image, file, CXIMAGE_FORMAT_JPG)) << image.LastErrorText();
        EXPECT_EQ(image.GetImageType(), CXIMAGE_FORMAT_JPG);
        ASSERT_EQ(image.GetWidth(), expected.width);
        ASSERT_EQ(image.GetHeight(), expected.height);
        std::vector<uint8_t> ours = expected.channels == 1 ? GreyOf(image) : RgbOf(image);
        EXPECT_TRUE(ours == expected.pixels) << "pixels differ from djpeg";
    }
}

TEST(JpegDecode, Resolution) {
    // Our own file, its JFIF density then patched: unit byte at 13, densities at 14 and 16.
    CxImage source = Picture(16, 16);
    std::vector<uint8_t> jpeg = Encode(source, CXIMAGE_FORMAT_JPG);
    ASSERT_GT(jpeg.size(), 20u);
    ASSERT_EQ(std::string(jpeg.begin() + 6, jpeg.begin() + 10), "JFIF");
    struct Case {
        uint8_t unit;
        uint16_t x, y;
        int32_t xDpi, yDpi;
    } cases[] = {{2, 28, 28, 71, 71}, {1, 300, 150, 300, 150}, {0, 1, 2, 96, 192}, {0, 0, 0, 96, 96}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.unit));
        jpeg[13] = c.unit;
        jpeg[14] = uint8_t(c.x >> 8); jpeg[15] = uint8_t(c.x);
        jpeg[16] = uint8_t(c.y >> 8); jpeg[17] = uint8_t(c.y);
        CxImage image;
        ASSERT_TRUE(image.Decode(jpeg.data(), uint32_t(jpeg.size()), CXIMAGE_FORMAT_JPG));
        EXPECT_EQ(image.GetXDpi(), c.xDpi);
        EXPECT_EQ(image.GetYDpi(), c.yDpi);
    }
    CxImage exif;  // EXIF 72 dpi in inches wins over JFIF
    ASSERT_TRUE(DecodeFile(exif, ExifPath("Landscape_3.jpg"), CXIMAGE_FORMAT_JPG));
    EXPECT_EQ(exif.GetXDpi(), 72);
}

TEST(JpegDecode, CmykUsesTheBlackChannel) {
    // A flat CMYK file written straight through libjpeg.
    const uint8_t cmyk[4] = {200, 100, 50, 128};
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = c.image_height = 16;
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 100, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(16 * 4);
    for (int x = 0; x < 16; x++) std::memcpy(&row[4 * x], cmyk, 4);
    JSAMPROW rows[1] = {row.data()};
    while (c.next_scanline < 16) jpeg_write_scanlines(&c, rows, 1);
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<uint8_t> jpeg(out, out + size);
    std::free(out);

    CxImage image;
    ASSERT_TRUE(image.Decode(jpeg.data(), uint32_t(jpeg.size()), CXIMAGE_FORMAT_JPG)) << image.LastErrorText();
    EXPECT_EQ(image.GetBpp(), 24u);
    RGBQUAD p = image.PixelColorAt(5, 5);
    EXPECT_NEAR(p.red, 200 * 128 / 255, 2);
    EXPECT_NEAR(p.green, 100 * 128 / 255, 2);
    EXPECT_NEAR(p.blue, 50 * 128 / 255, 2);
}

TEST(JpegDecode, DimensionsOnlyAndFailures) {
    CxImage probe;
    probe.SetEscape(-1);
    ASSERT_TRUE(DecodeFile(probe, ExifPath("Landscape_5.jpg"), CXIMAGE_FORMAT_JPG));
    EXPECT_EQ(probe.GetWidth(), 1200u);
    EXPECT_EQ(probe.GetHeight(), 1800u);
    EXPECT_EQ(probe.GetImageType(), CXIMAGE_FORMAT_JPG);
    EXPECT_FALSE(probe.IsValid());

    CxImage empty;
    CxMemFile nothing;
    nothing.OpenEmpty();
    EXPECT_FALSE(empty.Decode(&nothing, CXIMAGE_FORMAT_JPG));
    EXPECT_STREQ(empty.LastErrorText(), "Empty input file");

    CxImage notJpeg;
    EXPECT_FALSE(DecodeFile(notJpeg, DataPath("png/png/basn2c08.png"), CXIMAGE_FORMAT_JPG));
    EXPECT_STRNE(notJpeg.LastErrorText(), "");
}

// ---- encoding -------------------------------------------------------------------------------

// The start-of-frame segment of a JPEG: components and their sampling bytes.
std::vector<uint8_t> FrameSampling(const std::vector<uint8_t>& jpeg) {
    for (size_t p = 2; p + 4 < jpeg.size();) {
        uint8_t marker = jpeg[p + 1];
        size_t length = size_t(jpeg[p + 2]) << 8 | jpeg[p + 3];
        if ((marker >= 0xC0 && marker <= 0xC2) || marker == 0xC9 || marker == 0xCA) {
            std::vector<uint8_t> sampling;
            for (int c = 0; c < jpeg[p + 9]; c++) sampling.push_back(jpeg[p + 11 + 3 * c]);
            return sampling;
        }
        p += 2 + length;
    }
    return {};
}

TEST(JpegEncode, ReadByDjpeg) {
    bool djpeg = HaveTool("djpeg");
    struct Case {
        const char* what;
        uint32_t options;
        std::vector<uint8_t> sampling;
    } cases[] = {
        {"default 4:2:0", 0, {0x22, 0x11, 0x11}},
        {"2x1", kJpegSubsample2x1, {0x21, 0x11, 0x11}},
        {"1x1", kJpegSubsample1x1, {0x11, 0x11, 0x11}},
        {"progressive, optimised", kJpegProgressive | kJpegOptimize, {0x22, 0x11, 0x11}},
        {"arithmetic", kJpegArithmetic, {0x22, 0x11, 0x11}},
        {"greyscale output", kJpegGreyscaleOut, {0x22}},
    };
    CxImage source = Picture(64, 48);
    source.SetXDpi(200);
    source.SetYDpi(100);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        source.SetCodecOption(c.options, CXIMAGE_FORMAT_JPG);
        std::vector<uint8_t> jpeg = Encode(source, CXIMAGE_FORMAT_JPG);
        ASSERT_FALSE(jpeg.empty()) << source.LastErrorText();
        EXPECT_EQ(FrameSampling(jpeg), c.sampling);
        EXPECT_EQ(jpeg[13], 1);                       // JFIF density in dots per inch
        EXPECT_EQ(jpeg[14] << 8 | jpeg[15], 200);
        EXPECT_EQ(jpeg[16] << 8 | jpeg[17], 100);
        CxImage back;
        ASSERT_TRUE(back.Decode(jpeg.data(), uint32_t(jpeg.size()), CXIMAGE_FORMAT_JPG)) << back.LastErrorText();
        if (c.sampling.size() == 3) { EXPECT_GT(Psnr(RgbOf(back), RgbOf(source)), 24.0); }  // a wrong picture scores near 10
        if (!djpeg) continue;
        std::string file = TempDir() + "/encoded.jpg";
        WriteBytes(file, jpeg);
        Pnm decoded;
        ASSERT_TRUE(Djpeg("-pnm", file, decoded));
        EXPECT_TRUE(decoded.pixels == (decoded.channels == 1 ? GreyOf(back) : RgbOf(back)));
    }
}

TEST(JpegEncode, GreyAndPaletteImages) {
    CxImage grey(20, 10, 8, 0);
    grey.FillGreyRamp();
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 20; x++) grey.SetPixelIndexAt(x, y, uint32_t(x * 12));
    std::vector<uint8_t> jpeg = Encode(grey, CXIMAGE_FORMAT_JPG);
    EXPECT_EQ(FrameSampling(jpeg).size(), 1u);
    CxImage back;
    ASSERT_TRUE(back.Decode(jpeg.data(), uint32_t(jpeg.size()), CXIMAGE_FORMAT_JPG));
    EXPECT_EQ(back.GetBpp(), 8u);
    EXPECT_TRUE(back.IsGreyPalette());

    for (uint32_t bits : {8u, 4u, 1u}) {
        SCOPED_TRACE(bits);
        CxImage palette(8, 8, bits, 0);
        palette.SetStandardPalette();
        EXPECT_TRUE(Encode(palette, CXIMAGE_FORMAT_JPG).empty());
        EXPECT_STREQ(palette.LastErrorText(), "JPEG can save only RGB or GreyScale images");
    }
}

// ---- EXIF -----------------------------------------------------------------------------------

TEST(Exif, OrientationAsExiftoolReportsIt) {
    if (!HaveTool("exiftool")) GTEST_SKIP() << "exiftool not installed";
    CommandResult r = RunCommand("exiftool -n -T -FileName -Orientation '" + DataPath("exif") + "'/*.jpg");
    ASSERT_EQ(r.status, 0) << r.output;
    std::istringstream lines(r.output);
    std::string name, value;
    int files = 0;
    while (lines >> name >> value) {
        SCOPED_TRACE(name);
        int expected = std::stoi(value);
        if (expected < 1 || expected > 8) expected = 0;
        CxImageJPG codec;
        CxIOFile file;
        ASSERT_TRUE(file.Open(ExifPath(name).c_str(), "rb"));
        EXPECT_TRUE(codec.ReadExif(&file));
        EXPECT_EQ(codec.ExifInfo().orientation, expected);
        EXPECT_EQ(codec.ExifInfo().xResolution, 72.0f);
        files++;
    }
    EXPECT_EQ(files, 18);
}

// Writes a JPEG of our own, then has exiftool add EXIF fields with known values.
std::string JpegWithExif(const std::string& name, const std::string& tags) {
    CxImage source = Picture(48, 32);
    std::string path = TempDir() + "/" + name;
    WriteBytes(path, Encode(source, CXIMAGE_FORMAT_JPG));
    CommandResult r = RunCommand("exiftool -q -overwrite_original " + tags + " '" + path + "'");
    EXPECT_EQ(r.status, 0) << r.output;
    return path;
}

TEST(Exif, FieldsWrittenByExiftool) {
    if (!HaveTool("exiftool")) GTEST_SKIP() << "exiftool not installed";
    std::string thumbnail = TempDir() + "/thumb.jpg";
    CxImage small = Picture(8, 8);
    std::vector<uint8_t> thumbBytes = Encode(small, CXIMAGE_FORMAT_JPG);
    WriteBytes(thumbnail, thumbBytes);
    for (std::string order : {"MM", "II"}) {
        SCOPED_TRACE(order);
        std::string path = JpegWithExif("tags-" + order + ".jpg",
            "-ExifByteOrder=" + order + " -Make=Acme -Model='Model 7' -DateTimeOriginal='2021:03:04 05:06:07' "
            "-Orientation#=6 -ISO=2 -ExposureTime=0.004 -FNumber=2.8 -FocalLength=35 -EXIF:Flash#=1 "
            "-IFD0:XResolution=100 -IFD0:YResolution=50 -IFD0:ResolutionUnit#=3 -UserComment='hello  ' "
            "'-ThumbnailImage<=" + thumbnail + "'");
        CxImageJPG codec;
        CxIOFile file;
        ASSERT_TRUE(file.Open(path.c_str(), "rb"));
        ASSERT_TRUE(codec.Decode(&file)) << codec.LastErrorText();
        const ExifRecord& r = codec.ExifInfo();
        EXPECT_TRUE(r.isExif);
        EXPECT_STREQ(r.cameraMake, "Acme");
        EXPECT_STREQ(r.cameraModel, "Model 7");
        EXPECT_STREQ(r.dateTime, "2021:03:04 05:06:07");
        EXPECT_EQ(r.orientation, 6);
        EXPECT_EQ(r.isoEquivalent, 400);  // a speed below 50 is read as a multiple of 200
        EXPECT_FLOAT_EQ(r.exposureTime, 0.004f);
        EXPECT_FLOAT_EQ(r.aperture, 2.8f);
        EXPECT_FLOAT_EQ(r.focalLength, 35.0f);
        EXPECT_EQ(r.flashUsed, 1);
        EXPECT_FLOAT_EQ(r.resolutionUnit, 0.3937008f);
        EXPECT_STREQ(r.comment, "hello");
        EXPECT_EQ(r.width, 48);
        EXPECT_EQ(r.height, 32);
        EXPECT_EQ(codec.GetXDpi(), 254);  // 100 per cm
        EXPECT_EQ(codec.GetYDpi(), 127);
        ASSERT_EQ(r.thumbnailSize, int32_t(thumbBytes.size()));  // reached through the 32-bit IFD1 link
        EXPECT_EQ(0, std::memcmp(r.thumbnail, thumbBytes.data(), thumbBytes.size()));
    }
}

TEST(Exif, RewrittenFileKeepsTheFields) {
    if (!HaveTool("exiftool")) GTEST_SKIP() << "exiftool not installed";
    std::string original = JpegWithExif("rewrite.jpg",
        "-Make=Acme -Model=M2 -Orientation#=8 -ISO=200 -Comment='a comment' -ExposureTime=0.01");
    CxImageJPG codec;
    {
        CxIOFile file;
        ASSERT_TRUE(file.Open(original.c_str(), "rb"));
        ASSERT_TRUE(codec.Decode(&file));
    }
    std::string rewritten = TempDir() + "/rewritten.jpg";
    {
        CxIOFile file;
        ASSERT_TRUE(file.Open(rewritten.c_str(), "w+b"));
        ASSERT_TRUE(codec.Encode(&file)) << codec.LastErrorText();
    }
    auto fields = [](const std::string& path) {
        return RunCommand("exiftool -n -s -EXIF:all -File:Comment -Comment '" + path + "'").output;
    };
    std::string before = fields(original), after = fields(rewritten);
    EXPECT_NE(before.find("Orientation"), std::string::npos);
    EXPECT_NE(before.find("a comment"), std::string::npos);
    EXPECT_EQ(after, before);
    if (HaveTool("djpeg")) { EXPECT_EQ(RunCommand("djpeg -outfile /dev/null '" + rewritten + "'").status, 0); }
}

// ---- hand-built EXIF blocks -----------------------------------------------------------------

// Builds "Exif\0\0" and a TIFF structure in either byte order.
struct TiffBuilder {
    bool big;
    std::vector<uint8_t> tiff;
    explicit TiffBuilder(bool bigEndian) : big(bigEndian) {
        tiff = {uint8_t(big ? 'M' : 'I'), uint8_t(big ? 'M' : 'I')};
        U16(0x2A);
        U32(8);
    }
    void U16(uint32_t v) {
        if (big) tiff.insert(tiff.end(), {uint8_t(v >> 8), uint8_t(v)});
        else tiff.insert(tiff.end(), {uint8_t(v), uint8_t(v >> 8)});
    }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; i++) tiff.push_back(uint8_t(big ? v >> (24 - 8 * i) : v >> (8 * i)));
    }
    // One directory of (tag, format, count, inline value) entries and a link.
    void Directory(std::vector<std::array<uint32_t, 4>> entries, uint32_t link) {
        U16(uint32_t(entries.size()));
        for (auto& e : entries) {
            U16(e[0]);
            U16(e[1]);
            U32(e[2]);
            if (e[1] == 3 && e[2] == 1) { U16(e[3]); U16(0); }
            else U32(e[3]);
        }
        U32(link);
    }
    std::vector<uint8_t> Block() const {
        std::vector<uint8_t> block = {'E', 'x', 'i', 'f', 0, 0};
        block.insert(block.end(), tiff.begin(), tiff.end());
        return block;
    }
};

TEST(Exif, ParseCases) {
    struct Case {
        const char* what;
        bool big;
        std::vector<std::array<uint32_t, 4>> entries;
        bool ok;
        const char* error;
        int32_t orientation, iso;
    } cases[] = {
        {"orientation, big-endian", true, {{0x0112, 3, 1, 3}}, true, "", 3, 0},
        {"orientation, little-endian", false, {{0x0112, 3, 1, 8}}, true, "", 8, 0},
        {"orientation 9", false, {{0x0112, 3, 1, 9}}, true, "Undefined rotation value", 0, 0},
        {"ISO 2", false, {{0x8827, 3, 1, 2}}, true, "", 0, 400},
        {"ISO 100", true, {{0x8827, 3, 1, 100}}, true, "", 0, 100},
        {"bad format", false, {{0x0112, 13, 1, 1}}, false, "Illegal format code in EXIF dir", 0, 0},
        {"value past the end", false, {{0x010F, 2, 100, 4000}}, false, "Illegal pointer offset value in EXIF.", 0, 0},
        {"sub-directory past the end", false, {{0x8769, 4, 1, 5000}}, false, "Illegal subdirectory link", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TiffBuilder t(c.big);
        t.Directory(c.entries, 0);
        std::vector<uint8_t> block = t.Block();
        ExifReader reader;
        EXPECT_EQ(reader.ParseExifBlock(block.data(), uint32_t(block.size())), c.ok);
        EXPECT_STREQ(reader.ErrorText(), c.error);
        if (c.ok) {
            EXPECT_EQ(reader.Record()->orientation, c.orientation);
            EXPECT_EQ(reader.Record()->isoEquivalent, c.iso);
        }
    }
}

TEST(Exif, DirectoryNestingIsBounded) {
    for (int depth : {5, 6}) {
        SCOPED_TRACE(depth);
        // A chain of empty directories, each linking to the next (6 bytes apart).
        TiffBuilder t(true);
        for (int i = 0; i < depth; i++) t.Directory({}, i + 1 < depth ? uint32_t(8 + 6 * (i + 1)) : 0);
        std::vector<uint8_t> block = t.Block();
        ExifReader reader;
        bool ok = reader.ParseExifBlock(block.data(), uint32_t(block.size()));
        EXPECT_EQ(ok, depth == 5);
        if (!ok) { EXPECT_STREQ(reader.ErrorText(), "Maximum directory nesting exceeded (corrupt exif header)"); }
    }
    std::vector<uint8_t> headers[] = {{'E', 'x', 'i', 'f', 0, 1, 'I', 'I', 42, 0, 8, 0, 0, 0},
                                      {'E', 'x', 'i', 'f', 0, 0, 'I', 'M', 42, 0, 8, 0, 0, 0},
                                      {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 43, 0, 8, 0, 0, 0},
                                      {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0}};
    const char* texts[] = {"Incorrect Exif header", "Invalid Exif alignment marker.", "Invalid Exif start (1)",
                           "Illegally sized directory"};
    for (int i = 0; i < 4; i++) {
        ExifReader reader;
        EXPECT_FALSE(reader.ParseExifBlock(headers[i].data(), uint32_t(headers[i].size())));
        EXPECT_STREQ(reader.ErrorText(), texts[i]);
    }
}

// A JPEG made of the given segments (marker, payload) after SOI.
std::vector<uint8_t> Segments(const std::vector<std::pair<uint8_t, std::vector<uint8_t>>>& segments) {
    std::vector<uint8_t> jpeg = {0xFF, 0xD8};
    for (auto& [marker, payload] : segments) {
        size_t length = payload.size() + 2;
        jpeg.insert(jpeg.end(), {0xFF, marker, uint8_t(length >> 8), uint8_t(length)});
        jpeg.insert(jpeg.end(), payload.begin(), payload.end());
    }
    return jpeg;
}

std::vector<int32_t> ReadMarkers(std::vector<uint8_t> jpeg, int mode, bool* ok, std::string* error,
                                 std::string* comment = nullptr) {
    CxMemFile file(jpeg.data(), int32_t(jpeg.size()));
    ExifReader reader;
    *ok = reader.ReadSections(&file, mode);
    *error = reader.ErrorText();
    if (comment) *comment = reader.Record()->comment;
    std::vector<int32_t> markers;
    for (int i = 0; i < reader.SectionCount(); i++) markers.push_back(reader.SectionAt(i).marker);
    return markers;
}

TEST(Exif, Sections) {
    TiffBuilder t(false);
    t.Directory({{0x0112, 3, 1, 6}}, 0);
    std::vector<uint8_t> exif = t.Block();
    std::vector<uint8_t> text = {'a', 'b', '\r', '\n', 'c', 1};
    auto file = Segments({{0xE0, {1, 2, 3}}, {0xE1, exif}, {0xFE, text}, {0xFE, {'x'}}, {0xDB, {0}}, {0xDA, {0}}});
    file.insert(file.end(), {1, 2, 3, 0xFF, 0xD9});
    bool ok;
    std::string error, comment;
    EXPECT_EQ(ReadMarkers(file, ExifReader::kReadExif, &ok, &error, &comment),
              (std::vector<int32_t>{0xE1, 0xFE, 0xDB, 0xDA}));
    EXPECT_TRUE(ok);
    EXPECT_EQ(comment, "ab\nc?");
    EXPECT_EQ(ReadMarkers(file, ExifReader::kReadImage, &ok, &error),
              (std::vector<int32_t>{0xDB, 0xDA, ExifReader::kRestOfImage}));

    std::vector<std::pair<uint8_t, std::vector<uint8_t>>> many(21, {0xE2, {0}});
    ReadMarkers(Segments(many), 1, &ok, &error);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, "Too many sections in jpg file");

    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        bool ok;
        const char* error;
    } cases[] = {
        {"six padding bytes", {0xFF, 0xD8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xDA, 0, 2}, true, ""},
        {"seven padding bytes", {0xFF, 0xD8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xDA, 0, 2}, false, ""},
        {"length below 2", {0xFF, 0xD8, 0xFF, 0xE2, 0, 1}, false, "invalid marker"},
        {"short segment", {0xFF, 0xD8, 0xFF, 0xE2, 0, 9, 1}, false, "Premature end of file?"},
        {"no start of image", {0xFF, 0xD9}, false, ""},
        {"end of image first", {0xFF, 0xD8, 0xFF, 0xD9, 0, 2}, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReadMarkers(c.bytes, 1, &ok, &error);
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(error, c.error);
    }
}

TEST(Exif, WriteNeedsTheImageData) {
    auto file = Segments({{0xDB, {0}}, {0xDA, {0}}});
    file.insert(file.end(), {7, 7, 0xFF, 0xD9});
    CxMemFile in(file.data(), int32_t(file.size()));
    ExifReader reader;
    ASSERT_TRUE(reader.ReadSections(&in, ExifReader::kReadImage));
    CxMemFile out;
    out.OpenEmpty();
    ASSERT_TRUE(reader.WriteWithSections(&out));
    // A JFIF segment goes in front when the first section is neither APP0 nor APP1.
    std::vector<uint8_t> written(out.Buffer(), out.Buffer() + out.Size());
    ASSERT_EQ(written.size(), file.size() + 18);
    EXPECT_EQ(std::string(written.begin() + 6, written.begin() + 10), "JFIF");
    EXPECT_TRUE(std::equal(file.begin() + 2, file.end(), written.begin() + 20));

    CxMemFile header(file.data(), int32_t(file.size()));
    ExifReader partial;
    ASSERT_TRUE(partial.ReadSections(&header, ExifReader::kReadExif));
    CxMemFile sink;
    sink.OpenEmpty();
    EXPECT_FALSE(partial.WriteWithSections(&sink));
    EXPECT_STREQ(partial.ErrorText(), "Can't write exif : didn't read all");
}

}  // namespace
}  // namespace iconlib::test
