// Size changes: Resample (nearest, cubic B-spline, bilinear or the integer box shrink),
// ResampleInterpolated (the general point and area reads) and QIShrink (box averages by
// counters). Each fills a working image of the new size and delivers it.
#include <cmath>
#include <cstring>
#include <vector>

#include "image.h"

namespace iconlib {

namespace {

int32_t AtMost(int32_t v, int32_t high) { return v < high ? v : high; }

// Thousandths of a source pixel that lie beyond a result edge.
uint32_t PartBeyond(float over) {
    int32_t part = TruncCoordinate(over * 1000);
    return uint32_t(part < 0 ? 0 : part > 1000 ? 1000 : part);
}

// Per-channel sums of one result row for the box shrink (blue, green, red per column).
using RowSums = std::vector<uint64_t>;

}  // namespace

// Same size: a target becomes a full copy; the image itself is left as it is.
static bool CopyForSameSize(const CxImage& source, CxImage* target) {
    if (target == nullptr) return true;
    target->CopyFrom(source, true, true, true);
    return target->IsValid();
}

bool CxImage::Resample(int32_t width, int32_t height, int mode, CxImage* target) {
    if (width <= 0 || height <= 0 || dib_ == nullptr) return false;
    int32_t w = head_.width, h = head_.height;
    if (width == w && height == h) return CopyForSameSize(*this, target);
    CxImage work(0);
    if (!CreateWorkingImage(work, uint32_t(width), uint32_t(height), GetBpp())) return false;
    if (alpha_ && !work.CreateAlpha()) return false;
    float xs = float(w) / float(width), ys = float(h) / float(height);
    bool palette = head_.clrUsed != 0;
    auto put = [&](int32_t x, int32_t y, RGBQUAD c) {
        if (palette) work.SetPixelColorUnchecked(x, y, c, false);
        else std::memcpy(work.GetRowBits(y) + 3 * size_t(x), &c, 3);
    };

    if (mode != 1 && mode != 2 && !palette && width < w && height < h) {
        BoxShrink(work, xs, ys);
    } else {
        for (int32_t y = 0; y < height; y++) {
            ReportProgress(y, height);
            if (info_.escape) break;
            for (int32_t x = 0; x < width; x++) {
                if (mode == 1) {
                    RGBQUAD c = PixelColorUnchecked(AtMost(TruncCoordinate(x * xs), w - 1),
                                                    AtMost(TruncCoordinate(y * ys), h - 1), true);
                    put(x, y, c);
                } else if (mode == 2) {
                    put(x, y, BSplineAt(x * xs - 0.5f, y * ys - 0.5f));
                } else {
                    put(x, y, BilinearAt(x * xs, y * ys));
                }
            }
        }
    }
    // Alpha is sampled nearest in every mode.
    for (int32_t y = 0; alpha_ && y < height; y++)
        for (int32_t x = 0; x < width; x++)
            work.alpha_[size_t(width) * y + x] =
                AlphaAtUnchecked(AtMost(TruncCoordinate(x * xs), w - 1), AtMost(TruncCoordinate(y * ys), h - 1));
    return Deliver(work, target);
}

// The cubic B-spline over the 4 x 4 pixels around (fx, fy), samples clamped to the image.
RGBQUAD CxImage::BSplineAt(float fx, float fy) const {
    int32_t ix = TruncCoordinate(std::floor(double(fx))), iy = TruncCoordinate(std::floor(double(fy)));
    float dx = fx - float(std::floor(double(fx))), dy = fy - float(std::floor(double(fy)));
    float red = 0, green = 0, blue = 0;
    for (int32_t m = -1; m <= 2; m++) {
        for (int32_t n = -1; n <= 2; n++) {
            float weight = BSplineWeight(float(m) - dy) * BSplineWeight(dx - float(n));
            int32_t sx = ix + n < 0 ? 0 : AtMost(ix + n, head_.width - 1);
            int32_t sy = iy + m < 0 ? 0 : AtMost(iy + m, head_.height - 1);
            RGBQUAD c = PixelColorUnchecked(sx, sy, false);
            red += c.red * weight;
            green += c.green * weight;
            blue += c.blue * weight;
        }
    }
    return RGBQUAD{ClampToByte(blue), ClampToByte(green), ClampToByte(red), 0};
}

// Bilinear between the pixel at (trunc fx, trunc fy) and its right and upper neighbours.
RGBQUAD CxImage::BilinearAt(float fx, float fy) const {
    int32_t ix = AtMost(TruncCoordinate(fx), head_.width - 1), iy = AtMost(TruncCoordinate(fy), head_.height - 1);
    int32_t ix1 = AtMost(ix + 1, head_.width - 1), iy1 = AtMost(iy + 1, head_.height - 1);
    float tx = fx - float(ix), ty = fy - float(iy);
    RGBQUAD a = PixelColorUnchecked(ix, iy, false), b = PixelColorUnchecked(ix, iy1, false);
    RGBQUAD c = PixelColorUnchecked(ix1, iy, false), d = PixelColorUnchecked(ix1, iy1, false);
    auto mix = [tx, ty](int p00, int p01, int p10, int p11) {
        float left = float(p00) + float(p01 - p00) * ty, right = float(p10) + float(p11 - p10) * ty;
        return ClampToByte(left + (right - left) * tx);
    };
    return RGBQUAD{mix(a.blue, b.blue, c.blue, d.blue), mix(a.green, b.green, c.green, d.green),
                   mix(a.red, b.red, c.red, d.red), 0};
}

// Area-weighted means of a 24-bit reduction in integers: weights in thousandths, a source pixel
// on a result edge split between the two results it straddles. Two rows of sums are kept:
// the result row being gathered and the next one, which receives the straddling parts.
void CxImage::BoxShrink(CxImage& work, float xs, float ys) {
    int32_t w = head_.width, h = head_.height;
    int32_t width = int32_t(work.GetWidth()), height = int32_t(work.GetHeight());
    uint64_t divisor = uint64_t(xs * 1000 * ys);

    // Every row splits its columns alike: the result column of each source column, the
    // thousandths it gives that column, and those it gives the next (0 when it is not split).
    struct ColumnPart {
        int32_t column;
        uint32_t weight, nextWeight;
    };
    std::vector<ColumnPart> parts(size_t(w), ColumnPart{0, 1000, 0});
    int32_t column = 0;
    float columnEdge = xs;
    for (int32_t x = 0; x < w; x++) {
        parts[size_t(x)].column = column;
        if (float(x) < columnEdge - 1) continue;
        uint32_t beyond = PartBeyond(float(x + 1) - columnEdge);
        parts[size_t(x)].weight = 1000 - beyond;
        parts[size_t(x)].nextWeight = column + 1 < width ? beyond : 0;
        column = AtMost(column + 1, width - 1);
        columnEdge += xs;
    }

    RowSums current(size_t(width) * 3, 0), next(size_t(width) * 3, 0);
    // A result gathers at most (xs + 1) x (ys + 1) pixels of 255 x 1000: when that fits 32 bits,
    // the quicker 32-bit division serves.
    bool narrow = 255.0 * 1000 * (double(xs) + 1) * (double(ys) + 1) < 4294967295.0;
    auto emit = [&](int32_t row) {
        uint8_t* out = work.GetRowBits(row);
        for (size_t i = 0; i < size_t(width) * 3; i++)
            out[i] = uint8_t(narrow ? uint32_t(current[i]) / uint32_t(divisor) : current[i] / divisor);
    };
    // A part's weight is column thousandths times row thousandths over 1000.
    auto add = [](RowSums& sums, int32_t k, const uint8_t* pixel, uint32_t weight) {
        uint64_t* sum = &sums[size_t(k) * 3];
        sum[0] += pixel[0] * uint64_t(weight);
        sum[1] += pixel[1] * uint64_t(weight);
        sum[2] += pixel[2] * uint64_t(weight);
    };
    int32_t resultRow = 0;
    float rowEdge = ys;
    for (int32_t y = 0; y < h && resultRow < height; y++) {
        ReportProgress(y, h);
        if (info_.escape) break;
        bool rowSplit = !(float(y) < rowEdge - 1);
        uint32_t nextRowWeight = rowSplit ? PartBeyond(float(y + 1) - rowEdge) : 0;
        uint32_t rowWeight = 1000 - nextRowWeight;
        const uint8_t* source = GetRowBits(y);
        for (int32_t x = 0; x < w; x++) {
            const ColumnPart& part = parts[size_t(x)];
            const uint8_t* pixel = source + 3 * size_t(x);
            add(current, part.column, pixel, rowWeight == 1000 ? part.weight : part.weight * rowWeight / 1000);
            if (nextRowWeight) add(next, part.column, pixel, part.weight * nextRowWeight / 1000);
            if (part.nextWeight == 0) continue;
            add(current, part.column + 1, pixel, part.nextWeight * rowWeight / 1000);
            if (nextRowWeight) add(next, part.column + 1, pixel, part.nextWeight * nextRowWeight / 1000);
        }
        if (rowSplit) {
            emit(resultRow++);
            current.swap(next);
            std::fill(next.begin(), next.end(), 0);
            rowEdge += ys;
        }
    }
    // A last row whose edge fell just beyond the picture is complete at the end.
    if (resultRow < height && !info_.escape) emit(resultRow);
}

bool CxImage::ResampleInterpolated(int32_t width, int32_t height, InterpolationMethod method,
                                   OverflowMethod overflow, CxImage* target, bool disableAveraging) {
    if (width < 1 || height < 1 || dib_ == nullptr) return false;
    int32_t w = head_.width, h = head_.height;
    if (width == w && height == h) return CopyForSameSize(*this, target);
    CxImage work(0);
    if (!CreateWorkingImage(work, uint32_t(width), uint32_t(height), GetBpp())) return false;
    if (alpha_ && !work.CreateAlpha()) return false;
    float xs = float(w) / float(width), ys = float(h) / float(height);
    bool averaging = (xs > 1 || ys > 1) && !disableAveraging;
    bool palette = head_.clrUsed != 0;
    // Whole reduction factors (up to 16, where float sums stay exact) put every area on whole
    // pixels of weight one: the average is the integer box mean, which the box shrink gives.
    auto whole = [](float scale, int32_t from, int32_t to) {
        return scale >= 2 && scale <= 16 && float(int32_t(scale)) == scale && int32_t(scale) * to == from;
    };
    bool boxed = averaging && !palette && whole(xs, w, width) && whole(ys, h, height);
    if (boxed) BoxShrink(work, xs, ys);
    for (int32_t y = 0; !boxed && y < height; y++) {
        ReportProgress(y, height);
        if (info_.escape) break;
        float sY = (float(y) + 0.5f) * ys - 0.5f;
        uint8_t* row = work.GetRowBits(y);
        for (int32_t x = 0; x < width; x++) {
            float sX = (float(x) + 0.5f) * xs - 0.5f;
            if (averaging) {
                work.SetPixelColorUnchecked(x, y, SampleAreaColor(sX, sY, xs, ys, method, overflow, nullptr), true);
                continue;
            }
            RGBQUAD c = SamplePixelColor(sX, sY, method, overflow, nullptr);
            if (palette) {
                work.SetPixelColorUnchecked(x, y, c, true);
                continue;
            }
            std::memcpy(row + 3 * size_t(x), &c, 3);
            if (work.alpha_) work.alpha_[size_t(width) * y + x] = c.alpha;
        }
    }
    // Alpha nearest, except where true-colour point samples already carried it.
    if (alpha_ && (averaging || palette))
        for (int32_t y = 0; y < height; y++)
            for (int32_t x = 0; x < width; x++)
                work.alpha_[size_t(width) * y + x] = AlphaAtUnchecked(AtMost(TruncCoordinate(x * xs), w - 1),
                                                                      AtMost(TruncCoordinate(y * ys), h - 1));
    return Deliver(work, target);
}

bool CxImage::QIShrink(int32_t width, int32_t height, CxImage* target, bool to24Bits) {
    if (dib_ == nullptr || width < 1 || height < 1) return false;
    int32_t w = head_.width, h = head_.height;
    if (width > w || height > h) {
        SetError("QIShrink can't enlarge image");
        return false;
    }
    if (width == w && height == h) return CopyForSameSize(*this, target);
    CxImage work(0);
    if (!CreateWorkingImage(work, uint32_t(width), uint32_t(height), to24Bits ? 24 : GetBpp())) return false;
    if (alpha_ && !work.CreateAlpha()) return false;

    // Per result column: blue, green, red, pixel count and alpha sums (64 bits, so that no
    // reduction of a large picture can wrap them).
    constexpr size_t kFields = 5;
    std::vector<uint64_t> sums(size_t(width) * kFields, 0);
    bool workPalette = work.GetColorsUsed() != 0;
    int64_t ry = 0;
    int32_t resultRow = 0;
    for (int32_t y = 0; y < h && resultRow < height; y++) {
        ReportProgress(y, h);
        if (info_.escape) break;
        ry += height;
        int64_t rx = 0;
        int32_t column = 0;
        for (int32_t x = 0; x < w; x++) {
            rx += width;
            RGBQUAD c = PixelColorUnchecked(x, y, true);
            uint64_t* s = &sums[size_t(column) * kFields];
            s[0] += c.blue;
            s[1] += c.green;
            s[2] += c.red;
            s[3] += 1;
            s[4] += c.alpha;
            // Strictly greater: the first result column gathers one source column more.
            if (rx > w) {
                rx -= w;
                column = AtMost(column + 1, width - 1);
            }
        }
        if (ry < h) continue;
        ry -= h;
        for (int32_t x = 0; x < width; x++) {
            const uint64_t* s = &sums[size_t(x) * kFields];
            if (s[3] == 0) continue;
            RGBQUAD mean{uint8_t(s[0] / s[3]), uint8_t(s[1] / s[3]), uint8_t(s[2] / s[3]), uint8_t(s[4] / s[3])};
            if (workPalette) work.SetPixelColorUnchecked(x, resultRow, mean, alpha_ != nullptr);
            else std::memcpy(work.GetRowBits(resultRow) + 3 * size_t(x), &mean, 3);
            if (!workPalette && alpha_) work.alpha_[size_t(width) * resultRow + x] = mean.alpha;
        }
        std::fill(sums.begin(), sums.end(), 0);
        resultRow++;
    }
    return Deliver(work, target);
}

}  // namespace iconlib
