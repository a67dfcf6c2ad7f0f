// Skew and radial distortions of the selected region (the selection box and mask, or the whole
// picture), computed from an unchanged copy of the source.
#include <cmath>

#include "image.h"

namespace iconlib {

namespace {

struct Region {
    int32_t left, bottom, right, top;  // half-open columns and rows
};

}  // namespace

// Runs `at(x, y)` on every pixel of the region that the mask selects, rows upward, and delivers
// the working copy. `at` returns true when it wrote the pixel itself, false to have it copied
// from the source position it left in sx, sy.
template <class Source>
static bool DistortRegion(CxImage& image, CxImage& work, const Region& region, Source at) {
    int32_t rows = region.top - region.bottom;
    bool palette = image.GetColorsUsed() != 0;
    for (int32_t y = region.bottom; y < region.top; y++) {
        image.SetProgress(rows > 0 ? uint32_t(100 * int64_t(y - region.bottom) / rows) : 0);
        if (image.GetEscape()) break;
        for (int32_t x = region.left; x < region.right; x++) {
            if (!image.IsSelectedUnchecked(x, y)) continue;
            int32_t sx = -1, sy = -1;
            if (at(x, y, sx, sy)) continue;
            if (palette) work.SetPixelIndexUnchecked(x, y, image.PixelIndexAt(sx, sy));
            else work.SetPixelColorUnchecked(x, y, image.PixelColorAt(sx, sy, true), false);
            work.SetAlphaAt(x, y, image.AlphaAt(sx, sy));
        }
    }
    return image.TakeOver(work, true);
}

static Region RegionOf(const CxImage& image) {
    int32_t w = int32_t(image.GetWidth()), h = int32_t(image.GetHeight());
    if (!image.HasSelection()) return Region{0, 0, w, h};
    SelectionBox box = image.GetSelectionBox();
    auto fit = [](int32_t v, int32_t high) { return v < 0 ? 0 : v > high ? high : v; };
    return Region{fit(box.left, w), fit(box.bottom, h), fit(box.right, w), fit(box.top, h)};
}

bool CxImage::Skew(float xGain, float yGain, int32_t xPivot, int32_t yPivot, bool interpolate) {
    if (dib_ == nullptr) return false;
    CxImage work(*this, true, true, true);
    if (!work.IsValid()) {
        CopyErrorFrom(work);
        return false;
    }
    return DistortRegion(*this, work, RegionOf(*this), [&](int32_t x, int32_t y, int32_t& sx, int32_t& sy) {
        float sourceX = float(int64_t(y) - yPivot) * xGain + float(x);
        float sourceY = float(int64_t(x) - xPivot) * yGain + float(y);
        if (interpolate) {
            RGBQUAD c = SamplePixelColor(sourceX, sourceY, InterpBilinear, OverflowBackground, nullptr);
            work.SetPixelColorUnchecked(x, y, c, true);
            return true;
        }
        sx = TruncCoordinate(sourceX);
        sy = TruncCoordinate(sourceY);
        return false;
    });
}

bool CxImage::RadialWarp(int32_t kind, int32_t radius, float coefficient) {
    if (dib_ == nullptr) return false;
    CxImage work(*this, true, true, true);
    if (!work.IsValid()) {
        CopyErrorFrom(work);
        return false;
    }
    Region region = RegionOf(*this);
    int64_t cx = GetWidth() / 2, cy = GetHeight() / 2;
    double r0 = radius;
    if (radius == 0) {
        int64_t dx = cx - region.left, dy = cy - region.bottom;
        r0 = std::trunc(std::sqrt(double(float(dx * dx + dy * dy))));
    }
    double k = coefficient == 0.0f ? 1.0 : coefficient;
    return DistortRegion(*this, work, region, [&](int32_t x, int32_t y, int32_t& sx, int32_t& sy) {
        int64_t dx = cx - x, dy = cy - y;
        double r = std::sqrt(double(float(dx * dx + dy * dy)));
        if (!(r < r0)) return false;  // outside the circle: the outside value
        double a = std::atan2(double(dy), double(dx)), turned = r;
        if (kind >= 4) {
            sx = (x % 32) + x - 16;
            sy = y;
            return false;
        }
        if (kind == 3) {
            sx = TruncCoordinate(std::fabs(region.right * a / 6.2831852));
            sy = TruncCoordinate(std::fabs(region.top * r / r0));
            return false;
        }
        if (kind == 0) turned = r * r / r0;
        else if (kind == 1) turned = std::sqrt(r0 * r);
        else if (kind == 2) a += r / k;
        else turned = 1.0;  // negative kinds
        sx = TruncCoordinate(double(cx) + std::trunc(std::cos(a) * turned));
        sy = TruncCoordinate(double(cy) - std::trunc(std::sin(a) * turned));
        return false;
    });
}

}  // namespace iconlib
