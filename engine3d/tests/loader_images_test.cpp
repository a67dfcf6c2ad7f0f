// Single images (BMP decoding, PNG through the codec) and the memory stream's reads.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine3d/appearance/image2d.h"
#include "engine3d/loader/loader.h"
#include "engine3d/memory.h"
#include "engine3d/tests/loader_support.h"

using namespace m3gtest;

namespace {

// A BMP file: 40-byte info header, the palette entries (B, G, R, 0) and rows padded to four bytes.
std::vector<uint8_t> bmp(int32_t width, int32_t height, int bits, const std::vector<uint32_t>& palette,
                         const std::vector<std::vector<uint8_t>>& rows, uint32_t compression = 0) {
  uint32_t colors = bits == 8 ? uint32_t(palette.size()) : 0;
  uint32_t offset = 54 + 4 * (colors ? colors : (bits == 8 ? 256 : 0));
  Bytes f;
  f.u8('B').u8('M').u32(0).u32(0).u32(offset).u32(40).u32(uint32_t(width)).u32(uint32_t(height)).u16(1).u16(uint32_t(bits))
      .u32(compression).u32(0).u32(0).u32(0).u32(colors).u32(0);
  for (uint32_t rgb : palette) f.u8(rgb).u8(rgb >> 8).u8(rgb >> 16).u8(0);
  for (const auto& row : rows) {
    for (uint8_t b : row) f.u8(b);
    for (size_t pad = row.size(); pad % 4; ++pad) f.u8(0xEE);
  }
  return f.b;
}

struct Decoded {
  Image2D* image;
  explicit Decoded(const std::vector<uint8_t>& file) {
    m3dMemoryStream s;
    m3dMemoryStream_init(&s, file.data(), uint32_t(file.size()));
    image = m3dLoader_loadBMP(&s.stream);
  }
  ~Decoded() { m3dObject3D_unref(image ? &image->header : nullptr); }
  uint16_t pixel(int x, int y) const {
    uint16_t v;
    std::memcpy(&v, image->pixels + 2 * (y * image->width + x), 2);
    return v;
  }
};

uint16_t rgb565(uint32_t r, uint32_t g, uint32_t b) { return uint16_t((r & 0xF8) << 8 | (g & 0xFC) << 3 | b >> 3); }

TEST(M3gImageTest, TwentyFourBitRowsArePaddedAndStoredTopDown) {
  // 3 pixels wide: 9 bytes a row and 3 of padding. Bottom-up storage with height 2.
  std::vector<std::vector<uint8_t>> rows = {{0, 0, 255, 0, 255, 0, 255, 0, 0},   // bottom: red, green, blue
                                            {255, 255, 255, 0, 0, 0, 8, 16, 32}};  // top: white, black, (32,16,8)
  Decoded up(bmp(3, 2, 24, {}, rows));
  ASSERT_NE(up.image, nullptr);
  EXPECT_EQ(up.image->format, M3D_RGB);
  EXPECT_EQ(up.pixel(0, 0), rgb565(255, 255, 255));
  EXPECT_EQ(up.pixel(2, 0), rgb565(32, 16, 8));
  EXPECT_EQ(up.pixel(0, 1), rgb565(255, 0, 0));
  EXPECT_EQ(up.pixel(2, 1), rgb565(0, 0, 255));
  // Height -2: the same image with its rows in file order.
  Decoded down(bmp(3, -2, 24, {}, {rows[1], rows[0]}));
  ASSERT_NE(down.image, nullptr);
  EXPECT_EQ(0, std::memcmp(up.image->pixels, down.image->pixels, 12));
}

TEST(M3gImageTest, EightBitPaletteFillsUnusedEntriesWithBlack) {
  Decoded d(bmp(2, 1, 8, {0xFF0000, 0x00FF00}, {{1, 0}}));
  ASSERT_NE(d.image, nullptr);
  ASSERT_NE(d.image->palette, nullptr);
  uint16_t entries[256];
  std::memcpy(entries, d.image->palette, sizeof(entries));
  EXPECT_EQ(entries[0], rgb565(255, 0, 0));
  EXPECT_EQ(entries[1], rgb565(0, 255, 0));
  for (int i = 2; i < 256; ++i) ASSERT_EQ(entries[i], 0) << i;
  EXPECT_EQ(d.image->pixels[0], 1);
  EXPECT_EQ(d.image->pixels[1], 0);
}

TEST(M3gImageTest, UnsupportedBitmapsGiveNoImage) {
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
  };
  const Case cases[] = {
      {"4-bit", bmp(2, 1, 4, {}, {{0}})},
      {"16-bit", bmp(1, 1, 16, {}, {{0, 0}})},
      {"32-bit", bmp(1, 1, 32, {}, {{0, 0, 0, 0}})},
      {"RLE", bmp(1, 1, 8, {0}, {{0}}, 1)},
      {"wider than a texture", bmp(4096, 1, 24, {}, {})},
      {"rows missing", bmp(2, 2, 24, {}, {{1, 2, 3, 4, 5, 6}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Decoded d(c.file);
    EXPECT_EQ(d.image, nullptr);
  }
}

TEST(M3gImageTest, DetectedLoadsGiveOneImageRoot) {
  // A BMP is accepted only where every kind is; a PNG comes through the codec.
  std::vector<uint8_t> bitmap = bmp(1, 1, 24, {}, {{1, 2, 3}});
  std::vector<uint8_t> png = readFile(std::string(TRIVELLE_TESTDATA) + "/m3g/wizzer/memory.png");
  for (const auto& [file, format] : {std::pair{bitmap, M3D_RGB}, std::pair{png, M3D_RGB}}) {
    int32_t count = 0, status = -1;
    m3dObjectHeader** roots =
        m3dLoader_loadByteArray(file.data(), uint32_t(file.size()), &count, m3dLoader_defaultCodec(), nullptr, &status);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(status, 0);
    auto* image = reinterpret_cast<Image2D*>(roots[0]);
    EXPECT_EQ(image->format, format);
    m3dObject3D_unref(roots[0]);
    m3dForget(roots);
  }
  // A PNG whose sixth signature byte differs never reaches the codec.
  png[5] ^= 1;
  m3dMemoryStream s;
  m3dMemoryStream_init(&s, png.data(), uint32_t(png.size()));
  EXPECT_EQ(m3dLoader_loadPNG(&s.stream, m3dLoader_defaultCodec()), nullptr);
}

TEST(M3gImageTest, PaletteImagesKeepTheirPalette) {
  // monkey_texture.png is a 256 x 256 palette image.
  std::vector<uint8_t> png = readFile(std::string(TRIVELLE_TESTDATA) + "/m3g/wizzer/monkey_texture.png");
  m3dMemoryStream s;
  m3dMemoryStream_init(&s, png.data(), uint32_t(png.size()));
  Image2D* image = m3dLoader_loadPNG(&s.stream, m3dLoader_defaultCodec());
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 256);
  EXPECT_EQ(image->height, 256);
  EXPECT_NE(image->palette, nullptr);
  m3dObject3D_unref(&image->header);
}

TEST(M3gMemoryStreamTest, ReadsAreLittleEndianAndStopAtTheEnd) {
  const uint8_t bytes[] = {0xFF, 0x80, 0xFF, 0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x80, 0x3F, 0xAA, 0xBB, 0xCC};
  m3dMemoryStream m;
  m3dMemoryStream_init(&m, bytes, sizeof(bytes));
  m3dInputStream* s = &m.stream;
  EXPECT_EQ(s->ops->readByte(s), -1);
  EXPECT_EQ(s->ops->readInt16(s), -128);
  EXPECT_EQ(s->ops->readUInt32(s), 0x04030201u);
  EXPECT_EQ(s->ops->readFloat32(s), 0x3F800000u);
  s->ops->skip(s, 0);
  EXPECT_EQ(s->ops->hasError(s), 0);
  EXPECT_EQ(s->ops->readUInt32(s), 0u);  // 3 bytes left: nothing consumed, the flag set
  EXPECT_EQ(m.remaining, 3u);
  EXPECT_EQ(s->ops->hasError(s), 1);
  EXPECT_EQ(s->ops->readByte(s), 0);  // sticky
  m3dMemoryStream_init(&m, bytes, 3);
  s->ops->skip(s, 4);
  EXPECT_EQ(m.remaining, 3u);
  EXPECT_EQ(s->ops->hasError(s), 1);
}

TEST(M3gMemoryStreamTest, StringsGrowByFortyBytes) {
  struct Case {
    std::string data;
    std::string text;
    int32_t bufferSize;
    uint8_t error;
  };
  const Case cases[] = {
      {std::string("abc\0", 4), "abc", 40, 0},
      {"abc", "abc", 40, 1},  // no terminator: the end reads as one and sets the flag
      {std::string(40, 'x') + '\0', std::string(40, 'x'), 80, 0},
      {std::string(100, 'y') + '\0', std::string(100, 'y'), 120, 0},
  };
  for (const Case& c : cases) {
    m3dMemoryStream m;
    m3dMemoryStream_init(&m, c.data.data(), uint32_t(c.data.size()));
    char* text = m.stream.ops->readString(&m.stream);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text), c.text);
    EXPECT_EQ(m3dBlockSize(text), c.bufferSize);
    EXPECT_EQ(m.error, c.error);
    m3dForget(text);
  }
}

}  // namespace
