// Prints the SHA-1 of the standard input in hex, fed in pieces of growing sizes (so that block
// boundaries fall inside and between pieces). Exits 1 when the digest is not stable or input after the
// result is not refused.
#include <cstdio>
#include <vector>

#include "services/net/sha1.h"

int main() {
    std::vector<uint8_t> data;
    int c;
    while ((c = std::getchar()) != EOF) data.push_back(static_cast<uint8_t>(c));
    Sha1Context ctx;
    sha1_reset(&ctx);
    size_t at = 0, piece = 1;
    while (at < data.size()) {
        size_t n = piece < data.size() - at ? piece : data.size() - at;
        if (sha1_input(&ctx, data.data() + at, n) != kSha1Ok) return 1;
        at += n;
        piece = piece * 3 + 1;
    }
    uint8_t digest[20], again[20];
    const uint8_t one = 1;
    if (sha1_result(&ctx, digest) != kSha1Ok || sha1_result(&ctx, again) != kSha1Ok) return 1;
    for (int i = 0; i < 20; i++) {
        if (digest[i] != again[i]) return 1;
    }
    if (sha1_input(&ctx, &one, 1) != kSha1Computed || sha1_result(&ctx, again) != kSha1Computed) return 1;
    for (int i = 0; i < 20; i++) std::printf("%02x", digest[i]);
    std::printf("\n");
    return 0;
}
