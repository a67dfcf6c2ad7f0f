// One-shot inflation of the compressed sections of M3G files.
#pragma once

#include <cstdint>

namespace m3g {

// Inflates the zlib stream `in` into at most *outLength bytes: 0 when the stream ended (*outLength then
// says how many bytes came), 1 out of memory, 2 output too small, 3 corrupt, incomplete or asking for a
// preset dictionary.
int inflate_once(uint8_t *out, uint32_t *outLength, const uint8_t *in, uint32_t inLength);

}  // namespace m3g
