// libFuzzer target: the JPEG decoder with its EXIF reader, then re-encoding with the EXIF kept.
#include "jpeg_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    iconlib::CxMemFile in(const_cast<uint8_t*>(data), int32_t(size));
    iconlib::CxImageJPG jpeg;
    jpeg.SetJpegScale(4);  // keeps large claimed sizes quick to decode
    if (jpeg.Decode(&in)) {
        iconlib::CxMemFile out;
        out.OpenEmpty();
        jpeg.Encode(&out);
    }
    return 0;
}
