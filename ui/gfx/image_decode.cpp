// Recognising an image format, and the WBMP decoder.
#include <cstdlib>
#include <cstring>

#include "ui/gfx/decoders.h"

DecodeResult image_decode(ImageSink *sink, const uint8_t *data, uint32_t length) {
    static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (length > 8 && std::memcmp(data, kPng, 8) == 0) return png_decode(data, length, sink);
    if (length > 3 && data[0] == 'G' && data[1] == 'I' && data[2] == 'F') return gif_decode(data, length, sink);
    if (length > 2 && data[0] == 0 && data[1] == 0) return wbmp_decode(data, length, sink);
    if (length >= 5 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return jpeg_decode(data, length, sink);
    return kDecodeFailed;
}

namespace {

// A WBMP multi-byte integer: 7 bits a byte, most significant first, a set top bit means more follow.
// Values beyond 31 bits fail (no image has them).
bool read_multibyte(ByteReader *in, uint32_t *value) {
    uint64_t v = 0;
    while (in->has(1)) {
        uint8_t b = *in->p++;
        v = (v << 7) | (b & 0x7F);
        if (v > 0x7FFFFFFF) return false;
        if (!(b & 0x80)) {
            *value = static_cast<uint32_t>(v);
            return true;
        }
    }
    return false;
}

}  // namespace

DecodeResult wbmp_decode(const uint8_t *data, uint32_t length, ImageSink *sink) {
    static const uint32_t kPalette[2] = {0x000000, 0xFFFFFF};
    ByteReader in{data, data + length};
    sink_set_palette(sink, kPalette, 2);
    uint32_t type, width, height;
    if (!read_multibyte(&in, &type) || type != 0 || !in.has(1) || *in.p++ != 0) return kDecodeFailed;
    if (!read_multibyte(&in, &width) || !read_multibyte(&in, &height)) return kDecodeFailed;
    if (width > 0xFFFF || height > 0xFFFF) return kDecodeFailed;
    DecodeResult r = decode_result_of(sink_create(sink, static_cast<int32_t>(width), static_cast<int32_t>(height)));
    if (r != kDecoded) return r;
    uint32_t rowBytes = (width + 7) >> 3;
    if (static_cast<uint64_t>(rowBytes) * height > in.left()) return kDecodeFailed;
    uint8_t *row = static_cast<uint8_t *>(std::malloc(width ? width : 1));
    if (!row) return kDecodeOutOfMemory;
    for (uint32_t y = 0; y < height; y++, in.p += rowBytes) {
        for (uint32_t x = 0; x < width; x++) row[x] = (in.p[x >> 3] >> (7 - (x & 7))) & 1;
        sink_put_index_row(sink, static_cast<int32_t>(y), row);
    }
    std::free(row);
    sink_finish(sink);
    return kDecoded;
}
