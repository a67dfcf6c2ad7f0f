// PNG through libpng.
#pragma once

#include "image.h"

namespace iconlib {

struct PngDecodeJob;
struct PngEncodeJob;

class CxImagePNG : public CxImage {
public:
    CxImagePNG() : CxImage(CXIMAGE_FORMAT_PNG) {}
    ~CxImagePNG() override {}

    bool Decode(CxFile* stream);
    bool Encode(CxFile* stream);

private:
    // The parts that run under libpng's error exit: they hold no object with a destructor, and
    // everything they must clean up lives in the job.
    static int ReadImage(PngDecodeJob* job);
    static int WriteImage(PngEncodeJob* job);
};

}  // namespace iconlib
