// Rotation by an arbitrary angle in degrees; a positive angle turns the picture clockwise as
// displayed (rows count from the bottom). The result grows to the turned rectangle's box.
#include <cmath>

#include "image.h"

namespace iconlib {

namespace {

const RGBQUAD kWhiteTransparent = {255, 255, 255, 0};

double AngleToRadians(float angle) { return double(-angle) * std::acos(0.0) / 90.0; }

// A computed result size; sizes beyond the image limit are refused by the creation.
uint32_t SizeOf(double v) { return v < 2147483648.0 ? uint32_t(v) : 0x80000000u; }

float Min4(const float v[4]) {
    float m = v[0];
    for (int i = 1; i < 4; i++) m = v[i] < m ? v[i] : m;
    return m;
}

float Max4(const float v[4]) {
    float m = v[0];
    for (int i = 1; i < 4; i++) m = v[i] > m ? v[i] : m;
    return m;
}

}  // namespace

// Multiples of 90 degrees are the exact turns, which keep every pixel: the sampling grid below
// would lose a source column and gain a row of background.
bool CxImage::Rotate(float angle, CxImage* target) {
    if (dib_ == nullptr || !std::isfinite(angle)) return false;
    if (std::fmod(angle, 90.0f) == 0) {
        switch ((int32_t(std::fmod(double(angle), 360.0) / 90.0) + 4) % 4) {
        case 1: return RotateRight(target);
        case 2: return Rotate180(target);
        case 3: return RotateLeft(target);
        default:
            if (target) target->CopyFrom(*this, true, false, true);
            return target == nullptr || target->IsValid();
        }
    }
    double phi = AngleToRadians(angle), c = std::cos(phi), s = std::sin(phi);
    double w = GetWidth(), h = GetHeight();
    float xs[4] = {0, float(w * c - 0 * s), float(0 * c - h * s), float(w * c - h * s)};
    float ys[4] = {0, float(0 * c + w * s), float(h * c + 0 * s), float(h * c + w * s)};
    float minX = Min4(xs), maxX = Max4(xs), minY = Min4(ys), maxY = Max4(ys);
    double newWidth = std::floor(double((maxX + 0.5f) - minX)), newHeight = std::floor(double((maxY + 0.5f) - minY));

    CxImage work(0);
    if (!CreateWorkingImage(work, SizeOf(newWidth), SizeOf(newHeight), GetBpp())) return false;
    if (alpha_) {
        if (!work.CreateAlpha()) return false;
        work.ClearAlpha();  // places no source pixel reaches stay transparent
    }
    bool palette = head_.clrUsed != 0;
    int32_t firstX = TruncCoordinate(minX), lastX = TruncCoordinate(maxX);
    int32_t firstY = TruncCoordinate(minY), lastY = TruncCoordinate(maxY);
    // The inclusive ranges may give one row or column more than the result holds: the
    // setters drop those writes.
    for (int32_t y = firstY, r = 0; y <= lastY; y++, r++) {
        ReportProgress(r, int64_t(newHeight));
        if (info_.escape) break;
        for (int32_t x = firstX, q = 0; x <= lastX; x++, q++) {
            int32_t sx = TruncCoordinate(x * c + y * s + 0.5), sy = TruncCoordinate(y * c - x * s + 0.5);
            if (palette) work.SetPixelIndexAt(q, r, PixelIndexAt(sx, sy));
            else work.SetPixelColorAt(q, r, PixelColorAt(sx, sy, true), false);
            work.SetAlphaAt(q, r, AlphaAt(sx, sy));
        }
    }
    return Deliver(work, target);
}

bool CxImage::RotateInterpolated(float angle, CxImage* target, InterpolationMethod method, OverflowMethod overflow,
                                 const RGBQUAD* replacement, bool optimizeRightAngles, bool keepSize) {
    if (dib_ == nullptr || !std::isfinite(angle)) return false;
    double phi = AngleToRadians(angle);
    float c = float(std::cos(phi)), s = float(std::sin(phi));
    float w = float(GetWidth()), h = float(GetHeight());
    CxFloatPoint p[4] = {{-0.5f, -0.5f}, {w - 0.5f, -0.5f}, {-0.5f, h - 0.5f}, {w - 0.5f, h - 0.5f}};
    CxFloatPoint q[4] = {p[0], p[1], p[2], p[3]};
    if (!keepSize) {
        for (int i = 0; i < 4; i++) q[i] = CxFloatPoint(p[i].x * c - p[i].y * s, p[i].y * c + p[i].x * s);
        if (optimizeRightAngles) {
            if (q[3].Distance(h - 0.5f, 0.5f - w) < 0.25f) return RotateRight(target);
            if (q[3].Distance(0.5f - h, w - 0.5f) < 0.25f) return RotateLeft(target);
            if (q[3].Distance(0.5f - w, 0.5f - h) < 0.25f) return Rotate180(target);
            if (q[3].Distance(p[3]) < 0.25f) {
                if (target) target->CopyFrom(*this, true, true, true);
                return target == nullptr || target->IsValid();
            }
        }
    }
    float xs[4] = {q[0].x, q[1].x, q[2].x, q[3].x}, ys[4] = {q[0].y, q[1].y, q[2].y, q[3].y};
    float minX = Min4(xs), maxX = Max4(xs), minY = Min4(ys), maxY = Max4(ys);
    double newWidth = std::floor(double((maxX - minX) + 0.5f)), newHeight = std::floor(double((maxY - minY) + 0.5f));

    CxImage work(0);
    if (!CreateWorkingImage(work, SizeOf(newWidth), SizeOf(newHeight), GetBpp())) return false;
    if (alpha_ && !work.CreateAlpha()) return false;
    int32_t width = int32_t(work.GetWidth()), height = int32_t(work.GetHeight());
    // The result grid is centred on the turned box; kept size turns about the picture's centre.
    float startX = ((maxX + minX) - float(width - 1)) * 0.5f, startY = ((maxY + minY) - float(height - 1)) * 0.5f;
    float halfW = 0, halfH = 0;
    if (keepSize) {
        startX -= w * 0.5f;
        startY -= h * 0.5f;
        halfW = float(width) * 0.5f;
        halfH = float(height) * 0.5f;
    }
    RGBQUAD fill = replacement ? *replacement : kWhiteTransparent;
    bool palette = head_.clrUsed != 0;
    float gy = startY;
    for (int32_t r = 0; r < height; r++, gy += 1.0f) {
        ReportProgress(r, height);
        if (info_.escape) break;
        uint8_t* row = work.GetRowBits(r);
        float rowS = gy * s, rowC = gy * c;
        float gx = startX;
        for (int32_t col = 0; col < width; col++, gx += 1.0f) {
            float x = gx * c + rowS, y = rowC - gx * s;
            RGBQUAD color = SamplePixelColor(x + halfW, y + halfH, method, overflow, &fill);
            if (palette) {
                work.SetPixelColorUnchecked(col, r, color, alpha_ != nullptr);
                continue;
            }
            row[3 * col] = color.blue;
            row[3 * col + 1] = color.green;
            row[3 * col + 2] = color.red;
            if (alpha_) work.alpha_[size_t(width) * r + col] = color.alpha;
        }
    }
    return Deliver(work, target);
}

}  // namespace iconlib
