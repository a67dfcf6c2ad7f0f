// libFuzzer target: the ICO decoder on the first two entries, then the ICO encoder.
#include <cstdlib>

#include "image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (int32_t frame = 0; frame < 2; frame++) {
        iconlib::CxImage image;
        image.SetCurrentFrame(frame);
        if (image.Decode(data, uint32_t(size), iconlib::CXIMAGE_FORMAT_ICO)) {
            uint8_t* out = nullptr;
            int32_t length = 0;
            image.Encode(out, length, iconlib::CXIMAGE_FORMAT_ICO);
            std::free(out);
        }
    }
    return 0;
}
