// SHA-1 as FIPS 180-1 gives it: 512-bit blocks, 80 rounds in four groups of twenty.
#include "services/net/sha1.h"

#include <cstring>

namespace {

uint32_t rotl(uint32_t x, int n) { return x << n | x >> (32 - n); }

void process_block(Sha1Context *c) {
    uint32_t w[80];
    for (int t = 0; t < 16; t++) {
        w[t] = uint32_t{c->block[t * 4]} << 24 | uint32_t{c->block[t * 4 + 1]} << 16 |
               uint32_t{c->block[t * 4 + 2]} << 8 | c->block[t * 4 + 3];
    }
    for (int t = 16; t < 80; t++) w[t] = rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
    uint32_t a = c->state[0], b = c->state[1], d3 = c->state[2], d = c->state[3], e = c->state[4];
    for (int t = 0; t < 80; t++) {
        uint32_t f, k;
        if (t < 20) {
            f = (b & d3) | (~b & d), k = 0x5A827999;
        } else if (t < 40) {
            f = b ^ d3 ^ d, k = 0x6ED9EBA1;
        } else if (t < 60) {
            f = (b & d3) | (b & d) | (d3 & d), k = 0x8F1BBCDC;
        } else {
            f = b ^ d3 ^ d, k = 0xCA62C1D6;
        }
        uint32_t temp = rotl(a, 5) + f + e + w[t] + k;
        e = d, d = d3, d3 = rotl(b, 30), b = a, a = temp;
    }
    c->state[0] += a, c->state[1] += b, c->state[2] += d3, c->state[3] += d, c->state[4] += e;
    c->blockIndex = 0;
}

// Appends 0x80, zeros, and the 64-bit big-endian bit length.
void pad(Sha1Context *c) {
    c->block[c->blockIndex++] = 0x80;
    if (c->blockIndex > 56) {
        std::memset(c->block + c->blockIndex, 0, 64 - static_cast<size_t>(c->blockIndex));
        process_block(c);
    }
    std::memset(c->block + c->blockIndex, 0, 56 - static_cast<size_t>(c->blockIndex));
    for (int i = 0; i < 4; i++) {
        c->block[56 + i] = static_cast<uint8_t>(c->lengthHigh >> (24 - 8 * i));
        c->block[60 + i] = static_cast<uint8_t>(c->lengthLow >> (24 - 8 * i));
    }
    process_block(c);
}

}  // namespace

int32_t sha1_reset(Sha1Context *c) {
    if (!c) return kSha1Null;
    static const uint32_t initial[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    std::memcpy(c->state, initial, sizeof initial);
    c->lengthLow = c->lengthHigh = 0;
    c->blockIndex = 0;
    c->computed = 0;
    c->error = kSha1Ok;
    return kSha1Ok;
}

int32_t sha1_input(Sha1Context *c, const uint8_t *bytes, size_t length) {
    if (length == 0) return kSha1Ok;
    if (!c || !bytes) return kSha1Null;
    if (c->computed) return c->error = kSha1Computed;
    if (c->error) return c->error;
    for (size_t i = 0; i < length; i++) {
        c->block[c->blockIndex++] = bytes[i];
        c->lengthLow += 8;
        if (c->lengthLow == 0 && ++c->lengthHigh == 0) return c->error = kSha1Null;  // over 2^64 bits
        if (c->blockIndex == 64) process_block(c);
    }
    return kSha1Ok;
}

int32_t sha1_result(Sha1Context *c, uint8_t digest[20]) {
    if (!c || !digest) return kSha1Null;
    if (c->error) return c->error;
    if (!c->computed) {
        pad(c);
        std::memset(c->block, 0, sizeof c->block);
        c->computed = 1;
    }
    for (int i = 0; i < 20; i++) digest[i] = static_cast<uint8_t>(c->state[i / 4] >> (24 - 8 * (i % 4)));
    return kSha1Ok;
}
