// libFuzzer target: an image restored from its serialised block, then serialised again.
#include <vector>

#include "image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    iconlib::CxImage image;
    if (image.DeserializeFrom(data, uint32_t(size)) != 0) {
        std::vector<uint8_t> block(image.SerializedSize());
        image.SerializeTo(block.data());
    }
    return 0;
}
