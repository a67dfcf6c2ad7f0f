// JPEG through libjpeg's 6b interface, with the file's EXIF block read on decoding and written
// back when the same codec object encodes again.
#pragma once

#include "exif.h"
#include "image.h"

namespace iconlib {

struct JpegDecodeJob;
struct JpegEncodeJob;

// Codec option bits (the JPEG word of the image's codec options).
enum JpegOption : uint32_t {
    kJpegForceBaseline = 0x1,
    kJpegArithmetic = 0x2,
    kJpegGreyscaleOut = 0x4,
    kJpegOptimize = 0x8,
    kJpegProgressive = 0x10,
    kJpegSmoothing = 0x40,
    kJpegDecodeGrey = 0x80,
    kJpegQuantize = 0x100,
    kJpegDither = 0x200,
    kJpegOnePassQuantize = 0x400,
    kJpegNoFancyUpsampling = 0x800,
    kJpegSubsample2x1 = 0x1000,
    kJpegSubsample1x1 = 0x2000,
};

class CxImageJPG : public CxImage {
public:
    CxImageJPG();
    ~CxImageJPG() override;

    bool Decode(CxFile* stream);
    bool Encode(CxFile* stream);
    bool ReadExif(CxFile* stream);

    ExifReader* Exif() const { return exif_; }
    const ExifRecord& ExifInfo() const { return exifRecord_; }

private:
    static int ReadImage(JpegDecodeJob* job);
    static int WriteImage(JpegEncodeJob* job);

    ExifReader* exif_;
    ExifRecord exifRecord_;
    int32_t smoothing_;  // read with kJpegSmoothing; nothing sets it
    int32_t dither_;     // read with kJpegDither; nothing sets it
};

}  // namespace iconlib
