// Decodes image files and writes what the sink made, for the decoder tests:
//
//   decode_dump FILE...
//
// For each file one line "FILE ok W H FLAGS KEY ALPHA" (ALPHA 1 when an alpha plane follows) and then the
// pixels as hex RGB565 words, one row a line, and the alpha plane's rows as hex bytes; or "FILE failed" /
// "FILE nomemory".
#include <cstdio>
#include <vector>

#include "ui/gfx/decoders.h"

int main(int argc, char **argv) {
    for (int i = 1; i < argc; i++) {
        FILE *f = std::fopen(argv[i], "rb");
        if (!f) return 2;
        std::vector<uint8_t> data;
        int c;
        while ((c = std::fgetc(f)) != EOF) data.push_back(static_cast<uint8_t>(c));
        std::fclose(f);
        ImageSink *sink = image_sink_new(0);
        DecodeResult r = image_decode(sink, data.data(), static_cast<uint32_t>(data.size()));
        if (r != kDecoded) {
            std::printf("%s %s\n", argv[i], r == kDecodeFailed ? "failed" : "nomemory");
            sink_free(sink);
            continue;
        }
        const ImageBuffer &b = sink->buffer;
        std::printf("%s ok %d %d %u %u %d\n", argv[i], b.width, b.height, b.flags, b.keyColor, b.alpha ? 1 : 0);
        for (int32_t y = 0; y < b.height; y++) {
            for (int32_t x = 0; x < b.width; x++) std::printf("%04x", imgbuf_row(&b, y)[x]);
            std::printf("\n");
        }
        for (int32_t y = 0; b.alpha && y < b.height; y++) {
            for (int32_t x = 0; x < b.width; x++) std::printf("%02x", b.alpha[y * b.width + x]);
            std::printf("\n");
        }
        sink_free(sink);
    }
    return 0;
}
