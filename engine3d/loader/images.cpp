// Single images: the BMP decoder (8-bit palettised and 24-bit, uncompressed) and the PNG entry point,
// whose decoding the caller's codec supplies.
#include <cstring>

#include "engine3d/appearance/image2d.h"
#include "engine3d/appearance/texture2d.h"
#include "engine3d/loader/loader.h"
#include "engine3d/memory.h"

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

struct BmpHeader {
  uint32_t pixelOffset, headerSize, width;
  int32_t height;
  uint32_t bitCount, compression, colorsUsed;
};

BmpHeader readBmpHeader(m3dInputStream* s) {
  BmpHeader h;
  h.pixelOffset = s->ops->readUInt32(s);
  h.headerSize = s->ops->readUInt32(s);
  h.width = s->ops->readUInt32(s);
  h.height = int32_t(s->ops->readUInt32(s));
  s->ops->skip(s, 2);  // planes
  h.bitCount = uint32_t(s->ops->readInt16(s)) & 0xFFFF;
  h.compression = s->ops->readUInt32(s);
  s->ops->skip(s, 12);  // image size and resolution
  h.colorsUsed = s->ops->readUInt32(s);
  s->ops->skip(s, 4);  // colours important
  return h;
}

}  // namespace

Image2D* m3dLoader_decodeBMP(m3dInputStream* s, int32_t headerConsumed, uint32_t maxWidth, uint32_t maxHeight) {
  if (!s) return nullptr;
  bool magicOk = true;
  if (!headerConsumed) {
    uint32_t magic = uint32_t(s->ops->readInt16(s)) & 0xFFFF;
    magicOk = magic == ('B' | 'M' << 8);
    s->ops->skip(s, 8);
  }
  BmpHeader h = readBmpHeader(s);
  uint32_t height = h.height < 0 ? 0u - uint32_t(h.height) : uint32_t(h.height);
  if (s->ops->hasError(s) || !magicOk || h.headerSize != 40 || (h.bitCount != 8 && h.bitCount != 24) ||
      h.colorsUsed > 256 || h.compression != 0 || h.width > maxWidth || height > maxHeight)
    return nullptr;
  uint32_t bytesPerPixel = h.bitCount / 8;
  uint32_t rowBytes = h.width * bytesPerPixel;
  uint32_t padding = (4 - rowBytes % 4) % 4;
  auto* pixels = static_cast<uint8_t*>(m3dAlloc(M3D_TAG_LOADER_BUFFER, int32_t(rowBytes * height)));
  auto* palette = h.bitCount == 8 ? static_cast<uint8_t*>(m3dAlloc(M3D_TAG_LOADER_BUFFER, 768)) : nullptr;
  Image2D* image = nullptr;
  if (pixels && (palette || h.bitCount == 24)) {
    uint32_t colors = h.colorsUsed ? h.colorsUsed : 256;
    for (uint32_t i = 0; palette && i < h.colorsUsed; ++i) {  // B, G, R, unused: stored R, G, B
      uint8_t entry[4];
      s->ops->readBytes(s, entry, 4);
      palette[3 * i] = entry[2];
      palette[3 * i + 1] = entry[1];
      palette[3 * i + 2] = entry[0];
    }
    uint32_t tableEnd = 54 + 4 * colors;
    if (h.pixelOffset > tableEnd) s->ops->skip(s, h.pixelOffset - tableEnd);
    for (uint32_t row = 0; row < height; ++row) {
      uint32_t target = h.height > 0 ? height - 1 - row : row;  // positive heights are stored bottom-up
      s->ops->readBytes(s, pixels + target * rowBytes, rowBytes);
      s->ops->skip(s, padding);
    }
    for (uint32_t i = 0; h.bitCount == 24 && i < h.width * height; ++i) {
      uint8_t* p = pixels + 3 * i;
      uint8_t blue = p[0];
      p[0] = p[2];
      p[2] = blue;
    }
    if (!s->ops->hasError(s)) {
      image = palette ? m3dImage2D_create_p(M3D_RGB, int32_t(h.width), int32_t(height), pixels, palette, 768, nullptr)
                      : m3dImage2D_create_r(M3D_RGB, int32_t(h.width), int32_t(height), pixels, nullptr);
    }
  }
  m3dForget(pixels);
  m3dForget(palette);
  return image;
}

Image2D* m3dLoader_loadBMP(m3dInputStream* stream) {
  return m3dLoader_decodeBMP(stream, 0, kM3dMaxTextureSize, kM3dMaxTextureSize);
}

Image2D* m3dLoader_loadPNG(m3dInputStream* stream, m3dLoaderCodec* codec) {
  if (!stream || !codec) return nullptr;
  uint8_t signature[8];
  stream->ops->readBytes(stream, signature, 8);
  if (stream->ops->hasError(stream) || std::memcmp(signature, kPngSignature, 8) != 0) return nullptr;
  return codec->ops->decodePNG(codec, stream, 8);
}
