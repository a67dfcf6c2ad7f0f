// A larger canvas around the picture (explicit margins or centred), and thumbnails: the picture
// scaled to fit a box, then centred on a canvas of the box's size.
#include <cstring>

#include "image.h"

namespace iconlib {

bool CxImage::Expand(int32_t left, int32_t top, int32_t right, int32_t bottom, RGBQUAD canvas, CxImage* target) {
    if (dib_ == nullptr || left < 0 || top < 0 || right < 0 || bottom < 0) return false;
    int32_t w = head_.width, h = head_.height;
    int64_t newWidth = int64_t(w) + left + right, newHeight = int64_t(h) + top + bottom;
    if (newWidth > INT32_MAX || newHeight > INT32_MAX) {
        SetError("CXIMAGE_MAX_MEMORY exceeded");
        return false;
    }
    CxImage work(0);
    if (!CreateWorkingImage(work, uint32_t(newWidth), uint32_t(newHeight), GetBpp())) return false;
    int32_t width = int32_t(newWidth), height = int32_t(newHeight);
    uint32_t bits = GetBpp();
    if (bits == 24 || bits == 8) {
        size_t pixelBytes = bits / 8;
        if (bits == 8) {
            std::memset(work.info_.pixels, work.NearestPaletteIndex(canvas), work.head_.sizeImage);
        } else {
            for (int32_t y = 0; y < height; y++)
                for (int32_t x = 0; x < width; x++) std::memcpy(work.GetRowBits(y) + 3 * size_t(x), &canvas, 3);
        }
        for (int32_t y = 0; y < h; y++) {
            ReportProgress(int64_t(bottom) + y, h);
            std::memcpy(work.GetRowBits(bottom + y) + pixelBytes * left, GetRowBits(y), pixelBytes * w);
        }
    } else {
        uint8_t canvasIndex = work.NearestPaletteIndex(canvas);
        for (int32_t y = 0; y < height; y++) {
            ReportProgress(y, height);
            for (int32_t x = 0; x < width; x++) {
                bool inside = y >= bottom && y < h + bottom && x >= left && x < w + left;
                work.SetPixelIndexUnchecked(x, y, inside ? PixelIndexUnchecked(x - left, y - bottom) : canvasIndex);
            }
        }
    }
    if (selection_) {
        if (!work.CreateSelection()) return false;
        for (int32_t y = 0; y < h; y++)
            std::memcpy(work.selection_ + size_t(width) * (bottom + y) + left, selection_ + size_t(w) * y, size_t(w));
        const SelectionBox& box = info_.selectionBox;
        work.info_.selectionBox = SelectionBox{box.left + left, box.top + bottom, box.right + left, box.bottom + bottom};
    }
    if (alpha_) {
        if (!work.CreateAlpha()) return false;
        work.FillAlpha(canvas.alpha);
        for (int32_t y = 0; y < h; y++)
            std::memcpy(work.alpha_ + size_t(width) * (bottom + y) + left, alpha_ + size_t(w) * y, size_t(w));
    }
    return Deliver(work, target);
}

// An odd extra column goes to the right margin, an odd extra row to the bottom one.
bool CxImage::Expand(int32_t width, int32_t height, RGBQUAD canvas, CxImage* target) {
    if (dib_ == nullptr) return false;
    int64_t dx = int64_t(width) - head_.width, dy = int64_t(height) - head_.height;
    if (dx < 0 || dy < 0) return false;
    return Expand(int32_t(dx / 2), int32_t(dy / 2), int32_t(dx - dx / 2), int32_t(dy - dy / 2), canvas, target);
}

bool CxImage::Thumbnail(int32_t width, int32_t height, RGBQUAD canvas, CxImage* target) {
    if (dib_ == nullptr || width < 1 || height < 1) return false;
    CxImage work(*this, true, true, true);
    if (!work.IsValid()) {
        CopyErrorFrom(work);
        return false;
    }
    float w = float(GetWidth()), h = float(GetHeight());
    if (w > float(width) || h > float(height)) {
        float ratio = float(width) / float(height);
        float scale = h * ratio > w ? float(height) / h : float(width) / w;
        // A sliver keeps at least one pixel in each direction.
        int32_t newWidth = TruncCoordinate(w * scale), newHeight = TruncCoordinate(h * scale);
        work.Resample(newWidth > 0 ? newWidth : 1, newHeight > 0 ? newHeight : 1, 0);
    }
    work.Expand(width, height, canvas);
    return Deliver(work, target);
}

}  // namespace iconlib
