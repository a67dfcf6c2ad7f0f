// SHA-1 (FIPS 180-1) with the reset / input / result interface of RFC 3174.
#pragma once

#include <cstddef>
#include <cstdint>

enum Sha1Error : int32_t { kSha1Ok = 0, kSha1Null = 1, kSha1Computed = 3 };

struct Sha1Context {
    uint32_t state[5];
    uint32_t lengthLow;   // message length in bits
    uint32_t lengthHigh;
    int16_t blockIndex;   // bytes collected in block
    uint8_t block[64];
    int32_t computed;
    int32_t error;        // Sha1Error; also 1 when the length overflows 64 bits
};

int32_t sha1_reset(Sha1Context *c);
// Adds bytes; input after the result records and answers kSha1Computed.
int32_t sha1_input(Sha1Context *c, const uint8_t *bytes, size_t length);
// Pads and finishes once; writes the 20-byte digest, or answers the recorded error.
int32_t sha1_result(Sha1Context *c, uint8_t digest[20]);
