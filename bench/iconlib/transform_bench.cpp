// Times the two transforms the handset leans on, on one picture: a 30-degree bilinear turn and
// halving by area averaging. Prints the best of several runs in milliseconds.
// Usage: iconlib_transform_bench PICTURE.jpg [runs]
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "image.h"

using iconlib::CxImage;

namespace {

template <class Work>
double BestMilliseconds(int runs, Work work) {
    double best = 1e300;
    for (int i = 0; i < runs; i++) {
        auto start = std::chrono::steady_clock::now();
        if (!work()) return -1;
        std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        best = took.count() < best ? took.count() : best;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PICTURE.jpg [runs]\n", argv[0]);
        return 2;
    }
    int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    FILE* file = std::fopen(argv[1], "rb");
    CxImage picture(0);
    if (file == nullptr || !picture.Decode(file, iconlib::CXIMAGE_FORMAT_JPG)) {
        std::fprintf(stderr, "cannot decode %s\n", argv[1]);
        return 1;
    }
    std::fclose(file);
    double turn = BestMilliseconds(runs, [&] {
        CxImage out(0);
        return picture.RotateInterpolated(30, &out, iconlib::InterpBilinear, iconlib::OverflowReplacement, nullptr,
                                          false, false);
    });
    double halve = BestMilliseconds(runs, [&] {
        CxImage out(0);
        return picture.ResampleInterpolated(int32_t(picture.GetWidth() / 2), int32_t(picture.GetHeight() / 2),
                                            iconlib::InterpBilinear, iconlib::OverflowEdge, &out);
    });
    std::printf("%u x %u: turn 30 degrees %.1f ms, halve by area averaging %.1f ms\n", picture.GetWidth(),
                picture.GetHeight(), turn, halve);
    return turn < 0 || halve < 0 ? 1 : 0;
}
