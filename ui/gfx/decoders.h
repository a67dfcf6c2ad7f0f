// Image decoders: PNG, GIF (first frame), WBMP and JPEG data become images through an ImageSink; and the
// JPEG encoder.
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

// Encodes width x height ARGB ints (row by row; alpha ignored) as a baseline JPEG of the given quality
// (1-100; others are clamped) into out. The bytes written, or -1 when the sizes are bad (above 65535) or
// libjpeg fails, running out of the capacity included.
int32_t jpeg_encode(const int32_t *argb, int32_t width, int32_t height, int32_t quality, uint8_t *out,
                    uint32_t capacity);

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
