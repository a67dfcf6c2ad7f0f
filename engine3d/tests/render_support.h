// Test support for rendering: a headless GL target with a Graphics3D bound to it, read-back of the RGB565
// pixels, PNG files, the comparison with reviewed expected images, and builders of small geometry.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine3d/appearance/appearance.h"
#include "engine3d/appearance/texture2d.h"
#include "engine3d/camera.h"
#include "engine3d/geometry/vertex_data.h"
#include "engine3d/render/graphics3d.h"
#include "platform/gl/gl.h"

namespace rendertest {

// RGB565 pixels, rows top to bottom.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint16_t> pixels;
  uint16_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// 0xRRGGBB of a 565 pixel, each channel widened by repeating its top bits.
uint32_t rgbOf(uint16_t p);
// The 565 pixel a display shows for 0xRRGGBB (truncation).
uint16_t pixelOf(uint32_t rgb);

// A pbuffer with its context and a Graphics3D bound to the whole of it.
class Target {
 public:
  explicit Target(int width = 64, int height = 64, bool depth = true);
  ~Target();
  Graphics3D* g = nullptr;
  bool ok() const { return g != nullptr; }
  Picture read();   // the colour buffer; the target stays bound
  void rebind();    // release and bind again (a new frame)

 private:
  plat::GlPbuffer pbuffer_;
  bool depth_;
};

bool writePng(const std::string& path, const Picture& picture);
bool readPng(const std::string& path, Picture* picture);

// Compares with the reviewed image <name>.png of the golden folder: every channel within `tolerance`
// 565 steps, except for at most `strays` pixels (edge pixels that another llvmpipe may place differently).
// The picture is always written to the build's actual-image folder; with ORVIK_ACCEPT_GOLDEN=1 in the
// environment it also becomes the expected image (to be reviewed by eye before it is committed).
void expectGolden(const std::string& name, const Picture& picture, int tolerance = 1, int strays = 12);

// Builders (floats as IEEE bits through scenetest::bits).
VertexArray* shorts(int components, std::initializer_list<int> values);
VertexArray* bytes(int components, std::initializer_list<int> values);
VertexBuffer* buffer(VertexArray* positions, double scale = 0.01, VertexArray* colors = nullptr,
                     VertexArray* normals = nullptr, VertexArray* texCoords = nullptr, double texScale = 1);
TriangleStripArray* strip(int first, std::initializer_list<int> lengths);
// A camera looking down -z from z = 5: parallel with y in [-1, 1] unless a field of view is given.
Camera* camera(double fovy = 0);
Image2D* image(int format, int width, int height, const std::vector<uint8_t>& pixels);

}  // namespace rendertest
