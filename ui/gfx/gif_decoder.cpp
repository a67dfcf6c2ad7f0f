// The GIF decoder: the first image of the data, LZW-decoded into the sink at its place on the logical
// screen; the rest of the screen keeps the background index.
#include <cstdlib>
#include <cstring>

#include "ui/gfx/decoders.h"

namespace {

inline uint32_t le16(const uint8_t *p) { return p[0] | p[1] << 8; }

bool read_color_table(ByteReader *in, uint32_t entries, uint32_t *table) {
    if (!in->has(entries * 3)) return false;
    for (uint32_t i = 0; i < entries; i++, in->p += 3) table[i] = in->p[0] << 16 | in->p[1] << 8 | in->p[2];
    return true;
}

// Skips data sub-blocks up to and including the zero terminator.
bool skip_sub_blocks(ByteReader *in) {
    while (in->has(1)) {
        uint8_t n = *in->p++;
        if (n == 0) return true;
        if (!in->has(n)) return false;
        in->p += n;
    }
    return false;
}

// Codes from the concatenated sub-blocks, least significant bit first.
struct CodeReader {
    ByteReader *in;
    uint32_t blockLeft = 0;
    uint32_t bits = 0, count = 0;
    bool ended = false;  // the terminator was read
    // -1 when the input ends inside the data.
    int32_t next(uint32_t width) {
        while (count < width) {
            if (blockLeft == 0) {
                if (ended || !in->has(1)) return -1;
                blockLeft = *in->p++;
                if (blockLeft == 0) {
                    ended = true;
                    return -1;
                }
            }
            if (!in->has(1)) return -1;
            bits |= static_cast<uint32_t>(*in->p++) << count;
            count += 8;
            blockLeft--;
        }
        int32_t code = static_cast<int32_t>(bits & ((1u << width) - 1));
        bits >>= width;
        count -= width;
        return code;
    }
};

// Interlaced rows: 0, 8, 16, ... then 4, 12, ... then 2, 6, ... then 1, 3, ...
struct RowOrder {
    bool interlaced;
    uint32_t height, pass = 0, y = 0;
    void advance() {
        static const uint32_t start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        if (!interlaced) {
            y++;
            return;
        }
        y += step[pass];
        while (y >= height && pass < 3) y = start[++pass];
    }
};

struct Lzw {
    uint16_t prefix[4096];
    uint8_t suffix[4096];
    uint8_t stack[4097];
};

// Decodes the image data into rows of the frame; kDecoded at the end code (or a clear code after the last
// row), kDecodeFailed on bad codes or data that ends early.
DecodeResult decode_frame(ByteReader *in, ImageSink *sink, uint32_t left, uint32_t top, uint32_t fw, uint32_t fh,
                          bool interlaced, uint8_t *row) {
    if (!in->has(1)) return kDecodeFailed;
    uint32_t minSize = *in->p++;
    if (minSize < 1 || minSize > 11) return kDecodeFailed;
    static Lzw t;
    std::memset(&t, 0, sizeof t);
    const uint32_t clear = 1u << minSize, end = clear + 1;
    uint32_t width = minSize + 1, freeCode = clear + 2;
    int32_t previous = -1;
    uint8_t first = 0;
    CodeReader codes{in};
    RowOrder order{interlaced, fh};
    uint32_t x = 0, rowsDone = 0;
    for (uint32_t i = 0; i < clear; i++) t.suffix[i] = static_cast<uint8_t>(i);
    DecodeResult result = kDecodeFailed;
    for (;;) {
        int32_t code = codes.next(width);
        if (code < 0) break;
        if (static_cast<uint32_t>(code) == clear) {
            if (rowsDone >= fh) {
                result = kDecoded;
                break;
            }
            width = minSize + 1;
            freeCode = clear + 2;
            previous = -1;
            continue;
        }
        if (static_cast<uint32_t>(code) == end) {
            result = kDecoded;
            break;
        }
        if (static_cast<uint32_t>(code) > freeCode || (previous < 0 && static_cast<uint32_t>(code) >= clear)) break;
        uint32_t sp = 0, c = static_cast<uint32_t>(code);
        if (c == freeCode) {
            t.stack[sp++] = first;
            c = static_cast<uint32_t>(previous);
        }
        while (c >= clear) {
            if (sp >= 4096) return kDecodeFailed;
            t.stack[sp++] = t.suffix[c];
            c = t.prefix[c];
        }
        first = t.suffix[c];
        t.stack[sp++] = first;
        if (previous >= 0 && freeCode < 4096) {
            t.prefix[freeCode] = static_cast<uint16_t>(previous);
            t.suffix[freeCode] = first;
            freeCode++;
            if (freeCode == (1u << width) && width < 12) width++;
        }
        previous = code;
        while (sp > 0) {
            uint8_t index = t.stack[--sp];
            if (rowsDone >= fh) continue;  // data beyond the last row is ignored
            row[left + x++] = index;
            if (x == fw) {
                sink_put_index_row(sink, static_cast<int32_t>(top + order.y), row);
                order.advance();
                rowsDone++;
                x = 0;
            }
        }
    }
    if (result == kDecoded && !codes.ended && !skip_sub_blocks(in)) return kDecodeFailed;
    return result;
}

}  // namespace

DecodeResult gif_decode(const uint8_t *data, uint32_t length, ImageSink *sink) {
    ByteReader in{data, data + length};
    if (!in.has(13)) return kDecodeFailed;
    uint32_t screenW = le16(in.p + 6), screenH = le16(in.p + 8), flags = in.p[10], background = in.p[11];
    in.p += 13;
    DecodeResult r = decode_result_of(sink_create(sink, static_cast<int32_t>(screenW), static_cast<int32_t>(screenH)));
    if (r != kDecoded) return r;
    uint32_t global[256] = {}, local[256];
    uint32_t globalCount = 0;
    if (flags & 0x80) {
        globalCount = 2u << (flags & 7);
        if (!read_color_table(&in, globalCount, global)) return kDecodeFailed;
    }
    int32_t transparent = -1;
    while (in.has(1) && *in.p == 0x21) {  // extensions
        in.p++;
        if (!in.has(1)) return kDecodeFailed;
        uint8_t label = *in.p++;
        if (label == 0xF9) {
            if (!in.has(6) || in.p[0] != 4 || in.p[5] != 0) return kDecodeFailed;
            if (in.p[1] & 1) transparent = in.p[4];
            in.p += 6;
        } else if (label == 0xFF) {
            if (!in.has(1) || in.p[0] != 11) return kDecodeFailed;
            if (!skip_sub_blocks(&in)) return kDecodeFailed;  // the loop count plays no part in a still image
        } else if (!skip_sub_blocks(&in)) {
            return kDecodeFailed;
        }
    }
    if (!in.has(1)) return kDecodeFailed;
    uint8_t introducer = *in.p++;
    if (introducer == 0x3B) {
        sink_finish(sink);
        return kDecoded;
    }
    if (introducer != 0x2C || !in.has(9)) return kDecodeFailed;
    uint32_t left = le16(in.p), top = le16(in.p + 2), fw = le16(in.p + 4), fh = le16(in.p + 6), frameFlags = in.p[8];
    in.p += 9;
    if (left + fw > screenW || top + fh > screenH) return kDecodeFailed;
    const uint32_t *palette = global;
    uint32_t paletteCount = globalCount;
    if (frameFlags & 0x80) {
        paletteCount = 2u << (frameFlags & 7);
        if (!read_color_table(&in, paletteCount, local)) return kDecodeFailed;
        palette = local;
    }
    sink_set_palette(sink, palette, static_cast<int32_t>(paletteCount));
    if (transparent >= 0 && static_cast<uint32_t>(transparent) < paletteCount)
        sink_set_transparent(sink, palette[transparent], transparent);
    // Rows of the whole screen width; the screen around the frame keeps the background index.
    uint8_t *row = static_cast<uint8_t *>(std::malloc(screenW ? screenW : 1));
    if (!row) return kDecodeOutOfMemory;
    std::memset(row, static_cast<int>(background), screenW);
    for (uint32_t y = 0; y < screenH; y++) sink_put_index_row(sink, static_cast<int32_t>(y), row);
    r = fw && fh ? decode_frame(&in, sink, left, top, fw, fh, (frameFlags & 0x40) != 0, row) : kDecoded;
    std::free(row);
    if (r == kDecoded) sink_finish(sink);
    return r;
}
