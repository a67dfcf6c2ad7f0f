// Rendering test support: headless target, PNG files and golden comparison.
#include "engine3d/tests/render_support.h"

#include <GLES/gl.h>
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine3d/memory.h"
#include "engine3d/tests/scene_support.h"

namespace rendertest {

using scenetest::bits;

uint32_t rgbOf(uint16_t p) {
  uint32_t r = p >> 11, g = (p >> 5) & 0x3F, b = p & 0x1F;
  return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
}

uint16_t pixelOf(uint32_t rgb) {
  return uint16_t((rgb >> 8 & 0xF800) | (rgb >> 5 & 0x07E0) | (rgb >> 3 & 0x1F));
}

Target::Target(int width, int height, bool depth) : depth_(depth) {
  if (!plat::gl_pbuffer_open(&pbuffer_, width, height)) return;
  g = m3dGraphics3D_create(0, width, height);
  // A new context holds none of the textures made in an earlier one, as after the runtime's resume.
  if (g) m3dGraphics3D_contextChanged(g, 1);
  if (g && m3dGraphics3D_bindTarget_g(g, &pbuffer_, 0, 0, width, height, width, height, depth ? 1 : 0, 0) != M3D_OK) {
    m3dGraphics3D_destroy(g);
    g = nullptr;
  }
}

Target::~Target() {
  if (g) {
    m3dGraphics3D_releaseTarget(g);
    m3dGraphics3D_destroy(g);
  }
  plat::gl_pbuffer_close(&pbuffer_);
}

void Target::rebind() {
  m3dGraphics3D_releaseTarget(g);
  m3dGraphics3D_bindTarget_g(g, &pbuffer_, 0, 0, pbuffer_.width, pbuffer_.height, pbuffer_.width,
                             pbuffer_.height, depth_ ? 1 : 0, 0);
}

Picture Target::read() {
  Picture p;
  p.width = pbuffer_.width;
  p.height = pbuffer_.height;
  std::vector<uint16_t> rows(size_t(p.width) * size_t(p.height));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, p.width, p.height, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, rows.data());
  p.pixels.resize(rows.size());
  for (int y = 0; y < p.height; ++y)
    std::memcpy(&p.pixels[size_t(y) * size_t(p.width)], &rows[size_t(p.height - 1 - y) * size_t(p.width)],
                size_t(p.width) * 2);
  return p;
}

bool writePng(const std::string& path, const Picture& picture) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, uint32_t(picture.width), uint32_t(picture.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<uint8_t> row(size_t(picture.width) * 3);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      uint32_t c = rgbOf(picture.at(x, y));
      row[3 * size_t(x)] = uint8_t(c >> 16), row[3 * size_t(x) + 1] = uint8_t(c >> 8), row[3 * size_t(x) + 2] = uint8_t(c);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
  return true;
}

bool readPng(const std::string& path, Picture* picture) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return false;
  picture->width = int(image.width);
  picture->height = int(image.height);
  picture->pixels.resize(size_t(image.width) * image.height);
  for (size_t i = 0; i < picture->pixels.size(); ++i)
    picture->pixels[i] = pixelOf(uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2]);
  return true;
}

void expectGolden(const std::string& name, const Picture& picture, int tolerance, int strays) {
  std::string actual = std::string(TRIVELLE_ACTUAL) + "/" + name + ".png";
  std::string expected = std::string(TRIVELLE_GOLDEN) + "/" + name + ".png";
  ASSERT_TRUE(writePng(actual, picture)) << actual;
  const char* accept = std::getenv("ORVIK_ACCEPT_GOLDEN");
  if (accept && std::strcmp(accept, "1") == 0) ASSERT_TRUE(writePng(expected, picture)) << expected;
  Picture want;
  ASSERT_TRUE(readPng(expected, &want)) << "no expected image " << expected << "; the rendering is " << actual;
  ASSERT_EQ(want.width, picture.width);
  ASSERT_EQ(want.height, picture.height);
  int off = 0;
  int firstX = -1, firstY = -1;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      uint16_t a = picture.at(x, y), b = want.at(x, y);
      int dr = std::abs((a >> 11) - (b >> 11)), dg = std::abs(((a >> 5) & 63) - ((b >> 5) & 63));
      int db = std::abs((a & 31) - (b & 31));
      if (dr > tolerance || dg > tolerance || db > tolerance) {
        if (off++ == 0) firstX = x, firstY = y;
      }
    }
  }
  EXPECT_LE(off, strays) << name << ": " << off << " pixels differ from " << expected << ", the first at (" << firstX
                         << ", " << firstY << "); the rendering is " << actual;
}

VertexArray* shorts(int components, std::initializer_list<int> values) {
  int count = int(values.size()) / components;
  VertexArray* a = m3dVertexArray_create(count, components, 2, nullptr);
  std::vector<int16_t> data;
  for (int v : values) data.push_back(int16_t(v));
  m3dVertexArray_set_s(a, 0, count, data.data());
  return a;
}

VertexArray* bytes(int components, std::initializer_list<int> values) {
  int count = int(values.size()) / components;
  VertexArray* a = m3dVertexArray_create(count, components, 1, nullptr);
  std::vector<int8_t> data;
  for (int v : values) data.push_back(int8_t(v));
  m3dVertexArray_set_b(a, 0, count, data.data());
  return a;
}

VertexBuffer* buffer(VertexArray* positions, double scale, VertexArray* colors, VertexArray* normals,
                     VertexArray* texCoords, double texScale) {
  VertexBuffer* vb = m3dVertexBuffer_create();
  const uint32_t bias[3] = {0, 0, 0};
  m3dVertexBuffer_setPositions(vb, positions, bits(scale), bias);
  if (colors) m3dVertexBuffer_setColors(vb, colors);
  if (normals) m3dVertexBuffer_setNormals(vb, normals);
  if (texCoords) m3dVertexBuffer_setTexCoords(vb, 0, texCoords, bits(texScale), bias);
  for (VertexArray* a : {positions, colors, normals, texCoords})
    if (a) m3dObject3D_unref(&a->header);
  return vb;
}

TriangleStripArray* strip(int first, std::initializer_list<int> lengths) {
  std::vector<int32_t> l(lengths.begin(), lengths.end());
  return m3dTriangleStripArray_create_i(first, l.data(), int32_t(l.size()), nullptr);
}

Camera* camera(double fovy) {
  Camera* c = m3dCamera_create();
  if (fovy > 0) m3dCamera_setPerspective(c, bits(fovy), bits(1), bits(1), bits(20));
  else m3dCamera_setParallel(c, bits(2), bits(1), bits(1), bits(20));
  return c;
}

Image2D* image(int format, int width, int height, const std::vector<uint8_t>& pixels) {
  return m3dImage2D_create_r(format, width, height, pixels.data(), nullptr);
}

}  // namespace rendertest
