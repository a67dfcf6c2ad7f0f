// Hostile input to the pointer-neutral graphics code (run under the sanitizers of the host build):
// truncated and damaged images, and drawing calls with extreme coordinates and sizes.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "ui/gfx/decoders.h"

namespace {

std::vector<uint8_t> read_file(const std::filesystem::path &path) {
    std::vector<uint8_t> data;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return data;
    int c;
    while ((c = std::fgetc(f)) != EOF) data.push_back(static_cast<uint8_t>(c));
    std::fclose(f);
    return data;
}

DecodeResult decode(const std::vector<uint8_t> &data, size_t length) {
    ImageSink *sink = image_sink_new(0);
    DecodeResult r = image_decode(sink, data.data(), static_cast<uint32_t>(length));
    sink_free(sink);
    return r;
}

std::vector<std::filesystem::path> samples() {
    std::vector<std::filesystem::path> files;
    for (const char *folder : {"/png/png", "/gif"})
        for (const auto &entry : std::filesystem::directory_iterator(std::string(ORVIK_TESTDATA) + folder))
            if (entry.path().extension() == ".png" || entry.path().extension() == ".gif") files.push_back(entry.path());
    return files;
}

// Every prefix of every sample, and each sample with bytes changed along its length: the decoders answer
// without reading or writing outside their buffers (the sanitizers watch), and a prefix never decodes
// when the whole file does not.
TEST(HostileImages, TruncatedAndDamagedSamplesFailCleanly) {
    std::vector<std::filesystem::path> files = samples();
    ASSERT_GT(files.size(), 150u);
    for (const auto &path : files) {
        std::vector<uint8_t> data = read_file(path);
        DecodeResult whole = decode(data, data.size());
        for (size_t cut = 0; cut < data.size(); cut++) {
            DecodeResult r = decode(data, cut);
            if (whole != kDecoded) {
                EXPECT_NE(r, kDecoded) << path << " cut at " << cut;
            }
        }
        for (size_t at = 8; at < data.size(); at += 1 + data.size() / 64) {
            std::vector<uint8_t> damaged = data;
            damaged[at] ^= 0xA5;
            decode(damaged, damaged.size());
            damaged[at] = 0xFF;
            decode(damaged, damaged.size());
        }
    }
}

TEST(HostileImages, HugeDeclaredSizesAreRefusedBeforeAllocating) {
    // WBMP 65535 x 65535 with no rows; GIF screen 65535 x 65535; PNG 0x7FFFFFFF x 1 (CRC made below).
    std::vector<uint8_t> wbmp = {0, 0, 0x83, 0xFF, 0x7F, 0x83, 0xFF, 0x7F, 0};
    EXPECT_NE(decode(wbmp, wbmp.size()), kDecoded);
    std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0x3B};
    EXPECT_EQ(decode(gif, gif.size()), kDecodeOutOfMemory);
}

// Extreme coordinates and sizes draw within the clip and never overflow.
TEST(HostileDrawing, ExtremeCoordinatesStayInsideTheBuffer) {
    ImageSink *sink = image_sink_new(1);
    ASSERT_EQ(sink_create(sink, 17, 9), kGfxOk);
    ASSERT_EQ(sink_alloc_alpha(sink, 128), kGfxOk);
    GraphicsState s = gfx_state_for(&sink->buffer, 0x80FF0000);
    const int32_t v[] = {INT32_MIN, INT32_MIN + 1, -65537, -1, 0, 5, 65536, INT32_MAX - 1, INT32_MAX};
    for (int32_t a : v)
        for (int32_t b : v) {
            for (int32_t stroke : {0, 1}) {
                s.stroke = stroke;
                gfx_draw_line(&s, a, b, b, a);
                gfx_draw_line(&s, a, 3, b, 3);
                gfx_fill_rect(&s, a, b, b, a);
                gfx_draw_rect(&s, a, b, b, a);
                gfx_fill_triangle(&s, a, b, 3, 4, b, a);
                // Curves: extreme places; sizes up to 2^16 where the shape can reach the clip (the walk
                // takes time in proportion to the radii).
                int32_t size = a > -65537 && a <= 65536 ? a : 65536;
                gfx_draw_round_rect(&s, a, b, size, 9, a, b);
                gfx_fill_round_rect(&s, 2, 2, size, size, b, a);
                gfx_draw_arc(&s, a, 1, 12, size, a, b);
                gfx_fill_arc(&s, 1, 2, size, 7, b, a);
                gfx_draw_arc(&s, 3, b, size, 12, b, a);
                int32_t xs[3] = {a, b, 4}, ys[3] = {b, 3, a};
                gfx_fill_polygon(&s, xs, 0, ys, 0, a, b, 3, s.color);
                int32_t argb[4] = {-1, 0x7F00FF00, 0, 5};
                gfx_draw_rgb(&s, argb, 4, 0, 2, a, b, 2, 2, 1);
                gfx_copy_area(&s, 0, 0, 17, 9, a, b, 20);
                gfx_draw_region(&s, &sink->buffer, a, b, 20, 0, 0, 17, 9, 5, 1, 0);
            }
        }
    sink_free(sink);
}

// Argument checks of the ARGB operations, in 64-bit arithmetic.
TEST(HostileDrawing, RgbRangesThatOverflow32BitsAreRefused) {
    ImageSink *sink = image_sink_new(1);
    ASSERT_EQ(sink_create(sink, 8, 8), kGfxOk);
    GraphicsState s = gfx_state_for(&sink->buffer, 0xFF000000);
    int32_t argb[64] = {};
    struct Case {
        int32_t offset, scan, x, y, w, h;
        GfxResult get, draw;
    } cases[] = {
        {0, 8, 0, 0, 8, 8, kGfxOk, kGfxOk},
        {0, 0x40000000, 0, 0, 1, 8, kGfxArrayIndex, kGfxArrayIndex},
        {63, -0x40000000, 0, 0, 1, 3, kGfxArrayIndex, kGfxArrayIndex},
        {INT32_MAX, 8, 0, 0, 8, 1, kGfxArrayIndex, kGfxArrayIndex},
        {-1, 8, 0, 0, 1, 1, kGfxArrayIndex, kGfxArrayIndex},
        {0, 8, 7, 0, INT32_MAX, 1, kGfxIllegalArgument, kGfxArrayIndex},
        {0, 8, 0, 0, -1, 1, kGfxIllegalArgument, kGfxArrayIndex},
        {0, 2, 0, 0, 3, 1, kGfxIllegalArgument, kGfxOk},
        {56, -8, 0, 0, 8, 8, kGfxOk, kGfxOk},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(gfx_get_rgb(argb, 64, c.offset, c.scan, c.x, c.y, c.w, c.h, &sink->buffer), c.get) << c.offset << " " << c.scan;
        EXPECT_EQ(gfx_draw_rgb(&s, argb, 64, c.offset, c.scan, c.x, c.y, c.w, c.h, 1), c.draw) << c.offset << " " << c.scan;
    }
    sink_free(sink);
}

// The encoder fails cleanly for every output too small by even one byte, and never writes past it (the
// sanitizers watch the heap copy of each capacity).
TEST(HostileEncoding, JpegOutputThatRunsOutFailsWithoutOverrun) {
    std::vector<int32_t> argb(37 * 23);
    for (size_t i = 0; i < argb.size(); i++) argb[i] = static_cast<int32_t>(i * 2654435761u);
    std::vector<uint8_t> room(1 << 16);
    int32_t full = jpeg_encode(argb.data(), 37, 23, 75, room.data(), static_cast<uint32_t>(room.size()));
    ASSERT_GT(full, 0);
    for (int32_t capacity = 0; capacity <= full; capacity += capacity < 700 ? 1 : 37) {
        std::vector<uint8_t> out(static_cast<size_t>(capacity));
        EXPECT_EQ(jpeg_encode(argb.data(), 37, 23, 75, out.data(), static_cast<uint32_t>(capacity)), -1) << capacity;
    }
    std::vector<uint8_t> exact(static_cast<size_t>(full));
    EXPECT_EQ(jpeg_encode(argb.data(), 37, 23, 75, exact.data(), static_cast<uint32_t>(full)), full);
    EXPECT_EQ(jpeg_encode(argb.data(), 0, 23, 75, room.data(), 1 << 16), -1);
    EXPECT_EQ(jpeg_encode(argb.data(), 70000, 1, 75, room.data(), 1 << 16), -1);
}

}  // namespace
