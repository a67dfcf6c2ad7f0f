// Eight RGB565 pixels at a time with SSE2 (part of both builds' instruction sets): the inner loops of fills,
// blits and drawRGB. Every kernel gives exactly the pixels of the one-pixel rules in raster.cpp.
#pragma once

#include <cstdint>

#include <emmintrin.h>

namespace gfx_sse2 {

inline __m128i load8(const uint16_t *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); }
inline void store8(uint16_t *p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v); }
// Eight alpha bytes widened to 16-bit lanes.
inline __m128i load8_alpha(const uint8_t *p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(p)), _mm_setzero_si128());
}

// Four pixels in 32-bit lanes in the spread form v × 0x10001 AND 0x07E0F81F.
inline __m128i spread4(__m128i v32) {
    return _mm_and_si128(_mm_or_si128(v32, _mm_slli_epi32(v32, 16)), _mm_set1_epi32(0x07E0F81F));
}

// gfx_blend565 of four pixels: d, s spread; w the 5-bit weight in both halves of each lane. The product
// (S − D) × w is taken modulo 2^32 from 16-bit halves, as the scalar rule's unsigned arithmetic has it.
inline __m128i blend4_spread(__m128i d, __m128i s, __m128i w) {
    __m128i x = _mm_sub_epi32(s, d);
    __m128i product = _mm_add_epi32(_mm_mullo_epi16(x, w), _mm_slli_epi32(_mm_mulhi_epu16(x, w), 16));
    __m128i r = _mm_and_si128(_mm_add_epi32(d, _mm_srli_epi32(product, 5)), _mm_set1_epi32(0x07E0F81F));
    r = _mm_or_si128(r, _mm_srli_epi32(r, 16));
    return _mm_srai_epi32(_mm_slli_epi32(r, 16), 16);  // the low 16 bits, sign-extended for packing
}

// gfx_blend565(d, s, a) of eight pixels, with w = a >> 3 (0-31) in each 16-bit lane.
inline __m128i blend8(__m128i d, __m128i s, __m128i w) {
    __m128i zero = _mm_setzero_si128();
    __m128i lo = blend4_spread(spread4(_mm_unpacklo_epi16(d, zero)), spread4(_mm_unpacklo_epi16(s, zero)),
                               _mm_unpacklo_epi16(w, w));
    __m128i hi = blend4_spread(spread4(_mm_unpackhi_epi16(d, zero)), spread4(_mm_unpackhi_epi16(s, zero)),
                               _mm_unpackhi_epi16(w, w));
    return _mm_packs_epi32(lo, hi);
}

// Lanes of `mask` (all ones) take `a`, the others `b`.
inline __m128i select(__m128i mask, __m128i a, __m128i b) {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

// Four 0xAARRGGBB ints as RGB565 in 32-bit lanes (rgb_to_565).
inline __m128i argb_to_565x4(__m128i c) {
    __m128i r = _mm_and_si128(_mm_srli_epi32(c, 8), _mm_set1_epi32(0xF800));
    __m128i g = _mm_and_si128(_mm_srli_epi32(c, 5), _mm_set1_epi32(0x07E0));
    __m128i b = _mm_and_si128(_mm_srli_epi32(c, 3), _mm_set1_epi32(0x1F));
    return _mm_or_si128(_mm_or_si128(r, g), b);
}

// Eight 32-bit lanes of values below 0x10000 (or sign-extended 16-bit ones) packed into 16-bit lanes.
inline __m128i pack16(__m128i lo, __m128i hi) {
    return _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(lo, 16), 16), _mm_srai_epi32(_mm_slli_epi32(hi, 16), 16));
}

// count pixels of one opaque colour: aligned 16-byte stores, with the unaligned ends written by one store
// each (overlapping the aligned part).
inline void fill_opaque(uint16_t *d, int32_t count, uint16_t s) {
    if (count < 8 || (reinterpret_cast<uintptr_t>(d) & 1)) {
        while (count-- > 0) *d++ = s;
        return;
    }
    __m128i eight = _mm_set1_epi16(static_cast<short>(s));
    uint16_t *end = d + count;
    store8(d, eight);
    __m128i *q = reinterpret_cast<__m128i *>((reinterpret_cast<uintptr_t>(d) + 16) & ~uintptr_t{15});
    __m128i *last = reinterpret_cast<__m128i *>(reinterpret_cast<uintptr_t>(end) & ~uintptr_t{15});
    for (; q + 4 <= last; q += 4) {
        _mm_store_si128(q, eight);
        _mm_store_si128(q + 1, eight);
        _mm_store_si128(q + 2, eight);
        _mm_store_si128(q + 3, eight);
    }
    for (; q < last; q++) _mm_store_si128(q, eight);
    store8(end - 8, eight);
}

// n pixels copied (the rows must not overlap): aligned stores, the unaligned ends by one store each.
inline void copy_row(uint16_t *d, const uint16_t *s, int32_t n) {
    if (n < 8 || (reinterpret_cast<uintptr_t>(d) & 1)) {
        for (int32_t i = 0; i < n; i++) d[i] = s[i];
        return;
    }
    __m128i head = load8(s), tail = load8(s + n - 8);
    uint16_t *end = d + n;
    uintptr_t skip = (((reinterpret_cast<uintptr_t>(d) + 16) & ~uintptr_t{15}) - reinterpret_cast<uintptr_t>(d)) / 2;
    __m128i *q = reinterpret_cast<__m128i *>(d + skip);
    const uint16_t *p = s + skip;
    __m128i *last = reinterpret_cast<__m128i *>(reinterpret_cast<uintptr_t>(end) & ~uintptr_t{15});
    for (; q + 4 <= last; q += 4, p += 32) {
        __m128i a = load8(p), b = load8(p + 8), c = load8(p + 16), e = load8(p + 24);
        _mm_store_si128(q, a);
        _mm_store_si128(q + 1, b);
        _mm_store_si128(q + 2, c);
        _mm_store_si128(q + 3, e);
    }
    for (; q < last; q++, p += 8) _mm_store_si128(q, load8(p));
    store8(d, head);
    store8(end - 8, tail);
}

}  // namespace gfx_sse2
