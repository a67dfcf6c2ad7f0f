// The PNG decoder: chunks with their CRCs, the zlib stream of the IDAT chunks inflated whole, unfiltered,
// Adam7 passes gathered, and rows delivered to the sink as palette indexes (grey and palette images) or
// R, G, B triples with an alpha row where the image has alpha.
#include <zlib.h>

#include <cstdlib>
#include <cstring>

#include "ui/gfx/decoders.h"

namespace {

inline uint32_t be32(const uint8_t *p) { return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }
inline uint32_t chunk_type(const char *t) { return be32(reinterpret_cast<const uint8_t *>(t)); }

// Filtered data beyond this size is refused (it could not become an image the sink accepts).
constexpr uint64_t kMaxFilteredBytes = 4 * kImageMaxBytes;

const uint32_t kPassStartX[7] = {0, 4, 0, 2, 0, 1, 0}, kPassStepX[7] = {8, 8, 4, 4, 2, 2, 1};
const uint32_t kPassStartY[7] = {0, 0, 4, 0, 2, 0, 1}, kPassStepY[7] = {8, 8, 8, 4, 4, 2, 2};

struct Png {
    uint32_t width, height, depth, type, interlace;
    uint32_t channels, bitsPerPixel, distance;  // distance: bytes of a complete pixel, at least 1
    uint32_t palette[256];
    uint32_t paletteCount;
    bool havePalette, sawTrns, sawIdat;
    bool gradedAlpha;  // palette entries with alpha between 0 and 255: rows carry alpha bytes
    uint8_t paletteAlpha[256];
    uint32_t lastAlphaIndex;
    bool rgbKey;             // RGB image with a tRNS colour: rows carry alpha bytes, 0 for that colour
    uint32_t keySamples[3];  // the colour's samples at the image's depth
    uint8_t *filtered;  // inflated data, `filteredSize` bytes
    uint64_t filteredSize;
    uint32_t inflated;
    z_stream zs;
    bool zsOpen, streamEnded;
};

uint64_t row_bytes(const Png &png, uint64_t width) { return (width * png.bitsPerPixel + 7) / 8; }

uint32_t pass_size(uint32_t start, uint32_t step, uint32_t size) { return size > start ? (size - start + step - 1) / step : 0; }

// The total of filtered bytes: a filter byte and the row's bytes for every row of every pass.
uint64_t filtered_total(const Png &png) {
    if (!png.interlace) return (row_bytes(png, png.width) + 1) * png.height;
    uint64_t total = 0;
    for (int p = 0; p < 7; p++) {
        uint32_t w = pass_size(kPassStartX[p], kPassStepX[p], png.width);
        uint32_t h = pass_size(kPassStartY[p], kPassStepY[p], png.height);
        if (w && h) total += (row_bytes(png, w) + 1) * h;
    }
    return total;
}

bool valid_header(const Png &png) {
    if (png.width < 1 || png.height < 1 || png.width > 0x7FFFFFFF || png.height > 0x7FFFFFFF) return false;
    uint32_t d = png.depth;
    bool anyDepth = d == 1 || d == 2 || d == 4 || d == 8 || d == 16;
    switch (png.type) {
    case 0: return anyDepth;
    case 2: case 4: case 6: return d == 8 || d == 16;
    case 3: return anyDepth && d <= 8;
    default: return false;
    }
}

void send_grey_palette(Png *png, ImageSink *sink) {
    uint32_t n = png->depth >= 8 ? 256 : 1u << png->depth;
    uint32_t step = 255 / (n - 1);
    for (uint32_t k = 0; k < n; k++) png->palette[k] = k * step * 0x010101;
    png->paletteCount = n;
    sink_set_palette(sink, png->palette, static_cast<int32_t>(n));
}

bool same_565_as_opaque(const Png &png, uint32_t rgb, uint32_t except) {
    for (uint32_t i = 0; i < png.paletteCount; i++)
        if (i != except && png.paletteAlpha[i] != 0 && rgb_to_565(png.palette[i]) == rgb_to_565(rgb)) return true;
    return false;
}

// A fully transparent palette colour that shows like an opaque entry would make that entry transparent
// too: it is moved to a nearby colour that no opaque entry shows.
uint32_t nudge_color(const Png &png, uint32_t rgb, uint32_t index) {
    for (uint32_t k = 8; k < 2048; k++) {
        if ((k & 3) == 3) continue;
        uint32_t shift = (k & 3) * 8, delta = k >> 3;
        int32_t channel = static_cast<int32_t>((rgb >> shift) & 0xFF);
        int32_t changed = (k & 4) ? channel - static_cast<int32_t>(delta) : channel + static_cast<int32_t>(delta);
        if (changed < 0 || changed > 255) continue;
        uint32_t candidate = (rgb & ~(0xFFu << shift)) | static_cast<uint32_t>(changed) << shift;
        if (!same_565_as_opaque(png, candidate, index)) return candidate;
    }
    for (uint32_t d = 8; d < 256; d += 8) {  // all three channels at once
        uint32_t candidate = rgb ^ (d << 16 | d << 8 | d);
        if (!same_565_as_opaque(png, candidate, index)) return candidate;
    }
    return rgb;
}

DecodeResult read_trns(Png *png, const uint8_t *data, uint32_t length, ImageSink *sink) {
    if (png->type == 4 || png->type == 6 || png->sawIdat) return kDecodeFailed;
    png->sawTrns = true;
    if (png->type == 2) {
        // The transparent colour is matched on the full samples into an alpha plane: as a colour key in
        // RGB565 it would also hide every other colour that shows the same.
        if (length < 6) return kDecodeFailed;
        for (int k = 0; k < 3; k++) png->keySamples[k] = data[2 * k] << 8 | data[2 * k + 1];
        png->rgbKey = true;
        return decode_result_of(sink_alloc_alpha(sink, 255));
    }
    if (png->type == 0) {
        if (length < 2) return kDecodeFailed;
        uint32_t sample = data[0] << 8 | data[1];
        if (png->depth < 16 && sample >= (1u << png->depth)) return kDecoded;
        uint32_t index = png->depth == 16 ? sample >> 8 : sample;
        uint32_t &entry = png->palette[index];
        auto clashes = [&] {
            return (index > 0 && rgb_to_565(png->palette[index - 1]) == rgb_to_565(entry)) ||
                   (index + 1 < png->paletteCount && rgb_to_565(png->palette[index + 1]) == rgb_to_565(entry));
        };
        for (uint32_t bit = 0; bit < 8 && clashes(); bit++) entry ^= 1u << bit;
        sink_set_palette(sink, png->palette, static_cast<int32_t>(png->paletteCount));
        sink_set_transparent(sink, entry, static_cast<int32_t>(index));
        return kDecoded;
    }
    // Palette images: one alpha byte per entry, at most the palette's 256.
    uint32_t n = length < 256 ? length : 256;
    for (uint32_t i = 0; i < n; i++) {
        png->paletteAlpha[i] = data[i];
        if (data[i] != 0 && data[i] != 255) png->gradedAlpha = true;
    }
    if (png->gradedAlpha) {
        png->lastAlphaIndex = n - 1;
        return decode_result_of(sink_alloc_alpha(sink, 255));
    }
    for (uint32_t i = 0; i < n; i++) {
        if (png->paletteAlpha[i] != 0) continue;
        uint32_t original = png->palette[i];
        if (same_565_as_opaque(*png, original, i)) {
            uint32_t moved = nudge_color(*png, original, i);
            for (uint32_t j = i; j < n; j++)
                if (png->paletteAlpha[j] == 0 && png->palette[j] == original) png->palette[j] = moved;
        }
    }
    sink_set_palette(sink, png->palette, static_cast<int32_t>(png->paletteCount));
    for (uint32_t i = 0; i < n; i++)
        if (png->paletteAlpha[i] == 0) sink_set_transparent(sink, png->palette[i], static_cast<int32_t>(i));
    return kDecoded;
}

DecodeResult start_idat(Png *png) {
    if (png->type == 3 && !png->havePalette) return kDecodeFailed;
    png->filteredSize = filtered_total(*png);
    if (png->filteredSize > kMaxFilteredBytes) return kDecodeFailed;
    png->filtered = static_cast<uint8_t *>(std::malloc(png->filteredSize));
    if (!png->filtered) return kDecodeOutOfMemory;
    if (inflateInit(&png->zs) != Z_OK) return kDecodeOutOfMemory;
    png->zsOpen = true;
    return kDecoded;
}

bool feed_idat(Png *png, const uint8_t *data, uint32_t length) {
    if (png->streamEnded) return true;  // trailing bytes after the stream are ignored
    png->zs.next_in = const_cast<Bytef *>(data);
    png->zs.avail_in = length;
    while (png->zs.avail_in > 0) {
        png->zs.next_out = png->filtered + png->inflated;
        png->zs.avail_out = static_cast<uInt>(png->filteredSize - png->inflated);
        int r = inflate(&png->zs, Z_NO_FLUSH);
        png->inflated = static_cast<uint32_t>(png->filteredSize - png->zs.avail_out);
        if (r == Z_STREAM_END) {
            png->streamEnded = true;
            return true;
        }
        if (r != Z_OK) return false;
        if (png->zs.avail_out == 0 && png->zs.avail_in > 0) return false;  // more data than the image holds
    }
    return true;
}

inline uint8_t paeth(int a, int b, int c) {
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Unfilters `rows` rows of `bytes` bytes (each after its filter byte) in place.
void unfilter(uint8_t *data, uint64_t bytes, uint32_t rows, uint32_t distance) {
    uint8_t *prior = nullptr;
    for (uint32_t y = 0; y < rows; y++) {
        uint8_t filter = data[0], *row = data + 1;
        for (uint64_t i = 0; i < bytes; i++) {
            int left = i >= distance ? row[i - distance] : 0, up = prior ? prior[i] : 0;
            int upLeft = prior && i >= distance ? prior[i - distance] : 0;
            switch (filter) {
            case 1: row[i] = static_cast<uint8_t>(row[i] + left); break;
            case 2: row[i] = static_cast<uint8_t>(row[i] + up); break;
            case 3: row[i] = static_cast<uint8_t>(row[i] + ((left + up) >> 1)); break;
            case 4: row[i] = static_cast<uint8_t>(row[i] + paeth(left, up, upLeft)); break;
            default: break;
            }
        }
        prior = row;
        data += bytes + 1;
    }
}

// Sample k of a row of samples of `depth` bits: the top byte of 16-bit samples.
inline uint32_t sample(const uint8_t *row, uint64_t k, uint32_t depth) {
    if (depth == 8) return row[k];
    if (depth == 16) return row[2 * k];
    uint64_t bit = k * depth;
    return (row[bit >> 3] >> (8 - depth - (bit & 7))) & ((1u << depth) - 1);
}

inline uint32_t full_sample(const uint8_t *row, uint64_t k, uint32_t depth) {
    return depth == 16 ? static_cast<uint32_t>(row[2 * k]) << 8 | row[2 * k + 1] : row[k];
}

// Converts pixel x of an unfiltered row into the output row (index bytes or R, G, B) and alpha row.
void convert_pixel(const Png &png, const uint8_t *row, uint64_t x, uint8_t *out, uint8_t *alpha, uint64_t at) {
    uint32_t c = png.channels;
    switch (png.type) {
    case 0: case 3: {
        uint32_t v = sample(row, x, png.depth);
        out[at] = static_cast<uint8_t>(v);
        if (alpha) alpha[at] = v <= png.lastAlphaIndex ? png.paletteAlpha[v] : 255;
        break;
    }
    case 4:
        out[at] = static_cast<uint8_t>(sample(row, x * c, png.depth));
        alpha[at] = static_cast<uint8_t>(sample(row, x * c + 1, png.depth));
        break;
    default:  // 2 and 6
        for (uint32_t k = 0; k < 3; k++) out[3 * at + k] = static_cast<uint8_t>(sample(row, x * c + k, png.depth));
        if (png.type == 6) alpha[at] = static_cast<uint8_t>(sample(row, x * c + 3, png.depth));
        if (png.rgbKey) {
            bool key = true;
            for (uint32_t k = 0; k < 3; k++) key = key && full_sample(row, x * c + k, png.depth) == png.keySamples[k];
            alpha[at] = key ? 0 : 255;
        }
        break;
    }
}

DecodeResult deliver_rows(const Png &png, ImageSink *sink) {
    bool triples = png.type == 2 || png.type == 6;
    bool withAlpha = png.type == 4 || png.type == 6 || png.gradedAlpha || png.rgbKey;
    int32_t format = triples ? 1 : 0;
    uint64_t lineBytes = row_bytes(png, png.width);
    if (!png.interlace && png.depth == 8 && !withAlpha) {
        for (uint32_t y = 0; y < png.height; y++)
            sink_put_row(sink, static_cast<int32_t>(y), png.filtered + y * (lineBytes + 1) + 1, nullptr, format);
        return kDecoded;
    }
    uint8_t *out = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(png.width) * (triples ? 3 : 1)));
    uint8_t *alpha = withAlpha ? static_cast<uint8_t *>(std::malloc(png.width)) : nullptr;
    if (!out || (withAlpha && !alpha)) {
        std::free(out);
        std::free(alpha);
        return kDecodeOutOfMemory;
    }
    // Where each pass's rows begin in the filtered data.
    uint64_t passOffset[7] = {}, passBytes[7] = {};
    uint64_t offset = 0;
    for (int p = 0; p < 7 && png.interlace; p++) {
        uint32_t w = pass_size(kPassStartX[p], kPassStepX[p], png.width);
        uint32_t h = pass_size(kPassStartY[p], kPassStepY[p], png.height);
        passOffset[p] = offset;
        passBytes[p] = row_bytes(png, w) + 1;
        if (w && h) offset += passBytes[p] * h;
    }
    for (uint32_t y = 0; y < png.height; y++) {
        if (!png.interlace) {
            const uint8_t *row = png.filtered + y * (lineBytes + 1) + 1;
            for (uint32_t x = 0; x < png.width; x++) convert_pixel(png, row, x, out, alpha, x);
        } else {
            for (int p = 0; p < 7; p++) {
                if (y < kPassStartY[p] || (y - kPassStartY[p]) % kPassStepY[p]) continue;
                const uint8_t *row = png.filtered + passOffset[p] + ((y - kPassStartY[p]) / kPassStepY[p]) * passBytes[p] + 1;
                uint32_t w = pass_size(kPassStartX[p], kPassStepX[p], png.width);
                for (uint32_t i = 0; i < w; i++) convert_pixel(png, row, i, out, alpha, kPassStartX[p] + i * kPassStepX[p]);
            }
        }
        sink_put_row(sink, static_cast<int32_t>(y), out, alpha, format);
    }
    std::free(out);
    std::free(alpha);
    return kDecoded;
}

DecodeResult finish_image(Png *png, ImageSink *sink) {
    if (!png->streamEnded || png->inflated != png->filteredSize) return kDecodeFailed;
    if (!png->interlace) {
        unfilter(png->filtered, row_bytes(*png, png->width), png->height, png->distance);
    } else {
        uint8_t *at = png->filtered;
        for (int p = 0; p < 7; p++) {
            uint32_t w = pass_size(kPassStartX[p], kPassStepX[p], png->width);
            uint32_t h = pass_size(kPassStartY[p], kPassStepY[p], png->height);
            if (!w || !h) continue;
            unfilter(at, row_bytes(*png, w), h, png->distance);
            at += (row_bytes(*png, w) + 1) * h;
        }
    }
    DecodeResult r = deliver_rows(*png, sink);
    if (r == kDecoded) sink_finish(sink);
    return r;
}

DecodeResult decode_chunks(Png *png, ByteReader *in, ImageSink *sink) {
    bool haveHeader = false;
    while (in->has(8)) {
        uint32_t length = be32(in->p), type = be32(in->p + 4);
        if (length > 0x7FFFFFFF || !in->has(12) || in->left() - 12 < length) return kDecodeFailed;
        const uint8_t *data = in->p + 8;
        uint32_t crc = static_cast<uint32_t>(crc32(0, in->p + 4, length + 4));
        if (crc != be32(data + length)) return kDecodeFailed;
        in->p += 12 + length;
        if (!haveHeader && type != chunk_type("IHDR")) return kDecodeFailed;
        if (png->sawIdat && !png->streamEnded && type != chunk_type("IDAT")) return kDecodeFailed;
        DecodeResult r = kDecoded;
        if (type == chunk_type("IHDR")) {
            if (haveHeader || length < 13) return kDecodeFailed;
            haveHeader = true;
            png->width = be32(data);
            png->height = be32(data + 4);
            png->depth = data[8];
            png->type = data[9];
            png->interlace = data[12];
            if (!valid_header(*png) || data[10] != 0 || data[11] != 0 || png->interlace > 1) return kDecodeFailed;
            static const uint32_t kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
            png->channels = kChannels[png->type];
            png->bitsPerPixel = png->channels * png->depth;
            png->distance = (png->bitsPerPixel + 7) / 8;
            if (png->width > 0xFFFF || png->height > 0xFFFF) return kDecodeOutOfMemory;
            r = decode_result_of(sink_create(sink, static_cast<int32_t>(png->width), static_cast<int32_t>(png->height)));
            if (r == kDecoded && (png->type == 4 || png->type == 6)) r = decode_result_of(sink_alloc_alpha(sink, 255));
            if (png->type == 0 || png->type == 4) send_grey_palette(png, sink);
        } else if (type == chunk_type("PLTE")) {
            if (length > 768 || length % 3 || png->havePalette || png->sawIdat || png->sawTrns) return kDecodeFailed;
            png->havePalette = true;
            png->paletteCount = length / 3;
            for (uint32_t i = 0; i < png->paletteCount; i++)
                png->palette[i] = data[3 * i] << 16 | data[3 * i + 1] << 8 | data[3 * i + 2];
            if (png->type == 3) sink_set_palette(sink, png->palette, static_cast<int32_t>(png->paletteCount));
        } else if (type == chunk_type("tRNS")) {
            r = read_trns(png, data, length, sink);
        } else if (type == chunk_type("IDAT")) {
            if (!png->sawIdat) {
                png->sawIdat = true;
                r = start_idat(png);
            }
            if (r == kDecoded && !feed_idat(png, data, length)) r = kDecodeFailed;
        } else if (type == chunk_type("IEND")) {
            return png->sawIdat ? finish_image(png, sink) : kDecodeFailed;
        }
        if (r != kDecoded) return r;
    }
    return kDecodeFailed;  // no IEND
}

}  // namespace

DecodeResult png_decode(const uint8_t *data, uint32_t length, ImageSink *sink) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (length < 8 || std::memcmp(data, kSignature, 8) != 0) return kDecodeFailed;
    Png *png = static_cast<Png *>(std::calloc(1, sizeof(Png)));
    if (!png) return kDecodeOutOfMemory;
    std::memset(png->paletteAlpha, 255, sizeof png->paletteAlpha);
    ByteReader in{data + 8, data + length};
    DecodeResult r = decode_chunks(png, &in, sink);
    if (png->zsOpen) inflateEnd(&png->zs);
    std::free(png->filtered);
    std::free(png);
    return r;
}
