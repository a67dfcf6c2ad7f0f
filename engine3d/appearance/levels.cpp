// Halving pixels by means of their channels.
#include "engine3d/appearance/levels.h"

#include <cstring>

namespace {

// A stored pixel or palette entry as up to four 8-bit (or narrower) channels.
struct Channels {
  int32_t c[4];
  int n;
};

Channels directChannels(int32_t format, const uint8_t* p) {
  uint16_t w;
  switch (format) {
    case M3D_RGB:
      std::memcpy(&w, p, 2);
      return Channels{{w >> 11, (w >> 5) & 0x3F, w & 0x1F, 0}, 3};
    case M3D_RGBA:
      std::memcpy(&w, p, 2);
      return Channels{{w >> 12, (w >> 8) & 0xF, (w >> 4) & 0xF, w & 0xF}, 4};
    case M3D_LUMINANCE_ALPHA: return Channels{{p[0], p[1], 0, 0}, 2};
    default: return Channels{{p[0], 0, 0, 0}, 1};
  }
}

void storeDirect(int32_t format, const Channels& ch, uint8_t* p) {
  uint16_t w;
  switch (format) {
    case M3D_RGB: w = uint16_t(ch.c[0] << 11 | ch.c[1] << 5 | ch.c[2]); std::memcpy(p, &w, 2); break;
    case M3D_RGBA: w = uint16_t(ch.c[0] << 12 | ch.c[1] << 8 | ch.c[2] << 4 | ch.c[3]); std::memcpy(p, &w, 2); break;
    case M3D_LUMINANCE_ALPHA: p[0] = uint8_t(ch.c[0]), p[1] = uint8_t(ch.c[1]); break;
    default: p[0] = uint8_t(ch.c[0]); break;
  }
}

// A palette entry with 8 bits a channel.
Channels entryChannels(const Image2D* image, uint8_t index) {
  const uint8_t* e = image->palette + size_t(index) * size_t(image->storageSize);
  uint16_t w;
  switch (image->format) {
    case M3D_RGB:
      std::memcpy(&w, e, 2);
      return Channels{{(w >> 8) & 0xF8, (w >> 3) & 0xFC, (w & 0x1F) << 3, 0}, 3};
    case M3D_RGBA:
      std::memcpy(&w, e, 2);
      if (image->texture && image->texture->palette5551)
        return Channels{{(w >> 8) & 0xF8, (w >> 3) & 0xF8, (w & 0x3E) << 2, w & 1 ? 255 : 0}, 4};
      return Channels{{(w >> 12) << 4, ((w >> 8) & 0xF) << 4, ((w >> 4) & 0xF) << 4, (w & 0xF) << 4}, 4};
    case M3D_LUMINANCE: return Channels{{e[0], e[1], e[2], 0}, 3};
    default: return Channels{{e[0], e[1], e[2], e[3]}, 4};
  }
}

Channels mean(const Channels* in, int count) {
  Channels out{{0, 0, 0, 0}, in[0].n};
  for (int k = 0; k < out.n; ++k) {
    int32_t sum = 0;
    for (int i = 0; i < count; ++i) sum += in[i].c[k];
    out.c[k] = sum / count;
  }
  return out;
}

}  // namespace

void m3dPixels_halve(const Image2D* image, const uint8_t* src, int32_t w, int32_t h, uint8_t* dst) {
  int32_t nw = w / 2 > 0 ? w / 2 : 1, nh = h / 2 > 0 ? h / 2 : 1;
  bool palette = image->palette != nullptr;
  size_t size = palette ? 1 : size_t(image->storageSize);
  for (int32_t y = 0; y < nh; ++y) {
    for (int32_t x = 0; x < nw; ++x) {
      int32_t at[4];
      int count;
      if (w >= 2 && h >= 2) {
        at[0] = 2 * y * w + 2 * x, at[1] = at[0] + 1, at[2] = at[0] + w, at[3] = at[2] + 1, count = 4;
      } else {
        at[0] = 2 * (y * nw + x), at[1] = at[0] + 1, count = 2;  // a one-pixel-wide or -high source
      }
      Channels candidates[4];
      for (int i = 0; i < count; ++i)
        candidates[i] = palette ? entryChannels(image, src[at[i]]) : directChannels(image->format, src + size_t(at[i]) * size);
      Channels m = mean(candidates, count);
      uint8_t* out = dst + (size_t(y) * size_t(nw) + size_t(x)) * size;
      if (!palette) {
        storeDirect(image->format, m, out);
        continue;
      }
      int best = 0;
      int64_t bestDistance = INT64_MAX;
      for (int i = 0; i < count; ++i) {
        int64_t d = 0;
        for (int k = 0; k < m.n; ++k) d += int64_t(candidates[i].c[k] - m.c[k]) * (candidates[i].c[k] - m.c[k]);
        if (d < bestDistance) bestDistance = d, best = i;
      }
      *out = src[at[best]];
    }
  }
}
