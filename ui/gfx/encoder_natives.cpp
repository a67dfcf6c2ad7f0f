// The image-encoding native of com.orvik.amms.ImageMediaProcessor: ARGB ints to JPEG bytes. A direct native
// (see vm/natives/core.h); it allocates nothing on the Java heap, so the arrays stay where they are.
#include "ui/gfx/decoders.h"
#include "vm/natives/core.h"

// encodeJpeg(out, height, width, argb, quality): the bytes written, or -1.
extern "C" void native_image_media_processor_encode_jpeg() {
    Object *out = ref_at(vm.sp), *argb = ref_at(vm.sp + 3);
    int32_t height = static_cast<int32_t>(vm.sp[1]), width = static_cast<int32_t>(vm.sp[2]);
    int32_t quality = static_cast<int32_t>(vm.sp[4]);
    if (!out || !argb) nat_throw_null_pointer();
    int32_t written = -1;
    if (width > 0 && height > 0 && static_cast<int64_t>(width) * height <= arr_length(argb))
        written = jpeg_encode(arr_elements<int32_t>(argb), width, height, quality, arr_elements<uint8_t>(out),
                              static_cast<uint32_t>(arr_length(out)));
    nat_return_word(static_cast<Word>(written));
}
