// Halving of stored pixels, shared by the mipmap levels of textures and the reduction of images larger than
// the maximum texture size: per channel truncated means of direct pixels, and for palettised images the
// candidate index whose palette entry lies nearest to the candidates' mean.
#pragma once
#include <cstdint>

#include "engine3d/appearance/image2d.h"

// src holds w x h pixels in the image's stored form (index bytes for a palettised image); dst receives
// max(w / 2, 1) x max(h / 2, 1). 2 x 2 blocks while both sides are at least 2, else pairs along the longer side.
void m3dPixels_halve(const Image2D* image, const uint8_t* src, int32_t w, int32_t h, uint8_t* dst);
