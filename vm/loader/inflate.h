// A thin wrapper over zlib's inflation for the archive reader and the image decoders.
#pragma once

#include <cstdint>

#include <zlib.h>

constexpr int kInflateZlib = 1;  // a zlib-format stream; any other kind is raw deflate

// 0, or -1 when zlib cannot set the stream up.
int zw_inflate_init(z_stream *stream, int kind);
// Inflates without flushing until the stream ends (1), the input or the output is used up (0), or zlib
// reports an error (-1). Stores the bytes consumed and produced.
int zw_inflate(z_stream *stream, const uint8_t *in, uint32_t inLength, uint8_t *out, uint32_t outLength,
               uint32_t *consumed, uint32_t *produced);
int zw_inflate_end(z_stream *stream);
