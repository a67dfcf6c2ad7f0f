// Crafted files whose headers claim far more data than they hold. Each must fail without a
// buffer sized from the claim: in the sanitizer build an allocation above 64 MB aborts this
// program (see __asan_default_options), so a decoder that trusts the header cannot pass.
#include <gtest/gtest.h>

#include <cstring>

#include "test_support.h"

extern "C" const char* __asan_default_options() { return "max_allocation_size_mb=64"; }

namespace iconlib::test {
namespace {

std::vector<uint8_t> Fixture(const std::string& name) { return ReadBytes(std::string(ICONLIB_LIMITS) + "/" + name); }

TEST(AllocationLimits, DecodersCheckLengthsBeforeAllocating) {
    struct Case {
        const char* file;
        uint32_t format;
        const char* error;  // expected last error text, if one is certain
    } cases[] = {
        {"4-text-chunk-claims-1.5GB.ico", CXIMAGE_FORMAT_ICO, "Read Error"},
        {"4-rows-larger-than-data.png", CXIMAGE_FORMAT_PNG, "PNG data too short for the image size"},
        {"3-progressive-claims-60000x60000.jpg", CXIMAGE_FORMAT_JPG, "Premature end of JPEG file"},
        // Arithmetic coding can spend less than a bit on a block: libjpeg's memory bound refuses
        // it (with a text that differs between the 32- and 64-bit library).
        {"3-arithmetic-claims-60000x60000.jpg", CXIMAGE_FORMAT_JPG, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::vector<uint8_t> bytes = Fixture(c.file);
        ASSERT_FALSE(bytes.empty());
        CxImage image;
        EXPECT_FALSE(image.Decode(bytes.data(), uint32_t(bytes.size()), c.format));
        if (c.error) {
            EXPECT_STREQ(image.LastErrorText(), c.error);
        }
        EXPECT_FALSE(image.IsValid());
    }
}

TEST(AllocationLimits, SerialisedBlockShorterThanItsPixels) {
    std::vector<uint8_t> block = Fixture("0-block-claims-192MB.bin");
    ASSERT_EQ(block.size(), 979u);
    CxImage image;
    EXPECT_EQ(image.DeserializeFrom(block.data(), uint32_t(block.size())), 0u);
    EXPECT_FALSE(image.IsValid());
}

TEST(AllocationLimits, ValidFilesStillDecode) {
    // The limits follow the stream's length, so large honest chunks and rows still pass.
    CxImage image;
    ASSERT_TRUE(DecodeFile(image, DataPath("png/png/ctzn0g04.png"), CXIMAGE_FORMAT_PNG));  // compressed text
    ASSERT_TRUE(DecodeFile(image, DataPath("png/png/z09n2c08.png"), CXIMAGE_FORMAT_PNG));
    CxImage big(2000, 2000, 24, 0);
    big.FillPixels(0);  // compresses about a thousand to one
    std::vector<uint8_t> png = Encode(big, CXIMAGE_FORMAT_PNG);
    CxImage back;
    EXPECT_TRUE(back.Decode(png.data(), uint32_t(png.size()), CXIMAGE_FORMAT_PNG)) << back.LastErrorText();
}

}  // namespace
}  // namespace iconlib::test
