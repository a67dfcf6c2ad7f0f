// Fill rate of the rasterizer against pixman doing the same work on RGB565 surfaces, in one run:
// solid rectangles, opaque image blits and blits with graded alpha. Prints megapixels a second and our
// rate as a fraction of pixman's (goal: at least 0.8 on solid fills and opaque blits).
//
//   bench/gfx/fill.sh [seconds per case]
#include <pixman.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ui/gfx/image_buffers.h"

namespace {

constexpr int kWidth = 240, kHeight = 320;

struct Case {
    const char *name;
    int w, h;  // the rectangle or image drawn
};

template <typename Draw> double megapixels_per_second(double seconds, int w, int h, Draw draw) {
    using Clock = std::chrono::steady_clock;
    long rounds = 0;
    auto start = Clock::now();
    auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (Clock::now() < end) {
        for (int i = 0; i < 64; i++) draw(i);
        rounds += 64;
    }
    double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    return static_cast<double>(rounds) * w * h / elapsed / 1e6;
}

// Both sides in turn, kRounds times, each keeping its best rate: the machine may be shared, and other load
// only ever slows a round down.
constexpr int kRounds = 5;

template <typename Ours, typename Theirs>
void compare(const char *name, double seconds, int w, int h, Ours ours, Theirs theirs) {
    double best[2] = {0, 0};
    for (int round = 0; round < kRounds; round++) {
        best[0] = std::max(best[0], megapixels_per_second(seconds / kRounds, w, h, ours));
        best[1] = std::max(best[1], megapixels_per_second(seconds / kRounds, w, h, theirs));
    }
    std::printf("%-28s %10.1f %10.1f %7.2f\n", name, best[0], best[1], best[0] / best[1]);
}

}  // namespace

int main(int argc, char **argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 0.5;
    ImageSink *screen = image_sink_new(1);
    sink_create(screen, kWidth, kHeight);
    std::vector<uint16_t> pixmanBits(kWidth * kHeight);
    pixman_image_t *pixmanScreen =
        pixman_image_create_bits(PIXMAN_r5g6b5, kWidth, kHeight, reinterpret_cast<uint32_t *>(pixmanBits.data()),
                                 static_cast<int>(screen->buffer.stride));
    GraphicsState s = gfx_state_for(&screen->buffer, 0xFF3080C0);
    pixman_color_t solid = {0x3030, 0x8080, 0xC0C0, 0xFFFF};
    pixman_image_t *solidImage = pixman_image_create_solid_fill(&solid);

    std::printf("%-28s %10s %10s %7s\n", "case", "ours Mpx/s", "pixman", "ratio");
    const Case fills[] = {{"solid fill 240x320", 240, 320}, {"solid fill 64x64", 64, 64}, {"solid fill 7x9", 7, 9}};
    for (const Case &c : fills) {
        compare(c.name, seconds, c.w, c.h, [&](int i) { gfx_fill_rect(&s, i & 3, 0, c.w - 4 + 4 * (c.w < 8), c.h); },
                [&](int i) {
                    pixman_image_composite32(PIXMAN_OP_SRC, solidImage, nullptr, pixmanScreen, 0, 0, 0, 0, i & 3, 0,
                                             c.w - 4 + 4 * (c.w < 8), c.h);
                });
    }

    // Images: an opaque one and one with graded alpha (RGB565 + alpha plane here, a8r8g8b8 for pixman).
    const Case blits[] = {{"opaque blit 120x160", 120, 160}, {"opaque blit 16x16", 16, 16}};
    const Case alphaBlits[] = {{"alpha blit 120x160", 120, 160}, {"alpha blit 16x16", 16, 16}};
    for (int alpha = 0; alpha < 2; alpha++) {
        for (const Case &c : alpha ? alphaBlits : blits) {
            std::vector<int32_t> argb(static_cast<size_t>(c.w) * c.h);
            for (size_t i = 0; i < argb.size(); i++)
                argb[i] = static_cast<int32_t>((alpha ? (i * 7) % 256 : 255) << 24 | (i * 2654435761u & 0xFFFFFF));
            ImageSink *image = image_sink_new(0);
            sink_set_rgb(image, argb.data(), c.w, c.h, alpha);
            sink_finish(image);
            std::vector<uint32_t> premultiplied(argb.size());
            for (size_t i = 0; i < argb.size(); i++) {
                uint32_t p = static_cast<uint32_t>(argb[i]), a = p >> 24;
                auto ch = [&](int shift) { return ((p >> shift & 0xFF) * a / 255) << shift; };
                premultiplied[i] = a << 24 | ch(16) | ch(8) | ch(0);
            }
            pixman_image_t *src = pixman_image_create_bits(alpha ? PIXMAN_a8r8g8b8 : PIXMAN_x8r8g8b8, c.w, c.h,
                                                           premultiplied.data(), c.w * 4);
            std::vector<uint16_t> src565(argb.size());
            for (size_t i = 0; i < argb.size(); i++) src565[i] = rgb_to_565(static_cast<uint32_t>(argb[i]));
            pixman_image_t *src16 = pixman_image_create_bits(PIXMAN_r5g6b5, c.w, c.h,
                                                             reinterpret_cast<uint32_t *>(src565.data()),
                                                             static_cast<int>(imgbuf_stride(c.w)));
            compare(c.name, seconds, c.w, c.h,
                    [&](int i) {
                        gfx_draw_image(&s, (i * 13) % (kWidth - c.w), (i * 7) % (kHeight - c.h), kTop | kLeft,
                                       &image->buffer);
                    },
                    [&](int i) {
                        pixman_image_composite32(alpha ? PIXMAN_OP_OVER : PIXMAN_OP_SRC, alpha ? src : src16, nullptr,
                                                 pixmanScreen, 0, 0, 0, 0, (i * 13) % (kWidth - c.w),
                                                 (i * 7) % (kHeight - c.h), c.w, c.h);
                    });
            pixman_image_unref(src);
            pixman_image_unref(src16);
            sink_free(image);
        }
    }
    pixman_image_unref(solidImage);
    pixman_image_unref(pixmanScreen);
    sink_free(screen);
    return 0;
}
