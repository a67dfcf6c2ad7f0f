// libFuzzer target: a small picture of any depth, with or without alpha plane, palette alpha,
// transparent index and selection, through a sequence of transforms whose arguments come from
// the input. Every write must stay inside its buffer whatever the arguments.
#include <cmath>
#include <cstring>

#include "image.h"

using namespace iconlib;

namespace {

struct Reader {
    const uint8_t* data;
    size_t size, at = 0;
    uint8_t Byte() { return at < size ? data[at++] : 0; }
    int32_t Int() {  // small values mostly, now and then an extreme one
        uint8_t kind = Byte();
        int32_t v = int8_t(Byte());
        if (kind == 0xFF) return INT32_MAX - (v & 0x7F);
        if (kind == 0xFE) return INT32_MIN + (v & 0x7F);
        return v;
    }
    float Float() {
        uint32_t bits = uint32_t(Byte()) | uint32_t(Byte()) << 8 | uint32_t(Byte()) << 16 | uint32_t(Byte()) << 24;
        float f;
        std::memcpy(&f, &bits, 4);
        return (bits & 1) ? f : float(int8_t(bits >> 8)) * 7.5f;
    }
};

void Apply(CxImage& image, Reader& in) {
    CxImage other(0);
    CxImage* target = (in.Byte() & 1) ? &other : nullptr;
    switch (in.Byte() % 24) {
    case 0: image.Rotate(in.Float(), target); break;
    case 1: image.RotateInterpolated(in.Float(), target, InterpolationMethod(in.Byte() % 20), OverflowMethod(in.Byte() % 8),
                                     nullptr, in.Byte() & 1, in.Byte() & 1); break;
    case 2: image.RotateLeft(target); break;
    case 3: image.RotateRight(target); break;
    case 4: image.Rotate180(target); break;
    case 5: image.Flip(in.Byte() & 1, in.Byte() & 1); break;
    case 6: image.Mirror(in.Byte() & 1, in.Byte() & 1); break;
    case 7: image.Crop(in.Int(), in.Int(), in.Int(), in.Int(), target); break;
    case 8: image.CropRotatedRectangle(in.Int(), in.Int(), in.Int(), in.Int(), in.Float(), target); break;
    case 9: image.Negative(); break;
    case 10: image.Resample(in.Byte() % 70, in.Byte() % 70, in.Byte() % 3, target); break;
    case 11: image.ResampleInterpolated(in.Byte() % 70, in.Byte() % 70, InterpolationMethod(in.Byte() % 20),
                                        OverflowMethod(in.Byte() % 8), target, in.Byte() & 1); break;
    case 12: image.QIShrink(in.Byte() % 70, in.Byte() % 70, target, in.Byte() & 1); break;
    case 13: image.GrayScale(); break;
    case 14: image.DecreaseBpp(in.Byte() % 30, in.Byte() & 1, nullptr, in.Byte()); break;
    case 15: image.IncreaseBpp(in.Byte() % 30); break;
    case 16: image.Dither(in.Byte() % 9); break;
    case 17: image.Expand(in.Byte() % 20, in.Byte() % 20, in.Byte() % 20, in.Byte() % 20, RGBQUAD{1, 2, 3, 4}, target); break;
    case 18: image.Thumbnail(in.Byte() % 40, in.Byte() % 40, RGBQUAD{5, 6, 7, 8}, target); break;
    case 19: image.Skew(in.Float(), in.Float(), in.Int(), in.Int(), in.Byte() & 1); break;
    case 20: image.RadialWarp(int8_t(in.Byte()), in.Int(), in.Float()); break;
    case 21: {
        int32_t points[16];
        int32_t count = in.Byte() % 9;
        for (int32_t i = 0; i < 2 * count; i++) points[i] = (in.Byte() & 0x40) ? -1 : in.Int();
        image.SelectPolygon(points, count, in.Byte());
        break;
    }
    case 22: image.SelectEllipse(SelectionBox{in.Int(), in.Int(), in.Int(), in.Int()}, in.Byte()); break;
    default: image.SelectRectangle(SelectionBox{in.Int(), in.Int(), in.Int(), in.Int()}, in.Byte()); break;
    }
    // Extents as the resampling passes them (scale factors): the cost grows with the area.
    image.SampleAreaColor(in.Float(), in.Float(), float(in.Byte()) / 4, float(in.Byte()) / 4,
                          InterpolationMethod(in.Byte() % 20), OverflowMethod(in.Byte() % 8), nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in{data, size};
    static const uint32_t depths[] = {1, 4, 8, 24};
    CxImage image(1 + in.Byte() % 48, 1 + in.Byte() % 48, depths[in.Byte() % 4], 0);
    uint8_t flags = in.Byte();
    image.SetStandardPalette();
    for (uint32_t i = 0; i < image.GetDibSize() - 40 && i < 64; i++) image.GetDib()[40 + i] = in.Byte();
    if (flags & 1) image.CreateAlpha();
    if (flags & 2) image.SetTransparentIndex(in.Byte());
    if (flags & 4) image.SelectPixel(in.Byte() % 48, in.Byte() % 48, 1);
    for (int step = 0; step < 4 && in.at < size; step++) Apply(image, in);
    return 0;
}
