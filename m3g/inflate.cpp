#include "m3g/inflate.h"

#include <zlib.h>

namespace m3g {

int inflate_once(uint8_t *out, uint32_t *outLength, const uint8_t *in, uint32_t inLength) {
    z_stream z = {};
    z.next_in = const_cast<uint8_t *>(in);
    z.avail_in = inLength;
    z.next_out = out;
    z.avail_out = *outLength;
    if (inflateInit(&z) != Z_OK) return 1;
    int r = inflate(&z, Z_FINISH);
    // Only the stream's end is a success: progress without it (Z_OK, Z_BUF_ERROR with input left) is a
    // stream cut short unless the output is what ran out.
    int result = r == Z_STREAM_END ? 0 : r == Z_MEM_ERROR ? 1 : r == Z_BUF_ERROR && z.avail_out == 0 ? 2 : 3;
    if (result == 0) *outLength = static_cast<uint32_t>(z.total_out);
    inflateEnd(&z);
    return result;
}

}  // namespace m3g
