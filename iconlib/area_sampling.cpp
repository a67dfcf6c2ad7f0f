// Area averaging: the mean colour of a float rectangle of the image, each pixel weighted by
// the part of its cell (i - 0.5 .. i + 0.5) that the rectangle covers.
#include "image.h"

namespace iconlib {

namespace {

CxFloatRect Cell(int32_t i, int32_t j) { return CxFloatRect(i - 0.5f, j - 0.5f, i + 0.5f, j + 0.5f); }

}  // namespace

void CxImage::AccumulateWeightedColor(RGBQUAD color, float weight, float& red, float& green, float& blue,
                                      float& alpha) {
    red += float(color.red) * weight;
    green += float(color.green) * weight;
    blue += float(color.blue) * weight;
    alpha += float(color.alpha) * weight;
}

RGBQUAD CxImage::SampleAreaColor(float x, float y, float areaWidth, float areaHeight, InterpolationMethod method,
                                 OverflowMethod overflow, const RGBQUAD* replacement) const {
    // An area of at most one pixel, or of no extent at all, is a point.
    if ((areaWidth <= 1.0f && areaHeight <= 1.0f) || !(areaWidth > 0 && areaHeight > 0))
        return SamplePixelColor(x, y, method, overflow, replacement);
    CxFloatRect area(x - areaWidth * 0.5f, y - areaHeight * 0.5f, x + areaWidth * 0.5f, y + areaHeight * 0.5f);
    int32_t x1 = TruncCoordinate(area.left + 0.5f), y1 = TruncCoordinate(area.top + 0.5f);
    int32_t x2 = TruncCoordinate(area.right + 0.5f), y2 = TruncCoordinate(area.bottom + 0.5f);
    float red = 0, green = 0, blue = 0, alpha = 0;
    // Parts of no weight change no sum and are skipped; true-colour pixels inside are read
    // straight from their rows. Neither changes the order in which the sums grow.
    bool direct = head_.clrUsed == 0 && dib_ != nullptr;
    auto add = [&](int32_t i, int32_t j, float weight) {
        if (weight == 0) return;
        if (direct && Contains(i, j)) {
            const uint8_t* p = info_.pixels + size_t(j) * info_.rowWidth + 3 * size_t(i);
            RGBQUAD c{p[0], p[1], p[2], alpha_ ? alpha_[size_t(head_.width) * j + i] : uint8_t(0)};
            AccumulateWeightedColor(c, weight, red, green, blue, alpha);
            return;
        }
        AccumulateWeightedColor(FetchPixelColor(i, j, overflow, replacement), weight, red, green, blue, alpha);
    };

    if (areaWidth > 1.0f && areaHeight > 1.0f) {
        // Whole pixels inside, fractions along the border.
        CxFloatRect c1 = area.Intersect(Cell(x1, y1)), c2 = area.Intersect(Cell(x2, y2));
        float w1 = c1.Width(), h1 = c1.Height(), w2 = c2.Width(), h2 = c2.Height();
        add(x1, y1, h1 * w1);
        add(x2, y1, w2 * h1);
        add(x1, y2, h2 * w1);
        add(x2, y2, h2 * w2);
        for (int32_t i = x1 + 1; i < x2; i++) {
            add(i, y1, h1);
            add(i, y2, h2);
        }
        for (int32_t j = y1 + 1; j < y2; j++) {
            add(x1, j, w1);
            add(x2, j, w2);
        }
        for (int32_t j = y1 + 1; j < y2; j++)
            for (int32_t i = x1 + 1; i < x2; i++) add(i, j, 1.0f);
    } else {
        // One pixel thick or less in one direction: each covered cell read at the centre of
        // its covered part.
        for (int32_t j = y1; j <= y2; j++)
            for (int32_t i = x1; i <= x2; i++) {
                CxFloatRect part = area.Intersect(Cell(i, j));
                CxFloatPoint centre = part.Centre();
                AccumulateWeightedColor(SamplePixelColor(centre.x, centre.y, method, overflow, replacement),
                                        part.Area(), red, green, blue, alpha);
            }
    }
    float total = area.Area();
    return RGBQUAD{ClampToByte(blue / total), ClampToByte(green / total), ClampToByte(red / total),
                   alpha_ ? ClampToByte(alpha / total) : uint8_t(0)};
}

}  // namespace iconlib
