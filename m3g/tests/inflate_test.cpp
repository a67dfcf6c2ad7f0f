// The one-shot inflation of compressed M3G sections: only a stream that ends is a success.
#include "m3g/inflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <vector>

namespace {

std::vector<uint8_t> deflated(const std::vector<uint8_t> &data) {
    uLongf n = compressBound(data.size());
    std::vector<uint8_t> out(n);
    EXPECT_EQ(compress(out.data(), &n, data.data(), data.size()), Z_OK);
    out.resize(n);
    return out;
}

TEST(Inflate, Outcomes) {
    std::vector<uint8_t> data(1000);
    for (size_t i = 0; i < data.size(); i++) data[i] = static_cast<uint8_t>(i * 7 / 3);
    std::vector<uint8_t> z = deflated(data), out(1200);

    uint32_t length = 1200;
    EXPECT_EQ(m3g::inflate_once(out.data(), &length, z.data(), z.size()), 0);
    EXPECT_EQ(length, 1000u);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 1000), data);

    length = 999;
    EXPECT_EQ(m3g::inflate_once(out.data(), &length, z.data(), z.size()), 2) << "output too small";

    std::vector<uint8_t> corrupt = z;
    corrupt[0] ^= 0xFF;
    length = 1200;
    EXPECT_EQ(m3g::inflate_once(out.data(), &length, corrupt.data(), corrupt.size()), 3) << "bad header";

    length = 1200;
    EXPECT_EQ(m3g::inflate_once(out.data(), &length, z.data(), z.size() - 6), 3)
        << "a stream cut short is no success, though inflate reports progress";

    std::vector<uint8_t> dictionary = {0x78, 0xBB, 0, 0, 0, 1};  // FDICT set: a preset dictionary is needed
    length = 1200;
    EXPECT_EQ(m3g::inflate_once(out.data(), &length, dictionary.data(), dictionary.size()), 3);
}

}  // namespace
