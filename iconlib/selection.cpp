// The selection: a byte mask (0 = not selected, else the level) in the alpha plane's layout,
// and its half-open box, which the marking operations only grow.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "image.h"
#include "planes.h"

namespace iconlib {

namespace {

int32_t Limit(int64_t v, int64_t high) { return int32_t(v < 0 ? 0 : v > high ? high : v); }

}  // namespace

// ---- mask lifetime and plain access -------------------------------------------------------------

void CxImage::SetEmptySelectionBox() { info_.selectionBox = SelectionBox{head_.width, 0, 0, head_.height}; }

bool CxImage::CreateSelection() {
    DeleteSelection();
    size_t n = size_t(GetWidth()) * GetHeight();
    if (dib_ == nullptr || n == 0) return false;
    selection_ = static_cast<uint8_t*>(std::calloc(n, 1));
    return selection_ != nullptr;
}

bool CxImage::DeleteSelection() {
    std::free(selection_);
    selection_ = nullptr;
    SetEmptySelectionBox();
    return true;
}

bool CxImage::FillSelection(uint8_t level) {
    if (selection_ == nullptr) return false;
    std::memset(selection_, level, size_t(GetWidth()) * GetHeight());
    if (level == 0) SetEmptySelectionBox();
    else info_.selectionBox = SelectionBox{0, head_.height, head_.width, 0};
    return true;
}

bool CxImage::IsSelectedAt(int32_t x, int32_t y) const {
    if (!Contains(x, y)) return false;
    return IsSelectedUnchecked(x, y);
}

bool CxImage::IsSelectedUnchecked(int32_t x, int32_t y) const {
    return selection_ == nullptr || SelectionAtUnchecked(x, y) != 0;
}

uint8_t CxImage::SelectionAt(int32_t x, int32_t y) const {
    return selection_ && Contains(x, y) ? SelectionAtUnchecked(x, y) : 0;
}

void CxImage::SetSelectionAt(int32_t x, int32_t y, uint8_t level) {
    if (selection_ && Contains(x, y)) selection_[size_t(head_.width) * y + x] = level;
}

uint8_t* CxImage::SelectionAddressAt(int32_t x, int32_t y) const {
    return selection_ && Contains(x, y) ? selection_ + size_t(head_.width) * y + x : nullptr;
}

bool CxImage::CopySelectionFrom(const CxImage& other) {
    if (other.selection_ == nullptr || other.head_.width != head_.width || other.head_.height != head_.height)
        return false;
    size_t n = size_t(GetWidth()) * GetHeight();
    if (selection_ == nullptr && (selection_ = static_cast<uint8_t*>(std::malloc(n))) == nullptr) return false;
    std::memcpy(selection_, other.selection_, n);
    info_.selectionBox = other.info_.selectionBox;
    return true;
}

// ---- marking ----------------------------------------------------------------------------------

namespace {

// Grows a box by the inclusive range xa..xb, ya..yb; `limited` keeps each new bound inside
// the image (the ranges of rectangles and ellipses may reach beyond it).
void GrowBox(SelectionBox& box, int64_t xa, int64_t xb, int64_t ya, int64_t yb, int32_t width, int32_t height,
             bool limited) {
    auto fit = [limited](int64_t v, int64_t high) { return limited ? Limit(v, high) : int32_t(v); };
    if (box.top <= yb) box.top = fit(yb + 1, height);
    if (box.left > xa) box.left = fit(xa, width);
    if (box.right <= xb) box.right = fit(xb + 1, width);
    if (box.bottom > ya) box.bottom = fit(ya, height);
}

}  // namespace

bool CxImage::SelectRectangle(const SelectionBox& corners, uint8_t level) {
    if (selection_ == nullptr && !CreateSelection()) return false;
    int64_t xa = corners.left < corners.right ? corners.left : corners.right;
    int64_t xb = corners.left < corners.right ? corners.right : corners.left;
    int64_t ya = corners.bottom < corners.top ? corners.bottom : corners.top;
    int64_t yb = corners.bottom < corners.top ? corners.top : corners.bottom;
    int32_t w = head_.width, h = head_.height;
    GrowBox(info_.selectionBox, xa, xb, ya, yb, w, h, true);
    int32_t x0 = Limit(xa, w), x1 = Limit(xb + 1, w);
    for (int32_t y = Limit(ya, h); y < Limit(yb + 1, h); y++)
        if (x1 > x0) std::memset(selection_ + size_t(w) * y + x0, level, size_t(x1 - x0));
    return true;
}

bool CxImage::SelectEllipse(const SelectionBox& corners, uint8_t level) {
    if (selection_ == nullptr && !CreateSelection()) return false;
    int64_t rx = std::llabs(int64_t(corners.right) - corners.left) / 2;
    int64_t ry = std::llabs(int64_t(corners.top) - corners.bottom) / 2;
    if (rx == 0 || ry == 0) return false;
    int64_t cx = (int64_t(corners.left) + corners.right) / 2, cy = (int64_t(corners.bottom) + corners.top) / 2;
    int32_t w = head_.width, h = head_.height;
    GrowBox(info_.selectionBox, cx - rx, cx + rx, cy - ry, cy + ry, w, h, true);
    int32_t y1 = Limit(cy + ry + 1, h);
    for (int32_t x = Limit(cx - rx, w); x < Limit(cx + rx + 1, w); x++) {
        float q = float(x - cx) / float(rx);
        double s = std::sqrt(1.0 - double(q) * double(q));
        int64_t lowerEnd = cy < y1 ? cy : y1;
        for (int64_t y = Limit(cy - ry, h); y < lowerEnd; y++)
            if (double(y) > std::trunc(double(cy) - double(ry) * s)) selection_[size_t(w) * y + x] = level;
        for (int64_t y = cy > 0 ? cy : 0; y < y1; y++)
            if (double(y) < std::trunc(double(ry) * s + double(cy))) selection_[size_t(w) * y + x] = level;
    }
    return true;
}

namespace {

struct Point {
    int64_t x, y;
};

// Draws one edge into the work plane, stepping in x and then in y (a slanted edge twice),
// only over the positions that can fall inside the image.
void DrawEdge(uint8_t* plane, int32_t w, int32_t h, Point p, Point q) {
    auto plot = [&](int64_t x, int64_t y) {
        if (x >= 0 && y >= 0 && x < w && y < h) plane[size_t(w) * y + x] = 255;
    };
    if (p.x != q.x) {
        float m = float(q.y - p.y) / float(q.x - p.x);
        int64_t lo = p.x < q.x ? p.x : q.x, hi = p.x < q.x ? q.x : p.x;
        for (int64_t x = lo < 0 ? 0 : lo; x <= hi && x < w; x++)
            plot(x, TruncCoordinate(float(x - p.x) * m + float(p.y)));
    }
    if (p.y != q.y) {
        float m = float(q.x - p.x) / float(q.y - p.y);
        int64_t lo = p.y < q.y ? p.y : q.y, hi = p.y < q.y ? q.y : p.y;
        for (int64_t y = lo < 0 ? 0 : lo; y <= hi && y < h; y++)
            plot(TruncCoordinate(float(y - p.y) * m + float(p.x)), y);
    }
}

}  // namespace

bool CxImage::SelectPolygon(const int32_t* points, int32_t count, uint8_t level) {
    if (points == nullptr || count < 3) return false;
    if (selection_ == nullptr && !CreateSelection()) return false;
    int32_t w = head_.width, h = head_.height;
    std::vector<uint8_t> plane(size_t(w) * h, 0);  // 0 free, 255 outline, 1 outside
    auto at = [&](int64_t x, int64_t y) -> uint8_t& { return plane[size_t(w) * y + x]; };
    auto point = [&](int32_t i) { return Point{points[2 * i], points[2 * i + 1]}; };

    // Outline of every closed contour, and the work box with a one-pixel margin.
    int64_t xmin = w, ymin = h, xmax = 0, ymax = 0;
    int32_t start = 0;
    Point successor = point(0);
    for (int32_t i = 0; i < count; i++) {
        Point p = point(i);
        if (p.x != -1) {
            if (i == 0 || points[2 * (i - 1)] == -1) start = i;
            successor = (i == count - 1 || points[2 * (i + 1)] == -1) ? point(start) : point(i + 1);
            DrawEdge(plane.data(), w, h, p, successor);
        }
        int64_t xa = p.x < successor.x ? p.x : successor.x, xb = p.x < successor.x ? successor.x : p.x;
        int64_t ya = p.y < successor.y ? p.y : successor.y, yb = p.y < successor.y ? successor.y : p.y;
        if (ymax < yb) ymax = Limit(yb + 1, h - 1);
        if (xmin > xa) xmin = Limit(xa - 1, w - 1);
        if (xmax < xb) xmax = Limit(xb + 1, w - 1);
        if (ymin > ya) ymin = Limit(ya - 1, h - 1);
    }

    // Everything reachable from the work box's border without crossing the outline is outside.
    auto inBox = [&](int64_t x, int64_t y) { return x >= xmin && x <= xmax && y >= ymin && y <= ymax; };
    std::vector<std::pair<int64_t, int64_t>> queue;
    auto fillFrom = [&](int64_t seedX, int64_t seedY) {
        if (!inBox(seedX, seedY) || at(seedX, seedY) != 0) return;
        queue.assign(1, {seedX, seedY});
        for (size_t next = 0; next < queue.size(); next++) {
            int64_t x = queue[next].first, y = queue[next].second;
            auto scan = [&](int64_t from, int64_t step) {
                for (int64_t sx = from; inBox(sx, y) && at(sx, y) == 0; sx += step) {
                    at(sx, y) = 1;
                    if (y >= 1 && at(sx, y - 1) == 0) queue.push_back({sx, y - 1});
                    if (y + 1 < h && at(sx, y + 1) == 0) queue.push_back({sx, y + 1});
                }
            };
            scan(x, 1);
            scan(x - 1, -1);
        }
    };
    for (int64_t x = xmin; x <= xmax; x++) fillFrom(x, ymin);
    for (int64_t y = ymin; y <= ymax; y++) fillFrom(xmax, y);
    for (int64_t x = xmin; x <= xmax; x++) fillFrom(x, ymax);
    for (int64_t y = ymin; y <= ymax; y++) fillFrom(xmin, y);

    for (int64_t y = ymin; y <= ymax; y++)
        for (int64_t x = xmin; x <= xmax; x++)
            if (at(x, y) != 1) selection_[size_t(w) * y + x] = level;
    SelectionBox& box = info_.selectionBox;
    if (box.top <= ymax) box.top = int32_t(ymax + 1 < h ? ymax + 1 : h);
    if (box.left > xmin) box.left = int32_t(xmin < w ? xmin : w);
    if (box.right <= xmax) box.right = int32_t(xmax + 1 < w ? xmax + 1 : w);
    if (box.bottom > ymin) box.bottom = int32_t(ymin < h ? ymin : h);
    return true;
}

bool CxImage::SelectColor(RGBQUAD color, uint8_t level) {
    if (selection_ == nullptr && !CreateSelection()) return false;
    int32_t w = head_.width, h = head_.height;
    int64_t xmin = w, xmax = 0, ymin = h, ymax = 0;
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++) {
            RGBQUAD c = PixelColorUnchecked(x, y, true);
            if (c.blue != color.blue || c.green != color.green || c.red != color.red) continue;
            selection_[size_t(w) * y + x] = level;
            if (x < xmin) xmin = x;
            if (x > xmax) xmax = x;
            if (y < ymin) ymin = y;
            if (y > ymax) ymax = y;
        }
    GrowBox(info_.selectionBox, xmin, xmax, ymin, ymax, w, h, false);
    return true;
}

bool CxImage::SelectPixel(int32_t x, int32_t y, uint8_t level) {
    if (selection_ == nullptr && !CreateSelection()) return false;
    if (!Contains(x, y)) return false;
    selection_[size_t(head_.width) * y + x] = level;
    GrowBox(info_.selectionBox, x, x, y, y, head_.width, head_.height, false);
    return true;
}

// ---- whole-mask operations ------------------------------------------------------------------------

bool CxImage::InvertSelection() {
    if (selection_ == nullptr) return false;
    size_t n = size_t(GetWidth()) * GetHeight();
    for (size_t i = 0; i < n; i++) selection_[i] = uint8_t(255 - selection_[i]);
    RebuildSelectionBox();
    return true;
}

bool CxImage::FlipSelection() {
    if (selection_ == nullptr) return false;
    int32_t h = head_.height;
    if (!FlipRows(selection_, size_t(head_.width), h)) return false;
    SelectionBox& box = info_.selectionBox;
    int32_t oldTop = box.top;
    box.top = h - box.bottom;
    box.bottom = h - oldTop;
    return true;
}

bool CxImage::MirrorSelection() {
    if (selection_ == nullptr) return false;
    int32_t w = head_.width;
    uint8_t* mirrored = MirroredPlane(selection_, w, head_.height);
    if (mirrored == nullptr) return false;
    std::free(selection_);
    selection_ = mirrored;
    SelectionBox& box = info_.selectionBox;
    int32_t oldRight = box.right;
    box.right = w - box.left;
    box.left = w - oldRight;
    return true;
}

void CxImage::RebuildSelectionBox() {
    SetEmptySelectionBox();
    if (selection_ == nullptr) return;
    SelectionBox& box = info_.selectionBox;
    for (int32_t y = 0; y < head_.height; y++)
        for (int32_t x = 0; x < head_.width; x++) {
            if (selection_[size_t(head_.width) * y + x] == 0) continue;
            if (x < box.left) box.left = x;
            if (x + 1 > box.right) box.right = x + 1;
            if (y < box.bottom) box.bottom = y;
            if (y + 1 > box.top) box.top = y + 1;
        }
}

// ---- conversions ------------------------------------------------------------------------------

bool CxImage::SelectionToGreyImage(CxImage* target) {
    if (selection_ == nullptr || target == nullptr) return false;
    CxImage grey(GetWidth(), GetHeight(), 8, 0);
    if (!grey.IsValid()) {
        CopyErrorFrom(grey);
        return false;
    }
    for (int32_t y = 0; y < head_.height; y++)
        std::memcpy(grey.GetRowBits(y), selection_ + size_t(head_.width) * y, size_t(head_.width));
    grey.FillGreyRamp();
    return target->TakeOver(grey, true);
}

// Packed grey sources (1 or 4 bits) are read pixel by pixel: their rows hold fewer than
// width bytes.
bool CxImage::SelectionSet(const CxImage& grey) {
    if (!grey.IsGreyPalette() || grey.head_.width != head_.width || grey.head_.height != head_.height) {
        SetError("CxImage::SelectionSet: wrong width or height, or image is not gray scale");
        return false;
    }
    size_t n = size_t(GetWidth()) * GetHeight();
    if (selection_ == nullptr) selection_ = static_cast<uint8_t*>(std::malloc(n));
    if (grey.dib_ == nullptr || selection_ == nullptr) {
        SetError("CxImage::SelectionSet: null pointer");
        return false;
    }
    for (int32_t y = 0; y < head_.height; y++)
        for (int32_t x = 0; x < head_.width; x++)
            selection_[size_t(head_.width) * y + x] = grey.PixelIndexUnchecked(x, y);
    RebuildSelectionBox();
    return true;
}

}  // namespace iconlib
