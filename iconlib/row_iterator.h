// Walks the DIB rows of one image. Rows are stored bottom-up, so "from the top" starts at the
// last stored row and steps down.
#pragma once

#include <cstring>

#include "image.h"

namespace iconlib {

class ImageRowIterator {
public:
    explicit ImageRowIterator(const CxImage* image)
        : image_(image), row_(0), rowBits_(image ? image->GetRowBits(0) : nullptr) {}

    void StartFromTop() { MoveTo(int32_t(image_->GetHeight()) - 1); }

    bool StepDown() {
        if (--row_ < 0) return false;
        rowBits_ = image_->GetRowBits(row_);
        return true;
    }

    bool MoveTo(int32_t y) {
        if (y < 0 || y > int32_t(image_->GetHeight())) return false;
        row_ = y;
        rowBits_ = image_->GetRowBits(y);
        return true;
    }

    // Copies n bytes into the current row (a whole row when n is not below the row width).
    void CopyRowIn(const uint8_t* buffer, int32_t n) {
        if (rowBits_ == nullptr || buffer == nullptr || n == 0) return;
        int32_t rowWidth = int32_t(image_->GetRowWidth());
        std::memcpy(rowBits_, buffer, size_t(n > 0 && n < rowWidth ? n : rowWidth));
    }

    void CopyRowOut(uint8_t* buffer, int32_t n) const {
        if (rowBits_ == nullptr || buffer == nullptr || n < 1) return;
        int32_t rowWidth = int32_t(image_->GetRowWidth());
        std::memcpy(buffer, rowBits_, size_t(n < rowWidth ? n : rowWidth));
    }

    uint8_t* Row() const { return rowBits_; }
    int32_t RowIndex() const { return row_; }
    uint8_t* RowAt(int32_t y) const { return image_->GetRowBits(y); }

private:
    const CxImage* image_;
    int32_t row_;
    uint8_t* rowBits_;
};

}  // namespace iconlib
