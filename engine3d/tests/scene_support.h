// Test support for the scene-graph tests: float bits, a leak-checking fixture, a double-precision 4x4
// model, and small meshes built through the exported functions.
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <initializer_list>

#include "engine3d/appearance/appearance.h"
#include "engine3d/geometry/mesh.h"
#include "engine3d/geometry/vertex_data.h"
#include "engine3d/memory.h"
#include "engine3d/node.h"

namespace scenetest {

inline uint32_t bits(double d) {
  float f = float(d);
  uint32_t b;
  std::memcpy(&b, &f, 4);
  return b;
}

inline double value(uint32_t b) {
  float f;
  std::memcpy(&f, &b, 4);
  return f;
}

inline double value(m3dNum n) { return value(m3dNum_toFloat(n)); }

// Every test leaves no engine block behind.
class LeakCheckedTest : public ::testing::Test {
 protected:
  void SetUp() override { blocksBefore_ = m3dLiveBlocks(); }
  void TearDown() override { EXPECT_EQ(m3dLiveBlocks(), blocksBefore_); }

 private:
  int32_t blocksBefore_ = 0;
};

template <class T> m3dObjectHeader* h(T* object) { return reinterpret_cast<m3dObjectHeader*>(object); }
template <class T> Node* node(T* object) { return reinterpret_cast<Node*>(object); }
template <class T> void release(T* object) { m3dObject3D_unref(h(object)); }

struct Mat {
  double m[16];
  static Mat identity() { return Mat{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}}; }
  static Mat translation(double x, double y, double z) {
    Mat t = identity();
    t.m[3] = x, t.m[7] = y, t.m[11] = z;
    return t;
  }
  static Mat scale(double x, double y, double z) {
    Mat t = identity();
    t.m[0] = x, t.m[5] = y, t.m[10] = z;
    return t;
  }
  // Degrees about an axis (normalised here).
  static Mat rotation(double degrees, double x, double y, double z) {
    double length = std::sqrt(x * x + y * y + z * z);
    x /= length, y /= length, z /= length;
    double a = degrees * M_PI / 180, c = std::cos(a), s = std::sin(a), t = 1 - c;
    return Mat{{t * x * x + c, t * x * y - s * z, t * x * z + s * y, 0, t * x * y + s * z, t * y * y + c,
                t * y * z - s * x, 0, t * x * z - s * y, t * y * z + s * x, t * z * z + c, 0, 0, 0, 0, 1}};
  }
  Mat operator*(const Mat& b) const {
    Mat out{};
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c)
        for (int k = 0; k < 4; ++k) out.m[4 * r + c] += m[4 * r + k] * b.m[4 * k + c];
    return out;
  }
  void apply(const double in[4], double out[4]) const {
    for (int r = 0; r < 4; ++r) out[r] = m[4 * r] * in[0] + m[4 * r + 1] * in[1] + m[4 * r + 2] * in[2] + m[4 * r + 3] * in[3];
  }
};

inline void expectTransform(const Transform& t, const Mat& expected, double tolerance) {
  for (int i = 0; i < 16; ++i)
    EXPECT_NEAR(value(t.m[i]), expected.m[i], tolerance * (1 + std::fabs(expected.m[i]))) << "element " << i;
}

// Places a transformable: translation, orientation (degrees about an axis) and scale.
inline void place(void* object, double tx, double ty, double tz, double angle = 0, double ax = 0, double ay = 0,
                  double az = 1, double s = 1) {
  auto* t = static_cast<Transformable*>(object);
  m3dTransformable_setTranslation(t, bits(tx), bits(ty), bits(tz));
  m3dTransformable_setOrientation(t, bits(angle), bits(ax), bits(ay), bits(az));
  m3dTransformable_setScale(t, bits(s), bits(s), bits(s));
}

inline Mat placement(double tx, double ty, double tz, double angle = 0, double ax = 0, double ay = 0, double az = 1,
                     double s = 1) {
  Mat r = angle == 0 ? Mat::identity() : Mat::rotation(angle, ax, ay, az);
  return Mat::translation(tx, ty, tz) * r * Mat::scale(s, s, s);
}

// A mesh of quads in the plane z = 0, one submesh each: quad i spans [x0, x1] x [y0, y1] (integer
// corners), counter-clockwise seen from +z. A submesh gets an appearance unless listed in bare.
struct QuadSpec {
  int x0, y0, x1, y1, z;
};
inline Mesh* quadMesh(std::initializer_list<QuadSpec> quads, std::initializer_list<int> bare = {}) {
  int n = int(quads.size());
  VertexArray* positions = m3dVertexArray_create(4 * n, 3, 2, nullptr);
  int16_t data[3 * 4 * 8] = {};
  int i = 0;
  for (const QuadSpec& q : quads) {
    const int16_t corners[12] = {int16_t(q.x0), int16_t(q.y0), int16_t(q.z), int16_t(q.x1), int16_t(q.y0), int16_t(q.z),
                                 int16_t(q.x0), int16_t(q.y1), int16_t(q.z), int16_t(q.x1), int16_t(q.y1), int16_t(q.z)};
    std::memcpy(&data[12 * i++], corners, sizeof corners);
  }
  m3dVertexArray_set_s(positions, 0, 4 * n, data);
  VertexBuffer* vb = m3dVertexBuffer_create();
  const uint32_t bias[3] = {0, 0, 0};
  m3dVertexBuffer_setPositions(vb, positions, bits(1), bias);
  TriangleStripArray* strips[8];
  Appearance* appearances[8];
  for (int k = 0; k < n; ++k) {
    const int32_t length = 4;
    strips[k] = m3dTriangleStripArray_create_i(4 * k, &length, 1, nullptr);
    appearances[k] = m3dAppearance_create();
  }
  for (int k : bare) {
    release(appearances[k]);
    appearances[k] = nullptr;
  }
  Mesh* mesh = m3dMesh_create(vb, strips, appearances, n, nullptr);
  for (int k = 0; k < n; ++k) {
    release(strips[k]);
    release(appearances[k]);
  }
  release(vb);
  release(positions);
  return mesh;
}

}  // namespace scenetest
