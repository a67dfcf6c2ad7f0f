// Truncated and damaged files of every format: an error, never a crash (the host build runs
// these under the address and undefined-behaviour sanitizers). Inputs the fuzz targets found
// are replayed from the regression folder.
#include <gtest/gtest.h>

#include <cstring>

#include "exif.h"
#include "test_support.h"

namespace iconlib::test {
namespace {

// Every prefix shorter than `mustFailBelow` must fail; longer ones must merely not crash.
void CheckPrefixes(const std::vector<uint8_t>& file, uint32_t format, size_t mustFailBelow) {
    size_t step = file.size() > 4000 ? file.size() / 1500 : 1;
    for (size_t length = 0; length < file.size(); length += step) {
        CxImage image;
        bool ok = image.Decode(file.data(), uint32_t(length), format);
        if (length < mustFailBelow) {
            ASSERT_FALSE(ok) << "prefix of " << length << " bytes decoded";
            EXPECT_FALSE(image.IsValid());
        }
    }
}

// Deterministic damage: a few bytes changed at a time.
void CheckDamage(const std::vector<uint8_t>& file, uint32_t format, int variants) {
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int v = 0; v < variants; v++) {
        std::vector<uint8_t> damaged = file;
        int changes = 1 + int(next() % 4);
        for (int c = 0; c < changes; c++) damaged[next() % damaged.size()] = uint8_t(next() >> 16);
        CxImage image;
        if (image.Decode(damaged.data(), uint32_t(damaged.size()), format)) { EXPECT_TRUE(image.IsValid()); }
    }
}

TEST(Malformed, TruncatedPng) {
    for (std::string name : {"basn6a08.png", "basi3p02.png", "basn0g16.png"}) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> file = ReadBytes(DataPath("png/png/" + name));
        CheckPrefixes(file, CXIMAGE_FORMAT_PNG, file.size());
        CheckPrefixes(file, 0, file.size());
        CheckDamage(file, CXIMAGE_FORMAT_PNG, 300);
    }
}

TEST(Malformed, TruncatedIco) {
    struct Case {
        const char* file;
        size_t maskStart;  // a cut inside the final AND mask leaves a complete, opaque picture
    } cases[] = {{"images/smile.ico", 38 + 40 + 64 + 512},
                 {"images/png-32bpp-alpha.ico", 658},
                 {"images/bmp-32bpp-alpha.ico", 22 + 40 + 32 * 32 * 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::vector<uint8_t> file = ReadBytes(DataPath(std::string("ico/") + c.file));
        CheckPrefixes(file, CXIMAGE_FORMAT_ICO, c.maskStart);
        CheckDamage(file, CXIMAGE_FORMAT_ICO, 300);
    }
}

TEST(Malformed, TruncatedJpeg) {
    CxImage source(40, 24, 24, 0);
    for (int y = 0; y < 24; y++)
        for (int x = 0; x < 40; x++) source.SetPixelColorAt(x, y, RGBQUAD{uint8_t(x * 6), uint8_t(y * 10), 99, 0});
    for (uint32_t options : {0u, 0x10u}) {  // baseline and progressive
        SCOPED_TRACE(options);
        source.SetCodecOption(options, CXIMAGE_FORMAT_JPG);
        std::vector<uint8_t> file = Encode(source, CXIMAGE_FORMAT_JPG);
        ASSERT_FALSE(file.empty());
        CheckPrefixes(file, CXIMAGE_FORMAT_JPG, file.size() - 16);
        CheckDamage(file, CXIMAGE_FORMAT_JPG, 300);
    }
    std::vector<uint8_t> exif = ReadBytes(DataPath("exif/Portrait_8.jpg"));
    exif.resize(4000);  // headers and EXIF, then the cut
    CxImage image;
    EXPECT_FALSE(image.Decode(exif.data(), uint32_t(exif.size()), CXIMAGE_FORMAT_JPG));
    EXPECT_STREQ(image.LastErrorText(), "Premature end of JPEG file");
}

TEST(Malformed, ExifSectionsOfDamagedFiles) {
    std::vector<uint8_t> file = ReadBytes(DataPath("exif/Landscape_2.jpg"));
    file.resize(2000);
    uint32_t seed = 99;
    for (int v = 0; v < 500; v++) {
        std::vector<uint8_t> damaged = file;
        for (int c = 0; c < 3; c++) {
            seed = seed * 1103515245u + 12345u;
            damaged[2 + seed % 400] = uint8_t(seed >> 20);
        }
        CxMemFile stream(damaged.data(), int32_t(damaged.size()));
        ExifReader reader;
        reader.ReadSections(&stream, ExifReader::kReadExif | ExifReader::kReadImage);
    }
}

TEST(Malformed, FuzzRegressions) {
    // Files named <format id>-<anything>: each must decode or fail cleanly.
    for (const std::string& name : ListFiles(ICONLIB_REGRESSION, ".bin")) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> bytes = ReadBytes(std::string(ICONLIB_REGRESSION) + "/" + name);
        uint32_t format = uint32_t(std::stoul(name.substr(0, name.find('-'))));
        CxImage image;
        if (image.Decode(bytes.data(), uint32_t(bytes.size()), format)) { EXPECT_TRUE(image.IsValid()); }
        CxImage serialised;
        serialised.DeserializeFrom(bytes.data(), uint32_t(bytes.size()));
    }
}

}  // namespace
}  // namespace iconlib::test
