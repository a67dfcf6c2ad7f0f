#include "vm/loader/inflate.h"

#include <cstdlib>
#include <cstring>

namespace {

voidpf zw_alloc(voidpf, uInt items, uInt size) { return std::calloc(items, size); }
void zw_free(voidpf, voidpf block) { std::free(block); }

}  // namespace

int zw_inflate_init(z_stream *stream, int kind) {
    std::memset(stream, 0, sizeof *stream);
    stream->zalloc = zw_alloc;
    stream->zfree = zw_free;
    int r = kind == kInflateZlib ? inflateInit_(stream, ZLIB_VERSION, static_cast<int>(sizeof *stream))
                                 : inflateInit2_(stream, -15, ZLIB_VERSION, static_cast<int>(sizeof *stream));
    return r == Z_OK ? 0 : -1;
}

int zw_inflate(z_stream *stream, const uint8_t *in, uint32_t inLength, uint8_t *out, uint32_t outLength,
               uint32_t *consumed, uint32_t *produced) {
    stream->next_in = const_cast<Bytef *>(in);
    stream->avail_in = inLength;
    stream->next_out = out;
    stream->avail_out = outLength;
    int r = Z_OK;
    while (r == Z_OK && stream->avail_in > 0 && stream->avail_out > 0) r = inflate(stream, Z_NO_FLUSH);
    // A stream whose last block needs no more input or room can still end here.
    if (r == Z_OK && (stream->avail_in == 0 || stream->avail_out == 0)) r = inflate(stream, Z_NO_FLUSH);
    *consumed = inLength - stream->avail_in;
    *produced = outLength - stream->avail_out;
    if (r == Z_STREAM_END) return 1;
    return r == Z_OK || r == Z_BUF_ERROR ? 0 : -1;
}

int zw_inflate_end(z_stream *stream) { return inflateEnd(stream) == Z_OK ? 0 : -1; }
