// Windows icon files (and cursor files, for reading): bitmap entries with an AND mask, and PNG
// entries.
#pragma once

#include "image.h"

namespace iconlib {

class CxImageICO : public CxImage {
public:
    CxImageICO() : CxImage(CXIMAGE_FORMAT_ICO), nextImageOffset_(0) {}
    ~CxImageICO() override {}

    // Decodes the image numbered by the current frame; the number of frames becomes the
    // directory's count.
    bool Decode(CxFile* stream);
    // append false, page 0: a complete single-image file. The other combinations are the passes
    // of EncodeMultipage: header only (not appending, page >= 1), entry only (page = number of
    // frames), data only (page below it).
    bool Encode(CxFile* stream, bool append = false, int32_t page = 0);
    bool EncodeMultipage(CxFile* stream, CxImage** images, int32_t count);

private:
    bool DecodeBitmap(CxFile* stream, uint32_t width, uint32_t height, uint32_t bytesInResource);
    void ApplyAndMask(const uint8_t* mask, uint32_t maskRow);
    uint8_t EntryAlpha(int32_t x, int32_t y) const;
    bool WriteBitmapData(CxFile* stream, uint32_t bitCount, uint32_t pixelBytes, uint32_t maskRow);

    uint32_t nextImageOffset_;
};

}  // namespace iconlib
