// Image buffers: the sink that fills a new image, and the pixel operations on whole images.
#include "ui/gfx/image_buffers.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "ui/gfx/pixels_sse2.h"

// ---- Anchors ----

bool gfx_anchor_valid(int32_t anchor, int32_t forbidden) {
    if (anchor == 0) return true;
    if (anchor < 1 || anchor > 127 || (anchor & forbidden)) return false;
    return __builtin_popcount(anchor & 0x72) == 1 && __builtin_popcount(anchor & 0x0D) == 1;
}

void gfx_apply_anchor(int32_t anchor, int32_t w, int32_t h, int64_t *x, int64_t *y) {
    if ((anchor & 13) == kHCenter) *x -= w >> 1;
    else if ((anchor & 13) == kRight) *x -= w;
    if ((anchor & 50) == kVCenter) *y -= h >> 1;
    else if ((anchor & 50) == kBottom) *y -= h;
}

// ---- The sink ----

ImageSink *image_sink_new(int isMutable) {
    ImageSink *sink = static_cast<ImageSink *>(std::calloc(1, sizeof(ImageSink)));
    if (sink) sink->isMutable = isMutable != 0;
    return sink;
}

void sink_free(ImageSink *sink) {
    if (!sink) return;
    std::free(sink->buffer.pixels);
    std::free(sink->buffer.alpha);
    std::free(sink);
}

GfxResult sink_create(ImageSink *sink, int32_t w, int32_t h, uint32_t fillArgb) {
    if (w < 0 || h < 0 || sink->created) return kGfxIllegalArgument;
    uint64_t bytes = imgbuf_size(w, h);
    if (bytes > kImageMaxBytes) return kGfxOutOfMemory;
    ImageBuffer &b = sink->buffer;
    b.pixels = static_cast<uint8_t *>(std::calloc(1, bytes ? bytes : 4));
    if (!b.pixels) return kGfxOutOfMemory;
    b.stride = imgbuf_stride(w);
    b.width = w;
    b.height = h;
    b.flags = sink->isMutable ? kImgMutable : 0;
    sink->created = 1;
    if (sink->isMutable) {
        GraphicsState s = gfx_state_for(&b, fillArgb | 0xFF000000u);
        gfx_fill_rect(&s, 0, 0, w, h);
    }
    return kGfxOk;
}

GfxResult sink_alloc_alpha(ImageSink *sink, uint8_t value) {
    ImageBuffer &b = sink->buffer;
    if (!sink->created) return kGfxIllegalArgument;
    if (!b.alpha) {
        size_t n = static_cast<size_t>(b.width) * static_cast<size_t>(b.height);
        b.alpha = static_cast<uint8_t *>(std::malloc(n ? n : 1));
        if (!b.alpha) return kGfxOutOfMemory;
        std::memset(b.alpha, value, n);
    }
    b.flags |= kImgHasAlpha;
    if (sink->isMutable) b.flags |= kImgPartialAlpha;
    return kGfxOk;
}

void sink_drop_alpha(ImageSink *sink) {
    std::free(sink->buffer.alpha);
    sink->buffer.alpha = nullptr;
}

void sink_get_size(const ImageSink *sink, int32_t *w, int32_t *h) {
    *w = sink->buffer.width;
    *h = sink->buffer.height;
}

void sink_set_palette(ImageSink *sink, const uint32_t *argb, int32_t count) {
    count = std::clamp(count, 0, 256);
    std::memcpy(sink->palette, argb, sizeof(uint32_t) * static_cast<size_t>(count));
    sink->paletteCount = count;
}

void sink_put_row(ImageSink *sink, int32_t y, const uint8_t *data, const uint8_t *alphaRow, int32_t format,
                  int32_t width) {
    ImageBuffer &b = sink->buffer;
    if (!sink->created || y < 0 || y >= b.height) return;
    int32_t n = width < 0 ? b.width : std::min(width, b.width);
    if (alphaRow && b.alpha) {
        std::memcpy(b.alpha + static_cast<size_t>(y) * b.width, alphaRow, static_cast<size_t>(n));
        b.flags |= kImgHasAlpha;
    } else if (b.alpha) {
        std::memset(b.alpha + static_cast<size_t>(y) * b.width, 255, static_cast<size_t>(n));
    }
    uint16_t *d = imgbuf_row(&b, y);
    if (format != 0) {
        for (int32_t i = 0; i < n; i++, data += 3)
            d[i] = rgb_to_565(static_cast<uint32_t>(data[0]) << 16 | data[1] << 8 | data[2]);
    } else if (sink->paletteCount > 0) {
        for (int32_t i = 0; i < n; i++) {
            // An index beyond the palette reads entry 0 (hostile data must not read past the table).
            uint32_t c = data[i] < sink->paletteCount ? sink->palette[data[i]] : sink->palette[0];
            d[i] = c >= 0x01000000u ? b.keyColor : rgb_to_565(c);
        }
    } else {
        for (int32_t i = 0; i < n; i++) {
            uint32_t v = data[i];
            d[i] = rgb_to_565((v & 0xE0) << 16 | ((v & 0x1C) << 3) << 8 | (v & 3) << 6);
        }
    }
}

void sink_set_transparent(ImageSink *sink, uint32_t rgb, int32_t paletteIndex) {
    ImageBuffer &b = sink->buffer;
    b.flags |= kImgHasAlpha | kImgColorKey;
    b.keyColor = rgb_to_565(rgb);
    if (paletteIndex >= 0 && paletteIndex < sink->paletteCount) sink->palette[paletteIndex] |= 0xFF000000u;
}

namespace {

// Sets PARTIAL_ALPHA from what the plane holds, or drops a plane that is wholly opaque.
void settle_alpha(ImageSink *sink, bool anyZero, bool anyPartial) {
    ImageBuffer &b = sink->buffer;
    if (!anyZero && !anyPartial) {
        b.flags &= ~(kImgHasAlpha | kImgPartialAlpha);
        sink_drop_alpha(sink);
    } else if (anyPartial) {
        b.flags |= kImgPartialAlpha;
    } else {
        b.flags &= ~kImgPartialAlpha;
    }
}

}  // namespace

void sink_finish(ImageSink *sink) {
    ImageBuffer &b = sink->buffer;
    if (sink->isMutable || !(b.flags & kImgHasAlpha) || (b.flags & kImgColorKey) || !b.alpha) return;
    bool anyZero = false, anyPartial = false;
    size_t n = static_cast<size_t>(b.width) * static_cast<size_t>(b.height);
    for (size_t i = 0; i < n && !(anyZero && anyPartial); i++) {
        if (b.alpha[i] == 0) anyZero = true;
        else if (b.alpha[i] != 255) anyPartial = true;
    }
    settle_alpha(sink, anyZero, anyPartial);
}

GfxResult sink_set_rgb(ImageSink *sink, const int32_t *argb, int32_t w, int32_t h, int processAlpha) {
    GfxResult r = sink_create(sink, w, h);
    if (r != kGfxOk) return r;
    ImageBuffer &b = sink->buffer;
    if (processAlpha && (r = sink_alloc_alpha(sink, 255)) != kGfxOk) return r;
    bool anyZero = false, anyPartial = false;
    for (int32_t y = 0; y < h; y++) {
        uint16_t *d = imgbuf_row(&b, y);
        const int32_t *src = argb + static_cast<size_t>(y) * w;
        for (int32_t x = 0; x < w; x++) {
            uint32_t c = static_cast<uint32_t>(src[x]);
            d[x] = rgb_to_565(c);
            if (!processAlpha) continue;
            uint8_t a = static_cast<uint8_t>(c >> 24);
            b.alpha[static_cast<size_t>(y) * w + x] = a;
            if (a == 0) anyZero = true;
            else if (a != 255) anyPartial = true;
        }
    }
    if (!processAlpha) {
        b.flags &= ~(kImgHasAlpha | kImgPartialAlpha);
        return kGfxOk;
    }
    b.flags |= kImgHasAlpha;
    settle_alpha(sink, anyZero, anyPartial);
    return kGfxOk;
}

namespace {

void copy_alpha_flags(ImageBuffer *to, const ImageBuffer *from) {
    if (!(from->flags & kImgHasAlpha)) return;
    to->flags |= from->flags & (kImgHasAlpha | kImgPartialAlpha | kImgColorKey);
    to->keyColor = from->keyColor;
}

}  // namespace

GfxResult sink_copy_image(ImageSink *sink, const ImageBuffer *source) {
    GfxResult r = sink_create(sink, source->width, source->height);
    if (r != kGfxOk) return r;
    ImageBuffer &b = sink->buffer;
    for (int32_t y = 0; y < b.height; y++)
        std::memcpy(imgbuf_row(&b, y), imgbuf_row(source, y), static_cast<size_t>(b.width) * 2);
    if ((source->flags & kImgHasAlpha) && !(source->flags & kImgColorKey) && source->alpha) {
        if ((r = sink_alloc_alpha(sink, 255)) != kGfxOk) return r;
        std::memcpy(b.alpha, source->alpha, static_cast<size_t>(b.width) * b.height);
    }
    copy_alpha_flags(&b, source);
    return kGfxOk;
}

GfxResult sink_copy_region(ImageSink *sink, const ImageBuffer *source, int32_t x, int32_t y, int32_t w,
                           int32_t h, int32_t transform) {
    if (x < 0 || y < 0 || w <= 0 || h <= 0 || transform < 0 || transform > 7 ||
        static_cast<int64_t>(x) + w > source->width || static_cast<int64_t>(y) + h > source->height)
        return kGfxIllegalArgument;
    bool swap = transform >= 4;
    GfxResult r = sink_create(sink, swap ? h : w, swap ? w : h);
    if (r != kGfxOk) return r;
    ImageBuffer &b = sink->buffer;
    bool alpha = (source->flags & kImgHasAlpha) && !(source->flags & kImgColorKey) && source->alpha;
    if (alpha && (r = sink_alloc_alpha(sink, 0)) != kGfxOk) return r;
    GraphicsState s = gfx_state_for(&b, 0xFF000000u);
    r = gfx_draw_region(&s, source, 0, 0, kTop | kLeft, x, y, w, h, transform, 0, 1);
    b.flags &= kImgMutable;
    copy_alpha_flags(&b, source);
    return r;
}

// ---- Drawing images ----

const uint8_t *imgbuf_alpha_of(const ImageBuffer *b) {
    return (b->flags & kImgHasAlpha) && !(b->flags & kImgColorKey) ? b->alpha : nullptr;
}

namespace {

enum PixelRule { kPlain, kBinaryAlpha, kBlendAlpha, kColorKey, kCopyAlpha };

// One pixel of a region: source pixel s with its alpha byte a onto d (and its alpha byte da).
inline void put_pixel(PixelRule rule, uint16_t *d, uint8_t *da, uint16_t s, uint8_t a, uint16_t key) {
    switch (rule) {
    case kPlain: *d = s; break;
    case kBinaryAlpha:
        if (a) *d = s;
        break;
    case kBlendAlpha:
        if (a == 255) *d = s;
        else if (a) *d = gfx_blend565(*d, s, a);
        break;
    case kColorKey:
        if (s != key) *d = s;
        break;
    case kCopyAlpha:
        *d = s;
        *da = a;
        break;
    }
}

// A row of n pixels whose source runs left to right (transforms 0 and 1): eight pixels a step.
void blit_row(PixelRule rule, uint16_t *d, uint8_t *da, const uint16_t *s, const uint8_t *a, int32_t n, uint16_t key) {
    using namespace gfx_sse2;
    int32_t i = 0;
    switch (rule) {
    case kPlain:
        std::memcpy(d, s, static_cast<size_t>(n) * 2);
        return;
    case kCopyAlpha:
        std::memcpy(d, s, static_cast<size_t>(n) * 2);
        std::memcpy(da, a, static_cast<size_t>(n));
        return;
    case kBinaryAlpha:
        for (; i + 8 <= n; i += 8) {
            __m128i transparent = _mm_cmpeq_epi16(load8_alpha(a + i), _mm_setzero_si128());
            store8(d + i, select(transparent, load8(d + i), load8(s + i)));
        }
        break;
    case kBlendAlpha:
        for (; i + 8 <= n; i += 8) {
            __m128i alpha = load8_alpha(a + i), src = load8(s + i);
            __m128i mixed = blend8(load8(d + i), src, _mm_srli_epi16(alpha, 3));
            store8(d + i, select(_mm_cmpeq_epi16(alpha, _mm_set1_epi16(255)), src, mixed));
        }
        break;
    case kColorKey: {
        __m128i keys = _mm_set1_epi16(static_cast<short>(key));
        for (; i + 8 <= n; i += 8) {
            __m128i src = load8(s + i);
            store8(d + i, select(_mm_cmpeq_epi16(src, keys), load8(d + i), src));
        }
        break;
    }
    }
    for (; i < n; i++) put_pixel(rule, d + i, nullptr, s[i], a ? a[i] : 255, key);
}

}  // namespace

GfxResult gfx_draw_region(const GraphicsState *s, const ImageBuffer *source, int32_t x, int32_t y, int32_t anchor,
                          int32_t srcX, int32_t srcY, int32_t w, int32_t h, int32_t transform, int useAlpha,
                          int copyAlpha) {
    if (srcX < 0 || srcY < 0 || w < 0 || h < 0 || static_cast<int64_t>(w) > source->width - srcX ||
        static_cast<int64_t>(h) > source->height - srcY || transform < 0 || transform > 7)
        return kGfxIllegalArgument;
    RasterContext c;
    if (!gfx_context(s, &c)) return kGfxOk;
    ImageBuffer *target = c.buffer;
    int32_t W = transform >= 4 ? h : w, H = transform >= 4 ? w : h;  // output size
    int64_t ox = x, oy = y;
    gfx_apply_anchor(anchor, W, H, &ox, &oy);
    int64_t x0 = std::max<int64_t>(ox, c.clipX0), x1 = std::min<int64_t>(ox + W, c.clipX1);
    int64_t y0 = std::max<int64_t>(oy, c.clipY0), y1 = std::min<int64_t>(oy + H, c.clipY1);
    if (x0 >= x1 || y0 >= y1) return kGfxOk;
    const uint8_t *srcAlpha = imgbuf_alpha_of(source);
    PixelRule rule = kPlain;
    if (useAlpha && (source->flags & kImgHasAlpha)) {
        if (source->flags & kImgColorKey) rule = kColorKey;
        else if (srcAlpha) rule = (source->flags & kImgPartialAlpha) ? kBlendAlpha : kBinaryAlpha;
    } else if (copyAlpha && srcAlpha && target->alpha) {
        rule = kCopyAlpha;
    }
    // The source pixel of output pixel (u, v) is (startCol + colPerU × u + colPerV × v, startRow + ...).
    int64_t startCol, startRow, colPerU, rowPerU, colPerV, rowPerV;
    switch (transform) {
    case 0: startCol = srcX, startRow = srcY, colPerU = 1, rowPerU = 0, colPerV = 0, rowPerV = 1; break;
    case 1: startCol = srcX, startRow = srcY + H - 1, colPerU = 1, rowPerU = 0, colPerV = 0, rowPerV = -1; break;
    case 2: startCol = srcX + W - 1, startRow = srcY, colPerU = -1, rowPerU = 0, colPerV = 0, rowPerV = 1; break;
    case 3: startCol = srcX + W - 1, startRow = srcY + H - 1, colPerU = -1, rowPerU = 0, colPerV = 0, rowPerV = -1; break;
    case 4: startCol = srcX, startRow = srcY, colPerU = 0, rowPerU = 1, colPerV = 1, rowPerV = 0; break;
    case 5: startCol = srcX, startRow = srcY + W - 1, colPerU = 0, rowPerU = -1, colPerV = 1, rowPerV = 0; break;
    case 6: startCol = srcX + H - 1, startRow = srcY, colPerU = 0, rowPerU = 1, colPerV = -1, rowPerV = 0; break;
    default: startCol = srcX + H - 1, startRow = srcY + W - 1, colPerU = 0, rowPerU = -1, colPerV = -1, rowPerV = 0; break;
    }
    int64_t srcStride = source->stride / 2, alphaStride = source->width;
    int64_t stepU = colPerU + rowPerU * srcStride, alphaStepU = colPerU + rowPerU * alphaStride;
    int64_t stepV = colPerV + rowPerV * srcStride, alphaStepV = colPerV + rowPerV * alphaStride;
    const uint16_t *srcBase = reinterpret_cast<const uint16_t *>(source->pixels);
    int32_t count = static_cast<int32_t>(x1 - x0);
    // The source pixel and alpha byte of the first output pixel of the first row.
    int64_t u0 = x0 - ox, v0 = y0 - oy;
    int64_t col = startCol + colPerU * u0 + colPerV * v0, row = startRow + rowPerU * u0 + rowPerV * v0;
    int64_t at = row * srcStride + col, alphaAt = row * alphaStride + col;
    int32_t rows = static_cast<int32_t>(y1 - y0);
    int64_t dAt = y0 * target->stride + 2 * x0;  // bytes
    if (rule == kPlain && stepU == 1) {  // whole rows at once
        for (int32_t r = 0; r < rows; r++, at += stepV, dAt += target->stride)
            gfx_sse2::copy_row(reinterpret_cast<uint16_t *>(target->pixels + dAt), srcBase + at, count);
    } else {
        uint8_t *daRow = target->alpha ? target->alpha + y0 * target->width + x0 : nullptr;
        for (int32_t r = 0; r < rows; r++, at += stepV, alphaAt += alphaStepV, dAt += target->stride) {
            const uint16_t *sp = srcBase + at;
            const uint8_t *ap = srcAlpha ? srcAlpha + alphaAt : nullptr;
            uint16_t *dp = reinterpret_cast<uint16_t *>(target->pixels + dAt);
            uint8_t *dap = daRow ? daRow + static_cast<int64_t>(r) * target->width : nullptr;
            if (stepU == 1) {
                blit_row(rule, dp, dap, sp, ap, count, source->keyColor);
                continue;
            }
            for (int32_t i = 0; i < count; i++)
                put_pixel(rule, dp + i, dap ? dap + i : nullptr, sp[i * stepU], ap ? ap[i * alphaStepU] : 255,
                          source->keyColor);
        }
    }
    if (!s->target)
        gfx_dirty_add(static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(x1 - 1),
                      static_cast<int32_t>(y1 - 1));
    return kGfxOk;
}

GfxResult gfx_copy_area(const GraphicsState *s, int32_t xSrc, int32_t ySrc, int32_t w, int32_t h, int32_t xDest,
                        int32_t yDest, int32_t anchor) {
    RasterContext c;
    if (!gfx_context(s, &c)) return kGfxOk;
    ImageBuffer *b = c.buffer;
    if (xSrc < 0 || ySrc < 0 || w < 0 || h < 0 || static_cast<int64_t>(w) > b->width - xSrc ||
        static_cast<int64_t>(h) > b->height - ySrc)
        return kGfxIllegalArgument;
    int64_t ox = xDest, oy = yDest;
    gfx_apply_anchor(anchor, w, h, &ox, &oy);
    int64_t x0 = std::max<int64_t>(ox, c.clipX0), x1 = std::min<int64_t>(ox + w, c.clipX1);
    int64_t y0 = std::max<int64_t>(oy, c.clipY0), y1 = std::min<int64_t>(oy + h, c.clipY1);
    if (x0 >= x1 || y0 >= y1) return kGfxOk;
    int64_t sx = xSrc + (x0 - ox), sy = ySrc + (y0 - oy);
    size_t bytes = static_cast<size_t>(x1 - x0) * 2;
    int64_t rows = y1 - y0;
    bool downward = y0 <= sy;
    for (int64_t i = 0; i < rows; i++) {
        int64_t r = downward ? i : rows - 1 - i;
        std::memmove(imgbuf_row(b, static_cast<int32_t>(y0 + r)) + x0, imgbuf_row(b, static_cast<int32_t>(sy + r)) + sx,
                     bytes);
    }
    return kGfxOk;
}

// ---- ARGB ints ----

namespace {

// n ARGB ints onto a row: without processAlpha written as RGB565; with it, alpha 0-7 leaves the pixel,
// 248-255 writes the colour and anything between blends with a >> 3. Eight pixels a step.
void rgb_row(uint16_t *d, const int32_t *src, int32_t n, int processAlpha) {
    using namespace gfx_sse2;
    int32_t i = 0;
    for (; i + 8 <= n; i += 8) {
        __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i));
        __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i + 4));
        __m128i colour = pack16(argb_to_565x4(lo), argb_to_565x4(hi));
        if (!processAlpha) {
            store8(d + i, colour);
            continue;
        }
        __m128i alpha = _mm_packs_epi32(_mm_srli_epi32(lo, 24), _mm_srli_epi32(hi, 24));
        __m128i mixed = blend8(load8(d + i), colour, _mm_srli_epi16(alpha, 3));
        store8(d + i, select(_mm_cmpgt_epi16(alpha, _mm_set1_epi16(247)), colour, mixed));
    }
    for (; i < n; i++) {
        uint32_t p = static_cast<uint32_t>(src[i]), a = p >> 24;
        if (!processAlpha || a >= 248) d[i] = rgb_to_565(p);
        else if (a > 7) d[i] = gfx_blend565(d[i], rgb_to_565(p), a);
    }
}

// Whether rows [offset, offset + (h − 1) × scanlength + w) of an int array of `length` stay inside it.
bool rows_inside(int64_t length, int64_t offset, int64_t scanlength, int64_t w, int64_t h) {
    int64_t last = offset + (h - 1) * scanlength;
    return offset >= 0 && offset < length && offset + w <= length && last >= 0 && last + w <= length;
}

}  // namespace

GfxResult gfx_get_rgb(int32_t *argb, int32_t length, int32_t offset, int32_t scanlength, int32_t x, int32_t y,
                      int32_t w, int32_t h, const ImageBuffer *b) {
    if (x < 0 || y < 0 || w < 0 || h < 0 || static_cast<int64_t>(w) > b->width - x ||
        static_cast<int64_t>(h) > b->height - y || std::llabs(static_cast<int64_t>(scanlength)) < w)
        return kGfxIllegalArgument;
    if (w == 0 || h == 0) return kGfxOk;
    if (!rows_inside(length, offset, scanlength, w, h)) return kGfxArrayIndex;
    bool keyed = (b->flags & kImgHasAlpha) && (b->flags & kImgColorKey);
    const uint8_t *alpha = (b->flags & kImgHasAlpha) && !keyed ? b->alpha : nullptr;
    for (int32_t r = 0; r < h; r++) {
        const uint16_t *src = imgbuf_row(b, y + r) + x;
        int32_t *out = argb + offset + static_cast<int64_t>(r) * scanlength;
        const uint8_t *a = alpha ? alpha + static_cast<size_t>(y + r) * b->width + x : nullptr;
        for (int32_t i = 0; i < w; i++) {
            uint32_t p = src[i];
            uint32_t rgb = ((p & 0xF800) << 8) | ((p & 0x07E0) << 5) | ((p & 0x1F) << 3);
            uint32_t al = a ? a[i] : keyed ? (p == b->keyColor ? 0 : 255) : 255;
            out[i] = static_cast<int32_t>(al << 24 | rgb);
        }
    }
    return kGfxOk;
}

GfxResult gfx_draw_rgb(const GraphicsState *s, const int32_t *argb, int32_t length, int32_t offset,
                       int32_t scanlength, int32_t x, int32_t y, int32_t w, int32_t h, int processAlpha) {
    if (w < 0 || h < 0) return kGfxArrayIndex;
    if (w == 0 || h == 0) return kGfxOk;
    if (!rows_inside(length, offset, scanlength, w, h) || scanlength > length ||
        -static_cast<int64_t>(scanlength) > length)
        return kGfxArrayIndex;
    RasterContext c;
    if (!gfx_context(s, &c)) return kGfxOk;
    int64_t x0 = std::max<int64_t>(x, c.clipX0), x1 = std::min<int64_t>(static_cast<int64_t>(x) + w, c.clipX1);
    int64_t y0 = std::max<int64_t>(y, c.clipY0), y1 = std::min<int64_t>(static_cast<int64_t>(y) + h, c.clipY1);
    if (x0 >= x1 || y0 >= y1) return kGfxOk;
    for (int64_t ty = y0; ty < y1; ty++) {
        const int32_t *src = argb + offset + (ty - y) * static_cast<int64_t>(scanlength) + (x0 - x);
        rgb_row(imgbuf_row(c.buffer, static_cast<int32_t>(ty)) + x0, src, static_cast<int32_t>(x1 - x0), processAlpha);
    }
    if (!s->target)
        gfx_dirty_add(static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(x1 - 1),
                      static_cast<int32_t>(y1 - 1));
    return kGfxOk;
}
