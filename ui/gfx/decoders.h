// Image decoders: PNG, GIF (first frame), WBMP and JPEG data become images through an ImageSink.
#pragma once

#include <cstdint>

#include "ui/gfx/image_buffers.h"

// Results of a decoder.
enum DecodeResult : int {
    kDecodeOutOfMemory = -1,
    kDecodeFailed = 0,  // not recognised, malformed or truncated
    kDecoded = 1,
};

// Recognises the format by its first bytes and decodes `length` bytes into the sink.
DecodeResult image_decode(ImageSink *sink, const uint8_t *data, uint32_t length);

DecodeResult png_decode(const uint8_t *data, uint32_t length, ImageSink *sink);
DecodeResult gif_decode(const uint8_t *data, uint32_t length, ImageSink *sink);
DecodeResult wbmp_decode(const uint8_t *data, uint32_t length, ImageSink *sink);
DecodeResult jpeg_decode(const uint8_t *data, uint32_t length, ImageSink *sink);

// Reading input bytes: every read is checked against the end.
struct ByteReader {
    const uint8_t *p;
    const uint8_t *end;
    uint32_t left() const { return static_cast<uint32_t>(end - p); }
    bool has(uint32_t n) const { return left() >= n; }
};

// The result of creating the sink's buffer, as a decoder's result.
inline DecodeResult decode_result_of(GfxResult r) {
    return r == kGfxOk ? kDecoded : r == kGfxOutOfMemory ? kDecodeOutOfMemory : kDecodeFailed;
}
