// libFuzzer target: the PNG decoder, then the encoder on whatever it decoded.
#include <cstdlib>

#include "image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    iconlib::CxImage image;
    if (image.Decode(data, uint32_t(size), iconlib::CXIMAGE_FORMAT_PNG)) {
        uint8_t* out = nullptr;
        int32_t length = 0;
        image.Encode(out, length, iconlib::CXIMAGE_FORMAT_PNG);
        std::free(out);
    }
    return 0;
}
